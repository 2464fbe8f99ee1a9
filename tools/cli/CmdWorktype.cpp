// lumex2-cli worktype N: switches the controller's working state (fuel,
// autocalibration, tests).
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include <ostream>

namespace cli {

int RunWorktype(CliContext &ctx)
{
    if (ctx.args.size() != 1)
        return UsageError(ctx, "usage: worktype N (0..255)");
    const auto type = ParseNumber(ctx.args[0], 255);
    if (!type)
        return UsageError(ctx, "worktype: N must be a number from 0 to 255");
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    if (!link.Manager.SetWorkType(static_cast<lumex::TWorkType>(*type))) {
        *ctx.err << "lumex2-cli: the controller did not acknowledge work type " << *type << "\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"RequestedWorkType", lumex::WorkTypeNumber(link.Manager.RequestedWorkType)}}) << "\n";
    else
        *ctx.out << "WorkType: " << lumex::WorkTypeNumber(link.Manager.RequestedWorkType) << "\n";
    return kExitOk;
}

} // namespace cli
