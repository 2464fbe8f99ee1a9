// lumex2-cli autocal: runs autocalibration on the connected controller with
// the same state handling as the configuration page, prints each state as
// the controller reports it, then the nozzle verdict and the model built
// from the result. Ctrl+C stops the controller's procedure cleanly.
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include "calibration/AutoCalRun.h"
#include "calibration/AutoCalibration.h"
#include "controller/ConfigurationIO.h"
#include "controller/Version.h"
#include "documents/LangManager.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <thread>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH [--json] autocal [--fuel LPG|CNG] [--yes] [--interval MS] [--lang CODE]\n"
    "Runs autocalibration on the connected controller and prints each state the controller reports.\n"
    "The start writes what the procedure needs (markers, the default model, the idle petrol time);\n"
    "at the end the nozzle verdict and the model built from the measured idle points are printed.\n"
    "  --fuel      the fuel the verdict and the model are for (default: the configured fuel)\n"
    "  --yes       answer Yes to every question and write the result (markers, idle points,\n"
    "              configuration and model); without it questions are read from standard input\n"
    "              (y = Yes) and the result is only printed\n"
    "  --interval  milliseconds between reads of the state (default 500)\n"
    "Ctrl+C stops the procedure in the controller. Exit status 1 when the controller reports an\n"
    "error, the run is stopped or cancelled, or the controller stops answering.\n";

constexpr const char *kModelUnavailable = "DEBUG: Function not available for this firmware version";

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int)
{
    gInterrupted = true;
}

// SIGINT sets the flag the run checks; a read of standard input it
// interrupts ends with No. The previous handler comes back at the end.
class TInterruptScope
{
public:
    TInterruptScope()
    {
        gInterrupted = false;
        struct sigaction action
        {
        };
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: a waiting read returns
        sigaction(SIGINT, &action, &previous_);
    }
    ~TInterruptScope() { sigaction(SIGINT, &previous_, nullptr); }
    TInterruptScope(const TInterruptScope &) = delete;
    TInterruptScope &operator=(const TInterruptScope &) = delete;

private:
    struct sigaction previous_
    {
    };
};

struct TOptions
{
    std::optional<lumex::TFuel> Fuel;
    bool Yes = false;
    std::chrono::milliseconds Interval = lumex::kAutoCalPollInterval;
};

// Takes the options out of ctx.args; the error text when one is wrong.
std::optional<std::string> ParseOptions(CliContext &ctx, TOptions &o)
{
    auto &args = ctx.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--yes") {
            o.Yes = true;
        } else if (a == "--fuel" && hasValue) {
            const std::string &v = args[++i];
            if (v == "LPG")
                o.Fuel = lumex::TFuel::LPG;
            else if (v == "CNG")
                o.Fuel = lumex::TFuel::CNG;
            else
                return "autocal: --fuel takes LPG or CNG";
        } else if (a == "--interval" && hasValue) {
            const auto ms = ParseNumber(args[++i], 60000);
            if (!ms)
                return "autocal: --interval takes milliseconds from 0 to 60000";
            o.Interval = std::chrono::milliseconds(*ms);
        } else {
            return "autocal: unexpected argument " + a;
        }
    }
    return std::nullopt;
}

lumex::TAnswer AskOnConsole(const CliContext &ctx, const std::string &text, bool yes)
{
    *ctx.out << text << (yes ? " [y] y" : " [y/n] ") << std::endl;
    if (yes)
        return lumex::TAnswer::Yes;
    std::string line;
    if (gInterrupted || !std::getline(std::cin, line))
        return lumex::TAnswer::No;
    return line == "y" || line == "Y" || line == "yes" ? lumex::TAnswer::Yes : lumex::TAnswer::No;
}

std::string Fixed(double value, const char *format)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// One line per change of what the controller reports.
class TStatePrinter
{
public:
    explicit TStatePrinter(const CliContext &ctx) : ctx_(ctx) {}

