#include "mainwindow/BootIdentify.h"

#include "upgrade/Bootloader40DataManager.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<uint8_t, 4> kVersionRequest{kBootRequestStart, kBootVersionCommand, kBootVersionCommand, 0x7E};

// The bootloader protocol has one path, the manager's: these helpers lend
// it the caller's port and bootloader information.
template <typename Operation> bool WithManager(TComMultiPort &port, TBootInfo &info, Operation operation)
{
    TBootloader40Manager boot;
    boot.SetPort(&port);
    boot.Info() = info;
    const bool ok = operation(boot);
    info = boot.Info();
    return ok;
}

} // namespace

std::string BootFamilyName(uint8_t family)
{
    return FamilyName(family);
}

std::span<const uint8_t> BootVersionRequest()
{
    return kVersionRequest;
}

bool TakeBootVersionAnswer(std::span<const uint8_t> answer, bool received, TBootInfo &info)
{
    info.BootFamily = 0;
    info.BootStatus = 0;
    const bool ok = received && answer.size() >= 6 && answer[0] == kBootAnswerStart && answer[1] == kBootVersionCommand;
    info.BootMajor = ok ? answer[2] : 0;
    info.BootMinor = ok ? answer[3] : 0;
    info.BootExtra = ok ? answer[4] : 0;
    return ok;
}

bool ReadBootVersion(TComMultiPort &port, TBootInfo &info)
{
    return WithManager(port, info, [](TBootloader40Manager &boot) { return boot.ReadBootVersion(); });
}

bool QueryBootInfo(TComMultiPort &port, uint8_t sub, TBootInfo &info)
{
    return WithManager(port, info, [sub](TBootloader40Manager &boot) { return boot.QueryBootInfo(sub); });
}

bool QueryBootFamily(TComMultiPort &port, TBootInfo &info)
{
    if (!info.Found())
        return false;
    return WithManager(port, info, [](TBootloader40Manager &boot) { return boot.QueryFamilyAndStatus(); });
}

bool IdentifyBootloader(TComMultiPort &port, TBootInfo &info)
{
    return WithManager(port, info, [](TBootloader40Manager &boot) { return boot.IdentifyBootloader(); });
}

} // namespace lumex
