#include "configuration/IdleTbCapture.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace lumex {

namespace {

// Calls the end of the busy state once, however the capture ends.
class TBusyScope
{
public:
    explicit TBusyScope(const TIdleTbCaptureIo &io) : end_(io.EndBusy)
    {
        if (io.BeginBusy)
            io.BeginBusy();
    }
    ~TBusyScope()
    {
        if (end_)
            end_();
    }
    TBusyScope(const TBusyScope &) = delete;
    TBusyScope &operator=(const TBusyScope &) = delete;

private:
    const std::function<void()> &end_;
};

TIdleTbResult End(TIdleTbOutcome outcome, bool ok = false)
{
    return {ok, outcome};
}

} // namespace

bool ReducerWarmForIdleTb(double celsius)
{
    return celsius >= kMinTredForIdleTbC;
}

uint16_t IdleHotTbTicks(double averagePetrolMs)
{
    // The small allowance keeps a time that is a whole number of tenths
    // (2.4 ms computed as 2.3999...) from losing a tenth.
    const double tenths = std::floor(averagePetrolMs * 10.0 + 1e-9);
    const long ticks = std::lround(tenths / 10.0 * kTicksPerMs);
    return static_cast<uint16_t>(std::clamp(ticks, 0L, 0xFFFFL));
}

std::string IdleHotTbText(uint16_t ticks, char decimalSeparator)
{
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f", TimeMs(ticks));
    std::string text(buffer.data());
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text[dot] = decimalSeparator;
    return text;
}

TIdleTbResult CaptureIdleHotTb(TDataManager &manager, std::string &text, const TIdleTbCaptureIo &io)
{
    TNorviData &d = manager.Data();
    if (d.LockState != kLockUnlocked)
        return End(TIdleTbOutcome::Locked);
    const TBusyScope busy(io);
    manager.SetWorkType(TWorkType::PetrolImmediately);

    const TQuestion question{io.Text(msg::strSaveTb) + " " + io.Text(msg::strContinue), io.Text(msg::strContinueNow),
                             false};
    if (io.Ask(question) != TAnswer::Yes)
        return End(TIdleTbOutcome::Declined);

    // A raw 0 is no reading at all; the table would call it the hottest value.
    const uint8_t tred = d.TredRaw;
    if (tred == 0 || !ReducerWarmForIdleTb(TempC(tred))) {
        if (io.ShowError)
            io.ShowError(io.Text(msg::strTredLow) + " " + io.Text(msg::strNoSaveTryAgain));
        return End(tred == 0 ? TIdleTbOutcome::NoTredReading : TIdleTbOutcome::TredTooLow);
    }

    // The petrol times must be read after the engine has settled on petrol.
    if (io.Wait)
        io.Wait(kIdleTbSettleTime);
    if (!manager.PollCycle(pmReadings))
        return End(TIdleTbOutcome::PollFailed);

    d.IdleHotTb = IdleHotTbTicks(AvgPetrolTimeMs(d));
    text = IdleHotTbText(d.IdleHotTb, io.DecimalSeparator);
    return End(TIdleTbOutcome::Captured, manager.LinkUp);
}

} // namespace lumex
