// The trouble-code page without the window: one read of the flags and the
// freeze-frame, and the lines the page and lumex2-cli show from it. The
// lines are built from what was read, so a language change rebuilds them
// without asking the controller again.
#pragma once

#include "controller/FreezeFrame.h"
#include "controller/TroubleCodes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

class TDataManager;

struct TTroubleCodeRead
{
    bool FlagsRead = false;
    std::array<uint8_t, 16> Flags{};
    TTroubleContext Context;
    TFreezeFrameRead FreezeFrame;
};

// Nothing is sent while the link is down. The freeze-frame is read even
// when the flags were not.
TTroubleCodeRead ReadTroubleCodePage(TDataManager &manager);

// The message text of a key in the language in force.
using TMessageLookup = std::function<std::string(std::string_view key)>;

struct TTroubleLine
{
    TTroubleCode Code;
    std::string Text; // the code's message text
    std::string Line; // prefix + text, as listed
};

struct TTroubleLines
{
    std::vector<TTroubleLine> Active;
    std::vector<TTroubleLine> Stored;
    std::vector<std::string> FreezeFrame; // empty when there is none to show
};

TTroubleLines TroubleLines(const TTroubleCodeRead &read, const TMessageLookup &text);

} // namespace lumex
