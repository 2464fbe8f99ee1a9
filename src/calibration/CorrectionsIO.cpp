#include "calibration/CorrectionsIO.h"

#include "calibration/CorrectionTables.h"
#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace lumex {

namespace {

constexpr uint8_t kCorrectionMultParam = 11, kCorrectionOffsetParam = 12, kCorrectionMaskParam = 13,
                  kCMActiveParam = 74, kObdAdaptParam = 104;
constexpr uint8_t kTgasCorTypeParam = 45, kRpmCorTypeParam = 46;
constexpr uint8_t kMaxTbForLoadParam = 22;

// Reads that go on through failures and remember the first one; a cancel
// stops them before the next read.
class TReads
{
public:
    explicit TReads(TDataManager &m) : m_(m) {}

    void Read(const std::string &step, const std::function<bool()> &op)
    {
        if (result_.Cancelled || SequenceCancelled(m_)) {
            Cancel(step);
            return;
        }
        if (op()) {
            ++result_.StepsDone;
            SequenceStepDone(m_);
        } else if (result_.Ok) {
            result_.Ok = false;
            result_.FailedStep = step;
        }
    }
    // Marks a failure that sends nothing.
    void Fail(const std::string &step)
    {
        if (result_.Ok) {
            result_.Ok = false;
            result_.FailedStep = step;
        }
    }
    const TCorrectionsReadResult &Result() const { return result_; }

private:
    void Cancel(const std::string &step)
    {
        if (!result_.Cancelled && result_.Ok)
            result_.FailedStep = step;
        result_.Cancelled = true;
        result_.Ok = false;
    }

    TDataManager &m_;
    TCorrectionsReadResult result_;
};

void ReadModel(TDataManager &m, TReads &r, uint8_t index)
{
    r.Read("ReadModelParam(" + std::to_string(index) + ")", [&m, index] { return m.ReadModelParam(index); });
}

void ReadTable(TDataManager &m, TReads &r, TCorrTable t)
{
    r.Read(std::string("ReadCorrTable(") + CorrTableName(t) + ")", [&m, t] { return m.ReadCorrTable(t); });
}

void WriteTable(TDataManager &m, TWriteSequence &s, TCorrTable t)
{
    s.Step(std::string("WriteCorrTable(") + CorrTableName(t) + ")", CorrTableWriteCode(t),
           [&m, t] { return m.WriteCorrTable(t); });
}

// The adaptation tables go out bank by bank, both halves each.
void WriteAdaptation(TDataManager &m, TWriteSequence &s)
{
    for (unsigned bank : {1u, 2u}) {
        for (unsigned half : {0u, 1u})
            s.Step("WriteAdaptationCorr(" + std::to_string(bank) + "," + std::to_string(half) + ")",
                   cmd::WriteAdaptationCorr, [&m, bank, half] { return m.WriteAdaptationCorr(bank, half); });
    }
}

} // namespace

std::optional<std::size_t> MaxTbForLoadIndex(uint16_t ticks)
{
    const auto it = std::find(kMaxTbForLoadTicks.begin(), kMaxTbForLoadTicks.end(), ticks);
    if (it == kMaxTbForLoadTicks.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - kMaxTbForLoadTicks.begin());
}

TCorrectionsForm FormFromImage(const TNorviData &d)
{
    const bool fromG = Is30From(d, "G");
    TCorrectionsForm f;
    f.ActivePsys = (d.CMActive & kCMActivePsys) != 0;
    f.ActiveTgas = (d.CMActive & kCMActiveTgas) != 0;
    f.ActiveRpm = (d.CMActive & kCMActiveRpm) != 0;
    f.ActivePcol = fromG && (d.CMActive & kCMActivePcol) != 0;
    f.Psys = d.CPS;
    f.Pcol = fromG ? d.CPCOL : TCorrectionTable{};
    f.Tgas = d.CTG;
    f.Rpm = d.CRPM;
    const double percent = (d.CorrectionMult - 1.0) * 100.0;
    f.CorrectionMultPercent =
        std::isfinite(percent) ? static_cast<int>(std::lround(std::clamp(percent, -1e6, 1e6))) : 0;
    f.CorrectionOffsetMs = d.CorrectionOffset;
    f.CorrectionMask = d.CorrectionMask;
    if (fromG && MaxTbForLoadIndex(d.MaxTbForLoad))
        f.MaxTbForLoad = d.MaxTbForLoad;
    return f;
}

uint8_t CMActiveFromForm(const TCorrectionsForm &form, bool fromG)
{
    return static_cast<uint8_t>((form.ActivePsys ? kCMActivePsys : 0) | (form.ActiveTgas ? kCMActiveTgas : 0) |
                                (form.ActiveRpm ? kCMActiveRpm : 0) | (fromG && form.ActivePcol ? kCMActivePcol : 0));
}

