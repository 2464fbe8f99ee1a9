// The firmware upgrade window. The upgrade session lives on the device
// thread: every button posts its work there and the window shows the view
// that comes back, the progress and the time. While a job runs the window is
// busy: the buttons do nothing and it refuses to close.
#pragma once

#include "mainwindow/QuestionBox.h"
#include "mainwindow/UserMessage.h"
#include "upgrade/UpgraderView.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;
class QComboBox;

namespace lumex {

class TDeviceQuestion;
class TDeviceWorker;
class TQtLanguageWindow;
class TUpgradeSession;

// The file the installer picks; empty when cancelled. `filterIndex` is the
// entry the dialog starts with (kFilterUpg or kFilterUpx).
using TFirmwareFileChooser = std::function<QString(QWidget *owner, const QString &folder, int filterIndex)>;
QString ChooseFirmwareFileDialog(QWidget *owner, const QString &folder, int filterIndex);

class TFormUpgrader : public QDialog
{
public:
    // `session` is used on the worker's thread only and outlives the window.
    TFormUpgrader(TUpgradeSession &session, TDeviceWorker &worker, QWidget *parent = nullptr);
    ~TFormUpgrader() override;

    // Runs on the device thread before the window's connect: resets the
    // link of the main port.
    std::function<void()> OnConnect;
    TMessagePresenter ShowMessage = ShowMessageBox;
    TFirmwareFileChooser ChooseFile = ChooseFirmwareFileDialog;
    // The folder the file dialog opens.
    QString DataFolder;
    // The update's Yes/No question (tests answer it).
    void SetQuestionPresenter(TQuestionPresenter present);

    bool Busy() const { return busy_; }
    bool Done() const { return view_.Done; }
    bool ConnectOk() const { return connectOk_; }
    const TUpgraderView &View() const { return view_; }

    // The buttons' actions (ignored while busy).
    void BtBConnectClick();
    void BtnLoadDataClick();
    void BtnUpdateClick();
    // Enters the bootloader as the window opens; `then` hears whether the
    // device can be upgraded.
    void EnterBootloader(std::function<void(bool)> then);
    // The port selector is the main window's, not this window's.
    void HidePortSelector();

    // Controls (tests, screenshots).
    QPushButton *LoadDataButton() const { return btnLoadData_; }
    QPushButton *UpdateButton() const { return btnUpdate_; }
    QPushButton *ConnectButton() const { return btBConnect_; }
    QPushButton *CloseButton() const { return btnClose_; }
    QLabel *TimeLabel() const { return lblTime_; }
    QProgressBar *Progress() const { return prBProgram_; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    void done(int result) override;
    void showEvent(QShowEvent *event) override;

private:
    // Runs `job` on the device thread; `then` runs on this window's thread
    // with the view taken after it. Nothing while busy.
    bool Run(std::function<bool()> job, std::function<void(bool)> then);
    void BindSession();
    void SetView(const TUpgraderView &view);
    void Tell(TMessageKind kind, const QString &text);
    // The buttons that do nothing while a job runs look it.
    void ShowBusy(bool busy);
    void StartTime();
    void TickTime();
    void StopTime();
    void SetRemaining(long seconds);

    TUpgradeSession &session_;
    TDeviceWorker &worker_;
    std::unique_ptr<TDeviceQuestion> question_;
    TUpgraderView view_;
    bool busy_ = false;
    bool connectOk_ = false;
    bool closed_ = false;
    long remaining_ = -1;
    QElapsedTimer started_;

    QLabel *lblComm_;
    QComboBox *cmBCommNo_;
    QPushButton *btnOpen_;
    QLineEdit *edtFileName_;
    QProgressBar *prBProgram_;
    QLabel *lblBootloaderVer_;
    QLabel *lblFirmwareVer_;
    QLineEdit *edtDescDevice_;
    QLineEdit *edtDescFile_;
    QWidget *pnlTime_;
    QLabel *lblTime_;
    QPushButton *btnLoadData_;
    QWidget *pnlUpdate_;
    QPushButton *btnUpdate_;
    QPushButton *btBConnect_;
    QPushButton *btnClose_;
    QTimer *timerUpdateTime_;
    std::unique_ptr<TQtLanguageWindow> language_;
};

} // namespace lumex
