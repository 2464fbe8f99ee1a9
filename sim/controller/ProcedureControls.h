// Control lines that steer the controller's test procedures, so tests can
// produce exact injector-test results and a working-pressure test that never
// ends:
//   injtest result CYL COUNT    the flow count cylinder 1..8 reports (1..350;
//                               350 = no measurement, 0 = the car decides)
//   pressuretest hold|release   keep the working-pressure test busy, or let it end
#pragma once

#include "sim/controller/ServiceState.h"

#include <string>
#include <vector>

namespace sim {

// True when the line was one of these; `reply` is "ok ..." or "error: ...".
// False with an empty reply for other lines.
bool ProcedureControl(ServiceState &service, const std::vector<std::string> &words, std::string &reply);

} // namespace sim
