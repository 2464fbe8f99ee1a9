// The configuration field table against the simulated controller: every
// field a generation and revision has reads as the controller holds it (seen
// through the field's own place in the controller's memory), a configuration
// with every writable field changed reads back equal, a write that fails on
// its k-th command names the step and sends nothing more, and values the
// checks refuse never reach the line.
#include "ControllerHeld.h"
#include "SilentOnWrite.h"
#include "SimLink.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/ConfigVerify.h"
#include "configuration/InjectionSystem.h"
#include "controller/ConfigurationIO.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace lumex;
using linktest::SimLink;
using nlohmann::json;

namespace {

struct Revision
{
    const char *fixture; // sim/states/installed-<fixture>.json
    uint8_t generation;
    char letter;
};

void PrintTo(const Revision &r, std::ostream *os)
{
    *os << std::hex << int{r.generation} << std::dec << r.letter;
}

// An installed car's state with the firmware letter of the case.
sim::SimulatorOptions Installed(const Revision &r)
{
    std::ifstream in(std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-" + r.fixture + ".json");
    json state = json::parse(in);
    state["identity"]["SoftwareLetter"] = std::string(1, r.letter);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("cfgfields-" + std::to_string(::getpid()) + "-" + r.fixture + r.letter + ".json");
    std::ofstream(file) << state.dump();
    sim::SimulatorOptions o = testsupport::SimSetup::Controller(r.generation, static_cast<uint8_t>(r.letter));
    o.stateFile = file.string();
    return o;
}

// The write step a request frame belongs to, from its bytes.
std::string StepOf(const std::string &frame)
{
    const unsigned code = std::stoul(frame.substr(3, 2), nullptr, 16);
    const unsigned index = frame.size() > 6 ? std::stoul(frame.substr(6, 2), nullptr, 16) : 0;
    switch (code) {
    case 0x04:
        return "WriteBasicConfig";
    case 0xD9:
        return "WriteBasicConfigG3";
    case 0x08:
        return "WriteByteParam(" + std::to_string(index) + ")";
    case 0x52:
        return "WriteWordParam(" + std::to_string(index) + ")";
    default:
        return "?";
    }
}

class FieldTable : public ::testing::TestWithParam<Revision>
{
protected:
    FieldTable() : s_(Installed(GetParam())) {}

    sim::ParameterStore Store() { return std::dynamic_pointer_cast<sim::ControllerModel>(s_.Sim().Device())->Store(); }
    json Identity() { return json::parse(s_.Control("dump")).at("identity"); }

    // Fields compared; every field read equals what the controller holds.
    unsigned ExpectImageMatchesController()
    {
        const sim::ParameterStore store = Store();
        const json identity = Identity();
        const TNorviData &d = s_.Data();
        unsigned compared = 0;
        for (const TConfigField *f : FieldsPresent(d)) {
            if (PlaceOn(*f, d)->Transfer == TTransfer::Separate)
                continue;
            const unsigned mask = ReadBackMask(*f, d);
            EXPECT_EQ(RawValue(*f, d) & mask, cfgtest::HeldByController(*f, d, store, identity) & mask) << f->Name;
            ++compared;
        }
        return compared;
    }

    SimLink s_;
};

// A legal value other than the current one, as the page would show it.
std::string OtherShownValue(const TConfigField &f, const TNorviData &d)
{
    const unsigned raw = RawValue(f, d);
    if (const auto list = ListOf(f, d)) {
        const auto &entries = ValueList(*list).entries;
        const std::size_t start = IndexOfRaw(*list, raw).value_or(entries.size() - 1) + 1;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const std::size_t i = (start + k) % entries.size();
            if (*RawOf(*list, i) != raw && ParseShownValue(f, d, entries[i]))
                return entries[i];
        }
        return {};
    }
    switch (f.Encoding) {
    case TEncoding::Flag:
        return raw != 0 ? "0" : "1";
    case TEncoding::Ticks:
        return DecimalComma(TimeMs(raw) + 0.5, 2);
    default:
        if (std::string_view(f.Name) == "InjType")
            return std::to_string(raw ^ 2u); // the 3.0 block reads back bit 1 only
        return std::to_string(raw == 0 ? 1 : raw - 1);
    }
}

} // namespace

TEST_P(FieldTable, EveryFieldPresentReadsAsTheControllerHoldsIt)
{
    ASSERT_TRUE(s_.Connect());
    ASSERT_TRUE(ReadGenerationConfiguration(s_.Manager()));
    EXPECT_GE(ExpectImageMatchesController(), GetParam().generation == 0x30 ? 50u : 35u);
    // A field without a list always has a text to show.
    for (const TConfigField *f : FieldsPresent(s_.Data())) {
        if (!ListOf(*f, s_.Data())) {
            EXPECT_FALSE(DisplayText(*f, s_.Data()).empty()) << f->Name;
        }
    }
    EXPECT_TRUE(s_.Violations().empty()) << ::testing::PrintToString(s_.Violations());
}

