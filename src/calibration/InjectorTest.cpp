#include "calibration/InjectorTest.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <cstdlib>

namespace lumex {

namespace {

constexpr uint8_t kWorkStateIdentByte = 5;
constexpr uint8_t kProgressWordVar = 36;

} // namespace

TInjectorTest::TInjectorTest(TDataManager &manager, TAsker ask, TMessageTextFn text)
    : manager_(manager), ask_(ask), text_(text), confirmation_(manager, modified_, ask, text)
{
}

std::size_t TInjectorTest::Cylinders() const
{
    const uint8_t n = manager_.Data().InjSW;
    if (!manager_.LinkUp || n < 1 || n > kCylinders)
        return kInjTestCylindersWithoutLink;
    return n;
}

TInjTestSnapshot TInjectorTest::Refresh()
{
    TNorviData &d = manager_.Data();
    int progress = 0;
    if (manager_.LinkUp) {
        manager_.ReadInjTestCounters();
        manager_.ReadInjTestValues();
        manager_.ReadIdentByte(kWorkStateIdentByte);
        progress = manager_.ReadWordVar(kProgressWordVar);
    }
    running_ = d.WorkState == kWorkStateInjectorTest;

    TInjTestSnapshot s;
    s.Cylinders = Cylinders();
    s.Running = running_;
    s.GaugePercent = running_ ? std::min(progress, 99) + 1 : 0;
    if (running_ && d.InjTestBytes[2] < kCylinders)
        s.UnderTest = d.InjTestBytes[2];
    for (std::size_t i = 0; i < s.Cylinders; ++i) {
        if (s.UnderTest != i)
            s.Bars[i] = InjTestBarOf(d.InjTestCounters[i], d.InjTestValues[i]);
    }
    evaluation_ = EvaluateInjectorTest(d.InjTestValues, s.Cylinders, d.InjTestBytes[0] != 0);
    s.Evaluation = evaluation_;
    return s;
}

TInjTestStartStop TInjectorTest::StartStop(const std::array<bool, kCylinders> &ticked)
{
    if (running_) {
        if (!manager_.SetWorkType(TWorkType::Stop))
            return TInjTestStartStop::NotAcknowledged;
        running_ = false;
        return TInjTestStartStop::Stopped;
    }
    if (!ReducerWarmForInjectorTest(TempC(manager_.Data().TredRaw)))
        return TInjTestStartStop::TooCold;
    if (!manager_.StartInjTest(InjTestCylinderMask(ticked, Cylinders())))
        return TInjTestStartStop::NotAcknowledged;
    running_ = true;
    // A baseline from a failed read would be a stale pressure; the watch
    // then takes its first good reading instead.
    pcolBaseline_.reset();
    if (manager_.ReadPcol())
        pcolBaseline_ = manager_.Data().PcolRaw;
    return TInjTestStartStop::Started;
}

bool TInjectorTest::WatchPcol()
{
    if (!running_ || !manager_.ReadPcol())
        return false;
    const uint8_t pcol = manager_.Data().PcolRaw;
    if (!pcolBaseline_) {
        pcolBaseline_ = pcol;
        return false;
    }
    if (std::abs(int{*pcolBaseline_} - int{pcol}) <= kInjTestMaxPcolDrift)
        return false;
    manager_.SetWorkType(TWorkType::Stop);
    running_ = false;
    return true;
}

void TInjectorTest::SetCorrection(std::size_t cylinder, int percent)
{
    if (cylinder >= kCylinders)
        return;
    corrections_[cylinder] = static_cast<int8_t>(std::clamp(percent, -kInjCorrLimit, kInjCorrLimit));
    modified_.SetModified(true);
}

bool TInjectorTest::ReadCorrections()
{
    if (!manager_.ReadInjCorr())
        return false;
    const std::size_t n = Cylinders();
    for (std::size_t i = 0; i < kCylinders; ++i) {
        const auto v = static_cast<int8_t>(manager_.Data().InjCorr[i]);
        corrections_[i] = i < n ? static_cast<int8_t>(std::clamp<int>(v, -kInjCorrLimit, kInjCorrLimit)) : 0;
    }
    modified_.SetModified(false);
    return true;
}

bool TInjectorTest::WriteCorrections()
{
    const std::size_t n = Cylinders();
    auto &image = manager_.Data().InjCorr;
    for (std::size_t i = 0; i < kCylinders; ++i)
        image[i] = static_cast<uint8_t>(i < n ? corrections_[i] : 0);
    if (!manager_.WriteInjCorr())
        return false;
    modified_.SetModified(false);
    return true;
}

void TInjectorTest::ClearCorrections()
{
    corrections_.fill(0);
    modified_.SetModified(true);
}

void TInjectorTest::CopyComputedCorrections()
{
    corrections_ = CopiedInjCorrections(corrections_, evaluation_, Cylinders());
    modified_.SetModified(true);
}

bool TInjectorTest::Close()
{
    if (running_) {
        const TQuestion q{text_(msg::strGasInjFrmCloseQ), {}, false};
        if (ask_(q) != TAnswer::Yes)
            return false;
    }
    if (confirmation_.Leave([this] { return WriteCorrections(); }) == TLeaveDecision::Stay)
        return false;
    manager_.SetWorkType(TWorkType::Stop);
    running_ = false;
    return true;
}

} // namespace lumex
