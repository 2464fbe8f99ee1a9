#include "mainwindow/WizardLists.h"

#include "calibration/WorkingPressureList.h"

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
    static const std::vector<TListEntry> entries = [] {
        std::vector<TListEntry> v;
        for (const auto &entry : WorkingPressureList())
            v.push_back({entry.Text, entry.Raw});
        return v;
    }();
    return entries;
}

} // namespace lumex
