// The protocol objects of the adapter modules. The adapter shares the
// controller's serial line: a request starts with the module's address and
// ends with a CRC, the answer has a fixed length, its own header and an
// additive checksum, and a short error answer. The request's write takes
// the port lock and the answer's receive gives it back, on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lumex {

class TComMultiPort;

// CRC-16/XMODEM: polynomial 0x1021, start 0, no reflection, no final XOR.
uint16_t Crc16Xmodem(std::span<const uint8_t> bytes);
// Sum of the bytes modulo 256.
uint8_t AnswerSum(std::span<const uint8_t> bytes);

class TBaseProtocol
{
public:
    TBaseProtocol(uint8_t address, uint8_t answerHeader, uint8_t errorMarker, uint8_t errorLength)
        : Address(address), AnswerHeader(answerHeader), ErrorMarker(errorMarker), ErrorLength(errorLength)
    {
    }
    virtual ~TBaseProtocol() = default;
    TBaseProtocol(const TBaseProtocol &) = delete;
    TBaseProtocol &operator=(const TBaseProtocol &) = delete;

    const uint8_t Address;
    const uint8_t AnswerHeader;
    const uint8_t ErrorMarker;
    const uint8_t ErrorLength;

    // Called after every receive with its outcome; bound to one module.
    std::function<void(bool ok)> SetDeviceCompatible;
    // The module it is bound to (none while free).
    const void *BoundTo = nullptr;

    virtual bool Send(std::span<const uint8_t> body) = 0;
    // One answer of `buffer.size()` bytes. True for a well-formed answer,
    // normal or error; the buffer then holds it from byte 0.
    virtual bool Receive(std::span<uint8_t> buffer, bool &isErrorAnswer) = 0;
};

class TDataProtocol : public TBaseProtocol
{
public:
    TDataProtocol(TComMultiPort &port, uint8_t address, uint8_t answerHeader, uint8_t errorMarker, uint8_t errorLength)
        : TBaseProtocol(address, answerHeader, errorMarker, errorLength), Port(port)
    {
    }
    TComMultiPort &Port;
};

class TNorviProtocol : public TDataProtocol
{
public:
    using TDataProtocol::TDataProtocol;
    // The bytes as they are.
    bool Send(std::span<const uint8_t> body) override;
    bool Receive(std::span<uint8_t> buffer, bool &isErrorAnswer) override;
};

class TAdapterProtocol : public TNorviProtocol
{
public:
    static constexpr uint8_t kAddress = 0xC2;
    static constexpr uint8_t kAnswerHeader = 0xD2;
    static constexpr uint8_t kErrorMarker = 0xEE;
    static constexpr uint8_t kErrorLength = 4;
    // Longest request a module sends: half a bank of OBD adaptation
    // corrections: address, command, bank and half, 50 bytes and the CRC.
    static constexpr std::size_t kMaxRequest = 55;

    explicit TAdapterProtocol(TComMultiPort &port)
        : TNorviProtocol(port, kAddress, kAnswerHeader, kErrorMarker, kErrorLength)
    {
    }
    // body = address, command, parameters; the CRC goes after, high first.
    bool Send(std::span<const uint8_t> body) override;
};

// The whole adapter request for a body (address, command, parameters).
std::vector<uint8_t> AdapterFrame(std::span<const uint8_t> body);

} // namespace lumex
