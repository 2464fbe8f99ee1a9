// Arbitrary trouble flag bytes, configuration flags and freeze-frame memory
// through the decoding and every line the trouble-code page and the CLI
// print: no code outside E1011..E1048, no key outside err00..err37.
#include "controller/FreezeFrame.h"
#include "controller/TroubleCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace lumex;

namespace {

// The next input byte, or 0 once the input is used up.
struct TReader
{
    const uint8_t *Data;
    std::size_t Size;
    uint8_t Byte()
    {
        if (Size == 0)
            return 0;
        --Size;
        return *Data++;
    }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
};

void Check(const TTroubleCode &code)
{
    const std::string name = TroubleCodeName(code);
    const std::string key = TroubleMessageKey(code);
    if (name.size() != 5 || name.compare(0, 3, "E10") != 0 || name[3] < '1' || name[3] > '4' || name[4] < '1' ||
        name[4] > '8')
        std::abort();
    if (key.size() != 5 || key.compare(0, 3, "err") != 0 || key[3] < '0' || key[3] > '3' || key[4] < '0' ||
        key[4] > '7')
        std::abort();
    (void)TroublePrefix(code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    TReader in{data, size};
    std::array<uint8_t, 16> flags{};
    for (uint8_t &b : flags)
        b = in.Byte();
    const TTroubleContext context{in.Byte(), in.Byte()};
    const TTroubleCodes codes = DecodeTroubleCodes(flags, context);
    if (codes.Active.size() > 32 || codes.Stored.size() > 32)
        std::abort();
    for (const auto *list : {&codes.Active, &codes.Stored})
        for (const TTroubleCode &code : *list)
            Check(code);

    TFreezeFrame frame;
    frame.Group = in.Byte();
    frame.Bit = in.Byte();
    frame.RpmPeriod = in.Word();
    frame.PetrolTime = in.Word();
    frame.GasTime = in.Word();
    frame.PsysRaw = in.Byte();
    frame.PcolRaw = in.Byte();
    frame.TredRaw = in.Byte();
    frame.TgasRaw = in.Byte();
    frame.SupplyRaw = in.Byte();
    frame.PsysBar = in.Byte() / 50.0;
    frame.PcolBar = in.Byte() / 50.0;
    (void)FreezeFrameCode(frame);
    (void)FreezeFrameLines(frame);
    const int digit = FreezeFrameDigit(frame.Bit);
    if (digit < 0 || digit > 8)
        std::abort();
    return 0;
}
