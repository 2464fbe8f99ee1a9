#include "controller/InjectorCharacteristics.h"

namespace lumex {

namespace {

// One characteristic in the record's field order. The program gives the
// fields no meaning of its own: the controller interprets them.
struct TCharacteristic
{
    uint16_t Word0;
    uint8_t Byte2, Byte3, Byte4, Byte5;
    uint16_t Tag; // two letters naming the characteristic
    uint8_t Byte8, Byte9;
    uint16_t Word10;
};

constexpr uint16_t Tag(char a, char b)
{
    return static_cast<uint16_t>((static_cast<unsigned>(a) << 8) | static_cast<unsigned>(b));
}

// By characteristic index 1..17; the injectors that use each are in the
// configuration's injector table.
constexpr std::array<TCharacteristic, kLastCharacteristic> kCharacteristics{{
    {748, 37, 15, 0, 0, Tag('A', 'G'), 0, 255, 468}, // 1
    {561, 50, 20, 0, 0, Tag('H', '3'), 0, 255, 374}, // 2
    {561, 50, 22, 0, 0, Tag('H', '2'), 0, 255, 374}, // 3
    {935, 37, 22, 0, 0, Tag('R', 'G'), 0, 255, 374}, // 4
    {748, 37, 20, 0, 0, Tag('R', '2'), 0, 255, 374}, // 5
    {561, 37, 18, 0, 0, Tag('R', '1'), 0, 255, 337}, // 6
    {935, 50, 20, 0, 0, Tag('V', '3'), 0, 255, 374}, // 7
    {748, 50, 18, 0, 0, Tag('V', '2'), 0, 255, 374}, // 8
    {561, 50, 16, 0, 0, Tag('V', '1'), 0, 255, 337}, // 9
    {561, 37, 15, 0, 0, Tag('L', 'J'), 0, 255, 374}, // 10
    {561, 37, 15, 0, 0, Tag('M', 'X'), 0, 255, 374}, // 11
    {467, 37, 14, 0, 0, Tag('M', '2'), 0, 255, 337}, // 12
    {654, 37, 16, 0, 0, Tag('T', 'A'), 0, 255, 374}, // 13
    {654, 40, 16, 0, 0, Tag('P', 'J'), 0, 255, 374}, // 14
    {467, 40, 14, 0, 0, Tag('K', '1'), 0, 255, 337}, // 15
    {654, 37, 15, 0, 0, Tag('M', '3'), 0, 255, 374}, // 16
    {748, 50, 18, 0, 0, Tag('V', 'T'), 0, 255, 374}, // 17
}};

} // namespace

std::optional<TInjectorRecord> InjectorCharacteristicRecord(uint8_t index)
{
    if (index < kFirstCharacteristic || index > kLastCharacteristic)
        return std::nullopt;
    const TCharacteristic &c = kCharacteristics[index - kFirstCharacteristic];
    const auto hi = [](uint16_t w) { return static_cast<uint8_t>(w >> 8); };
    const auto lo = [](uint16_t w) { return static_cast<uint8_t>(w & 0xFF); };
    return TInjectorRecord{hi(c.Word0), lo(c.Word0), c.Byte2, c.Byte3, c.Byte4,      c.Byte5,
                           hi(c.Tag),   lo(c.Tag),   c.Byte8, c.Byte9, hi(c.Word10), lo(c.Word10)};
}

} // namespace lumex
