#include "controller/ConfigurationIO.h"

#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/ParamTables.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

#include <algorithm>
#include <initializer_list>

namespace lumex {

namespace {

constexpr uint8_t kChannelCodeVar = 28;

// A sequence of reads that goes on through failures, as the configuration
// read does, and remembers whether all of them succeeded.
class TReads
{
public:
    explicit TReads(TDataManager &m) : m_(m) {}
    void Bytes(std::initializer_list<uint8_t> indexes)
    {
        for (uint8_t i : indexes)
            Note(m_.ReadByteParam(i));
    }
    void Words(std::initializer_list<uint8_t> indexes)
    {
        for (uint8_t i : indexes)
            Note(m_.ReadWordParam(i));
    }
    void Models(std::initializer_list<uint8_t> indexes)
    {
        for (uint8_t i : indexes)
            Note(m_.ReadModelParam(i));
    }
    void Note(bool ok) { ok_ = ok_ && ok; }
    bool Ok() const { return ok_; }

private:
    TDataManager &m_;
    bool ok_ = true;
};

void ReadInjectorChannels(TDataManager &m, TReads &reads)
{
    const auto code = m.ReadWordVarForStore(kChannelCodeVar);
    reads.Note(m.LinkUp && code.has_value());
    if (code) {
        if (const auto n = InjectorsForChannelCode(*code))
            m.Data().InjHW = *n;
    }
}

// The block read, then InjSW limited to the hardware when it is known. True when the
// follow-up reads should run (the block did not abandon).
bool ReadBlock(TDataManager &m, TReads &reads, bool g3)
{
    const bool ok = g3 ? m.ReadBasicConfigG3() : m.ReadBasicConfig();
    reads.Note(ok);
    const bool abandoned = !ok && m.FailedCycles < 2;
    if (abandoned)
        return false;
    TNorviData &d = m.Data();
    // A controller that does not report its channels (0) limits nothing:
    // clipping to it would leave no injector and a mask of 0 to write back.
    if (d.InjHW != 0)
        d.InjSW = std::min(d.InjSW, d.InjHW);
    return true;
}

bool ReadLegacy(TDataManager &m)
{
    TReads r(m);
    ReadInjectorChannels(m, r);
    if (!ReadBlock(m, r, false))
        return false;
    r.Bytes({2, 8});
    r.Words({7, 6});
    r.Bytes({12});
    r.Words({8});
    r.Bytes({11, 10});
    r.Words({9, 10});
    r.Bytes({3, 4, 7, 16, 17, 23, 18, 21, 5, 20, 27, 19, 1, 28, 29});
    uint8_t wire = 0;
    const bool ok30 = m.ReadByteParam(30, &wire);
    r.Note(ok30);
    if (ok30)
        m.Data().RPMWireNotConnect = wire;
    r.Note(m.ReadLevelSensorA());
    r.Note(m.ReadLevelSensorB());
    return r.Ok();
}

bool Read30(TDataManager &m)
{
    const TNorviData &d = m.Data();
    TReads r(m);
    r.Bytes({34, 33});
    ReadInjectorChannels(m, r);
    if (!ReadBlock(m, r, true))
        return false;
    r.Note(m.ReadLevelSensorA());
    r.Note(m.ReadLevelSensorB());
    r.Bytes({35});
    r.Words({11, 12});
    r.Bytes({31, 29});
    r.Words({14});
    r.Bytes({32, 37});
    r.Models({74});
    r.Bytes({42, 40});
    r.Words({16});
    r.Bytes({38, 39, 19});
    if (Is30From(d, "D")) {
        r.Bytes({43, 44});
        r.Note(m.ReadInjCorr());
        r.Bytes({45, 46});
    }
    if (Is30From(d, "F")) {
        r.Words({18, 19});
        r.Bytes({49, 50});
    }
    if (Is30From(d, "G")) {
        r.Words({22});
        r.Note(m.ReadInspection());
        r.Note(m.ReadComputerCodes());
        r.Bytes({52});
        r.Words({24, 25, 20, 21});
    }
    return r.Ok();
}

void WriteLegacy(TDataManager &m, TWriteSequence &s)
{
    const TNorviData &d = m.Data();
    s.Step("WriteBasicConfig", cmd::WriteBasicConfig, [&m] { return m.WriteBasicConfig(); });
    // No injector characteristic record (0x15) goes out here: we do not
    // hold the makers' records, and a record of our own would overwrite the
    // one the controller keeps for its injectors.
    for (uint8_t i : {2, 3, 4, 7, 16, 17, 23, 18, 21, 5, 20, 1})
        s.Byte(i);
    s.Word(7);
    s.Word(6);
    for (uint8_t i : {10, 11, 12})
        s.Byte(i);
    s.Word(9);
    s.Word(8);
    s.Word(10);
    for (uint8_t i : {8, 27, 28})
        s.Byte(i);
    const bool is15 = d.VersionCode == kVersion15;
    if (is15 && LetterAtLeast(d.SoftwareLetter, "D"))
        s.Byte(29);
    if (is15 && LetterAtLeast(d.SoftwareLetter, "E")) {
        // On these generations byte 30 is the RPM-wire setting.
        s.Step("WriteByteParam(30)", cmd::WriteByteParam,
               [&m, &d] { return m.WriteByteParam(30, d.RPMWireNotConnect); });
    }
}

void Write30(TDataManager &m, TWriteSequence &s)
{
    const TNorviData &d = m.Data();
    const bool fromD = Is30From(d, "D"), fromF = Is30From(d, "F"), fromG = Is30From(d, "G");
    s.Byte(32);
    s.Byte(35);
    if (fromD)
        s.Byte(43);
    s.Byte(31);
    s.Byte(37);
    if (fromD)
        s.Byte(44);
    for (uint8_t i : {42, 38, 39})
        s.Byte(i);
    s.Step("WriteBasicConfigG3", cmd::WriteBasicConfigG3, [&m] { return m.WriteBasicConfigG3(); });
    s.Word(11);
    s.Word(12);
    for (uint8_t i : {29, 33, 40})
        s.Byte(i);
    s.Word(16);
    if (fromF) {
        s.Word(19);
        s.Word(18);
        s.Byte(49);
        s.Byte(50);
    }
    if (fromG) {
        s.Byte(52);
        for (uint8_t i : {24, 25, 20, 21})
            s.Word(i);
    }
}

bool IsLegacy(const TNorviData &d)
{
    return d.VersionCode == kVersion14 || d.VersionCode == kVersion15;
}

} // namespace

bool ReadGenerationConfiguration(TDataManager &manager)
{
    const TNorviData &d = manager.Data();
    if (IsLegacy(d))
        return ReadLegacy(manager);
    if (d.VersionCode == kVersion30)
        return Read30(manager);
    return false;
}

TWriteResult WriteGenerationConfiguration(TDataManager &manager)
{
    TWriteSequence s(manager);
    const TNorviData &d = manager.Data();
    if (!manager.LinkUp || (!IsLegacy(d) && d.VersionCode != kVersion30)) {
        s.Step("WriteConfiguration", 0, [] { return false; });
        TWriteResult r = s.Result();
        r.Refusal = TWriteRefusal::LinkDown;
        return r;
    }
    if (IsLegacy(d))
        WriteLegacy(manager, s);
    else
        Write30(manager, s);
    return s.Result();
}

bool ReadFullConfiguration(TDataManager &m, TImagePoints &points, double mapPressureLimit)
{
    const TNorviData &d = m.Data();
    bool ok = ReadGenerationConfiguration(m);
    const auto note = [&ok](bool step) { ok = ok && step; };
    note(m.ReadModelBlock());
    if (d.VersionCode == kVersion30) {
        for (uint8_t i : {11, 12, 13, 83})
            note(m.ReadModelParam(i));
        if (Is30From(d, "G"))
            note(m.ReadModelParam(104));
        note(m.ReadModelPoints(points.ModelPoints));
        note(m.ReadModel2SetA(0) && m.ReadModel2SetA(1));
        if (Is30From(d, "D"))
            note(m.ReadModel2SetB(0) && m.ReadModel2SetB(1));
        note(m.ReadCorrTable(TCorrTable::CPS));
        if (Is30From(d, "F"))
            note(m.ReadCorrTable(TCorrTable::CPCOL));
        note(m.ReadCorrTable(TCorrTable::CTG));
        note(m.ReadCorrTable(TCorrTable::CRPM));
        if (Is30From(d, "D")) {
            note(m.ReadMapG3());
            note(m.ReadMapG3B());
        }
        if (Is30From(d, "G")) {
            note(m.ReadAdaptationInfo());
            note(m.ReadAdaptationBank(1));
            note(m.ReadAdaptationBank(2));
        }
    }
    note(m.ReadMapPoints(mapPressureLimit, points.PetrolPoints, points.GasPoints));
    return ok;
}

TWriteResult WriteFullConfiguration(TDataManager &m, const TImagePoints &points)
{
    TWriteResult result = WriteGenerationConfiguration(m);
    if (!result.Ok)
        return result;
    TWriteSequence s(m);
    const TNorviData &d = m.Data();
    s.Step("WriteLevelSensorA", cmd::WriteLevelSensorA, [&m] { return m.WriteLevelSensorA(); });
    s.Step("WriteLevelSensorB", cmd::WriteLevelSensorB, [&m] { return m.WriteLevelSensorB(); });
    s.Byte(19);
    for (uint8_t i = 1; i <= 10; ++i)
        s.Model(i);
    if (d.VersionCode == kVersion30) {
        const bool fromD = Is30From(d, "D"), fromF = Is30From(d, "F"), fromG = Is30From(d, "G");
        s.Word(14);
        if (fromD) {
            s.Byte(45);
            s.Byte(46);
            s.Step("WriteInjCorr", cmd::WriteInjCorr, [&m] { return m.WriteInjCorr(); });
        }
        if (fromG) {
            s.Word(22);
            s.Step("WriteInspection", cmd::WriteInspection, [&m] { return m.WriteInspection(); });
        }
        for (uint8_t i : {11, 12, 13, 74, 83})
            s.Model(i);
        if (fromG)
            s.Model(104);
        s.Step("WriteModelPoints", cmd::WriteModelPoints,
               [&m, &points] { return m.WriteModelPoints(points.ModelPoints); });
        for (unsigned half : {0u, 1u})
            s.Step("WriteModel2SetA(" + std::to_string(half) + ")", cmd::WriteModel2SetA,
                   [&m, half] { return m.WriteModel2SetA(half); });
        if (fromD) {
            for (unsigned half : {0u, 1u})
                s.Step("WriteModel2SetB(" + std::to_string(half) + ")", cmd::WriteModel2SetB,
                       [&m, half] { return m.WriteModel2SetB(half); });
        }
        for (TCorrTable t : {TCorrTable::CPS, TCorrTable::CPCOL, TCorrTable::CTG, TCorrTable::CRPM}) {
            if (t == TCorrTable::CPCOL && !fromF)
                continue;
            s.Step(std::string("WriteCorrTable(") + CorrTableName(t) + ")", CorrTableWriteCode(t),
                   [&m, t] { return m.WriteCorrTable(t); });
        }
        if (fromD) {
            for (unsigned row = 0; row < kMapG3Rows; ++row)
                s.Step("WriteMapG3Row(" + std::to_string(row) + ")", cmd::WriteMapG3Row,
                       [&m, row] { return m.WriteMapG3Row(row); });
        }
        if (fromG) {
            for (unsigned bank : {1u, 2u}) {
                for (unsigned half : {0u, 1u})
                    s.Step("WriteAdaptationCorr(" + std::to_string(bank) + "," + std::to_string(half) + ")",
                           cmd::WriteAdaptationCorr, [&m, bank, half] { return m.WriteAdaptationCorr(bank, half); });
            }
        }
    }
    TWriteResult rest = s.Result();
    rest.StepsDone += result.StepsDone;
    return rest;
}

} // namespace lumex
