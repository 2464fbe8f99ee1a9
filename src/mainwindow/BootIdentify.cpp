#include "mainwindow/BootIdentify.h"

#include "controller/CommandTable.h"
#include "mainwindow/PortExchange.h"
#include "serial/ComMultiPort.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<uint8_t, 4> kVersionRequest{kBootRequestStart, kBootVersionCommand, kBootVersionCommand, 0x7E};

std::array<uint8_t, 4> Request(uint8_t command, uint8_t param)
{
    std::array<uint8_t, 4> r{kBootRequestStart, command, param, 0};
    r[3] = FrameSum(std::span<const uint8_t>(r.data(), 3));
    return r;
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
    std::array<uint8_t, 6> answer{};
    const bool received = ExchangeFrame(port, kVersionRequest, answer, kBootAnswerStart, true);
    return TakeBootVersionAnswer(answer, received, info);
}

bool QueryBootInfo(TComMultiPort &port, uint8_t sub, TBootInfo &info)
{
    const auto request = Request(kBootInfoCommand, sub);
    std::array<uint8_t, 7> answer{};
    if (!ExchangeFrame(port, request, answer, kBootAnswerStart, true) || answer[1] != kBootInfoCommand)
        return false;
    if (sub == kBootInfoFamily)
        info.BootFamily = answer[2];
    else if (sub == kBootInfoStatus)
        info.BootStatus = answer[2];
    else if (sub == kBootInfoResetStatus)
        info.BootStatus = 0;
    return true;
}

bool QueryBootFamily(TComMultiPort &port, TBootInfo &info)
{
    bool ok = info.Found();
    if (ok && (info.VersionAtLeast(6, 3) || info.VersionAtLeast(4, 5)))
        ok = QueryBootInfo(port, kBootInfoFamily, info);
    if (ok && info.VersionAtLeast(4, 6))
        ok = QueryBootInfo(port, kBootInfoStatus, info);
    return ok;
}

bool IdentifyBootloader(TComMultiPort &port, TBootInfo &info)
{
    const bool version = ReadBootVersion(port, info);
    if (!version) {
        if (port.IsOpen()) {
            try {
                port.Close();
                port.Open();
            } catch (const EComPortError &) {
                // The next exchange fails on the closed port; nothing to add.
            }
        }
        return false;
    }
    return QueryBootFamily(port, info);
}

} // namespace lumex
