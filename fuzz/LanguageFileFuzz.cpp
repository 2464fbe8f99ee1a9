// Language files: unscramble, decode, version check, and every line taken
// apart the way the language manager does.
#include "documents/LanguageFile.h"
#include "documents/LanguagePack.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the character set, so every code page is reached.
    static constexpr uint8_t charsets[] = {0, 238, 204, 186, 162, 222};
    const uint8_t charset = charsets[data[0] % sizeof charsets];
    std::string bytes(reinterpret_cast<const char *>(data + 1), size - 1);

    auto file = lumex::ReadLanguageFileBytes(bytes, charset, "3.0.5.1");
    for (const auto &line : file.Lines) {
        if (!line.empty() && line.front() == '[') {
            (void)lumex::SectionNameOf(line);
            continue;
        }
        auto [name, value] = lumex::SplitNameValue(line);
        auto parsed = lumex::ParseComponentValue(value);
        if (parsed.Kind == lumex::TComponentValue::TKind::Hint && parsed.Text.size() > value.size())
            __builtin_trap();
        (void)name;
    }
    // The tool's reverse direction must survive the same bytes.
    (void)lumex::UnpackLanguageFile(bytes, charset);
    return 0;
}
