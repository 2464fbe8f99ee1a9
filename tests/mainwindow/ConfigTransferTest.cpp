// The configuration transfers of the configuration pages against the
// simulated controller: an edited copy written and read back, a write the
// controller does not acknowledge, the refusal on a locked controller, the
// valve command and the injection-system detection.
#include "../controller/SimLink.h"

#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "mainwindow/ConfigTransfer.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

std::shared_ptr<sim::ControllerModel> Model(SimLink &s)
{
    return std::dynamic_pointer_cast<sim::ControllerModel>(s.Sim().Device());
}

// Connected, with the configuration read.
void Connect(SimLink &s)
{
    ASSERT_TRUE(s.Connect());
    ASSERT_TRUE(s.Manager().ReadLockState());
    ASSERT_EQ(s.Data().LockState, kLockUnlocked);
    ASSERT_TRUE(ReadConfigurationNow(s.Manager()));
}

std::vector<std::string> RequestsWithCode(SimLink &s, uint8_t code)
{
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "C0 %02X", code);
    std::vector<std::string> found;
    for (const std::string &r : s.Requests())
        if (r.rfind(prefix, 0) == 0)
            found.push_back(r);
    return found;
}

TNorviData Edited(const TNorviData &read)
{
    TNorviData e = read;
    e.T = 100;     // 35 degrees
    e.RPM = 11220; // 2000 rpm
    e.InjSW = 4;
    e.InjMask = 0; // the count decides the mask
    e.IdleHotTb = 430;
    e.Power = 77;
    e.RpmAbove = 1;
    e.RpmAboveVal = 5500;
    e.MinGasInjTimeEnabled = 1;
    e.MinGasInjectionTime = 561;
    e.MazdaEnrichmentPercentage = 156; // -100 %
    return e;
}

} // namespace

TEST(ConfigTransfer, EditedCopyIsWrittenAndReadBackFromTheController)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    const TNorviData edited = Edited(s.Data());
    const TConfigWriteResult r = WriteConfigurationNow(s.Manager(), edited);
    ASSERT_EQ(r.Outcome, TConfigWriteOutcome::Ok) << r.Write.Message();
    EXPECT_TRUE(r.DifferingFields.empty());

    // A fresh read from the controller, not the image the write left.
    s.Data().T = 0;
    s.Data().RPM = 0;
    s.Data().InjMask = 0;
    s.Data().MinGasInjectionTime = 0;
    ASSERT_TRUE(ReadConfigurationNow(s.Manager()));
    const TNorviData &d = s.Data();
    EXPECT_EQ(d.T, 100);
    EXPECT_EQ(d.RPM, 11220);
    EXPECT_EQ(d.InjMask, 15);
    EXPECT_EQ(d.InjSW, 4);
    EXPECT_EQ(d.IdleHotTb, 430);
    EXPECT_EQ(d.Power, 77);
    EXPECT_EQ(d.RpmAbove, 1);
    EXPECT_EQ(d.RpmAboveVal, 5500);
    EXPECT_EQ(d.MinGasInjTimeEnabled, 1);
    EXPECT_EQ(d.MinGasInjectionTime, 561);
    EXPECT_EQ(d.MazdaEnrichmentPercentage, 156);
    EXPECT_TRUE(s.Violations().empty());
}

TEST(ConfigTransfer, UnacknowledgedBlockNamesTheStepAndKeepsTheImage)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    const uint8_t before = s.Data().T;
    s.AddFault("bad-checksum@D9:1");
    TNorviData edited = Edited(s.Data());
    const TConfigWriteResult r = WriteConfigurationNow(s.Manager(), edited);
    EXPECT_EQ(r.Outcome, TConfigWriteOutcome::Failed);
    EXPECT_EQ(r.Write.FailedStep, "WriteBasicConfigG3");
    EXPECT_EQ(r.Write.FailedCode, cmd::WriteBasicConfigG3);
    // The image holds what the controller is known to hold.
    EXPECT_EQ(s.Data().T, before);
    // Nothing after the failed block went out.
    s.Sync();
    EXPECT_TRUE(RequestsWithCode(s, cmd::WriteWordParam).empty());
}

