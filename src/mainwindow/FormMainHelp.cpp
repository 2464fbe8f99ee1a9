// The main window's schema printout and help menu: the print preview of
// the installation schema, the documentation and the about box.
#include "controller/ControllerLink.h"
#include "documents/FileIo.h"
#include "mainwindow/AboutInfo.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/FormAbout.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/SchemaPage.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QUrl>

namespace lumex {

QString TFormMain::DocumentationFolder()
{
    return QString::fromStdString(ProgramFolder()) + "docs/";
}

void TFormMain::BuildHelpMenu()
{
    auto action = [](QMenu *menu, const char *name, const QString &text) {
        auto *a = menu->addAction(text);
        a->setObjectName(name);
        return a;
    };
    if (auto *file = menuBar()->findChild<QMenu *>("MnIFile")) {
        file->addSeparator();
        auto *print = action(file, "MnIFilePrintSch", QStringLiteral("Drukuj schemat..."));
        print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
        connect(print, &QAction::triggered, this, [this] { schema_->PrintPreview(); });
    }
    auto *help = menuBar()->addMenu(QStringLiteral("Pomo&c"));
    help->setObjectName("MnIHelp");
    auto *docs = action(help, "MnIHelpDocs", QStringLiteral("Dokumentacja"));
    connect(docs, &QAction::triggered, this, [this] { OpenDocumentation(); });
    auto *about = action(help, "MnIHelpAbout", QStringLiteral("O programie..."));
    about->setShortcut(Qt::Key_F1);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    about_ = new TFormAbout(this);
    // The configuration assistant's button does what the menu does.
    wizard_->OnOpenDocumentation = [this] { OpenDocumentation(); };
}

void TFormMain::OpenDocumentation()
{
    // The manual's first page where it is installed, else the folder; a
    // program without either says nothing.
    const QString folder = DocumentationFolder();
    const QString index = folder + "index.html";
    QString target;
    if (QFileInfo::exists(index))
        target = index;
    else if (QFileInfo(folder).isDir())
        target = folder;
    if (target.isEmpty())
        return;
    if (OpenPath)
        OpenPath(target);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

void TFormMain::ShowAbout()
{
    PrepareAbout();
    about_->exec();
}

void TFormMain::OpenAbout()
{
    PrepareAbout();
    about_->show();
}

void TFormMain::PrepareAbout()
{
    about_->Prepare();
    about_->SetDevice({});
    about_->ShowMessage = ShowMessage;
    // The controller is asked on the device thread; its answer fills the
    // box while it is open.
    QPointer<TFormAbout> box(about_);
    worker_.Post([this, box] {
        const TAboutDevice device = ReadAboutDevice(link_.Manager);
        QMetaObject::invokeMethod(
            this,
            [box, device] {
                if (box)
                    box->SetDevice(device);
            },
            Qt::QueuedConnection);
    });
    about_->adjustSize();
    about_->move(geometry().center() - about_->rect().center());
}

} // namespace lumex
