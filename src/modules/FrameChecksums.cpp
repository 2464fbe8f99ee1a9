// The adapter frames' checksums, apart from the protocol class: the
// simulator and the firmware files use them without the port.
#include "modules/AdapterProtocol.h"

namespace lumex {

namespace {

constexpr uint16_t kCrcPolynomial = 0x1021;
constexpr uint16_t kCrcTopBit = 0x8000;
constexpr int kByteBits = 8;

} // namespace

uint16_t Crc16Xmodem(std::span<const uint8_t> bytes)
{
    // Every byte and then two zero bytes are shifted through the register,
    // top bit first; this equals the table-free XMODEM CRC.
    uint16_t reg = 0;
    auto shiftIn = [&](uint8_t byte) {
        for (int bit = kByteBits - 1; bit >= 0; --bit) {
            const bool top = (reg & kCrcTopBit) != 0;
            reg = static_cast<uint16_t>((reg << 1) | ((byte >> bit) & 1));
            if (top)
                reg ^= kCrcPolynomial;
        }
    };
    for (uint8_t b : bytes)
        shiftIn(b);
    shiftIn(0);
    shiftIn(0);
    return reg;
}

uint8_t AnswerSum(std::span<const uint8_t> bytes)
{
    unsigned sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    return static_cast<uint8_t>(sum);
}

} // namespace lumex
