// Whether another thread of this process is asleep, read from /proc: the
// positive sign that a thread has reached a blocking call (a lock it cannot
// get), where a test would otherwise sleep and hope it had got there.
#pragma once

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

// The calling thread's id, for ThreadAsleepOrGone.
inline pid_t CurrentThreadId()
{
    return ::gettid();
}

// True when thread `tid` sleeps (state S or D) or has ended.
inline bool ThreadAsleepOrGone(pid_t tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return true;
    // "tid (name) S ...": the name may hold spaces and parentheses.
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state == 'S' || state == 'D';
}

// The ids of this process's threads; the difference of two calls finds a
// thread started in between.
inline std::set<pid_t> ThreadIds()
{
    std::set<pid_t> ids;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    return ids;
}

} // namespace testsupport
