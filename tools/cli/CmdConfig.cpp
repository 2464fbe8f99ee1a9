// lumex2-cli config: every configuration field of the connected controller
// by its field-table name, raw and as the pages show it (show), and writing
// one field the way the pages do: read, change, write the configuration,
// read it back and compare (set).
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "OptionArgs.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigFileOps.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/ConfigVerify.h"
#include "controller/ConfigurationIO.h"
#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <ostream>
#include <sstream>

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
    "       lumex2-cli --port N|PATH [--json] config save FILE.gcf\n"
    "       lumex2-cli --port N|PATH [--json] config load FILE.gcf [--yes] [--keep-map] [--model-only]\n"
    "                                          [--backup-dir DIR]\n"
    "       lumex2-cli --port N|PATH [--json] config diff FILE.gcf\n"
    "save: reads everything a configuration file holds and writes a complete new file; a failed read\n"
    "      leaves an existing file as it was.\n"
    "load: shows what the file would change and asks (--yes: without asking); before writing, the\n"
    "      controller is saved to DIR (default: the Backups folder of the data folder). --keep-map keeps\n"
    "      a map that holds petrol points; --model-only takes only the model.\n"
    "diff: the settings in which the controller and the file differ, side by side.\n"
    "       lumex2-cli --port N|PATH [--json] config defaults [--yes] [--backup-dir DIR]\n"
    "defaults: puts the controller back into its factory settings, after saving it to DIR; every\n"
    "      step runs, and the failed ones are listed.\n"
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

std::string DefaultBackupFolder()
{
    return DefaultDataFolder() + "/Backups";
}

std::optional<std::string> ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

nlohmann::json DifferencesJson(const std::vector<lumex::TGcfDifference> &diffs)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto &d : diffs)
        list.push_back({{"section", d.Section},
                        {"key", d.Key},
                        {"controller", d.ControllerValue},
                        {"file", d.FileValue},
                        {"controllerText", d.ControllerText},
                        {"fileText", d.FileText}});
    return list;
}

void PrintDifferences(std::ostream &out, const std::vector<lumex::TGcfDifference> &diffs)
{
    for (const auto &d : diffs) {
        out << "[" << d.Section << "] " << d.Key << ": controller " << d.ControllerValue;
        if (!d.ControllerText.empty())
            out << " \"" << d.ControllerText << "\"";
        out << ", file " << d.FileValue;
        if (!d.FileText.empty())
            out << " \"" << d.FileText << "\"";
        out << "\n";
    }
}

int FileFailure(const CliContext &ctx, const char *what, const std::string &message)
{
    *ctx.err << "lumex2-cli: config " << what << ": " << message << "\n";
    return kExitDevice;
}

int Save(const CliContext &ctx, const std::string &path)
{
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const lumex::TFileOpResult r = lumex::SaveConfigurationFile(link.Manager, path, lumex::GcfInfoNow());
    if (!r.Ok)
        return FileFailure(ctx, "save", r.Text());
    if (ctx.json)
        *ctx.out << JsonLine({{"saved", path}}) << "\n";
    else
        *ctx.out << "saved " << path << "\n";
    return kExitOk;
}

int Diff(const CliContext &ctx, const std::string &path)
{
    const auto text = ReadWholeFile(path);
    if (!text)
        return FileFailure(ctx, "diff", "cannot read " + path);
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const lumex::TDiffResult r = lumex::DiffConfigurationFile(link.Manager, *text);
    if (!r.Ok)
        return FileFailure(ctx, "diff", r.Message);
    for (const auto &w : r.Warnings)
        *ctx.err << "lumex2-cli: config diff: " << w << "\n";
    if (ctx.json)
        *ctx.out << JsonLine({{"differences", DifferencesJson(r.Differences)}}) << "\n";
    else
        PrintDifferences(*ctx.out, r.Differences);
    return kExitOk;
}

