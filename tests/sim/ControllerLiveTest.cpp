// The car behind the simulated controller and its service procedures: the
// live sequence, the bit packing of the live block, determinism, and the
// procedures that step once per read of their state.
#include "ControllerFrames.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace ctltest;
using sim::ControllerIdentity;
using sim::ControllerModel;

uint16_t WordAt(const std::vector<uint8_t> &a, std::size_t k)
{
    return static_cast<uint16_t>(a.at(k) << 8 | a.at(k + 1));
}

// The fields of a 0x05 answer as a client decodes them.
struct Live
{
    uint8_t state;
    uint16_t period;
    uint16_t petrol[4];
    uint16_t gas[4];
    uint8_t tred;
};

Live Decode(const std::vector<uint8_t> &b)
{
    Live l{};
    l.state = b.at(10) >> 5;
    l.period = WordAt(b, 8);
    l.petrol[0] = static_cast<uint16_t>((b[10] & 0x1F) << 8 | b[11]);
    l.petrol[1] = static_cast<uint16_t>((b[12] & 0x7F) << 8 | b[13]);
    l.petrol[2] = WordAt(b, 14);
    l.petrol[3] = WordAt(b, 16);
    for (int i = 0; i < 4; ++i)
        l.gas[i] = WordAt(b, 18 + 2 * static_cast<std::size_t>(i));
    l.tred = b[3];
    return l;
}

std::vector<uint8_t> Poll(ControllerModel &m)
{
    const auto reply = m.Answer(Frame({0x05, 0x05}));
    EXPECT_EQ(reply.violation, "");
    return reply.bytes;
}

TEST(LiveSequence, OffThenCrankingThenPetrolIdleThenWaitingThenGas)
{
    ControllerModel model(ControllerIdentity::Gen30('G'), 7);
    std::vector<uint8_t> order;
    bool sawGas = false;
    for (int step = 0; step < 80 && !sawGas; ++step) {
        const Live l = Decode(Poll(model));
        if (order.empty() || order.back() != l.state)
            order.push_back(l.state);
        switch (l.state) {
        case 0:
            EXPECT_EQ(l.period, 0);
            EXPECT_EQ(l.petrol[0], 0);
            break;
        case 3:
            for (uint16_t t : l.petrol) {
                EXPECT_GE(t, 2.5 * 187 - 1);
                EXPECT_LE(t, 3.5 * 187 + 1);
            }
            [[fallthrough]];
        case 1:
        case 4:
            for (uint16_t g : l.gas)
                EXPECT_EQ(g, 0);
            EXPECT_GT(l.period, 0);
            break;
        case 5:
            sawGas = true;
            // The factory model: unit slope through the injector's offset (0.8 ms).
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(l.gas[i], l.petrol[i] + 150, 2);
            break;
        default:
            ADD_FAILURE() << "unexpected SystemState " << int(l.state);
        }
    }
    EXPECT_EQ(order, (std::vector<uint8_t>{0, 1, 3, 4, 5}));
}

TEST(LiveSequence, TheReducerWarmsWhileTheEngineIdlesOnPetrol)
{
    ControllerModel model(ControllerIdentity::Gen30('G'), 2);
    model.Answer(Frame({0x20, 5})); // stay on petrol
    uint8_t first = 0, last = 0;
    for (int step = 0; step < 60; ++step) {
        const Live l = Decode(Poll(model));
        if (step == 6)
            first = l.tred;
        last = l.tred;
        if (step > 5) {
            EXPECT_EQ(l.state, 3);
        }
    }
    EXPECT_LT(last + 20, first); // low codes are hot
}

TEST(LiveSequence, RunsRepeatForASeedAndDifferForAnother)
{
    ControllerModel a(ControllerIdentity::Gen30('G'), 11), b(ControllerIdentity::Gen30('G'), 11),
        c(ControllerIdentity::Gen30('G'), 12);
    bool differs = false;
    for (int step = 0; step < 120; ++step) {
        const auto x = a.Answer(Frame({0x0B, 0x0B})).bytes;
        EXPECT_EQ(x, b.Answer(Frame({0x0B, 0x0B})).bytes) << step;
        differs = differs || x != c.Answer(Frame({0x0B, 0x0B})).bytes;
    }
    EXPECT_TRUE(differs);
}

