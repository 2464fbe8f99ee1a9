// Writing settings to the simulated controller: the whole configuration
// carried from an installed car to a factory-fresh controller, the lock that
// keeps every write frame off the line, failures that name the step that
// failed, and the service commands' effects on the controller.
#include "SimLink.h"

#include "ConfigJson.h"
#include "controller/ComputerCode.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "sim/controller/CommandSet.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>

using namespace lumex;
using linktest::SimLink;
using nlohmann::json;
using testsupport::SimSetup;

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

std::string FixturePath(const std::string &name)
{
    return std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-" + name + ".json";
}

sim::SimulatorOptions FromFixture(uint8_t generation, char letter, const std::string &stateFile)
{
    sim::SimulatorOptions o = SimSetup::Controller(generation, static_cast<uint8_t>(letter));
    o.stateFile = stateFile;
    return o;
}

std::shared_ptr<sim::ControllerModel> Model(SimLink &s)
{
    return std::dynamic_pointer_cast<sim::ControllerModel>(s.Sim().Device());
}

uint8_t CodeOf(const std::string &frame)
{
    return static_cast<uint8_t>(std::stoul(frame.substr(3, 2), nullptr, 16));
}

// Values the controller keeps for itself and a configuration transfer does
// not carry: the hardware, the learned maps and map points, the adaptation
// state, the programming-PC history, and a board byte no page writes.
json Carried(json j)
{
    for (const char *key : {"InjHW", "PetrolPoints", "GasPoints", "MapG3B", "AdaptInfoBytes", "AdaptInfoWords",
                            "ComputerCodes", "NewestComputerCode", "Param34", "LockState"})
        j.erase(key);
    if (j.contains("MapG3")) {
        for (auto &row : j["MapG3"])
            row = json::array({row[0]}); // only the petrol word is written
    }
    return j;
}

struct Installed
{
    const char *name;
    uint8_t generation;
    char letter;
};

void PrintTo(const Installed &i, std::ostream *os)
{
    *os << i.name;
}

class RoundTrip : public ::testing::TestWithParam<Installed>
{
};

} // namespace

TEST_P(RoundTrip, InstalledConfigurationWrittenToAFactoryControllerReadsBackEqual)
{
    const Installed p = GetParam();
    // Read everything from the installed car.
    SimLink source(FromFixture(p.generation, p.letter, FixturePath(p.name)));
    ASSERT_TRUE(source.Connect());
    ASSERT_TRUE(ReadFullConfiguration(source.Manager(), source.Link().Points, kNoLimit));
    const TNorviData image = source.Data();
    const TImagePoints points = source.Link().Points;
    const json read = Carried(cli::FullConfigurationJson(image, points));

    // A factory-fresh controller of the same identity.
    const std::filesystem::path fresh =
        std::filesystem::temp_directory_path() / ("blocks-fresh-" + std::string(p.name) + ".json");
    {
        std::ifstream in(FixturePath(p.name));
        const json installed = json::parse(in);
        std::ofstream(fresh) << json{{"identity", installed.at("identity")}}.dump();
    }
    SimLink target(FromFixture(p.generation, p.letter, fresh.string()));
    std::filesystem::remove(fresh);
    ASSERT_TRUE(target.Connect());
    ASSERT_TRUE(ReadFullConfiguration(target.Manager(), target.Link().Points, kNoLimit));
    ASSERT_NE(Carried(cli::FullConfigurationJson(target.Data(), target.Link().Points)), read)
        << "the factory state must differ from the installed one for this test to mean anything";

    const uint8_t lockState = target.Data().LockState;
    target.Data() = image;
    target.Data().LockState = lockState;
    const TWriteResult written = WriteFullConfiguration(target.Manager(), points);
    ASSERT_TRUE(written.Ok) << written.Message();

    // Read it back on a fresh connection.
    target.Data() = TNorviData{};
    target.Link().Points = TImagePoints{};
    target.Manager().SetLinkUp(false);
    ASSERT_TRUE(target.Connect());
    ASSERT_TRUE(ReadFullConfiguration(target.Manager(), target.Link().Points, kNoLimit));
    EXPECT_EQ(Carried(cli::FullConfigurationJson(target.Data(), target.Link().Points)), read);
    EXPECT_TRUE(target.Sim().Violations().empty()) << ::testing::PrintToString(target.Sim().Violations());
    EXPECT_TRUE(source.Sim().Violations().empty()) << ::testing::PrintToString(source.Sim().Violations());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RoundTrip,
                         ::testing::Values(Installed{"14", 0x14, 'C'}, Installed{"15", 0x15, 'E'},
                                           Installed{"30C", 0x30, 'C'}, Installed{"30D", 0x30, 'D'},
                                           Installed{"30F", 0x30, 'F'}, Installed{"30G", 0x30, 'G'}),
                         [](const auto &info) { return std::string(info.param.name); });