int Load(CliContext &ctx)
{
    auto &args = ctx.args;
    const bool yes = TakeFlag(args, "--yes");
    const bool keepMap = TakeFlag(args, "--keep-map");
    const bool modelOnly = TakeFlag(args, "--model-only");
    const std::string backups = TakeValue(args, "--backup-dir").value_or(DefaultBackupFolder());
    if (args.size() != 2)
        return UsageError(ctx, "usage: config load FILE.gcf [--yes] [--keep-map] [--model-only] [--backup-dir DIR]");
    const auto text = ReadWholeFile(args[1]);
    if (!text)
        return FileFailure(ctx, "load", "cannot read " + args[1]);
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TLoadQuestions questions;
    questions.Confirm = [&ctx, yes](const std::vector<lumex::TGcfDifference> &diffs) {
        if (!ctx.json)
            PrintDifferences(*ctx.out, diffs);
        if (yes)
            return true;
        *ctx.out << lumex::MessageText(lumex::msg::strSaveCnf) << " [y/N] " << std::flush;
        std::string answer;
        return static_cast<bool>(std::getline(std::cin, answer)) && (answer == "y" || answer == "Y");
    };
    questions.ClearPetrolMap = [keepMap] { return !keepMap; };
    const lumex::TFileOpResult r =
        lumex::LoadConfigurationFile(link.Manager, *text, modelOnly, questions, backups, lumex::GcfInfoNow());
    for (const auto &w : r.Warnings)
        *ctx.err << "lumex2-cli: config load: " << w << "\n";
    if (r.Cancelled) {
        *ctx.err << "lumex2-cli: config load: cancelled, nothing was written\n";
        return kExitDevice;
    }
    if (!r.Ok) {
        lumex::TFileOpResult shown = r;
        shown.Warnings.clear();
        return FileFailure(ctx, "load", shown.Text());
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"loaded", args[1]}, {"backup", r.BackupPath}}) << "\n";
    else
        *ctx.out << "loaded " << args[1] << "; backup " << r.BackupPath << "\n";
    return kExitOk;
}

int Defaults(CliContext &ctx)
{
    auto &args = ctx.args;
    const bool yes = TakeFlag(args, "--yes");
    const std::string backups = TakeValue(args, "--backup-dir").value_or(DefaultBackupFolder());
    if (args.size() != 1)
        return UsageError(ctx, "usage: config defaults [--yes] [--backup-dir DIR]");
    if (!yes) {
        *ctx.out << lumex::MessageText(lumex::msg::strWriteDefaultSettings) << " [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y")) {
            *ctx.err << "lumex2-cli: config defaults: cancelled, nothing was written\n";
            return kExitDevice;
        }
    }
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const lumex::TFileOpResult r = lumex::ResetToFactorySettings(link.Manager, backups, lumex::GcfInfoNow());
    if (!r.Ok) {
        std::string text = r.Text();
        if (!r.BackupPath.empty())
            text += "\n" + lumex::MessageText(lumex::msg::strGcfBackupSaved) + " " + r.BackupPath;
        return FileFailure(ctx, "defaults", text);
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"defaults", true}, {"backup", r.BackupPath}}) << "\n";
    else
        *ctx.out << lumex::MessageText(lumex::msg::strDefaultsDone) << "\n"
                 << lumex::MessageText(lumex::msg::strGcfBackupSaved) << " " << r.BackupPath << "\n";
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
    if (ctx.args[0] == "save" || ctx.args[0] == "diff") {
        if (ctx.args.size() != 2)
            return UsageError(ctx, "usage: config " + ctx.args[0] + " FILE.gcf");
        return ctx.args[0] == "save" ? Save(ctx, ctx.args[1]) : Diff(ctx, ctx.args[1]);
    }
    if (ctx.args[0] == "load")
        return Load(ctx);
    if (ctx.args[0] == "defaults")
        return Defaults(ctx);
    return UsageError(ctx, "config: expected show, set, save, load, diff or defaults");
}

} // namespace cli
