// Errors meant for a message box. The core has no message boxes: each owner
// of such errors carries a handler that the user interface replaces; the
// default prints to standard error.
#pragma once

#include <functional>
#include <string>

namespace lumex {

using TErrorHandler = std::function<void(const std::string &caption, const std::string &text)>;

void PrintErrorToStderr(const std::string &caption, const std::string &text);

} // namespace lumex
