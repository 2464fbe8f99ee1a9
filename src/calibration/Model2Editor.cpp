#include "calibration/Model2Editor.h"

#include "calibration/DefaultModel.h"
#include "configuration/ProgramLogic.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

// Tolerance for times that came from ticks or from 0.1 ms steps.
constexpr double kEpsilonMs = 1e-9;
constexpr double kTenths = 10.0;
// Idle gas times the spinners can show.
constexpr double kIdleYMaxMs = TModel2Editor::kIdleYMax / kTenths;

int ClampPosition(double position, int low, int high)
{
    if (!std::isfinite(position))
        return 0;
    return static_cast<int>(std::clamp(std::round(position), static_cast<double>(low), static_cast<double>(high)));
}

// A gas time turned about the offset by one multiplier step.
double Turned(double tb, double tg, double offset, double step)
{
    if (!(tb > 0))
        return tg;
    return std::max(0.0, offset + tb * ((tg - offset) / tb + step));
}

bool SameTicks(double a, double b)
{
    return PointTicks(a) == PointTicks(b);
}

} // namespace

void TModel2Editor::Load(const TNorviData &d, const TModelPoints &idle)
{
    points_ = PointsInUse(d.Model2SetA);
    adapted_ = PointsInUse(d.Model2SetB);
    idle_ = idle;
    multPosition_ = ClampPosition(d.Mult * 100.0 - 100.0, kMultMin, kMultMax);
    offsetPosition_ = ClampPosition(d.Offset * kTenths, kOffsetMin, kOffsetMax);
    useOnIdleModel_ = d.UseOnIdleModel != 0;
    withIdlePoints_ = (d.Markers & (1u << kMarkerNoIdleModel)) == 0;
    adaptation_ = d.AdaptationMode != 0;
    correction_ = CorrectionLineOf(d);
    ResetLine(std::isfinite(d.Mult) ? d.Mult : 1.0, std::isfinite(d.Offset) ? d.Offset : 0.0);
    if (selection_ && *selection_ >= points_.size())
        selection_.reset();
    modified_ = false;
    copyToAdapted_ = false;
}

void TModel2Editor::LoadDefault(uint8_t injectorCode)
{
    const double offset = DefaultModelOffset(injectorCode);
    multPosition_ = 0;
    offsetPosition_ = ClampPosition(offset * kTenths, kOffsetMin, kOffsetMax);
    points_ = DefaultModel2Points(offset);
    adapted_ = points_;
    line_ = {{0.0, offset}, {kAxisMaxMs, kAxisMaxMs + offset}};
    idle_ = DefaultIdlePoints(offset);
    correction_ = {};
    useOnIdleModel_ = true;
    adaptation_ = false;
    selection_.reset();
    modified_ = true;
    copyToAdapted_ = true;
}

void TModel2Editor::SetNewModel(const TModelPointList &points, int multPosition, int offsetPosition, bool copyToAdapted)
{
    points_.assign(points.begin(),
                   points.begin() + static_cast<std::ptrdiff_t>(std::min(points.size(), kModel2Points)));
    multPosition_ = std::clamp(multPosition, kMultMin, kMultMax);
    offsetPosition_ = std::clamp(offsetPosition, kOffsetMin, kOffsetMax);
    ResetLine(1.0 + multPosition_ / 100.0, Offset());
    selection_.reset();
    modified_ = true;
    copyToAdapted_ = copyToAdapted_ || copyToAdapted;
}

void TModel2Editor::ResetLine(double mult, double offset)
{
    if (points_.empty()) {
        line_ = {{0.0, offset}, {kAxisMaxMs, kAxisMaxMs * mult + offset}};
        return;
    }
    const double first = points_.front().Tb;
    const double last = points_.back().Tb;
    line_ = {{first, offset}, {last, last * mult + offset}};
}

void TModel2Editor::SetUseOnIdleModel(bool on)
{
    useOnIdleModel_ = on;
    modified_ = true;
}

void TModel2Editor::SetWithIdlePoints(bool on)
{
    withIdlePoints_ = on;
    modified_ = true;
}

void TModel2Editor::SetAdaptation(bool on)
{
    adaptation_ = on;
    modified_ = true;
}

void TModel2Editor::SetCorrection(const TCorrectionLine &line)
{
    correction_ = line;
    modified_ = true;
}

