// Questions the configuration logic puts to the installer, without windows:
// the window (or a test) answers them through an asker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lumex {

enum class TAnswer : uint8_t
{
    Yes,
    No,
    Cancel
};

struct TQuestion
{
    std::string Text;
    std::string Caption;
    bool WithCancel = false; // Yes/No/Cancel instead of Yes/No
};

using TAsker = std::function<TAnswer(const TQuestion &question)>;

// The text of a message key in the language in force.
using TMessageTextFn = std::function<std::string(std::string_view key)>;

// Through the process-wide language manager.
std::string MessageTextInForce(std::string_view key);

} // namespace lumex
