#include "FaultLane.h"

#include "FirmwareWriter.h"
#include "StoredSettings.h"

#include "calibration/ModelSequences.h"
#include "controller/ConfigurationIO.h"
#include "sim/controller/ControllerModel.h"
#include "sim/controller/FactoryDefaults.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

namespace faultmatrix {

using namespace lumex;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Long enough that only a link that does not come back reaches it: a lost
// link waits for the next tick of the disconnected interval, and a late
// answer can cost one more cycle.
constexpr auto kRecoveryDeadline = 60s;
constexpr uint8_t kUpdateVariant = 4;
constexpr std::size_t kImageBlocks = 40;
// Bootloader commands of the update's steps, and the blocks it sends.
const std::vector<uint8_t> kUpdateCodes{0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE8};

using testsupport::Model;

// The fields the tick keeps current: a configuration put into the image
// for a write must not turn them back.
void KeepPolled(const TNorviData &from, TNorviData &to)
{
    to.PsysRaw = from.PsysRaw;
    to.PcolRaw = from.PcolRaw;
    to.TredRaw = from.TredRaw;
    to.TgasRaw = from.TgasRaw;
    to.SupplyRaw = from.SupplyRaw;
    to.LevelSensorRaw = from.LevelSensorRaw;
    to.LambdaRaw = from.LambdaRaw;
    to.SystemState = from.SystemState;
    to.RpmPeriod = from.RpmPeriod;
    to.PetrolTime = from.PetrolTime;
    to.GasTime = from.GasTime;
    to.LockState = from.LockState;
}

std::string Hex(uint8_t b)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

template <typename T> const T &Pick(std::mt19937_64 &random, const std::vector<T> &items)
{
    return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(random)];
}

} // namespace

const char *PhaseName(TPhase phase)
{
    switch (phase) {
    case TPhase::Polling:
        return "polling";
    case TPhase::AdapterPolling:
        return "adapter polling";
    case TPhase::ConfigRead:
        return "configuration read";
    case TPhase::ConfigWrite:
        return "configuration write";
    case TPhase::MapRead:
        return "map read";
    case TPhase::Upgrade:
        return "upgrade";
    }
    return "?";
}

const std::vector<std::string> &FaultKinds()
{
    // An unplug shorter than the default keeps the matrix quick; the link
    // still disappears and comes back at its path.
    static const std::vector<std::string> kinds{"silence", "bad-checksum", "short",   "bad-start",
                                                "stray",   "late",         "garbage", "unplug=300"};
    return kinds;
}

unsigned TTally::Fired() const
{
    unsigned n = 0;
    for (const auto &[key, count] : Injected)
        n += count;
    return n;
}

void TTally::Merge(const TTally &other)
{
    for (const auto &[key, count] : other.Injected)
        Injected[key] += count;
    Recovered += other.Recovered;
    Unfired += other.Unfired;
    WritesMet += other.WritesMet;
    WritesNamed += other.WritesNamed;
    UpgradesMet += other.UpgradesMet;
    UpgradesCompleted += other.UpgradesCompleted;
    Retried += other.Retried;
    Failures.insert(Failures.end(), other.Failures.begin(), other.Failures.end());
}

TLane::TLane(unsigned index, uint64_t seed, bool upgrade, const fs::path &scratch)
    : index_(index), random_(seed), upgrade_(upgrade), scratch_(scratch)
{
    auto options = testsupport::SimSetup::Controller(0x30, 'G');
    options.seed = seed;
    if (upgrade) {
        options.controller.variant = kUpdateVariant;
    } else {
        options.stateFile = std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-30G.json";
        options.adapter = sim::AdapterIdentity{};
    }
    // An unplugged line comes back at this link, where the port looks.
    fs::create_directories(scratch_);
    options.linkPath = (scratch_ / "tty").string();
    sim_ = std::make_unique<testsupport::SimHarness>(options);
    link_.Port.SetDevicePath(sim_->Path());
    hooks_ = std::make_unique<TMainTickHooks>(link_);
    worker_ = std::make_unique<TDeviceWorker>(link_, nullptr, *hooks_);
    worker_->OnSnapshot = [this](const TDeviceSnapshot &s) { OnSnapshot(s); };
    if (upgrade) {
        fs::create_directories(scratch_ / "data");
        mkfw::FirmwareRecipe recipe;
        recipe.size = 36 * kImageBlocks;
        const auto bytes = mkfw::BuildFirmwareFile(recipe);
        firmware_ = (scratch_ / "new.upg").string();
        std::ofstream(firmware_, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        logic_ = std::make_unique<TUpgraderLogic>();
        logic_->SetPort(&link_.Port);
        // The program's own pauses between bootloader steps, a tenth as
        // long: not a wait in the test but the upgrade's timing, which the
        // bootloader needs (without any pause a start command can be lost),
        // kept in shape while an upgrade takes about a second.
        logic_->Boot().SetPause([](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms / 10)); });
        session_ = std::make_unique<TUpgradeSession>(link_.Manager, *logic_, (scratch_ / "data").string());
        session_->Ui.Question = [](const std::string &) { return true; };
    }
}

