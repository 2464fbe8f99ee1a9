// Golden transcripts of the factory settings: what each routine sends to an
// installed controller, written out from its step list. Parameter, model
// and memory writes are spelled byte for byte; a command that carries a
// whole block or table is named by its code, and what it carried is checked
// in the controller's state afterwards. Reads in between are left out: they
// are the shared reads tested with the pages that own them.
#include "RequestText.h"
#include "SimLink.h"

#include "configuration/FactoryDefaults.h"
#include "controller/CommandCodes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>

using namespace lumex;
using namespace reqtext;
using linktest::SimLink;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// Commands whose payload is a block or a table.
const std::set<unsigned> kBlockCodes{cmd::WriteBasicConfig,    cmd::WriteBasicConfigG3, cmd::WriteLevelSensorA,
                                     cmd::WriteLevelSensorB,   cmd::WriteCorrPressure,  cmd::WriteCorrGasTemp,
                                     cmd::WriteCorrRPM,        cmd::WriteCorrPcol,      cmd::WriteModel2SetA,
                                     cmd::WriteModel2SetB,     cmd::WriteModelPoints,   cmd::WriteInjCorr,
                                     cmd::WriteAdaptationCorr, cmd::WriteInspection};
// Commands that change the controller, and the lock state read the
// routines send on purpose.
const std::set<unsigned> kKept{
    cmd::WriteBasicConfig, cmd::WriteByteParam,  cmd::ClearTroubleCodes,   cmd::WriteModelParam,
    cmd::WriteMemWord,     cmd::WriteMemByte,    cmd::WriteLevelSensorA,   cmd::WriteLevelSensorB,
    cmd::WriteWordParam,   cmd::WriteInspection, cmd::WriteAdaptationCorr, cmd::WriteInjCorr,
    cmd::WriteModel2SetB,  cmd::WriteCorrPcol,   cmd::WriteModelPoints,    cmd::WriteCorrPressure,
    cmd::WriteCorrGasTemp, cmd::WriteModel2SetA, cmd::WriteBasicConfigG3,  cmd::WriteCorrRPM,
    cmd::ClearMap,         cmd::ReadLockState};

unsigned CodeOf(const std::string &frame)
{
    return static_cast<unsigned>(std::stoul(frame.substr(3, 2), nullptr, 16));
}

std::string Block(unsigned code)
{
    char text[16];
    std::snprintf(text, sizeof text, "C0 %02X ...", code);
    return text;
}

Frames Transcript(const Frames &requests)
{
    Frames out;
    for (const std::string &f : requests) {
        const unsigned code = CodeOf(f);
        if (kKept.count(code))
            out.push_back(kBlockCodes.count(code) ? Block(code) : f);
    }
    return out;
}

std::string MemWord(unsigned address, unsigned value)
{
    return Frame({cmd::WriteMemWord, address >> 8, address & 0xFF, value >> 8, value & 0xFF});
}
std::string MemByte(unsigned address, unsigned value)
{
    return Frame({cmd::WriteMemByte, address >> 8, address & 0xFF, value});
}