namespace {

struct GuardedOp
{
    std::string name;
    uint8_t code;
    std::function<bool(TControllerLink &)> run;
};

// Every operation that changes the controller, one per command code.
std::vector<GuardedOp> GuardedOps()
{
    return {
        {"WriteBasicConfig", 0x04, [](TControllerLink &l) { return l.Manager.WriteBasicConfig(); }},
        {"WriteByteParam", 0x08, [](TControllerLink &l) { return l.Manager.WriteByteParam(19, 3); }},
        {"ClearTroubleCodes", 0x14, [](TControllerLink &l) { return l.Manager.ClearTroubleCodes(); }},
        {"WriteInjectorParams", 0x15,
         [](TControllerLink &l) { return l.Manager.WriteInjectorParams(l.Data.InjectorRecord); }},
        {"WriteModelParam", 0x16, [](TControllerLink &l) { return l.Manager.WriteModelParam(1); }},
        {"ValveAction", 0x18, [](TControllerLink &l) { return l.Manager.ValveAction(1); }},
        {"WriteMemWord", 0x32, [](TControllerLink &l) { return l.Manager.WriteMemWord(300, 1); }},
        {"WriteMemByte", 0x34, [](TControllerLink &l) { return l.Manager.WriteMemByte(300, 1); }},
        {"WriteLevelSensorA", 0x37, [](TControllerLink &l) { return l.Manager.WriteLevelSensorA(); }},
        {"WriteLevelSensorB", 0x38, [](TControllerLink &l) { return l.Manager.WriteLevelSensorB(); }},
        {"WriteEmulatorSwitches", 0x39, [](TControllerLink &l) { return l.Manager.WriteEmulatorSwitches(0xFF); }},
        {"WriteWordParam", 0x52, [](TControllerLink &l) { return l.Manager.WriteWordParam(14, 9); }},
        {"WriteComputerCode", 0x55, [](TControllerLink &l) { return l.Manager.RecordProgrammingPc(); }},
        {"WriteInspection", 0x57, [](TControllerLink &l) { return l.Manager.WriteInspection(); }},
        {"WriteAdaptationCorr", 0x62, [](TControllerLink &l) { return l.Manager.WriteAdaptationCorr(2, 1); }},
        {"StartInjTest", 0x92, [](TControllerLink &l) { return l.Manager.StartInjTest(0x0F); }},
        {"WriteInjCorr", 0x94, [](TControllerLink &l) { return l.Manager.WriteInjCorr(); }},
        {"WriteModel2SetB", 0x96, [](TControllerLink &l) { return l.Manager.WriteModel2SetB(1); }},
        {"WriteCorrTable(CPCOL)", 0x98, [](TControllerLink &l) { return l.Manager.WriteCorrTable(TCorrTable::CPCOL); }},
        {"WriteModelPoints", 0xC1, [](TControllerLink &l) { return l.Manager.WriteModelPoints(l.Points.ModelPoints); }},
        {"WriteCorrTable(CPS)", 0xD1, [](TControllerLink &l) { return l.Manager.WriteCorrTable(TCorrTable::CPS); }},
        {"WriteCorrTable(CTG)", 0xD3, [](TControllerLink &l) { return l.Manager.WriteCorrTable(TCorrTable::CTG); }},
        {"WriteModel2SetA", 0xD5, [](TControllerLink &l) { return l.Manager.WriteModel2SetA(0); }},
        {"WriteBasicConfigG3", 0xD9, [](TControllerLink &l) { return l.Manager.WriteBasicConfigG3(); }},
        {"WriteCorrTable(CRPM)", 0xDA, [](TControllerLink &l) { return l.Manager.WriteCorrTable(TCorrTable::CRPM); }},
        {"ClearMap", 0xDE, [](TControllerLink &l) { return l.Manager.ClearMap(3); }},
        {"WriteMapG3Row", 0xDF, [](TControllerLink &l) { return l.Manager.WriteMapG3Row(5); }},
    };
}

} // namespace

