// Runs a program as its own process and collects its exit code, output and
// running time, for tests of the command-line tools.
#pragma once

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace testsupport {

struct TProgramRun
{
    int exitCode = -1; // -1 when the program did not exit normally
    std::string out;
    std::string err;
    double ms = 0;
};

inline std::string ReadTextFile(const std::filesystem::path &p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// argv[0] is the program's path. Its standard output and error go to files
// in `scratch` (an existing folder) and are read back once it has exited.
// `env` is set in the child only.
inline TProgramRun RunProgram(std::vector<std::string> argv, const std::filesystem::path &scratch,
                              const std::vector<std::pair<std::string, std::string>> &env = {})
{
    const std::string outPath = (scratch / "out").string(), errPath = (scratch / "err").string();
    std::vector<char *> args;
    for (auto &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto &[name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(127);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    TProgramRun r;
    r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadTextFile(outPath);
    r.err = ReadTextFile(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return r;
}

} // namespace testsupport
