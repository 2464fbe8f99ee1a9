#include "calibration/CorrectionOperations.h"

#include "calibration/CorrectionTables.h"
#include "controller/BlockCodec.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

namespace lumex {

namespace {

constexpr uint8_t kTgasCorTypeParam = 45;
constexpr uint8_t kCMActiveParam = 74;

void WriteTable(TDataManager &m, TWriteSequence &s, TCorrTable t)
{
    s.Step(std::string("WriteCorrTable(") + CorrTableName(t) + ")", CorrTableWriteCode(t),
           [&m, t] { return m.WriteCorrTable(t); });
}

} // namespace

TWriteResult ApplyStandardPressureCorrection(TDataManager &m, bool send)
{
    TNorviData &d = m.Data();
    d.CPS = StandardPressureCorrection(d.WorkPress);
    TWriteSequence s(m);
    if (send)
        WriteTable(m, s, TCorrTable::CPS);
    return s.Result();
}

TWriteResult ShiftPressureCorrection(TDataManager &m, int steps, bool send)
{
    TNorviData &d = m.Data();
    d.CPS = ShiftedPressureCorrection(d.CPS, steps);
    TWriteSequence s(m);
    if (send)
        WriteTable(m, s, TCorrTable::CPS);
    return s.Result();
}

TWriteResult ApplyTgasCorrectionForPlacement(TDataManager &m, bool inFlow)
{
    TNorviData &d = m.Data();
    TWriteSequence s(m);
    if (Is30From(d, "D")) {
        d.TgasCorType = CorrPresetCode(TgasPresetForPlacement(inFlow));
        s.Byte(kTgasCorTypeParam);
    }
    d.CTG = TgasTableForPlacement(inFlow, d.PcCompatCode);
    WriteTable(m, s, TCorrTable::CTG);
    return s.Result();
}

uint8_t CMActiveAfterPlacementReset(uint8_t cmActive, bool rpmActive, bool pcolActive, bool fromG)
{
    return static_cast<uint8_t>((cmActive & kCMActivePsys) | kCMActiveTgas | (rpmActive ? kCMActiveRpm : 0) |
                                (fromG && pcolActive ? kCMActivePcol : 0));
}

TWriteResult ResetTgasCorrectionForPlacement(TDataManager &m, bool inFlow, bool rpmActive, bool pcolActive)
{
    TWriteResult placed = ApplyTgasCorrectionForPlacement(m, inFlow);
    if (!placed.Ok)
        return placed;
    TNorviData &d = m.Data();
    d.CMActive = CMActiveAfterPlacementReset(d.CMActive, rpmActive, pcolActive, Is30From(d, "G"));
    TWriteSequence s(m);
    s.Model(kCMActiveParam);
    TWriteResult flags = s.Result();
    flags.StepsDone += placed.StepsDone;
    return flags;
}

TWriteResult ResetTgasCorrectionForPlacement(TDataManager &m, bool inFlow)
{
    const uint8_t bits = m.Data().CMActive;
    return ResetTgasCorrectionForPlacement(m, inFlow, (bits & kCMActiveRpm) != 0, (bits & kCMActivePcol) != 0);
}

} // namespace lumex
