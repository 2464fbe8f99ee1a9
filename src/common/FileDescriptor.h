// Owns a POSIX file descriptor so every early return closes it.
#pragma once

#include <unistd.h>
#include <utility>

namespace lumex {

class TFd
{
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

} // namespace lumex
