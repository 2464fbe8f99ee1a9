// Runs lumex2-cli as its own process and collects its exit code and output.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace blockstest {

struct CliResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const std::filesystem::path &p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline CliResult RunCli(const std::vector<std::string> &args)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path();
    const std::string stem = "blocks-cli-" + std::to_string(::getpid());
    const fs::path outPath = dir / (stem + ".out"), errPath = dir / (stem + ".err");
    CliResult r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr))
            ::_exit(127);
        std::vector<char *> argv;
        std::string program = LUMEX_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return r;
}

} // namespace blockstest
