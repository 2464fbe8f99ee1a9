#include "modules/Variable.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

constexpr int kByteBits = 8;
constexpr uint16_t kByteMask = 0xFF;

uint16_t DecodeFlags(std::span<const uint8_t> raw)
{
    if (raw.size() == 1)
        return raw[0];
    return static_cast<uint16_t>(raw[0] | (raw[1] << kByteBits));
}

void EncodeFlags(uint16_t value, std::span<uint8_t> raw)
{
    raw[0] = static_cast<uint8_t>(value & kByteMask);
    if (raw.size() == 2)
        raw[1] = static_cast<uint8_t>(value >> kByteBits);
}

std::size_t CheckedFlagLength(std::size_t length)
{
    if (length != 1 && length != 2)
        throw EVariableError("Unsupported DataLength (" + std::to_string(length) + ")");
    return length;
}

} // namespace

TBoolVariable::TBoolVariable(std::string_view name, std::size_t dataLength)
    : TVariable(name, CheckedFlagLength(dataLength), "%d")
{
}

TBoolVariable::TBoolVariable(std::string_view name, uint8_t mask, TBoolVariable &parent)
    : TVariable(name, parent.DataLength(), "%d"), value_(mask), parent_(&parent)
{
    if (std::find(parent.children_.begin(), parent.children_.end(), this) == parent.children_.end())
        parent.children_.push_back(this);
}

void TBoolVariable::UpdateText()
{
    if (parent_ == nullptr && !children_.empty())
        SetText(FormatInt(value_));
    else
        SetText(FormatInt(GetAsBoolean() ? 1 : 0));
}

void TBoolVariable::RawToValue()
{
    // A bit view's value is its mask; its own bytes mean nothing.
    if (parent_ != nullptr)
        return;
    if (OnRawToValue()) {
        const double v = (*OnRawToValue())(*this, Raw());
        value_ = std::isfinite(v) ? static_cast<uint16_t>(std::clamp(v, 0.0, 65535.0)) : 0;
    } else {
        value_ = DecodeFlags(Raw());
    }
    const uint16_t changed = previous_ ^ value_;
    for (TBoolVariable *child : children_)
        if ((child->Mask() & changed) != 0) {
            child->UpdateText();
            child->Notify();
        }
}

int64_t TBoolVariable::GetAsInteger() const
{
    if (parent_ != nullptr)
        return value_ & parent_->value_;
    return value_;
}

void TBoolVariable::SetAsInteger(int64_t value)
{
    if (parent_ != nullptr) {
        SetAsBoolean(value != 0);
        return;
    }
    const auto v = static_cast<uint16_t>(value);
    if (v == value_)
        return;
    previous_ = value_;
    setting_ = true;
    value_ = v;
    try {
        if (OnValueToRaw()) {
            (*OnValueToRaw())(*this, v, RawBuffer());
        } else {
            std::vector<uint8_t> bytes(DataLength(), 0);
            EncodeFlags(v, bytes);
            SetRaw(bytes, true);
        }
        UpdateText();
        Notify();
    } catch (...) {
        setting_ = false;
        throw;
    }
    setting_ = false;
}

void TBoolVariable::SetAsDouble(double value)
{
    SetAsInteger(std::isfinite(value) ? static_cast<int64_t>(std::nearbyint(std::clamp(value, -1e9, 1e9))) : 0);
}

void TBoolVariable::SetRaw(std::span<const uint8_t> bytes, bool force)
{
    if (!setting_ && parent_ == nullptr)
        previous_ = value_;
    TVariable::SetRaw(bytes, force);
}

bool TBoolVariable::GetAsBoolean() const
{
    if (parent_ != nullptr)
        return (parent_->value_ & value_) != 0;
    return value_ != 0;
}

void TBoolVariable::SetAsBoolean(bool value)
{
    if (parent_ == nullptr) {
        SetAsInteger(value ? 1 : 0);
        return;
    }
    const uint16_t p = parent_->value_;
    parent_->SetAsInteger(value ? (p | value_) : (p & static_cast<uint16_t>(~value_)));
}

} // namespace lumex
