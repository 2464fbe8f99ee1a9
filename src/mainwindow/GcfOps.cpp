#include "mainwindow/GcfOps.h"

#include "controller/DataManager.h"
#include "documents/FileIo.h"
#include "documents/IniFile.h"

#include <QMetaObject>
#include <utility>

namespace lumex {

std::optional<std::string> ReadGcfText(const QString &path)
{
    try {
        return ReadWholeFile(path.toStdString(), TIniFile::MaxFileSize);
    } catch (const EFileReadError &) {
        return std::nullopt;
    }
}

template <class TResult>
void TGcfOps::Run(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done)
{
    QPointer<QObject> context = context_;
    worker_.PostJob([context, job = std::move(job), done = std::move(done)](TDataManager &manager) {
        TResult result = job(manager);
        if (context.isNull() || !done)
            return;
        QMetaObject::invokeMethod(
            context.data(), [done, result = std::move(result)] { done(result); }, Qt::QueuedConnection);
    });
}

void TGcfOps::Save(const std::string &path, TFileDone done)
{
    Run<TFileOpResult>([path](TDataManager &m) { return SaveConfigurationFile(m, path, GcfInfoNow()); },
                       std::move(done));
}

void TGcfOps::Diff(const std::string &fileText, TDiffDone done)
{
    Run<TDiffResult>([fileText](TDataManager &m) { return DiffConfigurationFile(m, fileText); }, std::move(done));
}

void TGcfOps::Load(const std::string &fileText, const std::vector<TGcfDifference> &shown, TLoadQuestions questions,
                   const std::string &backupFolder, TFileDone done)
{
    questions.Confirm = [shown](const std::vector<TGcfDifference> &now) { return now == shown; };
    Run<TFileOpResult>(
        [fileText, questions, backupFolder](TDataManager &m) {
            return LoadConfigurationFile(m, fileText, false, questions, backupFolder, GcfInfoNow());
        },
        std::move(done));
}

void TGcfOps::ResetToFactory(const std::string &backupFolder, TFileDone done)
{
    Run<TFileOpResult>(
        [backupFolder](TDataManager &m) { return ResetToFactorySettings(m, backupFolder, GcfInfoNow()); },
        std::move(done));
}

void TGcfOps::ListControllerBackups(const std::string &backupFolder, TBackupsDone done)
{
    Run<std::vector<std::string>>(
        [backupFolder](TDataManager &m) {
            const std::string serial = m.ControllerSerial();
            return serial.empty() ? std::vector<std::string>{} : ListBackups(backupFolder, serial);
        },
        std::move(done));
}

} // namespace lumex
