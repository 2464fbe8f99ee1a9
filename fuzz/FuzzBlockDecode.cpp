// Arbitrary answer bytes through every decoder of the parameter-block and
// service commands, at arbitrary lengths and cut to each command's own
// length, with arbitrary indexes, rows, halves and selectors; then the
// decoded image back through the write encoders and the parameter tables.
#include "controller/BlockCodec.h"
#include "controller/CommandTable.h"
#include "controller/ParamTables.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace lumex;

namespace {

void DecodeAll(TAnswerBytes b, uint8_t pick, TNorviData &d, TImagePoints &points)
{
    (void)DecodeByteParam(b);
    (void)DecodeWordParam(b);
    (void)DecodeModelParam(b);
    DecodeBasicConfig(b, d);
    DecodeBasicConfigG3(b, d);
    DecodeLevelTable((pick & 1) != 0, b, d);
    DecodeInjectorParams(b, d);
    DecodeInspection(b, d);
    DecodeModelBlock(b, d);
    DecodeModelPoints(b, points.ModelPoints);
    DecodeModel2Half(0xD4, pick % 3, b, d.Model2SetA);
    DecodeModel2Half(0x95, pick % 3, b, d.Model2SetB);
    DecodeModel2Half(pick, pick & 1, b, d.Model2SetB);
    for (TCorrTable t : {TCorrTable::CPS, TCorrTable::CPCOL, TCorrTable::CTG, TCorrTable::CRPM})
        DecodeCorrTable(t, b, d);
    DecodeInjCorr(b, d);
    DecodeMapG3Row(0xDC, pick, b, d);
    DecodeMapG3Row(0xDD, pick % 41, b, d);
    if (const auto words = DecodeMapBlock(b)) {
        for (uint16_t w : *words)
            (void)DecodeMapPoint(w, pick);
    }
    DecodeAdaptationInfo(b, d);
    DecodeAdaptationCorr(pick, b, d);
    if (b.size() > 2)
        DecodeAdaptationCorr(b[2], b, d);
    DecodeTroubleFlags(b, d);
    DecodeCalibrationState(b, (pick & 1) != 0, d);
    DecodeErrorLogRecord(pick % 12, b, d);
    (void)DecodeMemByte(b);
    DecodeEmulatorSwitches(b, d);
    DecodeInjSystemDetect(pick % 4, b, d);
    DecodeInjTestCounters(b, d);
    DecodeInjTestValues(b, d);
    DecodeComputerCodes(b, d);
}

// What a write would send for the image the decoders left.
void EncodeAll(const TNorviData &d, const TImagePoints &points, uint8_t pick)
{
    (void)EncodeBasicConfig(d);
    (void)EncodeBasicConfigG3(d);
    (void)EncodeModelPoints(points.ModelPoints);
    (void)EncodeModel2Half(pick % 3, d.Model2SetA);
    (void)EncodeAdaptationHalf(pick, d);
    for (unsigned index = 0; index < 256; ++index) {
        (void)ByteParamValue(static_cast<uint8_t>(index), d);
        (void)WordParamValue(static_cast<uint8_t>(index), d);
        (void)ModelParamValue(static_cast<uint8_t>(index), d);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TNorviData d;
    TImagePoints points;
    const uint8_t pick = size > 0 ? data[0] : 0;
    d.VersionCode = size > 1 ? data[1] : 0;
    d.SoftwareLetter = size > 2 ? std::string(1, static_cast<char>(data[2])) : std::string();
    const TAnswerBytes input(data, size);
    DecodeAll(input, pick, d, points);

    // The same bytes as whole answers of every command with an answer longer
    // than an acknowledgement.
    for (const CommandInfo &entry : CommandTable()) {
        if (entry.answerLength <= kAckLength)
            continue;
        std::vector<uint8_t> frame(entry.answerLength, 0);
        for (std::size_t i = 0; i < frame.size() && i < size; ++i)
            frame[i] = data[i];
        DecodeAll(frame, pick, d, points);
    }
    // A parameter answer stored under every index.
    std::vector<uint8_t> param(6, 0);
    for (std::size_t i = 0; i < param.size() && i < size; ++i)
        param[i] = data[i];
    const auto byteValue = DecodeByteParam(std::span<const uint8_t>(param).first(5));
    const auto wordValue = DecodeWordParam(param);
    for (unsigned index = 0; index < 256; ++index) {
        const auto i = static_cast<uint8_t>(index);
        StoreByteParam(i, byteValue.value_or(0), d);
        StoreWordParam(i, wordValue.value_or(0), d);
        StoreModelParam(i, wordValue.value_or(0), d);
    }
    EncodeAll(d, points, pick);
    return 0;
}
