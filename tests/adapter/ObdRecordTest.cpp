// The recorder's OBD channels against the simulated adapter and car: each
// tick's live answer lands in the sample's channels, and without an adapter
// every channel stays empty.
#include "AdapterSim.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "controller/LockState.h"
#include "mainwindow/ObdOscChannels.h"
#include "mainwindow/OscCsv.h"
#include "mainwindow/OscRecorder.h"
#include "sim/adapter/ObdCar.h"

#include <gtest/gtest.h>

#include <set>

using namespace lumex;
using adaptertest::AdapterSim;
using adaptertest::WithAdapter;

namespace {

constexpr std::size_t kStFtB1 = 0;
constexpr std::size_t kRpm = 4;
constexpr std::size_t kSpeed = 5;
constexpr std::size_t kMaf = 11;
constexpr std::size_t kLambda1B1 = 13;
constexpr std::size_t kLambda1B2 = 17;

class RecordSim : public AdapterSim
{
public:
    explicit RecordSim(std::optional<sim::AdapterIdentity> adapter)
        : AdapterSim(WithAdapter(std::move(adapter)), {TModuleOBD::Make, TModuleAIO::Make})
    {
    }
    TModuleOBD &Obd() { return static_cast<TModuleOBD &>(*Logic().SubModules()[0]); }

    // What the recorder keeps of `ticks` ticks, as the window's tick runs them.
    std::vector<TOscSample> Record(int ticks)
    {
        const TObdModuleChannels channels(Obd());
        TOscRecorder recorder([] { return std::chrono::steady_clock::time_point{}; });
        recorder.Resize(100);
        EXPECT_TRUE(recorder.Start(kLockUnlocked));
        for (int i = 0; i < ticks; ++i) {
            EXPECT_TRUE(Manager().PollCycle(pmReadings));
            Modules().TickStep();
            recorder.Append(TakeOscSample(Manager(), kInjectorAverage, channels), {});
        }
        return {recorder.History().begin(), recorder.History().end()};
    }
};

} // namespace

TEST(ObdRecord, SamplesCarryTheCarsLiveValuesTickByTick)
{
    RecordSim s{sim::AdapterIdentity{}};
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.Obd().IsConnected());
    s.Obd().UIState().Protocol.SetAsInteger(4);
    ASSERT_TRUE(s.Obd().Logic().ConnectButton());
    for (int i = 0; i < 20 && !s.Obd().DevState().IsCarConnected(); ++i)
        ASSERT_TRUE(s.Obd().ReadStatus());
    ASSERT_TRUE(s.Obd().DevState().IsCarConnected());

    const std::vector<TOscSample> samples = s.Record(6);
    ASSERT_EQ(samples.size(), 6u);
    std::set<double> rpms;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        // One live answer per tick: sample i holds the car's frame i.
        const auto f = sim::ObdLiveFrame(static_cast<unsigned>(i));
        const TOscSample &x = samples[i];
        ASSERT_TRUE(x.HasObd(kRpm)) << i;
        EXPECT_DOUBLE_EQ(x.Obd[kStFtB1], ObdTrimPercent(f[0])) << i;
        EXPECT_DOUBLE_EQ(x.Obd[kRpm], ObdRpm(f[4], f[5])) << i;
        EXPECT_DOUBLE_EQ(x.Obd[kSpeed], f[6]) << i;
        EXPECT_DOUBLE_EQ(x.Obd[kMaf], ObdMaf(f[12], f[13])) << i;
        // The car has the first bank's narrow-band sensors only.
        EXPECT_TRUE(x.HasObd(kLambda1B1)) << i;
        EXPECT_FALSE(x.HasObd(kLambda1B2)) << i;
        rpms.insert(x.Obd[kRpm]);
    }
    EXPECT_EQ(rpms.size(), samples.size()) << "the engine speed moves every tick";
    // The CSV row of a gated channel is empty, of a present one a number.
    const std::string row = OscCsvRow(samples.back());
    EXPECT_NE(row.find(",1976.000,"), std::string::npos) << row;
}

TEST(ObdRecord, WithoutAnAdapterEveryObdChannelIsEmpty)
{
    RecordSim s{std::nullopt};
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    EXPECT_FALSE(s.Obd().IsConnected());
    for (const TOscSample &x : s.Record(3)) {
        EXPECT_EQ(x.ObdPresent, 0u);
        // The row ends in 21 empty OBD fields.
        const std::string row = OscCsvRow(x);
        EXPECT_EQ(row.substr(row.size() - kObdChannels - 1), std::string(kObdChannels, ',') + "\n");
    }
}
