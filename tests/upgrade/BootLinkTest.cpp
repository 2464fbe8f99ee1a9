#include "FirmwareWriter.h"

#include "SimHarness.h"

#include "serial/ComMultiPort.h"
#include "sim/bootloader/FlashDevice.h"
#include "sim/controller/ControllerModel.h"
#include "upgrade/UpgradeSequence.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace lumex;
using testsupport::SimHarness;

sim::SimulatorOptions Device(bool inBootloader, uint8_t major = 4, uint8_t minor = 6)
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.inBootloader = inBootloader;
    o.boot.major = major;
    o.boot.minor = minor;
    return o;
}

struct Session
{
    explicit Session(SimHarness &sim)
    {
        port.ApplyControllerSettings();
        port.SetDevicePath(sim.Path());
        port.Open();
        logic.SetPort(&port);
        logic.Boot().SetPause([this](unsigned ms) { paused += ms; });
        logic.SetWarning([this](const std::string &w) { warnings.push_back(w); });
    }
    TComMultiPort port;
    TUpgraderLogic logic;
    unsigned paused = 0;
    std::vector<std::string> warnings;

    // The label of the step that failed, "header" for a refused file.
    std::string Upgrade()
    {
        const TUpgradeResult r = RunUpgrade(logic, {}, [](unsigned) {});
        return r.headerRefused ? "header" : r.step;
    }
};

std::vector<uint8_t> FileOf(std::size_t imageSize, uint8_t version = 0x30, uint8_t letter = 'H')
{
    mkfw::FirmwareRecipe s;
    s.size = imageSize;
    s.version = version;
    s.letter = letter;
    return mkfw::BuildFirmwareFile(s);
}

std::vector<uint8_t> FlashOf(SimHarness &h)
{
    auto pause = h.Sim().Pause();
    return h.Sim().Flash()->Flash();
}

bool RunsApplication(SimHarness &h, uint8_t version, uint8_t letter)
{
    auto pause = h.Sim().Pause();
    const auto f = h.Sim().Flash();
    return !f->InBootloader() && f->AppVersion() == version && f->AppLetter() == letter;
}

TEST(BootLink, JumpProgramAndStartBecomeTheNewApplication)
{
    SimHarness h(Device(false));
    Session s(h);
    const auto file = FileOf(64 * 1024);
    ASSERT_TRUE(s.logic.CheckFirmwareBytes(file));
    uint8_t version = 0;
    ASSERT_TRUE(s.logic.ReadAppVersion(version));
    EXPECT_EQ(version, 0x30);
    ASSERT_TRUE(s.logic.JumpToBootloader());
    EXPECT_FALSE(s.logic.ReadAppVersion(version)); // the application is gone
    EXPECT_EQ(s.Upgrade(), "");
    // The erase wait, the header block's settling and the two waits around the start.
    EXPECT_EQ(s.paused, TBootloader40Manager::kEraseWaitMs + TBootloader40Manager::kBlockSettleMs + 100 + 1000);
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 0x30, 'H'); }));
    const auto flash = FlashOf(h);
    ASSERT_GE(flash.size(), 64U * 1024U);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 64 * 1024, flash.begin()));
    ASSERT_TRUE(s.logic.ReadAppVersion(version));
    uint8_t letter = 0;
    ASSERT_TRUE(s.logic.ReadAppIdent(0, letter));
    EXPECT_EQ(letter, 'H');
}

uint8_t ByteParam(SimHarness &h, std::size_t index)
{
    auto pause = h.Sim().Pause();
    return std::dynamic_pointer_cast<sim::ControllerModel>(h.Sim().Device())->Store().byteParams[index];
}

void SetByteParam(SimHarness &h, std::size_t index, uint8_t value)
{
    auto pause = h.Sim().Pause();
    std::dynamic_pointer_cast<sim::ControllerModel>(h.Sim().Device())->EditStore([&](sim::ParameterStore &p) {
        p.byteParams[index] = value;
    });
}

TEST(BootLink, SettingsSurviveANewImageUnlessTheEepromIsErased)
{
    SimHarness h(Device(false));
    Session s(h);
    ASSERT_TRUE(s.logic.CheckFirmwareBytes(FileOf(36 * 10)));
    const uint8_t factory = ByteParam(h, 12);
    const uint8_t changed = static_cast<uint8_t>(factory + 7);
    SetByteParam(h, 12, changed);

    // Flash only: the EEPROM keeps what the old firmware left.
    ASSERT_TRUE(s.logic.JumpToBootloader());
    auto &b = s.logic.Boot();
    ASSERT_TRUE(b.IdentifyBootloader());
    ASSERT_TRUE(b.InitBootloader());
    ASSERT_TRUE(b.FlashMassErase(1));
    ASSERT_TRUE(b.FlashMassErase(0));
    ASSERT_TRUE(b.InitBootloader());
    ASSERT_TRUE(s.logic.ProgramFirmware({}, {}));
    ASSERT_TRUE(b.StartApplication());
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 0x30, 'H'); }));
    EXPECT_EQ(ByteParam(h, 12), changed);

    // The whole update erases the EEPROM: factory values.
    ASSERT_TRUE(s.logic.JumpToBootloader());
    ASSERT_EQ(s.Upgrade(), "");
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 0x30, 'H'); }));
    EXPECT_EQ(ByteParam(h, 12), factory);
}

