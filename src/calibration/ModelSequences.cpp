#include "calibration/ModelSequences.h"

#include "calibration/CorrectionTables.h"
#include "calibration/CorrectionsIO.h"
#include "calibration/ModelWriteSteps.h"
#include "calibration/WorkingPressureList.h"
#include "configuration/ProgramLogic.h"
#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"
#include "documents/MessageKeys.h"

#include <cmath>
#include <string>

namespace lumex {

namespace {

// Byte parameters of the model pages.
constexpr uint8_t kWorkPressParam = 30;
constexpr uint8_t kFlags31Param = 31; // bit 6: model adaptation
constexpr uint8_t kTgasCorTypeParam = 45;
constexpr uint8_t kRpmCorTypeParam = 46;
// Word parameters.
constexpr uint8_t kIdleHotTbParam = 8;
// Model parameters besides the model's own.
constexpr uint8_t kCmActiveParam = 74;
// Correction activity bits.
constexpr uint8_t kCmActivePsys = 1u << 0;
constexpr uint8_t kCmActiveRpm = 1u << 2;
// LPG map clear codes of the 3.0 map command.
constexpr uint8_t kClearGasPoints = 2, kClearMapG3Gas = 4;
// Memory word with the map point counts (high byte petrol, low byte LPG).
constexpr uint16_t kMapCountsAddress = 198;

std::string Indexed(const char *name, unsigned index)
{
    return std::string(name) + "(" + std::to_string(index) + ")";
}

// The reads of a page as one script: each step named after its operation.
class TReadScript
{
public:
    explicit TReadScript(TDataManager &m) : m_(m), seq_(m) {}

    void Byte(uint8_t i)
    {
        seq_.Step(Indexed("ReadByteParam", i), cmd::ReadByteParam, [&] { return m_.ReadByteParam(i); });
    }
    void Word(uint8_t i)
    {
        seq_.Step(Indexed("ReadWordParam", i), cmd::ReadWordParam, [&] { return m_.ReadWordParam(i); });
    }
    void Model(uint8_t i)
    {
        seq_.Step(Indexed("ReadModelParam", i), cmd::ReadModelParam, [&] { return m_.ReadModelParam(i); });
    }
    void SetA()
    {
        for (unsigned half = 0; half < 2; ++half)
            seq_.Step(Indexed("ReadModel2SetA", half), cmd::ReadModel2SetA, [&] { return m_.ReadModel2SetA(half); });
    }
    void SetB()
    {
        for (unsigned half = 0; half < 2; ++half)
            seq_.Step(Indexed("ReadModel2SetB", half), cmd::ReadModel2SetB, [&] { return m_.ReadModel2SetB(half); });
    }
    void Step(const std::string &name, uint8_t code, const std::function<bool()> &op) { seq_.Step(name, code, op); }

