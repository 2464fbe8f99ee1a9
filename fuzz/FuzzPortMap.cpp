// The port map file is written by hand as often as by the program: any
// bytes must parse without crashing, and what parses must survive a
// write and a second read unchanged.
#include "serial/PortMap.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(std::string_view text)
{
    const auto first = lumex::ParsePortMap(text);
    for (const auto &[number, path] : first.Entries) {
        if (number < lumex::kMinPortNumber || number > lumex::kMaxPortNumber || path.empty() || path.front() != '/')
            std::abort();
    }
    const auto second = lumex::ParsePortMap(lumex::FormatPortMap(first.Entries));
    if (second.Entries != first.Entries || !second.Problems.empty())
        std::abort();
}

// Random bytes seldom spell a section and keys; this shapes each input line
// into "COM<first byte>=/<rest>" so the entry rules see real traffic.
std::string Shaped(std::string_view raw)
{
    std::string text = "[Ports]\n";
    while (!raw.empty()) {
        const auto end = raw.find('\n');
        const std::string_view line = raw.substr(0, end);
        raw = end == std::string_view::npos ? std::string_view{} : raw.substr(end + 1);
        if (line.empty())
            continue;
        text += "COM" + std::to_string(static_cast<unsigned char>(line[0])) + "=/";
        text.append(line.substr(1));
        text += '\n';
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    Check(raw);
    Check("[Ports]\n" + std::string(raw));
    Check(Shaped(raw));
    return 0;
}
