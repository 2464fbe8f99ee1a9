#include "calibration/ModelWriteSteps.h"

#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/WriteSequence.h"

#include <string>

namespace lumex {

namespace {

std::string Indexed(const char *name, unsigned index)
{
    return std::string(name) + "(" + std::to_string(index) + ")";
}

} // namespace

void WriteModelLineSteps(TWriteSequence &w)
{
    for (const uint8_t index : {kMultParam, kOffsetParam, kCorrMultParam, kCorrOffsetParam, kCorrMaskParam})
        w.Model(index);
}

void WriteModel2PointSteps(TWriteSequence &w, TDataManager &m, bool adaptedToo)
{
    for (unsigned half = 0; half < 2; ++half)
        w.Step(Indexed("WriteModel2SetA", half), cmd::WriteModel2SetA, [&m, half] { return m.WriteModel2SetA(half); });
    if (!adaptedToo)
        return;
    for (unsigned half = 0; half < 2; ++half)
        w.Step(Indexed("WriteModel2SetB", half), cmd::WriteModel2SetB, [&m, half] { return m.WriteModel2SetB(half); });
}

void WriteIdlePointSteps(TWriteSequence &w, TDataManager &m, const TModelPoints &idle)
{
    w.Step("WriteModelPoints", cmd::WriteModelPoints, [&m, &idle] { return m.WriteModelPoints(idle); });
}

} // namespace lumex