TEST(BootLink, ImageLengthsAroundABlockBoundarySpillIntoTheTrailer)
{
    SimHarness h(Device(true));
    Session s(h);
    for (std::size_t extra = 0; extra <= 35; ++extra) {
        const std::size_t length = 36 * 40 + extra;
        const auto file = FileOf(length);
        ASSERT_TRUE(s.logic.CheckFirmwareBytes(file));
        EXPECT_EQ(s.logic.BlockCount(), (length + 35) / 36);
        h.ClearTrace();
        ASSERT_EQ(s.Upgrade(), "") << length;
        const auto flash = FlashOf(h);
        ASSERT_EQ(flash.size(), s.logic.BlockCount() * 36) << length;
        // The image, then the trailer's first bytes, then zeros past the file.
        for (std::size_t i = 0; i < flash.size(); ++i)
            ASSERT_EQ(flash[i], i < file.size() ? file[i] : 0) << length << " at " << i;
        // Back into the bootloader for the next length.
        ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 0x30, 'H'); }));
        ASSERT_TRUE(s.logic.JumpToBootloader());
    }
}

TEST(BootLink, AwkwardBlockBytesArriveExactly)
{
    SimHarness h(Device(true));
    Session s(h);
    auto file = FileOf(36 * 4);
    const std::vector<uint8_t> awkward{0x00, 0x03, 0x0A, 0x0D, 0x11, 0x13, 0x7F, 0xFF};
    for (std::size_t i = 36; i < 36 * 4; ++i)
        file[i] = awkward[i % awkward.size()];
    ASSERT_TRUE(s.logic.CheckFirmwareBytes(file));
    ASSERT_TRUE(s.logic.Boot().IdentifyBootloader());
    ASSERT_TRUE(s.logic.Boot().FlashMassErase(0));
    ASSERT_TRUE(s.logic.Boot().InitBootloader());
    ASSERT_TRUE(s.logic.ProgramFirmware({}, {}));
    const auto flash = FlashOf(h);
    ASSERT_GE(flash.size(), 36U * 4U);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 36 * 4, flash.begin()));
}

TEST(BootLink, ReceiveRules)
{
    SimHarness h(Device(true));
    Session s(h);
    auto &b = s.logic.Boot();
    h.AddFault("stray@BC/E1:1");
    EXPECT_TRUE(b.ReadBootVersion());
    // Two stray bytes: refused, and the identification's reopen of the
    // port throws away the answer still on the line.
    h.AddFault("stray2@BC/E1:1");
    EXPECT_FALSE(b.IdentifyBootloader());
    EXPECT_FALSE(b.Info().Found());
    ASSERT_TRUE(b.IdentifyBootloader());
    h.AddFault("bad-checksum@BC/E1:1");
    EXPECT_FALSE(b.ReadBootVersion());
    EXPECT_FALSE(b.Info().Found()); // the buffer was zeroed
    // A late answer: the request fails, and once the answer has come the
    // retry reads it as its own and gets the right version.
    h.AddFault("late@BC/E1:1");
    EXPECT_FALSE(b.ReadBootVersion());
    ASSERT_TRUE(h.WaitUntil([](const testsupport::SimTrace &t) {
        return std::any_of(t.begin(), t.end(), [](const auto &e) { return e.dir == "tx" && !e.fault.empty(); });
    }));
    EXPECT_TRUE(b.ReadBootVersion());
    EXPECT_EQ(b.Info().BootMajor, 4);
    EXPECT_EQ(b.Info().BootMinor, 6);
}

TEST(BootLink, VersionGatesTheQueries)
{
    struct Case
    {
        uint8_t major, minor;
        bool family, status;
    };
    for (const Case c : {Case{4, 5, true, false}, Case{4, 6, true, true}, Case{5, 0, false, false},
                         Case{6, 2, false, false}, Case{6, 3, true, false}}) {
        SimHarness h(Device(true, c.major, c.minor));
        Session s(h);
        ASSERT_TRUE(s.logic.Boot().IdentifyBootloader()) << int{c.major} << "." << int{c.minor};
        ASSERT_TRUE(h.Sync(s.port));
        const auto r = h.Requests();
        auto sent = [&](const std::string &hex) { return std::find(r.begin(), r.end(), hex) != r.end(); };
        EXPECT_EQ(sent("BC F0 01 AD"), c.family) << int{c.major} << "." << int{c.minor};
        EXPECT_EQ(sent("BC F0 02 AE"), c.status) << int{c.major} << "." << int{c.minor};
    }
}

