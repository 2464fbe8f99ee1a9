#include "mainwindow/UiText.h"

#include "documents/CustomParams.h"
#include "documents/LangManager.h"
#include "documents/ProductProfile.h"
#include "documents/ui/QtLanguageWindow.h"

namespace lumex {

QString UiText(std::string_view key, const QString &builtIn)
{
    const std::string text = MessageText(key);
    if (text.empty() || text[0] == '!')
        return builtIn;
    return QString::fromStdString(text);
}

namespace {

QColor FromBgr(TColour bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

const TCustomParameters &Palette()
{
    static const TCustomParameters parameters = [] {
        TCustomParameters p;
        p.ApplyProfile(SelectedProductProfile());
        return p;
    }();
    return parameters;
}

} // namespace

QColor PaletteColour(int index)
{
    if (index < 0 || index >= static_cast<int>(TCustomParameters::PaletteSize))
        return FromBgr(TCustomParameters::UnregisteredColour);
    return FromBgr(Palette().PaletteColour(static_cast<std::size_t>(index)));
}

QColor RgbColour(uint32_t rgb)
{
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

std::unique_ptr<TQtLanguageWindow> AttachLanguage(TLanguageWindowId id, QWidget *window)
{
    TLM *lm = TLM::Instance();
    if (!lm)
        return nullptr;
    return std::make_unique<TQtLanguageWindow>(*lm, id, window);
}

} // namespace lumex
