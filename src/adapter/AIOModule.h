// The AIO module: no wire commands of its own, so it is never detected and
// every device operation is a no-op; the window still edits its settings
// in the edited state, and defaults and files go through the state copies.
#pragma once

#include "adapter/AIOData.h"
#include "modules/BaseModule.h"

#include <memory>
#include <vector>

namespace lumex {

class TLogic;
class TModuleAdapter;
class TModuleAIO;
class TModuleQuestions;

class TLogicAIO
{
public:
    explicit TLogicAIO(TModuleAIO &module) : module_(module) {}
    bool ReadAIOConfig();
    bool WriteAIOConfig();
    bool WriteAIODefaults(bool ask, TModuleQuestions *questions);

    // The window's "Write": every grid cell checked first; false, and
    // nothing stored, when one is out of range. Axes: ten pressure cells,
    // twelve speed cells; cells: rows of the input's emulation table.
    bool StoreGrids(int input, const std::vector<std::string> &pressureAxis, const std::vector<std::string> &rpmAxis,
                    const std::vector<std::string> &cells);

private:
    TModuleAIO &module_;
};

class TModuleAIO : public TBaseModule
{
public:
    TModuleAIO(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter);
    static std::unique_ptr<TBaseModule> Make(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter);

    TBaseDevState &GetUIState() override { return uiState_; }
    TDevStateAIO &DevState() { return devState_; }
    TUIStateAIO &UIState() { return uiState_; }
    TLogicAIO &Logic() { return logic_; }
    TLogic &AppLogic() { return app_; }

    void Detect() override { SetDeviceCompatible(false); }
    void WorkStep() override {}

    // The model curve of input 1 or 2 at x, from the edited points.
    double InterpolateModel(int input, double x) const;

private:
    TLogic &app_;
    TDevStateAIO devState_;
    TUIStateAIO uiState_;
    TLogicAIO logic_;
};

} // namespace lumex
