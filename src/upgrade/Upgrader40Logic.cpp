#include "upgrade/Upgrader40Logic.h"

#include "common/Format.h"
#include "mainwindow/PortExchange.h"
#include "serial/ComMultiPort.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

constexpr std::size_t kAppAnswerLength = 4;
constexpr std::size_t kCompileAnswerLength = 22;
constexpr std::size_t kCompileTimeAt = 2;
constexpr std::size_t kCompileDateAt = 10;

std::string TextAt(std::span<const uint8_t> bytes, std::size_t at, std::size_t length)
{
    std::string s;
    for (const uint8_t c : bytes.subspan(at, length))
        s += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return s;
}

} // namespace

unsigned RemainingSeconds(std::size_t bytesLeft)
{
    return static_cast<unsigned>((bytesLeft * 44 / 36) * 8 / 7680);
}

void TUpgraderLogic::SetPort(TComMultiPort *port)
{
    port_ = port;
    boot_.SetPort(port);
}

void TUpgraderLogic::SetAdapterMode(bool adapter)
{
    adapterMode_ = adapter;
    profile_ = &ProfileFor(adapter);
}

void TUpgraderLogic::Warn(const std::string &text) const
{
    if (warning_)
        warning_(text);
}

bool TUpgraderLogic::AppExchange(uint8_t command, uint8_t param, std::span<uint8_t> answer)
{
    if (port_ == nullptr)
        return false;
    const auto request = AppRequest(*profile_, command, param);
    return ExchangeFrame(*port_, request, answer, profile_->answerHeader);
}

bool TUpgraderLogic::ReadAppVersion(uint8_t &version)
{
    std::array<uint8_t, kAppAnswerLength> answer{};
    const bool ok = AppExchange(profile_->versionCommand, 0x01, answer);
    version = answer[2];
    return ok;
}

bool TUpgraderLogic::ReadAppIdent(uint8_t index, uint8_t &value)
{
    std::array<uint8_t, kAppAnswerLength> answer{};
    const bool ok = AppExchange(profile_->identCommand, index, answer);
    value = answer[2];
    return ok;
}

bool TUpgraderLogic::ReadAppCompileInfo(std::string &time, std::string &date)
{
    std::array<uint8_t, kCompileAnswerLength> answer{};
    if (!AppExchange(profile_->compileCommand, 0x02, answer))
        return false;
    time = TextAt(answer, kCompileTimeAt, kTrailerTimeLength);
    date = TextAt(answer, kCompileDateAt, kTrailerDateLength);
    return true;
}

void TUpgraderLogic::ReadDeviceInfo()
{
    uint8_t version = 0;
    if (!ReadAppVersion(version)) {
        FirmwareVersionText = "-";
        DeviceDescription.clear();
    } else {
        uint8_t letter = 0;
        if (ReadAppIdent(0, letter)) {
            FirmwareVersionText = FormatText("%.02X", version);
            FirmwareVersionText += (letter >= 0x20 && letter < 0x7F) ? static_cast<char>(letter) : '?';
            std::string time, date;
            DeviceDescription = ReadAppCompileInfo(time, date)
                                    ? FormatText("%s (%s %s)", FirmwareVersionText.c_str(), time.c_str(), date.c_str())
                                    : std::string();
        }
    }
    FamilyNameText = boot_.FamilyName();
}

std::string TUpgraderLogic::DeviceField() const
{
    std::string text = DeviceDescription.empty() ? "-" : DeviceDescription;
    if (!FamilyNameText.empty())
        text = FormatText("%s / %s", text.c_str(), FamilyNameText.c_str());
    return text;
}

std::string TUpgraderLogic::FileField() const
{
    return FileDescription.empty() ? "-" : FileDescription;
}

bool TUpgraderLogic::JumpToBootloader()
{
    if (port_ == nullptr || !port_->IsOpen())
        return false;
    const auto request = AppRequest(*profile_, kJumpCommand, kJumpParam);
    std::array<uint8_t, kAppAnswerLength> answer{};
    // The device may leave its application without answering: only the
    // write counts. ExchangeFrame writes whole or not at all on a pty.
    unsigned written = 0;
    const bool wrote =
        port_->Write(request.data(), static_cast<unsigned>(request.size()), written) && written == request.size();
    if (port_->ThreadSafe() && port_->LockingStrategy() == TComMultiPortLockingStrategy::lsReadDataWithControl) {
        try {
            port_->Unlock();
        } catch (const EComPortError &) {
        }
    }
    if (wrote) {
        unsigned got = 0;
        port_->Read(answer.data(), static_cast<unsigned>(answer.size()), got);
    }
    InBootloader = wrote;
    return wrote;
}

