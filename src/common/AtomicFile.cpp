#include "common/AtomicFile.h"

#include "common/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumex {

namespace {

std::string SystemError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

constexpr std::string_view kTempInfix = ".tmp";
constexpr std::size_t kTempRandomChars = 6; // the XXXXXX of mkstemp

bool IsAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Removes the regular files of `folder` the predicate picks; symbolic links
// and folders are never touched.
template <class TPick> std::size_t RemoveFilesIn(const std::filesystem::path &folder, TPick pick)
{
    namespace fs = std::filesystem;
    std::size_t removed = 0;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code statError;
        if (!pick(name) || !fs::is_regular_file(it->symlink_status(statError)) || statError)
            continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError))
            ++removed;
    }
    return removed;
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
    RemoveStaleTemporaries(path);
}

bool IsTemporaryNameOf(std::string_view name, std::string_view baseName)
{
    if (baseName.empty() || name.size() != baseName.size() + kTempInfix.size() + kTempRandomChars ||
        !name.starts_with(baseName) || name.substr(baseName.size(), kTempInfix.size()) != kTempInfix)
        return false;
    const std::string_view random = name.substr(baseName.size() + kTempInfix.size());
    return std::all_of(random.begin(), random.end(), IsAsciiAlnum);
}

std::size_t RemoveStaleTemporaries(const std::string &path)
{
    const std::filesystem::path target(path);
    const std::string baseName = target.filename().string();
    if (baseName.empty())
        return 0;
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    return RemoveFilesIn(folder, [&](const std::string &name) { return IsTemporaryNameOf(name, baseName); });
}

std::size_t RemoveStaleTemporariesIn(const std::string &folder, std::string_view extension)
{
    return RemoveFilesIn(folder, [&](const std::string &name) {
        const std::size_t suffix = kTempInfix.size() + kTempRandomChars;
        if (name.size() <= suffix)
            return false;
        const std::string_view base = std::string_view(name).substr(0, name.size() - suffix);
        return base.size() > extension.size() && base.ends_with(extension) && IsTemporaryNameOf(name, base);
    });
}

} // namespace lumex