    void operator()(const lumex::TAutoCalibration &cal)
    {
        const lumex::TNorviData &d = link().Data;
        const lumex::TAutoCalView &v = cal.View();
        const auto key = std::make_tuple(d.CalState, d.CalPhase, d.CalProgress, v.Page, cal.Active());
        if (printed_ && key == last_)
            return;
        printed_ = true;
        last_ = key;
        const char *page = lumex::AutoCalPageName(v.Page);
        if (ctx_.json) {
            nlohmann::json j{{"CalState", d.CalState},
                             {"CalPhase", d.CalPhase},
                             {"CalProgress", d.CalProgress},
                             {"Page", page},
                             {"Running", cal.Active()}};
            if (cal.Legacy())
                j["Bar"] = v.Bar;
            else
                j["Gauge"] = d.CalPhase == 2 ? v.GaugeWithLoad : v.GaugeWithoutLoad;
            *ctx_.out << JsonLine(j) << std::endl;
            return;
        }
        *ctx_.out << "state " << int(d.CalState) << " phase " << int(d.CalPhase) << " progress " << int(d.CalProgress)
                  << "  " << page;
        if (cal.Legacy())
            *ctx_.out << " " << v.Bar << "/" << lumex::kLegacyBarSteps;
        else if (v.Page == lumex::TAutoCalPage::ProgressWithoutLoad)
            *ctx_.out << " " << v.GaugeWithoutLoad << "/" << v.GaugeWithoutLoadMax;
        else if (v.Page == lumex::TAutoCalPage::ProgressWithLoad)
            *ctx_.out << " " << v.GaugeWithLoad << "/" << v.GaugeWithLoadMax;
        *ctx_.out << std::endl;
    }

private:
    static lumex::TControllerLink &link() { return lumex::Link(); }
    const CliContext &ctx_;
    bool printed_ = false;
    std::tuple<uint8_t, uint8_t, uint8_t, lumex::TAutoCalPage, bool> last_{};
};

void PrintResult(const CliContext &ctx, const lumex::TAutoCalibration &cal, bool legacy)
{
    const lumex::TAutoCalView &v = cal.View();
    const lumex::TAutoCalOutcome outcome = cal.Outcome();
    auto text = [](const std::string &key) { return key.empty() ? std::string() : lumex::MessageText(key); };
    if (ctx.json) {
        nlohmann::json j{
            {"Outcome", lumex::AutoCalOutcomeName(outcome)}, {"Info1", text(v.Info1)}, {"Info2", text(v.Info2)}};
        if (!legacy) {
            j["Verdict"] = static_cast<int>(v.Verdict);
            j["Ratio"] = v.Ratio;
        }
        if (v.Model) {
            nlohmann::json points = nlohmann::json::array();
            for (const auto &p : v.Model->Points)
                points.push_back({p.X, p.Y});
            j["Model"] = {{"Points", points},
                          {"Multiplier", v.Model->Multiplier},
                          {"Offset", v.Model->Offset},
                          {"MultiplierPercent", v.Model->MultSpinner},
                          {"OffsetTenths", v.Model->OffsetSpinner}};
        }
        if (cal.StartStop() != lumex::TAutoCalStartStop::None || !cal.LastWrite().Ok)
            j["Failure"] = cal.LastWrite().Ok ? "" : cal.LastWrite().Message();
        if (v.OpenMapPage)
            j["MapCollection"] = true;
        *ctx.out << JsonLine(j) << std::endl;
        return;
    }
    *ctx.out << "outcome: " << lumex::AutoCalOutcomeName(outcome) << "\n";
    if (!v.Info1.empty())
        *ctx.out << text(v.Info1) << "\n";
    if (!v.Info2.empty())
        *ctx.out << text(v.Info2) << "\n";
    if (!cal.LastWrite().Ok)
        *ctx.out << "write failed: " << cal.LastWrite().Message() << "\n";
    if (legacy) {
        if (outcome == lumex::TAutoCalOutcome::Completed)
            *ctx.out << kModelUnavailable << "\n";
        if (v.OpenMapPage)
            *ctx.out << "map collection started (work type 2)\n";
        return;
    }
    if (v.Verdict != lumex::TNozzleVerdict::None)
        *ctx.out << "nozzle verdict: " << static_cast<int>(v.Verdict) << " (k = " << Fixed(v.Ratio, "%.3f") << ")\n";
    if (!v.Model)
        return;
    *ctx.out << "model: multiplier " << Fixed(v.Model->Multiplier, "%.4f") << " (" << v.Model->MultSpinner
             << " %), offset " << Fixed(v.Model->Offset, "%.1f") << " ms\n";
    for (const auto &p : v.Model->Points)
        *ctx.out << "  Tb " << Fixed(p.X, "%6.2f") << " ms  ->  Tg " << Fixed(p.Y, "%6.2f") << " ms\n";
}

