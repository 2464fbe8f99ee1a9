#include "controller/StepRun.h"

#include "controller/DataManager.h"

namespace lumex {

bool TStepRun::Step(const std::string &name, const std::function<bool()> &op)
{
    if (op()) {
        ++done_;
        return true;
    }
    const TWriteRefusal why = manager_.LastRefusal();
    failed_.push_back(why == TWriteRefusal::None ? name : name + " (" + WriteRefusalText(why) + ")");
    FindControllerAgain();
    return false;
}

bool TStepRun::Steps(const std::string &name, const std::function<TWriteResult()> &op)
{
    const TWriteResult r = op();
    if (r.Ok) {
        ++done_;
        return true;
    }
    failed_.push_back(name + ": " + r.Message());
    FindControllerAgain();
    return false;
}

void TStepRun::FindControllerAgain()
{
    if (manager_.LinkUp || lost_)
        return;
    TNorviData &d = manager_.Data();
    const uint8_t code = d.VersionCode;
    if (code == 0)
        return;
    // Only the same controller generation may take the remaining steps. A
    // controller that did not answer is not looked for again: the steps
    // after it fail at once instead of each waiting for it.
    if (!manager_.ReadVersionCode() || d.VersionCode != code) {
        d.VersionCode = code;
        manager_.LinkUp = false;
        lost_ = true;
    }
}

bool TStepRun::Byte(uint8_t index)
{
    return Step("WriteByteParam(" + std::to_string(index) + ")",
                [this, index] { return manager_.WriteByteParam(index); });
}

bool TStepRun::Word(uint8_t index)
{
    return Step("WriteWordParam(" + std::to_string(index) + ")",
                [this, index] { return manager_.WriteWordParam(index); });
}

bool TStepRun::Model(uint8_t index)
{
    return Step("WriteModelParam(" + std::to_string(index) + ")",
                [this, index] { return manager_.WriteModelParam(index); });
}

bool TStepRun::Byte(uint8_t index, uint8_t value)
{
    return Step("WriteByteParam(" + std::to_string(index) + ")",
                [this, index, value] { return manager_.WriteByteParam(index, value); });
}

bool TStepRun::Word(uint8_t index, uint16_t value)
{
    return Step("WriteWordParam(" + std::to_string(index) + ")",
                [this, index, value] { return manager_.WriteWordParam(index, value); });
}

} // namespace lumex
