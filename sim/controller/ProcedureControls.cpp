#include "sim/controller/ProcedureControls.h"

#include <charconv>

namespace sim {

namespace {

bool ParseNumber(const std::string &text, long &value)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

} // namespace

bool ProcedureControl(ServiceState &service, const std::vector<std::string> &w, std::string &reply)
{
    const std::size_t n = w.size();
    if (n == 4 && w[0] == "injtest" && w[1] == "result") {
        long cylinder = 0, count = 0;
        if (!ParseNumber(w[2], cylinder) || cylinder < 1 || cylinder > 8 || !ParseNumber(w[3], count) || count < 0 ||
            count > InjectorTest::kNoMeasurement) {
            reply = "error: injtest result takes a cylinder 1..8 and a count 0..350";
            return true;
        }
        service.injectorTest.Pin(static_cast<int>(cylinder - 1), static_cast<uint16_t>(count));
        reply = "ok injtest result " + w[2] + " " + w[3];
        return true;
    }
    if (n == 2 && w[0] == "pressuretest" && (w[1] == "hold" || w[1] == "release")) {
        service.pressureTest.Hold(w[1] == "hold");
        reply = "ok pressuretest " + w[1];
        return true;
    }
    return false;
}

} // namespace sim