TEST(ConfigTransfer, LockedOrDisconnectedControllerGetsNoFrame)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    Model(s)->SetLockState(kLockLocked);
    ASSERT_TRUE(s.Manager().ReadLockState());
    ASSERT_EQ(s.Data().LockState, kLockLocked);
    s.Sync();
    s.ClearTrace();
    const TConfigWriteResult r = WriteConfigurationNow(s.Manager(), Edited(s.Data()));
    EXPECT_EQ(r.Outcome, TConfigWriteOutcome::Refused);
    EXPECT_EQ(r.Write.Refusal, TWriteRefusal::Locked);
    EXPECT_FALSE(ReadConfigurationNow(s.Manager()));
    EXPECT_FALSE(ValveCommandNow(s.Manager(), true));
    EXPECT_FALSE(DetectInjectionSystemNow(s.Manager()).Ok);
    EXPECT_FALSE(WriteMarkersNow(s.Manager(), 3).Ok);
    s.Sync();
    EXPECT_TRUE(s.Requests().empty());

    s.Manager().SetLinkUp(false);
    EXPECT_EQ(WriteConfigurationNow(s.Manager(), s.Data()).Write.Refusal, TWriteRefusal::LinkDown);
}

TEST(ConfigTransfer, ValveMarkersAndInspectionReachTheController)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    s.ClearTrace();
    EXPECT_TRUE(ValveCommandNow(s.Manager(), true));
    EXPECT_TRUE(ValveCommandNow(s.Manager(), false));
    s.Sync();
    const auto valve = RequestsWithCode(s, cmd::ValveAction);
    ASSERT_EQ(valve.size(), 2u);
    EXPECT_EQ(valve[0].substr(0, 8), "C0 18 01");
    EXPECT_EQ(valve[1].substr(0, 8), "C0 18 02");

    ASSERT_TRUE(WriteMarkersNow(s.Manager(), 0x0003).Ok);
    ASSERT_TRUE(WriteInspectionNow(s.Manager(), 5000, 40).Ok);
    s.Data().Markers = 0;
    s.Data().NextInspection = 0;
    s.Data().InspectionTimeDistRatio = 0;
    ASSERT_TRUE(ReadConfigurationNow(s.Manager()));
    EXPECT_EQ(s.Data().Markers, 0x0003);
    EXPECT_EQ(s.Data().NextInspection, 5000);
    EXPECT_EQ(s.Data().InspectionTimeDistRatio, 40);
}

TEST(ConfigTransfer, InjectionSystemFromPhasesBeforeFAndFromTheInfoWordAfter)
{
    {
        SimLink s(SimSetup::Controller(0x30, 'E'));
        std::string reply;
        ASSERT_TRUE(Model(s)->Control("injection semi", reply)) << reply;
        ASSERT_TRUE(Model(s)->Control("engine idle", reply)) << reply;
        ASSERT_TRUE(Model(s)->Control("step 3", reply)) << reply;
        Connect(s);
        const TInjSystemDetection found = DetectInjectionSystemNow(s.Manager());
        ASSERT_TRUE(found.Ok);
        EXPECT_FALSE(found.FromInfoWord);
        EXPECT_EQ(found.System, TInjectionSystem::SemiSequential);
        EXPECT_EQ(found.PhaseWords.size(), s.Data().InjSW > 4 ? 2u : 1u);
    }
    {
        SimLink s(SimSetup::Controller(0x30, 'G'));
        std::string reply;
        ASSERT_TRUE(Model(s)->Control("injection group", reply)) << reply;
        ASSERT_TRUE(Model(s)->Control("engine idle", reply)) << reply;
        ASSERT_TRUE(Model(s)->Control("step 3", reply)) << reply;
        Connect(s);
        const TInjSystemDetection found = DetectInjectionSystemNow(s.Manager());
        ASSERT_TRUE(found.Ok);
        EXPECT_TRUE(found.FromInfoWord);
        EXPECT_EQ(found.System, TInjectionSystem::FullGroup);
    }
}

