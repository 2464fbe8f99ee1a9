#include "sim/PtyHost.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// A client that stops reading must not make the simulator hoard its answers.
constexpr std::size_t kMaxPendingOut = std::size_t{64} * 1024;

bool MakeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string ReadLink(const std::string &path)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

PtyHost::PtyHost(LineHost &line, std::mutex &mutex)
    : line_(line), mutex_(mutex), origin_(std::chrono::steady_clock::now())
{
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PtyHost::~PtyHost()
{
    Close();
    if (wake_ >= 0)
        ::close(wake_);
}

double PtyHost::Now() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin_).count();
}

bool PtyHost::Open(const std::string &linkPath, std::string &error)
{
    if (wake_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    if (!linkPath.empty()) {
        struct stat st
        {
        };
        if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
    }
    {
        std::lock_guard g(pathMutex_);
        linkPath_ = linkPath;
    }
    if (!OpenPty(error))
        return false;
    if (!PlaceLink(error)) {
        ClosePty();
        return false;
    }
    return true;
}

bool PtyHost::OpenPty(std::string &error)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    if (!MakeRaw(master) || !MakeRaw(slave)) {
        error = std::string("raw mode: ") + std::strerror(errno);
        ::close(master);
        ::close(slave);
        return false;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slave_ = slave;
    std::lock_guard g(pathMutex_);
    slaveName_ = name;
    return true;
}

void PtyHost::ClosePty()
{
    // Closing the master hangs up whoever has the slave open: the unplug.
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    pendingOut_.clear();
}

bool PtyHost::PlaceLink(std::string &error)
{
    std::string link, target;
    {
        std::lock_guard g(pathMutex_);
        link = linkPath_;
        target = slaveName_;
    }
    if (link.empty())
        return true;
    // A new name first, then rename over the old link: a client never sees
    // the path missing or half made.
    const std::string temp = link + ".tmp" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = "cannot create link " + temp + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        error = "cannot place link " + link + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void PtyHost::RemoveLink()
{
    std::string link, target;
    {
        std::lock_guard g(pathMutex_);
        link = linkPath_;
        target = slaveName_;
    }
    // Only our own link: another simulator may have taken the path since.
    if (!link.empty() && ReadLink(link) == target)
        ::unlink(link.c_str());
}

std::string PtyHost::Path() const
{
    std::lock_guard g(pathMutex_);
    return linkPath_.empty() ? slaveName_ : linkPath_;
}

void PtyHost::Stop()
{
    stop_ = true;
    Wake();
}

void PtyHost::Wake()
{
    if (wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
    }
}

void PtyHost::Close()
{
    RemoveLink();
    ClosePty();
}

void PtyHost::Flush()
{
    while (master_ >= 0 && !pendingOut_.empty()) {
        const ssize_t n = ::write(master_, pendingOut_.data(), pendingOut_.size());
        if (n > 0) {
            pendingOut_.erase(pendingOut_.begin(), pendingOut_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: wait for POLLOUT
    }
    if (pendingOut_.size() > kMaxPendingOut)
        pendingOut_.erase(pendingOut_.begin(),
                          pendingOut_.begin() + static_cast<std::ptrdiff_t>(pendingOut_.size() - kMaxPendingOut));
}

void PtyHost::ReadInput()
{
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            std::lock_guard g(mutex_);
            line_.Receive(std::span<const uint8_t>(buf, static_cast<std::size_t>(n)), Now());
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

void PtyHost::Run()
{
    while (!stop_) {
        double now = Now();
        double deadline = kNever;
        std::optional<double> unplug;
        {
            std::lock_guard g(mutex_);
            line_.Advance(now);
            auto out = line_.TakeOutput(now);
            pendingOut_.insert(pendingOut_.end(), out.begin(), out.end());
            unplug = line_.TakeUnplug();
            deadline = line_.NextDeadline();
        }
        if (unplug) {
            RemoveLink();
            ClosePty();
            replugAt_ = now + *unplug;
        }
        if (replugAt_ && now >= *replugAt_) {
            std::string error;
            // On failure (no ptys left) try again a little later.
            if (OpenPty(error) && PlaceLink(error))
                replugAt_.reset();
            else
                replugAt_ = now + 100.0;
        }
        Flush();
        if (replugAt_)
            deadline = std::min(deadline, *replugAt_);

        pollfd fds[2] = {};
        fds[0].fd = wake_;
        fds[0].events = POLLIN;
        nfds_t count = 1;
        if (master_ >= 0) {
            fds[1].fd = master_;
            fds[1].events = static_cast<short>(POLLIN | (pendingOut_.empty() ? 0 : POLLOUT));
            count = 2;
        }
        timespec ts{};
        timespec *timeout = nullptr;
        if (deadline != kNever) {
            const double wait = std::max(0.0, deadline - Now());
            ts.tv_sec = static_cast<time_t>(wait / 1000.0);
            ts.tv_nsec = static_cast<long>(std::fmod(wait, 1000.0) * 1e6);
            timeout = &ts;
        }
        const int ready = ::ppoll(fds, count, timeout, nullptr);
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            uint64_t v = 0;
            [[maybe_unused]] auto n = ::read(wake_, &v, sizeof v);
        }
        if (count == 2 && (fds[1].revents & POLLIN))
            ReadInput();
    }
}

} // namespace sim
