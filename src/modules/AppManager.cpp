#include "modules/AppManager.h"

#include "modules/BaseModule.h"

namespace lumex {

namespace {

// Groups 0, 1 and 16 are kept for symmetry with the device's own list;
// only 13-15 drive polling.
constexpr std::size_t kInitialGroups[] = {0, 1, static_cast<std::size_t>(TPollGroup::ObdStatus), 16};

} // namespace

TManager::TManager(TComMultiPort &port) : port_(port)
{
    for (std::size_t g : kInitialGroups)
        PollSet.set(g);
}

bool TManager::TakeModulesDetected()
{
    const bool was = modulesDetected_;
    modulesDetected_ = false;
    return was;
}

void TManager::AddModule(TBaseModule &module)
{
    modules_.push_back(&module);
}

void TManager::PublishVariables(TUIState &)
{
    for (TBaseModule *m : modules_)
        m->GetUIState().Publish(1);
    for (TBaseModule *m : modules_)
        m->GetUIState().Publish(2);
}

void TManager::RefreshModules()
{
    for (TBaseModule *m : modules_)
        m->GetUIState().AfterCopy();
}

void TManager::DetectAll()
{
    for (TBaseModule *m : modules_) {
        m->SetDeviceCompatible(m->ParentModule != nullptr && m->ParentModule->IsConnected());
        m->Detect();
    }
}

void TManager::DetectModules()
{
    try {
        DetectAll();
        modulesDetected_ = true;
    } catch (...) {
        active_ = false;
    }
}

void TManager::TimerThreadWorkStep()
{
    if (!IsActive())
        return;
    for (TBaseModule *m : modules_)
        m->WorkStep();
}

void TManager::TickStep()
{
    SetPollGroup(TPollGroup::ObdLiveData, CarLinkUp && CarLinkUp());
    TimerThreadWorkStep();
}

} // namespace lumex
