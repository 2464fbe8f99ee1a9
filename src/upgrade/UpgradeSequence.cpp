#include "upgrade/UpgradeSequence.h"

namespace lumex {

namespace {

constexpr uint8_t kWriteDefaults = 1; // the EEPROM is always set to factory values
constexpr unsigned kBeforeStartMs = 100;
constexpr unsigned kAfterStartMs = 1000;

TUpgradeResult Failed(const char *step)
{
    return TUpgradeResult{false, false, step};
}

} // namespace

bool ConfirmBootloader(TBootloader40Manager &boot)
{
    return boot.IdentifyBootloader() || boot.IdentifyBootloader();
}

TUpgradeResult RunUpgrade(TUpgraderLogic &logic, const TUpgradeProgress &progress, const TRemainingTime &remaining)
{
    TBootloader40Manager &boot = logic.Boot();
    // The estimate's speed check would otherwise come after the erase and
    // leave the device without firmware.
    if (remaining)
        logic.CheckLineSpeed();
    if (!logic.HasFirmware())
        return Failed(kStepProgram);
    if (!ConfirmBootloader(boot))
        return Failed(kStepConfirm);
    if (!boot.InitBootloader())
        return Failed(kStepInit);
    if (!logic.ProbeFirmwareHeader(progress))
        return TUpgradeResult{false, true, {}};
    if (!boot.FlashMassErase(1))
        return Failed(kStepEraseBlock1);
    if (!boot.FlashMassErase(0))
        return Failed(kStepEraseBlock0);
    if (boot.SetWriteEeprom(kWriteDefaults) != kWriteDefaults)
        return Failed(kStepWriteEeprom);
    if (!boot.EepromEraseInit())
        return Failed(kStepEepromEraseInit);
    if (!boot.EepromMassErase())
        return Failed(kStepEepromErase);
    if (!boot.InitBootloader())
        return Failed(kStepInit);
    if (!logic.ProgramFirmware(progress, remaining))
        return Failed(kStepProgram);
    if (progress)
        progress(logic.ProgressMaximum(), logic.ProgressMaximum());
    boot.RefreshBootStatus(); // older bootloaders have no status: not a failure
    boot.Pause(kBeforeStartMs);
    boot.StartApplication();
    boot.Pause(kAfterStartMs);
    return TUpgradeResult{true, false, {}};
}

} // namespace lumex
