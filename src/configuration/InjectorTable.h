// What the gas injector's element code implies for the configuration: the
// injector class the flag byte carries, the characteristic index some
// injectors send along, and the default model offset shown next to the list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

struct TInjectorClass
{
    uint8_t Class = 0; // bits 0-1 of the configuration flag byte
    // The injector characteristic index sent with the configuration (0x15),
    // for the injectors that have one.
    std::optional<uint8_t> Characteristic;
};

// Codes 30 and above are class 0 without a characteristic.
TInjectorClass InjectorClassOf(uint8_t code);

// "(1,0)", "(2,5)" ...; "(-,-)" for codes without a default model.
std::string DefaultModelOffsetLabel(uint8_t code);

} // namespace lumex
