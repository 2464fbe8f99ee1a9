// lumex2-cli config show and config set, run as their own process against
// the simulated controller on a pseudo-terminal.
#include "CliRun.h"
#include "ControllerHeld.h"

#include "SimHarness.h"
#include "configuration/ConfigFields.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <set>

using blockstest::CliResult;
using blockstest::RunCli;
using nlohmann::json;
using namespace lumex;

namespace {

class Controller : public testsupport::SimHarness
{
public:
    Controller(uint8_t generation, char letter, const char *fixture) : SimHarness(Options(generation, letter, fixture))
    {
    }
    sim::ParameterStore Store() { return std::dynamic_pointer_cast<sim::ControllerModel>(Sim().Device())->Store(); }
    json Identity() { return json::parse(Control("dump")).at("identity"); }
    TNorviData Image()
    {
        TNorviData d;
        d.VersionCode = Identity().at("VersionCode").get<uint8_t>();
        d.SoftwareLetter = Identity().at("SoftwareLetter").get<std::string>();
        return d;
    }
    // Requests that change the controller's configuration, once the program has exited.
    std::vector<std::string> Writes()
    {
        EXPECT_TRUE(Sync());
        std::vector<std::string> out;
        for (const auto &f : Requests()) {
            const std::string code = f.substr(3, 2);
            if (code == "04" || code == "08" || code == "52" || code == "D9")
                out.push_back(f);
        }
        return out;
    }

private:
    static sim::SimulatorOptions Options(uint8_t generation, char letter, const char *fixture)
    {
        auto o = testsupport::SimSetup::Controller(generation, static_cast<uint8_t>(letter));
        o.stateFile = std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-" + fixture + ".json";
        return o;
    }
};

CliResult Config(Controller &c, std::vector<std::string> args)
{
    std::vector<std::string> all{"--port", c.Path(), "--json", "config"};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), {"--lang", "EN"});
    return RunCli(all);
}

} // namespace

