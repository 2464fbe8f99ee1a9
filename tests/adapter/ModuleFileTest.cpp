// Module settings files: exact round trips whatever the locale, the old
// number form, bad files that must change nothing and send nothing, and
// saves and loads whose device side fails.
#include "AdapterSim.h"
#include "SettingsModule.h"

#include "documents/IniFile.h"
#include "modules/ModuleFile.h"
#include "modules/ModuleQuestions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

using namespace lumex;
using adaptertest::AdapterSim;
using adaptertest::TModuleSettings;
using adaptertest::WithAdapter;

namespace {

// Answers every question the same way and keeps what was asked and shown.
class TScripted : public TModuleQuestions
{
public:
    explicit TScripted(bool answer) : answer_(answer) {}
    bool YesNo(const std::string &text, bool, bool) override
    {
        asked.push_back(text);
        return answer_;
    }
    bool OkCancel(const std::string &text) override
    {
        asked.push_back(text);
        return answer_;
    }
    void Message(const std::string &text) override { shown.push_back(text); }
    std::vector<std::string> asked, shown;

private:
    bool answer_;
};

// A decimal comma for streams, as a German desktop has.
struct CommaPunct : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
};

class ModuleFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("LANG", "de_DE.UTF-8", 1);
        std::setlocale(LC_ALL, "");
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
        dir_ =
            std::filesystem::temp_directory_path() / ("gaf-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
        std::filesystem::remove_all(dir_);
    }
    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }

    static std::unique_ptr<AdapterSim> Connected(std::optional<sim::AdapterIdentity> adapter = sim::AdapterIdentity{})
    {
        auto s = std::make_unique<AdapterSim>(WithAdapter(std::move(adapter)),
                                              std::vector<TModuleFactory>{adaptertest::SettingsFactory()});
        EXPECT_TRUE(s->ConnectClean());
        s->Logic().ResetModules();
        return s;
    }
    static TModuleSettings &Settings(AdapterSim &s)
    {
        return static_cast<TModuleSettings &>(*s.Logic().SubModules()[0]);
    }
    // A file as a device 2.1 would have saved it, with these OBD lines.
    std::string WriteFile(const std::string &name, const std::string &obdLines, const std::string &device = "2.1a r5")
    {
        const std::string path = PathOf(name);
        std::ofstream(path) << "[Info]\nSaveDate=01.02.2024 10:00:00\nDevice=" << device
                            << "\nProduct=Lumex2 (Adapter)\n[OBD]\n"
                            << obdLines;
        return path;
    }

    std::filesystem::path dir_;
};

} // namespace

TEST_F(ModuleFile, EverySavedValueRoundTripsExactly)
{
    auto a = Connected();
    adaptertest::TDevStateSettings &d = Settings(*a).Dev();
    d.Corr.SetAsDouble(115);
    d.CorrLow.SetAsDouble(-128);
    d.CorrHigh.SetAsDouble(127);
    d.Level.SetAsInteger(255);
    d.Delay.SetAsInteger(65535);
    d.Offset.SetAsInteger(-32768);
    d.Enabled.SetAsBoolean(false);
    d.PidAllow.SetAsInteger(0x05);
    const std::string path = PathOf("a.gaf");
    const TModuleFileResult saved = TModuleFile::Save(a->Logic(), path, {TSection::OBD});
    ASSERT_TRUE(saved.Ok) << saved.Message;

    const TIniFile ini = TIniFile::Load(path);
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Info", "OBD"}));
    EXPECT_EQ(ini.ReadString("OBD", "Corr", ""), "115");
    EXPECT_EQ(ini.ReadString("OBD", "CorrLow", ""), "-128");
    EXPECT_EQ(ini.ReadString("OBD", "Enabled", ""), "Off");
    EXPECT_EQ(ini.ReadString("OBD", "PidAllow", ""), "5");
    EXPECT_EQ(ini.ReadString("Info", "Device", ""), "2.1a r5");
    EXPECT_FALSE(ini.ValueExists("OBD", "SettingsReading")); // readings are never saved
    EXPECT_FALSE(ini.ValueExists("OBD", "Pid1"));

    auto b = Connected();
    TScripted yes(true);
    const TModuleFileResult loaded = TModuleFile::Load(b->Logic(), path, {TSection::OBD}, false, yes);
    ASSERT_TRUE(loaded.Ok) << loaded.Message;
    EXPECT_EQ(yes.asked, (std::vector<std::string>{"Save configuration to device?"}));
    const adaptertest::TDevStateSettings &e = Settings(*b).Dev();
    EXPECT_EQ(e.Corr.GetAsDouble(), 115);
    EXPECT_EQ(e.CorrLow.GetAsDouble(), -128);
    EXPECT_EQ(e.CorrHigh.GetAsDouble(), 127);
    EXPECT_EQ(e.Level.GetAsInteger(), 255);
    EXPECT_EQ(e.Delay.GetAsInteger(), 65535);
    EXPECT_EQ(e.Offset.GetAsInteger(), -32768);
    EXPECT_FALSE(e.Enabled.GetAsBoolean());
    EXPECT_EQ(e.PidAllow.GetAsInteger(), 5);
    EXPECT_EQ(Settings(*b).writes, 1);
    EXPECT_FALSE(b->Logic().UIState().Modified());
}

