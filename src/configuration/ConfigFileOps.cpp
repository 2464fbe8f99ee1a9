#include "configuration/ConfigFileOps.h"

#include "calibration/ModelWriteSteps.h"
#include "common/AtomicFile.h"
#include "configuration/FactoryDefaults.h"
#include "controller/CommandCodes.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "controller/StepRun.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/VersionInfo.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace lumex {

namespace {

namespace fs = std::filesystem;

// The file keeps every map point the controller has.
constexpr double kAllMapPoints = std::numeric_limits<double>::max();
constexpr uint8_t kWorkPressParam = 30, kPanelLedParam = 22, kMarkersParam = 14, kMapRangeParam = 19,
                  kTgasTypeParam = 45, kRpmTypeParam = 46, kMaxTbParam = 22, kCMActiveParam = 74, kObdAdaptParam = 104;
constexpr uint8_t kClearPetrolMapG3 = 3, kClearGasMapG3 = 4;

TFileOpResult Failed(std::string message)
{
    TFileOpResult r;
    r.Message = std::move(message);
    return r;
}

bool IsServed(const TNorviData &d)
{
    return d.VersionCode == kVersion14 || d.VersionCode == kVersion15 || d.VersionCode == kVersion30;
}

void WriteModelSteps(TStepRun &run, TDataManager &m, const TImagePoints &points)
{
    run.Steps("model", [&m, &points] {
        TWriteSequence w(m);
        WriteModelLineSteps(w);
        if (m.Data().VersionCode == kVersion30) {
            WriteModel2PointSteps(w, m, false);
            WriteIdlePointSteps(w, m, points.ModelPoints);
        } else {
            for (uint8_t i = kFirstPParam; i <= kLastEParam; ++i)
                w.Model(i);
        }
        return w.Result();
    });
}

void WriteCorrectionSteps(TStepRun &run, TDataManager &m)
{
    const TNorviData &d = m.Data();
    for (TCorrTable t : {TCorrTable::CPS, TCorrTable::CPCOL, TCorrTable::CTG, TCorrTable::CRPM}) {
        if (t == TCorrTable::CPCOL && !Is30From(d, "F"))
            continue;
        run.Step(std::string("WriteCorrTable(") + CorrTableName(t) + ")", [&m, t] { return m.WriteCorrTable(t); });
    }
    run.Model(kCMActiveParam);
    if (Is30From(d, "D")) {
        run.Byte(kTgasTypeParam);
        run.Byte(kRpmTypeParam);
    }
    if (Is30From(d, "G")) {
        run.Model(kObdAdaptParam);
        run.Word(kMaxTbParam);
        for (unsigned bank : {1u, 2u}) {
            for (unsigned half : {0u, 1u})
                run.Step("WriteAdaptationCorr(" + std::to_string(bank) + "," + std::to_string(half) + ")",
                         [&m, bank, half] { return m.WriteAdaptationCorr(bank, half); });
        }
    }
}

// The file's map into a controller from "F": only when the controller has
// no petrol points or the installer agreed to clear them.
void WriteMapSteps(TStepRun &run, TDataManager &m, const TLoadQuestions &questions, const TGcfLoad &load)
{
    TImagePoints current;
    run.Step("ReadMapPoints",
             [&m, &current] { return m.ReadMapPoints(kAllMapPoints, current.PetrolPoints, current.GasPoints); });
    if (current.PetrolPoints.Count > 0) {
        if (!questions.ClearPetrolMap || !questions.ClearPetrolMap())
            return;
        run.Step("ClearMap(3)", [&m] { return m.ClearMap(kClearPetrolMapG3); });
        run.Step("ClearMap(4)", [&m] { return m.ClearMap(kClearGasMapG3); });
    }
    // The clearing may have changed the other words: take the file's first words onto what the controller has now.
    run.Step("ReadMapG3", [&m] { return m.ReadMapG3(); });
    for (std::size_t row = 0; row < kMapG3Rows; ++row)
        m.Data().MapG3[row][0] = load.Image.MapG3[row][0];
    for (unsigned row = 0; row < kMapG3Rows; ++row)
        run.Step("WriteMapG3Row(" + std::to_string(row) + ")", [&m, row] { return m.WriteMapG3Row(row); });
}

void WriteFull30(TStepRun &run, TDataManager &m, const TImagePoints &points, const TLoadQuestions &questions,
                 const TGcfLoad &load)
{
    const TNorviData &d = m.Data();
    run.Step("WriteLevelSensorA", [&m] { return m.WriteLevelSensorA(); });
    run.Step("WriteLevelSensorB", [&m] { return m.WriteLevelSensorB(); });
    run.Byte(kPanelLedParam);
    run.Word(kMarkersParam);
    run.Byte(kMapRangeParam);
    // The working pressure is not part of the configuration write; without
    // it the file's value would be taken and never sent.
    run.Byte(kWorkPressParam);
    WriteCorrectionSteps(run, m);
    run.Steps("configuration", [&m] { return WriteGenerationConfiguration(m); });
    if (Is30From(d, "G"))
        run.Step("WriteInspection", [&m] { return m.WriteInspection(); });
    if (Is30From(d, "D"))
        run.Step("WriteInjCorr", [&m] { return m.WriteInjCorr(); });
    if (Is30From(d, "F"))
        WriteMapSteps(run, m, questions, load);
    WriteModelSteps(run, m, points);
}

void WriteFull1x(TStepRun &run, TDataManager &m, const TImagePoints &points)
{
    WriteModelSteps(run, m, points);
    run.Steps("configuration", [&m] { return WriteGenerationConfiguration(m); });
    run.Step("WriteLevelSensorA", [&m] { return m.WriteLevelSensorA(); });
    run.Step("WriteLevelSensorB", [&m] { return m.WriteLevelSensorB(); });
}

std::string UniqueBackupPath(const std::string &folder, const std::string &name)
{
    const fs::path base = fs::path(folder) / name;
    if (!fs::exists(base))
        return base.string();
    const std::string stem = base.stem().string();
    for (int n = 2;; ++n) {
        const fs::path p = fs::path(folder) / (stem + "-" + std::to_string(n) + ".gcf");
        if (!fs::exists(p))
            return p.string();
    }
}

} // namespace

