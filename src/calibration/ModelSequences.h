// The model pages' device sequences: reading and writing the Model2 page
// (3.0) and the Model1 page (1.4/1.5), and the model read after a
// connection. Each runs top to bottom in wire order and stops at the first
// command that fails, naming it; a failed write leaves the page modified.
#pragma once

#include "calibration/Model1.h"
#include "calibration/Model2Editor.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <cstdint>

namespace lumex {

class TDataManager;

// Reads what the Model2 page shows: from revision D the adapted model,
// the correction presets, the adaptation bit and the markers; then the
// working pressure, the model points, multiplier and offset, the idle
// points and the BANK2 correction line.
TWriteResult ReadModel2(TDataManager &m, TModelPoints &idle);

// The page's choices a Model2 write takes besides the editor.
struct TModel2WriteOptions
{
    uint8_t WorkPress = 0;            // the chosen working pressure code
    double IdleHotTbMs = 0;           // the chosen idle hot Tb
    bool RpmCorrectionActive = false; // the corrections page's RPM box (before D)
    bool IdleTextsValid = true;       // an idle point text that is no number skips the idle points
    bool AutocalibrationWorkRunning = false;
    bool MapG3Shown = false; // the map page's "MapG3" box (LPG map clear)
    TAsker Ask;              // Yes/No questions; none answers No
    TMessageTextFn Text = MessageTextInForce;
};

struct TModel2WriteReport
{
    TWriteResult Write;
    bool Busy = false;            // autocalibration work runs: nothing sent, the page beeps
    bool PressureShifted = false; // the pressure correction moved with the working pressure
    bool ReadBack = false;        // the model was read back after the write
    bool GasMapCleared = false;   // the LPG map was cleared: open the map page
};

// Writes the editor's model and the page's settings, reads the model back
// into the editor and, after a modified write, offers to clear the LPG map.
TModel2WriteReport WriteModel2(TDataManager &m, TModel2Editor &editor, TModelPoints &idle,
                               const TModel2WriteOptions &options);

// Model1: the model block, then the BANK2 correction line.
TWriteResult ReadModel1(TDataManager &m);
// Model1: multiplier and offset, the correction line, then P1..P4 and E1..E4.
TWriteResult WriteModel1(TDataManager &m, const TModel1 &model);

// After a connection: the model data of the generation (Model1 for
// 1.4/1.5; Model2 and the corrections for 3.0). Nothing for other codes.
TWriteResult ReadModelDataAfterConnect(TDataManager &m, TModelPoints &idle);

} // namespace lumex
