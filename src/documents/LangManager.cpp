#include "documents/LangManager.h"

#include "documents/CustomCatalogue.h"
#include "documents/FileIo.h"
#include "documents/IniFile.h"
#include "documents/Languages.h"
#include "documents/Pictures.h"
#include "documents/VersionInfo.h"
#include "profile/ProgramProfile.h"

#include <iostream>

namespace lumex {

namespace {

// Language files are a few hundred kilobytes at most.
constexpr std::size_t MaxLanguageFileSize = std::size_t{8} * 1024 * 1024;

TLM *instance = nullptr;

} // namespace

void PrintErrorToStderr(const std::string &caption, const std::string &text)
{
    std::cerr << caption << ": " << text << '\n';
}

const std::string *FindNamedLine(const std::vector<std::string> &lines, std::string_view name)
{
    for (const auto &line : lines) {
        auto equals = line.find('=');
        if (equals != std::string::npos && equals > 0 && SameName(std::string_view(line).substr(0, equals), name))
            return &line;
    }
    return nullptr;
}

TLM::TLM(std::string resourceFolder, std::string fileVersion)
    : resourceFolder_(std::move(resourceFolder)), fileVersion_(std::move(fileVersion))
{
    if (!instance)
        instance = this;
}

TLM::~TLM()
{
    if (instance == this)
        instance = nullptr;
}

std::string TLM::DefaultResourceFolder()
{
    return ProgramFolder() + "Resource/";
}

std::string TLM::ProgramFileVersion()
{
    return version::FileVersion;
}

TLM *TLM::Instance()
{
    return instance;
}

void TLM::UseScheme(const TLanguageScheme &scheme, std::string programFolder)
{
    scheme_ = &scheme;
    languageFolder_ = std::move(programFolder);
    if (!scheme.Folder.empty())
        languageFolder_ += scheme.Folder + "/";
}

bool TLM::IsKnownCode(const std::string &code) const
{
    return scheme_ ? scheme_->IsKnownCode(code) : IsKnownLanguageCode(code);
}

std::string TLM::LanguageFilePath(const std::string &code) const
{
    return LanguageFilePrefix() + code + (scheme_ ? scheme_->Extension : std::string(".lng"));
}

std::string TLM::LanguagePicturePath(const std::string &name, const std::string &ext) const
{
    return PicturePath(resourceFolder_, languageCode_, name, ext);
}

std::string TLM::CommonPicturePath(const std::string &name, const std::string &ext) const
{
    return PicturePath(resourceFolder_, "", name, ext);
}

void TLM::AttachWindow(TLanguageWindowId id, TLanguageWindow *window)
{
    windows_[id] = window;
}

void TLM::DetachWindow(TLanguageWindowId id, TLanguageWindow *window)
{
    auto it = windows_.find(id);
    if (it != windows_.end() && it->second == window)
        windows_.erase(it);
}

bool TLM::Fail(const std::string &text)
{
    // The catalogue and the OBD list switched before the file was read; put
    // back the language still in force so both layers agree again.
    if (catalogue_)
        catalogue_->SetCatalogueLanguage(languageCode_);
    if (OnError)
        OnError("Error", text);
    return false;
}

bool TLM::LoadLanguage(const std::string &code)
{
    // Only the program's own codes name files; anything else could reach outside
    // the resource folder, so it does not even reach the catalogue.
    const bool known = IsKnownCode(code);
    if (catalogue_ && known)
        catalogue_->SetCatalogueLanguage(code);
    const std::string path = LanguageFilePath(code);
    if (!known || !FileExists(path))
        return Fail("File not found:\r\n" + path);

    std::optional<std::string> bytes;
    try {
        bytes = ReadWholeFile(path, MaxLanguageFileSize);
    } catch (const EFileReadError &) {
        return Fail("Incorrect file structure: " + path);
    }
    if (!bytes)
        return Fail("File not found:\r\n" + path);

    const uint8_t charset = CharsetOf(code);
    TLanguageFileText file = ReadLanguageFileBytes(std::move(*bytes), charset, fileVersion_);
    if (file.Check == TLanguageFileCheck::BadStructure)
        return Fail("Incorrect file structure: " + path);
    if (file.Check == TLanguageFileCheck::BadVersion)
        return Fail("Incorrect file version: " + path + "\r\n\r\n" + "(expected: " + fileVersion_ +
                    ", but found: " + file.FoundVersion + ")");

    std::vector<std::string> messages;
    std::vector<std::string> hints;
    TListItems lists;
    TLanguageWindow *window = nullptr;
    TLanguageWindowId windowId{};
    for (std::size_t i = 1; i < file.Lines.size(); ++i) {
        const std::string &line = file.Lines[i];
        if (!line.empty() && line.front() == '[') {
            std::string_view section = SectionNameOf(line);
            window = nullptr;
            if (auto id = WindowOfSection(section)) {
                auto it = windows_.find(*id);
                if (it != windows_.end()) {
                    window = it->second;
                    windowId = *id;
                }
            }
            if (window) {
                if (const std::string *captionLine = FindNamedLine(file.Lines, section)) {
                    std::string_view caption = SplitNameValue(*captionLine).second;
                    if (!caption.empty())
                        window->SetCaption(std::string(caption));
                }
                window->SetFontCharset(charset);
            }
            continue;
        }
        if (window) {
            auto [name, value] = SplitNameValue(line);
            if (!name.empty()) {
                NoteListItem(lists, windowId, std::string(name), ParseComponentValue(value));
                ApplyComponentLine(*window, std::string(name), value, charset, hints);
            }
        } else {
            messages.push_back(line);
        }
    }
    messageTexts_ = std::move(messages);
    hintExtensions_ = std::move(hints);
    listItems_ = std::move(lists);
    languageCode_ = code;
    return true;
}

void TLM::ApplyComponentLine(TLanguageWindow &window, const std::string &name, std::string_view value, uint8_t charset,
                             std::vector<std::string> &hints)
{
    TComponentValue parsed = ParseComponentValue(value);
    if (parsed.HintExtension)
        hints.push_back(name + "=" + *parsed.HintExtension);
    window.ApplyComponentLine(name, parsed, charset);
}

void TLM::NoteListItem(TListItems &lists, TLanguageWindowId window, const std::string &name,
                       const TComponentValue &value)
{
    TListKey key{window, name};
    if (value.Kind == TComponentValue::TKind::Clear) {
        lists[key].clear();
        return;
    }
    // Only a list the language started with "^" collects items: a caption
    // line of another control is not a list.
    auto it = lists.find(key);
    if (it != lists.end() && value.Kind == TComponentValue::TKind::Text && !value.Text.empty())
        it->second.push_back(value.Text);
}

const std::vector<std::string> *TLM::ListItems(TLanguageWindowId window, std::string_view name) const
{
    const auto it = listItems_.find(TListKey{window, std::string(name)});
    return it == listItems_.end() ? nullptr : &it->second;
}

void TLM::LoadCurrentLanguage()
{
    if (LoadLanguage(languageCode_))
        return;
    const std::string fallback = scheme_ ? scheme_->DefaultCode : std::string("PL");
    LoadLanguage(fallback);
    languageCode_ = fallback;
    if (catalogue_)
        catalogue_->SetCatalogueLanguage(languageCode_);
}

std::string TLM::MessageText(std::string_view key) const
{
    if (const std::string *line = FindNamedLine(messageTexts_, key)) {
        std::string_view value = SplitNameValue(*line).second;
        if (!value.empty())
            return std::string(value);
    }
    return "!_" + std::string(key);
}

std::string TLM::HintExtension(std::string_view name) const
{
    const std::string *line = FindNamedLine(hintExtensions_, name);
    return line ? std::string(SplitNameValue(*line).second) : std::string{};
}

std::string TLM::TranslateEnglish(std::string_view english) const
{
    // A text the language file lacks falls back to the catalogue, and then
    // to the English itself: never a marker in front of the user.
    if (const char *key = EnglishTextKey(english)) {
        std::string text = MessageText(key);
        if (text.rfind("!_", 0) != 0)
            return text;
    }
    if (catalogue_ != nullptr)
        return catalogue_->Translate(english);
    return std::string(english);
}

std::string MessageText(std::string_view key)
{
    TLM *lm = TLM::Instance();
    return lm ? lm->MessageText(key) : "!_" + std::string(key);
}

std::string HintExtension(std::string_view name)
{
    TLM *lm = TLM::Instance();
    return lm ? lm->HintExtension(name) : std::string{};
}

std::string TranslateEnglish(std::string_view english)
{
    if (TLM *lm = TLM::Instance())
        return lm->TranslateEnglish(english);
    return std::string(english);
}

} // namespace lumex