TEST(WriteLock, EveryChangingCommandHasAGuardedOperation)
{
    std::set<uint8_t> covered;
    for (const auto &op : GuardedOps())
        covered.insert(op.code);
    for (const CommandInfo &entry : CommandTable()) {
        if (sim::IsGuardedWrite(entry.code)) {
            EXPECT_TRUE(covered.count(entry.code)) << "no operation checked for command " << int{entry.code};
        }
    }
}

TEST(WriteLock, LockedControllerReceivesNoWriteFrame)
{
    SimLink s(FromFixture(0x30, 'G', FixturePath("30G")));
    Model(s)->SetLockState(0x0F);
    ASSERT_TRUE(s.Connect());
    ASSERT_EQ(s.Data().LockState, 0x0F);
    ASSERT_TRUE(ReadFullConfiguration(s.Manager(), s.Link().Points, kNoLimit));
    s.Sync();
    s.ClearTrace();

    for (const auto &op : GuardedOps()) {
        EXPECT_FALSE(op.run(s.Link())) << op.name;
        EXPECT_EQ(s.Manager().LastRefusal(), TWriteRefusal::Locked) << op.name;
    }
    const TWriteResult config = WriteGenerationConfiguration(s.Manager());
    EXPECT_FALSE(config.Ok);
    EXPECT_EQ(config.Refusal, TWriteRefusal::Locked);
    EXPECT_EQ(config.FailedStep, "WriteByteParam(32)");
    EXPECT_EQ(config.StepsDone, 0u);
    EXPECT_FALSE(WriteFullConfiguration(s.Manager(), s.Link().Points).Ok);
    EXPECT_FALSE(s.Link().DevData.WriteConfiguration());
    EXPECT_FALSE(s.Manager().ClearMapPoints(false));
    EXPECT_FALSE(s.Manager().WriteMapG3());

    s.Sync();
    for (const auto &frame : s.Requests())
        EXPECT_FALSE(sim::IsGuardedWrite(CodeOf(frame))) << frame;
    EXPECT_TRUE(s.Manager().LinkUp); // refusing sends nothing, so nothing failed
    EXPECT_TRUE(s.Sim().Violations().empty()) << ::testing::PrintToString(s.Sim().Violations());

    // Fuel switching and unlocking stay possible.
    EXPECT_TRUE(s.Manager().SetWorkType(TWorkType::PetrolImmediately));
    EXPECT_EQ(WorkTypeNumber(s.Manager().RequestedWorkType), 5);
    EXPECT_TRUE(s.Manager().UnlockDevice(24681357));
    EXPECT_EQ(s.Data().LockState, 0xF0);
}

