#include "modules/AdapterProtocol.h"

#include "serial/ComMultiPort.h"

#include <algorithm>

namespace lumex {

namespace {

constexpr int kByteBits = 8;

// Gives back, once, the port lock that the request's Write took and kept.
// Built on entry to the receive, so every way out passes through it.
class TReceiveLock
{
public:
    explicit TReceiveLock(TComMultiPort &port)
        : port_(port),
          held_(port.ThreadSafe() && port.LockingStrategy() == TComMultiPortLockingStrategy::lsReadDataWithControl)
    {
    }
    ~TReceiveLock()
    {
        if (!held_)
            return;
        try {
            port_.Unlock();
        } catch (const EComPortError &) {
            // The write failed before it took the lock: nothing to give back.
        }
    }
    TReceiveLock(const TReceiveLock &) = delete;
    TReceiveLock &operator=(const TReceiveLock &) = delete;

private:
    TComMultiPort &port_;
    bool held_;
};

} // namespace

std::vector<uint8_t> AdapterFrame(std::span<const uint8_t> body)
{
    std::vector<uint8_t> frame(body.begin(), body.end());
    const uint16_t crc = Crc16Xmodem(body);
    frame.push_back(static_cast<uint8_t>(crc >> kByteBits));
    frame.push_back(static_cast<uint8_t>(crc));
    return frame;
}

bool TNorviProtocol::Send(std::span<const uint8_t> body)
{
    // What is still unread belongs to no request of ours (a late answer,
    // noise): left there it would be read as this request's answer.
    Port.FlushInput();
    unsigned written = 0;
    return Port.Write(body.data(), static_cast<unsigned>(body.size()), written);
}

bool TAdapterProtocol::Send(std::span<const uint8_t> body)
{
    const std::vector<uint8_t> frame = AdapterFrame(body);
    return TNorviProtocol::Send(frame);
}

bool TNorviProtocol::Receive(std::span<uint8_t> buffer, bool &isErrorAnswer)
{
    const TReceiveLock release(Port);
    isErrorAnswer = false;
    bool result = false;
    std::size_t length = buffer.size();
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});

    uint8_t header = 0;
    unsigned got = 0;
    if (length >= 2 && Port.Read(&header, 1, got) && got == 1 && header == AnswerHeader) {
        got = 0;
        const bool read = Port.Read(buffer.data(), static_cast<unsigned>(length - 1), got);
        if (read && got >= 1 && buffer[0] == ErrorMarker && got + 1 == ErrorLength) {
            isErrorAnswer = true;
            length = ErrorLength;
        }
        if (got == length - 1) {
            const uint8_t sum = static_cast<uint8_t>(AnswerHeader + AnswerSum(buffer.first(length - 2)));
            std::copy_backward(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length - 1),
                               buffer.begin() + static_cast<std::ptrdiff_t>(length));
            buffer[0] = AnswerHeader;
            if (buffer[length - 1] == sum)
                result = true;
            else
                std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length), uint8_t{0});
        }
    }
    if (!result) {
        isErrorAnswer = false;
        // The rest of a frame that failed part-way would otherwise be read
        // as the start of the next answer.
        Port.DrainInput();
    }
    if (SetDeviceCompatible)
        SetDeviceCompatible(result);
    return result;
}

} // namespace lumex
