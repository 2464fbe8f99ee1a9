// The OBD module against the simulated adapter and car: detection, the
// link state machine through connect, detect, cancel and disconnect, the
// configuration round trip, and the trouble-code cycle with its closing
// commands and an injected failure.
#include "AdapterSim.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "adapter/OBDTroubleCycle.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumex;
using adaptertest::AdapterSim;
using adaptertest::WithAdapter;

namespace {

sim::AdapterIdentity Car(std::vector<std::string> codes)
{
    sim::AdapterIdentity id;
    for (const auto &c : codes)
        id.obd.recorded.push_back({0x10, *sim::ParseObdCode(c)});
    return id;
}

class ObdSim : public AdapterSim
{
public:
    explicit ObdSim(sim::AdapterIdentity id = {})
        : AdapterSim(WithAdapter(std::move(id)), {TModuleOBD::Make, TModuleAIO::Make})
    {
    }
    TModuleOBD &Obd() { return static_cast<TModuleOBD &>(*Logic().SubModules()[0]); }
    TModuleAIO &Aio() { return static_cast<TModuleAIO &>(*Logic().SubModules()[1]); }

    // Adapter requests with command byte `code` since the trace was cleared.
    std::size_t Sent(const std::string &code)
    {
        Sync();
        const auto r = AdapterRequests();
        return static_cast<std::size_t>(
            std::count_if(r.begin(), r.end(), [&](const std::string &q) { return q.rfind("C2 " + code, 0) == 0; }));
    }
    // Status polls until `done`, at most `limit`.
    bool PollUntil(const std::function<bool()> &done, int limit = 20)
    {
        for (int i = 0; i < limit; ++i) {
            if (!Obd().ReadStatus())
                return false;
            if (done())
                return true;
        }
        return false;
    }
    bool ConnectCar(uint8_t protocol = 4)
    {
        Obd().UIState().Protocol.SetAsInteger(protocol);
        return Obd().Logic().ConnectButton() && PollUntil([this] { return Obd().DevState().IsCarConnected(); });
    }
};

} // namespace

TEST(OBDModule, DetectionReadsTheStateAndConfigurationAndTheAIOStaysAbsent)
{
    ObdSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    EXPECT_TRUE(s.Obd().IsConnected());
    EXPECT_FALSE(s.Aio().IsConnected());
    for (const char *code : {"70", "78", "71", "79", "7A", "7D"})
        EXPECT_EQ(s.Sent(code), 1u) << code;
    EXPECT_EQ(s.Obd().UIState().Protocol.GetAsInteger(), 4);
    EXPECT_EQ(s.Obd().UIState().ActionMain.Text(), "Idle");
    EXPECT_FALSE(s.Logic().UIState().Modified());

    sim::AdapterIdentity absent;
    absent.obd.present = false;
    ObdSim none(absent);
    ASSERT_TRUE(none.ConnectClean());
    none.Logic().ResetModules();
    EXPECT_TRUE(none.Adapter().IsConnected());
    EXPECT_FALSE(none.Obd().IsConnected());
    EXPECT_EQ(none.Sent("71"), 0u) << "nothing after a 0x70 that denies the function";
}

TEST(OBDModule, LinkStateMachineConnectDetectCancelDisconnect)
{
    ObdSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    TModuleOBD &m = s.Obd();

    // Protocol 0 while idle: nothing on the wire.
    m.UIState().Protocol.SetAsInteger(0);
    s.ClearTrace();
    EXPECT_FALSE(m.Logic().ConnectButton());
    EXPECT_TRUE(s.AdapterRequests().empty());

    ASSERT_TRUE(s.ConnectCar(4));
    s.Logic().UIState().CopyFromDevState("OBD", kCopyPlain); // as the window's tick does
    EXPECT_EQ(m.UIState().ActionMain.Text(), "Connected (CAN)");
    EXPECT_TRUE(s.Modules().CarLinkUp());

    // Disconnect through the same button: 0x77, then the state.
    s.ClearTrace();
    EXPECT_TRUE(m.Logic().ConnectButton());
    EXPECT_EQ(s.Sent("77"), 1u);
    EXPECT_EQ(s.Sent("76"), 0u);
    ASSERT_TRUE(s.PollUntil([&] { return m.DevState().IsIdleState(); }));
    s.Logic().UIState().CopyFromDevState("OBD", kCopyPlain);
    EXPECT_EQ(m.UIState().ActionMain.Text(), "Disconnected");
    EXPECT_FALSE(s.Modules().CarLinkUp());

    // Detection finds protocol 4 after trying 1..3.
    EXPECT_TRUE(m.Logic().DetectButton());
    EXPECT_TRUE(m.DevState().IsDetectingState());
    std::vector<int> tried;
    ASSERT_TRUE(s.PollUntil([&] {
        tried.push_back(static_cast<int>(m.DevState().ActualProtocol.GetAsInteger()));
        return m.DevState().ActionDetect.GetAsInteger() == obd_detect::kDetected;
    }));
    EXPECT_EQ(tried.back(), 4);
    EXPECT_EQ(ObdDetectStateText(obd_detect::kDetected, ObdProtocolName(tried.back())),
              "Detected (CAN_11bitID_500kbps)");
    m.UIState().Protocol.SetAsInteger(1);
    EXPECT_EQ(m.Logic().TakeDetectionResult(), 4);
    EXPECT_EQ(m.UIState().Protocol.GetAsInteger(), 4);

    // Detection cancelled half-way.
    s.Control("obd protocol 7");
    ASSERT_TRUE(m.Logic().DetectButton());
    ASSERT_TRUE(s.PollUntil([&] { return m.DevState().ActualProtocol.GetAsInteger() == 3; }));
    EXPECT_TRUE(m.Logic().DetectButton()) << "the second press cancels";
    EXPECT_EQ(m.DevState().ActionDetect.GetAsInteger(), obd_detect::kCancelled);
    EXPECT_EQ(m.Logic().TakeDetectionResult(), 0);
    EXPECT_EQ(m.UIState().Protocol.GetAsInteger(), 4) << "nothing detected leaves the choice";
}

