#include "modules/Sections.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lumex {

namespace {

constexpr std::array<std::pair<TSection, std::string_view>, 22> kSections = {{
    {TSection::Local, "Local"},
    {TSection::DevInfo, "DevInfo"},
    {TSection::DevState, "DevState"},
    {TSection::Config, "Config"},
    {TSection::Model, "Model"},
    {TSection::Map, "Map"},
    {TSection::Panel, "Panel"},
    {TSection::Corrections, "Corrections"},
    {TSection::Diagnostic, "Diagnostic"},
    {TSection::MapRpm, "Map.RPM"},
    {TSection::MapPetrol, "Map.PETROL"},
    {TSection::MapGas, "Map.GAS"},
    {TSection::MapMapCorr, "Map.MAPCORR"},
    {TSection::MapMapSamp, "Map.MAPSAMP"},
    {TSection::DiagnAdv, "DiagnAdv"},
    {TSection::TroubleCodes, "TroubleCodes"},
    {TSection::FreezedFrame, "FreezedFrame"},
    {TSection::CarInfo, "CarInfo"},
    {TSection::Adapter, "Adapter"},
    {TSection::OBD, "OBD"},
    {TSection::AIO, "AIO"},
    {TSection::AutoSetup, "AutoSetup"},
}};

constexpr auto kOrder = [] {
    std::array<TSection, kSections.size()> order{};
    for (std::size_t i = 0; i < kSections.size(); ++i)
        order[i] = kSections[i].first;
    return order;
}();

} // namespace

std::string_view SectionName(TSection section)
{
    auto it = std::find_if(kSections.begin(), kSections.end(), [&](const auto &e) { return e.first == section; });
    return it == kSections.end() ? std::string_view{} : it->second;
}

std::string MakeVariableName(TSection section, std::string_view name)
{
    const std::string_view prefix = SectionName(section);
    if (prefix.empty())
        return std::string(name);
    return std::string(prefix) + ":" + std::string(name);
}

std::optional<TSection> FindSection(std::string_view name)
{
    auto it = std::find_if(kSections.begin(), kSections.end(), [&](const auto &e) { return e.second == name; });
    if (name.empty() || it == kSections.end())
        return std::nullopt;
    return it->first;
}

const TSection *SectionsBegin()
{
    return kOrder.data();
}

const TSection *SectionsEnd()
{
    return kOrder.data() + kOrder.size();
}

} // namespace lumex
