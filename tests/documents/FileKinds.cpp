#include "FileKinds.h"

#include "GafKind.h"

#include "calibration/MapFile.h"
#include "calibration/MapRanges.h"
#include "common/AtomicFile.h"
#include "configuration/ConfigFile.h"
#include "configuration/ConfigFileOps.h"
#include "controller/Version.h"
#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/IniFile.h"
#include "documents/Scramble.h"
#include "mainwindow/OscCsv.h"
#include "serial/PortMap.h"
#include "upgrade/UpgradeRecord.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>

namespace lumex::crashtest {

namespace {

struct TKindName
{
    TFileKind Kind;
    const char *Name;
};
constexpr std::array<TKindName, 10> kKindNames{{{TFileKind::Settings, "settings"},
                                                {TFileKind::NorviSettings, "norvi-settings"},
                                                {TFileKind::PortMap, "port-map"},
                                                {TFileKind::Gcf, "gcf"},
                                                {TFileKind::Backup, "backup"},
                                                {TFileKind::UpgradeRecord, "upgrade-record"},
                                                {TFileKind::Gmf, "gmf"},
                                                {TFileKind::Gaf, "gaf"},
                                                {TFileKind::CsvExport, "csv-export"},
                                                {TFileKind::CsvStream, "csv-stream"}}};

constexpr char kSerial[] = "1234-56789";
constexpr std::size_t kFillerKeys = 1500;  // some 60 KiB of settings nobody here owns
constexpr std::size_t kCsvRows = 1200;     // some 200 KiB of recording
constexpr std::size_t kPortMapPaths = 255; // every number

// Consecutive saves differ in the port number.
int PortFor(unsigned n)
{
    return 2 + static_cast<int>(n % 250);
}

// ----- settings -----

std::string ProgramFileOf(TFileKind kind)
{
    return kind == TFileKind::NorviSettings ? "Norvi" : "Lumex2";
}

TAppFolders FoldersOf(TFileKind kind, const std::string &folder)
{
    // Everything beside the program, as Norvi keeps it; Lumex2's per-user
    // folder changes only where the file lies.
    TAppFolders folders;
    folders.ProgramFolder = folder;
    folders.ProgramFile = ProgramFileOf(kind);
    return folders;
}

std::string SettingsText(unsigned n)
{
    std::string text = "; kept by hand\r\n[Settings]\r\nComMultiPort=2\r\nLanguage=EN\r\n[Window]\r\n";
    for (std::size_t i = 0; i < kFillerKeys; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Column%04zu=width %zu, order %zu\r\n", i, 40 + i % 97, i);
        text += line;
    }
    TIniFile ini = TIniFile::Parse(text);
    ini.WriteInteger(TAppConfig::Section, TAppConfig::PortKey, PortFor(n));
    ini.WriteString(TAppConfig::Section, TAppConfig::LanguageKey, "EN");
    return ini.Text();
}

std::unique_ptr<TAppConfig> ConfigIn(TFileKind kind, const std::string &folder)
{
    auto config = std::make_unique<TAppConfig>();
    config->OnError = [](const std::string &caption, const std::string &text) {
        throw std::runtime_error(caption + " " + text);
    };
    config->InitPaths(nullptr, FoldersOf(kind, folder));
    return config;
}

// The program's settings as it holds them: read once at its start, saved
// whenever they change.
TAppConfig &RunningConfig(TFileKind kind, const std::string &folder)
{
    static std::map<std::string, std::unique_ptr<TAppConfig>> running;
    auto &config = running[TargetOf(kind, folder)];
    if (!config) {
        config = ConfigIn(kind, folder);
        config->LoadSettings();
    }
    return *config;
}

// ----- port map -----

std::map<int, std::string> PortEntries(unsigned n)
{
    std::map<int, std::string> entries;
    for (std::size_t i = 0; i < kPortMapPaths; ++i) {
        const int number = kMinPortNumber + static_cast<int>(i);
        entries[number] =
            "/dev/serial/by-id/usb-Interface_" + std::to_string(n) + "_" + std::to_string(number) + "-if00-port0";
    }
    return entries;
}

// ----- configuration files -----

// The values a file without keys gives.
TNorviData DefaultImage()
{
    TNorviData d;
    d.VersionCode = kVersion30;
    d.SoftwareLetter = "G";
    d.InjHW = 8;
    d.Variant = 1;
    d.PcCompatCode = 4;
    d.T = 100;
    d.MicroInjectionTime = 150;
    d.PostValveDelay = 500;
    const std::string empty = "[Info]\r\nVer=" + VersionString(d, false) + "\r\n";
    return ApplyGcf(empty, d, {}, false).Image;
}

// The save's number in the map.
TNorviData ImageOf(unsigned n)
{
    static const TNorviData defaults = DefaultImage();
    TNorviData d = defaults;
    for (std::size_t row = 0; row < kMapG3Rows; ++row) {
        d.MapG3[row][1] = static_cast<uint16_t>((std::size_t{n} * 7 + row * 13) % 4000);
        d.MapG3[row][2] = static_cast<uint16_t>((std::size_t{n} * 11 + row * 5) % 4000);
    }
    return d;
}

const TGcfInfo kInfo{"2026-12-10 03:00:00", "3.0.5.1"};

std::string GcfText(unsigned n)
{
    return BuildGcf(ImageOf(n), {}, kInfo).Text();
}

std::string GcfProblem(const std::string &bytes)
{
    const TGcfLoad load = ApplyGcf(bytes, ImageOf(0), {}, false);
    if (!load)
        return "refused: " + load.Message;
    if (!load.Warnings.empty())
        return "warned: " + load.Warnings.front();
    return {};
}

// ----- the upgrade record -----

TUpgradeRecord RecordOf(unsigned n)
{
    TUpgradeRecord r;
    r.Stage = n % 2 == 0 ? TUpgradeStage::Started : TUpgradeStage::RestorePending;
    r.Serial = kSerial;
    r.BackupPath = "/home/installer/Lumex2 Data/Backups/" + std::string(kSerial) + "-" + std::to_string(n) + ".gcf";
    r.Started = "2026-12-10 03:00:00";
    r.File = "firmware-" + std::to_string(n) + ".bin";
    return r;
}

std::string RecordText(unsigned n)
{
    const TUpgradeRecord r = RecordOf(n);
    TIniFile ini;
    ini.WriteString("Controller", "Stage", r.Stage == TUpgradeStage::Started ? "started" : "restore");
    ini.WriteString("Controller", "Serial", r.Serial);
    ini.WriteString("Controller", "Backup", r.BackupPath);
    ini.WriteString("Controller", "Started", r.Started);
    ini.WriteString("Controller", "File", r.File);
    return ini.Text();
}

// The record the program reads back must be one of those saved.
std::string RecordProblem(const std::string &bytes)
{
    const TIniFile ini = TIniFile::Parse(bytes);
    const std::string file = ini.ReadString("Controller", "File", "");
    const std::string stage = ini.ReadString("Controller", "Stage", "");
    if (!file.starts_with("firmware-") || !file.ends_with(".bin") || (stage != "started" && stage != "restore"))
        return "the record is not whole";
    return {};
}

// ----- map point files -----

std::vector<TMapPoint> MapPoints(unsigned n, unsigned salt)
{
    std::vector<TMapPoint> points;
    for (unsigned i = 0; i < kMaxMapPointsPerKind; ++i)
        points.push_back({0.25 + ((n + i * salt) % 300) / 100.0, 2.0 + ((n * 3 + i) % 1500) / 100.0,
                          static_cast<uint8_t>((n + i) % 8)});
    return points;
}

// Every other save scrambled, as files in the field come either way.
bool Scrambled(unsigned n)
{
    return n % 2 == 1;
}

std::string GmfText(unsigned n)
{
    std::string text = FormatMapFile(MapPoints(n, 3), MapPoints(n, 5));
    if (Scrambled(n))
        ScrambleBytes(std::span(reinterpret_cast<uint8_t *>(text.data()), text.size()));
    return text;
}

std::string GmfProblem(const std::string &bytes)
{
    const TMapFileParse parse = ParseMapFile(bytes);
    if (!parse.Error.empty() || !parse.File)
        return parse.Error;
    if (parse.File->Petrol.Points.size() != kMaxMapPointsPerKind ||
        parse.File->Lpg.Points.size() != kMaxMapPointsPerKind)
        return "points are missing";
    return {};
}

// ----- recordings -----

std::deque<TOscSample> Samples(unsigned n)
{
    std::deque<TOscSample> samples(kCsvRows);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        TOscSample &s = samples[i];
        s.Taken = true;
        s.Time = n * 100.0 + i * 0.05;
        s.Tb = 2.5 + (i % 40) * 0.1;
        s.Tg = s.Tb * 1.2;
        s.Psys = 1.1;
        s.Pcol = 0.4 + (n % 10) * 0.01;
        s.RPM = 800 + i % 3000;
        s.SysState = static_cast<int32_t>(n % 6);
        s.GasFlag = i % 2 == 0 ? -1 : 0;
        s.ObdPresent = 0x5;
        s.Obd[0] = static_cast<double>(n);
        s.Obd[2] = static_cast<double>(i);
    }
    return samples;
}

// The recorder has no reader of its own: a whole file is the header and
// rows of its column count, each ended.
std::string CsvProblem(const std::string &bytes)
{
    const std::string header = OscCsvHeader();
    if (!bytes.starts_with(header))
        return "the header is missing";
    const auto columns = std::count(header.begin(), header.end(), ',');
    std::size_t start = header.size(), rows = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            return "row " + std::to_string(rows + 1) + " is not ended";
        if (std::count(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(end), ',') !=
            columns)
            return "row " + std::to_string(rows + 1) + " has another column count";
        ++rows;
        start = end + 1;
    }
    return rows == kCsvRows ? std::string() : "rows are missing";
}

} // namespace

