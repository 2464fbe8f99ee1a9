#include "calibration/WorkingPressure.h"

#include "calibration/WorkingPressureList.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace lumex {

namespace {

constexpr uint8_t kWorkPressParam = 30;
constexpr uint8_t kMeasuredWordVar = 34;
constexpr uint8_t kBusyWordVar = 35;
constexpr double kFirstEntryBar = 0.70, kLastEntryBar = 2.00;

double RoundToTenth(double bar)
{
    return std::round(bar * 10.0) / 10.0;
}

// Sends work type 5 and ends the busy cursor on every way out.
class TLeaveOnPetrol
{
public:
    TLeaveOnPetrol(TDataManager &m, const TWorkPressIo &io) : m_(m), io_(io)
    {
        if (io_.BeginBusy)
            io_.BeginBusy();
    }
    ~TLeaveOnPetrol()
    {
        m_.SetWorkType(TWorkType::PetrolImmediately);
        if (io_.EndBusy)
            io_.EndBusy();
    }
    TLeaveOnPetrol(const TLeaveOnPetrol &) = delete;
    TLeaveOnPetrol &operator=(const TLeaveOnPetrol &) = delete;

private:
    TDataManager &m_;
    const TWorkPressIo &io_;
};

bool CancelledNow(const TWorkPressIo &io)
{
    return io.Cancelled && io.Cancelled();
}

void WaitFor(const TWorkPressIo &io, std::chrono::milliseconds ms)
{
    if (io.Wait)
        io.Wait(ms);
}

TWorkPressResult Failed(TWorkPressOutcome outcome, std::optional<double> measured = std::nullopt)
{
    TWorkPressResult r;
    r.Outcome = outcome;
    r.MeasuredBar = measured;
    return r;
}

double PsysOf(TDataManager &m, uint16_t raw)
{
    const uint8_t code = static_cast<uint8_t>(std::min<uint16_t>(raw, 0xFF));
    return RoundToTenth(
        PsysBar(code, m.Data().PressureSensorType, [&m](uint8_t index) { return m.ReadWordVar(index); }));
}

// Before revision D: the controller goes on gas and the pressure is read
// after it settles. The result is the measured pressure, or the failure.
std::variant<double, TWorkPressOutcome> MeasureOnGas(TDataManager &m, const TWorkPressIo &io)
{
    if (!m.SetWorkType(TWorkType::GasImmediately))
        return TWorkPressOutcome::LinkFailed;
    WaitFor(io, kGasSettleTime);
    if (CancelledNow(io))
        return TWorkPressOutcome::Cancelled;
    if (!m.ReadLiveData())
        return TWorkPressOutcome::LinkFailed;
    return PsysOf(m, m.Data().PsysRaw);
}

// From revision D: the controller's own pressure test, polled until its busy
// flag clears, the time-out passes or the installer cancels.
std::variant<double, TWorkPressOutcome> MeasureWithTest(TDataManager &m, const TWorkPressIo &io)
{
    if (!m.SetWorkType(TWorkType::PetrolImmediately))
        return TWorkPressOutcome::LinkFailed;
    WaitFor(io, kPetrolSettleTime);
    if (!m.SetWorkType(TWorkType::WorkingPressureTest))
        return TWorkPressOutcome::LinkFailed;
    const auto deadline = io.Now() + io.Timeout;
    for (;;) {
        const uint16_t busy = m.ReadWordVar(kBusyWordVar);
        if (!m.LinkUp)
            return TWorkPressOutcome::LinkFailed;
        if (busy == 0)
            break;
        if (CancelledNow(io))
            return TWorkPressOutcome::Cancelled;
        if (io.Now() >= deadline)
            return TWorkPressOutcome::TimedOut;
        WaitFor(io, kPressureTestPoll);
    }
    const uint16_t measured = m.ReadWordVar(kMeasuredWordVar);
    if (!m.LinkUp)
        return TWorkPressOutcome::LinkFailed;
    return PsysOf(m, measured);
}

} // namespace

TWorkPressChoice ChooseWorkingPressure(double measuredBar, unsigned powerKw, bool pressureTest)
{
    const auto found = WorkingPressureIndexOfBar(measuredBar);
    if (!pressureTest) {
        if (!found)
            return {};
        return {*found > 0 ? *found - 1 : *found, false};
    }
    long chosen = (found ? static_cast<long>(*found) : -1) - 1;
    if (powerKw > kHighPowerKw)
        --chosen;
    if (chosen >= 0)
        return {static_cast<std::size_t>(chosen), false};
    if (measuredBar > kLastEntryBar)
        return {kWorkingPressureCount - 1, false};
    return {0, measuredBar < kFirstEntryBar};
}

bool WorkingPressureAllowed(const TDataManager &m)
{
    const TNorviData &d = m.Data();
    const TWorkType w = m.RequestedWorkType;
    const bool autocalibrating = w == TWorkType::StartAutocalibration || w == TWorkType::AutocalibrationRunning ||
                                 w == TWorkType::ContinueWithLoad;
    return d.LockState == kLockUnlocked && !autocalibrating && d.VersionCode == kVersion30;
}

TWorkPressResult DetermineWorkingPressure(TDataManager &m, const TWorkPressIo &io)
{
    if (!WorkingPressureAllowed(m))
        return Failed(TWorkPressOutcome::NotAllowed);
    TLeaveOnPetrol petrol(m, io);
    m.SetWorkType(TWorkType::Petrol);
    if (io.Ask(TQuestion{io.Text(msg::strQuestSwitchToGas), {}, false}) != TAnswer::Yes)
        return Failed(TWorkPressOutcome::Declined);

    const bool pressureTest = Is30From(m.Data(), "D");
    const auto measured = pressureTest ? MeasureWithTest(m, io) : MeasureOnGas(m, io);
    if (const auto *failure = std::get_if<TWorkPressOutcome>(&measured))
        return Failed(*failure);
    const double bar = std::get<double>(measured);

    const TWorkPressChoice choice = ChooseWorkingPressure(bar, m.Data().Power, pressureTest);
    if (!choice.Index)
        return Failed(TWorkPressOutcome::NoMatch, bar);
    if (choice.TooLow && io.ShowWarning)
        io.ShowWarning(io.Text(msg::strWorkingPressToLow));
    if (!m.LinkUp)
        return Failed(TWorkPressOutcome::LinkFailed, bar);
    const uint8_t raw = WorkingPressureList()[*choice.Index].Raw;
    if (!m.WriteByteParam(kWorkPressParam, raw))
        return Failed(TWorkPressOutcome::LinkFailed, bar);
    m.Data().WorkPress = raw;

    TWorkPressResult r;
    r.Ok = !choice.TooLow;
    r.Outcome = choice.TooLow ? TWorkPressOutcome::TooLow : TWorkPressOutcome::Written;
    r.MeasuredBar = bar;
    r.ChosenIndex = choice.Index;
    return r;
}

} // namespace lumex
