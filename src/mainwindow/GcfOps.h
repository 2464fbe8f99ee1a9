// The configuration file operations of a main window on its device
// thread: save, compare, load, the factory settings and the backups of the
// connected controller. Results come back on the window's thread.
#pragma once

#include "configuration/ConfigFileOps.h"
#include "controller/JobPoster.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

// The text of a configuration file the user chose; nothing when it is
// missing, unreadable or larger than any configuration file can be.
std::optional<std::string> ReadGcfText(const QString &path);

class TGcfOps
{
public:
    TGcfOps(TJobPoster &worker, QObject *context) : worker_(worker), context_(context) {}

    using TFileDone = std::function<void(const TFileOpResult &)>;
    using TDiffDone = std::function<void(const TDiffResult &)>;
    using TBackupsDone = std::function<void(const std::vector<std::string> &paths)>;

    void Save(const std::string &path, TFileDone done);
    void Diff(const std::string &fileText, TDiffDone done);
    // Writes the file only while the controller still differs from it
    // exactly as `shown`: a change in between cancels the load.
    void Load(const std::string &fileText, const std::vector<TGcfDifference> &shown, TLoadQuestions questions,
              const std::string &backupFolder, TFileDone done);
    void ResetToFactory(const std::string &backupFolder, TFileDone done);
    // The backups of the connected controller, newest first.
    void ListControllerBackups(const std::string &backupFolder, TBackupsDone done);

private:
    template <class TResult>
    void Run(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done);

    TJobPoster &worker_;
    QPointer<QObject> context_;
};

} // namespace lumex
