// The rules of the password dialog for locking and unlocking the
// controller, apart from the window: what may be typed, when OK is refused
// with which warning, and the number that is sent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lumex {

inline constexpr std::size_t kPasswordMinLength = 4;
inline constexpr std::size_t kPasswordMaxLength = 9;

enum class TPasswordCheck
{
    Ok,
    TooShort, // fewer than 4 characters: "strPassErr"
    TooLong,  // more than 9 characters (the entry does not accept them)
    NotDigits,
    Mismatch // locking, and the confirmation differs: "strPassErr2"
};

// Whether a typed character is accepted by the entry (digits only).
bool PasswordCharAccepted(char c);
// The check made on OK; `confirmation` is present only when locking.
TPasswordCheck CheckPassword(const std::string &entry, const std::optional<std::string> &confirmation);
// The number sent with the lock or unlock command: the entry as an integer,
// 0 when it cannot be converted. Leading zeros are lost, as the controller
// expects.
uint32_t PasswordValue(const std::string &entry);
// The four bytes on the wire, least significant first.
std::array<uint8_t, 4> PasswordBytes(uint32_t value);

// The warning the dialog shows for a refused entry, with its texts looked up
// through `text` (message key to text).
struct TPasswordWarning
{
    std::string Caption;
    std::string Text;
    bool FocusConfirmation = false;
};
std::optional<TPasswordWarning> PasswordWarning(TPasswordCheck check,
                                                const std::function<std::string(const std::string &)> &text);

} // namespace lumex
