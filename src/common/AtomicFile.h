// Atomic file replacement: a temporary file in the same folder, fsync,
// rename, so a crash leaves the old or the new file but never a torn one.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace lumex {

class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Replaces (or creates) `path` with `bytes` atomically. An existing file keeps
// its permission bits. Throws EFileWriteError naming the failing step.
void WriteFileAtomically(const std::string &path, std::string_view bytes);

} // namespace lumex
