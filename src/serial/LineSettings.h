// Pure conversions between the component's line settings and termios.
#pragma once

#include "serial/ComMultiPort.h"

#include <optional>
#include <termios.h>

namespace lumex::detail {

// Binary line: no echo, no signals, no CR/LF mapping, no XON/XOFF, reads
// return at once (VMIN = VTIME = 0). The character format (size, parity,
// stop bits) and hardware flow control stay as they are.
void MakeRaw(termios &tio);

// Writes byte size, parity and stop bits. false for a byte size termios
// cannot express (only 5 to 8 data bits exist).
bool EncodeFrameFormat(termios &tio, uint8_t byteSize, TComParity parity, TComStopBits stopBits);

uint8_t DecodeByteSize(const termios &tio);
TComParity DecodeParity(const termios &tio);

// The termios B-constant of a speed, if termios has one.
std::optional<speed_t> StandardSpeedCode(unsigned bitsPerSecond);
// bit/s of a B-constant; 0 for B0 and unknown codes.
unsigned SpeedOfCode(speed_t code);

} // namespace lumex::detail
