#include "modules/Variable.h"

#include "common/Format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace lumex {

namespace {

constexpr std::array<std::pair<TVariableKind, const char *>, 9> kClassNames = {{
    {TVariableKind::Byte, "TByteVariable"},
    {TVariableKind::Word, "TWordVariable"},
    {TVariableKind::SmallInt, "TSmallIntVariable"},
    {TVariableKind::Int, "TIntVariable"},
    {TVariableKind::Double, "TDoubleVariable"},
    {TVariableKind::DoubleOBD, "TDoubleOBDVariable"},
    {TVariableKind::Bool, "TBoolVariable"},
    {TVariableKind::BoolByte, "TBoolByteVariable"},
    {TVariableKind::String, "TStringVariable"},
}};

std::string Message(const char *format, long long value)
{
    return FormatText(format, value);
}

constexpr uint8_t kByteMask = 0xFF;
constexpr int kByteBits = 8;

// Rounded to nearest, ties to even, and kept inside the integer range.
int64_t RoundToInteger(double x)
{
    if (!std::isfinite(x))
        return 0;
    const double r = std::nearbyint(x);
    constexpr double kLimit = 9.2e18;
    return static_cast<int64_t>(std::clamp(r, -kLimit, kLimit));
}

} // namespace

const char *VariableClassName(TVariableKind kind)
{
    auto it = std::find_if(kClassNames.begin(), kClassNames.end(), [&](const auto &e) { return e.first == kind; });
    return it == kClassNames.end() ? "TVariable" : it->second;
}

TRawToValue MakeRawToValue(TRawToValueFn fn)
{
    return std::make_shared<const TRawToValueFn>(std::move(fn));
}

TValueToRaw MakeValueToRaw(TValueToRawFn fn)
{
    return std::make_shared<const TValueToRawFn>(std::move(fn));
}

TGetText MakeGetText(TGetTextFn fn)
{
    return std::make_shared<const TGetTextFn>(std::move(fn));
}

// --- TVariable ---

TVariable::TVariable(std::string_view creationName, std::size_t dataLength, std::string format)
    : format_(std::move(format))
{
    const auto colon = creationName.find(':');
    if (colon == std::string_view::npos) {
        name_ = creationName;
    } else {
        section_ = creationName.substr(0, colon);
        name_ = creationName.substr(colon + 1);
    }
    if (dataLength < 1)
        throw EVariableError(Message("DataLength too low: %lld", static_cast<long long>(dataLength)));
    raw_.assign(dataLength, 0);
}

std::string TVariable::FormatInt(int64_t value) const
{
    return FormatText(format_, static_cast<int>(value));
}

std::string TVariable::FormatDouble(double value) const
{
    return FormatText(format_, value);
}

std::string TVariable::FormatString(const std::string &value) const
{
    return FormatText(format_, value.c_str());
}

void TVariable::SetRaw(std::span<const uint8_t> bytes, bool force)
{
    if (bytes.size() != raw_.size())
        throw EVariableError("Internal data size (" + std::to_string(raw_.size()) + ") and passed data size (" +
                             std::to_string(bytes.size()) + ") do not match");
    bool changed = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (raw_[i] != bytes[i]) {
            raw_[i] = bytes[i];
            changed = true;
        }
    }
    if (changed) {
        RawToValue();
        UpdateText();
        if (!force)
            Notify();
    }
    if (force)
        Notify();
}

void TVariable::SetDefault(bool notify)
{
    switch (VariableType) {
    case TVariableType::Plain:
        throw EVariableError("Variable \"" + name_ + "\" has no default data, use CreateParam constructor first");
    case TVariableType::Param:
        SetAsInteger(Default);
        break;
    default:
        throw EVariableError("Variable \"" + name_ + "\" has unknown VariableType (" +
                             std::to_string(static_cast<int>(VariableType)) + ")");
    }
    if (notify)
        Notify();
}

void TVariable::Refresh(bool notify)
{
    UpdateText();
    if (notify)
        Notify();
}

void TVariable::ClearRaw(bool notify)
{
    const std::vector<uint8_t> zeros(raw_.size(), 0);
    SetRaw(zeros, true);
    if (notify)
        Notify();
}

void TVariable::Notify()
{
    if (OnChange)
        OnChange(*this);
}

void TVariable::SetFormat(std::string format)
{
    if (format == format_)
        return;
    format_ = std::move(format);
    UpdateText();
}

