// Whole-file reads with a size limit and a few path checks. Writes go through
// the atomic writer, included here so readers and writers share one header.
#pragma once

#include "common/AtomicFile.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

namespace lumex {

class EFileReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The bytes of a file; nothing when it does not exist. Throws EFileReadError
// when it exists but cannot be read or is larger than `limit`.
std::optional<std::string> ReadWholeFile(const std::string &path, std::size_t limit);

bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);

// The folder and the name of the running executable (no extension removed).
std::string ProgramFolder(); // with a trailing "/"
std::string ProgramFileName();

} // namespace lumex
