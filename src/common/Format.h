// printf-style formatting into a std::string of whatever length the text
// needs. The formats are the program's own (or its language files').
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

namespace lumex {

template <typename... TArgs> std::string FormatText(const char *format, TArgs... args)
{
    std::array<char, 128> small{};
    const int n = std::snprintf(small.data(), small.size(), format, args...);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < small.size())
        return std::string(small.data(), static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), format, args...);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

template <typename... TArgs> std::string FormatText(const std::string &format, TArgs... args)
{
    return FormatText(format.c_str(), args...);
}

} // namespace lumex
