#include "modules/DataState.h"

#include "modules/Sections.h"

namespace lumex {

namespace {

class TCopyingScope
{
public:
    explicit TCopyingScope(bool &flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~TCopyingScope() { flag_ = was_; }
    TCopyingScope(const TCopyingScope &) = delete;
    TCopyingScope &operator=(const TCopyingScope &) = delete;

private:
    bool &flag_;
    bool was_;
};

} // namespace

TBaseDevState::TBaseDevState(TDeviceState &aggregate) : TVariableList(true), aggregate_(aggregate)
{
    aggregate.SubStates.push_back(this);
}

void TBaseDevState::Publish(int pass)
{
    if (Twin == nullptr) {
        if (pass == 1)
            aggregate_.AddRange(*this, 0);
        return;
    }
    const std::size_t shared = Twin->Count();
    if (pass == 1) {
        Twin->Publish(1);
        aggregate_.AddRange(*this, 0, shared);
    } else {
        aggregate_.AddRange(*this, shared);
    }
}

TUIState::TUIState() = default;

void TUIState::CreateLocalVariables()
{
    LocalAdvancedView = &local_.Create<TBoolByteVariable>(MakeVariableName(TSection::Local, "LocalAdvancedView"));
    LocalAdvancedView->IsLocal = true;
    AddVariable(*LocalAdvancedView);
}

void TUIState::LinkHandlers(const TVariableList &source)
{
    TVariableList::LinkHandlers(source);
}

void TUIState::Link(TDeviceState &devState)
{
    LinkHandlers(devState);
    if (devState_ != &devState) {
        devState_ = &devState;
        CopyFromDevState({}, kCopyAll);
    }
    mirroredCount_ = devState.Count();
    for (std::size_t i = 0; i < Count(); ++i)
        (*this)[i].OnChange = [this](TVariable &v) { VariableChanged(v); };
}

void TUIState::CopyFromDevState(std::string_view section, int kinds)
{
    if (devState_ == nullptr)
        throw EVariableError("Unknown copy source, DevState is not set");
    CopyFrom(*devState_, section, kinds);
}

void TUIState::CopyToDevState(std::string_view section, int kinds)
{
    if (devState_ == nullptr)
        throw EVariableError("Unknown copy destination, DevState is not set");
    devState_->CopyFrom(*this, section, kinds);
}

void TUIState::CopyFrom(const TVariableList &source, std::string_view section, int kinds)
{
    const TCopyingScope scope(copying_);
    CopyItems(source, section, kinds);
    if (OnAfterCopy)
        OnAfterCopy();
}

void TUIState::Assign(const TVariableList &source, int kinds)
{
    CopyFrom(source, {}, kinds);
}

void TUIState::ClearAll()
{
    const TCopyingScope scope(copying_);
    for (std::size_t i = 0; i < mirroredCount_ && i < Count(); ++i)
        (*this)[i].ClearRaw(false);
}

void TUIState::VariableChanged(TVariable &v)
{
    if (OnVariableChange)
        OnVariableChange(&v);
    if (!copying_ && !v.IsLocal)
        MarkModified(v.Section());
}

void TUIState::MarkModified(const std::string &section)
{
    if (modified_)
        return;
    modified_ = true;
    if (OnModifiedChange)
        OnModifiedChange(section);
}

void TUIState::SetModified(bool modified)
{
    if (modified == modified_)
        return;
    modified_ = modified;
    if (!modified && OnVariableChange)
        OnVariableChange(nullptr);
    if (OnModifiedChange)
        OnModifiedChange({});
}

} // namespace lumex
