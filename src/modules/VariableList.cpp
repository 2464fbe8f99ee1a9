#include "modules/VariableList.h"

#include <algorithm>

namespace lumex {

void TVariableList::Adopt(std::unique_ptr<TVariable> v)
{
    if (!owns_)
        throw EVariableError("Variable \"" + v->Name() + "\" created in a list that does not own its variables");
    AddVariable(*v);
    owned_.push_back(std::move(v));
}

void TVariableList::AddVariable(TVariable &v)
{
    for (TVariable *item : items_) {
        if (item == &v)
            return;
        if (item->Name() == v.Name())
            throw EVariableError("Variable named \"" + v.Name() + "\" already created");
    }
    items_.push_back(&v);
}

void TVariableList::AddRange(const TVariableList &source, std::size_t first, std::optional<std::size_t> end)
{
    const std::size_t last = std::min(end.value_or(source.Count()), source.Count());
    for (std::size_t i = first; i < last; ++i)
        AddVariable(source[i]);
}

TVariable *TVariableList::FindByName(std::string_view name) const
{
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if ((*it)->Name() == name)
            return *it;
    return nullptr;
}

std::optional<std::size_t> TVariableList::IndexOf(const TVariable &v) const
{
    auto it = std::find(items_.begin(), items_.end(), &v);
    if (it == items_.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - items_.begin());
}

void TVariableList::LinkHandlers(const TVariableList &source)
{
    const std::size_t n = std::min(Count(), source.Count());
    for (std::size_t i = 0; i < n; ++i) {
        TVariable &dst = *items_[i];
        const TVariable &src = source[i];
        if (src.Name() != dst.Name())
            throw EVariableError("Incompatible variables at index " + std::to_string(i) + " (" + src.Name() + " - " +
                                 dst.Name() + ")");
        dst.SetOnRawToValue(src.OnRawToValue());
        dst.SetOnValueToRaw(src.OnValueToRaw());
        dst.SetOnGetText(src.OnGetText());
    }
}

void TVariableList::RefreshTexts()
{
    for (TVariable *v : items_)
        v->UpdateText();
}

void TVariableList::ClearAll()
{
    for (TVariable *v : items_)
        v->ClearRaw(false);
}

void TVariableList::SetDefaults(std::string_view section)
{
    for (TVariable *v : items_)
        if (v->VariableType != TVariableType::Plain && (section.empty() || v->Section() == section))
            v->SetDefault(false);
}

void TVariableList::Assign(const TVariableList &source, int kinds)
{
    CopyFrom(source, {}, kinds);
}

void TVariableList::CopyFrom(const TVariableList &source, std::string_view section, int kinds)
{
    CopyItems(source, section, kinds);
}

void TVariableList::CopyItems(const TVariableList &source, std::string_view section, int kinds)
{
    const std::size_t n = std::min(Count(), source.Count());
    for (std::size_t i = 0; i < n; ++i) {
        const TVariable &src = source[i];
        const bool plain = src.VariableType == TVariableType::Plain;
        const bool kindOk = ((kinds & kCopyPlain) != 0 && plain) || ((kinds & kCopyParams) != 0 && !plain);
        if (!kindOk || (!section.empty() && src.Section() != section))
            continue;
        items_[i]->SetRaw(src.Raw(), false);
    }
}

void TVariableList::CopyVariable(const TVariableList &source, TVariable &v)
{
    const auto index = IndexOf(v);
    if (!index || *index >= source.Count())
        return;
    v.SetRaw(source[*index].Raw(), false);
}

} // namespace lumex
