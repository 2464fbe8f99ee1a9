// lumex2-cli config: every configuration field of the connected controller
// by its field-table name, raw and as the pages show it (show), and writing
// one field the way the pages do: read, change, write the configuration,
// read it back and compare (set).
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/ConfigVerify.h"
#include "controller/ConfigurationIO.h"

#include <algorithm>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH [--json] config show [--lang CODE]\n"
    "       lumex2-cli --port N|PATH [--json] config set NAME VALUE [--raw] [--lang CODE]\n"
    "show: every configuration field the controller's generation and revision have: its name,\n"
    "      the raw value and the value as the configuration pages show it.\n"
    "set:  writes one field: VALUE is a list entry text or a number in the field's unit\n"
    "      (\"2,9\" for an idle time of 2.9 ms), or the raw value with --raw. The configuration is\n"
    "      read, changed, written and read back; a field that reads back otherwise is reported.\n"
    "Texts are in the language of --lang (CZ, DE, EN, PL, ...) or of the program's settings.\n";

nlohmann::json FieldJson(const lumex::TConfigField &f, const lumex::TNorviData &d)
{
    return {{"name", f.Name}, {"raw", lumex::RawValue(f, d)}, {"text", lumex::DisplayText(f, d)}};
}

void PrintField(std::ostream &out, const lumex::TConfigField &f, const lumex::TNorviData &d)
{
    out << f.Name << " = " << lumex::RawValue(f, d) << " \"" << lumex::DisplayText(f, d) << "\"\n";
}

int ReadConfiguration(const CliContext &ctx, lumex::TControllerLink &link)
{
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    if (!lumex::ReadGenerationConfiguration(link.Manager) || !link.Manager.LinkUp) {
        *ctx.err << "lumex2-cli: reading the configuration failed\n";
        return kExitDevice;
    }
    return kExitOk;
}

int Show(const CliContext &ctx)
{
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = ReadConfiguration(ctx, link); status != kExitOk)
        return status;
    const auto fields = lumex::FieldsPresent(link.Data);
    if (ctx.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto *f : fields)
            list.push_back(FieldJson(*f, link.Data));
        *ctx.out << JsonLine({{"fields", list}}) << "\n";
    } else {
        for (const auto *f : fields)
            PrintField(*ctx.out, *f, link.Data);
    }
    return kExitOk;
}

int Refuse(const CliContext &ctx, const std::string &message)
{
    *ctx.err << "lumex2-cli: config set: " << message << "\n";
    return kExitDevice;
}

int Set(CliContext &ctx)
{
    auto &args = ctx.args;
    const auto raw = std::find(args.begin(), args.end(), "--raw");
    const bool isRaw = raw != args.end();
    if (isRaw)
        args.erase(raw);
    if (args.size() != 3)
        return UsageError(ctx, "usage: config set NAME VALUE [--raw]");
    const lumex::TConfigField *field = lumex::FindConfigField(args[1]);
    if (field == nullptr)
        return UsageError(ctx, "config set: no configuration field \"" + args[1] + "\"");
    std::optional<uint32_t> rawValue;
    if (isRaw) {
        rawValue = ParseNumber(args[2], 0xFFFF);
        if (!rawValue)
            return UsageError(ctx, "config set: the raw value must be a number from 0 to 65535");
    }

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = ReadConfiguration(ctx, link); status != kExitOk)
        return status;
    lumex::TNorviData &d = link.Data;
    if (const auto why = lumex::NotWritable(*field, d))
        return Refuse(ctx, *why);
    const lumex::TFieldInput input =
        isRaw ? lumex::CheckRawValue(*field, d, *rawValue) : lumex::ParseShownValue(*field, d, args[2]);
    if (!input)
        return Refuse(ctx, input.Error);
    lumex::SetRawValue(*field, d, *input.Raw);
    const lumex::TVerifiedWrite result = lumex::WriteVerifiedConfiguration(link.Manager);
    if (!result.Ok())
        return Refuse(ctx, result.Message());
    if (ctx.json)
        *ctx.out << JsonLine(FieldJson(*field, d)) << "\n";
    else
        PrintField(*ctx.out, *field, d);
    return kExitOk;
}

} // namespace

int RunConfig(CliContext &ctx)
{
    if (ctx.args.empty() || ctx.args[0] == "--help" || ctx.args[0] == "-h") {
        *(ctx.args.empty() ? ctx.err : ctx.out) << kHelp;
        return ctx.args.empty() ? kExitUsage : kExitOk;
    }
    const auto lang = TakeLanguageOption(ctx.args);
    lumex::TLM lm;
    std::string error;
    if (!LoadCliLanguage(lm, lang ? *lang : SettingsLanguage(), error))
        return UsageError(ctx, "config: " + error);
    if (ctx.args[0] == "show") {
        if (ctx.args.size() != 1)
            return UsageError(ctx, "usage: config show [--lang CODE]");
        return Show(ctx);
    }
    if (ctx.args[0] == "set")
        return Set(ctx);
    return UsageError(ctx, "config: expected show or set");
}

} // namespace cli
