// The configuration fields, one table: each field by the name a
// configuration file stores it under, where it travels on each controller
// generation, from which firmware revision, in which unit and encoding, and
// the list its value is picked from. Values live only in the data image;
// this table says which image field holds each one.
#pragma once

#include "configuration/ValueLists.h"
#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lumex {

enum class TPlaceKind : uint8_t
{
    None,        // the generation has no such field
    Block30,     // the 3.0 configuration block, data byte `index`
    MainBlock,   // the 1.4/1.5 main block, data byte `index` in read order
    ByteParam,   // byte parameter `index`
    WordParam,   // word parameter `index`
    InfoWord,    // word variable `index` (read-only)
    LevelTableA, // level sensor table A, slot `index`
    LevelTableB, // level sensor table B, slot `index`
    Inspection   // the inspection record: 0 ratio, 1 next inspection
};

// Bits `shift` .. `shift + width - 1`; a block field wider than 8 bits is a
// word at `index` and `index + 1`, high byte first.
struct TFieldPlace
{
    TPlaceKind Kind = TPlaceKind::None;
    uint8_t Index = 0;
    uint8_t Shift = 0;
    uint8_t Width = 8;
};

// What the configuration read and write do with a field.
enum class TTransfer : uint8_t
{
    ReadWrite, // read by the configuration read, sent by the configuration write
    ReadOnly,  // read, but written elsewhere or never
    Separate   // neither: its own page or command carries it
};

enum class TEncoding : uint8_t
{
    Plain,          // the number in the field's unit
    Flag,           // 0 or 1
    Enumeration,    // a code of the field's list
    InjectorMask,   // injector channel mask 2^n - 1
    Ticks,          // 187 per ms
    RpmPeriod,      // 22,440,000 / rpm, 14 bits
    TwoMs,          // 2-ms units
    TenthSec,       // 0.1-s units
    RawTemperature, // sensor count by table
    RawPressure,    // pressure code by table
    SignedPercent   // two's complement byte
};

struct TGenerationPlace
{
    TFieldPlace Place;
    const char *From = nullptr; // revision gate (3.0: C, D, F, G; 1.5: D, E); none = every revision
    TTransfer Transfer = TTransfer::ReadWrite;
};

using TByteField = uint8_t TNorviData::*;
using TWordField = uint16_t TNorviData::*;
using TImageField = std::variant<TByteField, TWordField>;

struct TConfigField
{
    const char *Name;
    TGenerationPlace G30;
    TGenerationPlace G1x; // a gate here means 1.5 from that letter, never 1.4
    TImageField Image;
    std::optional<TImageField> ImageG1x; // where 1.4/1.5 keep it, when elsewhere
    const char *UnitKey;                 // message key of the unit; nullptr for none
    TEncoding Encoding;
    std::optional<TValueListId> List;
    std::optional<TValueListId> ListG1x; // the 1.4/1.5 page's list, when it differs
};

std::span<const TConfigField> ConfigFields();
const TConfigField *FindConfigField(std::string_view name);

// Where the field travels for the image's generation and revision; nothing
// when the controller has no such field.
std::optional<TGenerationPlace> PlaceOn(const TConfigField &field, const TNorviData &d);
bool IsPresent(const TConfigField &field, const TNorviData &d);
// The fields the image's controller has, in table order.
std::vector<const TConfigField *> FieldsPresent(const TNorviData &d);

// The raw value in the image, and storing one (a mask also sets the
// injectors in use). The value is cut to the image field's width.
unsigned RawValue(const TConfigField &field, const TNorviData &d);
void SetRawValue(const TConfigField &field, TNorviData &d, unsigned raw);
// The largest raw value the field's place can carry.
unsigned MaxRaw(const TConfigField &field, const TNorviData &d);
std::optional<TValueListId> ListOf(const TConfigField &field, const TNorviData &d);

// The bits a read gives back of what was written: the 3.0 block returns
// only bit 1 of the injector class, and switch speeds keep 14 bits.
unsigned ReadBackMask(const TConfigField &field, const TNorviData &d);
// True when the controller replaces the field on reading, so a read-back
// cannot show what was written: byte 37 before 3.0 "C" reads as 1, and a
// 1.4 reports its pressure sensor through its hardware variant.
bool ReadBackReplaced(const TConfigField &field, const TNorviData &d);

} // namespace lumex
