#include "controller/PasswordRules.h"

#include <algorithm>

namespace lumex {

bool PasswordCharAccepted(char c)
{
    return c >= '0' && c <= '9';
}

TPasswordCheck CheckPassword(const std::string &entry, const std::optional<std::string> &confirmation)
{
    if (entry.size() < kPasswordMinLength)
        return TPasswordCheck::TooShort;
    if (entry.size() > kPasswordMaxLength)
        return TPasswordCheck::TooLong;
    if (!std::all_of(entry.begin(), entry.end(), PasswordCharAccepted))
        return TPasswordCheck::NotDigits;
    if (confirmation && *confirmation != entry)
        return TPasswordCheck::Mismatch;
    return TPasswordCheck::Ok;
}

uint32_t PasswordValue(const std::string &entry)
{
    if (entry.empty() || entry.size() > kPasswordMaxLength ||
        !std::all_of(entry.begin(), entry.end(), PasswordCharAccepted))
        return 0;
    uint32_t value = 0;
    for (char c : entry)
        value = value * 10 + static_cast<uint32_t>(c - '0');
    return value;
}

std::array<uint8_t, 4> PasswordBytes(uint32_t value)
{
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

std::optional<TPasswordWarning> PasswordWarning(TPasswordCheck check,
                                                const std::function<std::string(const std::string &)> &text)
{
    switch (check) {
    case TPasswordCheck::Ok:
        return std::nullopt;
    case TPasswordCheck::TooShort:
    case TPasswordCheck::TooLong:
    case TPasswordCheck::NotDigits:
        return TPasswordWarning{text("strPassErr"),
                                text("strPassword1") + " " + text("strPassword2") + std::to_string(kPasswordMinLength) +
                                    text("strPassword3") + "\n" + text("strTryAgain"),
                                false};
    case TPasswordCheck::Mismatch:
        return TPasswordWarning{text("strPassErr2"), text("strPassword10") + "\n" + text("strTryAgain"), true};
    }
    return std::nullopt;
}

} // namespace lumex
