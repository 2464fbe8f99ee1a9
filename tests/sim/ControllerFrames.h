// Request frames for the simulated controller, built byte by byte as an
// independent client would, and the checks every answer must pass.
#pragma once

#include "controller/CommandTable.h"

#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace ctltest {

// 0xC0, the bytes, and the sum of everything before it.
inline std::vector<uint8_t> Frame(std::initializer_list<uint8_t> body)
{
    // Sized up front: growing a one-byte vector by insert trips a false
    // -Warray-bounds in GCC 12 at -O2.
    std::vector<uint8_t> f;
    f.reserve(body.size() + 2);
    f.push_back(0xC0);
    for (uint8_t b : body)
        f.push_back(b);
    f.push_back(static_cast<uint8_t>(std::accumulate(f.begin(), f.end(), 0u)));
    return f;
}

inline std::vector<uint8_t> FrameOf(std::vector<uint8_t> bytes)
{
    bytes.insert(bytes.begin(), 0xC0);
    bytes.push_back(static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u)));
    return bytes;
}

inline bool IsRead(const lumex::CommandInfo &entry)
{
    return entry.param != lumex::ParamKind::Data;
}

// A parameter the command accepts: the repeated code, 0, 0xA5, or a valid
// index, address or selector.
inline std::vector<uint8_t> ReadParams(const lumex::CommandInfo &entry)
{
    switch (entry.param) {
    case lumex::ParamKind::RepeatCode:
        return {entry.code};
    case lumex::ParamKind::Zero:
        return {0x00};
    case lumex::ParamKind::A5:
        return {0xA5};
    default:
        break;
    }
    switch (entry.code) {
    case 0x07:
        return {2}; // gas injector type
    case 0x12:
        return {1}; // multiplier
    case 0x18:
        return {2}; // valve off
    case 0x20:
        return {5}; // petrol immediately
    case 0x31:
        return {0x00, 84}; // serial date word
    case 0x33:
        return {0x00, 1}; // emergency-start counter
    case 0x39:
        return {0x00}; // all emulators to petrol
    case 0x3B:
        return {1};
    case 0x40:
        return {28}; // hardware injector channels
    case 0x51:
        return {6}; // power
    case 0x61:
        return {0x10}; // bank 1, half 0
    case 0x92:         // injector 1 under test
    case 0xDE:         // clear the petrol points
        return {1};
    default:
        return {0}; // slot, half, block, row, lock form, identification byte 0
    }
}

inline std::vector<uint8_t> ReadRequest(const lumex::CommandInfo &entry)
{
    std::vector<uint8_t> body{entry.code};
    for (uint8_t p : ReadParams(entry))
        body.push_back(p);
    return FrameOf(body);
}

// A write of the right length: zeros, with an index, address or selector
// that exists where the command has one.
inline std::vector<uint8_t> WriteRequest(const lumex::CommandInfo &entry)
{
    std::vector<uint8_t> body(entry.requestLength - 2u, 0);
    body[0] = entry.code;
    switch (entry.code) {
    case 0x08:
    case 0x16:
    case 0x52:
        body[1] = 20;
        break;
    case 0x32:
    case 0x34:
        body[1] = 0x03; // address 768: free memory
        break;
    case 0x62:
        body[1] = 0x21; // bank 2, half 1
        break;
    default:
        break;
    }
    return FrameOf(body);
}

inline bool SumOk(const std::vector<uint8_t> &answer)
{
    if (answer.size() < 2)
        return false;
    const unsigned sum = std::accumulate(answer.begin(), answer.end() - 1, 0u);
    return static_cast<uint8_t>(sum) == answer.back();
}

// Reads of the table that each generation lacks (it stays silent).
inline std::set<uint8_t> SilentReads(uint8_t generation, char letter)
{
    if (generation != 0x30)
        return {0x0B, 0x17, 0x54, 0x56, 0x58, 0x60, 0x61, 0x64, 0x90, 0x91, 0x92, 0x93, 0x95,
                0x97, 0xC0, 0xD0, 0xD2, 0xD4, 0xD6, 0xD7, 0xD8, 0xDB, 0xDC, 0xDD, 0xDE};
    std::set<uint8_t> silent{0x03};
    if (letter < 'D')
        silent.insert({0x93, 0x95, 0xDC, 0xDD});
    if (letter < 'F')
        silent.insert(0x97);
    if (letter < 'G')
        silent.insert({0x0B, 0x54, 0x56, 0x60, 0x61, 0x64});
    return silent;
}

inline std::string Hex(uint8_t code)
{
    static const char *digits = "0123456789ABCDEF";
    return std::string("0x") + digits[code >> 4] + digits[code & 15];
}

} // namespace ctltest
