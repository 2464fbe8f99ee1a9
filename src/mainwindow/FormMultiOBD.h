// The OBD window: configuration, live data and trouble codes, embedded in
// the adapter page. Its controls are bound to the window thread's copy of
// the modules; what talks to the adapter is asked of the owner, which runs
// it on the device thread and sends the next snapshot.
#pragma once

#include "adapter/ObdControllerReadings.h"
#include "adapter/ObdWindowSnapshot.h"
#include "mainwindow/ObdWindowDevice.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace lumex {

class TLogicBinding;
class TModuleMirror;

class TFormMultiOBD : public QWidget
{
public:
    TFormMultiOBD(TModuleMirror &mirror, QWidget *parent = nullptr);
    ~TFormMultiOBD() override;

    // The tick: the mirror took the snapshot already.
    void SetSnapshot(const TObdWindowSnapshot &snapshot, bool adapterConnected);
    // The gas controller's readings beside the car's, while the live page
    // is on screen.
    void SetControllerReadings(const TObdControllerReadings &readings);
    // The texts the window composes itself, in the language in force.
    void Retranslate();
    TObdPage CurrentPage() const;
    void ShowPage(TObdPage page);

    // (operation, OBD edits) to run on the device thread.
    std::function<void(TObdOperation, const TModuleEdits &)> OnOperation;
    // The reset question; true to go on.
    std::function<bool(const QString &text)> Confirm;
    std::function<void()> OnPageChanged;
    // An entry the edited settings refused (not a number, or out of the
    // setting's range); the control shows the stored value again.
    std::function<void(const std::string &text)> OnRefused;
    // After an operation: whether it went through.
    void OperationDone(TObdOperation operation, bool ok);

private:
    void BuildConfigPage(QWidget *page);
    void BuildLivePage(QWidget *page);
    void BuildTroublePage(QWidget *page);
    void BuildControllerGroup(QGridLayout *layout, int row);
    void Run(TObdOperation operation);
    void RefreshTexts();
    std::string PageName() const;

    TModuleMirror &mirror_;
    std::unique_ptr<TLogicBinding> binding_;
    TObdWindowSnapshot last_;
    bool adapterConnected_ = false;
    bool busy_ = false;
    QTabWidget *pages_;
    QWidget *configPanel_ = nullptr;
    QComboBox *protocol_ = nullptr;
    QPushButton *connect_ = nullptr;
    QPushButton *detect_ = nullptr;
    QPushButton *read_ = nullptr;
    QPushButton *write_ = nullptr;
    QLineEdit *status_ = nullptr;
    QLabel *linkState_ = nullptr;
    QWidget *adaptGroup_ = nullptr;
    QLabel *limits_ = nullptr;
    QPlainTextEdit *troubles_ = nullptr;
    QPlainTextEdit *freeze_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QPushButton *readErrors_ = nullptr;
    QPushButton *clearErrors_ = nullptr;
    QLabel *checkEngine_ = nullptr;
    QWidget *checkEnginePanel_ = nullptr;
    QLabel *milDistance_ = nullptr;
    // The controller's side of the live page, in TObdControllerReadings order.
    std::array<QLabel *, 7> controller_{};
};

} // namespace lumex
