// An ordered list of variables. Two lists that describe one device (its
// image and the user's edited copy) are matched index by index, so the
// order is part of the meaning.
#pragma once

#include "modules/Variable.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace lumex {

// Which variables a copy takes.
enum TCopyKinds : int
{
    kCopyPlain = 1,  // readings (no default)
    kCopyParams = 2, // settings
    kCopyAll = 3
};

class TVariableList
{
public:
    explicit TVariableList(bool ownsVariables) : owns_(ownsVariables) {}
    virtual ~TVariableList() = default;
    TVariableList(const TVariableList &) = delete;
    TVariableList &operator=(const TVariableList &) = delete;

    // A new variable owned by this list and added to it.
    template <typename T, typename... A> T &Create(A &&...args)
    {
        auto v = std::make_unique<T>(std::forward<A>(args)...);
        v->UpdateText();
        T &ref = *v;
        Adopt(std::move(v));
        return ref;
    }
    // The same as a parameter with an integer default.
    template <typename T, typename... A> T &CreateParam(int32_t def, A &&...args)
    {
        T &v = Create<T>(std::forward<A>(args)...);
        v.MakeParam(def, v.WritesDefaultToRaw());
        return v;
    }

    // Raises on a different variable of the same name; a variable already
    // in the list is not added again.
    void AddVariable(TVariable &v);
    void AddRange(const TVariableList &source, std::size_t first, std::optional<std::size_t> end = std::nullopt);
    // Exact match of Name, the last one first.
    TVariable *FindByName(std::string_view name) const;
    std::size_t Count() const { return items_.size(); }
    TVariable &operator[](std::size_t i) const { return *items_[i]; }
    // The position of `v`, if it is in the list.
    std::optional<std::size_t> IndexOf(const TVariable &v) const;

    // Every variable composes its text again: texts in words follow the
    // language in force, and a language switch changes no value.
    void RefreshTexts();

    virtual void LinkHandlers(const TVariableList &source);
    virtual void ClearAll();
    // Every parameter of the section (of all sections for an empty one)
    // takes its default.
    virtual void SetDefaults(std::string_view section);
    virtual void Assign(const TVariableList &source, int kinds);
    virtual void CopyFrom(const TVariableList &source, std::string_view section, int kinds);
    virtual void CopyVariable(const TVariableList &source, TVariable &v);

protected:
    // The index walk behind CopyFrom, without any override.
    void CopyItems(const TVariableList &source, std::string_view section, int kinds);

private:
    void Adopt(std::unique_ptr<TVariable> v);

    bool owns_;
    std::vector<TVariable *> items_;
    std::vector<std::unique_ptr<TVariable>> owned_;
};

} // namespace lumex
