// lumex2-cli set: writes one byte, word or model parameter in raw units,
// then reads it back and prints what the controller now holds.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "ParamAccess.h"

#include "controller/ParamTables.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli [--port N|PATH] [--json] set byte|word|model IDX VALUE\n"
    "Writes one configuration byte, word or gas-model parameter in raw units (IDX 1..255), reads it\n"
    "back and prints what the controller now holds. A locked controller refuses (exit 1).\n";

} // namespace

int RunSet(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    if (ctx.args.size() != 3)
        return UsageError(ctx, "usage: set byte|word|model IDX VALUE");
    const auto kind = ParseParamKind(ctx.args[0]);
    if (!kind || *kind == ParamKind::Info)
        return UsageError(ctx, "set: the parameter kind must be byte, word or model");
    const auto index = ParseNumber(ctx.args[1], 255);
    if (!index || *index == 0)
        return UsageError(ctx, "set: the index must be a number from 1 to 255");
    const auto value = ParseNumber(ctx.args[2], ParamKindMax(*kind));
    if (!value)
        return UsageError(ctx, "set: the value must be a number from 0 to " + std::to_string(ParamKindMax(*kind)));
    const auto idx = static_cast<uint8_t>(*index);
    if (*kind == ParamKind::Model && !lumex::IsKnownModelParam(idx))
        return UsageError(ctx, "set: the controller has no model parameter " + std::to_string(idx));

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    bool written = false;
    switch (*kind) {
    case ParamKind::Byte:
        written = m.WriteByteParam(idx, static_cast<uint8_t>(*value));
        break;
    case ParamKind::Word:
        written = m.WriteWordParam(idx, static_cast<uint16_t>(*value));
        break;
    case ParamKind::Model:
        written = m.WriteModelParam(idx, static_cast<uint16_t>(*value));
        break;
    case ParamKind::Info:
        break;
    }
    if (!written) {
        *ctx.err << "lumex2-cli: writing " << ParamKindName(*kind) << " parameter " << int{idx}
                 << " failed: " << lumex::WriteRefusalText(m.LastRefusal()) << "\n";
        return kExitDevice;
    }
    const auto readBack = ReadParam(m, *kind, idx);
    if (!readBack) {
        *ctx.err << "lumex2-cli: the controller did not answer the read-back\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"kind", ParamKindName(*kind)}, {"index", idx}, {"value", *readBack}}) << "\n";
    else
        *ctx.out << "kind: " << ParamKindName(*kind) << "\nindex: " << int{idx} << "\nvalue: " << *readBack << "\n";
    return kExitOk;
}

} // namespace cli
