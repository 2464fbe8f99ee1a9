#include "configuration/ConfigModified.h"

#include "controller/DataManager.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"

#include <vector>

namespace lumex {

void TModifiedFlag::SetModified(bool modified)
{
    if (modified == modified_)
        return;
    modified_ = modified;
    // A copy: an observer may unsubscribe while it is told.
    std::vector<TObserver> observers;
    for (const auto &[id, observer] : observers_)
        observers.push_back(observer);
    for (const auto &observer : observers)
        observer(modified_);
}

std::size_t TModifiedFlag::Subscribe(TObserver observer)
{
    observers_.emplace(nextId_, std::move(observer));
    return nextId_++;
}

void TModifiedFlag::Unsubscribe(std::size_t id)
{
    observers_.erase(id);
}

bool HasChangeList(const TNorviData &d)
{
    return Is30From(d, "G");
}

TWriteConfirmation::TWriteConfirmation(TDataManager &manager, TModifiedFlag &modified, TAsker ask, TMessageTextFn text)
    : manager_(manager), modified_(modified), ask_(std::move(ask)), text_(std::move(text))
{
}

bool TWriteConfirmation::EntryNeeded() const
{
    return !entryConfirmed_ && HasChangeList(manager_.Data());
}

void TWriteConfirmation::RecordEntry()
{
    entryConfirmed_ = manager_.RecordProgrammingPc();
}

TWriteOutcome TWriteConfirmation::WriteNow(const std::function<bool()> &write)
{
    if (!write())
        return TWriteOutcome::Failed;
    modified_.SetModified(false);
    return TWriteOutcome::Written;
}

TWriteOutcome TWriteConfirmation::Write(const std::function<bool()> &write)
{
    if (modified_.IsModified() && EntryNeeded()) {
        const TQuestion q{text_(msg::strQModChange), text_(msg::strConfirmDataSave), false};
        if (ask_(q) != TAnswer::Yes)
            return TWriteOutcome::Cancelled;
        RecordEntry();
    }
    return WriteNow(write);
}

TLeaveDecision TWriteConfirmation::Leave(const std::function<bool()> &write)
{
    if (!modified_.IsModified())
        return TLeaveDecision::Leave;
    const bool entryNeeded = EntryNeeded();
    const TQuestion q{text_(entryNeeded ? msg::strQModChange : msg::strQuestWriteChangedData),
                      text_(msg::strConfirmDataSave), true};
    switch (ask_(q)) {
    case TAnswer::Cancel:
        return TLeaveDecision::Stay;
    case TAnswer::No:
        modified_.SetModified(false);
        return TLeaveDecision::Leave;
    case TAnswer::Yes:
        break;
    }
    if (entryNeeded)
        RecordEntry();
    return WriteNow(write) == TWriteOutcome::Written ? TLeaveDecision::Leave : TLeaveDecision::Stay;
}

} // namespace lumex