TEditResult TModel2Editor::Changed()
{
    modified_ = true;
    return TEditResult::Done;
}

TEditResult TModel2Editor::Select(std::size_t index)
{
    if (index >= points_.size())
        return TEditResult::Refused;
    selection_ = index;
    return TEditResult::Done;
}

TEditResult TModel2Editor::SelectNext()
{
    if (!selection_)
        return Select(0);
    return Select(*selection_ + 1);
}

TEditResult TModel2Editor::SelectPrevious()
{
    if (!selection_ || *selection_ == 0)
        return TEditResult::Refused;
    return Select(*selection_ - 1);
}

std::optional<std::pair<double, double>> TModel2Editor::TbRange(std::size_t i) const
{
    if (i == 0 || i + 1 >= points_.size())
        return std::nullopt;
    return std::pair{points_[i - 1].Tb + kNeighbourGapMs, points_[i + 1].Tb - kNeighbourGapMs};
}

TEditResult TModel2Editor::MoveTb(int direction)
{
    if (!selection_ || direction == 0)
        return TEditResult::Refused;
    const std::size_t i = *selection_;
    const auto range = TbRange(i);
    if (!range)
        return TEditResult::Refused;
    const double tb = points_[i].Tb;
    const double wanted = tb + (direction > 0 ? kStepMs : -kStepMs);
    const double moved = direction > 0 ? std::min(wanted, range->second) : std::max(wanted, range->first);
    // A point already at its limit (or squeezed past it) does not move, and
    // never away from the direction asked for.
    if (direction > 0 ? moved <= tb + kEpsilonMs : moved >= tb - kEpsilonMs)
        return TEditResult::Refused;
    points_[i].Tb = moved;
    return Changed();
}

TEditResult TModel2Editor::MoveTg(int direction)
{
    if (!selection_ || direction == 0)
        return TEditResult::Refused;
    double &tg = points_[*selection_].Tg;
    if (direction < 0 && tg <= kEpsilonMs)
        return TEditResult::Refused;
    tg = std::max(0.0, tg + (direction > 0 ? kStepMs : -kStepMs));
    return Changed();
}

TEditResult TModel2Editor::InsertAfterSelection()
{
    if (!selection_ || *selection_ + 1 >= points_.size() || points_.size() >= kModel2Points)
        return TEditResult::Refused;
    const std::size_t i = *selection_;
    const TModelPointMs &a = points_[i];
    const TModelPointMs &b = points_[i + 1];
    const TModelPointMs half{(a.Tb + b.Tb) / 2.0, (a.Tg + b.Tg) / 2.0};
    points_.insert(points_.begin() + static_cast<std::ptrdiff_t>(i + 1), half);
    selection_ = i + 1;
    return Changed();
}

TEditResult TModel2Editor::DeleteSelection()
{
    if (!selection_)
        return TEditResult::Refused;
    const std::size_t i = *selection_;
    if (DeleteAt(i) == TEditResult::Refused)
        return TEditResult::Refused;
    selection_ = i - 1;
    return TEditResult::Done;
}

TEditResult TModel2Editor::AddAt(double tb, double tg)
{
    if (!std::isfinite(tb) || !std::isfinite(tg) || tb < 0 || tb > kModelTbLimitMs || points_.size() >= kModel2Points)
        return TEditResult::Refused;
    const bool taken =
        std::any_of(points_.begin(), points_.end(), [tb](const TModelPointMs &p) { return SameTicks(p.Tb, tb); });
    if (taken)
        return TEditResult::Refused;
    const auto at = std::find_if(points_.begin(), points_.end(), [tb](const TModelPointMs &p) { return p.Tb > tb; });
    const auto inserted = points_.insert(at, {tb, std::max(0.0, tg)});
    const auto index = static_cast<std::size_t>(inserted - points_.begin());
    // The selection stays on the point it was on.
    if (selection_ && *selection_ >= index)
        selection_ = *selection_ + 1;
    return Changed();
}

TEditResult TModel2Editor::DragTo(std::size_t index, double tb, double tg)
{
    if (index >= points_.size() || !std::isfinite(tb) || !std::isfinite(tg))
        return TEditResult::Refused;
    TModelPointMs &p = points_[index];
    if (const auto range = TbRange(index); range && range->first <= range->second)
        p.Tb = std::clamp(tb, range->first, range->second);
    p.Tg = std::max(0.0, tg);
    selection_ = index;
    return Changed();
}