TEST(LiveBlock, TheStateSharesItsByteWithCylinderOne)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    model.SetEngine(sim::EnginePhase::Idle);
    model.SetReading(sim::Channel::Petrol, 0x1234);
    model.Answer(Frame({0x20, 4})); // gas immediately
    const auto b = Poll(model);
    EXPECT_EQ(b[10], 0xA0 | 0x12);
    EXPECT_EQ(b[11], 0x34);
    EXPECT_EQ(b[12], 0x12); // status bit clear while the engine runs
    EXPECT_EQ(b[13], 0x34);
    const Live l = Decode(b);
    EXPECT_EQ(l.state, 5);
    EXPECT_EQ(l.petrol[0], 0x1234);
}

TEST(LiveBlock, TheFullBlockCarriesTheShortBlockAndTheExtras)
{
    ControllerModel full(ControllerIdentity::Gen30('G'), 5), shortOne(ControllerIdentity::Gen30('G'), 5);
    std::vector<uint8_t> b;
    for (int step = 0; step < 40; ++step) {
        b = full.Answer(Frame({0x0B, 0x0B})).bytes;
        const auto s = shortOne.Answer(Frame({0x05, 0x05})).bytes;
        ASSERT_EQ(b.size(), 52u);
        EXPECT_TRUE(std::equal(s.begin() + 2, s.end() - 1, b.begin() + 2)) << step;
    }
    ASSERT_EQ(Decode(b).state, 5);
    EXPECT_EQ(b[42], full.Answer(Frame({0x22, 0x22})).bytes[2]);
    EXPECT_EQ(b[46], 0xFF);      // all eight emulators on gas
    EXPECT_EQ(b[47], 1);         // valve open
    EXPECT_EQ(b[49], 0);         // normal work
    EXPECT_GT(b[50], 0);         // load
    EXPECT_GT(WordAt(b, 26), 0); // cylinder 5 petrol
    EXPECT_GT(WordAt(b, 34), WordAt(b, 26));

    const auto ext = full.Answer(Frame({0x06, 0x06}));
    EXPECT_EQ(ext.violation, "");
    EXPECT_EQ(WordAt(ext.bytes, 2), WordAt(b, 26));
}

TEST(LiveBlock, CylindersFiveToEightAreBlamedOnAFourInjectorCar)
{
    ControllerModel model(ControllerIdentity::Gen15());
    const auto reply = model.Answer(Frame({0x06, 0x06}));
    EXPECT_EQ(reply.bytes.size(), 19u);
    EXPECT_FALSE(reply.violation.empty());
}

TEST(LiveBlock, APinnedEngineSpeedGivesItsPeriod)
{
    ControllerModel model(ControllerIdentity::Gen15());
    std::string reply;
    ASSERT_TRUE(model.Control("engine idle", reply)) << reply;
    ASSERT_TRUE(model.Control("set rpm 2500", reply)) << reply;
    EXPECT_EQ(Decode(Poll(model)).period, 8976);
    ASSERT_TRUE(model.Control("release rpm", reply));
    EXPECT_NE(Decode(Poll(model)).period, 8976);
    const uint16_t period = Decode(Poll(model)).period;
    EXPECT_EQ(WordAt(model.Answer(Frame({0x50, 0x50})).bytes, 2), period);
}

TEST(LiveBlock, APinnedSensorReadsSoBeforeAnyLiveStep)
{
    // A procedure may read the manifold pressure before the first live poll.
    ControllerModel model(ControllerIdentity::Gen30('G'));
    std::string reply;
    ASSERT_TRUE(model.Control("set pcol 100", reply)) << reply;
    EXPECT_EQ(model.Answer(Frame({0x22, 0x22})).bytes.at(2), 100);
    ASSERT_TRUE(model.Control("set tred 40", reply)) << reply;
    EXPECT_EQ(Decode(Poll(model)).tred, 40);
    EXPECT_EQ(model.Answer(Frame({0x22, 0x22})).bytes.at(2), 100);
}

TEST(LiveBlock, PinnedCylinderPetrolTimesBeatTheChannelUntilReleased)
{
    ControllerModel model(ControllerIdentity::Gen15());
    std::string reply;
    ASSERT_TRUE(model.Control("engine idle", reply)) << reply;
    ASSERT_TRUE(model.Control("set petrol 935", reply)) << reply;
    ASSERT_TRUE(model.Control("set petrol 2 445", reply)) << reply;
    ASSERT_TRUE(model.Control("set petrol 4 458", reply)) << reply;
    Live l = Decode(Poll(model));
    EXPECT_EQ(l.petrol[0], 935);
    EXPECT_EQ(l.petrol[1], 445);
    EXPECT_EQ(l.petrol[2], 935);
    EXPECT_EQ(l.petrol[3], 458);
    EXPECT_FALSE(model.Control("set petrol 9 445", reply));
    EXPECT_FALSE(model.Control("set petrol 1 70000", reply));
    ASSERT_TRUE(model.Control("release petrol", reply));
    l = Decode(Poll(model));
    EXPECT_NE(l.petrol[1], 445);
    EXPECT_NE(l.petrol[3], 458);
}

