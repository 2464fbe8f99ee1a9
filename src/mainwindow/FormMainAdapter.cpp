// The adapter page's buttons: settings files and the default configuration.
// The files are chosen here, on the GUI thread; reading, writing and the
// adapter's frames run as jobs on the device thread, whose questions come
// back to this window's question box.
#include "documents/AppConfig.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/FormMultiAdapterInfo.h"
#include "mainwindow/UiText.h"
#include "modules/AskerQuestions.h"
#include "modules/ModuleFile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QStringList>

namespace lumex {

namespace {

// The only section the adapter page saves and loads.
const std::vector<TSection> kAdapterPageSections = {TSection::OBD};

QString QtFileFilter(const QString &filter)
{
    // "Text (*.x)|*.x|Other (*.y)|*.y": the descriptions are Qt's filters.
    const QStringList parts = filter.split('|');
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        names << parts[i];
    return names.join(";;");
}

} // namespace

QString TFormMain::ChooseAdapterFileDialog(bool save)
{
    QFileDialog dialog(adapterInfo_);
    dialog.setNameFilter(QtFileFilter(UiText(msg::strFilterAdapterSettings, QStringLiteral("Settings (*.gaf)|*.gaf"))));
    dialog.setDefaultSuffix("gaf");
    if (config_ != nullptr && !config_->DataFolder().empty())
        dialog.setDirectory(QString::fromStdString(config_->DataFolder()));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().front();
    if (config_ != nullptr)
        config_->SetDataFolder(QFileInfo(path).absolutePath().toStdString());
    return path;
}

void TFormMain::BindAdapterPage()
{
    adapterQuestion_ = std::make_unique<TDeviceQuestion>(
        adapterInfo_,
        [this](QWidget *owner, const TQuestion &q) { return Ask ? Ask(owner, q) : AskQuestionBox(owner, q); },
        &worker_);
    ChooseAdapterFile = [this](bool save) { return ChooseAdapterFileDialog(save); };
    adapterInfo_->OnSaveToFile = [this] {
        const QString path = ChooseAdapterFile(true);
        if (!path.isEmpty())
            RunAdapterOperation(TAdapterOperation::Save, path.toStdString());
    };
    adapterInfo_->OnLoadFromFile = [this] {
        const QString path = ChooseAdapterFile(false);
        if (!path.isEmpty())
            RunAdapterOperation(TAdapterOperation::Load, path.toStdString());
    };
    adapterInfo_->OnDefaultSettings = [this] { RunAdapterOperation(TAdapterOperation::Defaults, {}); };
}

void TFormMain::RunAdapterOperation(TAdapterOperation operation, const std::string &path)
{
    TMainTickHooks &hooks = hooks_;
    TDeviceQuestion &question = *adapterQuestion_;
    QPointer<TFormMain> self(this);
    const std::string caption = title_.toStdString();
    worker_.Post([&hooks, &question, self, operation, path, caption] {
        // Messages of the operation, shown once it is over.
        std::vector<std::string> messages;
        TAskerModuleQuestions questions(question.Asker(), caption,
                                        [&messages](const std::string &text) { messages.push_back(text); });
        TLogic &logic = hooks.Logic();
        bool ok = false;
        std::string done;
        switch (operation) {
        case TAdapterOperation::Save: {
            const TModuleFileResult r = TModuleFile::Save(logic, path, kAdapterPageSections);
            ok = r.Ok;
            if (!r.Ok)
                messages.push_back(r.Message);
            done = MessageTextInForce(msg::strAdpSaved);
            break;
        }
        case TAdapterOperation::Load: {
            // Load shows its own messages through `questions`.
            ok = TModuleFile::Load(logic, path, kAdapterPageSections, false, questions).Ok;
            done = MessageTextInForce(msg::strAdpLoaded);
            break;
        }
        case TAdapterOperation::Defaults: {
            std::string failure;
            ok = logic.AdapterLogic().WriteAdapterDefaults(true, &questions, &failure);
            if (!failure.empty())
                messages.push_back(failure);
            // Without a sub-module there is nothing to write: no success
            // to report either.
            if (ok && !logic.AdapterLogic().DefaultWriters.empty())
                done = MessageTextInForce(msg::strAdpDefaultsWritten);
            break;
        }
        }
        // Detection ran, or the adapter answered or not: the page follows.
        hooks.RefreshAdapter();
        QMetaObject::invokeMethod(
            self.data(),
            [self, ok, done, messages] {
                if (!self)
                    return;
                for (const std::string &text : messages)
                    self->Tell(TMessageKind::Warning, self->title_, QString::fromStdString(text));
                if (ok && !done.empty())
                    self->Tell(TMessageKind::Information, self->title_, QString::fromStdString(done));
                if (self->OnAdapterOperationDone)
                    self->OnAdapterOperationDone(ok);
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumex
