// Where each indexed parameter of the controller lives in the data image:
// byte parameters (0x07/0x08), word parameters (0x51/0x52) and model
// parameters (0x12/0x16). Storing decodes a wire value into the image;
// the value functions give what a write sends for the image as it is now.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>

namespace lumex {

// Byte parameter `index` read as `value` into its fields. False when the
// index has no field (nothing is stored).
bool StoreByteParam(uint8_t index, uint8_t value, TNorviData &d);
// The byte a write of parameter `index` sends: the kept byte with the bits
// the image owns put in. Nothing for an index without a field.
std::optional<uint8_t> ByteParamValue(uint8_t index, const TNorviData &d);

bool StoreWordParam(uint8_t index, uint16_t value, TNorviData &d);
std::optional<uint16_t> WordParamValue(uint8_t index, const TNorviData &d);

// Model parameters known to the controller: 1..74, 83 and 104.
bool IsKnownModelParam(uint8_t index);
// Scales a wire value into its field; false for an unknown index.
bool StoreModelParam(uint8_t index, uint16_t wire, TNorviData &d);
// The wire value of the field; nothing for an unknown index or a value the
// wire cannot carry.
std::optional<uint16_t> ModelParamValue(uint8_t index, const TNorviData &d);

// Word variable 28 to hardware injector channels; nothing for codes other
// than 0..3 (the count is then left as it was).
std::optional<uint8_t> InjectorsForChannelCode(uint16_t code);
// Injectors in use for a channel mask (7, 15, 31, 63, 255); nothing for
// other masks.
std::optional<uint8_t> InjectorsForMask(uint8_t mask);

} // namespace lumex