void TVariable::SetOnRawToValue(TRawToValue handler)
{
    if (handler == onRawToValue_)
        return;
    handlerChanging_ = true;
    onRawToValue_ = std::move(handler);
    RawToValue();
    UpdateText();
    handlerChanging_ = false;
    UpdateText();
}

void TVariable::SetOnValueToRaw(TValueToRaw handler)
{
    if (handler == onValueToRaw_)
        return;
    handlerChanging_ = true;
    onValueToRaw_ = std::move(handler);
    if (onValueToRaw_)
        (*onValueToRaw_)(*this, GetAsDouble(), raw_);
    UpdateText();
    handlerChanging_ = false;
}

void TVariable::SetOnGetText(TGetText handler)
{
    if (handler == onGetText_)
        return;
    onGetText_ = std::move(handler);
    UpdateText();
}

void TVariable::MakeParam(int32_t def, bool writeDefaultToRaw)
{
    VariableType = TVariableType::Param;
    IsParam = true;
    Default = def;
    if (writeDefaultToRaw) {
        SetAsInteger(def);
        return;
    }
    // Only the value takes the default: the module installs the real
    // conversion later, and Raw stays as the device image will have it.
    TValueToRaw kept = onValueToRaw_;
    onValueToRaw_ = MakeValueToRaw([](const TVariable &, double, std::span<uint8_t>) {});
    try {
        SetAsInteger(def);
    } catch (...) {
        onValueToRaw_ = std::move(kept);
        throw;
    }
    onValueToRaw_ = std::move(kept);
}

// --- Integral classes ---

TIntegralVariable::TIntegralVariable(std::string_view name, std::size_t length, int64_t min, int64_t max,
                                     const char *rangeName)
    : TVariable(name, length, "%d"), min_(min), max_(max), rangeName_(rangeName)
{
}

void TIntegralVariable::UpdateText()
{
    if (OnGetText())
        SetText((*OnGetText())(*this));
    else
        SetText(FormatInt(value_));
}

void TIntegralVariable::RawToValue()
{
    if (OnRawToValue())
        value_ = std::clamp(RoundToInteger((*OnRawToValue())(*this, Raw())), min_, max_);
    else
        value_ = Decode(Raw());
}

void TIntegralVariable::SetAsInteger(int64_t value)
{
    if (value < min_ || value > max_)
        throw EVariableError(Message("Value (%lld) out of ", static_cast<long long>(value)) + rangeName_ + " range");
    if (value == value_)
        return;
    value_ = value;
    if (OnValueToRaw()) {
        (*OnValueToRaw())(*this, static_cast<double>(value), RawBuffer());
    } else if (!OnRawToValue()) {
        std::vector<uint8_t> bytes(DataLength(), 0);
        Encode(value, bytes);
        SetRaw(bytes, true);
    }
    UpdateText();
    Notify();
}

void TIntegralVariable::SetAsDouble(double value)
{
    if (!std::isfinite(value))
        throw EVariableError(std::string("Value (") + std::to_string(value) + ") out of " + rangeName_ + " range");
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(min_) || rounded > static_cast<double>(max_))
        throw EVariableError(FormatText("Value (%.0f) out of ", rounded) + rangeName_ + " range");
    SetAsInteger(static_cast<int64_t>(rounded));
}

TByteVariable::TByteVariable(std::string_view name) : TIntegralVariable(name, 1, 0, kByteMask, "Byte") {}

int64_t TByteVariable::Decode(std::span<const uint8_t> raw) const
{
    return raw[0];
}

void TByteVariable::Encode(int64_t value, std::span<uint8_t> raw) const
{
    raw[0] = static_cast<uint8_t>(value);
}

TWordVariable::TWordVariable(std::string_view name)
    : TIntegralVariable(name, 2, 0, std::numeric_limits<uint16_t>::max(), "Word")
{
}

int64_t TWordVariable::Decode(std::span<const uint8_t> raw) const
{
    return (raw[0] << kByteBits) | raw[1];
}

void TWordVariable::Encode(int64_t value, std::span<uint8_t> raw) const
{
    raw[0] = static_cast<uint8_t>(value >> kByteBits);
    raw[1] = static_cast<uint8_t>(value & kByteMask);
}

