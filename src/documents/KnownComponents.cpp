#include "documents/KnownComponents.h"

#include <algorithm>
#include <utility>

namespace lumex {

bool IsKnownComponent(std::string_view section, std::string_view component)
{
    static constexpr std::pair<std::string_view, std::string_view> rows[] = {
#define LUMEX_COMPONENT(section, name) {section, #name},
#include "documents/KnownComponents.def"
#undef LUMEX_COMPONENT
    };
    return std::any_of(std::begin(rows), std::end(rows),
                       [&](const auto &row) { return row.first == section && row.second == component; });
}

} // namespace lumex
