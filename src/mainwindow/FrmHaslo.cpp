#include "mainwindow/FrmHaslo.h"

#include "controller/PasswordRules.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace lumex {

namespace {

QLineEdit *PasswordEntry(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(kPasswordMaxLength));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
    return edit;
}

} // namespace

TFrmHaslo::TFrmHaslo(bool locking, QWidget *parent) : QDialog(parent), locking_(locking)
{
    setObjectName("FrmHaslo");
    setWindowTitle(locking ? UiText(msg::strLocking, "Blokowanie sterownika")
                           : UiText(msg::strUnlocking, "Odblokowanie sterownika"));
    auto *form = new QFormLayout(this);
    entry_ = PasswordEntry(this, "EdtPassword");
    auto *label = new QLabel(QStringLiteral("Hasło:"), this);
    label->setObjectName("LblPassword");
    form->addRow(label, entry_);
    if (locking) {
        confirmation_ = PasswordEntry(this, "EdtPassword2");
        auto *again = new QLabel(QStringLiteral("Powtórz hasło:"), this);
        again->setObjectName("LblPassword2");
        form->addRow(again, confirmation_);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(UiText(msg::strOK, "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(UiText(msg::strCancel, "Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TFrmHaslo::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFrmHaslo::reject);
    form->addRow(buttons);
    language_ = AttachLanguage(TLanguageWindowId::Password, this);
}

void TFrmHaslo::accept()
{
    const std::string entry = entry_->text().toStdString();
    std::optional<std::string> confirmation;
    if (locking_)
        confirmation = confirmation_->text().toStdString();
    const TPasswordCheck check = CheckPassword(entry, confirmation);
    if (check != TPasswordCheck::Ok) {
        const auto warning = PasswordWarning(check, [](const std::string &key) { return lumex::MessageText(key); });
        if (warning && ShowMessage)
            ShowMessage(this, {TMessageKind::Warning, QString::fromStdString(warning->Caption),
                               QString::fromStdString(warning->Text)});
        if (warning && warning->FocusConfirmation && confirmation_)
            confirmation_->setFocus();
        else
            entry_->setFocus();
        return;
    }
    password_ = PasswordValue(entry);
    QDialog::accept();
}

TFrmHaslo::~TFrmHaslo() = default;

} // namespace lumex
