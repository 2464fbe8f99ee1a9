#include "calibration/AutoCalModelIO.h"

#include "calibration/AutoCalModel.h"
#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

#include <string>

namespace lumex {

namespace {

constexpr uint8_t kMultParam = 1, kOffsetParam = 2;
constexpr uint8_t kCorrMultParam = 11, kCorrOffsetParam = 12, kCorrMaskParam = 13;
constexpr uint8_t kIdleModelByte = 37;

void WritePointSets(TDataManager &m, TWriteSequence &s)
{
    for (unsigned half : {0u, 1u})
        s.Step("WriteModel2SetA(" + std::to_string(half) + ")", cmd::WriteModel2SetA,
               [&m, half] { return m.WriteModel2SetA(half); });
    if (!Is30From(m.Data(), "D"))
        return;
    for (unsigned half : {0u, 1u})
        s.Step("WriteModel2SetB(" + std::to_string(half) + ")", cmd::WriteModel2SetB,
               [&m, half] { return m.WriteModel2SetB(half); });
}

} // namespace

TWriteResult WriteDefaultModel(TDataManager &m, TModelPoints &idle)
{
    StoreDefaultModel(m.Data().InjTypeName, m.Data(), idle);
    TWriteSequence s(m);
    for (uint8_t index : {kMultParam, kOffsetParam, kCorrMultParam, kCorrOffsetParam, kCorrMaskParam})
        s.Model(index);
    WritePointSets(m, s);
    s.Step("WriteModelPoints", cmd::WriteModelPoints, [&m, &idle] { return m.WriteModelPoints(idle); });
    s.Byte(kIdleModelByte);
    return s.Result();
}

bool ReadModelForResult(TDataManager &m, TModelPoints &idle)
{
    // Each read needs the one before it to have been answered: a half-read
    // model must not become the base of a new one.
    return m.ReadModelParam(kMultParam) && m.ReadModelParam(kOffsetParam) && m.ReadByteParam(kIdleModelByte) &&
           m.ReadModelPoints(idle) && m.ReadModel2SetA(0) && m.ReadModel2SetA(1);
}

TWriteResult WriteIdlePoints(TDataManager &m, const TModelPoints &idle)
{
    TWriteSequence s(m);
    s.Step("WriteModelPoints", cmd::WriteModelPoints, [&m, &idle] { return m.WriteModelPoints(idle); });
    return s.Result();
}

TWriteResult WriteResultModel(TDataManager &m)
{
    TNorviData &d = m.Data();
    if (Is30From(d, "D"))
        d.Model2SetB = d.Model2SetA;
    TWriteSequence s(m);
    s.Model(kMultParam);
    s.Model(kOffsetParam);
    WritePointSets(m, s);
    return s.Result();
}

} // namespace lumex
