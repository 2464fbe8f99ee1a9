// A Qt window as the language files see it. While the object lives, the
// window is attached to the language manager under its window id, so the
// next language load applies its section to it.
#pragma once

#include "documents/LangManager.h"

#include <QPointer>
#include <QWidget>

namespace lumex {

class TQtLanguageWindow : public TLanguageWindow
{
public:
    TQtLanguageWindow(TLM &lm, TLanguageWindowId id, QWidget *window);
    ~TQtLanguageWindow() override;
    TQtLanguageWindow(const TQtLanguageWindow &) = delete;
    TQtLanguageWindow &operator=(const TQtLanguageWindow &) = delete;

    void SetCaption(const std::string &caption) override;
    void SetFontCharset(uint8_t charset) override;
    bool ApplyComponentLine(const std::string &name, const TComponentValue &value, uint8_t charset) override;

private:
    TLM &lm_;
    TLanguageWindowId id_;
    QPointer<QWidget> window_;
};

// Applies one component line to a widget or action; the kinds of component
// decide what a caption, a hint, an item or a memo line is.
void ApplyComponentValue(QObject *component, const TComponentValue &value, uint8_t charset);

} // namespace lumex
