// A re-entrant lock that knows its owner. A request written by one thread
// keeps the lock until the answer has been checked, possibly in another
// call frame, so the owner must be tracked explicitly: releasing a lock the
// calling thread does not hold is reported instead of corrupting the state.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace lumex {

class TPortLock
{
public:
    void Lock();
    // false when the calling thread does not hold the lock; nothing changes.
    [[nodiscard]] bool Unlock();
    bool HeldByCurrentThread() const;
    // How often the current owner has entered; 0 when free.
    unsigned Depth() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    unsigned depth_ = 0;
};

} // namespace lumex
