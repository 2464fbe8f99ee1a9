#include "common/AtomicFile.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumex {

namespace {

std::string SystemError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string &path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

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

} // namespace lumex