TLane::~TLane()
{
    worker_->Stop();
    worker_.reset();
    sim_->Stop();
}

void TLane::Fail(const std::string &what)
{
    tally_.Failures.push_back("lane " + std::to_string(index_) + ": " + what);
}

void TLane::OnSnapshot(const TDeviceSnapshot &s)
{
    std::lock_guard g(mutex_);
    serial_ = s.Serial;
    linkUp_ = s.LinkUp;
    adapterUp_ = s.Adapter.Connected;
    if (live_) {
        const std::string stray = StrayLive(TLiveValues::Of(s.Data), *live_);
        if (!stray.empty() && snapshotFailures_.size() < 10)
            snapshotFailures_.push_back("snapshot " + std::to_string(s.Serial) + ":" + stray);
    }
    if (!adapterIdentity_.empty() && s.Adapter.Connected && AdapterIdentity(s.Adapter) != adapterIdentity_ &&
        snapshotFailures_.size() < 10)
        snapshotFailures_.push_back("adapter shown as " + AdapterIdentity(s.Adapter));
}

std::string TLane::LinkState()
{
    std::lock_guard g(mutex_);
    return std::string(" (snapshot ") + std::to_string(serial_) + ": controller " + (linkUp_ ? "up" : "down") +
           ", adapter " + (adapterUp_ ? "up" : "down") + ")";
}

uint64_t TLane::Serial()
{
    std::lock_guard g(mutex_);
    return serial_;
}

bool TLane::WaitRecovered(uint64_t serial, std::chrono::milliseconds deadline)
{
    return testsupport::WaitFor(
        [&] {
            std::lock_guard g(mutex_);
            return serial_ > serial && linkUp_ && (upgrade_ || adapterUp_);
        },
        deadline);
}

bool TLane::Fired() const
{
    // A late answer goes into the trace only when it is sent: a rule the
    // line has used up has met its request already.
    if (sim_->Control("faults").find('@') == std::string::npos)
        return true;
    for (const auto &f : sim_->Trace())
        if (!f.fault.empty())
            return true;
    return false;
}

std::vector<uint8_t> TLane::RequestCodes(uint8_t start) const
{
    std::set<uint8_t> codes;
    for (const auto &f : sim_->Trace())
        if (f.IsRequest() && f.bytes.size() >= 2 && f.bytes[0] == start)
            codes.insert(f.bytes[1]);
    return {codes.begin(), codes.end()};
}

bool TLane::ReadConfiguration(bool map)
{
    return ReadGenerationConfiguration(Manager()) && (!map || Manager().ReadMapG3());
}

void TLane::PutForWriting(const TNorviData &configuration)
{
    TNorviData image = configuration;
    KeepPolled(link_.Data, image);
    link_.Data = image;
}

json TLane::ImageNow()
{
    return ImageJson(link_.Data, link_.Points, identity_);
}

bool TLane::WriteClean(const TNorviData &target, json &readBack)
{
    // A late answer of an earlier fault may still spoil one attempt.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!WaitRecovered(Serial(), kRecoveryDeadline))
            continue;
        bool ok = false;
        worker_->Call([&] {
            PutForWriting(target);
            ok = WriteGenerationConfiguration(Manager()).Ok && ReadEverything();
            if (ok)
                readBack = ImageNow();
        });
        if (ok)
            return true;
    }
    return false;
}

bool TLane::ReadEverything()
{
    if (!ReadConfiguration(true))
        return false;
    hooks_->ReadModelData(link_.Data.VersionCode);
    return Manager().LinkUp;
}