TEST_F(ModuleFile, TheOldTwoDigitFormLoads)
{
    auto a = Connected();
    TScripted yes(true);
    const std::string path = WriteFile("old.gaf", "Corr=1.2E2\nCorrLow=-1.3E1\nCorrHigh=0\nLevel=20\nDelay=1000\n"
                                                  "Offset=-5\nEnabled=On\nPidAllow=3\n");
    ASSERT_TRUE(TModuleFile::Load(a->Logic(), path, {TSection::OBD}, false, yes).Ok);
    EXPECT_EQ(Settings(*a).UI().Corr.GetAsDouble(), 120);
    EXPECT_EQ(Settings(*a).Dev().CorrLow.GetAsDouble(), -13);
}

TEST_F(ModuleFile, BadFilesChangeNothingAndSendNothing)
{
    auto a = Connected();
    adaptertest::TUIStateSettings &ui = Settings(*a).UI();
    const std::string good = "Corr=1\nCorrLow=2\nCorrHigh=3\nDelay=4\nOffset=5\nEnabled=On\nPidAllow=1\n";
    struct Case
    {
        std::string name, lines, device, question;
    };
    const std::vector<Case> cases = {
        {"byte300", good + "Level=300\n", "2.1a r5",
         "Some information could not be read from configuration file.\r\nLevel\r\n\r\nContinue?"},
        {"wordNegative", "Corr=1\nLevel=1\nDelay=-1\n", "2.1a r5",
         "Some information could not be read from configuration file.\r\nDelay\r\n\r\nContinue?"},
        {"word70000", "Delay=70000\nLevel=1\n", "2.1a r5",
         "Some information could not be read from configuration file.\r\nDelay\r\n\r\nContinue?"},
        {"nan", "Corr=nan\nLevel=1\n", "2.1a r5",
         "Some information could not be read from configuration file.\r\nCorr\r\n\r\nContinue?"},
        {"double200", "CorrHigh=200\nLevel=1\n", "2.1a r5",
         "Some information could not be read from configuration file.\r\nCorrHigh\r\n\r\nContinue?"},
        {"sevenUnknown", "K1=1\nK2=1\nK3=1\nK4=1\nK5=1\nK6=1\nK7=1\nLevel=1\n", "2.1a r5",
         "Unrecognized or obsolete parameters found:\r\nK1\r\nK2\r\nK3\r\nK4\r\nK5\r\n(2 more...)\r\n\r\nContinue?"},
        {"oneUnknown", "K1=1\nLevel=1\n", "2.1a r5", "Unrecognized or obsolete parameter found: K1\r\n\r\nContinue?"},
        {"otherProduct", good + "Level=1\n", "3.0b r1",
         "Found configuration file for different product:\r\n\r\n  3.0b r1\r\n\r\nIt may contain incompatible "
         "settings.\r\nContinue?"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ui.Level.SetAsInteger(77); // an edit the declined load must undo
        a->Sync();
        a->ClearTrace();
        TScripted no(false);
        const TModuleFileResult r =
            TModuleFile::Load(a->Logic(), WriteFile(c.name + ".gaf", c.lines, c.device), {TSection::OBD}, false, no);
        EXPECT_FALSE(r.Ok);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.asked[0], c.question);
        ASSERT_FALSE(no.shown.empty());
        EXPECT_EQ(no.shown.back(), "Error while reading configuration file.");
        EXPECT_EQ(ui.Level.GetAsInteger(), Settings(*a).Dev().Level.GetAsInteger());
        EXPECT_EQ(ui.Delay.GetAsInteger(), Settings(*a).Dev().Delay.GetAsInteger());
        a->Sync();
        EXPECT_TRUE(a->AdapterRequests().empty());
        EXPECT_EQ(Settings(*a).writes, 0);
    }
    // No product and no device at all.
    TScripted no(false);
    const std::string bare = PathOf("bare.gaf");
    std::ofstream(bare) << "[OBD]\nLevel=1\n";
    EXPECT_FALSE(TModuleFile::Load(a->Logic(), bare, {TSection::OBD}, false, no).Ok);
    ASSERT_EQ(no.shown.size(), 2u);
    EXPECT_EQ(no.shown[0], "Invalid configuration file format:\r\n\r\nMissing product and device info.");
}

