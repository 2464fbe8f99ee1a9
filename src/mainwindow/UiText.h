// Texts of the windows: a message key's text from the language in force,
// or the window's own built-in text while the key has none.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>

class QWidget;

namespace lumex {

class TQtLanguageWindow;
enum class TLanguageWindowId;

// The key's text; `builtIn` when the language gives none (texts that
// start with "!" are the language manager's sign for a missing key).
QString UiText(std::string_view key, const QString &builtIn);

// A display palette entry of the product profile as a colour; the fixed
// pink of an unregistered display for index -1.
QColor PaletteColour(int index);
QColor RgbColour(uint32_t rgb);

// Attaches the window to the language manager, once its components exist:
// the next language load applies its section. Nothing without a manager.
std::unique_ptr<TQtLanguageWindow> AttachLanguage(TLanguageWindowId id, QWidget *window);

} // namespace lumex