TEST_P(FieldTable, EveryWritableFieldChangedReadsBackEqual)
{
    ASSERT_TRUE(s_.Connect());
    TNorviData &d = s_.Data();
    std::vector<std::string> changed;
    for (const TConfigField *f : FieldsPresent(d)) {
        if (NotWritable(*f, d))
            continue;
        const std::string text = OtherShownValue(*f, d);
        const TFieldInput in = ParseShownValue(*f, d, text);
        ASSERT_TRUE(in) << f->Name << " \"" << text << "\": " << in.Error;
        if (*in.Raw == RawValue(*f, d))
            continue;
        SetRawValue(*f, d, *in.Raw);
        changed.emplace_back(f->Name);
    }
    EXPECT_GE(changed.size(), GetParam().generation == 0x30 ? 30u : 25u);
    const TNorviData written = d;

    const TVerifiedWrite r = WriteVerifiedConfiguration(s_.Manager());
    EXPECT_TRUE(r.Ok()) << r.Message();
    EXPECT_TRUE(r.Differences.empty()) << ::testing::PrintToString(r.Differences);

    // A fresh connection sees the same, and so does the controller's memory.
    d = TNorviData{};
    s_.Manager().SetLinkUp(false);
    ASSERT_TRUE(s_.Connect());
    EXPECT_EQ(ConfigDifferences(written, d), std::vector<std::string>{});
    ExpectImageMatchesController();
    EXPECT_TRUE(s_.Violations().empty()) << ::testing::PrintToString(s_.Violations());
}

TEST_P(FieldTable, AFailedKthWriteNamesItsStepAndSendsNothingAfterIt)
{
    ASSERT_TRUE(s_.ConnectClean());
    ASSERT_TRUE(WriteGenerationConfiguration(s_.Manager()).Ok);
    s_.Sync();
    const std::vector<std::string> all = s_.Requests();
    ASSERT_GE(all.size(), 10u);

    // The configuration's writes: byte, word and model parameters and the block.
    auto silencer = testsupport::SilentOnWrite::Install(s_, {0x04, 0x08, 0x52, 0xD9});
    for (const std::size_t k : {std::size_t{1}, std::size_t{2}, all.size() / 2, all.size()}) {
        SCOPED_TRACE(k);
        s_.Manager().SetLinkUp(false);
        ASSERT_TRUE(s_.ConnectClean());
        silencer->Arm(k);
        const TVerifiedWrite r = WriteVerifiedConfiguration(s_.Manager());
        s_.Sync();
        EXPECT_FALSE(r.Ok());
        EXPECT_FALSE(r.Write.Ok);
        EXPECT_EQ(r.Write.StepsDone, k - 1);
        EXPECT_EQ(r.Write.FailedStep, StepOf(all[k - 1]));
        EXPECT_NE(r.Message().find(r.Write.FailedStep), std::string::npos) << r.Message();
        EXPECT_FALSE(r.ReadBack); // nothing is read back after a failed write
        // The k-th frame was sent and nothing after it.
        EXPECT_EQ(s_.Requests(), std::vector<std::string>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k)));
    }
    EXPECT_TRUE(s_.Violations().empty()) << ::testing::PrintToString(s_.Violations());
}

TEST_P(FieldTable, RefusedValuesNeverReachTheLine)
{
    ASSERT_TRUE(s_.Connect());
    TNorviData &d = s_.Data();
    const TNorviData good = d;
    const auto refusedWithNothingSent = [this](const char *what) {
        s_.Sync();
        s_.ClearTrace();
        const TVerifiedWrite r = WriteVerifiedConfiguration(s_.Manager());
        s_.Sync();
        EXPECT_FALSE(r.Ok()) << what;
        EXPECT_EQ(r.Write.Refusal, TWriteRefusal::InvalidValue) << what;
        EXPECT_NE(r.Message().find(what), std::string::npos) << r.Message();
        EXPECT_TRUE(s_.Requests().empty()) << what;
    };
    d.InjMask = 0;
    refusedWithNothingSent("InjSW");
    d = good;
    d.EngineCubicCapacity = 10000;
    refusedWithNothingSent("EngineCubicCapacity");
    d = good;
    d.Power = 1000;
    refusedWithNothingSent("Power");
    // Text refused by the checks never gets into the image.
    for (const auto &[name, text] : {std::pair{"IdleHotTb", "-2"},
                                     {"IdleHotTb", "400"},
                                     {"IdleHotTb", "x"},
                                     {"EngineCubicCapacity", "12000"},
                                     {"Power", "-1"},
                                     {"InjSW", "0"}})
        EXPECT_FALSE(ParseShownValue(*FindConfigField(name), d, text)) << name << " " << text;
    EXPECT_TRUE(s_.Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Revisions, FieldTable,
                         ::testing::Values(Revision{"14", 0x14, 'C'}, Revision{"15", 0x15, 'C'},
                                           Revision{"15", 0x15, 'E'}, Revision{"30C", 0x30, 'B'},
                                           Revision{"30C", 0x30, 'C'}, Revision{"30D", 0x30, 'D'},
                                           Revision{"30F", 0x30, 'F'}, Revision{"30G", 0x30, 'G'}),
                         [](const auto &info) {
                             return std::string(info.param.generation == 0x30   ? "g30"
                                                : info.param.generation == 0x15 ? "g15"
                                                                                : "g14") +
                                    info.param.letter;
                         });
