// Controller states as JSON: the shipped installed-car fixtures load, read
// back over the wire as the file says, differ from the factory everywhere,
// dump and reload exactly; broken files are refused with a clear message.
#include "ControllerFrames.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>

namespace {

using namespace ctltest;
using sim::ControllerIdentity;
using sim::ControllerModel;
using Json = nlohmann::json;

const std::string kStates = LUMEX_SIM_STATES;

Json ReadJson(const std::string &path)
{
    std::ifstream in(path);
    return Json::parse(in);
}

uint16_t WordAt(const std::vector<uint8_t> &a, std::size_t k)
{
    return static_cast<uint16_t>(a.at(k) << 8 | a.at(k + 1));
}

class Fixture : public ::testing::Test
{
protected:
    std::vector<uint8_t> Ask(ControllerModel &m, const std::vector<uint8_t> &frame)
    {
        const auto reply = m.Answer(frame);
        EXPECT_EQ(reply.violation, "") << Hex(frame[1]);
        EXPECT_TRUE(SumOk(reply.bytes));
        return reply.bytes;
    }
};

TEST_F(Fixture, TheThreeZeroCarReadsOverTheWireAsItsFileSays)
{
    const Json file = ReadJson(kStates + "/installed-30G.json");
    ControllerModel m(ControllerIdentity::Gen30('C'));
    std::string error;
    ASSERT_TRUE(m.LoadState(kStates + "/installed-30G.json", error)) << error;

    EXPECT_EQ(Ask(m, Frame({0x01, 0x01}))[2], 0x30);
    EXPECT_EQ(Ask(m, Frame({0x53, 0}))[2], 'G');
    EXPECT_EQ(Ask(m, Frame({0x53, 1}))[2], file["identity"]["Variant"]);
    const auto compile = Ask(m, Frame({0x02, 0x02}));
    EXPECT_EQ(std::string(compile.begin() + 2, compile.begin() + 10), file["identity"]["CompileTime"]);
    EXPECT_EQ(WordAt(Ask(m, Frame({0x40, 28})), 2), 2); // six hardware channels

    const auto block = Ask(m, Frame({0xD8, 0xD8}));
    EXPECT_EQ(block[6], file["T"]);
    EXPECT_EQ(WordAt(block, 7), file["RPM"]);
    EXPECT_EQ(block[3], file["InjMask"]);
    EXPECT_EQ(block[9], file["InjTypeName"]);
    EXPECT_EQ(WordAt(block, 10), file["EngineCubicCapacity"]);
    EXPECT_EQ(block[26], file["PressureSensorType"]);
    EXPECT_EQ(Ask(m, Frame({0x07, 49}))[3], static_cast<uint8_t>(file["MazdaEnrichmentPercentage"].get<int>()));
    EXPECT_EQ(WordAt(Ask(m, Frame({0x51, 21})), 3), file["MaxGasInjectionTime"]);

    const auto model = Ask(m, Frame({0x10, 0x10}));
    EXPECT_EQ(WordAt(model, 2), std::lround(file["Mult"].get<double>() * 1024));
    EXPECT_EQ(static_cast<int16_t>(WordAt(model, 4)), std::lround(file["Offset"].get<double>() * 187));
    const struct
    {
        uint8_t code;
        const char *key;
    } tables[] = {{0xD0, "CPS"}, {0x97, "CPCOL"}, {0xD2, "CTG"}, {0xDB, "CRPM"}};
    for (const auto &t : tables) {
        const auto answer = Ask(m, Frame({t.code, 0x00}));
        for (std::size_t i = 0; i < 20; ++i)
            EXPECT_EQ(static_cast<int8_t>(answer[2 + i]), file[t.key][i].get<int>()) << t.key << i;
    }
    const auto corr = Ask(m, Frame({0x93, 0x00}));
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(static_cast<int8_t>(corr[2 + i]), file["InjCorr"][i].get<int>());
    for (uint8_t row : {0, 4, 16}) {
        const auto answer = Ask(m, Frame({0xDC, row}));
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_EQ(WordAt(answer, 2 + 2 * k), file["MapG3"][row][k]);
    }
    const auto set = Ask(m, Frame({0xD4, 0}));
    EXPECT_EQ(WordAt(set, 2 + 4 * 3), file["Model2SetA"][3][0]);
    EXPECT_EQ(WordAt(set, 4 + 4 * 3), file["Model2SetA"][3][1]);
    EXPECT_EQ(WordAt(Ask(m, Frame({0xD6, 0})), 2 + 2 * 5), file["PetrolMapPoints"][5]);
    EXPECT_EQ(Ask(m, Frame({0x33, 0x00, 199}))[4], file["GasMapPoints"].size());
    EXPECT_EQ(static_cast<int8_t>(Ask(m, Frame({0x61, 0x10}))[3 + 12]), file["AdaptCorrBank1"][1][2].get<int>());
    EXPECT_EQ(WordAt(Ask(m, Frame({0x56, 0x00})), 3), file["NextInspection"]);
    EXPECT_EQ(Ask(m, Frame({0x35, 0x00}))[2], file["PW0"]);
    EXPECT_EQ(WordAt(Ask(m, Frame({0x31, 0x00, 84})), 4), file["SerialDatePart"]);
    const auto flags = Ask(m, Frame({0x13, 0x13}));
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(flags[2 + i], file["TroubleFlags"][i]);
    const auto log = Ask(m, Frame({0x58, 1}));
    EXPECT_EQ(log[2], file["ErrorLogHead"]);
    EXPECT_EQ(log[3 + 19], file["ErrorLog"][1][19]);
    const auto codes = Ask(m, Frame({0x54, 0x00}));
    EXPECT_EQ(static_cast<uint32_t>(WordAt(codes, 10)) << 16 | WordAt(codes, 12), file["ComputerCodes"][1][0]);
    EXPECT_EQ(codes[42], file["NewestComputerCode"]);
    EXPECT_EQ(m.Password(), file["Password"]);
}

TEST_F(Fixture, TheOneFiveCarReadsOverTheWireAsItsFileSays)
{
    const Json file = ReadJson(kStates + "/installed-15.json");
    ControllerModel m(ControllerIdentity::Gen30('G'));
    std::string error;
    ASSERT_TRUE(m.LoadState(kStates + "/installed-15.json", error)) << error;
    EXPECT_EQ(Ask(m, Frame({0x01, 0x01}))[2], 0x15);
    EXPECT_EQ(WordAt(Ask(m, Frame({0x40, 28})), 2), 1); // four hardware channels

    const auto block = Ask(m, Frame({0x03, 0x03}));
    EXPECT_EQ(block[2], file["T"]);
    EXPECT_EQ(WordAt(block, 3), file["RPM"]);
    const int flags = file["InjType"].get<int>() | file["ReserveType"].get<int>() << 2 |
                      file["FuelType"].get<int>() << 4 | file["RPMsource"].get<int>() << 5 |
                      file["EngineType"].get<int>() << 7;
    EXPECT_EQ(block[5], flags);
    EXPECT_EQ(block[6], file["InjMask"]);
    EXPECT_EQ(Ask(m, Frame({0x07, 29}))[3], file["LegacyParam29"]);
    EXPECT_EQ(Ask(m, Frame({0x07, 10}))[3], file["NozzleSize"]);
    EXPECT_EQ(WordAt(Ask(m, Frame({0x12, 7})), 3), std::lround((file["E1"].get<double>() / 100 + 1) * 4096));
    EXPECT_EQ(WordAt(Ask(m, Frame({0x12, 4})), 3), file["P2"].get<int>() * 187);
    EXPECT_EQ(WordAt(Ask(m, Frame({0x31, 0x00, 198})), 4),
              file["PetrolMapPoints"].size() << 8 | file["GasMapPoints"].size());
    EXPECT_EQ(WordAt(Ask(m, Frame({0x31, 0x01, 0xC8 + 6})), 4), file["GasMapPoints"][3]);
    EXPECT_EQ(Ask(m, Frame({0x36, 0x00}))[5], file["0903"]);
    EXPECT_TRUE(m.Answer(Frame({0xD8, 0xD8})).bytes.empty()); // a 1.5 has no 3.0 block
}

TEST_F(Fixture, InstalledCarsDifferFromTheFactoryInEveryGroup)
{
    for (const char *name : {"installed-30G.json", "installed-15.json"}) {
        SCOPED_TRACE(name);
        ControllerModel m(ControllerIdentity::Gen30('G'));
        std::string error;
        ASSERT_TRUE(m.LoadState(kStates + "/" + name, error)) << error;
        const Json loaded = Json::parse(m.DumpState());
        ControllerModel factory(m.Identity().IsLegacy() ? ControllerIdentity::Gen15() : ControllerIdentity::Gen30('G'));
        const Json fresh = Json::parse(factory.DumpState());
        for (const char *key : {"T",
                                "RPM",
                                "InjTypeName",
                                "NozzleSize",
                                "Power",
                                "IdleHotTb",
                                "Mult",
                                "Offset",
                                "CorrectionMult",
                                "CorrectionMask",
                                "PW0",
                                "0900",
                                "InjectorRecord",
                                "SerialNumber",
                                "PetrolMapPoints",
                                "GasMapPoints",
                                "TroubleFlags",
                                "ErrorLog",
                                "byteParams",
                                "wordParams",
                                "memory",
                                "car"})
            EXPECT_NE(loaded[key], fresh[key]) << key;
        EXPECT_NE(loaded["identity"]["CompileDate"], fresh["identity"]["CompileDate"]);
    }
}

TEST_F(Fixture, ADumpReloadsExactly)
{
    for (const char *name : {"installed-30G.json", "installed-15.json"}) {
        SCOPED_TRACE(name);
        ControllerModel a(ControllerIdentity::Gen30('G'), 5);
        std::string error;
        ASSERT_TRUE(a.LoadState(kStates + "/" + name, error)) << error;
        a.StepEngine(70); // the car has run; state that moved is part of the dump
        a.RaiseTrouble(4, 3);
        const std::string dump = a.DumpState();
        ControllerModel b(ControllerIdentity::Gen14(), 5);
        ASSERT_TRUE(b.LoadStateText(dump, error)) << error;
        EXPECT_EQ(b.DumpState(), dump);
        EXPECT_TRUE(a.Store() == b.Store());
        EXPECT_EQ(b.Identity().Text(), a.Identity().Text());
    }
}

TEST_F(Fixture, ANamedFieldEditedInADumpWinsOverTheBlockBytesThatRepeatIt)
{
    ControllerModel a(ControllerIdentity::Gen30('G'), 5);
    std::string error;
    ASSERT_TRUE(a.LoadState(kStates + "/installed-30G.json", error)) << error;
    auto doc = nlohmann::json::parse(a.DumpState());
    ASSERT_NE(doc["InjMask"], 63);
    doc["InjMask"] = 63;
    doc["FuelType"] = 1 - doc["FuelType"].get<int>();
    ASSERT_TRUE(a.LoadStateText(doc.dump(), error)) << error;
    const auto reloaded = nlohmann::json::parse(a.DumpState());
    EXPECT_EQ(reloaded["InjMask"], 63);
    EXPECT_EQ(reloaded["FuelType"], doc["FuelType"]);
    EXPECT_EQ(reloaded["ConfigG3Flags"][1], 63);
}

TEST_F(Fixture, HandWrittenFilesMayMixRawAndNamedValues)
{
    ControllerModel m(ControllerIdentity::Gen30('G'));
    std::string error;
    ASSERT_TRUE(m.LoadStateText(R"({"byteParams": {"31": 1}, "RisingT": 1, "CPS": [-1,-2,-3,-4,-5,-6,-7,-8,-9,-10,
        -11,-12,-13,-14,-15,-16,-17,-18,-19,-128], "memory": {"700": 7},
        "live": {"engine": "idle", "fuel": "petrol", "pinned": {"rpm": 3000}}})",
                                error))
        << error;
    EXPECT_EQ(m.Store().byteParams[31], 0x21);
    EXPECT_EQ(m.Store().cps[19], -128);
    EXPECT_EQ(Ask(m, Frame({0x33, 0x02, 0xBC}))[4], 7);
    const auto live = Ask(m, Frame({0x05, 0x05}));
    EXPECT_EQ(WordAt(live, 8), 7480);
    EXPECT_EQ(live[10] >> 5, 3);
    // Everything not named keeps its factory value.
    EXPECT_EQ(m.Store().core.T, 100);
}

