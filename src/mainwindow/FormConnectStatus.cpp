#include "mainwindow/FormConnectStatus.h"

#include "controller/Version.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/UiText.h"
#include "serial/ComSetupApi.h"
#include "widgets/WaitWindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumex {

TFormConnectStatus::TFormConnectStatus(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormConnectStatus");
    // Designed in English: the message catalogue translates it.
    setWindowTitle(QStringLiteral("Connection status"));
    auto *layout = new QVBoxLayout(this);

    auto *ports = new QGroupBox(QStringLiteral("COM ports"), this);
    ports->setObjectName("GrBPorts");
    auto *portsLayout = new QVBoxLayout(ports);
    portPanel_ = new QWidget(ports);
    portGrid_ = new QGridLayout(portPanel_);
    noPorts_ = new QLabel(QStringLiteral("No COM ports found!"), ports);
    noPorts_->setObjectName("PnlNoPorts");
    portsLayout->addWidget(portPanel_);
    portsLayout->addWidget(noPorts_);
    layout->addWidget(ports);

    auto *device = new QGroupBox(QStringLiteral("Controller"), this);
    device->setObjectName("GrBDevice");
    auto *deviceLayout = new QHBoxLayout(device);
    auto *texts = new QVBoxLayout;
    deviceState_ = new QLabel(device);
    deviceState_->setObjectName("LblDevState");
    deviceVersion_ = new QLabel(device);
    deviceVersion_->setObjectName("LblDevVersion");
    texts->addWidget(deviceState_);
    texts->addWidget(deviceVersion_);
    deviceLayout->addLayout(texts, 1);
    update_ = new QPushButton(QStringLiteral("Update..."), device);
    update_->setObjectName("BtnDevUpdate");
    deviceLayout->addWidget(update_);
    layout->addWidget(device);

    auto *adapter = new QGroupBox(UiText(msg::strAdpTitle, QStringLiteral("Adapter")), this);
    adapter->setObjectName("GrBAdapter");
    auto *adapterLayout = new QVBoxLayout(adapter);
    adapterState_ = new QLabel(adapter);
    adapterState_->setObjectName("LblAdapterState");
    adapterVersion_ = new QLabel(adapter);
    adapterVersion_->setObjectName("LblAdapterVersion");
    adapterLayout->addWidget(adapterState_);
    adapterLayout->addWidget(adapterVersion_);
    adapterUpdate_ = new QPushButton(QStringLiteral("Update..."), adapter);
    adapterUpdate_->setObjectName("BtnAdapterUpdate");
    adapterLayout->addWidget(adapterUpdate_);
    layout->addWidget(adapter);

    auto *buttons = new QHBoxLayout;
    auto *refresh = new QPushButton(QStringLiteral("Refresh"), this);
    refresh->setObjectName("BtBRefresh");
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName("BtBClose");
    buttons->addStretch();
    buttons->addWidget(refresh);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    timer_ = new QTimer(this);
    timer_->setObjectName("TimerConnState");
    timer_->setInterval(2000);
    connect(timer_, &QTimer::timeout, this, [this] {
        timer_->stop();
        RefreshPorts();
        timer_->start();
    });
    connect(refresh, &QPushButton::clicked, this, [this] { RefreshPorts(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    const auto upgrade = [this](bool controller) {
        if (!OnUpgrade || upgrading_)
            return;
        // The upgrade owns the device until it ends: no refresh, and the
        // window out of the way of the upgrade window.
        upgrading_ = true;
        timer_->stop();
        placeBeforeUpgrade_ = pos();
        move(x(), -32768);
        OnUpgrade(controller);
    };
    connect(update_, &QPushButton::clicked, this, [upgrade] { upgrade(true); });
    connect(adapterUpdate_, &QPushButton::clicked, this, [upgrade] { upgrade(false); });
    connect(this, &QDialog::finished, this, [this] { timer_->stop(); });
    // The window lives from start-up on; the main window's first show
    // applies the language in force to it.
    if (TLM *lm = TLM::Instance())
        language_ = std::make_unique<TQtLanguageWindow>(*lm, TLanguageWindowId::ConnectStatus, this);
}

void TFormConnectStatus::UpgradeEnded()
{
    if (!upgrading_)
        return;
    upgrading_ = false;
    move(placeBeforeUpgrade_);
    if (isVisible()) {
        RefreshPorts();
        timer_->start();
    }
}

void TFormConnectStatus::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    restoreOffered_ = false;
    RefreshPorts();
    timer_->start();
}

void TFormConnectStatus::hideEvent(QHideEvent *event)
{
    // A hidden window reads nothing from the device.
    timer_->stop();
    QDialog::hideEvent(event);
}

void TFormConnectStatus::SetSnapshot(const TDeviceSnapshot &snapshot)
{
    snapshot_ = snapshot;
    RefreshPanels();
}

void TFormConnectStatus::PortSelectionDone()
{
    if (wait_)
        wait_->Finish();
    waitingForPort_ = 0;
    RefreshPorts();
}

void TFormConnectStatus::RefreshPorts()
{
    std::vector<std::string> names;
    std::vector<std::string> friendly;
    ListPorts(names, &friendly);
    if (names != names_) {
        names_ = names;
        for (QPushButton *b : buttons_)
            delete b;
        buttons_.clear();
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto *button = new QPushButton(QString::fromStdString(names[i]), portPanel_);
            button->setObjectName(QString::fromStdString("BtnPort" + names[i]));
            if (friendly.size() == names.size())
                button->setToolTip(QString::fromStdString(friendly[i]));
            const int number = PortNumberOfName(names[i]);
            connect(button, &QPushButton::clicked, this, [this, number] {
                if (!wait_) {
                    wait_ = new TWaitWindow(this);
                    wait_->SetCancelVisible(false);
                }
                wait_->SetStatusText(UiText(msg::strDevReadingInfo, "Reading device information..."));
                wait_->Begin();
                waitingForPort_ = number;
                if (OnSelectPort)
                    OnSelectPort(number);
            });
            portGrid_->addWidget(button, static_cast<int>(i / 4), static_cast<int>(i % 4));
            buttons_.push_back(button);
        }
        for (QPushButton *b : buttons_) {
            if (PortNumberOfName(b->text().toStdString()) == snapshot_.PortNumber)
                b->setFocus();
        }
    }
    noPorts_->setVisible(names.empty());
    portPanel_->setVisible(!names.empty());
    if (OnReadDeviceInfo && snapshot_.Data.VersionCode != 0)
        OnReadDeviceInfo();
    RefreshPanels();
}

void TFormConnectStatus::RefreshPanels()
{
    const bool answered = snapshot_.LinkUp || snapshot_.Boot.Found();
    for (QPushButton *b : buttons_) {
        const bool current = PortNumberOfName(b->text().toStdString()) == snapshot_.PortNumber;
        QFont f = b->font();
        f.setBold(current);
        b->setFont(f);
        b->setStyleSheet(current ? (answered ? "color: #008000;" : "color: #C00000;") : "");
    }
    const TNorviData &d = snapshot_.Data;
    if (d.VersionCode != 0) {
        deviceState_->setText(UiText(msg::strTextConnected, "Connected"));
        deviceVersion_->setText(QString("%1: %2 (%3)")
                                    .arg(UiText(msg::strTextVersion, "Version"))
                                    .arg(QString::fromStdString(VersionDigits(d.VersionCode) + " " + d.SoftwareLetter))
                                    .arg(QString::fromStdString(d.CompileDate + " " + d.CompileTime)));
        update_->setVisible(true);
        if (snapshot_.LinkUp && isVisible() && !upgrading_ && !restoreOffered_ && OnOfferRestore) {
            restoreOffered_ = true;
            OnOfferRestore();
        }
    } else if (snapshot_.Boot.Found()) {
        deviceState_->setText(UiText(msg::strTextBootloader, "Bootloader"));
        deviceVersion_->setText(QString("%1: %2.%3")
                                    .arg(UiText(msg::strTextVersion, "Version"))
                                    .arg(snapshot_.Boot.BootMajor)
                                    .arg(snapshot_.Boot.BootMinor));
        update_->setVisible(true);
    } else {
        deviceState_->setText(UiText(msg::strTextNotDetected, "Not detected"));
        deviceVersion_->setText(UiText(msg::strTextUnknownVersion, "Unknown version"));
        update_->setVisible(false);
    }
    RefreshAdapterRow();
}

void TFormConnectStatus::RefreshAdapterRow()
{
    const TAdapterPageView v = AdapterPageView(snapshot_.Adapter);
    const bool connected = v.Tone == TAdapterPageTone::Good;
    adapterState_->setText(connected ? UiText(msg::strTextConnected, "Connected")
                                     : UiText(msg::strTextNotDetected, "Not detected"));
    adapterVersion_->setText(connected ? QString("%1: %2 (%3)  %4 %5")
                                             .arg(UiText(msg::strTextVersion, "Version"))
                                             .arg(QString::fromStdString(v.Version))
                                             .arg(QString::fromStdString(v.Built))
                                             .arg(UiText(msg::strAdpSerial, "Serial number:"))
                                             .arg(QString::fromStdString(snapshot_.Adapter.Serial))
                                       : QString::fromStdString(v.Version));
    adapterVersion_->setStyleSheet(v.Tone == TAdapterPageTone::Bad ? "color: #C00000;" : "");
    adapterUpdate_->setVisible(connected);
}

TFormConnectStatus::~TFormConnectStatus() = default;

} // namespace lumex
