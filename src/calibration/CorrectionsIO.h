// Reading and writing the corrections page of a 3.0 controller: the four
// tables with their activity bits and preset types, the BANK2 correction
// line of the model and, from revision G, the manifold-pressure table and
// the OBD adaptation tables that travel with them.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

class TDataManager;

// The full-load petrol times of the adaptation grid ("10" ... "25" ms) in ticks.
inline constexpr std::array<uint16_t, 4> kMaxTbForLoadTicks{1870, 2805, 3740, 4675};
std::optional<std::size_t> MaxTbForLoadIndex(uint16_t ticks);

// What the page holds when the installer presses Write: the activity boxes,
// the tables as taken from the edits, the BANK2 line and the full-load time
// chosen on the bank tab that is shown.
struct TCorrectionsForm
{
    bool ActivePsys = false;
    bool ActiveTgas = false;
    bool ActiveRpm = false;
    bool ActivePcol = false; // only from revision G
    TCorrectionTable Psys{};
    TCorrectionTable Pcol{};
    TCorrectionTable Tgas{};
    TCorrectionTable Rpm{};
    int CorrectionMultPercent = 0; // the spinner: CorrectionMult = 1 + percent / 100
    double CorrectionOffsetMs = 0;
    uint8_t CorrectionMask = 0;
    std::optional<uint16_t> MaxTbForLoad; // none: unchanged
    // The adaptation tables and the OBD adaptation switch (model parameter
    // 104) as the page edited them; none: as the image holds them.
    std::optional<TAdaptTable> AdaptBank1, AdaptBank2;
    std::optional<uint8_t> ObdAdaptConfig;
    // The presets' table types (byte parameters 45 and 46, from revision D);
    // none: unchanged.
    std::optional<uint8_t> TgasCorType, RpmCorType;
};

// What a read shows on the page.
TCorrectionsForm FormFromImage(const TNorviData &d);

// CMActive as the boxes set it; the Pcol bit only from revision G.
uint8_t CMActiveFromForm(const TCorrectionsForm &form, bool fromG);

struct TCorrectionsReadResult
{
    bool Ok = true;
    std::string FailedStep; // the first read that failed
    unsigned StepsDone = 0; // reads answered
    bool Cancelled = false; // stopped between two reads; the rest was not asked for
};

// The corrections read of a 3.0 controller, in its wire order. It goes on
// through failures (a failed answer leaves its fields as they were) and
// names the first one; a cancel of the running sequence stops it between
// two reads. Other generations have no corrections page: nothing
// is sent and the result fails.
TCorrectionsReadResult ReadCorrections(TDataManager &manager);

// The corrections write: takes the form into the image step by step and
// sends it, stopping at the first command that is not acknowledged; the
// result names that step. After a complete write everything is read back.
// The caller keeps the page marked modified unless the result is Ok.
TWriteResult WriteCorrections(TDataManager &manager, const TCorrectionsForm &form);

} // namespace lumex
