#include "mainwindow/WizardLists.h"

#include <array>

namespace lumex {

std::vector<TListEntry> OfferedEntries(TValueListId list, const std::vector<int> &offeredCodes)
{
    const TValueList &l = ValueList(list);
    std::vector<TListEntry> entries;
    if (offeredCodes.empty()) {
        for (std::size_t i = 0; i < l.entries.size(); ++i)
            entries.push_back({l.entries[i], l.raws[i]});
        return entries;
    }
    for (int code : offeredCodes) {
        for (std::size_t i = 0; i < l.entries.size(); ++i) {
            if (l.raws[i] == code) {
                entries.push_back({l.entries[i], l.raws[i]});
                break;
            }
        }
    }
    return entries;
}

const std::vector<TListEntry> &WorkPressureEntries()
{
    // 0,70 to 2,00 bar in steps of 0,10 and the sensor codes the controller keeps.
    static const std::vector<TListEntry> entries = [] {
        constexpr std::array<uint16_t, 14> kRaw{76, 85, 94, 104, 113, 123, 132, 141, 151, 160, 170, 179, 188, 198};
        std::vector<TListEntry> v;
        for (std::size_t i = 0; i < kRaw.size(); ++i) {
            const int hundredths = 70 + static_cast<int>(i) * 10;
            std::string text = std::to_string(hundredths / 100) + "," + std::to_string(hundredths % 100 / 10) + "0";
            v.push_back({std::move(text), kRaw[i]});
        }
        return v;
    }();
    return entries;
}

} // namespace lumex