void TLane::CheckImage(const std::string &context, bool readBack)
{
    // What the image held, then what the controller holds now. Between two
    // clean reads the image may hold either, a configuration the program
    // wrote, or the zeros of cleared answers; nothing else.
    json before, now;
    worker_->Call([&] { before = ImageNow(); });
    std::vector<std::string> stray;
    // Every value the image holds is one the controller or the program gave
    // it already: a clean read could only widen that set, so it is spent
    // only when a value is not accounted for yet, or when what the
    // controller now holds is itself to be checked.
    StrayLeaves(before, {&lastClean_, &written_[0], &written_[1], &asked_[0], &asked_[1], &zeros_}, "", stray);
    if (stray.empty() && !readBack) {
        TakeSnapshotFailures(context);
        return;
    }
    stray.clear();
    for (int attempt = 0; attempt < 3 && now.empty(); ++attempt) {
        if (attempt > 0 && !WaitRecovered(Serial(), kRecoveryDeadline))
            continue;
        worker_->Call([&] {
            if (ReadEverything())
                now = ImageNow();
        });
    }
    if (now.empty()) {
        Fail(context + ": no clean read after the fault");
        return;
    }
    StrayLeaves(before, {&now, &lastClean_, &written_[0], &written_[1], &asked_[0], &asked_[1], &zeros_}, "", stray);
    lastClean_ = now;
    if (!stray.empty())
        Fail(context + ": the image held " + std::to_string(stray.size()) + " values of no frame, first " + stray[0]);
    TakeSnapshotFailures(context);
}

void TLane::TakeSnapshotFailures(const std::string &context)
{
    std::lock_guard g(mutex_);
    for (const auto &f : snapshotFailures_)
        Fail(std::string(context).append(": ").append(f));
    snapshotFailures_.clear();
}

json TLane::ZeroDecoded() const
{
    // A second link with nothing behind it: from the second failing cycle
    // on, every read decodes the zeros of its cleared buffer.
    TControllerLink dead;
    dead.Data = identity_;
    dead.Manager.SetLinkUp(false);
    dead.Manager.FailedCycles = 2;
    dead.Manager.CycleError = true;
    ReadGenerationConfiguration(dead.Manager);
    dead.Manager.ReadMapG3();
    ReadModelDataAfterConnect(dead.Manager, dead.Points.ModelPoints);
    return ImageJson(dead.Data, dead.Points, identity_);
}

