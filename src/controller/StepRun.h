// A list of writes that runs to the end whatever fails, and then says which
// steps failed: for the long writes (factory settings, loading a file)
// where stopping halfway would leave the controller in a state nobody
// chose, and hiding a failure would let the installer believe it worked.
#pragma once

#include "controller/WriteResult.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;

class TStepRun
{
public:
    explicit TStepRun(TDataManager &manager) : manager_(manager) {}

    bool Step(const std::string &name, const std::function<bool()> &op);
    // A write of several commands that reports its own first failure.
    bool Steps(const std::string &name, const std::function<TWriteResult()> &op);
    // The image's value of a byte, word or model parameter.
    bool Byte(uint8_t index);
    bool Word(uint8_t index);
    bool Model(uint8_t index);
    // A value other than the image's.
    bool Byte(uint8_t index, uint8_t value);
    bool Word(uint8_t index, uint16_t value);

    const std::vector<std::string> &Failed() const { return failed_; }
    unsigned Done() const { return done_; }
    bool Ok() const { return failed_.empty(); }

private:
    // A lost answer takes the link down, and a link that is down refuses
    // every request: after a failed step the controller is looked for once,
    // so one lost answer does not fail all the steps after it.
    void FindControllerAgain();

    TDataManager &manager_;
    std::vector<std::string> failed_;
    unsigned done_ = 0;
    bool lost_ = false;
};

} // namespace lumex
