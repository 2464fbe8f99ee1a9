#include "mainwindow/FormMultiAdapterInfo.h"

#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumex {

namespace {

QLabel *Value(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption, std::function<void()> &handler)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    QObject::connect(b, &QPushButton::clicked, parent, [&handler] {
        if (handler)
            handler();
    });
    return b;
}

} // namespace

TFormMultiAdapterInfo::TFormMultiAdapterInfo(QWidget *parent) : QWidget(parent)
{
    setObjectName("TFormMultiAdapterInfo");
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    version_ = Value(this, "LblAdapterVersion");
    versionFull_ = Value(this, "LblAdapterVersionFull");
    built_ = Value(this, "LblAdapterCompilationDateAndTime");
    serial_ = Value(this, "LblAdapterSN");
    form->addRow(UiText(msg::strAdpVersion, QStringLiteral("Version:")), version_);
    form->addRow(UiText(msg::strAdpVersionFull, QStringLiteral("Full version:")), versionFull_);
    form->addRow(UiText(msg::strAdpBuilt, QStringLiteral("Compilation date:")), built_);
    form->addRow(UiText(msg::strAdpSerial, QStringLiteral("Serial number:")), serial_);
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    defaults_ = Button(this, "BtBAdapterDefaultSettings",
                       UiText(msg::strAdpDefaultSettings, QStringLiteral("Default settings")), OnDefaultSettings);
    save_ = Button(this, "BtBAdapterSaveToFile", UiText(msg::strAdpSaveToFile, QStringLiteral("Save to file...")),
                   OnSaveToFile);
    load_ = Button(this, "BtBAdapterLoadFromFile", UiText(msg::strAdpLoadFromFile, QStringLiteral("Load from file...")),
                   OnLoadFromFile);
    buttons->addWidget(defaults_);
    buttons->addWidget(save_);
    buttons->addWidget(load_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    SetSnapshot({});
}

void TFormMultiAdapterInfo::SetSnapshot(const TAdapterSnapshot &snapshot)
{
    const TAdapterPageView v = AdapterPageView(snapshot);
    version_->setText(QString::fromStdString(v.Version));
    version_->setStyleSheet(v.Tone == TAdapterPageTone::Good  ? "color: #008000;"
                            : v.Tone == TAdapterPageTone::Bad ? "color: #C00000;"
                                                              : "");
    versionFull_->setText(QString::fromStdString(v.VersionFull));
    built_->setText(QString::fromStdString(v.Built));
    serial_->setText(QString::fromStdString(v.Serial));
    for (QPushButton *b : {defaults_, save_, load_})
        b->setEnabled(v.ButtonsEnabled);
}

} // namespace lumex
