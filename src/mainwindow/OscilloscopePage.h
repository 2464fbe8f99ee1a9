// The recorder page (TbSDgnOscyloskop): four panes over the recorder's ring,
// the cursor with its handles, the displays at the cursor, the two
// selectors of the fourth pane, the time labels, Start/Stop, Reset, the
// CSV export and the continuous CSV recording.
#pragma once

#include "mainwindow/OscCsv.h"
#include "mainwindow/OscRecorder.h"
#include "widgets/OscPaneWidget.h"

#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace lumex {

class TDigitalDisplay;
class TOscHandleBar;

class TOscilloscopePage : public QWidget
{
public:
    explicit TOscilloscopePage(QWidget *parent = nullptr);
    ~TOscilloscopePage() override;

    TOscRecorder &Recorder() { return recorder_; }
    // The lock state of the last snapshot: Start needs it writable.
    void SetLockState(uint8_t lockState) { lockState_ = lockState; }
    // A sample the device thread took at `takenAt`.
    void AddSample(const TOscSample &sample, std::chrono::steady_clock::time_point takenAt);
    void StartStop();
    void Reset();
    // False with the reason in `error` when the file cannot be written.
    bool ExportCsv(const std::string &path, std::string &error);
    // Rows also go to `path` from now until recording stops.
    bool RecordToCsv(const std::string &path, std::string &error);
    // Where an open recording is named, for the next start to recover it.
    void SetRecordingJournal(std::string journal) { stream_.SetJournal(std::move(journal)); }
    // Tells the device thread whether to take samples.
    std::function<void(bool recording)> OnRecordingChanged;
    // A message for the user (a failed CSV write).
    std::function<void(const QString &text)> OnProblem;

    // A program without OBD offers only the controller's items in the two
    // selectors.
    void HideObdChannels();

    // Sizes the ring to the panes' drawing width unless the page is hidden
    // or the window minimised.
    void FitWidth();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void UpdateControls();
    void Repaint();
    void BeginDrag(int x);
    void DragTo(int x);
    void EndDrag();
    TOscTrace SelectorTrace(int item, uint32_t rgb) const;
    void ApplySelectors();

    TOscRecorder recorder_;
    TOscCsvStream stream_;
    uint8_t lockState_ = 0;
    std::array<TOscPaneWidget *, kOscPanes> panes_{};
    TOscHandleBar *handleTop_ = nullptr, *handleBottom_ = nullptr;
    QPushButton *start_ = nullptr, *reset_ = nullptr, *export_ = nullptr, *continuous_ = nullptr;
    QComboBox *selector1_ = nullptr, *selector2_ = nullptr;
    std::array<TDigitalDisplay *, kOscFixedChannels - 2> displays_{};
    TDigitalDisplay *time_ = nullptr, *wybor1_ = nullptr, *wybor2_ = nullptr;
    std::array<QLabel *, kTimeLabels> labelsTop_{}, labelsBottom_{};
};

} // namespace lumex
