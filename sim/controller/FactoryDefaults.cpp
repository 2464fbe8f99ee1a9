#include "sim/controller/FactoryDefaults.h"

#include "sim/controller/SensorCodes.h"

namespace sim {

const CorrTable kTgasStandard{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 1, 1, 1, 2, 2, 2, 3, 3, 4, 5};
const CorrTable kTgasBig{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 0, 2, 3, 4, 6, 8, 10, 12, 14, 15};
const CorrTable kRpmStandard{0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17};
// The pressure shape for a working pressure of 1.0 bar.
const CorrTable kPressureStandard{102, 80,  60,  47,  33,  23,  15,  9,   0,   -6,
                                  -10, -12, -16, -18, -22, -24, -26, -28, -31, -32};

namespace {

// Memory records every board carries (injector records, level thresholds).
void FactoryMemory(ParameterStore &s, bool legacy)
{
    s.SetMemWord(36, 561);
    s.SetMemByte(38, 37);
    s.SetMemByte(39, 15);
    s.SetMemWord(42, 19800);
    s.SetMemByte(44, 0);
    s.SetMemByte(45, 255);
    s.SetMemWord(46, 374);
    s.SetMemWord(48, 935);
    s.SetMemByte(50, 37);
    s.SetMemByte(51, 22);
    s.SetMemWord(54, 21063);
    s.SetMemByte(57, 255);
    s.SetMemWord(58, 374);
    s.SetMemWord(60, 935);
    s.SetMemByte(62, 50);
    s.SetMemByte(63, 20);
    s.SetMemWord(66, 21064);
    s.SetMemByte(69, 255);
    s.SetMemWord(70, 374);
    const uint8_t levelA[4]{200, 143, 92, 40};
    const uint8_t levelB[4]{21, 47, 61, 72};
    s.SetLevelTable(false, levelA);
    s.SetLevelTable(true, levelB);
    if (legacy) {
        s.SetMemWord(114, 512);
        s.SetMemWord(116, 512);
        s.SetMemWord(118, 1000);
        s.SetMemWord(120, 0);
        s.SetMemByte(122, 1);
    }
    // No trouble code frozen yet, no map points collected.
    s.SetMemByte(mem::kFreezeFrame, 0xFF);
    s.SetMapPoints(false, {});
    s.SetMapPoints(true, {});
    // A production serial: week 12 of 2010, number 4711.
    s.SetMemWord(mem::kSerialDate, 0x0C0A);
    s.SetMemWord(mem::kSerialLow, 4711);
    s.SetMemWord(mem::kSerialHigh, 0);
    s.SetMemByte(mem::kMaxBoardTemp, 0xFF);
}

void FactoryLog(ParameterStore &s)
{
    for (auto &record : s.errorLog) {
        record.fill(0);
        record[0] = 0xFF;
    }
    s.errorLogHead = 0;
}

void Factory30(ParameterStore &s, const ControllerIdentity &id)
{
    auto &b = s.byteParams;
    auto &w = s.wordParams;
    const uint8_t injector = DefaultInjector(id.pcCompatCode);
    const int count = id.HardwareInjectors() == 0 ? 4 : id.HardwareInjectors();
    s.core.RPM = 56100;
    s.core.T = 100;
    s.core.InjMask = MaskForInjectors(count);
    s.core.InjType = InjectorClass(injector);
    b[2] = injector;
    b[23] = 150;
    b[33] = 1;
    b[4] = 57;
    b[3] = 5;
    b[17] = 1; // micro-injection
    b[21] = 1; // tuning mode
    w[7] = 0;
    w[6] = 66;
    b[10] = 15;
    b[11] = 0;
    b[12] = 1;
    w[9] = 500;
    b[30] = 104;
    b[32] = 1;
    w[8] = 0;
    w[10] = 500;
    b[6] = id.LetterAtLeast('F') ? 1 : 0;
    b[28] = 3;
    b[31] = 32;
    w[11] = 400;
    w[12] = 8000;
    b[29] = 90;
    b[35] = 195;
    b[37] = 65;
    b[38] = 77;
    b[39] = 50;
    b[42] = 156;
    w[16] = 748;
    b[40] = 1;
    b[44] = 226;
    b[43] = 50;
    w[19] = 748;
    w[18] = 2500;
    b[49] = 0;
    b[50] = 0;
    b[52] = 8;
    w[24] = 500;
    w[25] = 2000;
    w[20] = 374;
    w[21] = 3740;
    w[22] = 4675;
    w[23] = 0;
    w[14] = 0;
    b[19] = 2;
    b[22] = id.pcCompatCode == 19 ? 1 : 0;
    if (id.LetterAtLeast('D')) {
        b[45] = 2;
        b[46] = 2;
    }
    s.inspectionRatio = 50;
    s.modelParams[74] = 3;
    s.modelParams[104] = 0;
    s.cps = kPressureStandard;
    s.ctg = id.pcCompatCode == 19 ? kTgasBig : kTgasStandard;
    s.crpm = kRpmStandard;

    // Default gas model: a unit slope through the injector's offset.
    const double offset = DefaultModelOffsetMs(injector);
    s.modelParams[1] = 1024;
    s.modelParams[2] = Ticks(offset);
    s.modelParams[11] = 1024;
    const double xs[6]{0, 1.5, 4.5, 8, 15, 25};
    for (int i = 0; i < 6; ++i)
        s.model2A[i] = {Ticks(xs[i]), Ticks(xs[i] + offset)};
    s.model2B = s.model2A;
    s.modelPoints = {Ticks(3.0), Ticks(3.0 + offset), Ticks(6.0), Ticks(6.0 + offset)};
    // Adaptation grid: RPM thresholds every 600 rpm.
    for (int i = 0; i < 10; ++i)
        s.adaptInfoWords[i] = static_cast<uint16_t>(800 + 600 * i);
}

void Factory145(ParameterStore &s, const ControllerIdentity &id)
{
    auto &b = s.byteParams;
    auto &w = s.wordParams;
    const int count = id.HardwareInjectors() == 0 ? 4 : id.HardwareInjectors();
    s.core.InjMask = MaskForInjectors(count);
    s.core.EngineType = 0;
    s.core.FuelType = 0;
    s.core.RPMsource = 0;
    s.core.T = 100;
    s.core.RPM = 56100;
    s.core.InjType = InjectorClass(0);
    b[2] = 0; // MATRIX
    w[7] = 0;
    w[6] = 66;
    b[12] = 0;
    w[8] = 0;
    b[11] = 0;
    b[10] = 21;
    b[8] = 0;
    b[33] = 1;
    w[9] = 500;
    w[10] = 500;
    b[4] = 57;
    b[3] = 4;
    b[23] = 150;
    b[1] = 0;
    b[28] = 2;
    b[19] = 2;
    // Straight-line model with four enrichment points.
    s.modelParams[1] = 1024;
    s.modelParams[2] = 187;
    s.modelParams[3] = Ticks(5);
    s.modelParams[4] = Ticks(10);
    s.modelParams[5] = Ticks(15);
    s.modelParams[6] = Ticks(20);
    for (uint8_t i = 7; i <= 10; ++i)
        s.modelParams[i] = 4096;
    s.modelParams[11] = 1024;
}

} // namespace

uint8_t InjectorClass(uint8_t code)
{
    switch (code) {
    case 1:
    case 6:
        return 1;
    case 4:
    case 8:
    case 9:
    case 10:
    case 14:
    case 17:
        return 2;
    case 0:
    case 2:
    case 3:
    case 5:
    case 7:
    case 11:
    case 12:
    case 13:
    case 16:
    case 18:
    case 19:
    case 21:
    case 22:
    case 23:
    case 24:
    case 28:
    case 29:
        return 3;
    default:
        return 0;
    }
}

uint8_t DefaultInjector(uint8_t pcCompatCode)
{
    switch (pcCompatCode) {
    case 2:
    case 12:
    case 20:
    case 21:
        return 22;
    case 3:
    case 5:
    case 14:
    case 18:
        return 11;
    case 4:
        return 5;
    case 6:
        return 14;
    case 8:
        return 10;
    case 11:
        return 7;
    case 15:
        return 17;
    case 19:
        return 2;
    default:
        return 0;
    }
}

double DefaultModelOffsetMs(uint8_t code)
{
    switch (code) {
    case 21:
    case 22:
        return 1.1;
    case 0:
    case 19:
    case 28:
        return 0.3;
    case 5:
    case 12:
    case 13:
    case 15:
    case 16:
    case 18:
        return 0.8;
    case 2:
    case 10:
        return 1.7;
    case 4:
    case 8:
    case 9:
    case 11:
    case 14:
    case 17:
        return 1.5;
    case 1:
    case 6:
    case 23:
    case 24:
        return 0.9;
    case 7:
        return 0.7;
    default:
        return 1.1;
    }
}

ParameterStore FactoryStore(const ControllerIdentity &id)
{
    ParameterStore s;
    for (auto &point : s.model2A)
        point = {};
    s.model2B = s.model2A;
    FactoryMemory(s, id.IsLegacy());
    FactoryLog(s);
    if (id.IsLegacy())
        Factory145(s, id);
    else
        Factory30(s, id);
    return s;
}

} // namespace sim
