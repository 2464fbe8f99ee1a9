#include "documents/FileIo.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumex {

namespace {

std::string SystemError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
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
