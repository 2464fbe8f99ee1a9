#include "documents/ObdCodes.h"

namespace lumex {

std::string OBDCodeTextOf(const std::vector<std::string> &codes, std::string_view code)
{
    if (code.size() != 5 || (code[1] != '0' && code[1] != '2' && code[1] != '3'))
        return std::string(code);
    for (const auto &line : codes)
        if (std::string_view(line).starts_with(code)) {
            std::string_view description = line.size() > 6 ? std::string_view(line).substr(6) : std::string_view{};
            return std::string(code) + " (" + std::string(description) + ")";
        }
    return std::string(code);
}

} // namespace lumex
