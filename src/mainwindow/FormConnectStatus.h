// The connection status window: one button per serial port (the current
// one bold, green while the controller answers), the device panel and a
// refresh every two seconds while it is shown. It is made once, at
// start-up, and shown on demand.
#pragma once

#include "mainwindow/DeviceSnapshot.h"

#include <QDialog>
#include <QPoint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace lumex {

class TQtLanguageWindow;

class TWaitWindow;

class TFormConnectStatus : public QDialog
{
public:
    explicit TFormConnectStatus(QWidget *parent = nullptr);
    ~TFormConnectStatus() override;

    // The latest device state; the panels follow it.
    void SetSnapshot(const TDeviceSnapshot &snapshot);
    // Rebuilds the port buttons and the panels.
    void RefreshPorts();
    // The owner's port selection has run on the device.
    void PortSelectionDone();

    // Asked of the owner: select port n; read the device's identification.
    std::function<void(int)> OnSelectPort;
    std::function<void()> OnReadDeviceInfo;
    // Asked of the owner: upgrade the controller (true) or the adapter.
    std::function<void(bool controller)> OnUpgrade;
    // Asked of the owner once per showing, when the controller answers:
    // offer the settings saved before an upgrade.
    std::function<void()> OnOfferRestore;
    // The owner's upgrade is over: the window comes back and refreshes.
    void UpgradeEnded();
    QPushButton *DeviceUpdateButton() const { return update_; }
    QPushButton *AdapterUpdateButton() const { return adapterUpdate_; }

    const std::vector<QPushButton *> &PortButtons() const { return buttons_; }
    QLabel *DeviceState() const { return deviceState_; }
    QLabel *DeviceVersion() const { return deviceVersion_; }
    QLabel *AdapterState() const { return adapterState_; }
    QLabel *AdapterVersion() const { return adapterVersion_; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void RefreshPanels();
    void RefreshAdapterRow();

    QWidget *portPanel_;
    QGridLayout *portGrid_;
    QLabel *noPorts_;
    QLabel *deviceState_;
    QLabel *deviceVersion_;
    QLabel *adapterState_ = nullptr;
    QLabel *adapterVersion_ = nullptr;
    QPushButton *update_;
    QPushButton *adapterUpdate_ = nullptr;
    QPoint placeBeforeUpgrade_;
    bool upgrading_ = false;
    bool restoreOffered_ = false;
    QTimer *timer_;
    TWaitWindow *wait_ = nullptr;
    std::vector<QPushButton *> buttons_;
    std::vector<std::string> names_;
    TDeviceSnapshot snapshot_;
    int waitingForPort_ = 0;
    std::unique_ptr<TQtLanguageWindow> language_;
};

} // namespace lumex
