// Runs lumex2-cli as its own process and collects its exit code and output.
#pragma once

#include "ProgramRun.h"

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace blockstest {

using CliResult = testsupport::TProgramRun;

inline CliResult RunCli(const std::vector<std::string> &args)
{
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / ("blocks-cli-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    std::vector<std::string> all{LUMEX_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    CliResult r = testsupport::RunProgram(all, scratch);
    fs::remove_all(scratch);
    return r;
}

} // namespace blockstest
