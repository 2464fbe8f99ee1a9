#include "configuration/Question.h"

#include "documents/LangManager.h"

namespace lumex {

std::string MessageTextInForce(std::string_view key)
{
    return MessageText(key);
}

} // namespace lumex
