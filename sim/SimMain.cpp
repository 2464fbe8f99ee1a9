// lumex2-sim: a simulated device on a pseudo-terminal, for trying the
// program without hardware and for end-to-end tests. Control lines are read
// from standard input; SIGTERM or SIGINT end it cleanly.
#include "sim/SimArgs.h"
#include "sim/Simulator.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitUsage = 2;

std::string Trim(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Handles one control line; false when it asks to quit.
bool HandleLine(sim::Simulator &simulator, const std::string &raw)
{
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#')
        return true;
    if (line == "quit")
        return false;
    std::string reply;
    simulator.Control(line, reply);
    std::cout << reply << std::endl;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto &a : args) {
        if (a == "-h" || a == "--help") {
            std::cout << sim::kSimUsage;
            return 0;
        }
    }
    sim::SimulatorOptions options;
    std::string error;
    if (!sim::ParseSimArgs(args, options, error)) {
        std::cerr << "lumex2-sim: " << error << "\n" << sim::kSimUsage;
        return kExitUsage;
    }

    // Block the stop signals before any thread starts, then take them as
    // events in the main loop, so the exit always runs the cleanup.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (sigFd < 0) {
        std::perror("lumex2-sim: signalfd");
        return 1;
    }

    sim::Simulator simulator(options);
    if (!simulator.Start(error)) {
        std::cerr << "lumex2-sim: " << error << "\n";
        return 1;
    }
    std::cout << "ready " << simulator.Path() << std::endl;

    bool stdinOpen = true;
    std::string pending;
    for (bool running = true; running;) {
        pollfd fds[2] = {{sigFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int n = poll(fds, stdinOpen ? 2 : 1, -1);
        if (n < 0)
            continue;
        if (fds[0].revents & POLLIN)
            break;
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[4096];
            const ssize_t got = read(STDIN_FILENO, buf, sizeof buf);
            if (got <= 0) {
                // No more control lines; keep serving until a signal.
                stdinOpen = false;
                if (!pending.empty())
                    running = HandleLine(simulator, pending);
                continue;
            }
            pending.append(buf, static_cast<std::size_t>(got));
            for (auto nl = pending.find('\n'); running && nl != std::string::npos; nl = pending.find('\n')) {
                running = HandleLine(simulator, pending.substr(0, nl));
                pending.erase(0, nl + 1);
            }
            if (pending.size() > 65536)
                pending.clear();
        }
    }
    simulator.Stop();
    close(sigFd);
    return 0;
}
