// Arbitrary client bytes, arriving in arbitrary bursts at arbitrary times,
// through the simulator's line host with the controller and the probe
// personalities registered and faults switched on by the input.
#include "sim/ControllerFactory.h"
#include "sim/LineHost.h"
#include "sim/ProbeResponders.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    sim::LineHost host(sim::LineOptions{(flags & 1) != 0, static_cast<double>(flags >> 5), 20.0});
    host.Register(
        sim::MakeController(sim::ControllerChoice{(flags & 2) ? uint8_t{0x15} : uint8_t{0x30}, {}, 0}, 1).responder);
    host.Register(sim::MakeDevice40(0x40));
    host.Register(sim::MakeBootloader30());
    if (flags & 4) {
        const sim::FaultKind kinds[] = {sim::FaultKind::Silence, sim::FaultKind::BadChecksum, sim::FaultKind::BadStart,
                                        sim::FaultKind::Short,   sim::FaultKind::Stray,       sim::FaultKind::Gap,
                                        sim::FaultKind::Late,    sim::FaultKind::Garbage,     sim::FaultKind::Unplug};
        sim::FaultRule f;
        f.kind = kinds[data[1] % 9];
        f.code = (flags & 8) ? std::nullopt : std::optional<uint8_t>(data[1]);
        f.count = (flags & 16) ? 2 : -1;
        host.Faults().Add(f);
    }

    // Then: [gap in quarter milliseconds][length][bytes]... repeated.
    double now = 0;
    std::size_t sent = 0;
    std::size_t i = 2;
    while (i + 2 <= size) {
        now += data[i] * 0.25;
        const std::size_t len = std::min<std::size_t>(data[i + 1], size - i - 2);
        host.Receive(std::span(data + i + 2, len), now);
        host.Advance(now);
        sent += host.TakeOutput(now).size();
        host.TakeUnplug();
        i += 2 + len;
    }
    // Let every pending answer and quiet period run out.
    for (int step = 0; step < 10000; ++step) {
        const double d = host.NextDeadline();
        if (d == sim::kNever)
            break;
        now = std::max(now, d);
        host.Advance(now);
        sent += host.TakeOutput(now).size();
        host.TakeUnplug();
    }
    if (host.NextDeadline() != sim::kNever)
        __builtin_trap(); // the line must come to rest
    return sent == static_cast<std::size_t>(-1);
}
