// lumex2-cli autocal as its own process against the simulated controller:
// a whole run with --yes, the controller's error, and Ctrl+C, which must
// stop the controller's procedure before the program exits.
#include "ProgramRun.h"
#include "SimHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using nlohmann::json;

namespace {

namespace fs = std::filesystem;

// The program started in the background, so the test can act while it runs.
class Background
{
public:
    explicit Background(std::vector<std::string> args)
        : scratch_(fs::temp_directory_path() / ("autocal-cli-" + std::to_string(::getpid())))
    {
        fs::create_directories(scratch_);
        args.insert(args.begin(), LUMEX_CLI_PATH);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = (scratch_ / "out").string(), err = (scratch_ / "err").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
                ::_exit(127);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Background()
    {
        if (pid_ > 0 && !done_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove_all(scratch_);
    }
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;

    void Interrupt() { ::kill(pid_, SIGINT); }

    testsupport::TProgramRun Wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        done_ = true;
        testsupport::TProgramRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = testsupport::ReadTextFile(scratch_ / "out");
        r.err = testsupport::ReadTextFile(scratch_ / "err");
        return r;
    }

private:
    fs::path scratch_;
    pid_t pid_ = -1;
    bool done_ = false;
};

// A 3.0 "G" controller idling warm with its petrol times pinned.
struct IdlingController : testsupport::SimHarness
{
    explicit IdlingController(double gasFactor = 1.0)
    {
        Control("engine idle");
        for (int i = 1; i <= 8; ++i)
            Control("set petrol " + std::to_string(i) + " 449");
        Control("set tred 60");
        Control("gasfactor " + std::to_string(gasFactor));
    }

    std::size_t Count(const std::string &frame) const
    {
        const auto r = Requests();
        return static_cast<std::size_t>(std::count(r.begin(), r.end(), frame));
    }
};

std::vector<json> JsonLines(const std::string &out)
{
    std::vector<json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.front() == '{')
            lines.push_back(json::parse(line));
    }
    return lines;
}

const std::string kReadState = "C0 21 21 02";
const std::string kStop = "C0 20 00 E0";

// For WaitUntil, which hands over the trace it holds.
std::function<bool(const testsupport::SimTrace &)> ReadsSeen(std::size_t n)
{
    return [n](const testsupport::SimTrace &trace) {
        const auto reads = std::count_if(trace.begin(), trace.end(), [](const testsupport::SimFrame &f) {
            return f.IsRequest() && f.hex == kReadState;
        });
        return static_cast<std::size_t>(reads) >= n;
    };
}

} // namespace

TEST(CliAutocal, AWholeRunPrintsEachStateThenTheVerdictAndWritesTheModel)
{
    IdlingController c;
    Background cli({"--port", c.Path(), "--json", "autocal", "--yes", "--interval", "0", "--lang", "EN"});
    const auto r = cli.Wait();
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto lines = JsonLines(r.out);
    ASSERT_FALSE(lines.empty());
    const json &result = lines.back();
    EXPECT_EQ(result.at("Outcome"), "completed");
    EXPECT_EQ(result.at("Verdict"), 4);
    EXPECT_EQ(result.at("Info1"), "The gas nozzles are well chosen.");
    EXPECT_EQ(result.at("Model").at("Points").size(), 8u);
    // Each progress step was printed once, in order, without and with load.
    std::vector<int> withoutLoad, withLoad;
    for (const auto &l : lines) {
        if (!l.contains("CalState"))
            continue;
        if (l.at("Page") == "ProgressWithoutLoad")
            withoutLoad.push_back(l.at("Gauge"));
        if (l.at("Page") == "ProgressWithLoad")
            withLoad.push_back(l.at("Gauge"));
    }
    // Eight injectors: 36 steps without load, 33 with it; the last of each
    // shows the next page.
    EXPECT_EQ(withoutLoad.size(), 35u);
    EXPECT_EQ(withLoad.size(), 32u);
    EXPECT_TRUE(std::is_sorted(withoutLoad.begin(), withoutLoad.end()));
    ASSERT_TRUE(c.Sync());
    EXPECT_EQ(c.Count(kReadState), 69u);
    EXPECT_EQ(c.Count("C0 20 07 E7"), 1u);
    // The model's multiplier was written after the run ended.
    const auto req = c.Requests();
    const auto stop = std::find(req.begin(), req.end(), kStop);
    ASSERT_NE(stop, req.end());
    EXPECT_NE(std::find(stop, req.end(), "C0 16 01 03 B8 92"), req.end());
    EXPECT_TRUE(c.Violations().empty());
}

TEST(CliAutocal, WithoutYesTheQuestionsAreReadAndNothingStarts)
{
    IdlingController c;
    Background cli({"--port", c.Path(), "autocal", "--interval", "0", "--lang", "EN"});
    const auto r = cli.Wait();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("[y/n]"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("not started"), std::string::npos) << r.err;
    ASSERT_TRUE(c.Sync());
    EXPECT_EQ(c.Count("C0 20 03 E3"), 0u);
}

TEST(CliAutocal, TheControllersErrorExitsWithOne)
{
    IdlingController c;
    Background cli({"--port", c.Path(), "--json", "autocal", "--yes", "--interval", "20", "--lang", "EN"});
    ASSERT_TRUE(c.WaitUntil(ReadsSeen(3)));
    c.Control("calibration fail");
    const auto r = cli.Wait();
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const auto lines = JsonLines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().at("Outcome"), "error");
    EXPECT_EQ(lines.back().at("Info1"), "Autocalibration did not finish.");
    ASSERT_TRUE(c.Sync());
    const auto req = c.Requests();
    ASSERT_GE(req.size(), 2u);
    EXPECT_EQ(req[req.size() - 2], kStop);
}

TEST(CliAutocal, CtrlCStopsTheControllerCleanlyAndExitsWithOne)
{
    IdlingController c;
    Background cli({"--port", c.Path(), "autocal", "--yes", "--interval", "20", "--lang", "EN"});
    ASSERT_TRUE(c.WaitUntil(ReadsSeen(3)));
    cli.Interrupt();
    const auto r = cli.Wait();
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("outcome: cancelled"), std::string::npos) << r.out;
    ASSERT_TRUE(c.Sync());
    const auto req = c.Requests();
    ASSERT_GE(req.size(), 2u);
    EXPECT_EQ(req[req.size() - 2], kStop);
    EXPECT_EQ(req.back(), "C0 53 05 18");
    EXPECT_NE(c.Control("state").find("WorkState 0"), std::string::npos);
}
