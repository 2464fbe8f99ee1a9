// The program's start-up with --demo, each run in a process of its own as
// the user starts it, timed from the start of the start-up path (before Qt is
// up) to the main window's first show and first paint, to the first request
// on the simulated line, and to the first snapshot the window applies with
// fresh readings. Set beside them: what the reconnection up to the first
// live-readings request costs on the wire at 9600 8N1, the part of the
// start-up no program can go below.
// Usage: lumex2-bench-startup [RUNS]
//        lumex2-bench-startup --frames   one start-up with its line's frames
#include "BenchSupport.h"

#include "controller/CommandCodes.h"
#include "mainwindow/ApplicationStartup.h"
#include "mainwindow/FormMain.h"
#include "sim/Trace.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using namespace lumex;

namespace {

using Clock = std::chrono::steady_clock;

// The switch that makes the bench one measured start-up of the program.
constexpr char kOneRunSwitch[] = "--one-start-up";
// Lists the line's frames with their times, for finding where time goes.
constexpr char kFramesSwitch[] = "--frames";
constexpr int kDefaultRuns = 5;
// Only a start-up that never reaches its readings runs into this.
constexpr int kRunDeadlineMs = 30000;
// The goal for the window on screen.
constexpr double kShownGoalMs = 400;
// What the child prints, for the parent to read back.
constexpr char kResultFormat[] = "result started=%lld shown=%lf painted=%lf first_request=%lf live_request=%lf "
                                 "readings=%lf wire=%lf silence=%lf transactions=%zu";
constexpr int kResultFields = 9;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// A request that brings the live readings, in one block or the first half.
bool IsLiveReadingsRequest(const testsupport::SimFrame &frame)
{
    return frame.IsRequest() && frame.bytes.size() > 1 &&
           (frame.bytes[1] == cmd::ReadLiveDataFull || frame.bytes[1] == cmd::ReadLiveData);
}

struct TRun
{
    long long started = 0; // the start of the start-up path, steady clock nanoseconds
    double launch = -1;    // from the bench's fork to the start of the start-up path
    double shown = -1;     // the main window's first show event
    double painted = -1;   // its first paint
    double firstRequest = -1;
    double liveRequest = -1; // the first live-readings request
    double readings = -1;    // the first snapshot applied with fresh readings
    double wire = -1;        // the reconnection's requests up to the live readings, on the wire
    double silence = -1;     // the longest the line stood idle between an answer and the next request
    std::size_t transactions = 0;
    double load = 0; // the one-minute load average before the run

    bool Complete() const { return shown >= 0 && painted >= 0 && firstRequest >= 0 && readings >= 0 && wire >= 0; }
};

// A frame on the line, timed by the bench.
struct TTimedFrame
{
    double at = 0; // ms from the start of the start-up path
    testsupport::SimFrame frame;
};

// The longest idle stretch between the end of an answer (paced byte by
// byte from its start) and the next request.
double LongestSilence(const std::vector<TTimedFrame> &frames)
{
    double longest = 0;
    const TTimedFrame *lastAnswer = nullptr;
    for (const auto &f : frames) {
        if (f.frame.dir == "tx") {
            lastAnswer = &f;
        } else if (f.frame.IsRequest() && lastAnswer != nullptr) {
            const double end = lastAnswer->at + static_cast<double>(lastAnswer->frame.bytes.size()) * sim::kByteMs;
            longest = std::max(longest, f.at - end);
            lastAnswer = nullptr;
        }
    }
    return longest;
}

// Sees the main window's first show and the first paint of it or of any
// widget in it.
class TWindowWatcher : public QObject
{
public:
    std::function<QWidget *()> MainWindow;
    std::function<void()> OnShown;
    std::function<void()> OnPainted;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        // Done with both, it no longer asks for the window, which goes
        // before the application does.
        const auto type = event->type();
        if (!(shown_ && painted_) && (type == QEvent::Show || type == QEvent::Paint) && object->isWidgetType()) {
            QWidget *window = MainWindow();
            auto *widget = static_cast<QWidget *>(object);
            if (window != nullptr && type == QEvent::Show && widget == window && !shown_) {
                shown_ = true;
                OnShown();
            } else if (window != nullptr && type == QEvent::Paint && widget->window() == window && !painted_) {
                painted_ = true;
                OnPainted();
            }
        }
        return QObject::eventFilter(object, event);
    }

private:
    bool shown_ = false;
    bool painted_ = false;
};

