// Programming a firmware image into the paced simulator's bootloader, beside
// the line's own time: 39 request and 4 answer bytes per 36-byte block at
// 9600 8N1 (1.0417 ms a byte) plus the bootloader's turnaround. The goal is
// a ratio of at most 1.03. Usage: lumex2-bench-upgrade [IMAGE_BYTES]
#include "BenchSupport.h"

#include "FirmwareWriter.h"

#include "serial/ComMultiPort.h"
#include "sim/LineHost.h"
#include "sim/Simulator.h"
#include "upgrade/Upgrader40Logic.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const std::size_t imageBytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64 * 1024;
    if (imageBytes < 36) {
        std::fprintf(stderr, "usage: %s [IMAGE_BYTES (36 or more)]\n", argv[0]);
        return 2;
    }
    constexpr double kTurnaroundMs = 2.0;
    sim::SimulatorOptions o;
    o.controller.generation = 0x30;
    o.controller.letter = 'G';
    o.inBootloader = true;
    o.pace = true;
    o.turnaroundMs = kTurnaroundMs;
    const auto simulator = bench::StartSimulator(o);
    if (!simulator)
        return 1;

    lumex::TComMultiPort port;
    port.ApplyControllerSettings();
    port.SetDevicePath(simulator->Path());
    port.Open();
    lumex::TUpgraderLogic logic;
    logic.SetPort(&port);
    mkfw::FirmwareRecipe recipe;
    recipe.size = imageBytes;
    if (!logic.CheckFirmwareBytes(mkfw::BuildFirmwareFile(recipe))) {
        std::fprintf(stderr, "the generated file was refused\n");
        return 1;
    }
    auto &boot = logic.Boot();
    if (!boot.IdentifyBootloader() || !boot.InitBootloader() || !boot.FlashMassErase(0) || !boot.InitBootloader()) {
        std::fprintf(stderr, "the bootloader did not get ready\n");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    const bool ok = logic.ProgramFirmware({}, [](unsigned) {});
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    simulator->Stop();
    if (!ok) {
        std::fprintf(stderr, "programming failed\n");
        return 1;
    }
    const std::size_t blocks = logic.BlockCount();
    const double wireMs = static_cast<double>(blocks) * ((39 + 4) * sim::kByteMs + kTurnaroundMs);
    const double ratio = ms / wireMs;
    std::printf("programming %zu image bytes (%zu blocks), paced 9600 8N1, turnaround %.1f ms\n", imageBytes, blocks,
                kTurnaroundMs);
    std::printf("time %.0f ms, wire %.0f ms, ratio %.3f (goal 1.03 or less)\n", ms, wireMs, ratio);
    return ratio <= 1.03 ? 0 : 1;
}
