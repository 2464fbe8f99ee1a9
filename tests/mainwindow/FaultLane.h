// One lane of the fault matrix: a simulated controller (with an adapter on
// the same line, or with the bootloader an upgrade needs) served by the
// program's own device thread. The lane injects one line fault at a time
// at a random point of polling, configuration reads and writes, map reads,
// adapter polling or an upgrade, and checks what the issue of that fault
// must be: the link comes back by itself, no value of a corrupted frame
// reaches the image, a write that met the fault says so and names its
// step, and an upgrade can be completed afterwards with the settings
// restored.
#pragma once

#include "FaultImage.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/MainTickHooks.h"
#include "upgrade/UpgradeSession.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace faultmatrix {

enum class TPhase
{
    Polling,
    AdapterPolling,
    ConfigRead,
    ConfigWrite,
    MapRead,
    Upgrade
};
const char *PhaseName(TPhase phase);

// The fault kinds the simulator knows, as rules take them.
const std::vector<std::string> &FaultKinds();

// What the lanes found, merged at the end.
struct TTally
{
    std::map<std::string, unsigned> Injected; // "phase/kind" -> faults that fired
    unsigned Recovered = 0;
    unsigned Unfired = 0; // rules the line never reached (taken back)
    unsigned WritesMet = 0, WritesNamed = 0;
    unsigned UpgradesMet = 0, UpgradesCompleted = 0;
    // Steps with no fault armed (the first read, starting an upgrade, the
    // restore) done again after a time-out the busy machine missed.
    unsigned Retried = 0;
    std::vector<std::string> Failures;

    unsigned Fired() const;
    void Merge(const TTally &other);
};

class TLane
{
public:
    // `upgrade` lanes run firmware upgrades; the others poll with the adapter.
    TLane(unsigned index, uint64_t seed, bool upgrade, const std::filesystem::path &scratch);
    ~TLane();
    TLane(const TLane &) = delete;
    TLane &operator=(const TLane &) = delete;

    // Connects and learns the truths; false (with a failure noted) when
    // the lane cannot start.
    bool WarmUp();
    // Injects faults until `fired` reaches `target` or the deadline passes.
    void Run(std::atomic<unsigned> &fired, unsigned target, std::chrono::steady_clock::time_point deadline);

    const TTally &Tally() const { return tally_; }

private:
    using TClock = std::chrono::steady_clock;

    void OnSnapshot(const lumex::TDeviceSnapshot &s);
    void Fail(const std::string &what);
    // Waits for a snapshot after `serial` with the link (and the adapter) up.
    bool WaitRecovered(uint64_t serial, std::chrono::milliseconds deadline);
    uint64_t Serial();
    // What the last snapshot showed of the two links, for a failure's text.
    std::string LinkState();
    bool Fired() const;
    std::vector<uint8_t> RequestCodes(uint8_t start) const;

    // One fault each.
    bool PollingFault(bool adapter, const std::string &kind);
    bool JobFault(TPhase phase, const std::string &kind);
    bool UpgradeFault(const std::string &kind);

    // On the device thread.
    lumex::TDataManager &Manager() { return link_.Manager; }
    bool ReadConfiguration(bool map);
    json ImageNow();
    // A configuration into the image for a write, the polled readings kept.
    void PutForWriting(const lumex::TNorviData &configuration);
    // Writes `target` until it is acknowledged, then reads it back.
    bool WriteClean(const lumex::TNorviData &target, json &readBack);
    // A clean read of everything the image holds: configuration, map and
    // the model data a connection reads.
    bool ReadEverything();
    // `readBack` reads the controller's configuration even when every
    // value of the image is accounted for.
    void CheckImage(const std::string &context, bool readBack = false);
    void TakeSnapshotFailures(const std::string &context);
    json ZeroDecoded() const;

    unsigned index_;
    std::mt19937_64 random_;
    bool upgrade_;
    std::filesystem::path scratch_;
    std::unique_ptr<testsupport::SimHarness> sim_;
    lumex::TControllerLink link_;
    std::unique_ptr<lumex::TMainTickHooks> hooks_;
    std::unique_ptr<lumex::TDeviceWorker> worker_;
    // Upgrade lanes.
    std::unique_ptr<lumex::TUpgraderLogic> logic_;
    std::unique_ptr<lumex::TUpgradeSession> session_;
    std::string firmware_;

    // The snapshot side, checked on the device thread.
    mutable std::mutex mutex_;
    uint64_t serial_ = 0;
    bool linkUp_ = false, adapterUp_ = false;
    std::optional<TLiveValues> live_;
    std::string adapterIdentity_;
    std::vector<std::string> snapshotFailures_;

    // The configuration truths: what the controller holds after each of
    // the two configurations was written, and which one it holds now.
    lumex::TNorviData identity_;
    std::array<lumex::TNorviData, 2> targets_{};
    std::array<json, 2> written_;
    std::array<json, 2> asked_; // the configurations as put into the image for writing
    unsigned holds_ = 0;
    json lastClean_, zeros_;
    std::vector<uint8_t> pollCodes_, adapterCodes_, readCodes_, writeCodes_, mapCodes_;
    std::string lastLate_; // a late answer may still be on its way

    TTally tally_;
};

} // namespace faultmatrix