// One start-up through the program's own path; prints its result line.
int RunOnce(char *program, bool listFrames)
{
    const auto start = Clock::now();
    const auto since = [start] { return Ms(Clock::now() - start); };

    TRun run;
    run.started = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    std::mutex lineMutex; // the simulator's thread writes these
    std::vector<TTimedFrame> frames;
    TWindowWatcher watcher;

    char demo[] = "--demo";
    char *args[] = {program, demo, nullptr};
    int argc = 2;
    const int code = RunLumex2(argc, args, [&](TApplicationStartup &startup) {
        // A message box would wait for a click that never comes.
        startup.ShowMessage = [](QWidget *, const TUserMessage &m) {
            std::fprintf(stderr, "message: %s: %s\n", m.Caption.toUtf8().constData(), m.Text.toUtf8().constData());
        };
        startup.DemoLineObserver = [&](const sim::TraceEvent &e) {
            const double at = since();
            std::lock_guard g(lineMutex);
            if (run.liveRequest >= 0)
                return;
            frames.push_back({at, {e.t, e.dir, e.bytes, sim::HexBytes(e.bytes), e.violation, e.fault, e.discarded}});
            const testsupport::SimFrame &frame = frames.back().frame;
            if (!frame.IsRequest())
                return;
            if (run.firstRequest < 0)
                run.firstRequest = at;
            if (IsLiveReadingsRequest(frame))
                run.liveRequest = at;
        };
        watcher.MainWindow = [&startup] { return static_cast<QWidget *>(startup.MainWindow()); };
        watcher.OnPainted = [&] { run.painted = since(); };
        watcher.OnShown = [&] {
            run.shown = since();
            // Shown inside the start-up, before the device starts: no
            // snapshot can have come yet.
            TFormMain *window = startup.MainWindow();
            window->OnSnapshotApplied = [&run, since, window](const TDeviceSnapshot &s) {
                if (!s.Report.ReadingsFresh || run.readings >= 0)
                    return;
                run.readings = since();
                QTimer::singleShot(0, window, [window] { window->close(); });
            };
        };
        qApp->installEventFilter(&watcher);
        QTimer::singleShot(kRunDeadlineMs, qApp, [&startup] {
            std::fprintf(stderr, "no fresh readings within %d ms\n", kRunDeadlineMs);
            if (startup.MainWindow() != nullptr)
                startup.MainWindow()->close();
            else
                QApplication::quit();
        });
    });

    std::lock_guard g(lineMutex);
    testsupport::SimTrace trace;
    for (const auto &f : frames)
        trace.push_back(f.frame);
    if (run.liveRequest >= 0) {
        const bench::TWireTotal wire = bench::PriceRequests(trace, sim::SimulatorOptions{}.turnaroundMs);
        run.wire = wire.wireMs;
        run.transactions = wire.transactions;
    }
    run.silence = LongestSilence(frames);
    std::printf(kResultFormat, run.started, run.shown, run.painted, run.firstRequest, run.liveRequest, run.readings,
                run.wire, run.silence, run.transactions);
    std::printf("\n");
    if (listFrames) {
        for (const auto &f : frames)
            std::printf("frame %9.1f %-2s %s%s%s\n", f.at, f.frame.dir.c_str(), f.frame.hex.c_str(),
                        f.frame.discarded.empty() ? "" : "  discarded: ", f.frame.discarded.c_str());
    }
    return code != 0 ? code : (run.Complete() ? 0 : 1);
}

double LoadAverage()
{
    double load = -1;
    if (std::FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = -1;
        std::fclose(f);
    }
    return load;
}

// Runs this program again as one start-up and reads its result line;
// `frames` gets the lines listing the frames when asked for.
bool StartUpInProcess(char *program, bool listFrames, TRun &run, std::string &frames)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const auto launched = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::string one = kOneRunSwitch;
        std::string list = kFramesSwitch;
        char *args[] = {program, one.data(), listFrames ? list.data() : nullptr, nullptr};
        execv("/proc/self/exe", args);
        _exit(127);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto at = output.find("result ");
    if (at == std::string::npos)
        return false;
    const bool parsed =
        std::sscanf(output.c_str() + at, kResultFormat, &run.started, &run.shown, &run.painted, &run.firstRequest,
                    &run.liveRequest, &run.readings, &run.wire, &run.silence, &run.transactions) == kResultFields;
    // The steady clock is the system's monotonic one, the same in both processes.
    const auto launchedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(launched.time_since_epoch()).count();
    run.launch = static_cast<double>(run.started - launchedNs) / 1e6;
    if (const auto list = output.find("frame "); list != std::string::npos)
        frames = output.substr(list);
    return parsed && WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.Complete();
}

