#include "upgrade/Bootloader40DataManager.h"

#include "serial/ComMultiPort.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace lumex {

namespace {

// Gives back, once, the lock a Write keeps under lsReadDataWithControl.
class TAnswerLockRelease
{
public:
    explicit TAnswerLockRelease(TComMultiPort &port)
        : port_(port),
          held_(port.ThreadSafe() && port.LockingStrategy() == TComMultiPortLockingStrategy::lsReadDataWithControl)
    {
    }
    ~TAnswerLockRelease()
    {
        if (!held_)
            return;
        try {
            port_.Unlock();
        } catch (const EComPortError &) {
            // Thread safety was switched off meanwhile: nothing is held.
        }
    }
    TAnswerLockRelease(const TAnswerLockRelease &) = delete;
    TAnswerLockRelease &operator=(const TAnswerLockRelease &) = delete;

private:
    TComMultiPort &port_;
    bool held_;
};

bool ReadHeader(const TBootByteReader &read)
{
    uint8_t byte = 0;
    unsigned got = 0;
    return read(&byte, 1, got) && got == 1 && byte == kBootAnswerStart;
}

void SleepPause(unsigned ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

bool ReceiveBootAnswer(const TBootByteReader &read, std::span<uint8_t> answer)
{
    std::fill(answer.begin(), answer.end(), uint8_t{0});
    if (answer.size() < 2)
        return false;
    if (!ReadHeader(read) && !ReadHeader(read))
        return false;
    answer[0] = kBootAnswerStart;
    const auto rest = static_cast<unsigned>(answer.size() - 1);
    unsigned got = 0;
    if (!read(answer.data() + 1, rest, got) || got != rest)
        return false;
    if (!BootAnswerSumValid(answer)) {
        std::fill(answer.begin(), answer.end(), uint8_t{0});
        return false;
    }
    return true;
}

bool ReceiveBootAnswer(TComMultiPort &port, std::span<uint8_t> answer)
{
    return ReceiveBootAnswer(
        [&port](uint8_t *buffer, unsigned count, unsigned &got) { return port.Read(buffer, count, got); }, answer);
}

TBootloader40Manager::TBootloader40Manager() : pause_(SleepPause) {}

bool TBootloader40Manager::PortOpen() const
{
    return port_ != nullptr && port_->IsOpen();
}

void TBootloader40Manager::Pause(unsigned ms) const
{
    for (unsigned waited = 0; waited < ms; waited += kPauseStepMs)
        pause_(std::min(kPauseStepMs, ms - waited));
}

bool TBootloader40Manager::Transact(std::span<const uint8_t> request, std::span<uint8_t> answer, unsigned waitMs)
{
    std::fill(answer.begin(), answer.end(), uint8_t{0});
    if (!PortOpen())
        return false;
    // An answer that came after its time-out would otherwise be read as the
    // answer to this request, and every later exchange would be one behind.
    port_->FlushInput();
    unsigned written = 0;
    const bool wrote = port_->Write(request.data(), static_cast<unsigned>(request.size()), written);
    const TAnswerLockRelease release(*port_);
    if (!wrote || written != request.size())
        return false;
    Pause(waitMs);
    if (answer.empty())
        return true;
    return ReceiveBootAnswer(*port_, answer);
}

bool TBootloader40Manager::Simple(uint8_t command, uint8_t param, std::span<uint8_t> answer, unsigned waitMs)
{
    const auto request = BootRequest(command, param);
    return Transact(request, answer, waitMs) && answer[1] == command;
}

bool TBootloader40Manager::ReadBootVersion()
{
    std::array<uint8_t, 6> answer{};
    const bool ok = Simple(kBootVersionCommand, kBootVersionCommand, answer);
    info_.BootFamily = 0;
    info_.BootStatus = 0;
    // A failed answer is all zeros, so the version reads as "none".
    info_.BootMajor = answer[2];
    info_.BootMinor = answer[3];
    info_.BootExtra = answer[4];
    return ok;
}

bool TBootloader40Manager::QueryBootInfo(uint8_t sub)
{
    std::array<uint8_t, 7> answer{};
    if (!Simple(kBootInfoCommand, sub, answer))
        return false;
    if (sub == kBootInfoFamily)
        info_.BootFamily = answer[2];
    else if (sub == kBootInfoStatus)
        info_.BootStatus = answer[2];
    else if (sub == kBootInfoResetStatus)
        info_.BootStatus = 0;
    return true;
}

bool TBootloader40Manager::InitBootloader()
{
    std::array<uint8_t, 4> answer{};
    return Simple(kBootInitCommand, 0, answer);
}

bool TBootloader40Manager::FlashMassErase(uint8_t block)
{
    std::array<uint8_t, 4> answer{};
    return Simple(kBootFlashEraseCommand, block, answer, block == 0 ? kEraseWaitMs : 0);
}

uint8_t TBootloader40Manager::SetWriteEeprom(uint8_t flag)
{
    std::array<uint8_t, 4> answer{};
    return Simple(kBootSetWriteEepromCommand, flag, answer) ? answer[2] : 0;
}

bool TBootloader40Manager::EepromEraseInit()
{
    std::array<uint8_t, 4> answer{};
    return Simple(kBootEepromEraseInitCommand, 0, answer);
}

bool TBootloader40Manager::EepromMassErase()
{
    std::array<uint8_t, 4> answer{};
    return Simple(kBootEepromEraseCommand, 0, answer);
}

bool TBootloader40Manager::WriteBlock(const TBootBlock &data, bool header)
{
    const auto frame = BootBlockFrame(data);
    std::array<uint8_t, 4> answer{};
    if (!Transact(frame, answer, kBlockSettleMs))
        return false;
    if (header)
        return answer[1] == kBootHeaderAccepted && answer[2] == 0;
    return answer[2] == 0;
}

bool TBootloader40Manager::SendBlock(const TBootBlock &data, std::array<uint8_t, 4> &answer)
{
    const auto frame = BootBlockFrame(data);
    return Transact(frame, answer);
}

bool TBootloader40Manager::StartApplication()
{
    if (info_.BootStatus != 0 || !PortOpen())
        return false;
    const auto request = BootRequest(kBootStartCommand, 0);
    return Transact(request, std::span<uint8_t>());
}

bool TBootloader40Manager::IdentifyBootloader()
{
    const bool version = ReadBootVersion();
    const bool r = version && QueryFamilyAndStatus();
    if (!version && PortOpen()) {
        // Whatever the line still holds belongs to nobody: start afresh.
        try {
            port_->Close();
            port_->Open();
        } catch (const EComPortError &) {
            // The next exchange fails on the closed port; nothing to add.
        }
    }
    return r;
}

bool TBootloader40Manager::QueryFamilyAndStatus()
{
    bool r = true;
    if (BootVersionAtLeast(6, 3) || BootVersionAtLeast(4, 5))
        r = QueryBootInfo(kBootInfoFamily);
    if (r && BootVersionAtLeast(4, 6))
        r = QueryBootInfo(kBootInfoStatus);
    return r;
}

bool TBootloader40Manager::ReadBootStatus()
{
    if (!BootVersionAtLeast(4, 6)) {
        info_.BootStatus = 0;
        return false;
    }
    return QueryBootInfo(kBootInfoStatus);
}

bool TBootloader40Manager::ResetBootStatus()
{
    if (!BootVersionAtLeast(4, 6))
        return true;
    return QueryBootInfo(kBootInfoResetStatus) && ReadBootStatus();
}

bool TBootloader40Manager::RefreshBootStatus()
{
    const bool reset = ResetBootStatus();
    const bool read = ReadBootStatus();
    return reset && read;
}

std::string TBootloader40Manager::FamilyName() const
{
    return lumex::FamilyName(info_.BootFamily);
}

std::string BootVersionText(const TBootInfo &info)
{
    if (info.BootMajor == 0)
        return "-";
    return std::to_string(info.BootMajor) + "." + std::to_string(info.BootMinor);
}

} // namespace lumex
