#include "serial/PortLock.h"

namespace lumex {

void TPortLock::Lock()
{
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (depth_ > 0 && owner_ == self) {
        ++depth_;
        return;
    }
    released_.wait(guard, [this] { return depth_ == 0; });
    owner_ = self;
    depth_ = 1;
}

bool TPortLock::Unlock()
{
    std::unique_lock guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id())
        return false;
    if (--depth_ == 0) {
        owner_ = std::thread::id();
        guard.unlock();
        released_.notify_one();
    }
    return true;
}

bool TPortLock::HeldByCurrentThread() const
{
    std::lock_guard guard(mutex_);
    return depth_ > 0 && owner_ == std::this_thread::get_id();
}

unsigned TPortLock::Depth() const
{
    std::lock_guard guard(mutex_);
    return depth_;
}

} // namespace lumex
