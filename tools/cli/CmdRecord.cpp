// lumex2-cli record: the recorder's samples from the command line, at the
// polling rate of the main window, written to a CSV file with the columns
// the window exports.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include "mainwindow/OscCapture.h"
#include "mainwindow/OscCsv.h"
#include "mainwindow/OscRecorder.h"
#include "mainwindow/TickRules.h"

#include <chrono>
#include <ostream>
#include <thread>

namespace cli {

namespace {

constexpr const char *kUsage = "usage: record --seconds N --csv FILE";
constexpr uint32_t kMaxSeconds = 24u * 3600u;
constexpr const char *kHelp =
    "usage: lumex2-cli [--port N|PATH] record --seconds N --csv FILE\n"
    "Records the live readings for N seconds (1..86400) at the window's polling rate and writes\n"
    "them to FILE with the columns the recorder exports.\n"
    "  --seconds N  how long to record\n"
    "  --csv FILE   where to write the samples\n";

} // namespace

int RunRecord(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    std::optional<uint32_t> seconds;
    std::string path;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string &a = ctx.args[i];
        if (a == "--seconds" && i + 1 < ctx.args.size()) {
            seconds = ParseNumber(ctx.args[++i], kMaxSeconds);
            if (!seconds || *seconds == 0)
                return UsageError(ctx, "record: --seconds takes a number from 1 to 86400");
        } else if (a == "--csv" && i + 1 < ctx.args.size()) {
            path = ctx.args[++i];
        } else {
            return UsageError(ctx, kUsage);
        }
    }
    if (!seconds || path.empty())
        return UsageError(ctx, kUsage);

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;

    lumex::TOscCsvStream csv;
    std::string error;
    if (!csv.Open(path, error)) {
        *ctx.err << "lumex2-cli: " << error << "\n";
        return kExitDevice;
    }
    // The command line records whatever the lock state: it writes nothing
    // to the controller.
    lumex::TOscRecorder recorder;
    recorder.Start(lumex::kLockUnlocked);
    bool writeFailed = false;
    recorder.OnSample = [&](const lumex::TOscSample &s) { writeFailed = writeFailed || !csv.Append(s); };
    const lumex::TAbsentObdSource obd;
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(lumex::kIntervalConnected);
    const auto end = Clock::now() + std::chrono::seconds(*seconds);
    auto tick = Clock::now();
    std::size_t failedCycles = 0;
    while (tick < end && !writeFailed) {
        if (m.PollCycle(lumex::pmReadings))
            recorder.Append(lumex::TakeOscSample(m, lumex::kInjectorAverage, obd), Clock::now());
        else
            ++failedCycles;
        tick = lumex::NextTickStart(tick, interval, Clock::now());
        std::this_thread::sleep_until(tick);
    }
    if (!csv.Close(error) || writeFailed) {
        *ctx.err << "lumex2-cli: writing " << path << " failed" << (error.empty() ? "" : ": " + error) << "\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"csv", path}, {"rows", csv.Rows()}, {"failedCycles", failedCycles}}) << "\n";
    else
        *ctx.out << csv.Rows() << " samples written to " << path << "\n";
    return csv.Rows() > 0 ? kExitOk : kExitDevice;
}

} // namespace cli
