// The language manager: loads a language file, applies its component lines
// to the windows that exist and keeps its message texts and hint extensions.
#pragma once

#include "documents/ErrorReport.h"
#include "documents/LanguageFile.h"
#include "documents/LanguageSections.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumex {

class TCustom;
struct TLanguageScheme;

// A window as the language files see it; the user interface implements it.
class TLanguageWindow
{
public:
    virtual ~TLanguageWindow() = default;
    virtual void SetCaption(const std::string &caption) = 0;
    virtual void SetFontCharset(uint8_t charset) = 0;
    // Applies one component line; false when no component has that name.
    virtual bool ApplyComponentLine(const std::string &name, const TComponentValue &value, uint8_t charset) = 0;
};

class TLM
{
public:
    // `resourceFolder` ends with "/"; `fileVersion` is what every language
    // file must name on its first line.
    explicit TLM(std::string resourceFolder = DefaultResourceFolder(), std::string fileVersion = ProgramFileVersion());
    ~TLM();
    TLM(const TLM &) = delete;
    TLM &operator=(const TLM &) = delete;

    static std::string DefaultResourceFolder();
    static std::string ProgramFileVersion();
    // The process-wide manager: the one created first and still alive.
    static TLM *Instance();

    const std::string &LanguageCode() const { return languageCode_; }
    // Sets the language in force without loading it (the settings file does).
    void SetLanguageCode(const std::string &code) { languageCode_ = code; }
    const std::string &FileVersion() const { return fileVersion_; }

    // Another program's folder, extension and codes (the legacy program's
    // "lang/_<code>.lang"); the scheme must outlive the manager.
    void UseScheme(const TLanguageScheme &scheme, std::string programFolder);
    bool IsKnownCode(const std::string &code) const;

    std::string LanguageFilePrefix() const { return (scheme_ ? languageFolder_ : resourceFolder_) + "_"; }
    std::string LanguageFilePath(const std::string &code) const;
    // "Resource/_<code>_<name><ext>" and "Resource/__<name><ext>".
    std::string LanguagePicturePath(const std::string &name, const std::string &ext) const;
    std::string CommonPicturePath(const std::string &name, const std::string &ext) const;

    bool LoadLanguage(const std::string &code);
    void LoadCurrentLanguage();

    std::string MessageText(std::string_view key) const;
    std::string HintExtension(std::string_view name) const;
    std::string TranslateEnglish(std::string_view english) const;

    // The items a window section gave a list control: the lines after its
    // "^" line, in order. Pages that fill a list from a value table take
    // its texts from here. Nothing when the language gave the control no
    // "^" line.
    const std::vector<std::string> *ListItems(TLanguageWindowId window, std::string_view name) const;

    const std::vector<std::string> &MessageTexts() const { return messageTexts_; }
    const std::vector<std::string> &HintExtensions() const { return hintExtensions_; }

    // The catalogue layer that follows every language change (may be none).
    void SetCatalogue(TCustom *catalogue) { catalogue_ = catalogue; }
    TCustom *Catalogue() const { return catalogue_; }
    // A window exists for the language files while it is attached.
    void AttachWindow(TLanguageWindowId id, TLanguageWindow *window);
    void DetachWindow(TLanguageWindowId id, TLanguageWindow *window);

    // Receives the file errors (caption "Error").
    TErrorHandler OnError = PrintErrorToStderr;

private:
    bool Fail(const std::string &text);
    void ApplyComponentLine(TLanguageWindow &window, const std::string &name, std::string_view value, uint8_t charset,
                            std::vector<std::string> &hints);

    using TListKey = std::pair<TLanguageWindowId, std::string>;
    using TListItems = std::map<TListKey, std::vector<std::string>, std::less<>>;
    static void NoteListItem(TListItems &lists, TLanguageWindowId window, const std::string &name,
                             const TComponentValue &value);

    std::string resourceFolder_;
    const TLanguageScheme *scheme_ = nullptr;
    std::string languageFolder_; // with the scheme: where its files lie
    std::string fileVersion_;
    std::string languageCode_ = "PL";
    std::vector<std::string> messageTexts_;
    std::vector<std::string> hintExtensions_;
    TListItems listItems_;
    std::map<TLanguageWindowId, TLanguageWindow *> windows_;
    TCustom *catalogue_ = nullptr;
};

// The first line of `lines` named `name` (names compare without regard to
// case); its value, or nothing.
const std::string *FindNamedLine(const std::vector<std::string> &lines, std::string_view name);

// Through the process-wide manager; "!_" + key when there is none.
std::string MessageText(std::string_view key);
std::string HintExtension(std::string_view name);
std::string TranslateEnglish(std::string_view english);

// The message key of an English text of the module framework, or nothing.
const char *EnglishTextKey(std::string_view english);
std::size_t EnglishTextCount();

} // namespace lumex