TEST(ConfigTransfer, ValuesTheControllerMustNotGetAreRefusedWithoutAFrame)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    const TNorviData before = s.Data();
    TNorviData edited = Edited(s.Data());
    edited.InjSW = 0; // no channel mask for it
    s.Sync();
    s.ClearTrace();
    const TConfigWriteResult r = WriteConfigurationNow(s.Manager(), edited);
    s.Sync();
    EXPECT_EQ(r.Outcome, TConfigWriteOutcome::Failed);
    EXPECT_EQ(r.Write.Refusal, TWriteRefusal::InvalidValue);
    ASSERT_FALSE(r.Invalid.empty());
    EXPECT_TRUE(s.Requests().empty());
    // The image still holds what the controller holds.
    EXPECT_EQ(s.Data().T, before.T);
    EXPECT_EQ(s.Data().Power, before.Power);
    EXPECT_EQ(PhaseWordText(0x4321), "Inj= 1, 2, 3, 4");
}

TEST(ConfigTransfer, WorkingPressureIsReadAndInjectorCorrectionsAreWritten)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    ASSERT_TRUE(s.Manager().WriteByteParam(kWorkPressByteParam, 132));
    s.Data().WorkPress = 0;
    ASSERT_TRUE(ReadConfigurationNow(s.Manager()));
    EXPECT_EQ(s.Data().WorkPress, 132);
    EXPECT_EQ(Model(s)->Store().injCorr, (std::array<int8_t, 8>{}));

    std::array<uint8_t, kCylinders> corrections{};
    corrections[2] = 5;
    corrections[7] = 0xFB; // -5 %
    ASSERT_TRUE(WriteInjectorCorrectionsNow(s.Manager(), corrections).Ok);
    EXPECT_TRUE(AnyInjectorCorrection(s.Data()));
    s.Data().InjCorr.fill(9);
    ASSERT_TRUE(s.Manager().ReadInjCorr());
    EXPECT_EQ(s.Data().InjCorr, corrections);
    EXPECT_EQ(Model(s)->Store().injCorr[7], -5);
    ASSERT_TRUE(WriteInjectorCorrectionsNow(s.Manager(), {}).Ok);
    ASSERT_TRUE(s.Manager().ReadInjCorr());
    EXPECT_FALSE(AnyInjectorCorrection(s.Data()));
}

TEST(ConfigTransfer, MovingTheGasTemperatureSensorAsksAndYesResetsItsCorrection)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Connect(s);
    int asked = 0;
    const auto answer = [&asked](bool yes) {
        return [&asked, yes] {
            ++asked;
            return yes;
        };
    };

    // Unchanged placement: no question, no correction write.
    s.ClearTrace();
    ASSERT_TRUE(WriteConfigurationNow(s.Manager(), Edited(s.Data()), answer(true)).Ok());
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(RequestsWithCode(s, cmd::WriteCorrGasTemp).empty());

    // Moved, answered No: the configuration is written, the correction kept.
    TNorviData moved = Edited(s.Data());
    moved.GasTempSensorInFlow = s.Data().GasTempSensorInFlow ? 0 : 1;
    s.ClearTrace();
    ASSERT_TRUE(WriteConfigurationNow(s.Manager(), moved, answer(false)).Ok());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(RequestsWithCode(s, cmd::WriteCorrGasTemp).empty());
    ASSERT_TRUE(ReadConfigurationNow(s.Manager()));
    EXPECT_EQ(s.Data().GasTempSensorInFlow, moved.GasTempSensorInFlow);

    // Moved back, answered Yes: after the configuration, the gas temperature
    // table for the new placement, then the activity flags.
    moved.GasTempSensorInFlow = moved.GasTempSensorInFlow ? 0 : 1;
    s.ClearTrace();
    ASSERT_TRUE(WriteConfigurationNow(s.Manager(), moved, answer(true)).Ok());
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(RequestsWithCode(s, cmd::WriteCorrGasTemp).size(), 1U);
    const auto requests = s.Requests();
    const auto table =
        std::find_if(requests.begin(), requests.end(), [](const std::string &r) { return r.rfind("C0 D3", 0) == 0; });
    const auto block =
        std::find_if(requests.begin(), requests.end(), [](const std::string &r) { return r.rfind("C0 D9", 0) == 0; });
    EXPECT_LT(block - requests.begin(), table - requests.begin()) << "the correction follows the configuration";
    EXPECT_TRUE(s.Sim().Violations().empty());
}
