// The adapter module against the simulated adapter: detection, the version
// and serial texts, and the gates that keep adapter frames off the line.
#include "AdapterSim.h"
#include "SettingsModule.h"

#include "adapter/AdapterPage.h"

#include <gtest/gtest.h>

using namespace lumex;
using adaptertest::AdapterSim;
using adaptertest::WithAdapter;

namespace {

sim::AdapterIdentity Foreign()
{
    sim::AdapterIdentity id;
    id.product = 7;
    return id;
}

} // namespace

TEST(AdapterTexts, VersionSerialAndKitRules)
{
    EXPECT_EQ(AdapterMainVersionText(0x21), "2.1");
    EXPECT_EQ(AdapterReleaseText(0x61), "a");
    EXPECT_EQ(SerialNumberText(1234567, 1, (12 << 8) | 9, false), "34567010912");
    EXPECT_EQ(SerialNumberText(1234567, 1, (12 << 8) | 9, true), "34567-01-0912");
    EXPECT_EQ(SerialNumberText(42, 0, 0, true), "00042-00-0000");
    EXPECT_EQ(SoftwareOptionsName(0, true), "UNK");
    EXPECT_EQ(SoftwareOptionsName(1, false), "Adapter_ver1");
    EXPECT_EQ(SoftwareOptionsName(5, false), "---");
}

TEST(AdapterModule, DetectedAdapterShowsItsVersionAndSerial)
{
    AdapterSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    EXPECT_TRUE(s.Modules().IsActive());
    EXPECT_TRUE(s.Adapter().IsConnected());
    EXPECT_TRUE(s.Modules().TakeModulesDetected());
    EXPECT_FALSE(s.Modules().TakeModulesDetected());

    TLogicAdapter &a = s.Logic().AdapterLogic();
    EXPECT_EQ(a.VersionText(true, 0), "2.1a r5");
    EXPECT_EQ(a.VersionText(true, 1), "21a");
    EXPECT_EQ(a.VersionText(true, 2), "2.1");
    EXPECT_EQ(a.VersionText(true, 3), "21");
    EXPECT_EQ(a.SerialNumberText(true), "34567-01-0924");
    EXPECT_EQ(a.FullVersionText(true), "02311"
                                       "21a Av1[1-3]");
    EXPECT_EQ(a.FullVersionText(false), "02311"
                                        "21a Adapter_ver1 [1-3] ");
    EXPECT_EQ(s.Adapter().UIState().CompilationDate.Text(), "Mar 14 2024");
    EXPECT_EQ(s.Adapter().UIState().CompilationTime.Text(), "12:34:56");
    EXPECT_FALSE(s.Logic().UIState().Modified());

    s.Sync();
    // Detection's version query, then the information read.
    EXPECT_EQ(s.AdapterRequests(),
              (std::vector<std::string>{"C2 01 01 6B 87", "C2 01 01 6B 87", "C2 02 A5 CB BA", "C2 04 A5 61 1C"}));
}

TEST(AdapterModule, KitTypeNoneLeavesNoSuffix)
{
    sim::AdapterIdentity id;
    id.kit = 255;
    AdapterSim s(WithAdapter(id));
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    EXPECT_EQ(s.Logic().AdapterLogic().FullVersionText(true), "02311"
                                                              "21a Av1[1]");
}

TEST(AdapterModule, ForeignOrAbsentAdapterLeavesTheManagerInactiveAndSendsNoModuleFrame)
{
    for (const auto &identity :
         {std::optional<sim::AdapterIdentity>(Foreign()), std::optional<sim::AdapterIdentity>()}) {
        AdapterSim s(WithAdapter(identity), {adaptertest::SettingsFactory()});
        ASSERT_TRUE(s.ConnectClean());
        s.Logic().ResetModules();
        EXPECT_FALSE(s.Modules().IsActive());
        EXPECT_FALSE(s.Adapter().IsConnected());
        EXPECT_FALSE(s.Logic().SubModules()[0]->IsConnected());
        EXPECT_EQ(s.Logic().AdapterLogic().VersionText(true, 0), "----");
        s.Sync();
        s.ClearTrace();
        for (int i = 0; i < 3; ++i)
            s.Modules().TimerThreadWorkStep();
        s.Sync();
        EXPECT_TRUE(s.AdapterRequests().empty());
    }
}

TEST(AdapterModule, AFailedIdentificationLeavesZeros)
{
    AdapterSim s;
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_EQ(s.Adapter().DevState().ProductionSerialNumber.GetAsInteger(), 1234567);
    s.AddFault("short@C2/02:1");
    s.Logic().AdapterLogic().ReadAdapterInfo();
    const TDevStateAdapter &d = s.Adapter().DevState();
    for (const TVariable *v :
         {static_cast<const TVariable *>(&d.ReleaseVersion), static_cast<const TVariable *>(&d.BootloaderProductName),
          static_cast<const TVariable *>(&d.ProductionDate), static_cast<const TVariable *>(&d.ProductionSerialNumber),
          static_cast<const TVariable *>(&d.HardwareVersion)})
        EXPECT_EQ(v->GetAsInteger(), 0) << v->Name();
    EXPECT_FALSE(s.Adapter().IsConnected());
}