const std::vector<TFileKind> &AllFileKinds()
{
    static const std::vector<TFileKind> kinds = [] {
        std::vector<TFileKind> all;
        all.reserve(kKindNames.size());
        for (const TKindName &k : kKindNames)
            all.push_back(k.Kind);
        return all;
    }();
    return kinds;
}

const char *NameOf(TFileKind kind)
{
    for (const TKindName &k : kKindNames)
        if (k.Kind == kind)
            return k.Name;
    return "?";
}

std::optional<TFileKind> FileKindNamed(std::string_view name)
{
    for (const TKindName &k : kKindNames)
        if (name == k.Name)
            return k.Kind;
    return std::nullopt;
}

std::string TargetOf(TFileKind kind, const std::string &folder)
{
    switch (kind) {
    case TFileKind::Settings:
    case TFileKind::NorviSettings:
        return folder + SettingsFileNameOf(ProgramFileOf(kind));
    case TFileKind::PortMap:
        return folder + "ports.ini";
    case TFileKind::Gcf:
        return folder + "car.gcf";
    case TFileKind::Backup:
        return folder + "Data/" + kBackupsFolder;
    case TFileKind::UpgradeRecord:
        return folder + "Data/" + kUpgradeStateFile;
    case TFileKind::Gmf:
        return folder + "map.gmf";
    case TFileKind::Gaf:
        return folder + "adapter.gaf";
    case TFileKind::CsvExport:
        return folder + "export.csv";
    case TFileKind::CsvStream:
        return folder + "recording.csv";
    }
    return {};
}