bool TLane::WarmUp()
{
    TWorkerStartup startup;
    startup.NoAutoSearch = true;
    startup.FixedDevice = true;
    worker_->Start(startup);
    if (!WaitRecovered(0, kRecoveryDeadline)) {
        Fail("the first connection did not come up");
        return false;
    }
    if (upgrade_) {
        sim_->Control("engine off");
        return true;
    }

    // The readings hold still, so any other value can only come from a
    // frame that should have been refused.
    for (const char *line :
         {"engine idle", "fuel petrol", "set rpm 1234", "set tred 150", "set tgas 140", "set psys 120", "set pcol 90",
          "set supply 130", "set level 77", "set lambda 60", "set load 35", "set tpcb 110", "set petrol 500"})
        sim_->Control(line);
    TLiveValues first, second;
    for (int tries = 0; tries < 20; ++tries) {
        uint64_t s = Serial();
        testsupport::WaitFor([&] { return Serial() > s + 1; });
        worker_->Call([&] { first = TLiveValues::Of(link_.Data); });
        s = Serial();
        testsupport::WaitFor([&] { return Serial() > s + 1; });
        worker_->Call([&] { second = TLiveValues::Of(link_.Data); });
        if (first == second && first.RpmPeriod != 0)
            break;
    }
    if (!(first == second) || first.RpmPeriod == 0) {
        Fail("the pinned readings did not settle");
        return false;
    }

    // What the tick and the adapter module send.
    sim_->ClearTrace();
    const uint64_t s = Serial();
    testsupport::WaitFor([&] { return Serial() > s + 12; });
    pollCodes_ = RequestCodes(0xC0);
    adapterCodes_ = RequestCodes(0xC2);
    {
        std::lock_guard g(mutex_);
        live_ = first;
    }
    if (pollCodes_.empty() || adapterCodes_.empty() || !adapterUp_) {
        Fail("polling sent no controller or no adapter frame");
        return false;
    }
    {
        std::lock_guard g(mutex_);
        adapterIdentity_ = "";
    }
    worker_->Call([&] {});
    testsupport::WaitFor([&] {
        std::lock_guard g(mutex_);
        return adapterUp_;
    });

    // The installed configuration, and a second one: the same controller
    // with the factory's parameters.
    // No fault is armed yet; a read that still fails met a time-out missed
    // on a busy machine, and is done again once the link is back.
    const auto withRetries = [this](const std::function<bool()> &read) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0) {
                ++tally_.Retried;
                if (!WaitRecovered(Serial(), kRecoveryDeadline))
                    return false;
            }
            if (read())
                return true;
        }
        return false;
    };
    bool ok = withRetries([&] {
        bool read = false;
        worker_->Call([&] {
            sim_->ClearTrace();
            read = ReadConfiguration(false);
            readCodes_ = RequestCodes(0xC0);
            targets_[0] = link_.Data;
            identity_ = link_.Data;
            sim_->ClearTrace();
            read = read && Manager().ReadMapG3();
            mapCodes_ = RequestCodes(0xC0);
        });
        return read;
    });
    if (!ok) {
        Fail("the clean configuration read failed");
        return false;
    }
    // The second configuration is read from the factory's parameters; the
    // controller then gets its installed store back, so whatever the write
    // leaves alone is the same under both.
    ok = withRetries([&] {
        sim::ParameterStore installed;
        {
            auto pause = sim_->Sim().Pause();
            const auto model = Model(*sim_);
            installed = model->Store();
            const sim::ParameterStore factory = sim::FactoryStore(model->Identity());
            model->EditStore([&](sim::ParameterStore &st) {
                st.core = factory.core;
                st.core.InjMask = installed.core.InjMask;
                st.byteParams = factory.byteParams;
                st.wordParams = factory.wordParams;
            });
        }
        bool read = false;
        worker_->Call([&] {
            read = ReadConfiguration(false);
            {
                auto pause = sim_->Sim().Pause();
                Model(*sim_)->EditStore([&](sim::ParameterStore &st) { st = installed; });
            }
            // What the write leaves alone is the installed controller's.
            hooks_->ReadModelData(link_.Data.VersionCode);
            read = read && Manager().LinkUp;
            targets_[1] = link_.Data;
        });
        return read;
    });
    if (!ok) {
        Fail("the factory configuration read failed");
        return false;
    }
    if (!WriteClean(targets_[0], written_[0])) {
        Fail("the clean configuration write failed");
        return false;
    }
    worker_->Call([&] {
        sim_->ClearTrace();
        PutForWriting(targets_[1]);
        ok = WriteGenerationConfiguration(Manager()).Ok;
        writeCodes_ = RequestCodes(0xC0);
    });
    json again;
    if (!WriteClean(targets_[1], written_[1]) || !WriteClean(targets_[0], again) || again != written_[0]) {
        Fail("the two configurations do not go back and forth");
        return false;
    }
    holds_ = 0;
    lastClean_ = written_[0];
    zeros_ = ZeroDecoded();
    worker_->Call([&] {
        for (std::size_t i = 0; i < targets_.size(); ++i)
            asked_[i] = ImageJson(targets_[i], link_.Points, identity_);
    });
    {
        std::lock_guard g(mutex_);
        for (const auto &f : snapshotFailures_)
            Fail("warm-up: " + f);
        snapshotFailures_.clear();
    }
    return writeCodes_.size() > 0 && readCodes_.size() > 0 && mapCodes_.size() > 0;
}

void TLane::Run(std::atomic<unsigned> &fired, unsigned target, TClock::time_point deadline)
{
    const std::vector<TPhase> phases =
        upgrade_ ? std::vector<TPhase>{TPhase::Upgrade}
                 : std::vector<TPhase>{TPhase::Polling,    TPhase::Polling,     TPhase::AdapterPolling,
                                       TPhase::ConfigRead, TPhase::ConfigWrite, TPhase::MapRead};
    while (fired.load() < target && TClock::now() < deadline && tally_.Failures.size() < 5) {
        const TPhase phase = Pick(random_, phases);
        const std::string &kind = Pick(random_, FaultKinds());
        bool met = false;
        switch (phase) {
        case TPhase::Polling:
        case TPhase::AdapterPolling:
            met = PollingFault(phase == TPhase::AdapterPolling, kind);
            break;
        case TPhase::Upgrade:
            met = UpgradeFault(kind);
            break;
        default:
            met = JobFault(phase, kind);
            break;
        }
        if (met) {
            ++tally_.Injected[std::string(PhaseName(phase)) + "/" + kind];
            ++fired;
        } else {
            ++tally_.Unfired;
        }
    }
}

