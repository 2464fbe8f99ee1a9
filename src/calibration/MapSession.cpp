#include "calibration/MapSession.h"
#include "documents/MessageKeys.h"

#include "calibration/MapRanges.h"
#include "calibration/MapWord.h"
#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

namespace lumex {

namespace {

// ClearMap selectors.
constexpr uint8_t kClearPetrolPoints = 1;
constexpr uint8_t kClearGasPoints = 2;
constexpr uint8_t kClearG3Petrol = 3; // also the adaptation template
constexpr uint8_t kClearG3Gas = 4;

constexpr uint8_t kRangeParam = 19;
constexpr uint8_t kAdaptationParam = 31;
constexpr uint8_t kAdaptationBit = 0x40;

constexpr uint16_t kPetrolCountAddress = 198;
constexpr uint16_t kGasCountAddress = 199;
constexpr uint16_t kPetrolPointsAddress = 200;
constexpr uint16_t kGasPointsAddress = 456;

void ClearStep(TDataManager &m, TWriteSequence &s, uint8_t selector)
{
    s.Step("ClearMap(" + std::to_string(selector) + ")", cmd::ClearMap,
           [&m, selector] { return m.ClearMap(selector); });
}

// 1.4/1.5 clear a list by zeroing its count.
void ClearListStep(TDataManager &m, TWriteSequence &s, bool gas)
{
    const uint16_t address = gas ? kGasCountAddress : kPetrolCountAddress;
    s.Step("WriteMemByte(" + std::to_string(address) + ")", cmd::WriteMemByte,
           [&m, address] { return m.WriteMemByte(address, 0); });
}

// Nothing ran: not running, or the installer said No.
TMapOpResult NotRun(bool declined)
{
    TMapOpResult r;
    r.Declined = declined;
    return r;
}

TMapOpResult Sent(const TWriteSequence &s)
{
    TMapOpResult r;
    r.Write = s.Result();
    return r;
}

} // namespace

TMapSession::TMapSession(TDataManager &manager, TImagePoints &points, TModifiedFlag &modified, TAsker ask,
                         TMessageTextFn text)
    : m_(manager), points_(points), modified_(modified), ask_(std::move(ask)), text_(std::move(text))
{
}

bool TMapSession::Running() const
{
    return m_.LinkUp && m_.Data().VersionCode != 0;
}

bool TMapSession::Ask(const std::string &text)
{
    return ask_ && ask_(TQuestion{text, {}, false}) == TAnswer::Yes;
}

TMapOpResult TMapSession::Finish(TMapOpResult r)
{
    r.Ran = true;
    if (!r.Write.Ok) {
        r.Information = msg::strMapClear;
        return r;
    }
    r.ReadOk = Read().Ok;
    return r;
}

TMapReadResult TMapSession::Read()
{
    TMapReadResult r;
    if (!Running())
        return r;
    const TNorviData &d = m_.Data();
    const bool turbo = IsTurbo(d);
    TMapPointList petrol = points_.PetrolPoints, gas = points_.GasPoints;
    r.Ok = m_.ReadMapPoints(MapPressureLimit(turbo), petrol, gas);
    if (r.Ok) {
        points_.PetrolPoints = petrol;
        points_.GasPoints = gas;
    }
    if (r.Ok && Is30From(d, "D") && d.PressureSensorType != 1) {
        r.G3Read = m_.ReadMapG3();
        r.Ok = r.G3Read;
    }
    r.Coverage = EvaluateG3(d.MapG3, turbo);
    r.Cancelled = !r.Ok && SequenceCancelled(m_);
    return r;
}

std::optional<TMapCalcResult> TMapSession::Calculate()
{
    if (!Running())
        return std::nullopt;
    TMapCalcInput in = TMapCalcInput::From(m_.Data(), points_);
    if (std::string warning = CheckMapPoints(in); !warning.empty()) {
        TMapCalcResult r;
        r.Calculation = ChooseCalculation(in);
        r.Warning = std::move(warning);
        return r;
    }
    const bool g3 = m_.Data().VersionCode == kVersion30;
    const bool modelRead = g3 ? m_.ReadModel2SetA(0) && m_.ReadModel2SetA(1) : m_.ReadModelBlock();
    if (!modelRead) {
        TMapCalcResult r;
        r.Calculation = ChooseCalculation(in);
        r.Warning = mapwarn::kNoModel;
        return r;
    }
    return CalculateMap(TMapCalcInput::From(m_.Data(), points_));
}

TMapOpResult TMapSession::ClearPetrolMap()
{
    if (!Running() || !Ask(text_(msg::strQuestMapPetrolClear)))
        return NotRun(Running());
    TWriteSequence s(m_);
    if (m_.Data().VersionCode == kVersion30)
        ClearStep(m_, s, MapG3Ticked ? kClearG3Petrol : kClearPetrolPoints);
    else
        ClearListStep(m_, s, false);
    return Finish(Sent(s));
}

TMapOpResult TMapSession::ClearGasMap()
{
    if (!Running() || !Ask(text_(msg::strQuestMapGasClear)))
        return NotRun(Running());
    TWriteSequence s(m_);
    if (m_.Data().VersionCode == kVersion30) {
        if (!MapG3Ticked)
            ClearStep(m_, s, kClearGasPoints);
        ClearStep(m_, s, kClearG3Gas);
    } else {
        ClearListStep(m_, s, true);
    }
    return Finish(Sent(s));
}

TMapOpResult TMapSession::ClearTemplate()
{
    if (!Running() ||
        !Ask(text_(msg::strAdaptationOffTemplateClear) + " " + text_(msg::strQuestAdaptationTemplateClear)))
        return NotRun(Running());
    TNorviData &d = m_.Data();
    // The controller would refill the template while adapting.
    d.Flags31 = static_cast<uint8_t>(d.Flags31 & ~kAdaptationBit);
    d.AdaptationMode = 0;
    TWriteSequence s(m_);
    s.Byte(kAdaptationParam);
    ClearStep(m_, s, kClearG3Petrol);
    return Finish(Sent(s));
}

TMapOpResult TMapSession::ChangeRPMRange(uint8_t index)
{
    TMapOpResult r;
    if (!Running() || index >= kMapRPMRanges)
        return r;
    TNorviData &d = m_.Data();
    d.MapRPMRange = index;
    modified_.SetModified(true);
    TWriteSequence s(m_);
    if (!s.Byte(kRangeParam)) {
        r.Ran = true;
        r.Write = s.Result();
        return r; // still modified: the controller has the old range
    }
    modified_.SetModified(false);
    // Points of the old range would mix with the new ones.
    if (!Ask(text_(msg::strQuestMapsClear))) {
        r.Ran = true;
        r.Declined = true;
        r.Write = s.Result();
        r.Information = msg::strMapClear;
        return r;
    }
    if (d.VersionCode == kVersion30) {
        ClearStep(m_, s, kClearG3Petrol);
        ClearStep(m_, s, kClearG3Gas);
    } else {
        ClearListStep(m_, s, false);
        ClearListStep(m_, s, true);
    }
    r.Write = s.Result();
    return Finish(r);
}

TMapOpResult TMapSession::LoadFile(const TMapFile &file)
{
    TMapOpResult r;
    if (!Running())
        return r;
    const uint8_t sensor = m_.Data().PressureSensorType;
    struct TKindWords
    {
        const TMapFileKind *Kind;
        bool Gas;
        std::vector<uint16_t> Words;
    };
    std::vector<TKindWords> kinds;
    for (const auto &[kind, gas] : {std::pair{&file.Petrol, false}, std::pair{&file.Lpg, true}}) {
        if (!kind->Present)
            continue;
        TKindWords k{kind, gas, {}};
        for (const TMapFilePoint &p : kind->Points) {
            const auto word = EncodeMapWord(p.Point, sensor);
            if (!word) {
                r.Error = "line " + std::to_string(p.Line) + ": the point does not fit a map word (pressure bin " +
                          "0..63, time up to 21.7 ms)";
                return r;
            }
            k.Words.push_back(*word);
        }
        kinds.push_back(std::move(k));
    }
    TWriteSequence s(m_);
    for (const TKindWords &k : kinds)
        ClearListStep(m_, s, k.Gas);
    for (const TKindWords &k : kinds) {
        const uint16_t base = k.Gas ? kGasPointsAddress : kPetrolPointsAddress;
        for (std::size_t n = 0; n < k.Words.size(); ++n) {
            const auto address = static_cast<uint16_t>(base + 2 * n);
            const uint16_t word = k.Words[n];
            s.Step("WriteMemWord(" + std::to_string(address) + ")", cmd::WriteMemWord,
                   [this, address, word] { return m_.WriteMemWord(address, word); });
        }
        const uint16_t countAddress = k.Gas ? kGasCountAddress : kPetrolCountAddress;
        const auto count = static_cast<uint8_t>(k.Words.size());
        s.Step("WriteMemByte(" + std::to_string(countAddress) + ")", cmd::WriteMemByte,
               [this, countAddress, count] { return m_.WriteMemByte(countAddress, count); });
        (k.Gas ? points_.GasPoints : points_.PetrolPoints) = ToPointList(*k.Kind);
    }
    r.Ran = true;
    r.Write = s.Result();
    if (r.Write.Ok)
        r.ReadOk = Read().Ok;
    return r;
}

} // namespace lumex
