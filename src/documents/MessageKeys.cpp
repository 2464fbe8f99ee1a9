#include "documents/MessageKeys.h"

namespace lumex {

std::span<const std::string_view> UsedMessageKeys()
{
    static constexpr std::string_view keys[] = {
#define LUMEX_MESSAGE_KEY(key) #key,
#include "documents/MessageKeys.def"
#undef LUMEX_MESSAGE_KEY
    };
    return keys;
}

} // namespace lumex
