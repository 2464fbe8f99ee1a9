// The recorder behind the oscilloscope page: a ring of W + 1 slots, one per
// pixel column of the panes, that the polling tick fills while recording,
// the OBD channels' zoom bookkeeping, the cursor and its drag, and the
// whole recording since the last reset for export. Its clock is injected
// and monotonic, so sample times survive midnight and clock changes.
#pragma once

#include "mainwindow/OscSample.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace lumex {

using TOscClock = std::function<std::chrono::steady_clock::time_point()>;

// Row of a value on a pane of `height` rows: lo at the bottom row, hi at
// the top, values outside clamped onto the edge rows.
int PixelRow(double value, double low, double high, int height);

// The zoom level (0..4) an OBD value needs on a channel of full range
// [low, high]: the smallest k with low/2^(4-k) <= v < high/2^(4-k).
int ObdZoomLevel(double value, double low, double high);
// The range drawn at zoom level `level`.
std::pair<double, double> ObdZoomRange(double low, double high, int level);

// Time labels: nine per scale row, label k (1..9) under slot 100 × k.
inline constexpr int kTimeLabels = 9;
inline constexpr int kTimeLabelSpacing = 100;

// Samples the recording keeps for export beyond the ring: a working day at
// five samples a second. Longer drives go to the continuous CSV file.
inline constexpr std::size_t kHistoryLimit = std::size_t{8} * 3600 * 5;

class TOscRecorder
{
public:
    explicit TOscRecorder(TOscClock clock = std::chrono::steady_clock::now);

    // --- State ---
    bool Recording() const { return recording_; }
    // Start needs a writable controller (unlocked); false when refused.
    bool Start(uint8_t lockState);
    // Stop is always allowed: a recording must never be stuck running.
    void Stop();
    // Empties every slot and the recording; the position goes to 0 and the
    // time starts again. Recording, if on, goes on from slot 0.
    void Reset();

    // --- Samples ---
    // Stores `sample`, taken at `takenAt`, at the position and moves on.
    // Ignored unless recording. True when an OBD channel's zoom changed,
    // so every point is to be recomputed.
    bool Append(TOscSample sample, std::chrono::steady_clock::time_point takenAt);
    // Called for each sample appended, after it was stored (the continuous
    // CSV file).
    std::function<void(const TOscSample &)> OnSample;

    // --- Ring ---
    // Makes the ring W + 1 slots for a drawing area of `width` columns.
    // Slots that remain keep their samples; new ones are empty. A width of
    // 0 or less is not a drawing area and is ignored. False when unchanged.
    bool Resize(int width);
    int Width() const { return static_cast<int>(slots_.size()) - 1; }
    std::size_t Slots() const { return slots_.size(); }
    const TOscSample &Slot(std::size_t index) const { return slots_[index]; }
    const std::vector<TOscSample> &Ring() const { return slots_; }
    // The slot of the next sample, which is also the slot under the cursor.
    int Position() const { return position_; }
    void SetPosition(int position);

    // Everything recorded since the last reset, oldest first.
    const std::deque<TOscSample> &History() const { return history_; }

    // --- OBD zoom ---
    int ObdDisplayLevel(std::size_t channel) const { return obd_[channel].Level; }
    int ObdLevelCount(std::size_t channel, int level) const { return obd_[channel].Counts[level]; }
    std::pair<double, double> ObdRange(std::size_t channel) const;

    // --- Scale rows ---
    // The time label k shows (1..9), when the ring is longer than its slot
    // and that slot's time is above 0.
    std::optional<double> LabelTime(int k) const;

    // --- Cursor dragging (only while stopped) ---
    bool DragEnabled() const { return !recording_; }
    void BeginDrag(int x);
    // The position at the press plus the distance moved since, within 0..W.
    void DragTo(int x);
    void EndDrag() { dragging_ = false; }
    bool Dragging() const { return dragging_; }

private:
    struct TObdZoom
    {
        std::array<int, kObdZoomLevels> Counts{};
        int Level = 0;
    };
    void RecountObd();
    // Count update for slot `index` about to hold `sample`; true when a
    // display level changed.
    bool UpdateObd(const TOscSample &old, TOscSample &sample);

    TOscClock clock_;
    std::vector<TOscSample> slots_ = std::vector<TOscSample>(1);
    std::deque<TOscSample> history_;
    int position_ = 0;
    std::chrono::steady_clock::time_point start_{};
    bool recording_ = false;
    bool dragging_ = false;
    int dragX_ = 0;
    int dragPosition_ = 0;
    std::array<TObdZoom, kObdChannels> obd_{};
};

} // namespace lumex
