// The window sections of a language file and the windows they address.
#pragma once

#include <optional>
#include <string_view>

namespace lumex {

enum class TLanguageWindowId
{
    MainWindow,
    LevelSensor,
    Password,
    About,
    InjectorTest,
    Upgrader,
    WorkingPressure,
    ConnectStatus
};

// The window a section header addresses; the name is compared exactly,
// brackets and case included ("[FormMultiOBD]" addresses the main window,
// which hosts the OBD pages). "[Strings]" and unknown sections give nothing.
std::optional<TLanguageWindowId> WindowOfSection(std::string_view section);

} // namespace lumex
