// The password dialog for locking and unlocking the controller: digits
// only, at most nine, masked; a confirmation entry when locking.
#pragma once

#include "mainwindow/UserMessage.h"

#include <QDialog>
#include <cstdint>
#include <memory>

class QLineEdit;

namespace lumex {

class TQtLanguageWindow;

class TFrmHaslo : public QDialog
{
public:
    TFrmHaslo(bool locking, QWidget *parent = nullptr);
    ~TFrmHaslo() override;

    // The number to send, valid after the dialog was accepted.
    uint32_t Password() const { return password_; }
    QLineEdit *Entry() const { return entry_; }
    QLineEdit *Confirmation() const { return confirmation_; }

    void accept() override;

    // A refused entry is told through here; the owning window passes its own.
    TMessagePresenter ShowMessage = ShowMessageBox;

private:
    bool locking_;
    QLineEdit *entry_;
    QLineEdit *confirmation_ = nullptr;
    uint32_t password_ = 0;
    std::unique_ptr<TQtLanguageWindow> language_;
};

} // namespace lumex
