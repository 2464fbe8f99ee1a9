// The Model2 page's rules without the window: the chart points the
// installer edits with the keys, the mouse and the two spinners, the idle
// points, the BANK2 correction line, and what a write sends. The page draws
// what this holds and reports each refused edit with a beep.
#pragma once

#include "calibration/CorrectionLine.h"
#include "calibration/ModelPoints.h"
#include "controller/NorviData.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumex {

enum class TEditResult : uint8_t
{
    Done,
    Refused // nothing changed; the page beeps
};

// The model line: from the first point's Tb at the offset to the last
// point's Tb on Tb × multiplier + offset.
struct TModelLine
{
    TModelPointMs From;
    TModelPointMs To;
};

enum class TIdleSpinner : uint8_t
{
    P1X,
    P1Y,
    P2X,
    P2Y
};

class TModel2Editor
{
public:
    // Spinner ranges: the multiplier in percent steps away from 1, the
    // offset and the idle points in tenths of a millisecond.
    static constexpr int kMultMin = -40, kMultMax = 70;
    static constexpr int kOffsetMin = -40, kOffsetMax = 60;
    static constexpr int kIdleXMax = 300, kIdleYMax = 350;
    static constexpr double kStepMs = 0.1;
    static constexpr double kNeighbourGapMs = 0.2;
    static constexpr double kMultStep = 0.01;
    // Where the default model line ends.
    static constexpr double kAxisMaxMs = 30.0;

    // What a read left in the image (and the idle points read with 0xC0).
    void Load(const TNorviData &d, const TModelPoints &idle);
    // The default model for a gas injector element code; ticks the
    // use-model-at-idle box. Nothing is sent until a write.
    void LoadDefault(uint8_t injectorCode);

    const TModelPointList &Points() const { return points_; }
    // The controller's adapted model, shown only.
    const TModelPointList &AdaptedPoints() const { return adapted_; }
    const TModelLine &Line() const { return line_; }
    const TModelPoints &Idle() const { return idle_; }
    std::optional<std::size_t> Selection() const { return selection_; }

    int MultPosition() const { return multPosition_; }
    int OffsetPosition() const { return offsetPosition_; }
    // The offset as its text shows it and a write sends it.
    double Offset() const { return offsetPosition_ / 10.0; }

    bool UseOnIdleModel() const { return useOnIdleModel_; }
    bool WithIdlePoints() const { return withIdlePoints_; }
    bool Adaptation() const { return adaptation_; }
    const TCorrectionLine &Correction() const { return correction_; }
    void SetUseOnIdleModel(bool on);
    void SetWithIdlePoints(bool on);
    void SetAdaptation(bool on);
    void SetCorrection(const TCorrectionLine &line);

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    // The model came from Default (or a new model was set): a write also
    // copies the points to the adapted table.
    bool CopyToAdapted() const { return copyToAdapted_; }
    // "Ustal nowy model": the points were replaced by a newly built model,
    // which a write also copies to the adapted table. The map's "Ustaw
    // model" replaces them too, but leaves the adapted table alone.
    void SetNewModel(const TModelPointList &points, int multPosition, int offsetPosition, bool copyToAdapted = true);

    // --- Selection (PgUp / PgDn, Ctrl+Right / Ctrl+Left, left button) ---
    TEditResult Select(std::size_t index);
    TEditResult SelectNext();
    TEditResult SelectPrevious();

    // --- Keys on the selected point ---
    // Left (−1) / Right (+1): Tb by 0.1 ms, never closer than 0.2 ms to a
    // neighbour; not for the first and the last point.
    TEditResult MoveTb(int direction);
    // Up (+1) / Down (−1): Tg by 0.1 ms, never below 0.
    TEditResult MoveTg(int direction);
    // Insert: a point halfway to the next one; not after the last point,
    // nor when all 20 slots are taken.
    TEditResult InsertAfterSelection();
    // Delete: not the first or the last point.
    TEditResult DeleteSelection();

    // --- Mouse ---
    // Right button: a point at (tb, tg) unless one lies at that Tb or all 20
    // slots are taken.
    TEditResult AddAt(double tb, double tg);
    // Dragging with the left button, under the neighbour limits of the keys.
    TEditResult DragTo(std::size_t index, double tb, double tg);
    // Ctrl with the left button: not the first or the last point.
    TEditResult DeleteAt(std::size_t index);

    // --- Spinners ---
    // Each click turns every point after the first (Tb > 0) about the
    // offset by 0.01 of slope; the line's end and, with idle points, both
    // idle points follow.
    TEditResult MultiplierClick(int direction);
    // Each click moves every gas time, and the line, by 0.1 ms; a point is
    // lowered only when it stays at or above 0.
    TEditResult OffsetClick(int direction);
    TEditResult SetIdlePosition(TIdleSpinner spinner, int position);

    // The multiplier a write sends: the least-squares slope of the chart
    // points about the offset; the spinner's multiplier when the points
    // give none.
    double LeastSquaresMultiplier() const;

    // What a write puts into the image before it sends: the points (empty
    // slots 65535), the adapted copy when due, multiplier, offset, the
    // correction line, the with-idle-points marker, use-model-at-idle and
    // the adaptation bit.
    void StoreInto(TNorviData &d, TModelPoints &idle) const;

private:
    TEditResult Changed();
    // Tb limits of point i from its neighbours; nothing for the first and
    // the last point, whose Tb stays.
    std::optional<std::pair<double, double>> TbRange(std::size_t i) const;
    void ResetLine(double mult, double offset);

    TModelPointList points_;
    TModelPointList adapted_;
    TModelLine line_;
    TModelPoints idle_;
    std::optional<std::size_t> selection_;
    int multPosition_ = 0;
    int offsetPosition_ = 0;
    bool useOnIdleModel_ = false;
    bool withIdlePoints_ = true;
    bool adaptation_ = false;
    TCorrectionLine correction_;
    bool modified_ = false;
    bool copyToAdapted_ = false;
};

} // namespace lumex
