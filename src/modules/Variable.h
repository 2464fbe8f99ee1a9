// Typed variables of the module framework: every value exchanged with the
// adapter, shown in its windows or stored in a module file. Each keeps the
// raw bytes exactly as the device has them and a decoded value with its
// display text; the two stay in step through the class's own byte order or
// through handlers the owning module installs for scaled quantities.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

// A misuse of a variable (range, size, missing handler, duplicate name):
// a programming error or a refused input, never a device failure.
class EVariableError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What saving and loading dispatch on.
enum class TVariableKind
{
    Byte,
    Word,
    SmallInt,
    Int,
    Double,
    DoubleOBD,
    Bool,
    BoolByte,
    String
};

// The class name messages quote for a kind.
const char *VariableClassName(TVariableKind kind);

enum class TVariableType : uint8_t
{
    Plain = 0, // a reading: no default, never saved
    Param = 1  // a setting with an integer default
};

class TVariable;

// Handlers are shared objects so that "the same handler" can be told apart
// from another one, and so linked lists can share them.
using TRawToValueFn = std::function<double(const TVariable &, std::span<const uint8_t> raw)>;
using TValueToRawFn = std::function<void(const TVariable &, double value, std::span<uint8_t> raw)>;
using TGetTextFn = std::function<std::string(const TVariable &)>;
using TRawToValue = std::shared_ptr<const TRawToValueFn>;
using TValueToRaw = std::shared_ptr<const TValueToRawFn>;
using TGetText = std::shared_ptr<const TGetTextFn>;

TRawToValue MakeRawToValue(TRawToValueFn fn);
TValueToRaw MakeValueToRaw(TValueToRawFn fn);
TGetText MakeGetText(TGetTextFn fn);

class TVariable
{
public:
    virtual ~TVariable() = default;
    TVariable(const TVariable &) = delete;
    TVariable &operator=(const TVariable &) = delete;

    const std::string &Section() const { return section_; }
    const std::string &Name() const { return name_; }
    const std::string &Text() const { return text_; }
    const std::string &Format() const { return format_; }
    std::span<const uint8_t> Raw() const { return raw_; }
    std::size_t DataLength() const { return raw_.size(); }

    TVariableType VariableType = TVariableType::Plain;
    bool IsParam = false;
    int32_t Default = 0;
    bool IsLocal = false;
    std::function<void(TVariable &)> OnChange;

    virtual TVariableKind Kind() const = 0;
    const char *ClassName() const { return VariableClassName(Kind()); }

    virtual void UpdateText() = 0;
    virtual void RawToValue() = 0;
    virtual int64_t GetAsInteger() const = 0;
    // Raises EVariableError for a value outside the class's range and then
    // leaves value and Raw as they were.
    virtual void SetAsInteger(int64_t value) = 0;
    virtual double GetAsDouble() const = 0;
    virtual void SetAsDouble(double value) = 0;
    // Exactly DataLength bytes. Notifies when a byte changed (unless
    // forced) and once more when forced, changed or not.
    virtual void SetRaw(std::span<const uint8_t> bytes, bool force);

    void SetDefault(bool notify);
    void Refresh(bool notify);
    void ClearRaw(bool notify);
    void Notify();
    void SetFormat(std::string format);

    const TRawToValue &OnRawToValue() const { return onRawToValue_; }
    const TValueToRaw &OnValueToRaw() const { return onValueToRaw_; }
    const TGetText &OnGetText() const { return onGetText_; }
    void SetOnRawToValue(TRawToValue handler);
    void SetOnValueToRaw(TValueToRaw handler);
    void SetOnGetText(TGetText handler);

    // Turns a fresh variable into a parameter with `def` as its default
    // and its value; `writeDefaultToRaw` false leaves Raw untouched.
    void MakeParam(int32_t def, bool writeDefaultToRaw);
    // Whether a parameter of this class writes its default into Raw.
    virtual bool WritesDefaultToRaw() const { return true; }

protected:
    TVariable(std::string_view creationName, std::size_t dataLength, std::string format);

    // Format applied to one argument.
    std::string FormatInt(int64_t value) const;
    std::string FormatDouble(double value) const;
    std::string FormatString(const std::string &value) const;
    void SetText(std::string text) { text_ = std::move(text); }
    std::span<uint8_t> RawBuffer() { return raw_; }

    bool handlerChanging_ = false;

private:
    std::string section_;
    std::string name_;
    std::string text_;
    std::string format_;
    std::vector<uint8_t> raw_;
    TRawToValue onRawToValue_;
    TValueToRaw onValueToRaw_;
    TGetText onGetText_;
};

// Byte, word, small-int and int variables: an integer value with a fixed
// byte order and range.
class TIntegralVariable : public TVariable
{
public:
    void UpdateText() override;
    void RawToValue() override;
    int64_t GetAsInteger() const override { return value_; }
    void SetAsInteger(int64_t value) override;
    double GetAsDouble() const override { return static_cast<double>(value_); }
    void SetAsDouble(double value) override;

protected:
    TIntegralVariable(std::string_view name, std::size_t length, int64_t min, int64_t max, const char *rangeName);
    virtual int64_t Decode(std::span<const uint8_t> raw) const = 0;
    virtual void Encode(int64_t value, std::span<uint8_t> raw) const = 0;

private:
    int64_t value_ = 0;
    int64_t min_;
    int64_t max_;
    const char *rangeName_;
};

