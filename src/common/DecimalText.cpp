#include "common/DecimalText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace lumex {

std::optional<double> ParseDecimal(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string plain;
    bool separator = false, digit = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '-' || c == '+') && i == 0) {
            if (c == '-')
                plain += c;
        } else if (c == ',' || c == '.') {
            if (separator)
                return std::nullopt;
            separator = true;
            plain += '.';
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            digit = true;
            plain += c;
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace lumex
