#include "documents/LanguageSections.h"

namespace lumex {

std::optional<TLanguageWindowId> WindowOfSection(std::string_view section)
{
    struct Row
    {
        std::string_view Section;
        TLanguageWindowId Window;
    };
    static constexpr Row rows[] = {
        {"[FormMain]", TLanguageWindowId::MainWindow},
        {"[FormMultiOBD]", TLanguageWindowId::MainWindow},
        {"[FrmConfigLevelSensor]", TLanguageWindowId::LevelSensor},
        {"[FrmHaslo]", TLanguageWindowId::Password},
        {"[FormAbout]", TLanguageWindowId::About},
        {"[FormInjTest]", TLanguageWindowId::InjectorTest},
        {"[FormUpgrader]", TLanguageWindowId::Upgrader},
        {"[FormWorkingPressure]", TLanguageWindowId::WorkingPressure},
        {"[FormConnectStatus]", TLanguageWindowId::ConnectStatus},
    };
    for (const auto &row : rows)
        if (row.Section == section)
            return row.Window;
    return std::nullopt;
}

} // namespace lumex