TEST_F(Fixture, BrokenFilesAreRefusedAndTheStateIsKept)
{
    ControllerModel m(ControllerIdentity::Gen30('G'));
    std::string error;
    ASSERT_TRUE(m.LoadStateText(R"({"T": 77})", error)) << error;
    const std::string before = m.DumpState();
    const struct
    {
        const char *text;
        const char *says;
    } cases[] = {
        {R"({"T": 12,)", "not valid JSON"},
        {R"([1, 2])", "JSON object"},
        {R"({"Tgaz": 12})", "Tgaz: unknown key"},
        {R"({"T": 300})", "T: value 300 is outside 0..255"},
        {R"({"T": "hot"})", "T: expected an integer"},
        {R"({"CPS": [1, 2]})", "CPS: expected an array of 20 entries"},
        {R"({"Mult": 80})", "Mult: value 80 does not fit"},
        {R"({"identity": {"VersionCode": 19}})", "identity.VersionCode"},
        {R"({"identity": {"InjHW": 5}})", "4, 6 or 8"},
        {R"({"memory": "0g"})", "not a hex digit"},
        {R"({"byteParams": {"300": 1}})", "byteParams: index '300'"},
        {R"({"live": {"engine": "flying"}})", "live.engine"},
        {R"({"car": {"gasFactor": 0}})", "car.gasFactor"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        error.clear();
        EXPECT_FALSE(m.LoadStateText(c.text, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.rfind("state: ", 0), 0u) << error;
    }
    EXPECT_EQ(m.DumpState(), before);
    EXPECT_FALSE(m.LoadState(kStates + "/no-such-file.json", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

} // namespace
