#include "mainwindow/FrmSelectComPort.h"

#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "serial/ComSetupApi.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumex {

TFrmSelectComPort::TFrmSelectComPort(QWidget *parent) : QDialog(parent)
{
    setObjectName("FrmSelectComPort");
    auto *layout = new QVBoxLayout(this);
    ports_ = new QComboBox(this);
    ports_->setObjectName("CmBPorts");
    ports_->setMinimumWidth(320);
    layout->addWidget(ports_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);
    ApplyLanguage();
}

void TFrmSelectComPort::ApplyLanguage()
{
    setWindowTitle(UiText(msg::strSelectPort, "Wybór portu"));
    buttons_->button(QDialogButtonBox::Ok)->setText(UiText(msg::strOK, "OK"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(UiText(msg::strCancel, "Anuluj"));
}

void TFrmSelectComPort::Fill(const std::vector<std::string> &names, const std::vector<std::string> &friendlyNames,
                             int current)
{
    ports_->clear();
    const bool friendly = friendlyNames.size() == names.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int number = PortNumberOfName(names[i]);
        QString text = QString::fromStdString(names[i]);
        if (friendly && !friendlyNames[i].empty())
            text += " - " + QString::fromStdString(friendlyNames[i]);
        ports_->addItem(text, number);
        if (number == current)
            ports_->setCurrentIndex(ports_->count() - 1);
    }
}

std::optional<int> TFrmSelectComPort::SelectedPort() const
{
    if (ports_->currentIndex() < 0)
        return std::nullopt;
    return ports_->currentData().toInt();
}

std::optional<int> SelectComPort(QWidget *parent, int current)
{
    TFrmSelectComPort dialog(parent);
    return SelectComPort(dialog, current);
}

std::optional<int> SelectComPort(TFrmSelectComPort &dialog, int current)
{
    // The dialog may have been made before the last language change.
    dialog.ApplyLanguage();
    std::vector<std::string> names, friendlyNames;
    ListPorts(names, &friendlyNames);
    dialog.Fill(names, friendlyNames, current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.SelectedPort();
}

} // namespace lumex
