// The "Mapa korekt" tab of the corrections page: both banks' adaptation
// tables with the cell the engine runs in and the colour of every cell,
// the edit buttons, and the controls of revisions G and H. The rules are
// TOBDAdaptCorrView's; the tab shows the page's copy of the image, takes
// the live fields from each snapshot and asks the page for device work.
#pragma once

#include "calibration/OBDAdaptCorrView.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace lumex {

struct TDeviceSnapshot;

class TAdaptCorrTab : public QWidget
{
public:
    TAdaptCorrTab(TNorviData &image, QWidget *parent = nullptr);

    // One live refresh: the live fields of the snapshot into the image,
    // then the view's rules and what they show.
    void LiveRefresh(const TDeviceSnapshot &snapshot);
    // After a corrections read: the grids from the image.
    void Fill();
    // The full-load petrol time chosen on the bank tab shown.
    std::optional<uint16_t> MaxTbForLoad() const;
    TOBDAdaptCorrView &View() { return view_; }
    int ShownBank() const;

    std::function<void()> OnModified;
    // Bit 0 of model parameter 104 to the controller at once.
    std::function<void()> OnWriteEnableBit;

private:
    struct TBank
    {
        QTableWidget *Rpm = nullptr;
        QTableWidget *Load = nullptr;
        QTableWidget *Corrs = nullptr;
        std::array<QPushButton *, 5> Buttons{};
        QComboBox *MaxTb = nullptr;
        QLabel *Actual = nullptr;
    };
    QWidget *BuildBank(int bank);
    void EditPressed(int bank, TAdaptEdit edit);
    void Show();

    TNorviData &image_;
    TOBDAdaptCorrView view_;
    bool adapterAdaptation_ = false;
    QTabWidget *banks_ = nullptr;
    QCheckBox *enabled_ = nullptr;
    QLabel *active_ = nullptr;
    std::array<TBank, 2> bank_{};
    bool filling_ = false;
};

} // namespace lumex
