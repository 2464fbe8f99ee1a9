#include "controller/WriteResult.h"

#include <cstdio>

namespace lumex {

const char *WriteRefusalText(TWriteRefusal refusal)
{
    switch (refusal) {
    case TWriteRefusal::None:
        return "no valid acknowledgement";
    case TWriteRefusal::Locked:
        return "controller locked";
    case TWriteRefusal::InvalidValue:
        return "value cannot be sent";
    case TWriteRefusal::LinkDown:
        return "link down";
    }
    return "";
}

std::string TWriteResult::Message() const
{
    if (Ok)
        return "ok";
    if (Cancelled)
        return "cancelled after " + std::to_string(StepsDone) + " steps, before " + FailedStep;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", FailedCode);
    return "step " + FailedStep + " (command " + code + ") failed: " + WriteRefusalText(Refusal);
}

} // namespace lumex
