#include "calibration/AutoCalModelIO.h"

#include "calibration/AutoCalModel.h"
#include "calibration/ModelWriteSteps.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

namespace lumex {

TWriteResult WriteDefaultModel(TDataManager &m, TModelPoints &idle)
{
    StoreDefaultModel(m.Data().InjTypeName, m.Data(), idle);
    TWriteSequence s(m);
    WriteModelLineSteps(s);
    WriteModel2PointSteps(s, m, Is30From(m.Data(), "D"));
    WriteIdlePointSteps(s, m, idle);
    s.Byte(kIdleModelByteParam);
    return s.Result();
}

bool ReadModelForResult(TDataManager &m, TModelPoints &idle)
{
    // Each read needs the one before it to have been answered: a half-read
    // model must not become the base of a new one.
    return m.ReadModelParam(kMultParam) && m.ReadModelParam(kOffsetParam) && m.ReadByteParam(kIdleModelByteParam) &&
           m.ReadModelPoints(idle) && m.ReadModel2SetA(0) && m.ReadModel2SetA(1);
}

TWriteResult WriteIdlePoints(TDataManager &m, const TModelPoints &idle)
{
    TWriteSequence s(m);
    WriteIdlePointSteps(s, m, idle);
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
    WriteModel2PointSteps(s, m, Is30From(d, "D"));
    return s.Result();
}

} // namespace lumex