TEST(CliConfig, ShowListsEveryFieldWithItsRawValueAndShownText)
{
    for (const auto &[generation, letter, fixture] :
         {std::tuple{uint8_t{0x30}, 'G', "30G"}, std::tuple{uint8_t{0x15}, 'E', "15"}}) {
        SCOPED_TRACE(fixture);
        Controller c(generation, letter, fixture);
        const CliResult r = Config(c, {"show"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json fields = json::parse(r.out).at("fields");
        const TNorviData d = c.Image();
        const auto present = FieldsPresent(d);
        ASSERT_EQ(fields.size(), present.size());
        const sim::ParameterStore store = c.Store();
        const json identity = c.Identity();
        for (std::size_t i = 0; i < present.size(); ++i) {
            const TConfigField &f = *present[i];
            EXPECT_EQ(fields[i].at("name"), f.Name);
            if (PlaceOn(f, d)->Transfer == TTransfer::Separate)
                continue;
            const unsigned mask = ReadBackMask(f, d);
            EXPECT_EQ(fields[i].at("raw").get<unsigned>() & mask,
                      cfgtest::HeldByController(f, d, store, identity) & mask)
                << f.Name;
        }
        EXPECT_TRUE(c.Writes().empty()); // showing writes nothing
        EXPECT_TRUE(c.Violations().empty()) << ::testing::PrintToString(c.Violations());
    }
    // Shown texts of the installed 3.0 car.
    Controller c(0x30, 'G', "30G");
    const json fields = json::parse(Config(c, {"show"}).out).at("fields");
    std::map<std::string, std::string> text;
    for (const auto &f : fields)
        text[f.at("name")] = f.at("text");
    EXPECT_EQ(text["EngineCubicCapacity"], "1598 ccm");
    EXPECT_EQ(text["IdleHotTb"], "2,90 ms");
    EXPECT_EQ(text["InjSW"], "4");
    EXPECT_EQ(text["RPM"], "1000");
    EXPECT_EQ(text["Tgas<val"], "-4");
    EXPECT_EQ(text["MazdaEnrichmentPercentage"], "-15");
}

TEST(CliConfig, SetWritesOneFieldAsShownOrRawAndTheControllerHoldsIt)
{
    Controller c(0x30, 'G', "30G");
    const TNorviData d = c.Image();
    struct Case
    {
        const char *name;
        std::vector<std::string> value;
        unsigned raw;
        const char *shown;
    };
    for (const Case &k :
         {Case{"T", {"55"}, 58, "55"}, Case{"Tgas<&Load_Lval", {"90"}, 90, "90"},
          Case{"IdleHotTb", {"3,5"}, 655, "3,50 ms"}, Case{"InjSW", {"6"}, 63, "6"},
          Case{"MazdaEnrichmentPercentage", {"-100"}, 156, "-100"}, Case{"RPM", {"7480", "--raw"}, 7480, ""},
          Case{"FuelType", {"CNG"}, 1, "CNG"}, Case{"RPMsource", {"Obrotomierz 2"}, 3, "Obrotomierz 2"}}) {
        SCOPED_TRACE(k.name);
        std::vector<std::string> args{"set", k.name};
        args.insert(args.end(), k.value.begin(), k.value.end());
        const CliResult r = Config(c, args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json out = json::parse(r.out);
        EXPECT_EQ(out.at("raw"), k.raw);
        EXPECT_EQ(out.at("text"), k.shown);
        const TConfigField &f = *FindConfigField(k.name);
        EXPECT_EQ(cfgtest::HeldByController(f, d, c.Store(), c.Identity()) & ReadBackMask(f, d), k.raw);
        EXPECT_FALSE(c.Writes().empty());
        c.ClearTrace();
    }
    EXPECT_TRUE(c.Violations().empty()) << ::testing::PrintToString(c.Violations());
}

TEST(CliConfig, RefusedValuesAndFailedWritesExitNonZeroWithAMessage)
{
    Controller c(0x30, 'G', "30G");
    const sim::ParameterStore before = c.Store();
    struct Case
    {
        std::vector<std::string> args;
        int exitCode;
        const char *message;
    };
    for (const Case &k :
         {Case{{"set", "Power", "1000"}, 1, "Power: \"1000\" is out of range"},
          Case{{"set", "Power", "-1"}, 1, "negative"}, Case{{"set", "EngineCubicCapacity", "10000"}, 1, "out of range"},
          Case{{"set", "IdleHotTb", "400"}, 1, "IdleHotTb"}, Case{{"set", "IdleHotTb", "fast"}, 1, "not a number"},
          Case{{"set", "InjSW", "0", "--raw"}, 1, "InjSW: mask 0"}, Case{{"set", "InjSW", "8"}, 1, "6 channels"},
          Case{{"set", "InjHW", "4"}, 1, "does not send"}, Case{{"set", "T", "21"}, 1, "not an entry"},
          Case{{"set", "NoSuchField", "1"}, 2, "no configuration field"}, Case{{"set", "Power"}, 2, "usage"},
          Case{{"show", "extra"}, 2, "usage"}}) {
        SCOPED_TRACE(::testing::PrintToString(k.args));
        const CliResult r = Config(c, k.args);
        EXPECT_EQ(r.exitCode, k.exitCode);
        EXPECT_NE(r.err.find(k.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_TRUE(c.Writes().empty());
        c.ClearTrace();
    }
    EXPECT_TRUE(c.Store() == before);

    // A write that fails on the line names its step and stops there.
    c.AddFault("silence@D9:1");
    const CliResult r = Config(c, {"set", "Power", "80"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("WriteBasicConfigG3"), std::string::npos) << r.err;
    const auto writes = c.Writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().substr(3, 2), "D9");

    const CliResult lang = RunCli({"--port", c.Path(), "config", "show", "--lang", "XX"});
    EXPECT_EQ(lang.exitCode, 2);
    EXPECT_NE(lang.err.find("unknown language"), std::string::npos) << lang.err;
}
