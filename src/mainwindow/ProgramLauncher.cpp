#include "mainwindow/ProgramLauncher.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace lumex {

bool StartSiblingProgram(const std::string &path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    // Double fork: the sibling belongs to init, so this program may end at
    // once without leaving a zombie or taking the sibling with it.
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        int error = 0;
        if (::chdir(folder.c_str()) != 0) {
            error = errno;
        } else {
            const char *argv[] = {path.c_str(), "/nologo", nullptr};
            ::execv(path.c_str(), const_cast<char *const *>(argv));
            error = errno;
        }
        // exec failed: tell the parent through the pipe (closed on success).
        [[maybe_unused]] const auto n = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

} // namespace lumex