    const TWriteResult &Result() const { return seq_.Result(); }

private:
    TDataManager &m_;
    TWriteSequence seq_;
};

void ReadModel2Into(TReadScript &r, TDataManager &m, TModelPoints &idle)
{
    const TNorviData &d = m.Data();
    if (Is30From(d, "D")) {
        r.SetB();
        r.Byte(kTgasCorTypeParam);
        r.Byte(kRpmCorTypeParam);
        r.Byte(kFlags31Param);
        r.Word(kMarkersWordParam);
    }
    r.Byte(kWorkPressParam);
    r.SetA();
    r.Model(kMultParam);
    r.Model(kOffsetParam);
    r.Step("ReadModelPoints", cmd::ReadModelPoints, [&] { return m.ReadModelPoints(idle); });
    r.Model(kCorrMultParam);
    r.Model(kCorrOffsetParam);
    r.Model(kCorrMaskParam);
}

TAnswer AskYesNo(const TModel2WriteOptions &o, const char *key)
{
    if (!o.Ask)
        return TAnswer::No;
    return o.Ask(TQuestion{o.Text(key), o.Text(msg::strConfirmDataSave), false});
}

uint16_t TicksOfMs(double ms)
{
    const double ticks = std::round(ms * 187.0);
    if (!(ticks > 0))
        return 0;
    return ticks >= 65535.0 ? uint16_t{65535} : static_cast<uint16_t>(ticks);
}

// Working pressure: byte 30, and the pressure correction moved along when
// the installer agrees.
void WriteWorkPressure(TWriteSequence &w, TDataManager &m, const TModel2WriteOptions &o, TModel2WriteReport &report)
{
    TNorviData &d = m.Data();
    const uint8_t previous = d.WorkPress;
    d.WorkPress = o.WorkPress;
    if (!w.Byte(kWorkPressParam) || previous == o.WorkPress)
        return;
    if (AskYesNo(o, msg::strQCorrPressureChange) != TAnswer::Yes)
        return;
    d.CPS = ShiftedPressureCorrection(d.CPS, WorkPressShiftSteps(previous, o.WorkPress));
    report.PressureShifted = true;
    d.CMActive = static_cast<uint8_t>(d.CMActive | kCmActivePsys);
    w.Step("WriteCorrTable(CPS)", CorrTableWriteCode(TCorrTable::CPS),
           [&m] { return m.WriteCorrTable(TCorrTable::CPS); });
}

// After a modified write the LPG map no longer matches the model.
void OfferGasMapClear(TDataManager &m, const TModel2WriteOptions &o, TModel2WriteReport &report)
{
    const auto gasCount = MapPointCount(static_cast<uint8_t>(m.ReadMemWord(kMapCountsAddress) & 0xFF));
    if (gasCount == 0 || AskYesNo(o, msg::strQGasMapClearAfterModelChange) != TAnswer::Yes)
        return;
    bool cleared = o.MapG3Shown || m.ClearMap(kClearGasPoints);
    cleared = cleared && m.ClearMap(kClearMapG3Gas);
    report.GasMapCleared = cleared;
}

} // namespace

TWriteResult ReadModel2(TDataManager &m, TModelPoints &idle)
{
    TReadScript r(m);
    ReadModel2Into(r, m, idle);
    return r.Result();
}

TModel2WriteReport WriteModel2(TDataManager &m, TModel2Editor &editor, TModelPoints &idle,
                               const TModel2WriteOptions &options)
{
    TModel2WriteReport report;
    if (options.AutocalibrationWorkRunning) {
        report.Busy = true;
        report.Write.Ok = false;
        report.Write.FailedStep = "autocalibration running";
        return report;
    }
    TNorviData &d = m.Data();
    const bool fromD = Is30From(d, "D");
    const bool wasModified = editor.Modified();
    TModelPoints idleToSend;
    editor.StoreInto(d, idleToSend);

    TWriteSequence w(m);
    w.Word(kMarkersWordParam);
    if (fromD)
        w.Byte(kFlags31Param);
    else
        d.CMActive = options.RpmCorrectionActive ? static_cast<uint8_t>(d.CMActive | kCmActiveRpm)
                                                 : static_cast<uint8_t>(d.CMActive & ~kCmActiveRpm);
    if (!w.Failed())
        WriteWorkPressure(w, m, options, report);
    d.IdleHotTb = TicksOfMs(options.IdleHotTbMs);
    w.Word(kIdleHotTbParam);
    w.Model(kCmActiveParam);
    WriteModelLineSteps(w);
    WriteModel2PointSteps(w, m, editor.CopyToAdapted() && fromD);
    if (options.IdleTextsValid)
        WriteIdlePointSteps(w, m, idleToSend);
    w.Byte(kIdleModelByteParam);
    report.Write = w.Result();
    if (w.Failed()) {
        editor.SetModified(true);
        return report;
    }
    idle = idleToSend;
    const TWriteResult readBack = ReadModel2(m, idle);
    report.ReadBack = readBack.Ok;
    if (readBack.Ok)
        editor.Load(d, idle);
    else
        editor.SetModified(false);
    if (wasModified)
        OfferGasMapClear(m, options, report);
    return report;
}

TWriteResult ReadModel1(TDataManager &m)
{
    TReadScript r(m);
    r.Step("ReadModelBlock", cmd::ReadModelBlock, [&m] { return m.ReadModelBlock(); });
    r.Model(kCorrMultParam);
    r.Model(kCorrOffsetParam);
    r.Model(kCorrMaskParam);
    return r.Result();
}

TWriteResult WriteModel1(TDataManager &m, const TModel1 &model)
{
    StoreModel1(model, m.Data());
    constexpr unsigned kLineSteps = 5, kPointSteps = kLastEParam - kFirstPParam + 1;
    SequenceAddTotal(m, kLineSteps + kPointSteps);
    TWriteSequence w(m);
    WriteModelLineSteps(w);
    for (uint8_t index = kFirstPParam; index <= kLastEParam; ++index)
        w.Model(index);
    return w.Result();
}

TWriteResult ReadModelDataAfterConnect(TDataManager &m, TModelPoints &idle)
{
    const uint8_t version = m.Data().VersionCode;
    if (version == kVersion14 || version == kVersion15)
        return ReadModel1(m);
    TReadScript r(m);
    if (version != kVersion30)
        return r.Result();
    ReadModel2Into(r, m, idle);
    TWriteResult result = r.Result();
    if (!result.Ok)
        return result;
    const TCorrectionsReadResult corrections = ReadCorrections(m);
    result.StepsDone += corrections.StepsDone;
    if (!corrections.Ok) {
        result.Ok = false;
        result.FailedStep = corrections.FailedStep;
    }
    return result;
}

} // namespace lumex