class TByteVariable final : public TIntegralVariable
{
public:
    explicit TByteVariable(std::string_view name);
    TVariableKind Kind() const override { return TVariableKind::Byte; }

protected:
    int64_t Decode(std::span<const uint8_t> raw) const override;
    void Encode(int64_t value, std::span<uint8_t> raw) const override;
};

class TWordVariable final : public TIntegralVariable
{
public:
    explicit TWordVariable(std::string_view name);
    TVariableKind Kind() const override { return TVariableKind::Word; }

protected:
    int64_t Decode(std::span<const uint8_t> raw) const override;
    void Encode(int64_t value, std::span<uint8_t> raw) const override;
};

class TSmallIntVariable final : public TIntegralVariable
{
public:
    explicit TSmallIntVariable(std::string_view name);
    TVariableKind Kind() const override { return TVariableKind::SmallInt; }

protected:
    int64_t Decode(std::span<const uint8_t> raw) const override;
    void Encode(int64_t value, std::span<uint8_t> raw) const override;
};

// The device lays the two halves out low word first, each word big-endian;
// encoding is the exact inverse, so a value set here reads back unchanged.
class TIntVariable final : public TIntegralVariable
{
public:
    explicit TIntVariable(std::string_view name);
    TVariableKind Kind() const override { return TVariableKind::Int; }

protected:
    int64_t Decode(std::span<const uint8_t> raw) const override;
    void Encode(int64_t value, std::span<uint8_t> raw) const override;
};

// A scaled quantity: the owning module supplies both conversions.
class TDoubleVariable : public TVariable
{
public:
    TDoubleVariable(std::string_view name, std::size_t dataLength);
    TVariableKind Kind() const override { return TVariableKind::Double; }
    void UpdateText() override;
    void RawToValue() override;
    int64_t GetAsInteger() const override;
    void SetAsInteger(int64_t value) override { SetAsDouble(static_cast<double>(value)); }
    double GetAsDouble() const override { return value_; }
    void SetAsDouble(double value) override;
    bool WritesDefaultToRaw() const override { return false; }
    // The range the device field holds; SetAsDouble refuses values outside
    // it and values that are not finite, so nothing wraps in the raw bytes.
    void SetLimits(double min, double max)
    {
        min_ = min;
        max_ = max;
    }
    double Min() const { return min_; }
    double Max() const { return max_; }

private:
    double value_ = 0;
    double min_ = -1e300;
    double max_ = 1e300;
};

class TBoolVariable;

// A value of the OBD data whose availability two flag bytes tell.
class TDoubleOBDVariable final : public TDoubleVariable
{
public:
    using TDoubleVariable::TDoubleVariable;
    TVariableKind Kind() const override { return TVariableKind::DoubleOBD; }
    TBoolVariable *PidAllow = nullptr;
    TBoolVariable *PidSupport = nullptr;
    uint16_t PidMask = 0;
};

// A flag set of one or two bytes (two: little-endian). Bit views register
// as children, so a change of the byte reaches the windows that show its
// individual bits.
class TBoolVariable : public TVariable
{
public:
    TBoolVariable(std::string_view name, std::size_t dataLength);
    TVariableKind Kind() const override { return TVariableKind::Bool; }
    void UpdateText() override;
    void RawToValue() override;
    int64_t GetAsInteger() const override;
    void SetAsInteger(int64_t value) override;
    double GetAsDouble() const override { return value_; }
    void SetAsDouble(double value) override;
    void SetRaw(std::span<const uint8_t> bytes, bool force) override;

    bool GetAsBoolean() const;
    void SetAsBoolean(bool value);
    uint16_t PreviousValue() const { return previous_; }
    TBoolVariable *Parent() const { return parent_; }
    const std::vector<TBoolVariable *> &Children() const { return children_; }
    bool IsBitView() const { return parent_ != nullptr; }
    uint16_t Mask() const { return value_; }

protected:
    // A bit view of `parent` for `mask`.
    TBoolVariable(std::string_view name, uint8_t mask, TBoolVariable &parent);

private:
    uint16_t value_ = 0;
    uint16_t previous_ = 0;
    bool setting_ = false;
    TBoolVariable *parent_ = nullptr;
    std::vector<TBoolVariable *> children_;
};

class TBoolByteVariable final : public TBoolVariable
{
public:
    explicit TBoolByteVariable(std::string_view name) : TBoolVariable(name, 1) {}
    TBoolByteVariable(std::string_view name, uint8_t mask, TBoolVariable &parent) : TBoolVariable(name, mask, parent) {}
    TVariableKind Kind() const override { return TVariableKind::BoolByte; }
};

// Text the device sends in a fixed field: up to the first zero byte,
// decoded as UTF-8 with invalid bytes replaced.
class TStringVariable final : public TVariable
{
public:
    TStringVariable(std::string_view name, std::size_t dataLength);
    TVariableKind Kind() const override { return TVariableKind::String; }
    void UpdateText() override;
    void RawToValue() override;
    int64_t GetAsInteger() const override { return static_cast<int64_t>(Text().size()); }
    void SetAsInteger(int64_t) override {}
    double GetAsDouble() const override { return static_cast<double>(Text().size()); }
    void SetAsDouble(double) override {}
};

// Raw bytes up to the first zero, invalid UTF-8 replaced by U+FFFD.
std::string TextFromField(std::span<const uint8_t> raw);

} // namespace lumex
