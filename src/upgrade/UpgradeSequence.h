// The update of a device that sits in its bootloader, as one script: the
// steps in their wire order, each with the label its failure is reported
// with, then the status refresh and the start of the new application.
// Shared by the upgrade window and the command line.
#pragma once

#include "upgrade/Upgrader40Logic.h"

#include <string>

namespace lumex {

// The failed step's label as the user sees it after "Device does not
// respond" ("-init", "-fmeB0", ...); the header probe's refusal is reported
// as its own message instead.
inline constexpr const char *kStepConfirm = "-ver=?";
inline constexpr const char *kStepInit = "-init";
inline constexpr const char *kStepEraseBlock1 = "-fmeB1";
inline constexpr const char *kStepEraseBlock0 = "-fmeB0";
inline constexpr const char *kStepWriteEeprom = "-swe";
inline constexpr const char *kStepEepromEraseInit = "-eei";
inline constexpr const char *kStepEepromErase = "-eme";
inline constexpr const char *kStepProgram = "-pbf";
inline constexpr const char *kMsgIncorrectFileVersion = "Incorrect file version";

struct TUpgradeResult
{
    bool ok = false;
    bool headerRefused = false; // the bootloader refused the file's first block
    std::string step;           // label of the failed step; empty when ok or refused
};

// Runs the update with the firmware the logic has checked. Throws
// EUnhandledSpeed, before anything is erased, when a remaining-time
// callback is given and the line runs at a speed the estimate does not know.
TUpgradeResult RunUpgrade(TUpgraderLogic &logic, const TUpgradeProgress &progress, const TRemainingTime &remaining);

// The identification, once more when the first attempt gets no answer.
bool ConfirmBootloader(TBootloader40Manager &boot);

} // namespace lumex