TEST(BootLink, NonZeroStatusSendsNoStart)
{
    auto o = Device(true);
    std::string error;
    ASSERT_TRUE(sim::ParseBootFault("status=2", o.bootFaults, error)) << error;
    SimHarness h(o);
    Session s(h);
    ASSERT_TRUE(s.logic.Boot().IdentifyBootloader());
    EXPECT_EQ(s.logic.Boot().Info().BootStatus, 2);
    EXPECT_FALSE(s.logic.Boot().StartApplication());
    ASSERT_TRUE(h.Sync(s.port));
    for (const auto &r : h.Requests())
        EXPECT_NE(r.substr(0, 5), "BC EE");
}

TEST(BootLink, EachFaultFailsItsStepAndASecondRunSucceeds)
{
    struct Case
    {
        const char *fault;
        const char *step;
    };
    for (const Case c : {Case{"reject-header", "header"}, Case{"reject-block=5", "-pbf"},
                         Case{"power-loss-erase", "-fmeB0"}, Case{"power-loss-block=7", "-pbf"}}) {
        SimHarness h(Device(true));
        Session s(h);
        ASSERT_TRUE(s.logic.CheckFirmwareBytes(FileOf(36 * 20)));
        h.Control(std::string("boot-fault ") + c.fault);
        EXPECT_EQ(s.Upgrade(), c.step) << c.fault;
        EXPECT_EQ(s.Upgrade(), "") << c.fault;
        EXPECT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 0x30, 'H'); })) << c.fault;
    }
    for (const Case c : {Case{"silence@BC/E2:1", "-init"}, Case{"late=4500@BC/E3:1", "-fmeB1"},
                         Case{"bad-checksum@BC/E6:1", "header"}}) {
        SimHarness h(Device(true));
        Session s(h);
        ASSERT_TRUE(s.logic.CheckFirmwareBytes(FileOf(36 * 20)));
        h.AddFault(c.fault);
        EXPECT_EQ(s.Upgrade(), c.step) << c.fault;
        // The user tries again once the device has caught up; what it said
        // late is still on the line then.
        ASSERT_TRUE(h.WaitUntil([](const testsupport::SimTrace &t) {
            return std::any_of(t.begin(), t.end(), [](const auto &e) { return e.dir == "tx" && !e.fault.empty(); });
        })) << c.fault;
        EXPECT_EQ(s.Upgrade(), "") << c.fault;
    }
}

TEST(BootLink, TheAdapterIsUpgradedThroughItsOwnBootloader)
{
    auto o = Device(false);
    o.adapter = sim::AdapterIdentity{};
    SimHarness h(o);
    Session s(h);
    s.logic.SetAdapterMode(true);
    mkfw::FirmwareRecipe recipe;
    recipe.adapter = true;
    recipe.family = kBootFamilyAdapter;
    recipe.version = 0x22;
    recipe.letter = 'b';
    recipe.size = 36 * 30 + 5;
    ASSERT_TRUE(s.logic.CheckFirmwareBytes(mkfw::BuildFirmwareFile(recipe)));
    uint8_t version = 0;
    ASSERT_TRUE(s.logic.ReadAppVersion(version));
    EXPECT_EQ(version, 0x21);

    ASSERT_TRUE(s.logic.JumpToBootloader());
    ASSERT_TRUE(h.WaitForFrame("D2 E2 00 B4"));
    ASSERT_TRUE(ConfirmBootloader(s.logic.Boot()));
    EXPECT_EQ(s.logic.Boot().Info().BootFamily, kBootFamilyAdapter);
    EXPECT_TRUE(s.logic.CheckDeviceType());
    EXPECT_EQ(s.Upgrade(), "");
    ASSERT_TRUE(testsupport::WaitFor([&] {
        auto pause = h.Sim().Pause();
        return !h.Sim().AdapterFlash()->InBootloader();
    }));
    ASSERT_TRUE(s.logic.ReadAppVersion(version));
    EXPECT_EQ(version, 0x22);
    // The controller kept its application all along.
    s.logic.SetAdapterMode(false);
    ASSERT_TRUE(s.logic.ReadAppVersion(version));
    EXPECT_EQ(version, 0x30);
}

TEST(BootLink, IgnoredJumpLeavesTheApplicationRunning)
{
    auto o = Device(false);
    o.bootFaults.ignoreJump = true;
    SimHarness h(o);
    Session s(h);
    EXPECT_TRUE(s.logic.JumpToBootloader()); // the write alone counts
    EXPECT_FALSE(s.logic.Boot().IdentifyBootloader());
    uint8_t version = 0;
    EXPECT_TRUE(s.logic.ReadAppVersion(version));
}

TEST(BootLink, WrongFamilyIsRefusedByTheTypeCheck)
{
    auto o = Device(true);
    o.boot.family = 20;
    SimHarness h(o);
    Session s(h);
    ASSERT_TRUE(s.logic.Boot().IdentifyBootloader());
    EXPECT_FALSE(s.logic.CheckDeviceType());
    ASSERT_EQ(s.warnings.size(), 1U);
    EXPECT_EQ(s.warnings[0],
              "Connected to device of incorrect type: FSI\r\nPlease use dedicated software to upgrade the device.");
}

} // namespace
