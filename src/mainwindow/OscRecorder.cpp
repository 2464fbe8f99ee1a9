#include "mainwindow/OscRecorder.h"

#include "controller/LockState.h"

#include <algorithm>
#include <cmath>

namespace lumex {

int PixelRow(double value, double low, double high, int height)
{
    if (!(high > low) || height <= 0)
        return height > 0 ? height : 0;
    const double v = std::clamp(value, low, high);
    return static_cast<int>(std::lround(height - (v - low) * height / (high - low)));
}

std::pair<double, double> ObdZoomRange(double low, double high, int level)
{
    const double divisor = std::ldexp(1.0, kObdFullZoom - std::clamp(level, 0, kObdFullZoom));
    return {low / divisor, high / divisor};
}

int ObdZoomLevel(double value, double low, double high)
{
    int k = 0;
    while (k < kObdFullZoom) {
        const auto [lo, hi] = ObdZoomRange(low, high, k);
        if (lo <= value && value < hi)
            break;
        ++k;
    }
    return k;
}

TOscRecorder::TOscRecorder(TOscClock clock) : clock_(std::move(clock))
{
    start_ = clock_();
    RecountObd();
}

bool TOscRecorder::Start(uint8_t lockState)
{
    if (recording_)
        return true;
    if (lockState != kLockUnlocked)
        return false;
    start_ = clock_();
    recording_ = true;
    dragging_ = false;
    return true;
}

void TOscRecorder::Stop()
{
    recording_ = false;
}

void TOscRecorder::Reset()
{
    std::fill(slots_.begin(), slots_.end(), TOscSample{});
    history_.clear();
    position_ = 0;
    start_ = clock_();
    RecountObd();
}

bool TOscRecorder::UpdateObd(const TOscSample &old, TOscSample &sample)
{
    bool changed = false;
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        TObdZoom &z = obd_[c];
        const TObdChannelInfo &info = ObdChannelInfo(c);
        --z.Counts[std::clamp<int>(old.ObdZoom[c], 0, kObdFullZoom)];
        const int level = ObdZoomLevel(sample.Obd[c], info.Low, info.High);
        sample.ObdZoom[c] = static_cast<uint8_t>(level);
        ++z.Counts[level];
        int shown = 0;
        for (int k = kObdFullZoom; k > 0; --k) {
            if (z.Counts[k] > 0) {
                shown = k;
                break;
            }
        }
        if (shown != z.Level) {
            z.Level = shown;
            changed = true;
        }
    }
    return changed;
}

bool TOscRecorder::Append(TOscSample sample, std::chrono::steady_clock::time_point takenAt)
{
    if (!recording_)
        return false;
    sample.Taken = true;
    sample.Time = std::chrono::duration<double>(takenAt - start_).count();
    if (position_ < 0 || position_ >= static_cast<int>(slots_.size()))
        position_ = 0;
    const auto slot = static_cast<std::size_t>(position_);
    const bool rescale = UpdateObd(slots_[slot], sample);
    slots_[slot] = sample;
    history_.push_back(sample);
    if (history_.size() > kHistoryLimit)
        history_.pop_front();
    position_ = position_ + 1 >= static_cast<int>(slots_.size()) ? 0 : position_ + 1;
    if (OnSample)
        OnSample(sample);
    return rescale;
}

bool TOscRecorder::Resize(int width)
{
    if (width <= 0 || width == Width())
        return false;
    slots_.resize(static_cast<std::size_t>(width) + 1);
    position_ = std::clamp(position_, 0, width);
    RecountObd();
    return true;
}

void TOscRecorder::SetPosition(int position)
{
    position_ = std::clamp(position, 0, Width());
}

std::pair<double, double> TOscRecorder::ObdRange(std::size_t channel) const
{
    const TObdChannelInfo &info = ObdChannelInfo(channel);
    return ObdZoomRange(info.Low, info.High, obd_[channel].Level);
}

std::optional<double> TOscRecorder::LabelTime(int k) const
{
    const auto slot = static_cast<std::size_t>(kTimeLabelSpacing) * static_cast<std::size_t>(k);
    if (k < 1 || k > kTimeLabels || slots_.size() <= slot || !(slots_[slot].Time > 0))
        return std::nullopt;
    return slots_[slot].Time;
}

void TOscRecorder::BeginDrag(int x)
{
    if (!DragEnabled())
        return;
    dragging_ = true;
    dragX_ = x;
    dragPosition_ = position_;
}

void TOscRecorder::DragTo(int x)
{
    if (!dragging_)
        return;
    SetPosition(dragPosition_ + (x - dragX_));
}

void TOscRecorder::RecountObd()
{
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        TObdZoom &z = obd_[c];
        const TObdChannelInfo &info = ObdChannelInfo(c);
        z = {};
        for (TOscSample &s : slots_) {
            const int level = ObdZoomLevel(s.Obd[c], info.Low, info.High);
            s.ObdZoom[c] = static_cast<uint8_t>(level);
            ++z.Counts[level];
            z.Level = std::max(z.Level, level);
        }
    }
}

} // namespace lumex
