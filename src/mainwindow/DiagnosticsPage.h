// The diagnostics tab (TbSDiagnostic): the recorder, the trouble-code page
// and the advanced page. Device work runs on the device thread; results
// come back as values, so the pages never wait for the serial line.
#pragma once

#include "mainwindow/AdvancedDiagnostics.h"

#include <QTabWidget>
#include <array>
#include <functional>

class QLabel;
class QPushButton;

namespace lumex {

class TDeviceWorker;
class TOscilloscopePage;
class TTroubleCodePage;

class TDiagnosticsPage : public QTabWidget
{
public:
    TDiagnosticsPage(TDeviceWorker &worker, QWidget *parent = nullptr);

    TOscilloscopePage *Oscilloscope() const { return osc_; }
    QWidget *TroubleCodes() const;
    QWidget *Advanced() const { return advanced_; }

    void SetLockState(uint8_t lockState);
    // The advanced page's controls, for boards that have them (IdentByte3 not 0).
    void SetAdvancedPanelShown(bool shown);
    // Reads and shows the trouble codes (also on entering the page).
    void ReadTroubleCodes();
    void ClearTroubleCodes();
    // Rebuilds the lists from the codes already read, in the language in force.
    void RebuildTroubleLists();
    void ReadAdvanced();
    void RunAdvanced(TAdvancedAction action, uint8_t mask = 0);

    // The lists as shown, for tests.
    QString ActiveText() const;
    QString StoredText() const;
    QString FreezeFrameText() const;
    // Runs after each trouble-code read was shown.
    std::function<void()> OnTroubleCodesShown;
    std::function<void(const QString &text)> OnProblem;
    // "Testy wtryskiwaczy gazowych": the window owns the injector test.
    std::function<void()> OnShowInjectorTest;

private:
    void ShowAdvanced(const TAdvancedPage &page);
    TAdvancedPage SwitchesAsSet() const;
    template <class TResult>
    void OnDevice(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done);

    TDeviceWorker &worker_;
    uint8_t lockState_ = 0;
    TOscilloscopePage *osc_ = nullptr;
    TTroubleCodePage *trouble_ = nullptr;
    QWidget *advanced_ = nullptr, *advancedPanel_ = nullptr;
    std::array<QPushButton *, kCylinders> switches_{};
    QPushButton *valve_ = nullptr;
    QLabel *emergency_ = nullptr, *boardTemp_ = nullptr;
    TAdvancedPage lastAdvanced_;
};

} // namespace lumex
