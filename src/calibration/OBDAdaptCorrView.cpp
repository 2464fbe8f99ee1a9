#include "calibration/OBDAdaptCorrView.h"

#include "controller/Conversions.h"
#include "controller/Version.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace lumex {

namespace {

constexpr int kFull = 255;
constexpr int kGreenBase = 257;
constexpr int kColourStep = 2;
constexpr int kByteBits = 8;

int Step(TAdaptEdit edit, int value)
{
    switch (edit) {
    case TAdaptEdit::Plus1:
        return value + 1;
    case TAdaptEdit::Minus1:
        return value - 1;
    case TAdaptEdit::Plus5:
        return value + 5;
    case TAdaptEdit::Minus5:
        return value - 5;
    case TAdaptEdit::Zero:
        return 0;
    }
    return value;
}

} // namespace

bool ControllerRevisionAtLeast(const TNorviData &d, const char *minimum)
{
    if (d.VersionCode != kVersion30)
        return false;
    std::string letter = d.SoftwareLetter;
    std::transform(letter.begin(), letter.end(), letter.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return LetterAtLeast(letter, minimum);
}

TRgb AdaptCorrColour(int value)
{
    const int v = std::clamp(value, kAdaptCorrMin, kAdaptCorrMax);
    if (v >= 0)
        return {static_cast<uint8_t>(kFull), static_cast<uint8_t>(kFull - kColourStep * v), 0};
    return {static_cast<uint8_t>(kGreenBase + kColourStep * v), static_cast<uint8_t>(kFull), 0};
}

uint32_t RgbValue(TRgb c)
{
    return static_cast<uint32_t>(c.Red) | (static_cast<uint32_t>(c.Green) << kByteBits) |
           (static_cast<uint32_t>(c.Blue) << (2 * kByteBits));
}

int AdaptCellValue(const std::string &text)
{
    int v = 0;
    const char *b = text.data();
    const char *e = b + text.size();
    const auto [ptr, ec] = std::from_chars(b, e, v);
    return b == e || ec != std::errc() || ptr != e ? 0 : v;
}

template <typename T> std::size_t AdaptThresholdIndex(int value, const std::array<T, 10> &thresholds, std::size_t last)
{
    std::size_t index = thresholds.size();
    if (value < static_cast<int>(thresholds[0])) {
        index = 0;
    } else {
        for (std::size_t k = 1; k < thresholds.size(); ++k)
            if (value <= static_cast<int>(thresholds[k])) {
                index = k;
                break;
            }
    }
    return std::min(index, last);
}

template std::size_t AdaptThresholdIndex<uint8_t>(int, const std::array<uint8_t, 10> &, std::size_t);
template std::size_t AdaptThresholdIndex<uint16_t>(int, const std::array<uint16_t, 10> &, std::size_t);

bool TOBDAdaptCorrView::RevisionG() const
{
    return ControllerRevisionAtLeast(image_, "G");
}

bool TOBDAdaptCorrView::RevisionH() const
{
    return ControllerRevisionAtLeast(image_, "H");
}

void TOBDAdaptCorrView::SetControlsState(bool adapterAdaptation)
{
    activeVisible_ = adapterAdaptation && RevisionH();
    // The adapter adapts on its own: the controller must take its
    // corrections, so its switch is turned on for it, once.
    if (RevisionH() && activeVisible_ && (image_.Model_OBDAdaptCorrConfig & kAdaptCorrEnabledBit) == 0) {
        image_.Model_OBDAdaptCorrConfig |= kAdaptCorrEnabledBit;
        ++forcedWrites_;
        if (WriteEnableBit)
            WriteEnableBit();
    }
    editable_ = RevisionG() && !(RevisionH() && adapterAdaptation);
}

void TOBDAdaptCorrView::FillFromImage()
{
    for (std::size_t r = 0; r < kAdaptRows; ++r)
        for (std::size_t c = 0; c < kAdaptColumns; ++c) {
            bank1_[r][c] = std::to_string(image_.AdaptCorrBank1[r][c]);
            bank2_[r][c] = std::to_string(image_.AdaptCorrBank2[r][c]);
        }
}

void TOBDAdaptCorrView::Refresh(bool adapterAdaptation, int shownBank)
{
    if (!RevisionG()) {
        bank1_ = {};
        bank2_ = {};
        editable_ = activeVisible_ = false;
        return;
    }
    SetControlsState(adapterAdaptation);
    if (adapterAdaptation) {
        const TAdaptTable &table = shownBank == 2 ? image_.AdaptCorrBank2 : image_.AdaptCorrBank1;
        TGrid &grid = shownBank == 2 ? bank2_ : bank1_;
        for (std::size_t r = 0; r < kAdaptRows; ++r)
            for (std::size_t c = 0; c < kAdaptColumns; ++c)
                grid[r][c] = std::to_string(table[r][c]);
    }
    SetActualLoadAndRpm(image_.LoadIndex, RpmFromPeriod(image_.RpmPeriod));
}

bool TOBDAdaptCorrView::SetActualLoadAndRpm(int load, int rpm)
{
    const std::pair<std::size_t, std::size_t> cell{AdaptThresholdIndex(load, image_.AdaptInfoBytes, kAdaptRows - 1),
                                                   AdaptThresholdIndex(rpm, image_.AdaptInfoWords, kAdaptColumns - 1)};
    if (cell == current_)
        return false;
    current_ = cell;
    return true;
}

void TOBDAdaptCorrView::SetEnabledInController(bool on)
{
    if (on)
        image_.Model_OBDAdaptCorrConfig |= kAdaptCorrEnabledBit;
    else
        image_.Model_OBDAdaptCorrConfig &= static_cast<uint8_t>(~kAdaptCorrEnabledBit);
}

bool TOBDAdaptCorrView::Edit(int bank, TAdaptSelection sel, TAdaptEdit edit, bool adapterAdaptation)
{
    if (adapterAdaptation)
        return false;
    TGrid &grid = bank == 2 ? bank2_ : bank1_;
    TAdaptTable &table = bank == 2 ? image_.AdaptCorrBank2 : image_.AdaptCorrBank1;
    bool changed = false;
    const std::size_t right = std::min(sel.Right, kAdaptColumns - 1);
    const std::size_t bottom = std::min(sel.Bottom, kAdaptRows - 1);
    for (std::size_t c = sel.Left; c <= right; ++c)
        for (std::size_t r = sel.Top; r <= bottom; ++r) {
            const int v = std::clamp(Step(edit, AdaptCellValue(grid[r][c])), kAdaptCorrMin, kAdaptCorrMax);
            const std::string text = std::to_string(v);
            if (text == grid[r][c])
                continue;
            if (!changed && MarkModified)
                MarkModified();
            changed = true;
            grid[r][c] = text;
            table[r][c] = static_cast<int8_t>(v);
        }
    return changed;
}

uint32_t TOBDAdaptCorrView::CellColour(int bank, std::size_t row, std::size_t column) const
{
    if (current_ == std::pair{row, column})
        return kAdaptCurrentColour;
    return RgbValue(AdaptCorrColour(AdaptCellValue(Grid(bank)[row][column])));
}

std::string TOBDAdaptCorrView::ActualCorrText(int bank) const
{
    return std::to_string(bank == 2 ? image_.CorrMapCountB : image_.CorrMapCountA);
}

} // namespace lumex