void Append(Frames &to, const Frames &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// The trouble codes cleared, the lock state read, then the fixed memory.
Frames Closing(bool legacy)
{
    Frames f{Frame({cmd::ClearTroubleCodes, cmd::ClearTroubleCodes}),
             Frame({cmd::ReadLockState, 0x01}),
             MemWord(36, 561),
             MemByte(38, 37),
             MemByte(39, 15),
             MemByte(40, 0),
             MemByte(41, 0),
             MemWord(42, 19800),
             MemByte(44, 0),
             MemByte(45, 255),
             MemWord(46, 374),
             MemWord(48, 935),
             MemByte(50, 37),
             MemByte(51, 22),
             MemByte(52, 0),
             MemByte(53, 0),
             MemWord(54, 21063),
             MemByte(56, 0),
             MemByte(57, 255),
             MemWord(58, 374),
             MemWord(60, 935),
             MemByte(62, 50),
             MemByte(63, 20),
             MemByte(64, 0),
             MemByte(65, 0),
             MemWord(66, 21064),
             MemByte(68, 0),
             MemByte(69, 255),
             MemWord(70, 374),
             MemByte(100, 200),
             MemByte(101, 143),
             MemByte(102, 92),
             MemByte(103, 40),
             MemByte(104, 21),
             MemByte(105, 47),
             MemByte(106, 61),
             MemByte(107, 72)};
    if (legacy)
        Append(f, {MemWord(114, 512), MemWord(116, 512), MemWord(118, 1000), MemWord(120, 0), MemByte(122, 1)});
    return f;
}

// 1.4/1.5: the page's configuration write with the defaults shown, the
// level sensor's factory settings, the model, the map point counts.
Frames Reset145(bool is15E)
{
    Frames f{Block(cmd::WriteBasicConfig),
             SetB(2, 0),    // "MATRIX"
             SetB(3, 4),    // low-pressure delay "0,4"
             SetB(4, 57),   // low-pressure threshold "0,5"
             SetB(7, 0),    // sequential
             SetB(16, 0),   // no semi-sequential gas control
             SetB(17, 0),   // no micro-injection
             SetB(23, 150), // micro-injection time "1,6"
             SetB(18, 0),   // HEMI
             SetB(21, 0),   // tuning mode
             SetB(5, 0),    // petrol injectors plus-controlled
             SetB(20, 0),   // external emulator
             SetB(1, 0),    // no lambda
             SetW(7, 0),    // capacity
             SetW(6, 66),   // power
             SetB(10, 21),  // nozzle "2,1"
             SetB(11, 0),   // reducer "INNY"
             SetB(12, 0),   // injection system "INNY"
             SetW(9, 500),  // emulator switch delay 1 s
             SetW(8, 0),    // idle hot Tb
             SetW(10, 500), // post-valve delay 1 s
             SetB(8, 0),    // RPM from the petrol injectors
             SetB(27, 0),   // master mode
             SetB(28, 2)};  // "PS-CC2/CCT3"
    if (is15E)              // the page keeps what the controller holds for these two
        Append(f, {SetB(29, 1), SetB(30, 1)});
    Append(f, {SetB(22, 0), Block(cmd::WriteLevelSensorA)});
    // Multiplier 1.00, offset 1.00 ms, P1..P4 5..20 ms, E1..E4 0 %, no correction line.
    Append(f, {SetM(1, 1024), SetM(2, 187), SetM(3, 935), SetM(4, 1870), SetM(5, 2805), SetM(6, 3740), SetM(7, 4096),
               SetM(8, 4096), SetM(9, 4096), SetM(10, 4096), SetM(11, 0), SetM(12, 0), SetM(13, 0)});
    Append(f, {MemByte(198, 0), MemByte(199, 0)});
    Append(f, Closing(true));
    return f;
}

// 3.0 with the controller's injector "LUMEX JET" (compatibility code 4).
Frames Reset30(char letter)
{
    const bool fromD = letter >= 'D', fromF = letter >= 'F', fromG = letter >= 'G';
    Frames f{SetB(22, 0), Block(cmd::WriteLevelSensorA), SetB(30, 104), Block(cmd::WriteCorrPressure)};
    if (fromD)
        f.push_back(SetB(45, 2)); // the gas temperature preset of a sensor in the flow
    Append(f, {Block(cmd::WriteCorrGasTemp), SetB(32, 1), SetB(37, 65), SetB(38, 77), SetB(39, 50), SetW(16, 748),
               SetB(40, 1), SetB(42, 156), Block(cmd::WriteBasicConfigG3), SetB(35, 195), SetW(11, 400), SetW(12, 8000),
               SetB(31, 32), SetB(29, 90), SetB(33, 1), SetM(74, 3)});
    if (fromD)
        Append(f, {SetB(44, 226), SetB(43, 50)});
    if (fromF)
        Append(f, {SetB(50, 0), SetW(19, 748), SetW(18, 2500), SetB(49, 0)});
    if (fromG) // signalling of petrol driving on, bit 6 (set on this controller) kept
        Append(f, {SetB(52, 0x48), SetW(24, 500), SetW(25, 2000)});
    Append(f, {SetW(14, 0), Frame({cmd::ClearMap, 1}), Frame({cmd::ClearMap, 2}), Frame({cmd::ClearMap, 3}),
               Frame({cmd::ClearMap, 4}), SetB(19, 2)});
    // The default model: multiplier 1, offset 0.8 ms, no correction line,
    // the point set (and the adapted one), the idle points, the idle model.
    Append(f, {SetM(1, 1024), SetM(2, 150), SetM(11, 1024), SetM(12, 0), SetM(13, 0), Block(cmd::WriteModel2SetA),
               Block(cmd::WriteModel2SetA)});
    if (fromD)
        Append(f, {Block(cmd::WriteModel2SetB), Block(cmd::WriteModel2SetB)});
    Append(f, {Block(cmd::WriteModelPoints), SetB(37, 65)});
    // The corrections page's write with the RPM box cleared.
    Append(f, {SetM(74, 3), SetM(13, 0), Block(cmd::WriteCorrPressure)});
    if (fromG)
        Append(f, {Block(cmd::WriteCorrPcol), SetM(104, 0), Block(cmd::WriteAdaptationCorr),
                   Block(cmd::WriteAdaptationCorr), Block(cmd::WriteAdaptationCorr), Block(cmd::WriteAdaptationCorr),
                   SetW(22, 4675)});
    Append(f, {Block(cmd::WriteCorrGasTemp), Block(cmd::WriteCorrRPM), SetM(11, 1024), SetM(12, 0), SetM(13, 0)});
    if (fromD)
        Append(f, {SetB(45, 2), Block(cmd::WriteCorrGasTemp), SetB(46, 2), Block(cmd::WriteCorrRPM)});
    else
        f.push_back(SetM(74, 3));
    if (fromG)
        f.push_back(Block(cmd::WriteInspection));
    if (fromD)
        f.push_back(Block(cmd::WriteInjCorr));
    Append(f, Closing(false));
    return f;
}

struct Case
{
    const char *fixture;
    uint8_t generation;
    char letter;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.fixture;
}

sim::SimulatorOptions Installed(const Case &c)
{
    auto o = testsupport::SimSetup::Controller(c.generation, static_cast<uint8_t>(c.letter));
    const fs::path from = fs::path(LUMEX_SOURCE_DIR) / "sim/states" / (std::string("installed-") + c.fixture + ".json");
    const fs::path to = fs::temp_directory_path() / ("reset-" + std::to_string(::getpid()) + "-" + c.fixture + ".json");
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    o.stateFile = to.string();
    return o;
}

class FactoryResetTrace : public ::testing::TestWithParam<Case>
{
protected:
    FactoryResetTrace() : s_(Installed(GetParam())) {}
    json Dump() { return json::parse(s_.Control("dump")); }
    SimLink s_;
};

} // namespace