TEST(AdapterModule, NothingGoesToTheAdapterWhileTheControllerLinkIsDown)
{
    AdapterSim s(WithAdapter(), {adaptertest::SettingsFactory()});
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.Modules().IsActive());
    s.Sync();
    s.ClearTrace();
    s.Modules().TimerThreadWorkStep();
    s.Sync();
    EXPECT_EQ(s.AdapterRequests(), (std::vector<std::string>{"C2 0B A5 71 22"}));

    // The controller stops answering: the link goes down in its poll cycle.
    s.AddFault("silence@C0/*");
    while (s.Manager().LinkUp)
        s.Manager().PollCycle(pmNone);
    s.Sync();
    s.ClearTrace();
    s.Modules().TimerThreadWorkStep();
    s.Logic().ResetModules();
    s.Logic().AdapterLogic().ReadAdapterInfo();
    s.Sync();
    EXPECT_TRUE(s.AdapterRequests().empty());
    EXPECT_FALSE(s.Modules().IsActive());
}

// Group 14 follows the car link in the same tick, before the modules'
// steps read it, and not a tick late.
TEST(AdapterModule, LiveDataGroupFollowsTheCarLinkBeforeTheSteps)
{
    AdapterSim s(WithAdapter(), {adaptertest::SettingsFactory()});
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    auto &settings = static_cast<adaptertest::TModuleSettings &>(*s.Logic().SubModules().front());
    bool carLink = false;
    s.Modules().CarLinkUp = [&] { return carLink; };
    s.Modules().TickStep();
    carLink = true;
    s.Modules().TickStep();
    EXPECT_TRUE(s.Modules().InPollSet(TPollGroup::ObdLiveData));
    carLink = false;
    s.Modules().TickStep();
    EXPECT_EQ(settings.livePolled, (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(s.Modules().InPollSet(TPollGroup::ObdLiveData));
    // Nothing plugged in: the group stays off.
    s.Modules().CarLinkUp = nullptr;
    s.Modules().SetPollGroup(TPollGroup::ObdLiveData, true);
    s.Modules().TickStep();
    EXPECT_FALSE(s.Modules().InPollSet(TPollGroup::ObdLiveData));
}

// The high byte of the word counts as much as the low one; a query that
// gets no answer shows no test mode.
TEST(AdapterModule, TestModeFollowsTheWordAndAFailedQueryCountsAsOff)
{
    sim::AdapterIdentity id;
    id.testMode = 0x0100;
    AdapterSim s(WithAdapter(id));
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    ASSERT_TRUE(s.Adapter().IsConnected());
    EXPECT_EQ(s.Adapter().QueryTestMode(), std::optional<uint16_t>(0x0100));
    EXPECT_TRUE(s.Adapter().InTestMode());
    s.AddFault("silence@C2/05");
    EXPECT_FALSE(s.Adapter().InTestMode());

    AdapterSim normal;
    ASSERT_TRUE(normal.ConnectClean());
    normal.Logic().ResetModules();
    EXPECT_FALSE(normal.Adapter().InTestMode());
    normal.Sync();
    EXPECT_EQ(normal.AdapterRequests().back().rfind("C2 05 01", 0), 0u);
}

// What the information page shows for a served adapter, a foreign one, none,
// and one whose identification query got the error answer.
TEST(AdapterPageView, TextsAndButtonsFollowWhatAnswered)
{
    auto view = [](AdapterSim &s) {
        s.Logic().ResetModules();
        return AdapterPageView(TakeAdapterSnapshot(s.Logic()));
    };
    AdapterSim served;
    ASSERT_TRUE(served.ConnectClean());
    TAdapterPageView v = view(served);
    EXPECT_EQ(v.Version, "2.1a r5");
    EXPECT_EQ(v.Tone, TAdapterPageTone::Good);
    EXPECT_EQ(v.VersionFull, "0231121a Adapter_ver1 [1-3] ");
    EXPECT_EQ(v.Built, "Mar 14 2024 12:34:56");
    EXPECT_EQ(v.Serial, "34567010924");
    EXPECT_TRUE(v.ButtonsEnabled);

    AdapterSim foreign(WithAdapter(Foreign()));
    ASSERT_TRUE(foreign.ConnectClean());
    v = view(foreign);
    EXPECT_EQ(v.Version, "[Incompatible version] [7]");
    EXPECT_EQ(v.Tone, TAdapterPageTone::Bad);
    EXPECT_EQ(v.VersionFull, "");
    EXPECT_EQ(v.Serial, "[unknown]");
    EXPECT_FALSE(v.ButtonsEnabled);

    AdapterSim none(WithAdapter(std::nullopt));
    ASSERT_TRUE(none.ConnectClean());
    v = view(none);
    EXPECT_EQ(v.Version, "[unknown]");
    EXPECT_EQ(v.VersionFull, "[unknown]");
    EXPECT_EQ(v.Built, "[unknown]");
    EXPECT_FALSE(v.ButtonsEnabled);

    // The error answer to the identification: zeros, not the main version
    // the first query read, and no buttons.
    AdapterSim refused;
    ASSERT_TRUE(refused.ConnectClean());
    refused.AddFault("short@C2/02");
    v = view(refused);
    EXPECT_EQ(refused.Adapter().DevState().MainVersion.GetAsInteger(), 0);
    EXPECT_EQ(v.Version, "[unknown]");
    EXPECT_FALSE(v.ButtonsEnabled);
}
