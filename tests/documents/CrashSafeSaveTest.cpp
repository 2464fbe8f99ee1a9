// Every kind of file the programs write survives a save killed at any
// moment: a child saves it over and over through the program's own writer
// and is killed with SIGKILL at a random point; the file must then hold the
// last content the child finished or the one it was writing, whole, and the
// program's clean-up must leave no temporary behind.
//
// The seed is printed; LUMEX_KILL_SEED=<seed> replays a run and
// LUMEX_KILL_ROUNDS=<n> changes the number of kills per kind.
#include "DocumentsTestSupport.h"
#include "FileKinds.h"
#include "KilledChild.h"

#include "common/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>

namespace lumex::crashtest {
namespace {

namespace fs = std::filesystem;
using TClock = TKilledChild::TClock;
using test::ReadBytes;

// A sanitized child starts and saves ten times slower; fewer kills there
// keep the run short, and the optimised tree does the full count.
#ifdef LUMEX_KILL_DEFAULT_ROUNDS
constexpr unsigned kDefaultRounds = LUMEX_KILL_DEFAULT_ROUNDS;
#else
constexpr unsigned kDefaultRounds = 40;
#endif
// Generous: only a hung child or a machine under heavy load gets near it.
constexpr auto kLineDeadline = std::chrono::seconds(60);

unsigned EnvNumber(const char *name, unsigned fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

unsigned Seed()
{
    static const unsigned seed = EnvNumber("LUMEX_KILL_SEED", std::random_device{}());
    return seed;
}

// Leftovers of saves: temporaries of any file and parts of recordings.
std::vector<std::string> Leftovers(const std::string &folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &e : fs::recursive_directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.find(".tmp") != std::string::npos || name.ends_with(".part"))
            found.push_back(name);
    }
    return found;
}

std::vector<fs::path> BackupFiles(const std::string &folder)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        if (e.path().extension() == ".gcf")
            found.push_back(e.path());
    return found;
}

// What the child said before it died.
struct TProgress
{
    std::optional<unsigned> LastDone;
    std::optional<unsigned> InFlight; // begun, not reported done
    unsigned Done = 0;
    std::string Error;

    void Take(const std::string &line)
    {
        if (line.starts_with("begin ")) {
            InFlight = static_cast<unsigned>(std::stoul(line.substr(6)));
        } else if (line.starts_with("done ")) {
            LastDone = static_cast<unsigned>(std::stoul(line.substr(5)));
            InFlight.reset();
            ++Done;
        } else {
            Error += line + "\n";
        }
    }
};

class CrashSafeSave : public ::testing::TestWithParam<TFileKind>
{
protected:
    TFileKind Kind() const { return GetParam(); }
    std::string Target() const { return TargetOf(Kind(), folder_.Path()); }

    // The file's bytes must be content `base` or `inFlight`; returns which.
    std::optional<unsigned> CheckTarget(unsigned base, std::optional<unsigned> inFlight)
    {
        std::error_code ec;
        if (!fs::exists(Target(), ec)) {
            ADD_FAILURE() << "the file is gone";
            return std::nullopt;
        }
        const std::string bytes = ReadBytes(Target());
        const std::string problem = ReadProblem(Kind(), bytes);
        EXPECT_EQ(problem, "") << "the file does not read back whole (" << bytes.size() << " bytes)";
        if (IsContentOf(Kind(), bytes, base))
            return base;
        if (inFlight && IsContentOf(Kind(), bytes, *inFlight))
            return *inFlight;
        ADD_FAILURE() << "the file holds neither content " << base << " nor the one being saved (" << bytes.size()
                      << " bytes)";
        return std::nullopt;
    }

    // Every backup is a whole one the child began, and there is one for
    // each save it finished (and maybe the one it was in).
    void CheckBackups(unsigned first, const TProgress &progress)
    {
        const std::vector<fs::path> files = BackupFiles(Target());
        const unsigned expected = progress.Done;
        EXPECT_TRUE(files.size() == expected || (progress.InFlight && files.size() == expected + 1))
            << files.size() << " backups after " << expected << " finished saves";
        const unsigned last = progress.InFlight ? *progress.InFlight : (progress.LastDone ? *progress.LastDone : first);
        std::set<unsigned> seen;
        for (const fs::path &file : files) {
            const std::string bytes = ReadBytes(file.string());
            EXPECT_EQ(ReadProblem(Kind(), bytes), "") << file.filename();
            bool known = false;
            for (unsigned n = first; n <= last && !known; ++n)
                if (bytes == ContentOf(Kind(), n) && seen.insert(n).second)
                    known = true;
            EXPECT_TRUE(known) << file.filename() << " is no whole backup of this round";
        }
    }

    // A killed recording's part holds the start of what it was writing.
    void CheckPart(const TProgress &progress)
    {
        const std::string part = Target() + ".part";
        std::error_code ec;
        if (!fs::exists(part, ec))
            return;
        ++partsLeft_;
        ASSERT_TRUE(progress.InFlight) << "a part without a recording";
        const std::string bytes = ReadBytes(part);
        EXPECT_TRUE(ContentOf(Kind(), *progress.InFlight).starts_with(bytes))
            << "the part is not the start of recording " << *progress.InFlight;
        CleanUpAfterCrash(Kind(), folder_.Path(), 0);
        const std::string recovered = folder_.Path() + "recording-recovered.csv";
        EXPECT_EQ(ReadBytes(recovered), bytes) << "the recovered recording lost rows";
        fs::remove(recovered, ec);
    }