TEST(OBDModule, ConfigurationRoundTripAndAFailedWriteKeepsTheEdits)
{
    ObdSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    TModuleOBD &m = s.Obd();
    TUIStateOBD &ui = m.UIState();
    ui.AdaptType.SetAsInteger(5);
    ui.Config2.SetAsInteger(0x0A);
    ui.AdaptStFtBase.SetAsDouble(-5);
    ui.AdaptMinRPM.SetAsInteger(1500);
    ui.IsAdaptationEnabled.SetAsBoolean(true);
    EXPECT_TRUE(s.Logic().UIState().Modified());
    ASSERT_TRUE(m.Logic().WriteEdited());
    EXPECT_FALSE(s.Logic().UIState().Modified());
    {
        auto hold = s.Sim().Pause();
        const auto &block = s.Sim().Adapter()->Obd().Config();
        EXPECT_EQ(block[1], 0x0A);
        EXPECT_EQ(block[2], 0x0D);
        EXPECT_EQ(block[3], 0xFB);
        EXPECT_EQ(block[9], 0x05);
        EXPECT_EQ(block[10], 0xDC);
    }
    ui.AdaptMaxCorr.SetAsInteger(99);
    ASSERT_TRUE(m.Logic().ReadOBDConfig());
    EXPECT_EQ(ui.AdaptMaxCorr.GetAsInteger(), 25) << "read back over the edit";
    EXPECT_EQ(ui.AdaptStFtBase.Text(), "-5");

    ui.AdaptMaxCorr.SetAsInteger(40);
    s.AddFault("silence@C2/72:1");
    s.ClearTrace();
    EXPECT_FALSE(m.Logic().WriteEdited());
    EXPECT_EQ(ui.AdaptMaxCorr.GetAsInteger(), 40);
    EXPECT_TRUE(s.Logic().UIState().Modified());
    EXPECT_EQ(s.Sent("71"), 0u) << "no read over the edits after a failed write";
}

TEST(OBDModule, CorrectionsDefaultsAndTheDelayCounter)
{
    ObdSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    TModuleOBD &m = s.Obd();
    m.DevState().CorrectionsBank2[6][3]->SetAsDouble(-9);
    s.ClearTrace();
    ASSERT_TRUE(m.Logic().WriteAdaptCorrections());
    const auto r = s.AdapterRequests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].rfind("C2 89 10", 0), 0u);
    EXPECT_EQ(r[1].rfind("C2 89 11", 0), 0u);
    EXPECT_EQ(r[2].rfind("C2 89 20", 0), 0u);
    EXPECT_EQ(r[3].rfind("C2 89 21", 0), 0u);
    {
        auto hold = s.Sim().Pause();
        EXPECT_EQ(s.Sim().Adapter()->Obd().Correction(2, 6, 3), -9);
    }
    ASSERT_TRUE(m.Logic().WriteOBDDefaults(false, nullptr, true));
    {
        auto hold = s.Sim().Pause();
        EXPECT_EQ(s.Sim().Adapter()->Obd().Correction(2, 6, 3), 0);
        EXPECT_EQ(s.Sim().Adapter()->Obd().Config()[0], 0) << "protocol default";
    }

    s.Control("obd item44 500");
    ASSERT_TRUE(m.Logic().ReadDelayConnectCounter());
    EXPECT_EQ(m.UIState().DelayConnectCounter->Text(), "1");
    s.Control("obd item44 0x10000");
    EXPECT_FALSE(m.Logic().ReadDelayConnectCounter());
    EXPECT_EQ(m.UIState().DelayConnectCounter->Text(), "1");
}

