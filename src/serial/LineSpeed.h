// Line speeds in bit/s through the kernel's termios2 interface, which also
// takes speeds that have no B-constant (14400, 56000, 128000, 256000). Kept
// apart from <termios.h> because the kernel's termios headers clash with it.
#pragma once

namespace lumex::detail {

// Sets input and output speed. false when the driver refuses.
bool SetLineSpeed(int fd, unsigned bitsPerSecond);
// The output speed the driver reports. false when it cannot be read.
bool GetLineSpeed(int fd, unsigned &bitsPerSecond);

} // namespace lumex::detail
