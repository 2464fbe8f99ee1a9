// The correction operations other pages call: the standard pressure
// correction for the working pressure, its shift when the working pressure
// changes, and the gas temperature correction for the sensor placement with
// the activity flags the configuration write sets after it.
#pragma once

#include "controller/WriteResult.h"

#include <cstdint>

namespace lumex {

class TDataManager;

// CPS := the standard correction for the image's WorkPress; written (0xD1)
// when `send` is true.
TWriteResult ApplyStandardPressureCorrection(TDataManager &manager, bool send);

// CPS moved by `steps` axis positions; written when `send` is true.
TWriteResult ShiftPressureCorrection(TDataManager &manager, int steps, bool send);

// CTG (and from revision D TgasCorType, written first as byte parameter 45)
// for the sensor placement; the table is written (0xD3).
TWriteResult ApplyTgasCorrectionForPlacement(TDataManager &manager, bool inFlow);

// The activity flags after the gas temperature correction was reset for a
// new placement: the pressure bit as it was, the gas temperature bit set,
// the RPM and manifold-pressure bits from the page's boxes (the latter only
// from revision G).
uint8_t CMActiveAfterPlacementReset(uint8_t cmActive, bool rpmActive, bool pcolActive, bool fromG);

// What the configuration write does when the installer agreed to reset the
// gas temperature correction after GasTempSensorInFlow changed: the
// placement table, then CMActive (model parameter 74). The boxes default to
// the image's own bits.
TWriteResult ResetTgasCorrectionForPlacement(TDataManager &manager, bool inFlow, bool rpmActive, bool pcolActive);
TWriteResult ResetTgasCorrectionForPlacement(TDataManager &manager, bool inFlow);

} // namespace lumex