namespace {

std::string MakeContent(TFileKind kind, unsigned n)
{
    switch (kind) {
    case TFileKind::Settings:
    case TFileKind::NorviSettings:
        return SettingsText(n);
    case TFileKind::PortMap:
        return FormatPortMap(PortEntries(n));
    case TFileKind::Gcf:
    case TFileKind::Backup:
        return GcfText(n);
    case TFileKind::UpgradeRecord:
        return RecordText(n);
    case TFileKind::Gmf:
        return GmfText(n);
    case TFileKind::Gaf:
        throw std::logic_error("a module settings file holds its save time");
    case TFileKind::CsvExport:
    case TFileKind::CsvStream:
        return OscCsv(Samples(n));
    }
    return {};
}

} // namespace

std::string ContentOf(TFileKind kind, unsigned n)
{
    // The checks ask for the same few contents again and again.
    static std::map<std::pair<TFileKind, unsigned>, std::string> made;
    const auto key = std::make_pair(kind, n);
    auto found = made.find(key);
    if (found == made.end())
        found = made.emplace(key, MakeContent(kind, n)).first;
    return found->second;
}

void PrepareSaves(TFileKind kind)
{
    if (kind == TFileKind::Gaf)
        StartSimulatedAdapter();
}

bool IsContentOf(TFileKind kind, const std::string &bytes, unsigned n)
{
    return kind == TFileKind::Gaf ? IsGafContent(bytes, n) : bytes == ContentOf(kind, n);
}

