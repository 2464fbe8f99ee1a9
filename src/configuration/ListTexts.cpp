#include "configuration/ListTexts.h"

#include "documents/LangManager.h"

namespace lumex {

std::vector<std::string> ListEntryTexts(TValueListId id, const std::vector<std::string> *translated)
{
    const TValueList &list = ValueList(id);
    // A language made for another list length would put texts on the wrong
    // values: then the built-in texts are the safe ones.
    if (translated && translated->size() == list.entries.size())
        return *translated;
    return list.entries;
}

std::vector<std::string> ListEntryTexts(TValueListId id, std::string_view control)
{
    const TLM *lm = TLM::Instance();
    return ListEntryTexts(id, lm ? lm->ListItems(TLanguageWindowId::MainWindow, control) : nullptr);
}

} // namespace lumex
