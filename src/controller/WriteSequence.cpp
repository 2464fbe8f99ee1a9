#include "controller/WriteSequence.h"

#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"

namespace lumex {

bool TWriteSequence::Step(const std::string &name, uint8_t code, const std::function<bool()> &op)
{
    if (!result_.Ok)
        return false;
    if (SequenceCancelled(manager_)) {
        result_.Ok = false;
        result_.Cancelled = true;
        result_.FailedStep = name;
        result_.FailedCode = code;
        return false;
    }
    if (op()) {
        ++result_.StepsDone;
        SequenceStepDone(manager_);
        return true;
    }
    result_.Ok = false;
    result_.FailedStep = name;
    result_.FailedCode = code;
    result_.Refusal = manager_.LastRefusal();
    return false;
}

bool TWriteSequence::Byte(uint8_t index)
{
    return Step("WriteByteParam(" + std::to_string(index) + ")", cmd::WriteByteParam,
                [this, index] { return manager_.WriteByteParam(index); });
}

bool TWriteSequence::Word(uint8_t index)
{
    return Step("WriteWordParam(" + std::to_string(index) + ")", cmd::WriteWordParam,
                [this, index] { return manager_.WriteWordParam(index); });
}

bool TWriteSequence::Model(uint8_t index)
{
    return Step("WriteModelParam(" + std::to_string(index) + ")", cmd::WriteModelParam,
                [this, index] { return manager_.WriteModelParam(index); });
}

} // namespace lumex
