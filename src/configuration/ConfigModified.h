// The modified state the configuration and calibration pages share, and the
// confirmation every write of controller settings passes: the change-list
// question asked once per run, and the question on leaving a modified page.
#pragma once

#include "configuration/ProgramLogic.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"

#include <cstddef>
#include <functional>
#include <map>

namespace lumex {

class TDataManager;

// One per program: every write button watches it and turns red while it is set.
class TModifiedFlag
{
public:
    using TObserver = std::function<void(bool modified)>;

    bool IsModified() const { return modified_; }
    // Observers hear of changes only, not of a value set again.
    void SetModified(bool modified);

    // An id for Unsubscribe.
    std::size_t Subscribe(TObserver observer);
    void Unsubscribe(std::size_t id);

private:
    bool modified_ = false;
    std::size_t nextId_ = 0;
    std::map<std::size_t, TObserver> observers_;
};

// What the installer decided on leaving a page.
enum class TLeaveDecision : uint8_t
{
    Stay,
    Leave
};

// Controllers that keep a change list of the PCs that programmed them
// (3.0 from "G").
bool HasChangeList(const TNorviData &d);

// The confirmation before writes. A controller with a change list records
// this PC as its programmer once per run: the first write of modified pages
// asks, and "Yes" records the entry (command 0x55) and is not asked again.
class TWriteConfirmation
{
public:
    TWriteConfirmation(TDataManager &manager, TModifiedFlag &modified, TAsker ask,
                       TMessageTextFn text = MessageTextInForce);

    // Whether this run has recorded the change-list entry.
    bool EntryConfirmed() const { return entryConfirmed_; }

    // A write of the pages (the Write button, Next): asks when needed, runs
    // `write` and clears the modified flag once it succeeds. "No" cancels
    // before anything is sent.
    TWriteOutcome Write(const std::function<bool()> &write);

    // Leaving a page: nothing to ask unless modified. Cancel stays; No
    // leaves and drops the edits (the next page re-reads the controller);
    // Yes writes and leaves only when the write succeeded, so a failed write
    // keeps the installer's edits on screen.
    TLeaveDecision Leave(const std::function<bool()> &write);

private:
    bool EntryNeeded() const;
    // Records the entry; it counts as confirmed only when acknowledged, so a
    // lost record is asked for again.
    void RecordEntry();
    TWriteOutcome WriteNow(const std::function<bool()> &write);

    TDataManager &manager_;
    TModifiedFlag &modified_;
    TAsker ask_;
    TMessageTextFn text_;
    bool entryConfirmed_ = false;
};

} // namespace lumex