TEST(WriteLock, UnlockedControllerReceivesEveryWriteFrame)
{
    SimLink s(FromFixture(0x30, 'G', FixturePath("30G")));
    ASSERT_TRUE(s.Connect());
    ASSERT_TRUE(ReadFullConfiguration(s.Manager(), s.Link().Points, kNoLimit));
    s.Sync();
    s.ClearTrace();
    std::set<uint8_t> expected;
    for (const auto &op : GuardedOps()) {
        if (op.code == 0x04)
            continue; // a 3.0 controller has no 1.4/1.5 block
        EXPECT_TRUE(op.run(s.Link())) << op.name;
        expected.insert(op.code);
    }
    // Refused before anything is sent: a model parameter the controller does
    // not know, and values the wire cannot carry.
    EXPECT_FALSE(s.Manager().WriteModelParam(90, 1));
    EXPECT_EQ(s.Manager().LastRefusal(), TWriteRefusal::InvalidValue);
    s.Data().Mult = 64.0;
    EXPECT_FALSE(s.Manager().WriteModelParam(1));
    EXPECT_EQ(s.Manager().LastRefusal(), TWriteRefusal::InvalidValue);
    s.Data().Model2SetA[3].Y = -1;
    EXPECT_FALSE(s.Manager().WriteModel2SetA(0));
    EXPECT_FALSE(s.Manager().WriteByteParam(0, 1));
    s.Sync();
    std::set<uint8_t> seen;
    std::map<uint8_t, int> count;
    for (const auto &frame : s.Requests()) {
        seen.insert(CodeOf(frame));
        ++count[CodeOf(frame)];
    }
    EXPECT_EQ(seen, expected);
    // One frame each, from the operations above; none from the refused writes.
    EXPECT_EQ(count[0x16], 1);
    EXPECT_EQ(count[0xD5], 1);
    EXPECT_EQ(count[0x08], 1);
    EXPECT_TRUE(s.Sim().Violations().empty()) << ::testing::PrintToString(s.Sim().Violations());
}

namespace {

struct InjectedFailure
{
    std::string fault;
    bool full; // the whole transfer, or the configuration write only
    std::string step;
    uint8_t code;
    unsigned stepsBefore;
};

void PrintTo(const InjectedFailure &f, std::ostream *os)
{
    *os << f.fault << (f.full ? " in the whole transfer" : " in the configuration write");
}

class WriteFailure : public ::testing::TestWithParam<InjectedFailure>
{
};

} // namespace

TEST_P(WriteFailure, StopsAtTheFailedStepAndNamesIt)
{
    const InjectedFailure p = GetParam();
    SimLink s(FromFixture(0x30, 'G', FixturePath("30G")));
    ASSERT_TRUE(s.Connect());
    ASSERT_TRUE(ReadFullConfiguration(s.Manager(), s.Link().Points, kNoLimit));
    s.Sync();
    s.ClearTrace();
    s.AddFault(p.fault);
    const TWriteResult r =
        p.full ? WriteFullConfiguration(s.Manager(), s.Link().Points) : WriteGenerationConfiguration(s.Manager());
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.FailedStep, p.step);
    EXPECT_EQ(r.FailedCode, p.code);
    EXPECT_EQ(r.StepsDone, p.stepsBefore);
    EXPECT_EQ(r.Refusal, TWriteRefusal::None);
    EXPECT_NE(r.Message().find(p.step), std::string::npos) << r.Message();
    // Nothing is sent after the failed step.
    s.Sync();
    const auto frames = s.Requests();
    ASSERT_EQ(frames.size(), p.stepsBefore + 1);
    EXPECT_EQ(CodeOf(frames.back()), p.code);
    EXPECT_FALSE(s.Link().DevData.WriteConfiguration()); // the link is down now
}

