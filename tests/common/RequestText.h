// Request frames as the request log writes them ("C0 07 02 C9"), built by
// hand so exact-log tests spell out what the controller must receive.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace reqtext {

using Frames = std::vector<std::string>;

// "C0 <bytes> <sum>" with the additive checksum.
inline std::string Frame(const std::vector<unsigned> &bytes)
{
    unsigned sum = 0xC0;
    std::string text = "C0";
    char hex[4];
    for (unsigned b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, " %02X", b & 0xFF);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, " %02X", sum & 0xFF);
    return text + hex;
}

// Reads and writes of byte, word and model parameters.
inline std::string B(unsigned index)
{
    return Frame({0x07, index});
}
inline std::string W(unsigned index)
{
    return Frame({0x51, index});
}
inline std::string M(unsigned index)
{
    return Frame({0x12, index});
}
inline std::string SetB(unsigned index, unsigned value)
{
    return Frame({0x08, index, value});
}
inline std::string SetW(unsigned index, unsigned value)
{
    return Frame({0x52, index, value >> 8, value & 0xFF});
}
inline std::string SetM(unsigned index, unsigned value)
{
    return Frame({0x16, index, value >> 8, value & 0xFF});
}

} // namespace reqtext
