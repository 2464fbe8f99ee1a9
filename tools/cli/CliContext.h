// What every lumex2-cli command receives: the global options and the words
// after the command name.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit codes shared by all commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDevice = 1; // device or link failure, message on stderr
inline constexpr int kExitUsage = 2;

struct CliContext
{
    std::string port; // "--port N|PATH" as given; empty when absent
    bool json = false;
    std::vector<std::string> args; // after the command name
    std::ostream *out = nullptr;
    std::ostream *err = nullptr;
};

// A usage error: message on stderr, exit code 2.
int UsageError(const CliContext &ctx, const std::string &message);

// For a command that takes no arguments: the exit status after printing
// `help` for --help/-h or reporting a stray argument; nothing when there are
// no arguments and the command should run.
std::optional<int> CheckNoArguments(const CliContext &ctx, const std::string &command, const char *help);

// True, after printing `help` on ctx.out, when the arguments are just
// --help or -h.
bool PrintHelpIfAsked(const CliContext &ctx, const char *help);

using CommandFn = int (*)(CliContext &ctx);

struct CommandEntry
{
    const char *name;
    const char *usage;
    CommandFn run;
    const char *example; // printed after the command's own --help
};

} // namespace cli
