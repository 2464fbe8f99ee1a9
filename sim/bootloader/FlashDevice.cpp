#include "sim/bootloader/FlashDevice.h"

#include "upgrade/BootFrames.h"

#include <charconv>
#include <sstream>

namespace sim {

namespace {

Reply Answer(std::vector<uint8_t> bytes)
{
    bytes.push_back(lumex::BootSum(bytes));
    return Reply{std::move(bytes), {}};
}

Reply Ack(uint8_t code, uint8_t value = 0)
{
    return Answer({lumex::kBootAnswerStart, code, value});
}

bool SumMatches(std::span<const uint8_t> frame)
{
    return frame.size() >= 2 && lumex::BootSum(frame.first(frame.size() - 1)) == frame.back();
}

bool ParseNumber(const std::string &text, std::size_t &out)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

} // namespace

// The application's start byte: the running application's frames, and
// the jump command.
class ApplicationGate : public Responder
{
public:
    explicit ApplicationGate(FlashDevice &device) : device_(device) {}
    uint8_t StartByte() const override { return device_.appStart_; }
    Scan ScanFrame(std::span<const uint8_t> buffer) const override
    {
        if (buffer.size() >= 2 && buffer[1] == lumex::kBootInitCommand) {
            if (buffer.size() < device_.jumpLength_)
                return {ScanResult::NeedMore, 0};
            return {ScanResult::Complete, device_.jumpLength_};
        }
        return device_.app_->ScanFrame(buffer);
    }
    Reply Answer(std::span<const uint8_t> frame) override
    {
        // The application is not running while the bootloader has the line.
        if (device_.inBootloader_)
            return {};
        if (frame.size() >= 3 && frame[1] == lumex::kBootInitCommand) {
            if (frame[2] != 0x01 || device_.faults_.ignoreJump)
                return {};
            device_.inBootloader_ = true;
            device_.erased_ = false;
            device_.blocks_ = 0;
            return sim::Answer({static_cast<uint8_t>(device_.appStart_ + 0x10), frame[1], 0});
        }
        return device_.app_->Answer(frame);
    }

private:
    FlashDevice &device_;
};

namespace {

Scan ScanBootFrame(std::span<const uint8_t> buffer)
{
    if (buffer.size() < 2)
        return {ScanResult::NeedMore, 0};
    const std::size_t length =
        buffer[1] == lumex::kBootWriteBlockCommand ? lumex::kBootBlockRequestLength : lumex::kBootRequestLength;
    if (buffer.size() < length)
        return {ScanResult::NeedMore, 0};
    return {ScanResult::Complete, length};
}

} // namespace

class FlashBootloader : public Responder
{
public:
    explicit FlashBootloader(FlashDevice &device) : device_(device) {}
    uint8_t StartByte() const override { return lumex::kBootRequestStart; }
    Scan ScanFrame(std::span<const uint8_t> buffer) const override { return ScanBootFrame(buffer); }
    Reply Answer(std::span<const uint8_t> frame) override { return device_.Boot(frame); }

private:
    FlashDevice &device_;
};

FlashDevice::FlashDevice(BootloaderIdentity identity, uint8_t appStart, std::size_t jumpLength, AppFactory factory,
                         std::shared_ptr<Responder> app, uint8_t version, uint8_t letter, bool inBootloader)
    : identity_(identity), appStart_(appStart), jumpLength_(jumpLength), factory_(std::move(factory)),
      app_(std::move(app)), version_(version), letter_(letter), inBootloader_(inBootloader)
{
    appSide_ = std::make_shared<ApplicationGate>(*this);
    bootSide_ = std::make_shared<FlashBootloader>(*this);
}

std::shared_ptr<Responder> FlashDevice::ApplicationSide()
{
    return appSide_;
}

std::shared_ptr<Responder> FlashDevice::BootloaderSide()
{
    return bootSide_;
}

Reply FlashDevice::Boot(std::span<const uint8_t> frame)
{
    // The application has the line: 0xBC frames are nobody's.
    if (!inBootloader_)
        return {};
    if (!SumMatches(frame))
        return Reply{{}, "bootloader request checksum wrong"};
    const uint8_t code = frame[1];
    const uint8_t param = frame[2];
    switch (code) {
    case lumex::kBootVersionCommand:
        // Every session starts by asking who is there: blocks that follow
        // are header probes until the flash is erased again.
        erased_ = false;
        blocks_ = 0;
        return Answer({lumex::kBootAnswerStart, code, identity_.major, identity_.minor, identity_.extra});
    case lumex::kBootInfoCommand: {
        uint8_t value = 0;
        if (param == lumex::kBootInfoFamily)
            value = identity_.family;
        else if (param == lumex::kBootInfoStatus)
            value = faults_.stickyStatus.value_or(identity_.status);
        else if (param == lumex::kBootInfoResetStatus)
            identity_.status = 0;
        else
            return {};
        return Answer({lumex::kBootAnswerStart, code, value, 0, 0, 0});
    }
    case lumex::kBootInitCommand:
        blocks_ = 0;
        return Ack(code);
    case lumex::kBootFlashEraseCommand:
        if (param == 0) {
            flash_.clear();
            if (faults_.powerLossAtErase) {
                faults_.powerLossAtErase = false;
                erased_ = false;
                return {};
            }
            erased_ = true;
        }
        return Ack(code);
    case lumex::kBootSetWriteEepromCommand:
        return Ack(code, param);
    case lumex::kBootEepromEraseInitCommand:
        return Ack(code);
    case lumex::kBootEepromEraseCommand:
        eepromErased_ = true;
        return Ack(code);
    case lumex::kBootWriteBlockCommand:
        return WriteBlock(frame.subspan(2, lumex::kBootBlockData));
    case lumex::kBootStartCommand:
        return Start();
    default:
        return {};
    }
}

Reply FlashDevice::WriteBlock(std::span<const uint8_t> data)
{
    if (!erased_) {
        // Before the erase a block is the compatibility probe: the image's
        // header must name this bootloader's family.
        const auto header = ParseImageHeader(data);
        bool accept = header && header->family == identity_.family;
        if (faults_.rejectHeader) {
            faults_.rejectHeader = false;
            accept = false;
        }
        return Ack(lumex::kBootHeaderAccepted, accept ? 0 : 1);
    }
    const std::size_t k = blocks_;
    if (faults_.powerLossAtBlock == k) {
        // Power back: the bootloader starts again, flash as far as written.
        faults_.powerLossAtBlock.reset();
        erased_ = false;
        blocks_ = 0;
        return {};
    }
    if (faults_.rejectBlock == k) {
        // A rejected block ends the programming; the flash needs a new erase.
        faults_.rejectBlock.reset();
        erased_ = false;
        blocks_ = 0;
        return Ack(lumex::kBootWriteBlockCommand, 1);
    }
    const std::size_t at = k * lumex::kBootBlockData;
    if (flash_.size() < at + data.size())
        flash_.resize(at + data.size(), 0xFF);
    std::copy(data.begin(), data.end(), flash_.begin() + static_cast<std::ptrdiff_t>(at));
    ++blocks_;
    return Ack(lumex::kBootWriteBlockCommand, 0);
}

Reply FlashDevice::Start()
{
    if (faults_.stickyStatus.value_or(identity_.status) != 0)
        return {};
    const auto image = ValidImage(flash_);
    // Nothing runnable: the device stays in its bootloader.
    if (!image || image->family != identity_.family || !factory_)
        return {};
    auto app = factory_(image->version, image->letter, eepromErased_);
    if (!app)
        return {};
    app_ = std::move(app);
    version_ = image->version;
    letter_ = image->letter;
    inBootloader_ = false;
    erased_ = false;
    eepromErased_ = false;
    blocks_ = 0;
    return {};
}

uint8_t BootloaderLine::StartByte() const
{
    return lumex::kBootRequestStart;
}

Scan BootloaderLine::ScanFrame(std::span<const uint8_t> buffer) const
{
    return ScanBootFrame(buffer);
}

Reply BootloaderLine::Answer(std::span<const uint8_t> frame)
{
    for (const auto &device : devices_) {
        if (device->InBootloader())
            return device->Boot(frame);
    }
    return {};
}

bool ParseBootFault(const std::string &text, BootFaults &faults, std::string &error)
{
    const auto eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    std::size_t n = 0;
    const bool number = ParseNumber(value, n);
    if (name == "reject-header" && value.empty())
        faults.rejectHeader = true;
    else if (name == "reject-block" && number)
        faults.rejectBlock = n;
    else if (name == "status" && number && n <= 255)
        faults.stickyStatus = static_cast<uint8_t>(n);
    else if (name == "ignore-jump" && value.empty())
        faults.ignoreJump = true;
    else if (name == "power-loss-erase" && value.empty())
        faults.powerLossAtErase = true;
    else if (name == "power-loss-block" && number)
        faults.powerLossAtBlock = n;
    else {
        error = "bootloader fault not understood: " + text +
                " (reject-header, reject-block=K, status=N, ignore-jump, power-loss-erase, power-loss-block=K)";
        return false;
    }
    return true;
}

bool FlashDevice::Control(const std::string &line, std::string &reply)
{
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd >> arg;
    if (cmd == "boot-fault" && !arg.empty()) {
        std::string error;
        if (!ParseBootFault(arg, faults_, error)) {
            reply = "error: " + error;
            return false;
        }
        reply = "ok boot-fault " + arg;
        return true;
    }
    if (cmd == "boot-clear-faults" && arg.empty()) {
        faults_ = BootFaults{};
        reply = "ok boot faults cleared";
        return true;
    }
    if (cmd == "boot-state" && arg.empty()) {
        std::ostringstream out;
        out << "ok " << (inBootloader_ ? "bootloader" : "application") << " version " << static_cast<int>(version_)
            << " letter " << static_cast<int>(letter_) << " flash " << flash_.size() << " blocks " << blocks_;
        reply = out.str();
        return true;
    }
    return false;
}

} // namespace sim
