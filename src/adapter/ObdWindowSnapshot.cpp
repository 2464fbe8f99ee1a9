#include "adapter/ObdWindowSnapshot.h"

#include "modules/DataState.h"

namespace lumex {

TModuleImage TakeModuleImage(const TDeviceState &devState, const TDevStateOBD &obd)
{
    TModuleImage image;
    image.Raw.reserve(devState.Count());
    for (std::size_t i = 0; i < devState.Count(); ++i) {
        const auto raw = devState[i].Raw();
        image.Raw.emplace_back(raw.begin(), raw.end());
    }
    image.Records = obd.TroubleCodeRecords;
    return image;
}

bool ApplyModuleImage(const TModuleImage &image, TDeviceState &devState, TDevStateOBD &obd)
{
    if (image.Raw.size() != devState.Count())
        return false;
    for (std::size_t i = 0; i < devState.Count(); ++i)
        if (image.Raw[i].size() != devState[i].Raw().size())
            return false;
    for (std::size_t i = 0; i < devState.Count(); ++i)
        devState[i].SetRaw(image.Raw[i], true);
    obd.TroubleCodeRecords = image.Records;
    obd.RefreshLiveTexts();
    return true;
}

TModuleEdits TakeModuleEdits(const TUIState &state, std::string_view section)
{
    TModuleEdits edits;
    // Only the variables the device image shares: the PC-only views follow
    // their parents.
    for (std::size_t i = 0; i < state.MirroredCount() && i < state.Count(); ++i) {
        const TVariable &v = state[i];
        if (!v.IsParam || v.Section() != section)
            continue;
        edits.emplace_back(i, std::vector<uint8_t>(v.Raw().begin(), v.Raw().end()));
    }
    return edits;
}

bool ApplyModuleEdits(const TModuleEdits &edits, TUIState &state)
{
    for (const auto &[index, raw] : edits)
        if (index >= state.MirroredCount() || index >= state.Count() || raw.size() != state[index].Raw().size())
            return false;
    for (const auto &[index, raw] : edits)
        state[index].SetRaw(raw, false);
    return true;
}

} // namespace lumex
