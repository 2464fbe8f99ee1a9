// Message keys as named constants: MessageText(msg::strOK).
#pragma once

#include <span>
#include <string_view>

namespace lumex::msg {

#define LUMEX_MESSAGE_KEY(key) inline constexpr char key[] = #key;
#include "documents/MessageKeys.def"
#undef LUMEX_MESSAGE_KEY

} // namespace lumex::msg

namespace lumex {

// All keys of MessageKeys.def, in their listed order.
std::span<const std::string_view> UsedMessageKeys();

} // namespace lumex
