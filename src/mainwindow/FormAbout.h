// The about box: the program's name, version and build date, the logo, what
// the connected controller says about itself, the support lines, and a
// click on the icon that copies it all for the support desk.
#pragma once

#include "mainwindow/AboutInfo.h"
#include "mainwindow/UserMessage.h"

#include <QDialog>
#include <QLabel>
#include <functional>
#include <memory>
#include <string>

namespace lumex {

class TQtLanguageWindow;

class TFormAbout : public QDialog
{
public:
    explicit TFormAbout(QWidget *parent = nullptr);
    ~TFormAbout() override;

    // Fills the program's fields and the logo ("_data.reg" of the resource
    // folder, the program's own when empty; nothing when it is missing).
    void Prepare(const std::string &resourceFolder = {});
    // The controller's fields; unknown ones read "strUnknown".
    void SetDevice(const TAboutDevice &device);
    // The five lines built from the texts on screen.
    QString ClipboardText() const;
    // What a click on the icon does: the clipboard, then one message.
    void CopyToClipboard();
    bool HasLogo() const;
    // Whether a controller's answer fills the device fields.
    bool HasDevice() const { return deviceKnown_; }

    TMessagePresenter ShowMessage = ShowMessageBox;

private:
    QLabel *icon_, *productName_, *fileVersionLabel_, *fileVersion_, *dateLabel_, *buildDate_, *logo_;
    QLabel *deviceLabel_, *deviceVersion_, *compilationTime_, *serialLabel_, *serial_;
    bool messageShowing_ = false;
    bool deviceKnown_ = false;
    std::unique_ptr<TQtLanguageWindow> language_;
};

} // namespace lumex
