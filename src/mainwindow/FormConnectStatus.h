// The connection status window: one button per serial port (the current
// one bold, green while the controller answers), the device panel and a
// refresh every two seconds while it is shown. It is made once, at
// start-up, and shown on demand.
#pragma once

#include "mainwindow/DeviceSnapshot.h"

#include <QDialog>
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
    QTimer *timer_;
    TWaitWindow *wait_ = nullptr;
    std::vector<QPushButton *> buttons_;
    std::vector<std::string> names_;
    TDeviceSnapshot snapshot_;
    int waitingForPort_ = 0;
    std::unique_ptr<TQtLanguageWindow> language_;
};

} // namespace lumex
