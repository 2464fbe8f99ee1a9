#include "upgrade/UpgradeRecord.h"

#include "common/AtomicFile.h"
#include "documents/IniFile.h"

#include <array>
#include <filesystem>

namespace lumex {

namespace {

namespace fs = std::filesystem;

struct TStageName
{
    TUpgradeStage stage;
    const char *name;
};
constexpr std::array<TStageName, 3> kStageNames{
    {{TUpgradeStage::None, "none"}, {TUpgradeStage::Started, "started"}, {TUpgradeStage::RestorePending, "restore"}}};

const char *Section(bool adapter)
{
    return adapter ? "Adapter" : "Controller";
}

std::string StatePath(const std::string &dataFolder)
{
    return (fs::path(dataFolder) / kUpgradeStateFile).string();
}

TUpgradeStage StageOf(const std::string &name)
{
    for (const auto &s : kStageNames)
        if (name == s.name)
            return s.stage;
    return TUpgradeStage::None;
}

const char *NameOf(TUpgradeStage stage)
{
    for (const auto &s : kStageNames)
        if (stage == s.stage)
            return s.name;
    return "none";
}

// Names and paths go into single-line values.
std::string OneLine(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += (c == '\r' || c == '\n') ? ' ' : c;
    return out;
}

} // namespace

TUpgradeRecord LoadUpgradeRecord(const std::string &dataFolder, bool adapter)
{
    TUpgradeRecord r;
    RemoveStaleTemporaries(StatePath(dataFolder));
    TIniFile ini;
    try {
        ini = TIniFile::Load(StatePath(dataFolder));
    } catch (const EIniFileError &) {
        return r;
    }
    const char *section = Section(adapter);
    r.Stage = StageOf(ini.ReadString(section, "Stage", "none"));
    r.Serial = ini.ReadString(section, "Serial", "");
    r.BackupPath = ini.ReadString(section, "Backup", "");
    r.Started = ini.ReadString(section, "Started", "");
    r.File = ini.ReadString(section, "File", "");
    return r;
}

void SaveUpgradeRecord(const std::string &dataFolder, bool adapter, const TUpgradeRecord &record)
{
    std::error_code ec;
    fs::create_directories(dataFolder, ec);
    TIniFile ini;
    try {
        ini = TIniFile::Load(StatePath(dataFolder));
    } catch (const EIniFileError &) {
        // An unreadable record is replaced by this one.
    }
    const char *section = Section(adapter);
    ini.EraseSection(section);
    ini.WriteString(section, "Stage", NameOf(record.Stage));
    ini.WriteString(section, "Serial", OneLine(record.Serial));
    ini.WriteString(section, "Backup", OneLine(record.BackupPath));
    ini.WriteString(section, "Started", OneLine(record.Started));
    ini.WriteString(section, "File", OneLine(record.File));
    ini.Save(StatePath(dataFolder));
}

bool ClearUpgradeRecord(const std::string &dataFolder, bool adapter)
{
    if (!fs::exists(StatePath(dataFolder)))
        return true;
    try {
        TIniFile ini = TIniFile::Load(StatePath(dataFolder));
        ini.EraseSection(Section(adapter));
        ini.Save(StatePath(dataFolder));
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

} // namespace lumex
