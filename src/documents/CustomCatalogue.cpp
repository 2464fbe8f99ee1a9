#include "documents/CustomCatalogue.h"

#include "documents/FileIo.h"
#include "documents/LanguageFile.h"
#include "documents/Languages.h"
#include "documents/ObdCodes.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <libintl.h>

// glibc's translation cache is keyed by this counter; the gettext manual's
// way to announce a new language list is to bump it.
extern "C" int _nl_msg_cat_cntr;

namespace lumex {

namespace {

constexpr std::size_t MaxObdListSize = std::size_t{16} * 1024 * 1024;

bool IsPlainCLocale(const char *name)
{
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

} // namespace

void ActivateCatalogueLanguage(const std::string &localeFolder, const std::string &language)
{
    bindtextdomain(TCustom::TextDomain, localeFolder.c_str());
    bind_textdomain_codeset(TCustom::TextDomain, "UTF-8");
    if (IsPlainCLocale(std::setlocale(LC_MESSAGES, nullptr))) {
        if (!std::setlocale(LC_MESSAGES, "C.UTF-8"))
            std::setlocale(LC_MESSAGES, "C.utf8");
    }
    ::setenv("LANGUAGE", language.c_str(), 1);
    ++_nl_msg_cat_cntr;
}

TCustom::TCustom(std::string resourceFolder, std::string localeFolder)
    : resourceFolder_(std::move(resourceFolder)), localeFolder_(std::move(localeFolder))
{
    bindtextdomain(TextDomain, localeFolder_.c_str());
    bind_textdomain_codeset(TextDomain, "UTF-8");
}

TCustom::~TCustom() = default;

std::string TCustom::DefaultResourceFolder()
{
    return ProgramFolder() + "Resource/";
}

std::string TCustom::DefaultLocaleFolder()
{
    return ProgramFolder() + "locale";
}

void TCustom::TranslateWindow(TCatalogueWindow &window)
{
    window.Translate(*this);
    window.RelinkActions();
    window.ApplyCatalogueCharset(CatalogueCharsetOf(language_));
}

void TCustom::RegisterWindow(std::unique_ptr<TCatalogueWindow> window)
{
    if (!window)
        return;
    const void *identity = window->Identity();
    if (std::any_of(windows_.begin(), windows_.end(), [&](const auto &w) { return w->Identity() == identity; }))
        return;
    windows_.push_back(std::move(window));
    TranslateWindow(*windows_.back());
}

void TCustom::UnregisterWindow(const void *identity)
{
    std::erase_if(windows_, [&](const auto &w) { return w->Identity() == identity; });
}

void TCustom::SetCatalogueLanguage(const std::string &code)
{
    if (language_ != code) {
        language_ = code;
        ActivateCatalogueLanguage(localeFolder_, language_);
        for (auto &window : windows_)
            TranslateWindow(*window);
    }
    LoadOBDCodes();
}

std::string TCustom::Translate(std::string_view english) const
{
    // An empty message id would fetch the catalogue's header.
    if (english.empty())
        return {};
    std::string id(english);
    return dgettext(TextDomain, id.c_str());
}

std::string TCustom::FindOBDCodesFile() const
{
    const std::string prefix = "OBD-Codes-" + language_;
    if (language_.find('_') == std::string::npos) {
        // "OBD-Codes-<language>*.lng": the first match in name order, so the
        // choice does not depend on the order the folder lists its files.
        std::vector<std::string> matches;
        std::error_code error;
        for (std::filesystem::directory_iterator it(resourceFolder_, error), end; !error && it != end;
             it.increment(error)) {
            std::string name = it->path().filename().string();
            if (name.size() >= prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".lng"))
                matches.push_back(name);
        }
        if (!matches.empty())
            return resourceFolder_ + *std::min_element(matches.begin(), matches.end());
    }
    return resourceFolder_ + prefix + ".lng";
}

void TCustom::LoadOBDCodes()
{
    auto load = [&](const std::string &path, const std::string &language) {
        try {
            auto bytes = ReadWholeFile(path, MaxObdListSize);
            if (!bytes)
                return false;
            obdCodes_ = ReadScrambledLines(std::move(*bytes), CharsetOf(language));
            obdFile_ = path;
            return true;
        } catch (const EFileReadError &) {
            return false;
        }
    };
    if (load(FindOBDCodesFile(), language_))
        return;
    if (load(resourceFolder_ + "OBD-Codes-en_GB.lng", "en_GB"))
        return;
    obdCodes_.clear();
    obdFile_.clear();
}

std::string TCustom::OBDCodeText(std::string_view code) const
{
    return OBDCodeTextOf(obdCodes_, code);
}

} // namespace lumex
