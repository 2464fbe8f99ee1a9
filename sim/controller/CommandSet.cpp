#include "sim/controller/CommandSet.h"

#include "controller/CommandTable.h"
#include "sim/Trace.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

// The 1.4/1.5 firmware: the older block layout, no 3.0 tables or maps.
constexpr std::array<uint8_t, 37> kLegacySet{
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x10, 0x12, 0x13, 0x14, 0x15, 0x16, 0x18, 0x20, 0x21, 0x22, 0x31,
    0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3D, 0x3E, 0x3F, 0x40, 0x50, 0x51, 0x52, 0x53};

// The letter a 3.0 controller needs for a command; 'A' = every 3.0 letter,
// 0 = not a 3.0 command at all.
char Gen30Gate(uint8_t code)
{
    switch (code) {
    case 0x03:
    case 0x04:
        return 0; // the 1.4/1.5 basic block; 3.0 uses 0xD8/0xD9
    case 0x93:
    case 0x94: // per-cylinder gas corrections
    case 0x95:
    case 0x96: // adapted model points
    case 0xDC:
    case 0xDD:
    case 0xDF: // G3 maps
        return 'D';
    case 0x97:
    case 0x98: // manifold-pressure correction table
        return 'F';
    case 0x0B: // single live block
    case 0x54:
    case 0x55: // programming-PC history
    case 0x56:
    case 0x57: // inspection
    case 0x60:
    case 0x61:
    case 0x62: // adaptation
    case 0x64: // load index
        return 'G';
    default:
        return lumex::FindCommand(code) != nullptr ? 'A' : 0;
    }
}

} // namespace

bool Understands(const ControllerIdentity &id, uint8_t code)
{
    if (code == kJumpToBootloader)
        return true;
    if (id.IsLegacy())
        return std::find(kLegacySet.begin(), kLegacySet.end(), code) != kLegacySet.end();
    const char gate = Gen30Gate(code);
    if (gate == 0)
        return false;
    return gate == 'A' || id.LetterAtLeast(gate);
}

std::string WhyNotUnderstood(const ControllerIdentity &id, uint8_t code)
{
    if (Understands(id, code))
        return {};
    if (lumex::FindCommand(code) == nullptr)
        return "command " + HexByte(code) + " is unknown to every controller";
    if (id.IsLegacy())
        return "command " + HexByte(code) + " is not understood by a generation " + id.Text() + " controller";
    const char gate = Gen30Gate(code);
    if (gate == 0)
        return "command " + HexByte(code) + " belongs to generations 1.4/1.5, not to " + id.Text();
    return "command " + HexByte(code) + " needs firmware letter " + std::string(1, gate) +
           " or later; this controller is " + id.Text();
}

bool IsGuardedWrite(uint8_t code)
{
    switch (code) {
    case 0x04:
    case 0x08:
    case 0x14:
    case 0x15:
    case 0x16:
    case 0x18:
    case 0x32:
    case 0x34:
    case 0x37:
    case 0x38:
    case 0x39:
    case 0x52:
    case 0x55:
    case 0x57:
    case 0x62:
    case 0x92:
    case 0x94:
    case 0x96:
    case 0x98:
    case 0xC1:
    case 0xD1:
    case 0xD3:
    case 0xD5:
    case 0xD9:
    case 0xDA:
    case 0xDE:
    case 0xDF:
        return true;
    default:
        return false;
    }
}

} // namespace sim
