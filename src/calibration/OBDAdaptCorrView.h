// The OBD adaptation corrections tab without its window: both banks' grid
// texts, the cell the engine runs in, the cell colours, editing a selected
// block, and the rules of firmware revisions G and H. Windows bind to the
// texts and flags and call Refresh on every live refresh.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace lumex {

inline constexpr std::size_t kAdaptColumns = 10;
inline constexpr int kAdaptCorrMin = -127;
inline constexpr int kAdaptCorrMax = 127;
// The background of the current cell, row and column (mid grey).
inline constexpr uint32_t kAdaptCurrentColour = 8421504;
// Bit 0 of Model_OBDAdaptCorrConfig: adaptation on in the controller.
inline constexpr uint8_t kAdaptCorrEnabledBit = 0x01;
inline constexpr uint8_t kAdaptCorrConfigParam = 104;

struct TRgb
{
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    bool operator==(const TRgb &) const = default;
};

// Yellow at 0, towards red for positive corrections, towards green for
// negative ones; values outside -127..127 are taken at the limit.
TRgb AdaptCorrColour(int value);
// A cell's text as a number; empty or no number is 0.
int AdaptCellValue(const std::string &text);
// The row (or column) a value falls in by its ten thresholds: 0 below the
// first, otherwise the first k with value <= threshold k, else 10; at most
// `last`.
template <typename T> std::size_t AdaptThresholdIndex(int value, const std::array<T, 10> &thresholds, std::size_t last);

enum class TAdaptEdit
{
    Plus1,
    Minus1,
    Plus5,
    Minus5,
    Zero
};

// A rectangle of selected cells, inclusive.
struct TAdaptSelection
{
    std::size_t Top = 0;
    std::size_t Left = 0;
    std::size_t Bottom = 0;
    std::size_t Right = 0;
};

class TOBDAdaptCorrView
{
public:
    using TGrid = std::array<std::array<std::string, kAdaptColumns>, kAdaptRows>;

    explicit TOBDAdaptCorrView(TNorviData &image) : image_(image) {}

    // Sends model parameter 104 from the image; the owner's controller link.
    std::function<bool()> WriteEnableBit;
    // Marks the corrections page modified.
    std::function<void()> MarkModified;

    bool RevisionG() const;
    bool RevisionH() const;

    // One live refresh. `adapterAdaptation` is the adapter's own adaptation
    // switch; `shownBank` 1 or 2, the tab on screen.
    void Refresh(bool adapterAdaptation, int shownBank);
    // The rules of the controls alone (run by Refresh).
    void SetControlsState(bool adapterAdaptation);
    // Stores the cell the engine is in; true when it moved.
    bool SetActualLoadAndRpm(int load, int rpm);
    // A bank tab change puts the current cell back at (0, 0).
    void BankTabChanged() { current_ = {0, 0}; }
    // The "activate" check box: bit 0 of the controller's flag in the image.
    void SetEnabledInController(bool on);
    // One edit button on a bank's selection; true when a cell changed.
    bool Edit(int bank, TAdaptSelection selection, TAdaptEdit edit, bool adapterAdaptation);
    // Fills both grids from the image (after a corrections read).
    void FillFromImage();

    const TGrid &Grid(int bank) const { return bank == 2 ? bank2_ : bank1_; }
    std::pair<std::size_t, std::size_t> Current() const { return current_; }
    // A correction cell's background: grey for the current cell.
    uint32_t CellColour(int bank, std::size_t row, std::size_t column) const;
    bool Editable() const { return editable_; }
    bool ActiveTextVisible() const { return activeVisible_; }
    std::string ActualCorrText(int bank) const;
    // How many times the enable bit was forced to the controller.
    int ForcedWrites() const { return forcedWrites_; }

private:
    TNorviData &image_;
    TGrid bank1_{};
    TGrid bank2_{};
    std::pair<std::size_t, std::size_t> current_{0, 0};
    bool editable_ = false;
    bool activeVisible_ = false;
    int forcedWrites_ = 0;
};

// Generation 0x30 with a firmware letter, upper-cased, at or above
// `minimum`.
bool ControllerRevisionAtLeast(const TNorviData &d, const char *minimum);

// Colour as the platform's 0x00BBGGRR value.
uint32_t RgbValue(TRgb c);

} // namespace lumex
