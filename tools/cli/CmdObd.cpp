// lumex2-cli obd: the car behind the adapter. Connects the adapter's OBD
// link (connect), prints one set of live values (live) or reads and clears
// trouble codes through the same cycle the trouble-code page runs (codes).
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "ObdSession.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "adapter/OBDTroubleCycle.h"
#include "documents/CustomCatalogue.h"
#include "modules/AppLogic.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH obd connect [--protocol N]\n"
    "       lumex2-cli --port N|PATH [--json] obd live\n"
    "       lumex2-cli --port N|PATH obd codes [--clear] [--lang CODE]\n"
    "Connects to the controller and the adapter on its line, then connects the adapter to the car\n"
    "(protocol N 1..7, default the adapter's own), and prints the link state (connect), one set of\n"
    "live values (live) or the recorded and pending trouble codes with their descriptions and the\n"
    "freeze frame (codes; --clear clears them first). Exit 1 when the car does not connect or a\n"
    "read fails.\n";

constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr int kCyclePolls = 300;

int Live(CliContext &ctx, TObdSession &s)
{
    lumex::TModuleOBD &m = *s.obd;
    s.manager.TickStep();
    const lumex::TDevStateOBD &d = m.DevState();
    if (ctx.json) {
        nlohmann::json j = {{"State", LinkText(m)}};
        for (const auto &v : d.LiveValues())
            j[v.Variable->Name()] = v.Variable->Text();
        j[d.FuelSystemStatusB1.Name()] = lumex::TranslateEnglish(d.FuelSystemStatusB1.Text());
        j[d.FuelSystemStatusB2.Name()] = lumex::TranslateEnglish(d.FuelSystemStatusB2.Text());
        *ctx.out << j.dump() << "\n";
        return kExitOk;
    }
    *ctx.out << "State: " << LinkText(m) << "\n";
    for (const auto &v : d.LiveValues())
        if (v.Variable->Text() != "-----")
            *ctx.out << v.Variable->Name() << ": " << v.Variable->Text() << "\n";
    *ctx.out << d.FuelSystemStatusB1.Name() << ": " << lumex::TranslateEnglish(d.FuelSystemStatusB1.Text()) << "\n"
             << d.FuelSystemStatusB2.Name() << ": " << lumex::TranslateEnglish(d.FuelSystemStatusB2.Text()) << "\n";
    return kExitOk;
}

// Ticks the page until `done`, as the window's timer would.
bool RunCycle(TObdSession &s, lumex::TOBDTroubleCycle &cycle, const std::function<bool()> &done)
{
    for (int i = 0; i < kCyclePolls; ++i) {
        cycle.Tick();
        if (done())
            return true;
        std::this_thread::sleep_for(kPollPause);
        s.manager.TickStep();
    }
    return false;
}

int Codes(CliContext &ctx, TObdSession &s, bool clear, const std::string &language)
{
    lumex::TCustom catalogue;
    catalogue.SetCatalogueLanguage(language);
    s.manager.SetPollGroup(lumex::TPollGroup::ObdTroubleCodes, true);
    lumex::TOBDTroubleCycle cycle(*s.obd, catalogue.OBDCodes());
    cycle.Wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    std::string failure;
    if (clear) {
        if (!cycle.Clear() ||
            !RunCycle(s, cycle, [&] { return cycle.ClearAcknowledged() > 0 && cycle.ButtonsEnabled(); })) {
            *ctx.err << "lumex2-cli: clearing the trouble codes did not finish\n";
            return kExitDevice;
        }
        for (const auto &line : cycle.Troubles().Lines())
            *ctx.out << line << "\n";
    }
    if (!cycle.Read() || !RunCycle(s, cycle, [&] { return cycle.ReadAcknowledged() > 0 && cycle.ButtonsEnabled(); })) {
        *ctx.err << "lumex2-cli: reading the trouble codes did not finish\n";
        return kExitDevice;
    }
    bool failed = false;
    for (const auto *memo : {&cycle.Troubles(), &cycle.Freeze()}) {
        for (const auto &line : memo->Lines()) {
            *ctx.out << line << "\n";
            failed = failed || line.rfind("*** ", 0) == 0;
        }
        *ctx.out << "\n";
    }
    return failed ? kExitDevice : kExitOk;
}

} // namespace

int RunObd(CliContext &ctx)
{
    std::vector<std::string> args = ctx.args;
    const auto lang = TakeLanguageOption(args);
    if (lang && lang->empty())
        return UsageError(ctx, "obd: --lang needs a language code");
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        *(args.empty() ? ctx.err : ctx.out) << kHelp;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string sub = args[0];
    int protocol = 0;
    bool clear = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (sub == "connect" && args[i] == "--protocol" && i + 1 < args.size()) {
            const auto n = ParseNumber(args[++i], 7);
            if (!n)
                return UsageError(ctx, "obd connect: --protocol takes 0..7");
            protocol = static_cast<int>(*n);
            if (protocol == 0)
                return UsageError(ctx, "obd connect: protocol 0 connects nothing; give 1..7");
        } else if (sub == "codes" && args[i] == "--clear") {
            clear = true;
        } else {
            *ctx.err << "lumex2-cli obd: unexpected argument " << args[i] << "\n" << kHelp;
            return kExitUsage;
        }
    }
    if (sub != "connect" && sub != "live" && sub != "codes") {
        *ctx.err << "lumex2-cli obd: unknown operation " << sub << "\n" << kHelp;
        return kExitUsage;
    }
    lumex::TLM lm;
    std::string error;
    const std::string language = lang ? *lang : SettingsLanguage();
    if (!LoadCliLanguage(lm, language, error)) {
        *ctx.err << "lumex2-cli: " << error << "\n";
        return kExitUsage;
    }
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    TObdSession s(link);
    if (const int status = RequireObd(ctx, s); status != kExitOk)
        return status;
    if (const int status = ConnectCar(ctx, s, protocol); status != kExitOk)
        return status;
    if (sub == "connect") {
        *ctx.out << LinkText(*s.obd) << "\n";
        return kExitOk;
    }
    if (sub == "live")
        return Live(ctx, s);
    return Codes(ctx, s, clear, language);
}

} // namespace cli
