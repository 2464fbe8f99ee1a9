// Live readings: stepping the car, the live blocks and the word variables.
#include "sim/controller/ControllerModel.h"

#include "controller/CommandCodes.h"
#include "sim/controller/GasModel.h"
#include "sim/controller/SensorCodes.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Engine-speed windows of the map collection ranges.
struct RpmWindow
{
    int low, high;
};

RpmWindow MapWindow(uint8_t range)
{
    static constexpr RpmWindow kWindows[15]{{1250, 1750}, {1750, 2250}, {2250, 2750}, {2750, 3250}, {3250, 3750},
                                            {3750, 4250}, {4250, 4750}, {4750, 5250}, {1250, 2250}, {1750, 2750},
                                            {2250, 3250}, {2750, 3750}, {3250, 4250}, {3750, 4750}, {4250, 5250}};
    return range < 15 ? kWindows[range] : kWindows[2];
}

uint8_t Bit(int i)
{
    return static_cast<uint8_t>(1u << i);
}

} // namespace

int ControllerModel::SoftwareInjectors() const
{
    int count = store_.InjectorCount();
    const int hardware = id_.HardwareInjectors();
    if (count == 0)
        count = hardware;
    return hardware > 0 ? std::min(count, hardware) : count;
}

EngineSettings ControllerModel::Settings() const
{
    EngineSettings s;
    s.injectors = SoftwareInjectors();
    s.switchTempRaw = store_.core.T;
    // The whole word is the period: 400 rpm (56100) needs all sixteen bits.
    const uint16_t period = store_.core.RPM;
    s.switchRpm = period == 0 ? 0 : 22'440'000.0 / period;
    s.turbo = store_.core.EngineType != 0;
    s.pressureSensorType = store_.byteParams[28];
    if (id_.versionCode == kGen14) // the 1.4 board's sensor follows its variant
        s.pressureSensorType = id_.variant == 0 ? 1 : 2;
    return s;
}

uint8_t ControllerModel::NominalTredRaw() const
{
    int t = store_.core.T;
    const uint8_t tgas = engine_.Readings().tgas;
    // With cold gas the reducer has to run hotter (a lower code) before switching.
    const bool rising = id_.IsLegacy() || (store_.byteParams[31] & 0x20) != 0;
    if (rising && tgas >= 168)
        t -= tgas - 167;
    return static_cast<uint8_t>(std::max(t, 40));
}

void ControllerModel::StepLive()
{
    engine_.Step(Settings());
    LiveReadings &r = engine_.MutableReadings();
    const uint8_t state = r.systemState;
    const uint8_t all = MaskForInjectors(SoftwareInjectors());
    if (state != lastSystemState_) {
        // The controller drives its outputs itself when the fuel changes.
        if (state == kStateGas) {
            service_.emulatorMask = all;
            service_.valveOpen = true;
        } else if (state == kStateWaiting) {
            service_.valveOpen = true;
        } else {
            service_.emulatorMask = 0;
            service_.valveOpen = false;
        }
        lastSystemState_ = state;
    }
    for (int i = 0; i < 8; ++i) {
        const bool onGas = state == kStateGas && (service_.emulatorMask & Bit(i)) != 0;
        r.gas[i] = onGas ? GasTicks(store_, id_, r.petrol[i], i) : 0;
    }
    if (state == kStateGas)
        ++gasSteps_;
    if (engine_.Running() && r.tpcb < store_.memory[mem::kMaxBoardTemp])
        store_.memory[mem::kMaxBoardTemp] = r.tpcb;
    if (service_.collectMap && engine_.Running())
        CollectMapPoint();
}

void ControllerModel::CollectMapPoint()
{
    const LiveReadings &r = engine_.Readings();
    const bool gas = r.systemState == kStateGas;
    if (!gas && r.systemState != kStatePetrol)
        return;
    const int injectors = std::max(SoftwareInjectors(), 1);
    long sum = 0;
    for (int i = 0; i < injectors; ++i)
        sum += r.petrol[i];
    const long petrol = sum / injectors;
    const uint8_t range = store_.byteParams[19];
    const RpmWindow window = MapWindow(range);
    if (engine_.Steps() % 2 == 0 && r.rpm > window.low && r.rpm < window.high) {
        const int bin = std::clamp((r.pcol - 10) / 2, 0, 63);
        const int time = std::clamp(static_cast<int>(std::lround(petrol / 32.0)), 0, 127);
        const int kind = range < 8 ? range : range - 8;
        store_.AddMapPoint(gas, static_cast<uint16_t>((kind & 7) << 13 | bin << 7 | time));
    }
    if (!id_.IsLegacy() && id_.LetterAtLeast('D')) {
        const double bar = PcolBar(r.pcol, Settings().pressureSensorType);
        const long j = std::lround((bar - 0.2) / 0.05);
        if (j >= 0 && j < 40) {
            auto &row = store_.mapG3[static_cast<std::size_t>(j)];
            const auto valid = [](long ticks) { return static_cast<uint16_t>(0x8000 | std::min(ticks, 0xFFFL)); };
            if (gas) {
                row[1] = valid(r.gas[0]);
                row[2] = valid(petrol);
            } else {
                row[0] = valid(petrol);
            }
        }
    }
}