TEST(WorkTypes, FuelRequestsDriveTheSystemState)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    model.SetEngine(sim::EnginePhase::Idle);
    model.Answer(Frame({0x20, 4}));
    EXPECT_EQ(Decode(Poll(model)).state, 5);
    model.Answer(Frame({0x20, 5}));
    EXPECT_EQ(Decode(Poll(model)).state, 3);
    EXPECT_EQ(model.EmulatorMask(), 0);
    EXPECT_FALSE(model.ValveOpen());
    model.Answer(Frame({0x20, 4}));
    Poll(model);
    model.Answer(Frame({0x39, 0x05})); // cylinders 1 and 3 on gas only
    EXPECT_EQ(model.Answer(Frame({0x3A, 0x00})).bytes[2], 0x05);
    const Live l = Decode(Poll(model));
    EXPECT_GT(l.gas[0], 0);
    EXPECT_EQ(l.gas[1], 0);
    EXPECT_GT(l.gas[2], 0);
    EXPECT_EQ(l.gas[3], 0);
}

TEST(Calibration, ThreeZeroStepsOncePerStateRead)
{
    ControllerModel model(ControllerIdentity::Gen30('G'), 4);
    model.SetEngine(sim::EnginePhase::Idle);
    model.StepEngine(3);
    model.Answer(Frame({0x20, 3}));
    model.Answer(Frame({0x20, 6}));
    auto read = [&] { return model.Answer(Frame({0x21, 0x21})).bytes; };

    int waiting = 0;
    std::vector<uint8_t> b = read();
    while ((b[2] & 0x0F) == 3 && waiting < 50) {
        ++waiting;
        b = read();
    }
    EXPECT_GT(waiting, 0);        // a cold reducer makes it wait first
    const int phase1 = 4 * 8 + 4; // eight injectors
    for (int progress = 1; progress <= phase1; ++progress) {
        ASSERT_EQ(b.size(), 13u);
        EXPECT_EQ(b[10], progress);
        EXPECT_EQ(b[9], 1);
        if (progress < phase1) {
            EXPECT_GE(b[2] & 0x0F, 4);
            EXPECT_LE(b[2] & 0x0F, 8);
            b = read();
        }
    }
    EXPECT_EQ(b[2] & 0x0F, 2); // waits for the load
    EXPECT_EQ(read()[2] & 0x0F, 2);
    EXPECT_EQ(model.WorkState(), sim::kWorkAutocal);
    model.Answer(Frame({0x20, 7}));
    for (int progress = 1; progress <= 4 * 8 + 1; ++progress) {
        b = read();
        EXPECT_EQ(b[10], progress);
        EXPECT_EQ(b[9], 2);
    }
    EXPECT_EQ(b[2] & 0x0F, 9);
    const uint16_t timeA = WordAt(b, 3), gasA = WordAt(b, 5), timeB = WordAt(b, 7);
    EXPECT_GT(timeA, 2.5 * 187);
    EXPECT_GT(timeB, timeA);
    // The idle points the run found, at the car's gas factor 1.0.
    const auto points = model.Answer(Frame({0xC0, 0x00})).bytes;
    EXPECT_EQ(WordAt(points, 2), timeA);
    EXPECT_EQ(WordAt(points, 4), gasA);
    EXPECT_EQ(gasA, timeA + 150);
    EXPECT_EQ(WordAt(points, 6), timeB);

    model.Answer(Frame({0x20, 0}));
    EXPECT_EQ(read()[2] & 0x0F, 0);
    EXPECT_EQ(model.WorkState(), sim::kWorkNormal);
}

TEST(Calibration, OneFiveCountsNineteenStepsAndEndsInSeven)
{
    ControllerModel model(ControllerIdentity::Gen15(), 4);
    model.SetEngine(sim::EnginePhase::Idle);
    model.StepEngine(3);
    model.Answer(Frame({0x20, 3}));
    std::vector<uint8_t> b = model.Answer(Frame({0x21, 0x21})).bytes;
    EXPECT_EQ(b[2] & 0x0F, 1);
    while ((b[2] & 0x0F) == 1)
        b = model.Answer(Frame({0x21, 0x21})).bytes;
    for (int progress = 1; progress < 19; ++progress) {
        EXPECT_EQ(b[2] & 0x0F, 2);
        EXPECT_EQ(b[10], progress);
        b = model.Answer(Frame({0x21, 0x21})).bytes;
    }
    EXPECT_EQ(b[2] & 0x0F, 7);
    EXPECT_EQ(b[10], 19);
    EXPECT_GT(WordAt(b, 3), 0);
    EXPECT_EQ(b[2] >> 4, 3); // the engine is on petrol meanwhile
}

