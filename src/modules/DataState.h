// The device image and the edited state of the adapter modules. Each module
// keeps a pair of state objects with the same variables in the same order;
// the aggregates gather them, by reference, so index i of the device
// aggregate and of the edited aggregate is the same variable of the same
// module, and whole-device copies are an index walk.
#pragma once

#include "modules/VariableList.h"

#include <functional>
#include <string>
#include <vector>

namespace lumex {

class TBaseDevState;

// The aggregate of device images: references every module's variables.
class TDeviceState : public TVariableList
{
public:
    TDeviceState() : TVariableList(false) {}
    // In registration order, which is module creation order.
    std::vector<TBaseDevState *> SubStates;
};

// One module's state: it owns its variables and registers in an aggregate.
// A device image has no twin; an edited state's twin is its module's
// device image, whose variables it repeats before its PC-only ones.
class TBaseDevState : public TVariableList
{
public:
    explicit TBaseDevState(TDeviceState &aggregate);

    TDeviceState &Aggregate() const { return aggregate_; }
    TBaseDevState *Twin = nullptr;

    // Pass 1 adds the variables shared with the device image (after the
    // twin published all of its own); pass 2 the PC-only ones.
    virtual void Publish(int pass);
    // After a copy between the aggregates (the OBD state copies data that
    // is not in variables here).
    virtual void AfterCopy() {}

private:
    TDeviceState &aggregate_;
};

// The aggregate of edited states, with the modified tracking.
class TUIState : public TDeviceState
{
public:
    TUIState();

    TBoolByteVariable *LocalAdvancedView = nullptr;
    TDeviceState *DevState() const { return devState_; }
    std::size_t MirroredCount() const { return mirroredCount_; }
    bool Copying() const { return copying_; }
    bool Modified() const { return modified_; }

    // (section) — empty when the windows set the flag themselves.
    std::function<void(const std::string &section)> OnModifiedChange;
    // (variable) — none when the marks are to be cleared.
    std::function<void(TVariable *)> OnVariableChange;
    // Runs after every copy: the manager lets each module's edited state
    // take its share.
    std::function<void()> OnAfterCopy;

    void CreateLocalVariables();
    // Matches the names, takes the device image's handlers, copies from it
    // and watches every edited variable.
    void Link(TDeviceState &devState);
    void LinkHandlers(const TVariableList &source) override;
    void CopyFromDevState(std::string_view section, int kinds);
    void CopyToDevState(std::string_view section, int kinds);
    void CopyFrom(const TVariableList &source, std::string_view section, int kinds) override;
    void Assign(const TVariableList &source, int kinds) override;
    void ClearAll() override;
    // The windows' form, after reading, writing, loading or discarding.
    void SetModified(bool modified);

private:
    void VariableChanged(TVariable &v);
    void MarkModified(const std::string &section);

    TVariableList local_{true};
    TDeviceState *devState_ = nullptr;
    std::size_t mirroredCount_ = 0;
    bool copying_ = false;
    bool modified_ = false;
};

} // namespace lumex