TEST_F(ModuleFile, AFailedDeviceWriteKeepsTheEditsAndTheMark)
{
    auto a = Connected();
    a->AddFault("silence@C2/0A");
    TScripted yes(true);
    const std::string path = WriteFile("w.gaf", "Corr=9\nCorrLow=0\nCorrHigh=0\nLevel=42\nDelay=1\nOffset=0\n"
                                                "Enabled=On\nPidAllow=0\n");
    const TModuleFileResult r = TModuleFile::Load(a->Logic(), path, {TSection::OBD}, false, yes);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Message, "Error while writing configuration to device.");
    EXPECT_TRUE(a->Logic().UIState().Modified());
    EXPECT_EQ(Settings(*a).UI().Level.GetAsInteger(), 42);
    EXPECT_EQ(Settings(*a).writes, 1);
}

TEST_F(ModuleFile, ASaveWithoutAnAdapterIsRefusedAndKeepsTheOldFile)
{
    auto a = Connected(std::nullopt);
    const std::string path = PathOf("keep.gaf");
    std::ofstream(path) << "[Info]\nDevice=old\n";
    const TModuleFileResult r = TModuleFile::Save(a->Logic(), path, {TSection::OBD});
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Message, "The adapter did not answer. Nothing was saved.");
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[Info]\nDevice=old\n");
}

// The default configuration: Cancel sends nothing; OK runs every writer; a
// frame that fails is reported as a failure, not as done.
TEST(AdapterDefaults, CancelSendsNothingAndAFailedFrameIsReported)
{
    AdapterSim s(WithAdapter(), {adaptertest::SettingsFactory()});
    ASSERT_TRUE(s.ConnectClean());
    s.Logic().ResetModules();
    auto &settings = static_cast<adaptertest::TModuleSettings &>(*s.Logic().SubModules().front());
    TLogicAdapter &a = s.Logic().AdapterLogic();
    a.DefaultWriters.push_back([&] { return settings.WriteConfiguration(); });
    s.Sync();
    s.ClearTrace();

    TScripted cancel(false);
    std::string failure;
    EXPECT_FALSE(a.WriteAdapterDefaults(true, &cancel, &failure));
    ASSERT_EQ(cancel.asked.size(), 1u);
    EXPECT_EQ(cancel.asked[0], "Caution! Program will write default configuration into device. Save?");
    EXPECT_TRUE(failure.empty()) << "a cancel is no failure";
    s.Sync();
    EXPECT_TRUE(s.AdapterRequests().empty());

    TScripted ok(true);
    EXPECT_TRUE(a.WriteAdapterDefaults(true, &ok, &failure));
    s.Sync();
    EXPECT_EQ(s.AdapterRequests().size(), 1u);
    EXPECT_EQ(s.AdapterRequests()[0].rfind("C2 0A A5", 0), 0u);

    s.AddFault("silence@C2/0A");
    EXPECT_FALSE(a.WriteAdapterDefaults(true, &ok, &failure));
    EXPECT_EQ(failure, "Error while writing default configuration.");
}