TEST_P(FactoryResetTrace, SendsTheStepListInOrder)
{
    const Case c = GetParam();
    ASSERT_TRUE(s_.ConnectClean());
    const TFactoryResult r = c.generation == 0x30 ? WriteDefaultConfiguration_v30(s_.Manager())
                                                  : WriteDefaultConfiguration_145(s_.Manager());
    EXPECT_TRUE(r.Ok()) << ::testing::PrintToString(r.FailedSteps);
    s_.Sync();
    const Frames expected = c.generation == 0x30 ? Reset30(c.letter) : Reset145(c.generation == 0x15);
    EXPECT_EQ(Transcript(s_.Requests()), expected);
    EXPECT_TRUE(s_.Sim().Violations().empty()) << ::testing::PrintToString(s_.Sim().Violations());

    // What the blocks and tables carried.
    const json d = Dump();
    EXPECT_EQ(d.at("T"), 100);
    EXPECT_EQ(d.at("RPM").get<int>() & 0x3FFF, 56100 & 0x3FFF);
    EXPECT_EQ(d.at("PW0"), 200);
    EXPECT_EQ(d.at("PW3"), 40);
    if (c.generation == 0x30) {
        EXPECT_EQ(d.at("InjTypeName"), 5); // "LUMEX JET"
        EXPECT_EQ(d.at("InjMask"), 0x3F);  // six injectors
        EXPECT_EQ(d.at("NozzleSize"), 15);
        EXPECT_EQ(d.at("CMActive").get<int>() & 4, 0); // the RPM correction is off
    } else {
        EXPECT_EQ(d.at("InjTypeName"), 0);
        EXPECT_EQ(d.at("InjMask"), 0x0F);
    }
}

// A step that fails does not end the routine: everything after it is sent,
// and the failure is named.
TEST_P(FactoryResetTrace, AFailedStepIsReportedAndTheRestStillRuns)
{
    const Case c = GetParam();
    ASSERT_TRUE(s_.ConnectClean());
    s_.AddFault(c.generation == 0x30 ? "silence@D9:1" : "silence@04:1"); // one lost answer
    const TFactoryResult r = c.generation == 0x30 ? WriteDefaultConfiguration_v30(s_.Manager())
                                                  : WriteDefaultConfiguration_145(s_.Manager());
    EXPECT_TRUE(r.Ran);
    EXPECT_FALSE(r.Ok());
    ASSERT_EQ(r.FailedSteps.size(), 1U) << ::testing::PrintToString(r.FailedSteps);
    EXPECT_NE(r.FailedSteps.front().find(c.generation == 0x30 ? "WriteBasicConfigG3" : "configuration"),
              std::string::npos)
        << r.FailedSteps.front();
    s_.Sync();
    const Frames sent = Transcript(s_.Requests());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), Closing(c.generation != 0x30).back());
}

// A controller that is gone: looked for once, then every remaining step is
// reported without a request.
TEST_P(FactoryResetTrace, AControllerThatIsGoneIsLookedForOnce)
{
    const Case c = GetParam();
    ASSERT_TRUE(s_.ConnectClean());
    s_.AddFault("silence@*");
    const TFactoryResult r = c.generation == 0x30 ? WriteDefaultConfiguration_v30(s_.Manager())
                                                  : WriteDefaultConfiguration_145(s_.Manager());
    EXPECT_FALSE(r.Ok());
    EXPECT_GT(r.FailedSteps.size(), 5U);
    s_.Sync();
    const Frames sent = s_.Requests();
    ASSERT_EQ(sent.size(), 2U) << ::testing::PrintToString(sent);
    EXPECT_EQ(sent[1], Frame({cmd::ReadVersionCode, cmd::ReadVersionCode}));
    EXPECT_EQ(s_.Data().VersionCode, c.generation); // the image still knows its controller
}

INSTANTIATE_TEST_SUITE_P(Generations, FactoryResetTrace,
                         ::testing::Values(Case{"14", 0x14, 'C'}, Case{"15", 0x15, 'E'}, Case{"30C", 0x30, 'C'},
                                           Case{"30G", 0x30, 'G'}),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return std::string("g") + info.param.fixture;
                         });