bool TLane::PollingFault(bool adapter, const std::string &kind)
{
    const uint8_t code = Pick(random_, adapter ? adapterCodes_ : pollCodes_);
    const std::string rule = kind + "@" + (adapter ? "C2/" : "C0/") + Hex(code) + ":1";
    if (!WaitRecovered(Serial(), kRecoveryDeadline)) {
        Fail("before " + rule + ": the link is not up" + LinkState());
        return false;
    }
    sim_->ClearTrace();
    sim_->AddFault(rule);
    if (!testsupport::WaitFor([&] { return Fired(); }, 20s)) {
        // Some frames are sent only now and then; the rule goes unused.
        sim_->Control("clear-faults");
        if (!Fired())
            return false;
    }
    const uint64_t after = Serial();
    if (!WaitRecovered(after, kRecoveryDeadline)) {
        Fail(rule + ": the link did not come back" + LinkState());
        return true;
    }
    ++tally_.Recovered;
    CheckImage(rule);
    return true;
}

bool TLane::JobFault(TPhase phase, const std::string &kind)
{
    const std::vector<uint8_t> &codes = phase == TPhase::ConfigRead ? readCodes_
                                        : phase == TPhase::MapRead  ? mapCodes_
                                                                    : writeCodes_;
    const uint8_t code = Pick(random_, codes);
    const std::string rule = kind + "@C0/" + Hex(code) + ":1";
    if (!WaitRecovered(Serial(), kRecoveryDeadline)) {
        Fail("before " + rule + ": the link is not up" + LinkState());
        return false;
    }
    const unsigned target = 1 - holds_;
    TWriteResult written;
    bool inJob = false;
    worker_->Call([&] {
        sim_->ClearTrace();
        sim_->AddFault(rule);
        if (phase == TPhase::ConfigWrite) {
            PutForWriting(targets_[target]);
            written = WriteGenerationConfiguration(Manager());
        } else {
            // Whether the read that met the fault fails or not (a stray byte
            // can fall into a pause), what it stored is checked below.
            if (phase == TPhase::MapRead)
                Manager().ReadMapG3();
            else
                ReadConfiguration(false);
        }
        inJob = Fired();
    });
    sim_->Control("clear-faults");
    const bool fired = inJob || Fired();
    if (phase == TPhase::ConfigWrite) {
        if (inJob) {
            ++tally_.WritesMet;
            if (written.Ok)
                Fail(rule + ": the write met the fault and reported success");
            else if (written.FailedStep.empty() || written.Message().find(written.FailedStep) == std::string::npos)
                Fail(rule + ": the failed write does not name its step: " + written.Message());
            else
                ++tally_.WritesNamed;
        }
        holds_ = target;
    }
    const uint64_t after = Serial();
    if (!WaitRecovered(after, kRecoveryDeadline)) {
        Fail(rule + ": the link did not come back" + LinkState());
        return fired;
    }
    if (fired)
        ++tally_.Recovered;
    // After a write the controller's own configuration is checked too.
    CheckImage(rule, phase == TPhase::ConfigWrite);
    if (phase == TPhase::ConfigWrite && !written.Ok) {
        // The installer writes again once the link is back: it completes.
        json readBack;
        if (!WriteClean(targets_[target], readBack))
            Fail(rule + ": writing again after the fault failed");
        else if (readBack != written_[target])
            Fail(rule + ": writing again did not store the configuration");
    } else if (phase == TPhase::ConfigWrite && lastClean_ != written_[target]) {
        Fail(rule + ": an acknowledged write did not store the configuration");
    }
    return fired;
}