TEST(TroubleCodes, ACodeLeavesFlagsAFreezeFrameAndALogRecordUntilCleared)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    model.SetEngine(sim::EnginePhase::Idle);
    model.StepEngine(4);
    const sim::LiveReadings now = model.Readings();
    model.RaiseTrouble(3, 2);
    const auto flags = model.Answer(Frame({0x13, 0x13})).bytes;
    EXPECT_EQ(flags[2 + 2], 0x02);
    EXPECT_EQ(flags[2 + 10], 0x02);
    EXPECT_EQ(model.Answer(Frame({0x33, 0x00, 148})).bytes[4], 2);
    EXPECT_EQ(model.Answer(Frame({0x33, 0x00, 149})).bytes[4], 0x02);
    EXPECT_EQ(WordAt(model.Answer(Frame({0x31, 0x00, 150})).bytes, 4), now.rpmPeriod);
    EXPECT_EQ(model.Answer(Frame({0x33, 0x00, 158})).bytes[4], now.tred);
    auto record = model.Answer(Frame({0x58, 0})).bytes;
    EXPECT_EQ(record[2], 0);
    EXPECT_EQ(record[3], 2);
    EXPECT_EQ(record[4], 0x02);
    EXPECT_EQ(WordAt(record, 7), now.petrol[0]);

    std::string reply;
    ASSERT_TRUE(model.Control("trouble 1 8", reply)) << reply;
    record = model.Answer(Frame({0x58, 1})).bytes;
    EXPECT_EQ(record[2], 1); // the newest record
    EXPECT_EQ(record[4], 0x80);
    ASSERT_TRUE(model.Control("trouble clear-active", reply));
    EXPECT_EQ(model.Answer(Frame({0x13, 0x13})).bytes[2 + 2], 0);
    EXPECT_EQ(model.Answer(Frame({0x13, 0x13})).bytes[2 + 10], 0x02);

    EXPECT_EQ(model.Answer(Frame({0x14, 0x14})).bytes.size(), 4u);
    const auto cleared = model.Answer(Frame({0x13, 0x13})).bytes;
    EXPECT_TRUE(std::all_of(cleared.begin() + 2, cleared.end() - 1, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(model.Answer(Frame({0x33, 0x00, 148})).bytes[4], 0xFF);
    EXPECT_EQ(model.Answer(Frame({0x58, 0})).bytes[3], 0xFF);
}

TEST(InjectorTest, MeasuresTheSelectedCylindersOneAfterAnother)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    model.EditStore([](sim::ParameterStore &s) { s.core.InjMask = 15; });
    std::string reply;
    ASSERT_TRUE(model.Control("flow 3 120", reply)) << reply;
    ASSERT_TRUE(model.Control("flow 4 80", reply)) << reply;
    model.Answer(Frame({0x92, 0x0F}));
    EXPECT_EQ(model.Answer(Frame({0x53, 5})).bytes[2], 2);
    std::vector<uint8_t> values;
    int reads = 0;
    do {
        values = model.Answer(Frame({0x91, 0x00})).bytes;
        ++reads;
        if (values[18] == 0) {
            EXPECT_LT(model.WordVariable(36), 100);
        }
    } while (values[18] == 0 && reads < 30);
    EXPECT_EQ(reads, 12); // three reads per cylinder
    EXPECT_EQ(WordAt(values, 2), 100);
    EXPECT_EQ(WordAt(values, 4), 100);
    EXPECT_EQ(WordAt(values, 6), 83);
    EXPECT_EQ(WordAt(values, 8), 125);
    EXPECT_EQ(WordAt(values, 10), 350); // not tested
    EXPECT_EQ(values[19], 4);
    EXPECT_EQ(model.Answer(Frame({0x53, 5})).bytes[2], 0);
    const auto counters = model.Answer(Frame({0x90, 0x00})).bytes;
    EXPECT_GT(WordAt(counters, 4), 0); // low word of cylinder 1's count
}

