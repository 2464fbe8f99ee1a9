// What the adapter information page and the adapter row of the
// connection-status window show, taken on the device thread after a
// detection pass and handed to the windows as a value.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

class TLogic;

struct TAdapterSnapshot
{
    bool Connected = false;
    uint8_t MainVersion = 0;
    uint8_t Product = 0;
    std::string Version;     // form 0, "----" when absent
    std::string VersionFull; // the long full version text
    std::string Built;       // build date, a blank, build time
    std::string Serial;      // without dashes
};

enum class TAdapterPageTone
{
    Good, // green
    Bad,  // red
    Neutral
};

struct TAdapterPageView
{
    std::string Version;
    TAdapterPageTone Tone = TAdapterPageTone::Neutral;
    std::string VersionFull;
    std::string Built;
    std::string Serial;
    bool ButtonsEnabled = false;
};

// Reads nothing from the device: the logic's images as they are.
TAdapterSnapshot TakeAdapterSnapshot(TLogic &logic);
// The page's texts for a snapshot; the words go through the language.
TAdapterPageView AdapterPageView(const TAdapterSnapshot &s);

} // namespace lumex
