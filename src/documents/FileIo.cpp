#include "documents/FileIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lumex {

namespace {

std::string SystemError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

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

std::string FolderOf(const std::string &path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::optional<std::string> ReadWholeFile(const std::string &path, std::size_t limit)
{
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw EFileReadError(SystemError("cannot open", path));
    }
    struct stat st
    {
    };
    if (::fstat(fd.Get(), &st) != 0)
        throw EFileReadError(SystemError("cannot inspect", path));
    if (!S_ISREG(st.st_mode))
        throw EFileReadError("not a regular file: " + path);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EFileReadError(SystemError("cannot read", path));
        }
        if (got == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(got) > limit)
            throw EFileReadError("file too large: " + path);
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

void WriteFileAtomically(const std::string &path, std::string_view bytes)
{
    const std::string folder = FolderOf(path);
    std::string pattern = path + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    TFd fd(::mkstemp(name.data()));
    if (fd.Get() < 0)
        throw EFileWriteError(SystemError("cannot create a temporary file for", path));
    const std::string tempPath(name.data());
    auto fail = [&](const std::string &what) {
        std::string message = SystemError(what, path);
        ::unlink(tempPath.c_str());
        throw EFileWriteError(message);
    };

    // Keep the permissions of the file being replaced; a new file gets the
    // usual mode under the umask.
    struct stat old
    {
    };
    mode_t mode;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.Get(), mode) != 0)
        fail("cannot set the permissions of");

    const char *data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = ::write(fd.Get(), data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write");
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd.Get()) != 0)
        fail("cannot flush");
    if (::close(fd.Release()) != 0)
        fail("cannot close");
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        fail("cannot replace");
    // Make the rename itself durable.
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

bool FileExists(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

std::string SelfPath()
{
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace

std::string ProgramFolder()
{
    std::string self = SelfPath();
    auto slash = self.find_last_of('/');
    if (slash == std::string::npos)
        return "./";
    return self.substr(0, slash + 1);
}

std::string ProgramFileName()
{
    std::string self = SelfPath();
    auto slash = self.find_last_of('/');
    return slash == std::string::npos ? self : self.substr(slash + 1);
}

} // namespace lumex
