// lumex2-cli get: one byte, word or model parameter or information word, in
// raw units.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "ParamAccess.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli [--port N|PATH] [--json] get byte|word|model|info IDX\n"
                              "Reads one parameter of the controller in raw units and prints it.\n"
                              "  byte|word|model  a configuration byte, word or gas-model parameter, IDX 1..255\n"
                              "  info             an information word, IDX 1..255\n";

} // namespace

int RunGet(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    if (ctx.args.size() != 2)
        return UsageError(ctx, "usage: get byte|word|model|info IDX");
    const auto kind = ParseParamKind(ctx.args[0]);
    if (!kind)
        return UsageError(ctx, "get: unknown parameter kind " + ctx.args[0] + " (byte, word, model or info)");
    const auto index = ParseNumber(ctx.args[1], 255);
    if (!index || *index == 0)
        return UsageError(ctx, "get: the index must be a number from 1 to 255");

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const auto value = ReadParam(link.Manager, *kind, static_cast<uint8_t>(*index));
    if (!value) {
        *ctx.err << "lumex2-cli: the controller did not answer the read\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"kind", ParamKindName(*kind)}, {"index", *index}, {"value", *value}}) << "\n";
    else
        *ctx.out << *value << "\n";
    return kExitOk;
}

} // namespace cli
