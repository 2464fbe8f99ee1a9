// "Auto odczyty": while the map page is shown and the box is ticked, the
// map is read again every 5 seconds. The clock comes from the caller, so a
// test moves time instead of waiting for it.
#pragma once

#include <chrono>
#include <functional>

namespace lumex {

class TMapAutoRead
{
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kInterval{5000};

    TMapAutoRead(std::function<void()> read, TClock clock);

    // The timer runs while both hold; switching it on starts a full interval.
    void SetPageShown(bool shown);
    void SetAutoRefresh(bool ticked);
    bool Active() const { return shown_ && ticked_; }

    // Called by the event loop; reads when an interval has passed. True when it read.
    bool Tick();

private:
    void Update(bool wasActive);

    std::function<void()> read_;
    TClock clock_;
    bool shown_ = false;
    bool ticked_ = false;
    std::chrono::steady_clock::time_point due_{};
};

} // namespace lumex
