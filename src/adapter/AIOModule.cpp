#include "adapter/AIOModule.h"

#include "adapter/AdapterModule.h"
#include "documents/LangManager.h"
#include "modules/AppLogic.h"
#include "modules/ModuleQuestions.h"
#include "modules/Sections.h"

namespace lumex {

namespace {

constexpr int kByteMax = 255;
constexpr int kWordMax = 65535;

const std::string &Aio()
{
    static const std::string s(SectionName(TSection::AIO));
    return s;
}

} // namespace

TModuleAIO::TModuleAIO(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter)
    : TBaseModule(logic.Manager(), &protocol), app_(logic), devState_(logic.Manager().DevState()),
      uiState_(logic.UIState(), devState_), logic_(*this)
{
    adapter.Logic().DefaultWriters.push_back([this] {
        logic_.WriteAIODefaults(false, nullptr);
        return true; // nothing reaches the device, so nothing can fail
    });
    logic.ConfigurationWriters.push_back([this] { return logic_.WriteAIOConfig(); });
}

std::unique_ptr<TBaseModule> TModuleAIO::Make(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter)
{
    return std::make_unique<TModuleAIO>(logic, protocol, adapter);
}

double TModuleAIO::InterpolateModel(int input, double x) const
{
    const TAioInput &in = uiState_.Inputs.at(input == 2 ? 1 : 0);
    std::array<double, kAioModelPoints> xs{}, ys{};
    for (std::size_t i = 0; i < kAioModelPoints; ++i) {
        xs[i] = static_cast<double>(in.ModelX[i]->GetAsInteger());
        ys[i] = static_cast<double>(in.ModelY[i]->GetAsInteger());
    }
    return lumex::InterpolateModel(xs, ys, x);
}

bool TLogicAIO::ReadAIOConfig()
{
    if (!module_.IsConnected())
        return false;
    // No wire commands exist; a module that had them would read here.
    module_.AppLogic().UIState().CopyFromDevState(Aio(), kCopyAll);
    return true;
}

bool TLogicAIO::WriteAIOConfig()
{
    module_.AppLogic().UIState().CopyToDevState(Aio(), kCopyAll);
    return true;
}

bool TLogicAIO::WriteAIODefaults(bool ask, TModuleQuestions *questions)
{
    if (!module_.IsConnected())
        return false;
    if (ask && (questions == nullptr ||
                !questions->OkCancel(
                    TranslateEnglish("Caution! Program will write default AIO configuration into Adapter. Save?"))))
        return false;
    TLogic &app = module_.AppLogic();
    app.BeginDeviceOperation();
    app.UIState().SetDefaults(Aio());
    app.UIState().CopyToDevState(Aio(), kCopyParams);
    const bool ok = WriteAIOConfig();
    app.EndDeviceOperation();
    return ok;
}

bool TLogicAIO::StoreGrids(int input, const std::vector<std::string> &pressureAxis,
                           const std::vector<std::string> &rpmAxis, const std::vector<std::string> &cells)
{
    TUIStateAIO &s = module_.UIState();
    const TAioInput &in = s.Inputs.at(input == 2 ? 1 : 0);
    const TAioGridCheck p = CheckAioCells(pressureAxis, 0, kByteMax);
    const TAioGridCheck r = CheckAioCells(rpmAxis, 0, kWordMax);
    const TAioGridCheck c = CheckAioCells(cells, kAioCellMin, kAioCellMax);
    if (!p.Values || !r.Values || !c.Values || p.Values->size() != kAioPressureRows ||
        r.Values->size() != kAioRpmColumns || c.Values->size() != kAioPressureRows * kAioRpmColumns)
        return false;
    for (std::size_t i = 0; i < kAioPressureRows; ++i)
        s.PcolThresholds[i]->SetAsInteger((*p.Values)[i]);
    for (std::size_t i = 0; i < kAioRpmColumns; ++i)
        s.RpmThresholds[i]->SetAsInteger((*r.Values)[i]);
    for (std::size_t row = 0; row < kAioPressureRows; ++row)
        for (std::size_t col = 0; col < kAioRpmColumns; ++col)
            in.Thresholds[row][col]->SetAsInteger((*c.Values)[row * kAioRpmColumns + col]);
    return true;
}

} // namespace lumex
