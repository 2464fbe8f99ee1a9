#include "CliContext.h"

#include <ostream>

namespace cli {

int UsageError(const CliContext &ctx, const std::string &message)
{
    *ctx.err << "lumex2-cli: " << message << "\n";
    return kExitUsage;
}

bool PrintHelpIfAsked(const CliContext &ctx, const char *help)
{
    if (ctx.args.size() != 1 || (ctx.args[0] != "--help" && ctx.args[0] != "-h"))
        return false;
    *ctx.out << help;
    return true;
}

std::optional<int> CheckNoArguments(const CliContext &ctx, const std::string &command, const char *help)
{
    if (ctx.args.empty())
        return std::nullopt;
    const std::string &first = ctx.args.front();
    if (first == "--help" || first == "-h") {
        *ctx.out << help;
        return kExitOk;
    }
    return UsageError(ctx, command + " takes no arguments: " + first);
}

} // namespace cli