INSTANTIATE_TEST_SUITE_P(Steps, WriteFailure,
                         ::testing::Values(InjectedFailure{"silence@08:1", false, "WriteByteParam(32)", 0x08, 0},
                                           InjectedFailure{"silence@D9:1", false, "WriteBasicConfigG3", 0xD9, 9},
                                           InjectedFailure{"bad-checksum@D9:1", false, "WriteBasicConfigG3", 0xD9, 9},
                                           InjectedFailure{"bad-start@52:1", false, "WriteWordParam(11)", 0x52, 10},
                                           InjectedFailure{"silence@37:1", true, "WriteLevelSensorA", 0x37, 25},
                                           InjectedFailure{"silence@16:1", true, "WriteModelParam(1)", 0x16, 28},
                                           InjectedFailure{"silence@D1:1", true, "WriteCorrTable(CPS)", 0xD1, 55},
                                           InjectedFailure{"silence@DF:1", true, "WriteMapG3Row(0)", 0xDF, 59},
                                           InjectedFailure{"silence@62:1", true, "WriteAdaptationCorr(1,0)", 0x62, 99}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(ServiceCommands, OutputsInjectorTestAndProgrammingPc)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    auto model = Model(s);
    TDataManager &m = s.Manager();
    EXPECT_TRUE(m.ValveAction(1));
    EXPECT_TRUE(model->ValveOpen());
    EXPECT_TRUE(m.ValveAction(2));
    EXPECT_FALSE(model->ValveOpen());
    EXPECT_FALSE(m.ValveAction(4));
    EXPECT_EQ(m.LastRefusal(), TWriteRefusal::InvalidValue);
    EXPECT_TRUE(m.WriteEmulatorSwitches(0x05));
    EXPECT_TRUE(m.ReadEmulatorSwitches());
    EXPECT_EQ(s.Data().EmulatorSwitchState, 0x05);
    EXPECT_TRUE(m.ReadInjSystemDetect(1));
    EXPECT_FALSE(m.ReadInjSystemDetect(3));
    EXPECT_TRUE(m.StartInjTest(0x01));
    EXPECT_TRUE(m.ReadInjTestCounters());
    EXPECT_TRUE(m.ReadInjTestValues());
    EXPECT_TRUE(m.SetWorkType(TWorkType::Stop));

    const TDateParts stamped{2031, 7, 4, 9, 30};
    m.LocalTime = [stamped] { return stamped; };
    EXPECT_TRUE(m.RecordProgrammingPc());
    ASSERT_TRUE(m.ReadComputerCodes());
    const auto slot = NewestComputerCodeSlot(s.Data());
    ASSERT_TRUE(slot);
    EXPECT_EQ(s.Data().ComputerCodes[*slot].Code, ThisComputerCode());
    EXPECT_EQ(DecodeDateCode(s.Data().ComputerCodes[*slot].Date), stamped);
    EXPECT_TRUE(s.Sim().Violations().empty()) << ::testing::PrintToString(s.Sim().Violations());
}

TEST(ServiceCommands, ErrorLogTroubleFlagsAndCalibrationState)
{
    SimLink s(FromFixture(0x30, 'G', FixturePath("30G")));
    ASSERT_TRUE(s.Connect());
    EXPECT_TRUE(s.Manager().TroubleCodesPresent);
    const sim::ParameterStore store = Model(s)->Store();
    EXPECT_EQ(s.Data().TroubleFlags, store.troubleFlags);
    EXPECT_EQ(s.Manager().ReadErrorLog(), kErrorLogSlots);
    EXPECT_EQ(s.Data().ErrorLogHead, store.errorLogHead);
    for (std::size_t i = 0; i < kErrorLogSlots; ++i)
        EXPECT_EQ(s.Data().ErrorLog[i], store.errorLog[i]) << i;
    EXPECT_TRUE(s.Manager().ReadCalibrationState(true));
    EXPECT_TRUE(s.Manager().ReadLockStateB());
    EXPECT_EQ(s.Data().LockState, 0xF0);
    EXPECT_TRUE(s.Manager().ClearTroubleCodes());
    EXPECT_TRUE(s.Manager().ReadTroubleFlags());
    EXPECT_EQ(s.Data().TroubleFlags, (std::array<uint8_t, 16>{}));
    EXPECT_TRUE(s.Sim().Violations().empty()) << ::testing::PrintToString(s.Sim().Violations());
}

TEST(MapPoints, CountIsThePointsStored)
{
    for (const uint8_t generation : {uint8_t{0x15}, uint8_t{0x30}}) {
        SimLink s(SimSetup::Controller(generation, generation == 0x30 ? std::optional<uint8_t>('G') : std::nullopt));
        // Empty slots (0 and 0xFFFF) inside the list, and one point whose
        // pressure code 63 (raw 136) lies above the limit used below.
        const std::vector<uint16_t> petrol{0x2C85, 0x0000, 0x4D11, 0xFFFF, 0x3F80 | 0x05, 0x6A22};
        const std::vector<uint16_t> gas(20, 0x2C85);
        Model(s)->EditStore([&](sim::ParameterStore &st) {
            st.SetMapPoints(false, petrol);
            st.SetMapPoints(true, gas);
        });
        ASSERT_TRUE(s.Connect());
        TMapPointList p, g;
        ASSERT_TRUE(s.Manager().ReadMapPoints(1.5, p, g));
        EXPECT_EQ(p.Count, 3) << int{generation};
        EXPECT_EQ(p.Points[0].Kind, 1);
        EXPECT_EQ(p.Points[1].Kind, 2);
        EXPECT_EQ(p.Points[2].Kind, 3);
        EXPECT_EQ(g.Count, 20);
        EXPECT_TRUE(s.Manager().ClearMapPoints(false));
        ASSERT_TRUE(s.Manager().ReadMapPoints(1.5, p, g));
        EXPECT_EQ(p.Count, 0);
        EXPECT_EQ(g.Count, 20);
        EXPECT_TRUE(s.Sim().Violations().empty()) << ::testing::PrintToString(s.Sim().Violations());
    }
}

namespace {

// Passes everything through to the controller but answers the adaptation
// table read of `selector` as if another table had been asked for.
class WrongEcho : public sim::Responder
{
public:
    WrongEcho(std::shared_ptr<sim::Responder> inner, uint8_t selector) : inner_(std::move(inner)), selector_(selector)
    {
    }
    uint8_t StartByte() const override { return inner_->StartByte(); }
    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override { return inner_->ScanFrame(buffer); }
    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        sim::Reply reply = inner_->Answer(frame);
        if (frame.size() > 2 && frame[1] == 0x61 && frame[2] == selector_ && reply.bytes.size() == 54) {
            reply.bytes[2] ^= 0x01;
            reply.bytes.back() ^= 0x01; // still a valid frame
        }
        return reply;
    }

private:
    std::shared_ptr<sim::Responder> inner_;
    uint8_t selector_;
};

} // namespace

TEST(Adaptation, AnswerForAnotherTableIsAFailure)
{
    SimLink s(FromFixture(0x30, 'G', FixturePath("30G")));
    ASSERT_TRUE(s.Connect());
    {
        auto hold = s.Sim().Pause();
        s.Sim().Line().Register(std::make_shared<WrongEcho>(s.Sim().Device(), 0x21));
    }
    const TAdaptTable before = s.Data().AdaptCorrBank2;
    EXPECT_TRUE(s.Manager().ReadAdaptationCorr(1, 0));
    EXPECT_TRUE(s.Manager().ReadAdaptationCorr(2, 0));
    EXPECT_FALSE(s.Manager().ReadAdaptationCorr(2, 1));
    EXPECT_TRUE(s.Manager().CycleError);
    for (std::size_t row = 5; row < kAdaptRows; ++row)
        EXPECT_EQ(s.Data().AdaptCorrBank2[row], before[row]) << row;
    EXPECT_FALSE(s.Manager().ReadAdaptationBank(2));
    EXPECT_FALSE(s.Manager().ReadAdaptationCorr(3, 0)); // no such bank: nothing is sent
}
