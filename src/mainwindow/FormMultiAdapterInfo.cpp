#include "mainwindow/FormMultiAdapterInfo.h"

#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "mainwindow/UserMessage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

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
    QObject::connect(b, &QPushButton::clicked, parent, [&handler, parent] {
        // A slot boundary: what goes wrong is shown, never passed on.
        try {
            if (handler)
                handler();
        } catch (const std::exception &e) {
            ShowMessageBox(parent, {TMessageKind::Critical, UiText(msg::strTextError, QStringLiteral("Error")),
                                    QString::fromStdString(e.what())});
        }
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
    versionCaption_ = new QLabel(this);
    versionFullCaption_ = new QLabel(this);
    builtCaption_ = new QLabel(this);
    serialCaption_ = new QLabel(this);
    form->addRow(versionCaption_, version_);
    form->addRow(versionFullCaption_, versionFull_);
    form->addRow(builtCaption_, built_);
    form->addRow(serialCaption_, serial_);
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    defaults_ = Button(this, "BtBAdapterDefaultSettings", {}, OnDefaultSettings);
    save_ = Button(this, "BtBAdapterSaveToFile", {}, OnSaveToFile);
    load_ = Button(this, "BtBAdapterLoadFromFile", {}, OnLoadFromFile);
    buttons->addWidget(defaults_);
    buttons->addWidget(save_);
    buttons->addWidget(load_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    Retranslate();
}

void TFormMultiAdapterInfo::Retranslate()
{
    versionCaption_->setText(UiText(msg::strAdpVersion, QStringLiteral("Version:")));
    versionFullCaption_->setText(UiText(msg::strAdpVersionFull, QStringLiteral("Full version:")));
    builtCaption_->setText(UiText(msg::strAdpBuilt, QStringLiteral("Compilation date:")));
    serialCaption_->setText(UiText(msg::strAdpSerial, QStringLiteral("Serial number:")));
    defaults_->setText(UiText(msg::strAdpDefaultSettings, QStringLiteral("Default settings")));
    save_->setText(UiText(msg::strAdpSaveToFile, QStringLiteral("Save to file...")));
    load_->setText(UiText(msg::strAdpLoadFromFile, QStringLiteral("Load from file...")));
    // "unknown" and "Incompatible version" follow the language too.
    SetSnapshot(snapshot_);
}

void TFormMultiAdapterInfo::SetSnapshot(const TAdapterSnapshot &snapshot)
{
    snapshot_ = snapshot;
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