TEST(OBDModule, LiveStepReadsTheValuesWhileTheCarIsConnected)
{
    ObdSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.ConnectCar());
    s.ClearTrace();
    s.Modules().TickStep();
    EXPECT_EQ(s.Sent("7C"), 1u);
    EXPECT_EQ(s.Sent("85"), 1u) << "oxygen sensors of PIDs 0x14/0x15 are supported";
    EXPECT_EQ(s.Sent("86"), 0u);
    EXPECT_EQ(s.Sent("0A"), 0u) << "no adaptation reads without the controller's rule";
    EXPECT_EQ(s.Obd().DevState().RPM.Text(), "1726");
    EXPECT_EQ(s.Obd().DevState().StFtB1.Text(), "3.9");

    s.Obd().ControllerReadsAdaptation = [] { return true; };
    s.Obd().UIState().IsAdaptationEnabled.SetAsBoolean(true);
    s.ClearTrace();
    s.Modules().TickStep();
    EXPECT_EQ(s.Sent("0A"), 1u);
    EXPECT_EQ(s.Sent("0B"), 1u) << "the simulated adapter is done at once";
}

TEST(OBDTroubleCycle, ListsCodesSendsEachClosingCommandOnceAndClears)
{
    ObdSim s(Car({"P0123", "U0100"}));
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.ConnectCar());
    const std::vector<std::string> codes{"P0123 Throttle sensor high", "U0100 Lost engine module"};
    TOBDTroubleCycle cycle(s.Obd(), codes);
    int waits = 0;
    cycle.Wait = [&](int ms) { waits += ms; };
    s.Modules().SetPollGroup(TPollGroup::ObdTroubleCodes, true);

    cycle.Tick();
    EXPECT_EQ(cycle.Troubles().Lines().front(), "Number of recorded trouble codes: 2");
    EXPECT_TRUE(cycle.ButtonsEnabled());
    s.ClearTrace();
    ASSERT_TRUE(cycle.Read());
    for (int i = 0; i < 6; ++i) {
        cycle.Tick();
        s.Modules().TickStep();
    }
    EXPECT_EQ(waits, 500);
    EXPECT_EQ(s.Sent("7F 07"), 1u);
    EXPECT_EQ(s.Sent("80"), 1u);
    EXPECT_EQ(s.Sent("81"), 0u) << "no pending codes: nothing to read";
    EXPECT_EQ(s.Sent("82"), 1u);
    EXPECT_EQ(s.Sent("83 07"), 1u);
    EXPECT_EQ(s.Sent("83 08"), 0u);
    const auto &lines = cycle.Troubles().Lines();
    EXPECT_EQ(lines.front(), "Reading recorded trouble codes...");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "   Error 1: P0123 (Throttle sensor high)"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "   Error 2: U0100 (Lost engine module)"), lines.end());
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const std::string &l) { return l.rfind("   Error", 0) == 0; }), 2);
    const auto &freeze = cycle.Freeze().Lines();
    EXPECT_NE(std::find(freeze.begin(), freeze.end(), "   Code: P0123"), freeze.end());
    EXPECT_TRUE(cycle.ButtonsEnabled());

    s.ClearTrace();
    ASSERT_TRUE(cycle.Clear());
    for (int i = 0; i < 6; ++i) {
        cycle.Tick();
        s.Modules().TickStep();
    }
    EXPECT_EQ(s.Sent("7E"), 1u);
    EXPECT_EQ(s.Sent("83 08"), 1u);
    EXPECT_EQ(s.Sent("83 07"), 0u);
    EXPECT_EQ(cycle.Troubles().Lines().front(), "Clearing errors...");
    EXPECT_EQ(cycle.Troubles().Lines()[1], "Finished clearing all errors");
    EXPECT_EQ(s.Obd().DevState().NumberOfTroubleCodes.GetAsInteger(), 0);
}

TEST(OBDTroubleCycle, AFailedReadShowsTheErrorAndNoStaleCode)
{
    ObdSim s(Car({"P0123"}));
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.ConnectCar());
    const std::vector<std::string> none;
    TOBDTroubleCycle cycle(s.Obd(), none);
    s.Modules().SetPollGroup(TPollGroup::ObdTroubleCodes, true);
    // A first read leaves P0123 in the records.
    ASSERT_TRUE(cycle.Read());
    for (int i = 0; i < 6; ++i) {
        cycle.Tick();
        s.Modules().TickStep();
    }
    ASSERT_EQ(s.Obd().DevState().TroubleCodeRecords[0].Code, 0x0123);

    s.AddFault("silence@C2/80:1");
    ASSERT_TRUE(cycle.Read());
    for (int i = 0; i < 6; ++i) {
        cycle.Tick();
        s.Modules().TickStep();
    }
    const auto &lines = cycle.Troubles().Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "*** Error while reading recorded trouble codes!"), lines.end());
    EXPECT_EQ(std::find_if(lines.begin(), lines.end(), [](const std::string &l) { return l.find("P0123") != l.npos; }),
              lines.end());
    EXPECT_EQ(s.Obd().DevState().TroubleCodeRecords[0].Code, 0);
}

TEST(OBDTroubleCycle, WithoutTheCarTheMemosAreEmptyAndGreyed)
{
    ObdSim s(Car({"P0123"}));
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    const std::vector<std::string> none;
    TOBDTroubleCycle cycle(s.Obd(), none);
    cycle.Tick();
    EXPECT_TRUE(cycle.Greyed());
    EXPECT_TRUE(cycle.Troubles().Lines().empty());
    EXPECT_FALSE(cycle.ButtonsEnabled());
}