TEST(Service, InjectionDetectionWorkingPressureAndWordVariables)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    model.EditStore([](sim::ParameterStore &s) { s.core.InjMask = 15; });
    std::string reply;
    ASSERT_TRUE(model.Control("injection semi", reply));
    EXPECT_EQ(WordAt(model.Answer(Frame({0x3B, 1})).bytes, 3), 0); // engine off: nothing to see
    model.SetEngine(sim::EnginePhase::Idle);
    model.StepEngine(2);
    const auto detect = model.Answer(Frame({0x3B, 1})).bytes;
    EXPECT_EQ(detect[2], 1);
    EXPECT_EQ(WordAt(detect, 3), 0x2121);
    EXPECT_EQ(model.WordVariable(38) >> 8, 2);

    model.Answer(Frame({0x20, 9}));
    EXPECT_EQ(model.Answer(Frame({0x53, 5})).bytes[2], sim::kWorkPressureTest);
    std::vector<uint16_t> busy;
    busy.reserve(4);
    for (int i = 0; i < 4; ++i)
        busy.push_back(WordAt(model.Answer(Frame({0x40, 35})).bytes, 2));
    EXPECT_EQ(busy, (std::vector<uint16_t>{3, 2, 1, 0}));
    EXPECT_EQ(WordAt(model.Answer(Frame({0x40, 34})).bytes, 2), 105); // 1.0 bar

    EXPECT_EQ(WordAt(model.Answer(Frame({0x40, 28})).bytes, 2), 3);
    EXPECT_EQ(WordAt(model.Answer(Frame({0x40, 26})).bytes, 2), 120);
    model.Answer(Frame({0x18, 1}));
    EXPECT_EQ(WordAt(model.Answer(Frame({0x40, 11})).bytes, 2), 1);
    model.Answer(Frame({0x18, 2}));
    EXPECT_EQ(WordAt(model.Answer(Frame({0x40, 11})).bytes, 2), 0);
}

TEST(Service, ComputerCodesFillARingOfFive)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    for (uint8_t i = 1; i <= 6; ++i)
        model.Answer(Frame({0x55, 0x3C, 0x71, 0xE2, i, 0x7D, 0xA3, 0x78, 0x45}));
    const auto codes = model.Answer(Frame({0x54, 0x00})).bytes;
    const uint8_t newest = codes[42];
    EXPECT_EQ(codes[2 + 8 * newest + 3], 6);
    EXPECT_EQ(WordAt(codes, 2 + 8 * newest + 4), 0x7DA3);
}

TEST(MapCollection, DrivingInTheChosenRangeAddsPoints)
{
    ControllerModel model(ControllerIdentity::Gen30('G'), 9);
    model.SetMapCollection(true);
    model.StepEngine(40);
    model.SetEngine(sim::EnginePhase::Drive);
    model.StepEngine(60);
    const sim::ParameterStore store = model.Store();
    ASSERT_GT(store.MapCount(true), 0);
    const uint16_t point = store.MapPoint(true, 0);
    EXPECT_EQ(point >> 13, 2); // the factory range index
    const auto block = model.Answer(Frame({0xD7, 0})).bytes;
    EXPECT_EQ(WordAt(block, 2), point);
    int valid = 0;
    for (const auto &row : store.mapG3)
        valid += (row[1] & 0x8000) != 0;
    EXPECT_GT(valid, 0);
}

TEST(ControlLines, KnownLinesActAndUnknownOnesAreRefused)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    std::string reply;
    EXPECT_FALSE(model.Control("fly to the moon", reply));
    EXPECT_FALSE(reply.empty());
    EXPECT_FALSE(model.Control("set rpm lots", reply));
    EXPECT_FALSE(model.Control("trouble 5 1", reply));
    ASSERT_TRUE(model.Control("lock 0F", reply));
    EXPECT_EQ(model.Answer(Frame({0x3F, 0x00})).bytes[2], 0x0F);
    ASSERT_TRUE(model.Control("identity 14", reply)) << reply;
    EXPECT_EQ(model.Answer(Frame({0x01, 0x01})).bytes[2], 0x14);
    EXPECT_EQ(model.LockState(), 0xF0); // a new identity starts from the factory
    ASSERT_TRUE(model.Control("state", reply));
    EXPECT_NE(reply.find("14C"), std::string::npos) << reply;
    model.Answer(Frame({0x0B, 0x0B}));
    ASSERT_TRUE(model.Control("violations", reply));
    EXPECT_NE(reply.find("0x0B"), std::string::npos) << reply;
    ASSERT_TRUE(model.Control("violations clear", reply));
    EXPECT_EQ(model.ViolationCount(), 0u);
}

} // namespace
