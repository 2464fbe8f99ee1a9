#include "controller/FreezeFrame.h"

#include "common/Format.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/TroubleCodes.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<uint8_t, 8> kDigitBits = {1, 2, 4, 8, 16, 32, 64, 128};

} // namespace

TFreezeFrameRead ReadFreezeFrame(TDataManager &manager)
{
    TFreezeFrameRead read;
    TFreezeFrame &f = read.Frame;
    const auto group = manager.TryReadMemByte(freezemem::kGroup);
    if (!group)
        return read;
    if (*group == kNoFreezeFrame) {
        read.Outcome = TFreezeFrameOutcome::Absent;
        return read;
    }
    f.Group = *group;
    bool ok = true;
    const auto byteAt = [&](uint16_t address, uint8_t &into) {
        if (!ok)
            return;
        const auto v = manager.TryReadMemByte(address);
        ok = v.has_value();
        into = v.value_or(0);
    };
    const auto wordAt = [&](uint16_t address, uint16_t &into) {
        if (!ok)
            return;
        const auto v = manager.TryReadMemWord(address);
        ok = v.has_value();
        into = v.value_or(0);
    };
    byteAt(freezemem::kBit, f.Bit);
    wordAt(freezemem::kRpmPeriod, f.RpmPeriod);
    wordAt(freezemem::kPetrolTime, f.PetrolTime);
    wordAt(freezemem::kGasTime, f.GasTime);
    byteAt(freezemem::kPsys, f.PsysRaw);
    byteAt(freezemem::kPcol, f.PcolRaw);
    byteAt(freezemem::kTred, f.TredRaw);
    byteAt(freezemem::kTgas, f.TgasRaw);
    byteAt(freezemem::kSupply, f.SupplyRaw);
    if (!ok)
        return read;
    const uint8_t sensor = manager.Data().PressureSensorType;
    f.PsysBar = PsysBar(f.PsysRaw, sensor, [&](uint8_t index) {
        const auto v = manager.ReadWordVarForStore(index);
        ok = ok && v.has_value() && manager.LinkUp;
        return v.value_or(0);
    });
    f.PcolBar = PcolBar(f.PcolRaw, sensor);
    read.Outcome = ok ? TFreezeFrameOutcome::Present : TFreezeFrameOutcome::Failed;
    return read;
}

int FreezeFrameDigit(uint8_t bit)
{
    for (std::size_t i = 0; i < kDigitBits.size(); ++i)
        if (kDigitBits[i] == bit)
            return static_cast<int>(i) + 1;
    return 0;
}

std::string FreezeFrameCode(const TFreezeFrame &frame)
{
    // The stored group byte counts from 0; a digit of 0 names no bit.
    return TroubleCodeName(TTroubleCode{frame.Group + 1, FreezeFrameDigit(frame.Bit), TTroubleClass::Error});
}

std::vector<std::string> FreezeFrameLines(const TFreezeFrame &f)
{
    std::vector<std::string> lines;
    lines.push_back("Kod/Code= " + FreezeFrameCode(f));
    lines.push_back(FormatText("Rpm=%s rpm", ShowRpm(f.RpmPeriod).c_str()));
    lines.push_back(FormatText("Tb=%s ms", FormatTime(TimeMs(f.PetrolTime)).c_str()));
    lines.push_back(FormatText("Tg=%s ms", FormatTime(TimeMs(f.GasTime)).c_str()));
    lines.push_back(FormatText("P=%s bar", ShowPsys(f.PsysRaw, f.PsysBar).c_str()));
    lines.push_back(FormatText("Pcol=%s bar", FormatPressure(f.PcolBar).c_str()));
    lines.push_back(FormatText("Tred=%s C", ShowTemperature(f.TredRaw).c_str()));
    lines.push_back(FormatText("Tgas=%s C", ShowTemperature(f.TgasRaw).c_str()));
    lines.push_back(FormatText("Usupply=%.2f V", SupplyVolts(f.SupplyRaw)));
    return lines;
}

} // namespace lumex