bool TUpgraderLogic::CheckDeviceType()
{
    TypeOk = true;
    const uint8_t family = boot_.Info().BootFamily;
    profile_ = &ProfileFor(adapterMode_ || family == kBootFamilyAdapter);
    if (family != 0 && family != profile_->family && family != kBootFamilyAdapter) {
        TypeOk = false;
        Warn(std::string(kMsgIncorrectType) + " " + FamilyName(family) + "\r\n" + kMsgUseDedicated);
    }
    return TypeOk;
}

bool TUpgraderLogic::CheckFirmwareFile(const std::string &path)
{
    // No file chosen yet is not a bad file; there is just nothing to program.
    if (path.empty()) {
        file_.clear();
        imageSize_ = 0;
        FileDescription.clear();
        return true;
    }
    std::vector<uint8_t> bytes;
    std::string message;
    if (!LoadFirmwareFile(path, bytes, message)) {
        file_.clear();
        imageSize_ = 0;
        FileDescription.clear();
        Warn(message);
        return false;
    }
    return CheckFirmwareBytes(std::move(bytes));
}

bool TUpgraderLogic::CheckFirmwareBytes(std::vector<uint8_t> bytes)
{
    const TFirmwareCheck check = CheckFirmwareImage(bytes, *profile_);
    if (!check.ok) {
        file_.clear();
        imageSize_ = 0;
        FileDescription.clear();
        Warn(check.message);
        return false;
    }
    file_ = std::move(bytes);
    imageSize_ = check.imageSize;
    FileDescription = check.description;
    return true;
}

std::size_t TUpgraderLogic::BlockCount() const
{
    return (imageSize_ + kBootBlockData - 1) / kBootBlockData;
}

int TUpgraderLogic::ProgressMaximum() const
{
    return static_cast<int>((file_.size() + kBootBlockData / 2) / kBootBlockData) + 2;
}

void TUpgraderLogic::CheckLineSpeed() const
{
    if (port_ == nullptr || port_->BaudRate() != TComBaudRate::comBR9600)
        throw EUnhandledSpeed();
}

TBootBlock TUpgraderLogic::BlockAt(std::size_t position) const
{
    // The last block runs on into the trailer when the image is not a
    // whole number of blocks: bootloaders in the field expect exactly that.
    TBootBlock block{};
    const std::size_t end = std::min(file_.size(), position + kBootBlockData);
    std::copy(file_.begin() + static_cast<std::ptrdiff_t>(position), file_.begin() + static_cast<std::ptrdiff_t>(end),
              block.begin());
    return block;
}

bool TUpgraderLogic::ProbeFirmwareHeader(const TUpgradeProgress &progress)
{
    if (file_.empty())
        return false;
    if (progress)
        progress(0, ProgressMaximum());
    const bool ok = boot_.WriteBlock(BlockAt(0), true);
    if (progress)
        progress(1, ProgressMaximum());
    return ok;
}

bool TUpgraderLogic::ProgramFirmware(const TUpgradeProgress &progress, const TRemainingTime &remaining)
{
    if (file_.empty())
        return false;
    if (remaining)
        CheckLineSpeed();
    const int maximum = ProgressMaximum();
    int position = 0;
    if (progress)
        progress(position, maximum);
    for (std::size_t at = 0; at < imageSize_; at += kBootBlockData) {
        if (remaining) {
            const std::size_t read = std::min(at + kBootBlockData, imageSize_);
            remaining(RemainingSeconds(imageSize_ - read));
        }
        std::array<uint8_t, 4> answer{};
        const bool received = boot_.SendBlock(BlockAt(at), answer);
        if (!received || answer[0] != kBootAnswerStart)
            return false;
        if (answer[2] != 0) {
            Warn("Error-pbf");
            return false;
        }
        if (progress)
            progress(++position, maximum);
    }
    return true;
}

void TUpgraderLogic::ResetTexts()
{
    FirmwareVersionText = "-";
    DeviceDescription.clear();
    FileDescription.clear();
}

} // namespace lumex
