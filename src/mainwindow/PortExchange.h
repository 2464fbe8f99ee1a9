// One request and its fixed-length answer on the shared port, outside the
// controller protocol object: the detector's probes and the bootloader
// identification use other start bytes and must not touch the link state.
#pragma once

#include <cstdint>
#include <span>

namespace lumex {

class TComMultiPort;

// Writes `request`, then receives `answer.size()` bytes that must begin with
// `startByte` and end with the additive checksum of the bytes before. One
// attempt at the first byte, or two when `skipOneStray` (a single stray
// byte before the header is then passed over). The port lock the write
// takes is released on every path. False, with the buffer all zeros, on
// any failure; nothing is sent while the port is closed.
bool ExchangeFrame(TComMultiPort &port, std::span<const uint8_t> request, std::span<uint8_t> answer, uint8_t startByte,
                   bool skipOneStray = false);

// Reads and throws away single bytes until a read returns nothing, at most
// `maxReads` reads.
void DrainInput(TComMultiPort &port, int maxReads = 50);

} // namespace lumex
