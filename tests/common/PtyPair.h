// A pseudo-terminal pair for tests that need a real serial line: the code
// under test opens SlavePath() (or a symbolic link to it) like a COM port
// while the test plays the device on the master side.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

class PtyPair
{
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        slavePath_ = name;
        MakeRaw(master_);
        MakeRaw(slave_);
    }
    ~PtyPair()
    {
        RemoveLink();
        CloseMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    const std::string &SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    // The test's own descriptor of the slave, opened before anyone else.
    int Slave() const { return slave_; }

    // Points `path` at the slave; removed again on destruction.
    const std::string &Link(const std::string &path)
    {
        RemoveLink();
        ::unlink(path.c_str());
        if (::symlink(slavePath_.c_str(), path.c_str()) != 0)
            throw std::runtime_error("symlink failed: " + path);
        link_ = path;
        return link_;
    }

    // The device side writes these bytes onto the line.
    void Send(const std::vector<uint8_t> &bytes) const
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::runtime_error("write to pty master failed");
            done += static_cast<std::size_t>(n);
        }
    }

    // Reads from the line until `count` bytes came or `timeoutMs` passed;
    // the default is long enough that only a broken program reaches it.
    std::vector<uint8_t> Receive(std::size_t count, int timeoutMs = 10000) const
    {
        std::vector<uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            uint8_t buf[4096];
            const std::size_t want = std::min(sizeof buf, count - got.size());
            const ssize_t n = ::read(master_, buf, want);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                break;
        }
        return got;
    }

    // Hangs the line up, as pulling a USB cable does.
    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    static void MakeRaw(int fd)
    {
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    void RemoveLink()
    {
        if (!link_.empty())
            ::unlink(link_.c_str());
        link_.clear();
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
};

} // namespace testsupport
