// Atomic file replacement: a temporary file in the same folder, fsync,
// rename, so a crash leaves the old or the new file but never a torn one.
#pragma once

#include <cstddef>
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
// Afterwards the temporaries an earlier, interrupted save of `path` left
// behind are removed (see RemoveStaleTemporaries).
void WriteFileAtomically(const std::string &path, std::string_view bytes);

// True for the name of a temporary a save of the file named `baseName` makes:
// "<baseName>.tmp" and exactly six letters or digits, as mkstemp fills them.
bool IsTemporaryNameOf(std::string_view name, std::string_view baseName);

// Removes the regular files beside `path` that are temporaries of it: what
// a save killed between creating and renaming its temporary leaves. A save
// of the same file running at that moment in another process then fails
// cleanly (its rename finds no file) and the file keeps its old content.
// Returns how many were removed; errors are ignored.
std::size_t RemoveStaleTemporaries(const std::string &path);

// The same for the temporaries of every file of `folder` whose name ends in
// `extension` (".gcf"): for folders of files named at save time.
std::size_t RemoveStaleTemporariesIn(const std::string &folder, std::string_view extension);

} // namespace lumex
