// The fixed table of section names that prefixes every module variable's
// name ("OBD:PidMask"). Files are validated against the whole table.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumex {

enum class TSection : int
{
    None = 0,
    Local = 1,
    DevInfo = 2,
    DevState = 3,
    Config = 4,
    Model = 5,
    Map = 6,
    Panel = 7,
    Corrections = 8,
    Diagnostic = 9,
    MapRpm = 10,
    MapPetrol = 11,
    MapGas = 12,
    MapMapCorr = 13,
    MapMapSamp = 14,
    DiagnAdv = 15,
    TroubleCodes = 16,
    FreezedFrame = 17,
    CarInfo = 18,
    Adapter = 19,
    OBD = 20,
    AIO = 21,
    AutoSetup = 23
};

// Empty for an index the table does not have (22 among them).
std::string_view SectionName(TSection section);
// "Section:Name"; just the name for the empty section.
std::string MakeVariableName(TSection section, std::string_view name);
// The table entry of that name (exact case); none for the empty text too.
std::optional<TSection> FindSection(std::string_view name);
// Every named section in table order.
const TSection *SectionsBegin();
const TSection *SectionsEnd();

} // namespace lumex