TEditResult TModel2Editor::DeleteAt(std::size_t index)
{
    if (index == 0 || index + 1 >= points_.size())
        return TEditResult::Refused;
    points_.erase(points_.begin() + static_cast<std::ptrdiff_t>(index));
    if (selection_ && *selection_ > index)
        selection_ = *selection_ - 1;
    else if (selection_ && *selection_ == index)
        selection_.reset();
    return Changed();
}

TEditResult TModel2Editor::MultiplierClick(int direction)
{
    const int position = multPosition_ + (direction > 0 ? 1 : -1);
    if (direction == 0 || position < kMultMin || position > kMultMax)
        return TEditResult::Refused;
    multPosition_ = position;
    const double step = direction > 0 ? kMultStep : -kMultStep;
    const double offset = Offset();
    for (std::size_t i = 1; i < points_.size(); ++i)
        points_[i].Tg = Turned(points_[i].Tb, points_[i].Tg, offset, step);
    line_.To.Tg = Turned(line_.To.Tb, line_.To.Tg, offset, step);
    if (withIdlePoints_) {
        idle_.P1Y = std::min(kIdleYMaxMs, Turned(idle_.P1X, idle_.P1Y, offset, step));
        idle_.P2Y = std::min(kIdleYMaxMs, Turned(idle_.P2X, idle_.P2Y, offset, step));
    }
    return Changed();
}

TEditResult TModel2Editor::OffsetClick(int direction)
{
    const int position = offsetPosition_ + (direction > 0 ? 1 : -1);
    if (direction == 0 || position < kOffsetMin || position > kOffsetMax)
        return TEditResult::Refused;
    offsetPosition_ = position;
    const double step = direction > 0 ? kStepMs : -kStepMs;
    const auto shift = [step](double &tg) {
        const double moved = tg + step;
        if (moved >= -kEpsilonMs)
            tg = std::max(0.0, moved);
    };
    for (TModelPointMs &p : points_)
        shift(p.Tg);
    shift(line_.From.Tg);
    shift(line_.To.Tg);
    return Changed();
}

TEditResult TModel2Editor::SetIdlePosition(TIdleSpinner spinner, int position)
{
    const bool isX = spinner == TIdleSpinner::P1X || spinner == TIdleSpinner::P2X;
    if (position < 0 || position > (isX ? kIdleXMax : kIdleYMax))
        return TEditResult::Refused;
    const double ms = position / kTenths;
    switch (spinner) {
    case TIdleSpinner::P1X:
        idle_.P1X = ms;
        break;
    case TIdleSpinner::P1Y:
        idle_.P1Y = ms;
        break;
    case TIdleSpinner::P2X:
        idle_.P2X = ms;
        break;
    case TIdleSpinner::P2Y:
        idle_.P2Y = ms;
        break;
    }
    return Changed();
}

double TModel2Editor::LeastSquaresMultiplier() const
{
    double sumTb = 0;
    double sumTg = 0;
    for (const TModelPointMs &p : points_) {
        sumTb += p.Tb;
        sumTg += p.Tg;
    }
    const double m = (sumTg - Offset() * static_cast<double>(points_.size())) / sumTb;
    if (!(sumTb > 0) || !std::isfinite(m))
        return 1.0 + multPosition_ / 100.0;
    return m;
}

void TModel2Editor::StoreInto(TNorviData &d, TModelPoints &idle) const
{
    d.Model2SetA = SetFromPoints(points_);
    if (copyToAdapted_)
        d.Model2SetB = d.Model2SetA;
    d.Offset = Offset();
    d.Mult = LeastSquaresMultiplier();
    StoreCorrectionLine(correction_, d);
    const auto noIdleBit = static_cast<uint16_t>(1u << kMarkerNoIdleModel);
    d.Markers =
        withIdlePoints_ ? static_cast<uint16_t>(d.Markers & ~noIdleBit) : static_cast<uint16_t>(d.Markers | noIdleBit);
    d.UseOnIdleModel = useOnIdleModel_ ? 1 : 0;
    d.AdaptationMode = adaptation_ ? 1 : 0;
    idle = idle_;
}

} // namespace lumex
