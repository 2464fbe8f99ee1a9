// The catalogue layer: the message catalogue (text domain "norvi4") that
// translates the windows designed in English, the windows registered with
// it, and the OBD trouble-code list of the catalogue language.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

class TCustom;

// A window translated through the catalogue; the user interface implements
// it and keeps the original English texts so every language change starts
// from them.
class TCatalogueWindow
{
public:
    virtual ~TCatalogueWindow() = default;
    // What identifies the window, so it is registered once.
    virtual const void *Identity() const = 0;
    virtual void Translate(const TCustom &catalogue) = 0;
    // Carries translated action texts into the controls linked to them.
    virtual void RelinkActions() = 0;
    virtual void ApplyCatalogueCharset(uint8_t charset) = 0;
};

class TCustom
{
public:
    static constexpr char TextDomain[] = "norvi4";

    // `resourceFolder` holds the OBD lists and ends with "/"; `localeFolder`
    // holds <language>/LC_MESSAGES/norvi4.mo.
    explicit TCustom(std::string resourceFolder = DefaultResourceFolder(),
                     std::string localeFolder = DefaultLocaleFolder());
    ~TCustom();
    TCustom(const TCustom &) = delete;
    TCustom &operator=(const TCustom &) = delete;

    static std::string DefaultResourceFolder();
    static std::string DefaultLocaleFolder();

    // Registers a window once: translates it, relinks its actions and sets
    // the catalogue's character set on its controls.
    void RegisterWindow(std::unique_ptr<TCatalogueWindow> window);
    void UnregisterWindow(const void *identity);
    std::size_t RegisteredWindowCount() const { return windows_.size(); }

    // The code is passed to the catalogue unchanged ("CZ" for Czech). A new
    // language retranslates every registered window; the OBD list is
    // reloaded every time.
    void SetCatalogueLanguage(const std::string &code);
    const std::string &CatalogueLanguage() const { return language_; }

    // The catalogue's text for an English text, or the text itself.
    std::string Translate(std::string_view english) const;

    void LoadOBDCodes();
    const std::vector<std::string> &OBDCodes() const { return obdCodes_; }
    std::string OBDCodeText(std::string_view code) const;
    // The OBD list file chosen for the current language (empty when none).
    const std::string &OBDCodesFile() const { return obdFile_; }

private:
    void TranslateWindow(TCatalogueWindow &window);
    std::string FindOBDCodesFile() const;

    std::string resourceFolder_;
    std::string localeFolder_;
    std::string language_;
    std::vector<std::unique_ptr<TCatalogueWindow>> windows_;
    std::vector<std::string> obdCodes_;
    std::string obdFile_;
};

// The process-wide catalogue language switch of GNU gettext, made to work at
// run time: binds the text domain to `localeFolder`, lifts the "C" locale
// (under which gettext ignores the language list) to its UTF-8 twin, sets the
// language list and drops gettext's cached translations.
void ActivateCatalogueLanguage(const std::string &localeFolder, const std::string &language);

} // namespace lumex
