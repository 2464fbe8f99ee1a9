// Progress and cancel of a long device sequence. The device thread runs the
// sequence and asks between two steps whether to go on; a window shows the
// progress and asks for the cancel. A step that has begun always ends, so a
// cancel never cuts a parameter write in half.
#pragma once

#include <atomic>
#include <functional>

namespace lumex {

class TDataManager;

class TSequenceControl
{
public:
    // Any thread: the next step does not start.
    void Cancel() { cancelled_ = true; }
    bool CancelRequested() const { return cancelled_; }

    // The sequence, when it knows how many steps lie ahead; 0 = not known.
    void AddTotal(unsigned steps);
    unsigned Total() const { return total_; }
    // The sequence, after each step that ended.
    void StepDone();
    unsigned Done() const { return done_; }

    // Called on the device thread with (done, total) after each change.
    std::function<void(unsigned done, unsigned total)> OnProgress;

private:
    void Report();

    std::atomic<bool> cancelled_{false};
    std::atomic<unsigned> total_{0};
    std::atomic<unsigned> done_{0};
};

// Hands `control` to the manager's sequences for the scope's lifetime.
class TSequenceScope
{
public:
    TSequenceScope(TDataManager &manager, TSequenceControl *control);
    ~TSequenceScope();
    TSequenceScope(const TSequenceScope &) = delete;
    TSequenceScope &operator=(const TSequenceScope &) = delete;

private:
    TDataManager &manager_;
    TSequenceControl *previous_;
};

// True when the manager's running sequence was asked to stop.
bool SequenceCancelled(const TDataManager &manager);
// Counts one step of the manager's running sequence, if any.
void SequenceStepDone(const TDataManager &manager);
void SequenceAddTotal(const TDataManager &manager, unsigned steps);

} // namespace lumex
