// lumex2-cli trouble: the active and the stored trouble codes as the
// trouble-code page lists them, then the freeze-frame when there is one;
// optionally after clearing, which a locked controller refuses.
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"

#include "mainwindow/TroubleCodeRead.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kUsage = "usage: trouble [--json] [--lang CODE] [--clear]";

nlohmann::json CodesJson(const std::vector<lumex::TTroubleLine> &lines)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto &l : lines)
        list.push_back({{"Code", lumex::TroubleCodeName(l.Code)},
                        {"Class", lumex::TroubleClassName(l.Code.Class)},
                        {"Key", lumex::TroubleMessageKey(l.Code)},
                        {"Text", l.Text}});
    return list;
}

nlohmann::json FreezeFrameJson(const lumex::TFreezeFrameRead &read, const std::vector<std::string> &lines)
{
    if (read.Outcome != lumex::TFreezeFrameOutcome::Present)
        return nullptr;
    const lumex::TFreezeFrame &f = read.Frame;
    return {{"Code", lumex::FreezeFrameCode(f)},
            {"Lines", lines},
            {"RpmPeriod", f.RpmPeriod},
            {"PetrolTime", f.PetrolTime},
            {"GasTime", f.GasTime},
            {"PsysRaw", f.PsysRaw},
            {"PcolRaw", f.PcolRaw},
            {"TredRaw", f.TredRaw},
            {"TgasRaw", f.TgasRaw},
            {"SupplyRaw", f.SupplyRaw}};
}

constexpr const char *kHelp = "usage: lumex2-cli [--port N|PATH] [--json] trouble [--lang CODE] [--clear]\n"
                              "Lists the active and stored trouble codes as the trouble-code page does, then the\n"
                              "freeze-frame of the last code when there is one.\n"
                              "  --lang CODE  the language of the texts (default: the program's)\n"
                              "  --clear      clear the codes first (a locked controller refuses)\n";

} // namespace

int RunTrouble(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    const auto lang = TakeLanguageOption(ctx.args);
    if (lang && lang->empty())
        return UsageError(ctx, "trouble: --lang needs a language code");
    bool clear = false;
    for (const auto &a : ctx.args) {
        if (a == "--clear")
            clear = true;
        else
            return UsageError(ctx, kUsage);
    }
    lumex::TLM lm;
    std::string error;
    if (!LoadCliLanguage(lm, lang ? *lang : SettingsLanguage(), error)) {
        *ctx.err << "lumex2-cli: " << error << "\n";
        return kExitUsage;
    }

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    // Clearing is refused, with nothing sent, unless the controller is unlocked.
    if (clear && !m.ClearTroubleCodes()) {
        *ctx.err << "lumex2-cli: clearing the trouble codes failed: " << lumex::WriteRefusalText(m.LastRefusal())
                 << "\n";
        return kExitDevice;
    }
    const lumex::TTroubleCodeRead read = lumex::ReadTroubleCodePage(m);
    if (!read.FlagsRead) {
        *ctx.err << "lumex2-cli: the controller did not answer the trouble-flag read\n";
        return kExitDevice;
    }
    const lumex::TTroubleLines lines =
        lumex::TroubleLines(read, [&lm](std::string_view key) { return lm.MessageText(key); });
    if (read.FreezeFrame.Outcome == lumex::TFreezeFrameOutcome::Failed)
        *ctx.err << "lumex2-cli: the freeze-frame could not be read completely; it is not shown\n";
    if (ctx.json) {
        *ctx.out << JsonLine({{"Cleared", clear},
                              {"Active", CodesJson(lines.Active)},
                              {"Stored", CodesJson(lines.Stored)},
                              {"FreezeFrame", FreezeFrameJson(read.FreezeFrame, lines.FreezeFrame)}})
                 << "\n";
        return kExitOk;
    }
    const auto list = [&ctx](const char *title, const std::vector<lumex::TTroubleLine> &from) {
        *ctx.out << title << ":\n";
        for (const auto &l : from)
            *ctx.out << "  " << l.Line << "\n";
    };
    if (clear)
        *ctx.out << "Cleared: yes\n";
    list("Active", lines.Active);
    list("Stored", lines.Stored);
    if (!lines.FreezeFrame.empty()) {
        *ctx.out << "FreezeFrame:\n";
        for (const auto &l : lines.FreezeFrame)
            *ctx.out << "  " << l << "\n";
    }
    return kExitOk;
}

} // namespace cli
