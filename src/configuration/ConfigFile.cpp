#include "configuration/ConfigFile.h"

#include "calibration/DefaultModel.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "controller/Version.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"

#include <cctype>
#include <cmath>
#include <set>

namespace lumex {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kVerSerialDigits = 5, kVerGenerationDigits = 2;
constexpr uint16_t kMapFlagBit = 0x8000;
constexpr char kVerKey[] = "Ver";

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Keys given twice in one section: the INI class takes the first, and the
// installer should know the file is not what it seems.
std::vector<std::string> DuplicateKeys(std::string_view text)
{
    std::vector<std::string> found;
    std::set<std::string> seen;
    std::string section;
    for (std::string_view line : SplitLines(text)) {
        line = TrimSpaces(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto end = line.find(']');
            section = Lower(line.substr(1, end == std::string_view::npos ? line.size() - 1 : end - 1));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string name = std::string(TrimSpaces(line.substr(0, eq)));
        std::string where = section;
        where += '\n';
        where += Lower(name);
        if (!seen.insert(std::move(where)).second)
            found.push_back("[" + section + "] " + name);
    }
    return found;
}

bool IsPartOf(const TGcfItem &item, const TNorviData &controller, bool modelOnly)
{
    if (modelOnly)
        return item.Part == TGcfPart::Model;
    // The map goes back into controllers that take a written map.
    if (item.Part == TGcfPart::Map)
        return Is30From(controller, "F");
    return true;
}

bool IsModelPointKey(const TGcfItem &item)
{
    return item.Key.starts_with("M2XP") || item.Key.starts_with("M2YP");
}

// Why the value cannot be loaded, or nothing when it can.
std::optional<std::string> Invalid(const TGcfItem &item, const TNorviData &controller, double value)
{
    if (item.Field != nullptr && IsPresent(*item.Field, controller)) {
        // Beyond any field's range, and not convertible to an integer.
        constexpr double kLargestRaw = 4294967295.0;
        if (value < 0 || value > kLargestRaw || value != std::round(value))
            return std::string("not a raw value");
        const TFieldInput input = CheckRawValue(*item.Field, controller, static_cast<unsigned long>(value));
        if (!input)
            return input.Error;
        return std::nullopt;
    }
    if (value < item.Min || value > item.Max)
        return "out of range " + GcfValueText(item, item.Min) + " .. " + GcfValueText(item, item.Max);
    return std::nullopt;
}

std::string Where(const TGcfItem &item)
{
    return "[" + item.Section + "] " + item.Key;
}

} // namespace

std::optional<std::string> GcfGeneration(std::string_view ver)
{
    ver = TrimSpaces(ver);
    const auto space = ver.find(' ');
    std::string_view word = ver.substr(0, space);
    // The firmware letter follows the digits; an empty letter leaves none.
    while (!word.empty() && !std::isdigit(static_cast<unsigned char>(word.back())))
        word.remove_suffix(1);
    std::size_t digits = 0;
    while (digits < word.size() && std::isdigit(static_cast<unsigned char>(word[digits])))
        ++digits;
    if (digits != word.size() || digits < kVerSerialDigits + kVerGenerationDigits)
        return std::nullopt;
    return std::string(word.substr(word.size() - kVerGenerationDigits));
}

TNorviData GcfSaveView(const TNorviData &d)
{
    TNorviData view = d;
    for (auto &entry : view.MapG3) {
        if ((entry[1] & kMapFlagBit) == 0)
            continue;
        const unsigned mean = (static_cast<unsigned>(entry[1]) + entry[2]) / 2;
        entry[0] = static_cast<uint16_t>(mean | kMapFlagBit);
    }
    return view;
}

TIniFile BuildGcf(const TNorviData &d, const TImagePoints &points, const TGcfInfo &info)
{
    const TNorviData view = GcfSaveView(d);
    TIniFile ini;
    ini.WriteString(kGcfInfo, "SaveDate", info.SaveDate);
    ini.WriteString(kGcfInfo, kVerKey, VersionString(d, false));
    ini.WriteString(kGcfInfo, "CompTime", d.CompileTime);
    ini.WriteString(kGcfInfo, "CompDate", d.CompileDate);
    ini.WriteString(kGcfInfo, "SoftVer", info.SoftVer);
    for (const TGcfItem &item : GcfItems(d))
        ini.WriteString(item.Section, item.Key, GcfValueText(item, item.Get(view, points)));
    return ini;
}

TGcfLoad ApplyGcf(std::string_view text, const TNorviData &controller, const TImagePoints &points, bool modelOnly)
{
    TGcfLoad load;
    load.Image = controller;
    load.Points = points;
    const auto refuse = [&load](std::string why) {
        load.Refused = true;
        load.Message = std::move(why);
        return load;
    };
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    if (text.find('\0') != std::string_view::npos || text.size() > TIniFile::MaxFileSize)
        return refuse(MessageText(msg::strWrongConfFile) + " [?]");
    const TIniFile ini = TIniFile::Parse(text);
    const auto ver = ini.Value(kGcfInfo, kVerKey);
    const auto generation = ver ? GcfGeneration(*ver) : std::nullopt;
    // 1.4 and 1.5 share one layout and take each other's files.
    const auto accepted = [&](const std::string &g) {
        if (controller.VersionCode == kVersion30)
            return g == "30";
        return (controller.VersionCode == kVersion14 || controller.VersionCode == kVersion15) &&
               (g == "14" || g == "15");
    };
    if (!generation || !accepted(*generation))
        return refuse(MessageText(msg::strWrongConfFile) + " [" + (generation ? *generation : std::string()) + "]");
    for (const std::string &dup : DuplicateKeys(text))
        load.Warnings.push_back(dup + ": " + MessageText(msg::strGcfDuplicateKey));

    load.HasModelPoints = ini.ValueExists(kGcfModel, "M2XP1");
    load.HasCorrections = ini.ValueExists(kGcfModel, "CPS1");
    if (controller.VersionCode == kVersion30 && !load.HasModelPoints)
        load.Image.Model2SetA = DefaultModel2Set(DefaultModelOffset(load.Image.InjTypeName));

    for (const TGcfItem &item : GcfItems(controller)) {
        if (!item.Set || !IsPartOf(item, controller, modelOnly))
            continue;
        if (IsModelPointKey(item) && !load.HasModelPoints)
            continue;
        // A default the controller's list does not know would only be
        // refused on writing: then the controller's value stays.
        const double fallback = item.Default(load.Image, load.Points);
        const bool fallbackValid = !Invalid(item, controller, fallback);
        std::optional<double> value;
        if (fallbackValid)
            value = fallback;
        if (const auto raw = ini.Value(item.Section, item.Key)) {
            auto parsed = GcfParseValue(item, *raw);
            // A real in place of a raw value (T) counts as the nearest one.
            if (parsed && item.Field != nullptr)
                parsed = std::round(*parsed);
            const auto why = parsed ? Invalid(item, controller, *parsed) : std::optional<std::string>("not a number");
            if (why) {
                load.Warnings.push_back(Where(item) + "=" + *raw + ": " + *why + "; " +
                                        (fallbackValid
                                             ? MessageText(msg::strGcfDefaultUsed) + " " + GcfValueText(item, fallback)
                                             : MessageText(msg::strGcfControllerValueKept)));
            } else {
                value = *parsed;
            }
        }
        if (!value)
            continue;
        if (item.Key == "InjSW" && controller.InjHW != 0 && *value > controller.InjHW) {
            load.Warnings.push_back(Where(item) + "=" + GcfValueText(item, *value) + ": " +
                                    MessageText(msg::strGcfInjSWClipped) + " " + std::to_string(controller.InjHW));
            value = controller.InjHW;
        }
        item.Set(load.Image, load.Points, *value);
    }
    return load;
}

std::vector<TGcfDifference> GcfDifferences(const TNorviData &controller, const TImagePoints &controllerPoints,
                                           const TGcfLoad &file, bool modelOnly)
{
    std::vector<TGcfDifference> out;
    const TNorviData view = GcfSaveView(controller);
    for (const TGcfItem &item : GcfItems(controller)) {
        if (!item.Set || !IsPartOf(item, controller, modelOnly))
            continue;
        const std::string a = GcfValueText(item, item.Get(view, controllerPoints));
        const std::string b = GcfValueText(item, item.Get(file.Image, file.Points));
        if (a == b)
            continue;
        TGcfDifference diff{item.Section, item.Key, a, b, {}, {}};
        if (item.Field != nullptr && IsPresent(*item.Field, controller)) {
            diff.ControllerText = DisplayText(*item.Field, view);
            diff.FileText = DisplayText(*item.Field, file.Image);
        }
        out.push_back(std::move(diff));
    }
    return out;
}

} // namespace lumex
