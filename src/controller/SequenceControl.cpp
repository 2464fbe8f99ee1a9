#include "controller/SequenceControl.h"

#include "controller/DataManager.h"

namespace lumex {

void TSequenceControl::AddTotal(unsigned steps)
{
    total_ += steps;
    Report();
}

void TSequenceControl::StepDone()
{
    ++done_;
    Report();
}

void TSequenceControl::Report()
{
    if (OnProgress)
        OnProgress(done_, total_);
}

TSequenceScope::TSequenceScope(TDataManager &manager, TSequenceControl *control)
    : manager_(manager), previous_(manager.SequenceControl())
{
    manager_.SetSequenceControl(control);
}

TSequenceScope::~TSequenceScope()
{
    manager_.SetSequenceControl(previous_);
}

bool SequenceCancelled(const TDataManager &manager)
{
    const TSequenceControl *c = manager.SequenceControl();
    return c != nullptr && c->CancelRequested();
}

void SequenceStepDone(const TDataManager &manager)
{
    if (TSequenceControl *c = manager.SequenceControl())
        c->StepDone();
}

void SequenceAddTotal(const TDataManager &manager, unsigned steps)
{
    if (TSequenceControl *c = manager.SequenceControl())
        c->AddTotal(steps);
}

} // namespace lumex