bool TLane::UpgradeFault(const std::string &kind)
{
    if (!WaitRecovered(Serial(), kRecoveryDeadline)) {
        Fail("before an upgrade: the link is not up" + LinkState());
        return false;
    }
    // Settings worth restoring: a correction the installer made.
    {
        auto pause = sim_->Sim().Pause();
        Model(*sim_)->EditStore([&](sim::ParameterStore &p) {
            p.cps[std::uniform_int_distribution<int>(0, 19)(random_)] =
                static_cast<int8_t>(std::uniform_int_distribution<int>(-20, 20)(random_));
        });
    }
    const testsupport::TSettings before = testsupport::SettingsOf(*sim_);
    const uint8_t code = Pick(random_, kUpdateCodes);
    // A random block rather than always the first: an earlier rule without
    // effect takes the blocks before it.
    const unsigned skip =
        code == 0xE6 ? std::uniform_int_distribution<unsigned>(0, static_cast<unsigned>(kImageBlocks))(random_) : 0;
    const std::string rule = kind + "@BC/" + Hex(code) + ":1";
    std::vector<std::string> warnings;
    session_->Ui.Warning = [&](const std::string &w) { warnings.push_back(w); };

    bool prepared = false, updated = true, inJob = false;
    worker_->Call([&] {
        worker_->Tick().TickBusy = true;
        // No fault is armed yet, but a machine this busy can miss an answer's
        // time-out; the program then refuses to start, and the installer
        // tries again: the backup once it is taken, then Connect (a fresh
        // port and the bootloader, where a half-done entry may have left it).
        bool backedUp = false;
        for (int attempt = 0; attempt < 3 && !prepared; ++attempt) {
            tally_.Retried += attempt > 0 ? 1 : 0;
            if (!backedUp)
                backedUp = session_->UpdateQuery().Allowed && session_->TakeBackup().Ok;
            if (!backedUp)
                continue;
            if (attempt > 0)
                session_->ResetPort();
            prepared = session_->EnterBootloader() && session_->ChooseFile(firmware_);
        }
        if (!prepared)
            return;
        sim_->ClearTrace();
        if (skip > 0)
            sim_->AddFault("gap=0@BC/E6:" + std::to_string(skip));
        sim_->AddFault(rule);
        updated = session_->Update();
        inJob = Fired();
    });
    sim_->Control("clear-faults");
    if (!prepared) {
        worker_->Call([&] { worker_->Tick().TickBusy = false; });
        Fail("the upgrade could not start: " + (warnings.empty() ? std::string() : warnings.back()));
        return false;
    }
    if (inJob) {
        ++tally_.UpgradesMet;
        // The bootloader's answers are found past stray bytes, so a stray
        // byte may cost the upgrade nothing.
        if (updated && kind != "stray")
            Fail(rule + ": the upgrade met the fault and reported success");
        else if (!updated && warnings.empty())
            Fail(rule + ": the failed upgrade said nothing");
    }
    // The installer tries again until it completes.
    for (int attempt = 0; attempt < 3 && !session_->Done(); ++attempt) {
        // As the installer does once the cable is back: Update again, and
        // when that fails Connect (which opens the port afresh), choose the
        // file and Update.
        testsupport::WaitFor([&] { return fs::exists(scratch_ / "tty"); });
        worker_->Call([&] {
            if (session_->Update())
                return;
            session_->ResetPort();
            if (session_->EnterBootloader() && session_->ChooseFile(firmware_))
                session_->Update();
        });
    }
    bool restored = false;
    std::string restoreText;
    worker_->Call([&] {
        if (session_->Done()) {
            session_->Close();
            // A failed restore keeps its record, and the program offers it
            // again: the installer says yes until it is done.
            for (int attempt = 0; attempt < 3 && !restored; ++attempt) {
                tally_.Retried += attempt > 0 ? 1 : 0;
                const TFileOpResult r = session_->RestoreBackup();
                restored = r.Ok;
                restoreText = r.Text();
            }
        }
        worker_->Tick().TickBusy = false;
    });
    if (!session_->Done())
        Fail(rule + ": the upgrade could not be completed afterwards: " +
             (warnings.empty() ? std::string() : warnings.back()));
    else if (!restored)
        Fail(rule + ": the settings were not restored: " + restoreText);
    else if (const std::string differing = testsupport::Differing(testsupport::SettingsOf(*sim_), before);
             !differing.empty())
        Fail(rule + ": the restored settings differ from those before the upgrade:" + differing);
    else if (inJob)
        ++tally_.UpgradesCompleted;
    if (!WaitRecovered(Serial(), kRecoveryDeadline))
        Fail(rule + ": the link did not come back after the upgrade" + LinkState());
    else if (inJob)
        ++tally_.Recovered;
    return inJob;
}

} // namespace faultmatrix
