// Whole-file reads with a size limit, and atomic writes: a temporary file in
// the same folder, fsync, rename, so a crash leaves the old or the new file
// but never a torn one.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumex {

class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class EFileReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The bytes of a file; nothing when it does not exist. Throws EFileReadError
// when it exists but cannot be read or is larger than `limit`.
std::optional<std::string> ReadWholeFile(const std::string &path, std::size_t limit);

// Replaces (or creates) `path` with `bytes` atomically. An existing file keeps
// its permission bits. Throws EFileWriteError naming the failing step.
void WriteFileAtomically(const std::string &path, std::string_view bytes);

bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);

// The folder and the name of the running executable (no extension removed).
std::string ProgramFolder(); // with a trailing "/"
std::string ProgramFileName();

} // namespace lumex
