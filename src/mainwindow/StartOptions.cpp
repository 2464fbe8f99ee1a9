#include "mainwindow/StartOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace lumex {

namespace {

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::optional<int> ParseMs(const std::string &text)
{
    int value = 0;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0 || value > 3600000)
        return std::nullopt;
    return value;
}

struct TDemoGeneration
{
    const char *Digits;
    uint8_t Code;
};

constexpr TDemoGeneration kDemoGenerations[] = {{"14", 0x14}, {"15", 0x15}, {"30", 0x30}};

// "14", "15E", "30G": the generation's digits and an optional letter A..Z.
bool ParseDemoController(const std::string &text, TStartOptions &o)
{
    if (text.size() < 2 || text.size() > 3)
        return false;
    for (const TDemoGeneration &g : kDemoGenerations) {
        if (text.compare(0, 2, g.Digits) != 0)
            continue;
        std::optional<char> letter;
        if (text.size() == 3) {
            const char l = static_cast<char>(std::toupper(static_cast<unsigned char>(text[2])));
            if (l < 'A' || l > 'Z')
                return false;
            letter = l;
        }
        o.DemoGeneration = g.Code;
        o.DemoLetter = letter;
        return true;
    }
    return false;
}

} // namespace

TStartOptions ParseStartOptions(const std::vector<std::string> &args)
{
    TStartOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const std::string upper = Upper(arg);
        auto value = [&](std::string &out) {
            if (i + 1 < args.size()) {
                out = args[++i];
                return true;
            }
            o.Problems.push_back(arg + " needs a value");
            return false;
        };
        if (upper == "-OFFLINE") {
            o.Offline = true;
        } else if (upper == "-LOWRESOLUTION") {
            o.LowResolutionAllowed = true;
        } else if (upper == "-NOCONNECT") {
            o.NoAutoSearch = true;
        } else if (arg == "--demo") {
            o.Demo = true;
        } else if (arg == "--demo-controller") {
            std::string text;
            if (value(text) && !ParseDemoController(text, o))
                o.Problems.push_back("--demo-controller needs 14, 15 or 30 with an optional letter, not \"" + text +
                                     "\"");
        } else if (arg == "--demo-state") {
            value(o.DemoState);
        } else if (arg == "--port") {
            value(o.PortPath);
        } else if (arg == "--screenshot") {
            value(o.ScreenshotFile);
        } else if (arg == "--page") {
            value(o.Page);
        } else if (arg == "--record") {
            std::string text;
            if (value(text)) {
                const auto ms = ParseMs(text);
                if (ms && *ms > 0)
                    o.RecordSeconds = *ms;
                else
                    o.Problems.push_back("--record needs seconds, not \"" + text + "\"");
            }
        } else if (arg == "--record-csv") {
            value(o.RecordCsv);
        } else if (arg == "--after") {
            std::string text;
            if (value(text)) {
                if (const auto ms = ParseMs(text))
                    o.AfterMs = *ms;
                else
                    o.Problems.push_back("--after needs milliseconds, not \"" + text + "\"");
            }
        }
    }
    return o;
}

} // namespace lumex