int ExitFor(lumex::TAutoCalOutcome outcome)
{
    return outcome == lumex::TAutoCalOutcome::Completed ? kExitOk : kExitDevice;
}

} // namespace

int RunAutocal(CliContext &ctx)
{
    if (!ctx.args.empty() && (ctx.args[0] == "--help" || ctx.args[0] == "-h")) {
        *ctx.out << kHelp;
        return kExitOk;
    }
    const auto lang = TakeLanguageOption(ctx.args);
    TOptions options;
    if (const auto error = ParseOptions(ctx, options))
        return UsageError(ctx, *error);
    lumex::TLM lm;
    std::string error;
    if (!LoadCliLanguage(lm, lang ? *lang : SettingsLanguage(), error))
        return UsageError(ctx, "autocal: " + error);

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    // The start needs the configuration, the lock state and a fresh reducer
    // temperature.
    if (!lumex::ReadGenerationConfiguration(m) || !m.ReadLockState() || !m.PollCycle(lumex::pmReadings)) {
        *ctx.err << "lumex2-cli: reading the controller failed\n";
        return kExitDevice;
    }
    if (options.Fuel)
        link.Data.FuelType = *options.Fuel == lumex::TFuel::LPG ? 0 : 1;

    const TInterruptScope interrupt;
    lumex::TAutoCalIo io;
    io.Ask = [&ctx, &options](const lumex::TQuestion &q) { return AskOnConsole(ctx, q.Text, options.Yes); };
    io.ShowError = [&ctx](const std::string &text) { *ctx.err << "lumex2-cli: " << text << "\n"; };
    io.Wait = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    io.WriteResult = options.Yes;
    lumex::TAutoCalibration cal(m, io);

    lumex::TAutoCalRunIo run;
    run.Wait = [](std::chrono::milliseconds ms) {
        // In short slices, so Ctrl+C is seen at once.
        const auto end = std::chrono::steady_clock::now() + ms;
        while (!gInterrupted && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(ms, std::chrono::milliseconds(50)));
    };
    run.Interval = options.Interval;
    run.CancelRequested = [] { return gInterrupted.load(); };
    run.ConfirmLoad = [&ctx, &options] {
        return AskOnConsole(ctx, "Switch the load on (lights, blower, rear window heating) and continue?", options.Yes);
    };
    run.OnStep = TStatePrinter(ctx);

    const lumex::TAutoCalOutcome outcome = lumex::RunAutoCalibration(cal, m, run);
    if (outcome == lumex::TAutoCalOutcome::NotStarted && !cal.LastWrite().Ok)
        *ctx.err << "lumex2-cli: autocal: " << cal.LastWrite().Message() << "\n";
    else if (outcome == lumex::TAutoCalOutcome::NotStarted)
        *ctx.err << "lumex2-cli: autocal: the procedure was not started\n";
    PrintResult(ctx, cal, cal.Legacy());
    return ExitFor(outcome);
}

} // namespace cli