    test::TTempFolder folder_;
    unsigned partsLeft_ = 0;
};

TEST_P(CrashSafeSave, KilledSavesLeaveTheOldOrTheNewFileWholeAndNoTemporary)
{
    const unsigned rounds = EnvNumber("LUMEX_KILL_ROUNDS", kDefaultRounds);
    std::mt19937 rng(Seed() + static_cast<unsigned>(Kind()));
    std::cout << "[ seed ] LUMEX_KILL_SEED=" << Seed() << "\n";
    const bool backups = Kind() == TFileKind::Backup;

    // The program's writer makes exactly the content the checks expect.
    // A module settings file comes from the adapter only: its first save is
    // the file the kills start from.
    unsigned current = 0, next = 1;
    if (!backups && Kind() != TFileKind::Gaf) {
        fs::create_directories(fs::path(Target()).parent_path());
        WriteFileAtomically(Target(), ContentOf(Kind(), current));
    }
    SaveThroughProgram(Kind(), folder_.Path(), next);
    if (backups) {
        const auto files = BackupFiles(Target());
        ASSERT_EQ(files.size(), 1u);
        ASSERT_EQ(ReadBytes(files.front().string()), ContentOf(Kind(), next));
    } else {
        ASSERT_TRUE(IsContentOf(Kind(), ReadBytes(Target()), next));
    }
    current = next++;

    double meanSaveUs = 3000; // corrected from the child's own pace
    unsigned temporariesLeft = 0;
    const auto started = TClock::now();
    for (unsigned round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", first save " + std::to_string(next));
        std::error_code ec;
        if (backups) {
            fs::remove_all(Target(), ec);
            fs::create_directories(Target(), ec);
        }
        TKilledChild child(LUMEX_SAVE_CHILD_PATH, {NameOf(Kind()), folder_.Path(), std::to_string(next)});
        TProgress progress;
        // Kill in the first save or after one, at a random moment.
        const unsigned waitDone = rng() % 2;
        TClock::time_point begun{};
        while (progress.Done < waitDone || !progress.InFlight) {
            const auto line = child.ReadLine(TClock::now() + kLineDeadline);
            ASSERT_TRUE(line) << (child.TimedOut() ? "the child went silent" : "the child ended") << ": "
                              << progress.Error;
            const bool wasDone = line->starts_with("done ");
            progress.Take(*line);
            ASSERT_EQ(progress.Error, "");
            if (line->starts_with("begin "))
                begun = TClock::now();
            else if (wasDone && begun != TClock::time_point{})
                meanSaveUs =
                    0.8 * meanSaveUs + 0.2 * std::chrono::duration<double, std::micro>(TClock::now() - begun).count();
        }
        // The random moment of the kill is what this test is about: the
        // pause before it is the experiment, not a wait for a condition.
        const auto delay = std::uniform_real_distribution<double>(0, 1.5 * meanSaveUs)(rng);
        std::this_thread::sleep_for(std::chrono::duration<double, std::micro>(delay));
        std::vector<std::string> rest;
        const int status = child.KillAndReap(rest, TClock::now() + kLineDeadline);
        for (const std::string &line : rest)
            progress.Take(line);
        ASSERT_EQ(progress.Error, "");
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

        if (backups) {
            CheckBackups(next, progress);
        } else {
            const unsigned base = progress.LastDone ? *progress.LastDone : current;
            if (const auto found = CheckTarget(base, progress.InFlight))
                current = *found;
        }
        next = (progress.InFlight ? *progress.InFlight : *progress.LastDone) + 1;
        if (Kind() == TFileKind::CsvStream)
            CheckPart(progress);

        // The next start (or the next save of a file the user names).
        temporariesLeft += static_cast<unsigned>(Leftovers(folder_.Path()).size());
        CleanUpAfterCrash(Kind(), folder_.Path(), next);
        if (Kind() == TFileKind::Gcf || Kind() == TFileKind::Gmf || Kind() == TFileKind::Gaf ||
            Kind() == TFileKind::CsvExport)
            current = next++;
        EXPECT_EQ(Leftovers(folder_.Path()), std::vector<std::string>{});
        if (!backups) {
            EXPECT_TRUE(IsContentOf(Kind(), ReadBytes(Target()), current)) << "the clean-up changed the file";
        }
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - started).count();
    // A temporary or a part left is a kill that hit the file being written.
    std::cout << "[ kills ] " << NameOf(Kind()) << ": " << rounds << " kills, " << temporariesLeft
              << " temporaries and " << partsLeft_ << " parts left and cleaned, " << seconds << " s\n";
}

INSTANTIATE_TEST_SUITE_P(EveryKind, CrashSafeSave, ::testing::ValuesIn(AllFileKinds()),
                         [](const ::testing::TestParamInfo<TFileKind> &info) {
                             std::string name = NameOf(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace lumex::crashtest
