#include "sim/controller/CalibrationEnd.h"

namespace sim {

bool NozzlesOutOfReach(double gasFactor)
{
    return gasFactor < kNozzleFactorLow || gasFactor > kNozzleFactorHigh;
}

uint8_t StateAfterPhase1(double gasFactor)
{
    return NozzlesOutOfReach(gasFactor) ? kCalStateNozzles : kCalStateWaitLoad;
}

} // namespace sim
