#include "controller/ParameterSteps.h"

#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"

namespace lumex {

void InstallParameterSteps(TDataManager &manager)
{
    TLinkExtensions &ext = manager.Extensions();
    ext.ReadAfterIdentification = [&manager] {
        ReadGenerationConfiguration(manager);
        manager.ReadModelBlock();
        manager.ReadTroubleFlags();
    };
    ext.ReadCalibrationState = [&manager](bool g3) { return manager.ReadCalibrationState(g3); };
    ext.ReadAdaptationBank = [&manager](int bank) { return manager.ReadAdaptationBank(static_cast<unsigned>(bank)); };
}

} // namespace lumex
