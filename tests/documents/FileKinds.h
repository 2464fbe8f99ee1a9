// The kinds of file the programs write, for the crash test: for each, the
// complete content of save number n (0 is the file a test starts from), a
// save of it through the program's own writer, the program's own reader of
// it, and what the program does about leftovers on its next start. Shared
// by the test and the child it kills, so both agree on every content.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex::crashtest {

enum class TFileKind : uint8_t
{
    Settings,      // Lumex2's settings file
    NorviSettings, // Norvi.INI
    PortMap,
    Gcf,
    Backup,        // the automatic backup of the controller, a new file each time
    UpgradeRecord, // what an upgrade in progress leaves for the next start
    Gmf,
    Gaf, // saved from a simulated adapter
    CsvExport,
    CsvStream // a recording written row by row
};

const std::vector<TFileKind> &AllFileKinds();
const char *NameOf(TFileKind kind);
std::optional<TFileKind> FileKindNamed(std::string_view name);

// The file a kind saves to inside `folder` (ending in "/"); for Backup the
// folder its files are made in.
std::string TargetOf(TFileKind kind, const std::string &folder);

// The bytes save number n writes; not for Gaf, whose file holds its time.
std::string ContentOf(TFileKind kind, unsigned n);
// Whether `bytes` are what save number n writes (for Gaf, apart from the
// save time, once a save was made in this process).
bool IsContentOf(TFileKind kind, const std::string &bytes, unsigned n);

// What must run before the first save: a simulated adapter for Gaf.
void PrepareSaves(TFileKind kind);

// Saves content n the way the program does; throws std::runtime_error when
// the writer reports a failure.
void SaveThroughProgram(TFileKind kind, const std::string &folder, unsigned n);

// Empty when `bytes` read back with the program's own reader as a whole
// file of the kind; otherwise what is wrong.
std::string ReadProblem(TFileKind kind, const std::string &bytes);

// What the program does about a save it did not finish: at its start for
// the files it knows (settings, port map, backups, upgrade record), at the
// next save of the file for the files the user names (the next save is
// number n), and for a recording at the start too, through the journal
// that names it.
void CleanUpAfterCrash(TFileKind kind, const std::string &folder, unsigned n);

} // namespace lumex::crashtest
