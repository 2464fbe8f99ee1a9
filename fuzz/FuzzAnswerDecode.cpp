// Arbitrary answer bytes through every decoder of the controller link, at
// arbitrary lengths and cut to each command's own length, then through the
// conversions and texts that read the decoded image.
#include "controller/AnswerDecode.h"
#include "controller/CommandTable.h"
#include "controller/Conversions.h"
#include "controller/Frame.h"
#include "controller/Version.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace lumex;

namespace {

void DecodeAll(TAnswerBytes b, TNorviData &d)
{
    DecodeVersionCode(b, d);
    DecodeCompileInfo(b, d);
    for (unsigned index = 0; index < 8; ++index)
        DecodeIdentByte(index, b, d);
    DecodeLiveData(b, d);
    DecodeLiveDataHigh(b, d);
    DecodeLiveDataFull(b, d);
    DecodePcol(b, d);
    DecodeCalRPM(b, d);
    DecodeLoadIndex(b, d);
    DecodeLockState(b, d);
    (void)DecodeWordVar(b);
    (void)DecodeMemWord(b);
    (void)FrameChecksumValid(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TNorviData d;
    const TAnswerBytes input(data, size);
    DecodeAll(input, d);

    // The same bytes as whole answers of every command this layer decodes.
    constexpr std::array<uint8_t, 12> kCodes{0x01, 0x02, 0x05, 0x06, 0x0B, 0x22, 0x31, 0x3F, 0x40, 0x50, 0x53, 0x64};
    for (uint8_t code : kCodes) {
        std::vector<uint8_t> frame(FindCommand(code)->answerLength, 0);
        for (std::size_t i = 0; i < frame.size() && i < size; ++i)
            frame[i] = data[i];
        DecodeAll(frame, d);
    }

    // Whatever the controller sent must convert and print without harm.
    d.InjSW = size > 0 ? data[0] : 0;
    d.PressureSensorType = size > 1 ? data[1] : 0;
    d.T = size > 2 ? data[2] : 0;
    const TWordVarReader read = [&](uint8_t index) -> uint16_t {
        return size > index ? static_cast<uint16_t>(data[index] * 257) : 0;
    };
    volatile double sink = AvgPetrolTimeMs(d) + AvgGasTimeMs(d) + TempC(d.TredRaw) + TempC(NominalTredRaw(d, read)) +
                           PsysBar(d.PsysRaw, d.PressureSensorType, read) + PcolBar(d.PcolRaw, d.PressureSensorType) +
                           RpmFromPeriod(d.RpmPeriod) + LambdaVolts(d.LambdaRaw, d.LambdaType);
    (void)sink;
    (void)VersionString(d, true);
    (void)VersionString(d, false);
    (void)ControllerSerialText(static_cast<uint16_t>(d.RpmPeriod), static_cast<uint16_t>(d.PetrolTime[0]),
                               static_cast<uint16_t>(d.GasTime[0]), d.PcCompatCode);
    (void)NewestComputerCodeSlot(d);
    (void)LoadRow(d);
    return 0;
}