// The device's own message for this type names the word range too.
TSmallIntVariable::TSmallIntVariable(std::string_view name)
    : TIntegralVariable(name, 2, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), "Word")
{
}

int64_t TSmallIntVariable::Decode(std::span<const uint8_t> raw) const
{
    return static_cast<int16_t>(static_cast<uint16_t>((raw[0] << kByteBits) | raw[1]));
}

void TSmallIntVariable::Encode(int64_t value, std::span<uint8_t> raw) const
{
    const auto word = static_cast<uint16_t>(value);
    raw[0] = static_cast<uint8_t>(word >> kByteBits);
    raw[1] = static_cast<uint8_t>(word & kByteMask);
}

TIntVariable::TIntVariable(std::string_view name)
    : TIntegralVariable(name, 4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), "Integer")
{
}

int64_t TIntVariable::Decode(std::span<const uint8_t> raw) const
{
    const uint32_t low = static_cast<uint32_t>((raw[0] << kByteBits) | raw[1]);
    const uint32_t high = static_cast<uint32_t>((raw[2] << kByteBits) | raw[3]);
    return static_cast<int32_t>((high << (2 * kByteBits)) | low);
}

void TIntVariable::Encode(int64_t value, std::span<uint8_t> raw) const
{
    const auto v = static_cast<uint32_t>(static_cast<int32_t>(value));
    raw[0] = static_cast<uint8_t>(v >> kByteBits);
    raw[1] = static_cast<uint8_t>(v);
    raw[2] = static_cast<uint8_t>(v >> (3 * kByteBits));
    raw[3] = static_cast<uint8_t>(v >> (2 * kByteBits));
}

// --- TDoubleVariable ---

TDoubleVariable::TDoubleVariable(std::string_view name, std::size_t dataLength) : TVariable(name, dataLength, "%f") {}

void TDoubleVariable::UpdateText()
{
    if (OnGetText())
        SetText((*OnGetText())(*this));
    else
        SetText(FormatDouble(value_));
}

void TDoubleVariable::RawToValue()
{
    if (OnRawToValue()) {
        value_ = (*OnRawToValue())(*this, Raw());
        return;
    }
    if (!handlerChanging_)
        throw EVariableError(
            "Uncertain how to convert array of bytes to Double, please set OnRawToValue event handler");
}

int64_t TDoubleVariable::GetAsInteger() const
{
    return RoundToInteger(value_);
}

void TDoubleVariable::SetAsDouble(double value)
{
    if (!std::isfinite(value) || value < min_ || value > max_)
        throw EVariableError(FormatText("Value (%g) out of range", value) + FormatText(" (%g..", min_) +
                             FormatText("%g)", max_));
    if (value == value_)
        return;
    if (OnValueToRaw()) {
        value_ = value;
        (*OnValueToRaw())(*this, value, RawBuffer());
    } else if (VariableType == TVariableType::Plain) {
        value_ = value;
    } else {
        if (!handlerChanging_)
            throw EVariableError(
                "Uncertain how to convert Double to array of bytes, please set OnValueToRaw event handler");
        return;
    }
    UpdateText();
    Notify();
}

// --- TStringVariable ---

TStringVariable::TStringVariable(std::string_view name, std::size_t dataLength) : TVariable(name, dataLength, "%s")
{
    SetText({});
}

void TStringVariable::UpdateText()
{
    if (OnGetText())
        SetText((*OnGetText())(*this));
    else
        SetText(FormatString(TextFromField(Raw())));
}

void TStringVariable::RawToValue()
{
    if (OnRawToValue())
        (*OnRawToValue())(*this, Raw());
    else
        UpdateText();
}

std::string TextFromField(std::span<const uint8_t> raw)
{
    const auto end = std::find(raw.begin(), raw.end(), uint8_t{0});
    const std::span<const uint8_t> field(raw.begin(), end);
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    std::size_t i = 0;
    while (i < field.size()) {
        const uint8_t b = field[i];
        std::size_t len = 0;
        uint32_t cp = 0;
        if (b < 0x80) {
            len = 1;
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
        }
        bool ok = len > 0 && i + len <= field.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (field[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (field[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        static constexpr std::array<uint32_t, 5> kMinForLength = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (ok) {
            out.append(reinterpret_cast<const char *>(field.data() + i), len);
            i += len;
        } else {
            out.append(kReplacement);
            ++i;
        }
    }
    return out;
}

} // namespace lumex
