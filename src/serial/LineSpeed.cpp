#include "serial/LineSpeed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

// <sys/ioctl.h> drags in glibc's termios types; the prototype is all we need.
extern "C" int ioctl(int fd, unsigned long request, ...);

namespace lumex::detail {

namespace {

bool GetTermios2(int fd, termios2 &tio)
{
    for (;;) {
        if (ioctl(fd, TCGETS2, &tio) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

bool SetLineSpeed(int fd, unsigned bitsPerSecond)
{
    termios2 tio{};
    if (!GetTermios2(fd, tio))
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = bitsPerSecond;
    tio.c_ospeed = bitsPerSecond;
    for (;;) {
        if (ioctl(fd, TCSETS2, &tio) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool GetLineSpeed(int fd, unsigned &bitsPerSecond)
{
    termios2 tio{};
    if (!GetTermios2(fd, tio))
        return false;
    bitsPerSecond = tio.c_ospeed;
    return true;
}

} // namespace lumex::detail