std::string TFileOpResult::Text() const
{
    std::string text = Message;
    for (const std::string &w : Warnings)
        text += (text.empty() ? "" : "\n") + w;
    if (!FailedSteps.empty()) {
        text += (text.empty() ? "" : "\n") + MessageText(msg::strGcfStepsFailed);
        for (const std::string &s : FailedSteps)
            text += "\n  " + s;
    }
    return text;
}

bool RefreshForFile(TDataManager &manager, TImagePoints &points)
{
    bool ok = ReadFullConfiguration(manager, points, kAllMapPoints);
    // What the configuration read leaves out but the file holds: the panel
    // LED and the working pressure of 3.0, the correction line of 1.4/1.5.
    if (manager.Data().VersionCode == kVersion30) {
        ok = manager.ReadByteParam(kPanelLedParam) && ok;
        ok = manager.ReadByteParam(kWorkPressParam) && ok;
    } else {
        for (uint8_t i = kCorrMultParam; i <= kCorrMaskParam; ++i)
            ok = manager.ReadModelParam(i) && ok;
    }
    return ok && manager.LinkUp;
}

TGcfInfo GcfInfoNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return {text, version::FileVersion};
}

TFileOpResult SaveConfigurationFile(TDataManager &manager, const std::string &path, const TGcfInfo &info)
{
    if (!manager.LinkUp || !IsServed(manager.Data()))
        return Failed(MessageText(msg::strGcfSaveAborted));
    TImagePoints points;
    if (!RefreshForFile(manager, points))
        return Failed(MessageText(msg::strGcfSaveAborted));
    try {
        BuildGcf(manager.Data(), points, info).Save(path);
    } catch (const EFileWriteError &e) {
        return Failed(e.what());
    }
    TFileOpResult r;
    r.Ok = true;
    return r;
}

const char *BackupReasonName(TBackupReason reason)
{
    switch (reason) {
    case TBackupReason::Load:
        return "load";
    case TBackupReason::Defaults:
        return "defaults";
    case TBackupReason::Upgrade:
        return "upgrade";
    }
    return "load";
}

std::string BackupFileName(const std::string &serial, std::time_t when, TBackupReason reason)
{
    std::tm local{};
    ::localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return serial + "-" + stamp + "-" + BackupReasonName(reason) + ".gcf";
}

std::vector<std::string> ListBackups(const std::string &folder, const std::string &serial)
{
    struct TEntry
    {
        fs::file_time_type time;
        std::string path;
    };
    std::vector<TEntry> found;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && name.starts_with(serial + "-") && e.path().extension() == ".gcf")
            found.push_back({e.last_write_time(ec), e.path().string()});
    }
    // The name carries the time to the second; two backups within one second
    // are told apart by the file's own time.
    std::sort(found.begin(), found.end(),
              [](const TEntry &a, const TEntry &b) { return a.time != b.time ? a.time > b.time : a.path > b.path; });
    std::vector<std::string> out;
    out.reserve(found.size());
    for (const auto &e : found)
        out.push_back(e.path);
    return out;
}