TCorrectionsReadResult ReadCorrections(TDataManager &m)
{
    const TNorviData &d = m.Data();
    TReads r(m);
    if (d.VersionCode != kVersion30) {
        r.Fail("ReadCorrections");
        return r.Result();
    }
    const bool fromD = Is30From(d, "D"), fromG = Is30From(d, "G");
    if (fromG)
        ReadModel(m, r, kCMActiveParam);
    ReadTable(m, r, TCorrTable::CPS);
    ReadTable(m, r, TCorrTable::CTG);
    ReadTable(m, r, TCorrTable::CRPM);
    if (fromG) {
        ReadTable(m, r, TCorrTable::CPCOL);
        r.Read("ReadAdaptationInfo", [&m] { return m.ReadAdaptationInfo(); });
        // The controller's order: both banks' first halves, then the second ones.
        for (unsigned half : {0u, 1u}) {
            for (unsigned bank : {1u, 2u})
                r.Read("ReadAdaptationCorr(" + std::to_string(bank) + "," + std::to_string(half) + ")",
                       [&m, bank, half] { return m.ReadAdaptationCorr(bank, half); });
        }
        ReadModel(m, r, kObdAdaptParam);
    }
    for (uint8_t index : {kCorrectionMaskParam, kCorrectionMultParam, kCorrectionOffsetParam})
        ReadModel(m, r, index);
    if (fromD) {
        for (uint8_t index : {kTgasCorTypeParam, kRpmCorTypeParam})
            r.Read("ReadByteParam(" + std::to_string(index) + ")", [&m, index] { return m.ReadByteParam(index); });
    }
    return r.Result();
}

TWriteResult WriteCorrections(TDataManager &m, const TCorrectionsForm &form)
{
    TNorviData &d = m.Data();
    TWriteSequence s(m);
    if (d.VersionCode != kVersion30) {
        s.Step("WriteCorrections", 0, [] { return false; });
        return s.Result();
    }
    const bool fromD = Is30From(d, "D"), fromG = Is30From(d, "G");

    d.CMActive = CMActiveFromForm(form, fromG);
    s.Model(kCMActiveParam);
    s.Model(kCorrectionMaskParam);

    d.CPS = form.Psys;
    WriteTable(m, s, TCorrTable::CPS);

    if (fromG) {
        d.CPCOL = form.Pcol;
        WriteTable(m, s, TCorrTable::CPCOL);
        if (form.ObdAdaptConfig)
            d.Model_OBDAdaptCorrConfig = *form.ObdAdaptConfig;
        if (form.AdaptBank1)
            d.AdaptCorrBank1 = *form.AdaptBank1;
        if (form.AdaptBank2)
            d.AdaptCorrBank2 = *form.AdaptBank2;
        s.Model(kObdAdaptParam);
        WriteAdaptation(m, s);
        if (form.MaxTbForLoad)
            d.MaxTbForLoad = *form.MaxTbForLoad;
        s.Word(kMaxTbForLoadParam);
    }

    d.CTG = form.Tgas;
    WriteTable(m, s, TCorrTable::CTG);
    d.CRPM = form.Rpm;
    WriteTable(m, s, TCorrTable::CRPM);

    d.CorrectionMult = 1.0 + form.CorrectionMultPercent / 100.0;
    d.CorrectionOffset = std::isfinite(form.CorrectionOffsetMs) ? form.CorrectionOffsetMs : 0.0;
    d.CorrectionMask = form.CorrectionMask;
    for (uint8_t index : {kCorrectionMultParam, kCorrectionOffsetParam, kCorrectionMaskParam})
        s.Model(index);

    if (fromD) {
        // The controller takes a type byte together with its table.
        d.TgasCorType = form.TgasCorType.value_or(d.TgasCorType);
        d.RPMCorType = form.RpmCorType.value_or(d.RPMCorType);
        s.Byte(kTgasCorTypeParam);
        WriteTable(m, s, TCorrTable::CTG);
        s.Byte(kRpmCorTypeParam);
        WriteTable(m, s, TCorrTable::CRPM);
    } else {
        // Without type bytes the RPM activity bit is set on the controller's
        // own flags, read afresh.
        s.Step("ReadModelParam(74)", cmd::ReadModelParam, [&m] { return m.ReadModelParam(kCMActiveParam); });
        if (!s.Failed())
            d.CMActive = static_cast<uint8_t>((d.CMActive & ~kCMActiveRpm) | (form.ActiveRpm ? kCMActiveRpm : 0));
        s.Model(kCMActiveParam);
    }
    if (s.Failed())
        return s.Result();

    TWriteResult result = s.Result();
    const TCorrectionsReadResult back = ReadCorrections(m);
    if (!back.Ok) {
        result.Ok = false;
        result.FailedStep = back.FailedStep;
        result.Cancelled = back.Cancelled;
    }
    return result;
}

} // namespace lumex
