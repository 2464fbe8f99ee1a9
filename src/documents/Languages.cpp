#include "documents/Languages.h"

namespace lumex {

const std::array<TLanguageInfo, LanguageCount> &Languages()
{
    static const std::array<TLanguageInfo, LanguageCount> table{{
        {"PL", 238, "MnILangPolish", "Polski/Polish"},
        {"EN", 0, "MnILangEnglish", "English"},
        {"RU", 204, "MnILangRussian",
         "??????"
         "?/Russian"},
        {"LT", 186, "MnILangLithuanian", "Lietuvi?/Lithuanian"},
        {"CZ", 238, "MnILangCzech", "Česky/Czech"},
        {"DE", 0, "MnILangGerman", "Deutsch/German"},
        {"IT", 0, "MnILangItalian", "Italian"},
        {"TR", 162, "MnILangTurkish", "Türkçe/Turkish"},
        {"HR", 0, "MnILangCroatian", "Hrvatski/Croatian"},
        {"FR", 0, "MnILangFrench", "Français/French"},
        {"TR_Tavira", 162, "MnILangTurkish_Tavira", "Türkçe/Turkish"},
        {"NL", 0, "MnILangNederlands", "Nederlands"},
        {"ES", 0, "MnILangSpanish", "Spanish/Espaňol"},
        {"PT", 0, "MnILangPortuguese", "Portuguese/Portugues"},
        {"ES_Brenta", 0, "MnILangSpanish_Brenta", "Spanish/Espaňol"},
        {"TH", 222, "MnILangThai", "Thai"},
    }};
    return table;
}

std::string LanguageCodeOf(unsigned index, const std::string &current)
{
    if (index >= LanguageCount)
        return current;
    return std::string(Languages()[index].Code);
}

std::optional<unsigned> LanguageIndexOf(std::string_view code)
{
    const auto &table = Languages();
    for (unsigned i = 0; i < table.size(); ++i)
        if (table[i].Code == code)
            return i;
    return std::nullopt;
}

bool IsKnownLanguageCode(std::string_view code)
{
    return LanguageIndexOf(code).has_value();
}

uint8_t CharsetOf(std::string_view code)
{
    auto index = LanguageIndexOf(code);
    return index ? Languages()[*index].Charset : 0;
}

uint8_t CatalogueCharsetOf(std::string_view catalogueLanguage)
{
    struct Row
    {
        std::string_view Prefix;
        uint8_t Charset;
    };
    static constexpr Row rows[] = {{"pl", 238}, {"en", 0}, {"ru", 204}, {"lt", 186}, {"cs", 238}, {"de", 0}, {"it", 0},
                                   {"tr", 162}, {"hr", 0}, {"fr", 0},   {"nl", 0},   {"es", 0},   {"pt", 0}};
    std::string_view prefix = catalogueLanguage.substr(0, catalogueLanguage.find('_'));
    for (const auto &row : rows)
        if (row.Prefix == prefix)
            return row.Charset;
    return 0;
}

} // namespace lumex
