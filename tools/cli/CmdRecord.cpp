// lumex2-cli record: the recorder's samples from the command line, at the
// polling rate of the main window, written to a CSV file with the columns
// the window exports. With an adapter on the line the car is connected
// and polled as the OBD window does, so the OBD columns fill.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "ObdSession.h"

#include "mainwindow/ObdOscChannels.h"
#include "mainwindow/OscCapture.h"
#include "mainwindow/OscCsv.h"
#include "mainwindow/OscRecorder.h"
#include "mainwindow/TickRules.h"

#include <chrono>
#include <ostream>
#include <thread>

namespace cli {

namespace {

constexpr const char *kUsage = "usage: record --seconds N --csv FILE [--protocol N]";
constexpr uint32_t kMaxSeconds = 24u * 3600u;
constexpr const char *kHelp =
    "usage: lumex2-cli [--port N|PATH] [--json] record --seconds N --csv FILE [--protocol N]\n"
    "Records the live readings for N seconds (1..86400) at the window's polling rate and writes\n"
    "them to FILE with the columns the recorder exports. When an adapter with the OBD function\n"
    "answers, the car is connected and its OBD values fill the OBD columns; otherwise they stay\n"
    "empty.\n"
    "  --seconds N   how long to record\n"
    "  --csv FILE    where to write the samples\n"
    "  --protocol N  the car's OBD protocol 1..7 (default: the adapter's own)\n";
constexpr uint32_t kLastProtocol = 7;

// Connects the car when an adapter with the OBD function answers; the
// recording goes on without OBD values otherwise. True when the car is
// connected.
bool StartObd(CliContext &ctx, TObdSession &s, int protocol)
{
    s.logic->ResetModules();
    if (!s.obd->IsConnected()) {
        *ctx.err << "lumex2-cli: no adapter with the OBD function answered; the OBD columns stay empty\n";
        return false;
    }
    if (ConnectCar(ctx, s, protocol) != kExitOk) {
        *ctx.err << "lumex2-cli: recording without OBD values\n";
        return false;
    }
    return true;
}

} // namespace

int RunRecord(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    std::optional<uint32_t> seconds;
    std::string path;
    int protocol = 0;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string &a = ctx.args[i];
        if (a == "--seconds" && i + 1 < ctx.args.size()) {
            seconds = ParseNumber(ctx.args[++i], kMaxSeconds);
            if (!seconds || *seconds == 0)
                return UsageError(ctx, "record: --seconds takes a number from 1 to 86400");
        } else if (a == "--csv" && i + 1 < ctx.args.size()) {
            path = ctx.args[++i];
        } else if (a == "--protocol" && i + 1 < ctx.args.size()) {
            const auto n = ParseNumber(ctx.args[++i], kLastProtocol);
            if (!n || *n == 0)
                return UsageError(ctx, "record: --protocol takes 1..7");
            protocol = static_cast<int>(*n);
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
    TObdSession session(link);
    const bool obdLinked = StartObd(ctx, session, protocol);
    const lumex::TObdModuleChannels obd(*session.obd);
    // The command line records whatever the lock state: it writes nothing
    // to the controller.
    lumex::TOscRecorder recorder;
    recorder.Start(lumex::kLockUnlocked);
    bool writeFailed = false;
    recorder.OnSample = [&](const lumex::TOscSample &s) { writeFailed = writeFailed || !csv.Append(s); };
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(lumex::kIntervalConnected);
    const auto end = Clock::now() + std::chrono::seconds(*seconds);
    auto tick = Clock::now();
    std::size_t failedCycles = 0;
    while (tick < end && !writeFailed) {
        const bool polled = m.PollCycle(lumex::pmReadings);
        // The adapter's step of the tick: link state, then the live values.
        if (obdLinked)
            session.manager.TickStep();
        if (polled)
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
        *ctx.out << JsonLine({{"csv", path}, {"rows", csv.Rows()}, {"failedCycles", failedCycles}, {"obd", obdLinked}})
                 << "\n";
    else
        *ctx.out << csv.Rows() << " samples written to " << path << "\n";
    return csv.Rows() > 0 ? kExitOk : kExitDevice;
}

} // namespace cli