struct TSpread
{
    double median = 0, min = 0, max = 0;
};

TSpread Spread(const std::vector<TRun> &runs, double TRun::*field)
{
    std::vector<double> v;
    for (const auto &r : runs)
        v.push_back(r.*field);
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    const double median = n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], kOneRunSwitch) == 0)
        return RunOnce(argv[0], argc > 2 && std::strcmp(argv[2], kFramesSwitch) == 0);

    const bool listFrames = argc > 1 && std::strcmp(argv[1], kFramesSwitch) == 0;
    const int runs = listFrames ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The user's own settings stay out of it, read or written.
    char configHome[] = "/tmp/lumex2-bench-startup-XXXXXX";
    if (mkdtemp(configHome) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", configHome, 1);

    std::printf("start-up with --demo (3.0 G, paced 9600 8N1, turnaround %.1f ms), %d runs, each a new process;\n"
                "times from the start of the start-up path, ms\n",
                sim::SimulatorOptions{}.turnaroundMs, runs);
    std::printf("%4s %6s %7s %7s %8s %8s %9s %9s %8s %8s %4s\n", "run", "load", "launch", "shown", "painted", "1st req",
                "live req", "readings", "wire", "silence", "req");
    std::vector<TRun> done;
    bool allBefore = true;
    int paintedBefore = 0;
    std::string frames;
    for (int i = 1; i <= runs; ++i) {
        TRun run;
        run.load = LoadAverage();
        if (!StartUpInProcess(argv[0], listFrames, run, frames)) {
            std::printf("%4d %6.2f  the start-up did not reach its first readings\n", i, run.load);
            continue;
        }
        std::printf("%4d %6.2f %7.1f %7.1f %8.1f %8.1f %9.1f %9.1f %8.1f %8.1f %4zu\n", i, run.load, run.launch,
                    run.shown, run.painted, run.firstRequest, run.liveRequest, run.readings, run.wire, run.silence,
                    run.transactions);
        allBefore = allBefore && run.shown < run.firstRequest;
        paintedBefore += run.painted < run.firstRequest ? 1 : 0;
        done.push_back(run);
    }
    if (listFrames)
        std::printf("\nthe line up to the first live-readings request (ms from the start of the path):\n%s",
                    frames.c_str());
    std::filesystem::remove_all(configHome);
    if (done.empty())
        return 1;

    const TSpread wire = Spread(done, &TRun::wire);
    struct TRow
    {
        const char *name;
        double TRun::*field;
    };
    const TRow rows[] = {
        {"    launch: fork to the start-up path", &TRun::launch},
        {"(a) window shown (first show)", &TRun::shown},
        {"    window painted (first paint)", &TRun::painted},
        {"    first request on the line", &TRun::firstRequest},
        {"    first live-readings request", &TRun::liveRequest},
        {"(b) first fresh readings applied", &TRun::readings},
        {"(c) wire time of the reconnection", &TRun::wire},
        {"    longest silence on the line", &TRun::silence},
    };
    std::printf("\n%-36s %9s %9s %9s %8s\n", "", "median", "min", "max", "x (c)");
    for (const auto &row : rows) {
        const TSpread s = Spread(done, row.field);
        std::printf("%-36s %9.1f %9.1f %9.1f %8.2f\n", row.name, s.median, s.min, s.max, s.median / wire.median);
    }
    const TSpread shown = Spread(done, &TRun::shown);
    std::printf("\nwindow shown before the first request reached the line: %s (%zu of %d runs measured)\n",
                allBefore ? "yes, every run" : "NO", done.size(), runs);
    std::printf("window painted before the first request reached the line: %d of %zu runs\n", paintedBefore,
                done.size());
    std::printf("window shown under %.0f ms: %s (median %.1f ms)\n", kShownGoalMs,
                shown.median < kShownGoalMs ? "yes" : "NO", shown.median);
    return allBefore && done.size() == static_cast<std::size_t>(runs) ? 0 : 1;
}
