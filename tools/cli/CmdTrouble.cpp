// lumex2-cli trouble: the 16 trouble-flag bytes, optionally after clearing
// the stored codes.
#include "CliContext.h"
#include "LinkSession.h"

#include <cstdio>
#include <ostream>

namespace cli {

int RunTrouble(CliContext &ctx)
{
    bool clear = false;
    for (const auto &a : ctx.args) {
        if (a == "--clear")
            clear = true;
        else
            return UsageError(ctx, "usage: trouble [--clear]");
    }
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    if (clear && !m.ClearTroubleCodes()) {
        *ctx.err << "lumex2-cli: clearing the trouble codes failed: " << lumex::WriteRefusalText(m.LastRefusal())
                 << "\n";
        return kExitDevice;
    }
    if (!m.ReadTroubleFlags()) {
        *ctx.err << "lumex2-cli: the controller did not answer the trouble-flag read\n";
        return kExitDevice;
    }
    const auto &flags = link.Data.TroubleFlags;
    if (ctx.json) {
        *ctx.out << JsonLine({{"TroubleFlags", flags}, {"TroubleCodesPresent", m.TroubleCodesPresent}}) << "\n";
        return kExitOk;
    }
    for (std::size_t i = 0; i < flags.size(); ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%2zu: 0x%02X\n", i, flags[i]);
        *ctx.out << line;
    }
    return kExitOk;
}

} // namespace cli
