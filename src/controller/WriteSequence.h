// A write made of several commands, sent one after another. It stops at the
// first step that is not acknowledged (or is refused) and remembers which
// step that was, so a failed write is never reported as a success. A cancel
// of the manager's running sequence stops it before the next step.
#pragma once

#include "controller/WriteResult.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lumex {

class TDataManager;

class TWriteSequence
{
public:
    explicit TWriteSequence(TDataManager &manager) : manager_(manager) {}

    // Runs `op` unless an earlier step failed or the sequence was cancelled;
    // false once any step failed.
    bool Step(const std::string &name, uint8_t code, const std::function<bool()> &op);

    // The image's value of a byte, word or model parameter.
    bool Byte(uint8_t index);
    bool Word(uint8_t index);
    bool Model(uint8_t index);

    bool Failed() const { return !result_.Ok; }
    bool Cancelled() const { return result_.Cancelled; }
    const TWriteResult &Result() const { return result_; }

private:
    TDataManager &manager_;
    TWriteResult result_;
};

} // namespace lumex
