#include "KilledChild.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace lumex::crashtest {

TKilledChild::TKilledChild(const std::string &program, const std::vector<std::string> &args)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    argv.reserve(all.size() + 1);
    for (std::string &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    if (error != 0) {
        ::close(out_);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
    }
}

TKilledChild::~TKilledChild()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        ::close(out_);
}

std::optional<std::string> TKilledChild::ReadLine(TClock::time_point deadline)
{
    timedOut_ = false;
    for (;;) {
        const auto newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        if (ended_)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (left <= 0) {
            timedOut_ = true;
            return std::nullopt;
        }
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        if (ready <= 0)
            continue;
        char chunk[512];
        const ssize_t got = ::read(out_, chunk, sizeof chunk);
        if (got < 0 && errno != EINTR)
            throw std::runtime_error(std::string("read: ") + std::strerror(errno));
        if (got == 0)
            ended_ = true;
        if (got > 0)
            buffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

int TKilledChild::KillAndReap(std::vector<std::string> &restOfOutput, TClock::time_point deadline)
{
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    // Dead: its output ends once the pipe is drained.
    while (auto line = ReadLine(deadline))
        restOfOutput.push_back(*line);
    return status;
}

} // namespace lumex::crashtest
