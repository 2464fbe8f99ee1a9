// The language files, OBD lists and catalogues the build ships beside the
// executables.
#include "documents/CustomCatalogue.h"
#include "documents/FileIo.h"
#include "documents/KnownComponents.h"
#include "documents/LangManager.h"
#include "documents/LanguageFile.h"
#include "documents/LanguageSections.h"
#include "documents/Languages.h"
#include "documents/MessageKeys.h"
#include "documents/VersionInfo.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace lumex {
namespace {

const char *const ShippedLanguages[] = {"EN", "PL", "CZ", "DE"};

std::vector<std::string> ShippedLines(const std::string &code)
{
    auto bytes = ReadWholeFile(TLM::DefaultResourceFolder() + "_" + code + ".lng", 1 << 24);
    if (!bytes)
        return {};
    return ReadLanguageFileBytes(*bytes, CharsetOf(code), version::FileVersion).Lines;
}

class ShippedLanguage : public ::testing::TestWithParam<const char *>
{
};

TEST_P(ShippedLanguage, LoadsWithTheProgramVersion)
{
    TLM lm;
    std::vector<std::string> errors;
    lm.OnError = [&](const std::string &, const std::string &text) { errors.push_back(text); };
    ASSERT_TRUE(lm.LoadLanguage(GetParam())) << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(ShippedLines(GetParam()).front(), std::string("FileVersion=") + version::FileVersion);
}

TEST_P(ShippedLanguage, HasATextForEveryKeyTheCodeUses)
{
    TLM lm;
    ASSERT_TRUE(lm.LoadLanguage(GetParam()));
    std::set<std::string> lowerCaseNames;
    for (std::string_view key : UsedMessageKeys()) {
        std::string text = lm.MessageText(key);
        EXPECT_FALSE(text.starts_with("!_")) << GetParam() << " lacks " << key;
    }
    // Every key the file carries is one the code knows, so a misspelt key
    // cannot hide behind a correct one.
    const auto keys = UsedMessageKeys();
    std::string section;
    for (const auto &line : ShippedLines(GetParam())) {
        if (line.starts_with("[")) {
            section = std::string(SectionNameOf(line));
            continue;
        }
        auto [name, value] = SplitNameValue(line);
        if (name.empty() || section != "[Strings]")
            continue;
        EXPECT_NE(std::find(keys.begin(), keys.end(), name), keys.end()) << GetParam() << ": unknown key " << name;
        EXPECT_FALSE(value.empty()) << GetParam() << ": empty text for " << name;
    }
}

TEST_P(ShippedLanguage, NamesOnlyComponentsThatExist)
{
    std::string section;
    int componentLines = 0;
    for (const auto &line : ShippedLines(GetParam())) {
        if (line.starts_with("[")) {
            section = std::string(SectionNameOf(line));
            continue;
        }
        if (!WindowOfSection(section))
            continue;
        auto [name, value] = SplitNameValue(line);
        if (name.empty())
            continue;
        ++componentLines;
        EXPECT_TRUE(IsKnownComponent(section, name)) << GetParam() << ": " << section << " names " << name;
    }
    EXPECT_GT(componentLines, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, ::testing::ValuesIn(ShippedLanguages));

TEST(ShippedLanguages, ShareOneSetOfComponentLines)
{
    auto componentsOf = [](const std::string &code) {
        std::set<std::string> names;
        std::string section;
        for (const auto &line : ShippedLines(code)) {
            if (line.starts_with("["))
                section = std::string(SectionNameOf(line));
            else if (WindowOfSection(section) && !SplitNameValue(line).first.empty())
                names.insert(section + std::string(SplitNameValue(line).first));
        }
        return names;
    };
    const auto english = componentsOf("EN");
    for (const char *code : ShippedLanguages)
        EXPECT_EQ(componentsOf(code), english) << code;
}

TEST(ShippedObdLists, WellFormedGenericCodes)
{
    const std::regex line(R"(^(P0|P2|P3|U0)[0-9A-F]{3} \S.*$)");
    for (const char *language : {"en_GB", "CZ", "DE"}) {
        TCustom catalogue;
        catalogue.SetCatalogueLanguage(language);
        ASSERT_EQ(catalogue.OBDCodesFile(), TCustom::DefaultResourceFolder() + "OBD-Codes-" + language + ".lng");
        std::set<std::string> seen;
        for (const auto &entry : catalogue.OBDCodes()) {
            EXPECT_TRUE(std::regex_match(entry, line)) << language << ": " << entry;
            EXPECT_TRUE(seen.insert(entry.substr(0, 5)).second) << language << ": twice " << entry;
        }
        EXPECT_GE(seen.size(), std::string(language) == "en_GB" ? 300u : 50u) << language;
    }
    TCustom english;
    english.SetCatalogueLanguage("EN");
    EXPECT_EQ(english.OBDCodesFile(), TCustom::DefaultResourceFolder() + "OBD-Codes-en_GB.lng");
    EXPECT_EQ(english.OBDCodeText("P0171"), "P0171 (Mixture too lean, bank 1)");
    TCustom czech;
    czech.SetCatalogueLanguage("CZ");
    EXPECT_EQ(czech.OBDCodeText("P0301"), "P0301 (Vynechávání zapalování ve válci 1)");
}

TEST(ShippedCatalogues, CompiledForPolishCzechAndGerman)
{
    for (const char *code : {"PL", "CZ", "DE"})
        EXPECT_TRUE(FileExists(TCustom::DefaultLocaleFolder() + "/" + code + "/LC_MESSAGES/norvi4.mo")) << code;
}

} // namespace
} // namespace lumex
