// Module settings files: the Info checks and the application of every
// key to a state with one parameter of each saved kind. Nothing may raise,
// and whatever a file says, every value stays inside its variable's range.
#include "documents/IniFile.h"
#include "modules/DataState.h"
#include "modules/ModuleFile.h"
#include "modules/ModuleQuestions.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace lumex;

class TStates : public TBaseDevState
{
public:
    explicit TStates(TDeviceState &aggregate)
        : TBaseDevState(aggregate), Corr(CreateParam<TDoubleVariable>(0, "OBD:Corr", 1)),
          Level(CreateParam<TByteVariable>(20, "OBD:Level")), Delay(CreateParam<TWordVariable>(1000, "OBD:Delay")),
          Offset(CreateParam<TSmallIntVariable>(-5, "OBD:Offset")),
          Flags(CreateParam<TBoolByteVariable>(3, "OBD:Flags")),
          Bit(Create<TBoolByteVariable>("OBD:Bit", uint8_t{2}, Flags)), On(CreateParam<TBoolByteVariable>(1, "AIO:On"))
    {
        Corr.SetLimits(-128, 127);
        Corr.SetOnRawToValue(MakeRawToValue([](const TVariable &, std::span<const uint8_t> raw) {
            return static_cast<double>(static_cast<int8_t>(raw[0]));
        }));
        Corr.SetOnValueToRaw(MakeValueToRaw([](const TVariable &, double x, std::span<uint8_t> raw) {
            raw[0] = static_cast<uint8_t>(static_cast<int8_t>(x));
        }));
    }
    TDoubleVariable &Corr;
    TByteVariable &Level;
    TWordVariable &Delay;
    TSmallIntVariable &Offset;
    TBoolByteVariable &Flags;
    TBoolByteVariable &Bit;
    TBoolByteVariable &On;
};

class TNo : public TModuleQuestions
{
public:
    bool YesNo(const std::string &, bool, bool) override { return false; }
    bool OkCancel(const std::string &) override { return false; }
    void Message(const std::string &) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    TIniFile ini;
    try {
        ini = TIniFile::Parse(text);
    } catch (const EIniFileError &) {
        return 0; // too big to be one of ours: refused before reading
    }
    TUIState ui;
    TStates states(ui);
    states.Publish(1);
    TNo no;
    std::string message;
    (void)TModuleFile::CheckInfo(ini, "2.1", no, message);
    const auto applied = TModuleFile::ApplySections(ui, ini, {TSection::OBD, TSection::AIO});
    if (applied.Ok && (!applied.Unrecognized.empty() || !applied.Unreadable.empty()))
        __builtin_trap();
    const double corr = states.Corr.GetAsDouble();
    // The value is kept as the file gave it (1.5 stays 1.5); the raw byte is
    // its encoding and never a wrapped one.
    if (!(corr >= -128 && corr <= 127) || static_cast<int8_t>(states.Corr.Raw()[0]) != static_cast<int>(corr))
        __builtin_trap();
    if (states.Level.GetAsInteger() < 0 || states.Level.GetAsInteger() > 255 || states.Delay.GetAsInteger() < 0 ||
        states.Delay.GetAsInteger() > 65535 || states.Offset.GetAsInteger() < -32768 ||
        states.Offset.GetAsInteger() > 32767 || states.Flags.GetAsInteger() > 255)
        __builtin_trap();
    return 0;
}