void SaveThroughProgram(TFileKind kind, const std::string &folder, unsigned n)
{
    const std::string target = TargetOf(kind, folder);
    switch (kind) {
    case TFileKind::Settings:
    case TFileKind::NorviSettings: {
        TAppConfig &config = RunningConfig(kind, folder);
        config.SetPortNumber(PortFor(n), false);
        if (!config.SaveSettings())
            throw std::runtime_error("the settings were not saved");
        return;
    }
    case TFileKind::PortMap: {
        TPortMap map(target);
        for (const auto &[number, path] : PortEntries(n))
            map.Set(number, path);
        std::string error;
        if (!map.Save(&error))
            throw std::runtime_error(error);
        return;
    }
    case TFileKind::Gcf:
        // What a save of the connected controller writes once it has read it.
        BuildGcf(ImageOf(n), {}, kInfo).Save(target);
        return;
    case TFileKind::Backup: {
        const TFileOpResult r = SaveBackupFile(ImageOf(n), {}, target, kSerial, TBackupReason::Upgrade, kInfo);
        if (!r.Ok)
            throw std::runtime_error(r.Text());
        return;
    }
    case TFileKind::UpgradeRecord:
        SaveUpgradeRecord(folder + "Data", false, RecordOf(n));
        return;
    case TFileKind::Gmf:
        SaveMapFile(target, MapPoints(n, 3), MapPoints(n, 5), Scrambled(n));
        return;
    case TFileKind::Gaf:
        SaveGafThroughProgram(target, n);
        return;
    case TFileKind::CsvExport:
        ExportOscCsv(target, Samples(n));
        return;
    case TFileKind::CsvStream: {
        TOscCsvStream stream;
        stream.SetJournal(RecordingJournalIn(folder));
        std::string error;
        if (!stream.Open(target, error))
            throw std::runtime_error(error);
        for (const TOscSample &s : Samples(n))
            if (!stream.Append(s))
                throw std::runtime_error("a row was not written");
        if (!stream.Close(error))
            throw std::runtime_error(error);
        return;
    }
    }
}

std::string ReadProblem(TFileKind kind, const std::string &bytes)
{
    switch (kind) {
    case TFileKind::Settings:
    case TFileKind::NorviSettings: {
        const TIniFile ini = TIniFile::Parse(bytes);
        if (ini.ReadInteger(TAppConfig::Section, TAppConfig::PortKey, 0) < 2)
            return "no port number";
        return ini.Keys("Window").size() == kFillerKeys ? std::string() : "keys of another program are lost";
    }
    case TFileKind::PortMap: {
        const TPortMapParseResult parse = ParsePortMap(bytes);
        if (!parse.Problems.empty())
            return parse.Problems.front();
        return parse.Entries.size() == kPortMapPaths ? std::string() : "ports are missing";
    }
    case TFileKind::Gcf:
    case TFileKind::Backup:
        return GcfProblem(bytes);
    case TFileKind::UpgradeRecord:
        return RecordProblem(bytes);
    case TFileKind::Gmf:
        return GmfProblem(bytes);
    case TFileKind::Gaf:
        return GafReadProblem(bytes);
    case TFileKind::CsvExport:
    case TFileKind::CsvStream:
        return CsvProblem(bytes);
    }
    return "unknown kind";
}

void CleanUpAfterCrash(TFileKind kind, const std::string &folder, unsigned n)
{
    switch (kind) {
    case TFileKind::Settings:
    case TFileKind::NorviSettings:
        ConfigIn(kind, folder)->LoadSettings();
        return;
    case TFileKind::PortMap: {
        TPortMap map(TargetOf(kind, folder));
        std::string error;
        if (!map.Load(&error))
            throw std::runtime_error(error);
        return;
    }
    case TFileKind::Backup:
        RemoveUnfinishedBackups(TargetOf(kind, folder));
        return;
    case TFileKind::UpgradeRecord:
        LoadUpgradeRecord(folder + "Data", false);
        return;
    case TFileKind::CsvStream:
        RecoverJournaledRecording(RecordingJournalIn(folder));
        return;
    case TFileKind::Gcf:
    case TFileKind::Gmf:
    case TFileKind::Gaf:
    case TFileKind::CsvExport:
        SaveThroughProgram(kind, folder, n);
        return;
    }
}

} // namespace lumex::crashtest
