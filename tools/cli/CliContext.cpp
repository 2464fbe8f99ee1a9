#include "CliContext.h"

#include <ostream>

namespace cli {

int UsageError(const CliContext &ctx, const std::string &message)
{
    *ctx.err << "lumex2-cli: " << message << "\n";
    return kExitUsage;
}

} // namespace cli
