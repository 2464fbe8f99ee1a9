#include "calibration/MapAutoRead.h"

namespace lumex {

TMapAutoRead::TMapAutoRead(std::function<void()> read, TClock clock) : read_(std::move(read)), clock_(std::move(clock))
{
}

void TMapAutoRead::SetPageShown(bool shown)
{
    const bool was = Active();
    shown_ = shown;
    Update(was);
}

void TMapAutoRead::SetAutoRefresh(bool ticked)
{
    const bool was = Active();
    ticked_ = ticked;
    Update(was);
}

void TMapAutoRead::Update(bool wasActive)
{
    if (Active() && !wasActive)
        due_ = clock_() + kInterval;
}

bool TMapAutoRead::Tick()
{
    if (!Active())
        return false;
    const auto now = clock_();
    if (now < due_)
        return false;
    // The next read is an interval after this one, however late the tick came.
    due_ = now + kInterval;
    if (read_)
        read_();
    return true;
}

} // namespace lumex