Reply ControllerModel::LiveBlock(uint8_t code, std::size_t length)
{
    const LiveReadings &r = engine_.Readings();
    AnswerFrame a(code, length);
    a.Put8(2, r.psys);
    a.Put8(3, r.tred);
    a.Put8(4, r.tgas);
    a.Put8(5, r.supply);
    a.Put8(6, r.level);
    a.Put8(7, r.lambda);
    a.Put16(8, r.rpmPeriod);
    // Cylinder 1 shares its byte with the state, cylinder 2 with a status bit.
    const uint16_t p0 = std::min<uint16_t>(r.petrol[0], 0x1FFF);
    const uint16_t p1 = std::min<uint16_t>(r.petrol[1], 0x7FFF);
    a.Put8(10, static_cast<uint8_t>((r.systemState & 7) << 5 | p0 >> 8));
    a.Put8(11, static_cast<uint8_t>(p0 & 0xFF));
    a.Put8(12, static_cast<uint8_t>((r.cyl2Flag ? 0x80 : 0) | p1 >> 8));
    a.Put8(13, static_cast<uint8_t>(p1 & 0xFF));
    a.Put16(14, r.petrol[2]);
    a.Put16(16, r.petrol[3]);
    for (int i = 0; i < 4; ++i)
        a.Put16(18 + 2 * i, r.gas[i]);
    if (code == lumex::cmd::ReadLiveDataFull) {
        for (int i = 0; i < 4; ++i) {
            a.Put16(26 + 2 * i, r.petrol[4 + i]);
            a.Put16(34 + 2 * i, r.gas[4 + i]);
        }
        a.Put8(42, r.pcol);
        a.Put8(43, NominalTredRaw());
        a.Put8(44, r.petrolOverload);
        a.Put8(45, r.gasOverload);
        a.Put8(46, service_.emulatorMask);
        a.Put8(47, service_.valveOpen ? 1 : 0);
        a.Put8(48, r.tpcb);
        a.Put8(49, service_.WorkState());
        a.Put8(50, r.load);
    }
    return {a.Finish(), {}};
}

Reply ControllerModel::LiveExtension(std::size_t length)
{
    const LiveReadings &r = engine_.Readings();
    AnswerFrame a(lumex::cmd::ReadLiveDataHigh, length);
    for (int i = 0; i < 4; ++i) {
        a.Put16(2 + 2 * i, r.petrol[4 + i]);
        a.Put16(10 + 2 * i, r.gas[4 + i]);
    }
    const int injectors = SoftwareInjectors();
    std::string violation;
    if (injectors < 5)
        violation = "live block 0x06 read with only " + std::to_string(injectors) + " injectors configured";
    return {a.Finish(), violation};
}

Reply ControllerModel::LoadIndexAnswer(std::size_t length) const
{
    const LiveReadings &r = engine_.Readings();
    const int injectors = std::max(SoftwareInjectors(), 1);
    long sum = 0;
    for (int i = 0; i < injectors; ++i)
        sum += r.petrol[i];
    const long petrol = sum / injectors;
    // Grid row: tenths of the full-load petrol time; column: RPM thresholds.
    const uint16_t full = std::max<uint16_t>(store_.wordParams[22], 1);
    const auto row = static_cast<uint8_t>(std::clamp(petrol * 10 / full, 0L, 9L));
    uint8_t column = 0;
    while (column < 9 && r.rpm >= store_.adaptInfoWords[column + 1])
        ++column;
    AnswerFrame a(lumex::cmd::ReadLoadIndex, length);
    a.Put8(2, 0xA5);
    a.Put8(3, column);
    a.Put8(4, row);
    a.Put16(5, static_cast<uint16_t>(petrol));
    a.Put16(7, r.rpmPeriod);
    return {a.Finish(), {}};
}

uint16_t ControllerModel::WordVar(uint8_t index, bool reading)
{
    const LiveReadings &r = engine_.Readings();
    switch (index) {
    case 9:
        return r.petrolOverload;
    case 10:
        return r.gasOverload;
    case 11:
        return service_.valveOpen ? 1 : 0;
    case 13: // absolute pressure channel: system plus manifold
        return static_cast<uint16_t>(r.psys + r.pcol);
    case 15: // manifold channel
        return r.pcol;
    case 21:
        return r.level;
    case 26:
        return id_.marketCode;
    case 27:
        return r.tpcb;
    case 28:
        return id_.injectorChannelCode;
    case 31:
        return r.load;
    case 33:
        return NominalTredRaw();
    case 34:
        return service_.pressureTest.Measured();
    case 35:
        if (!reading)
            return service_.pressureTest.Running() ? 1 : 0;
        return service_.pressureTest.ReadBusy(PsysRaw(engine_.Car().regulatorBar));
    case 36:
        return service_.injectorTest.Progress();
    case 38: {
        // High byte: the petrol injection the controller has learned (from F).
        const bool knows =
            !id_.IsLegacy() && id_.LetterAtLeast('F') && service_.injSystemLearned && engine_.RunningSteps() > 0;
        const uint8_t type = knows ? engine_.Car().petrolInjection : 0;
        return static_cast<uint16_t>(type << 8 | (store_.wordVars[38] & 0xFF));
    }
    case 39: // engine time in 5-minute units; a live step is about 200 ms
        return static_cast<uint16_t>(store_.wordVars[39] + engine_.RunningSteps() / 1500);
    default:
        return store_.wordVars[index];
    }
}

} // namespace sim
