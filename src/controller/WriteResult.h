// The outcome of a write to the controller, down to the step that failed
// when a write needs several commands.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

// Why a write operation sent nothing.
enum class TWriteRefusal : uint8_t
{
    None,         // it was sent (a failure then means no valid acknowledgement)
    Locked,       // the controller is locked
    InvalidValue, // the value or index cannot be sent
    LinkDown      // the link is down; the request was not sent
};

const char *WriteRefusalText(TWriteRefusal refusal);

struct TWriteResult
{
    bool Ok = true;
    // The first step that failed, e.g. "WriteByteParam(37)", and its command code.
    std::string FailedStep;
    uint8_t FailedCode = 0;
    TWriteRefusal Refusal = TWriteRefusal::None;
    // Steps acknowledged before the failure (all of them on success).
    unsigned StepsDone = 0;
    // The installer stopped it between two steps: nothing after StepsDone was sent.
    bool Cancelled = false;

    explicit operator bool() const { return Ok; }
    // "step WriteByteParam(37) (command 0x08) failed: controller locked".
    std::string Message() const;
};

} // namespace lumex
