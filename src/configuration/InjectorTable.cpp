#include "configuration/InjectorTable.h"

#include <array>

namespace lumex {

namespace {

constexpr uint8_t kNone = 0xFF;

struct InjectorRow
{
    uint8_t cls;
    uint8_t characteristic; // kNone: nothing is sent
    const char *offset;
};

// By element code 0..29.
constexpr std::array<InjectorRow, 30> kInjectors{{
    {3, 11, "(1,0)"},   // 0 MATRIX (5ohms)
    {1, kNone, "(2,0)"}, // 1 REG
    {3, 7, "(2,0)"},    // 2 VALTEK (3ohms)
    {3, 1, "(1,0)"},    // 3 AG (12ohms)
    {2, kNone, "(2,0)"}, // 4 ZAVOLI
    {3, 10, "(1,0)"},   // 5 LUMEX JET
    {1, kNone, "(1,5)"}, // 6 MWM-FOCUS
    {3, 13, "(1,0)"},   // 7 TAURUS
    {2, kNone, "(2,5)"}, // 8 ROMANO
    {2, kNone, "(2,0)"}, // 9 ROMANO-FAST
    {2, kNone, "(2,5)"}, // 10 TAVIRA (3ohms)
    {3, 4, "(2,0)"},    // 11 RAIL IG1,IG2 (3ohms)
    {3, 9, "(1,0)"},    // 12 VALTEK (1ohm)
    {3, 6, "(1,0)"},    // 13 RAIL IG1,IG2 (1ohm)
    {2, kNone, "(2,0)"}, // 14 NXGAS (3ohms)
    {0, kNone, "(1,0)"}, // 15 NXGAS (1ohm)
    {3, 14, "(1,0)"},   // 16 PLANI jet
    {2, kNone, "(2,0)"}, // 17 Brivel-mono (3ohms)
    {3, 15, "(1,0)"},   // 18 KEIHIN (1ohm)
    {3, 16, "(1,0)"},   // 19 MATRIX (3ohms)
    {0, kNone, "(1,8)"}, // 20 KOLTEC
    {3, 2, "(1,1)"},    // 21 RAIL HORIZON IG3(E3)
    {3, 3, "(1,1)"},    // 22 RAIL HORIZON IG3(E2)
    {3, 5, "(1,8)"},    // 23 RAIL IG1,IG2 (2ohms)
    {3, 8, "(1,8)"},    // 24 VALTEK (2ohms)
    {0, kNone, "(-,-)"}, // 25 placeholder
    {0, kNone, "(-,-)"}, // 26 placeholder
    {0, kNone, "(-,-)"}, // 27 placeholder
    {3, 12, "(1,0)"},   // 28 MATRIX (2ohms)
    {3, 17, "(1,1)"},   // 29 VALTEK TYPE34
}};

} // namespace

TInjectorClass InjectorClassOf(uint8_t code)
{
    if (code >= kInjectors.size())
        return {};
    const InjectorRow &row = kInjectors[code];
    TInjectorClass c;
    c.Class = row.cls;
    if (row.characteristic != kNone)
        c.Characteristic = row.characteristic;
    return c;
}

std::string DefaultModelOffsetLabel(uint8_t code)
{
    return code < kInjectors.size() ? kInjectors[code].offset : "(-,-)";
}

} // namespace lumex