TFileOpResult WriteBackup(TDataManager &manager, const std::string &folder, TBackupReason reason, const TGcfInfo &info)
{
    if (!manager.LinkUp || !IsServed(manager.Data()))
        return Failed(MessageText(msg::strGcfBackupFailed));
    TImagePoints points;
    if (!RefreshForFile(manager, points))
        return Failed(MessageText(msg::strGcfBackupFailed));
    return BackupImage(manager, points, folder, reason, info);
}

TFileOpResult BackupImage(TDataManager &manager, const TImagePoints &points, const std::string &folder,
                          TBackupReason reason, const TGcfInfo &info)
{
    const std::string serial = manager.ControllerSerial();
    if (!manager.LinkUp || serial.empty())
        return Failed(MessageText(msg::strGcfBackupFailed));
    return SaveBackupFile(manager.Data(), points, folder, serial, reason, info);
}

TFileOpResult SaveBackupFile(const TNorviData &image, const TImagePoints &points, const std::string &folder,
                             const std::string &serial, TBackupReason reason, const TGcfInfo &info)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string path = UniqueBackupPath(folder, BackupFileName(serial, std::time(nullptr), reason));
    try {
        BuildGcf(image, points, info).Save(path);
    } catch (const EFileWriteError &e) {
        return Failed(MessageText(msg::strGcfBackupFailed) + " " + e.what());
    }
    TFileOpResult r;
    r.Ok = true;
    r.BackupPath = path;
    return r;
}

void RemoveUnfinishedBackups(const std::string &folder)
{
    RemoveStaleTemporariesIn(folder, ".gcf");
}

TFileOpResult LoadConfigurationFile(TDataManager &manager, std::string_view fileText, bool modelOnly,
                                    const TLoadQuestions &questions, const std::string &backupFolder,
                                    const TGcfInfo &info)
{
    if (!manager.LinkUp || !IsServed(manager.Data()))
        return Failed(MessageText(msg::strGcfSaveAborted));
    TImagePoints points;
    if (!RefreshForFile(manager, points))
        return Failed(MessageText(msg::strGcfSaveAborted));
    // The file's values stay in a copy until the installer agrees, so a
    // cancel leaves the image as the controller holds it.
    const TGcfLoad load = ApplyGcf(fileText, manager.Data(), points, modelOnly);
    if (!load)
        return Failed(load.Message);
    TFileOpResult r;
    r.Warnings = load.Warnings;
    const auto differences = GcfDifferences(manager.Data(), points, load, modelOnly);
    if (!questions.Confirm || !questions.Confirm(differences)) {
        r.Cancelled = true;
        return r;
    }
    const TFileOpResult backup = BackupImage(manager, points, backupFolder, TBackupReason::Load, info);
    if (!backup.Ok) {
        r.Message = backup.Message;
        return r;
    }
    r.BackupPath = backup.BackupPath;

    manager.Data() = load.Image;
    TStepRun run(manager);
    if (modelOnly)
        WriteModelSteps(run, manager, load.Points);
    else if (manager.Data().VersionCode == kVersion30)
        WriteFull30(run, manager, load.Points, questions, load);
    else
        WriteFull1x(run, manager, load.Points);
    r.FailedSteps = run.Failed();
    // The image shows what the controller took, not what was sent.
    TImagePoints after;
    const bool readBack = RefreshForFile(manager, after);
    if (!readBack)
        r.FailedSteps.push_back("read-back");
    r.Ok = r.FailedSteps.empty();
    return r;
}

TFileOpResult ResetToFactorySettings(TDataManager &manager, const std::string &backupFolder, const TGcfInfo &info)
{
    TFileOpResult backup = WriteBackup(manager, backupFolder, TBackupReason::Defaults, info);
    if (!backup.Ok)
        return backup;
    TFileOpResult r;
    r.BackupPath = backup.BackupPath;
    const TFactoryResult reset = WriteDefaultConfiguration(manager);
    r.FailedSteps = reset.FailedSteps;
    r.Ok = reset.Ok();
    return r;
}

TDiffResult DiffConfigurationFile(TDataManager &manager, std::string_view fileText)
{
    TDiffResult r;
    TImagePoints points;
    if (!manager.LinkUp || !IsServed(manager.Data()) || !RefreshForFile(manager, points)) {
        r.Message = MessageText(msg::strGcfSaveAborted);
        return r;
    }
    const TGcfLoad load = ApplyGcf(fileText, manager.Data(), points, false);
    if (!load) {
        r.Message = load.Message;
        return r;
    }
    r.Ok = true;
    r.Warnings = load.Warnings;
    r.Differences = GcfDifferences(manager.Data(), points, load, false);
    return r;
}

} // namespace lumex
