#include "serial/LineSettings.h"

#include <array>
#include <utility>

namespace lumex::detail {

namespace {

constexpr std::array<std::pair<unsigned, speed_t>, 19> kSpeedCodes{{
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
}};

} // namespace

void MakeRaw(termios &tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | IUCLC | IMAXBEL);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

bool EncodeFrameFormat(termios &tio, uint8_t byteSize, TComParity parity, TComStopBits stopBits)
{
    tcflag_t size = 0;
    switch (byteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= size;
    switch (parity) {
    case TComParity::comNoParity:
        break;
    case TComParity::comOddParity:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case TComParity::comEvenParity:
        tio.c_cflag |= PARENB;
        break;
    case TComParity::comMarkParity:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TComParity::comSpaceParity:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // A UART sends 1.5 stop bits when asked for two with 5-bit characters.
    if (stopBits != TComStopBits::comOneStopBit)
        tio.c_cflag |= CSTOPB;
    return true;
}

uint8_t DecodeByteSize(const termios &tio)
{
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

TComParity DecodeParity(const termios &tio)
{
    if ((tio.c_cflag & PARENB) == 0)
        return TComParity::comNoParity;
    const bool odd = (tio.c_cflag & PARODD) != 0;
    if ((tio.c_cflag & CMSPAR) != 0)
        return odd ? TComParity::comMarkParity : TComParity::comSpaceParity;
    return odd ? TComParity::comOddParity : TComParity::comEvenParity;
}

std::optional<speed_t> StandardSpeedCode(unsigned bitsPerSecond)
{
    for (const auto &[bps, code] : kSpeedCodes) {
        if (bps == bitsPerSecond)
            return code;
    }
    return std::nullopt;
}

unsigned SpeedOfCode(speed_t code)
{
    for (const auto &[bps, c] : kSpeedCodes) {
        if (c == code)
            return bps;
    }
    return 0;
}

} // namespace lumex::detail
