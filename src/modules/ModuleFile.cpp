#include "modules/ModuleFile.h"

#include "documents/IniFile.h"
#include "documents/LangManager.h"
#include "modules/AppLogic.h"
#include "modules/ModuleQuestions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <stdexcept>

namespace lumex {

namespace {

constexpr std::string_view kInfo = "Info";
constexpr std::string_view kOn = "On";
constexpr std::string_view kOff = "Off";
constexpr std::string_view kCrLf = "\r\n";
// Unrecognized keys listed by name before the rest are only counted.
constexpr std::size_t kListedKeys = 5;

std::string T(std::string_view english)
{
    return TranslateEnglish(english);
}

std::string SaveDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64] = {};
    std::strftime(buf, sizeof buf, "%x %X", &local);
    return buf;
}

bool Requested(const std::vector<TSection> &sections, TSection s)
{
    return std::find(sections.begin(), sections.end(), s) != sections.end();
}

std::string UnrecognizedQuestion(const std::vector<std::string> &keys)
{
    if (keys.size() == 1)
        return T("Unrecognized or obsolete parameter found:") + " " + keys.front() + std::string(kCrLf) +
               std::string(kCrLf) + T("Continue?");
    std::string text = T("Unrecognized or obsolete parameters found:") + std::string(kCrLf);
    for (std::size_t i = 0; i < keys.size() && i < kListedKeys; ++i)
        text += keys[i] + std::string(kCrLf);
    if (keys.size() > kListedKeys)
        text += "(" + std::to_string(keys.size() - kListedKeys) + " " + T("more...") + ")" + std::string(kCrLf);
    return text + std::string(kCrLf) + T("Continue?");
}

} // namespace

std::string FormatFileDouble(double value)
{
    char buf[64] = {};
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::optional<double> ParseFileDouble(std::string_view text)
{
    double v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int64_t> ParseFileInteger(std::string_view text)
{
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::string FileValueText(const TVariable &v)
{
    switch (v.Kind()) {
    case TVariableKind::Double:
    case TVariableKind::DoubleOBD:
        return FormatFileDouble(v.GetAsDouble());
    case TVariableKind::Bool:
    case TVariableKind::BoolByte: {
        const auto &flag = static_cast<const TBoolVariable &>(v);
        if (!flag.Children().empty())
            return std::to_string(flag.GetAsInteger());
        return std::string(flag.GetAsBoolean() ? kOn : kOff);
    }
    case TVariableKind::Byte:
    case TVariableKind::Word:
    case TVariableKind::SmallInt:
        return std::to_string(v.GetAsInteger());
    default:
        throw std::logic_error(std::string("Unhandled variable type while saving: ") + v.ClassName() + " (" + v.Name() +
                               ")");
    }
}

bool ApplyFileValue(TVariable &v, std::string_view text)
{
    try {
        switch (v.Kind()) {
        case TVariableKind::Double:
        case TVariableKind::DoubleOBD: {
            const auto d = ParseFileDouble(text);
            if (!d)
                return false;
            v.SetAsDouble(*d);
            return true;
        }
        case TVariableKind::Bool:
        case TVariableKind::BoolByte: {
            auto &flag = static_cast<TBoolVariable &>(v);
            if (!flag.Children().empty()) {
                const auto n = ParseFileInteger(text);
                const auto max = flag.DataLength() == 1 ? 0xFF : 0xFFFF;
                if (!n || *n < 0 || *n > max)
                    return false;
                flag.SetAsInteger(*n);
            } else {
                flag.SetAsBoolean(text == kOn);
            }
            return true;
        }
        case TVariableKind::Byte:
        case TVariableKind::Word:
        case TVariableKind::SmallInt: {
            const auto n = ParseFileInteger(text);
            if (!n)
                return false;
            v.SetAsInteger(*n); // refuses what the type cannot hold
            return true;
        }
        default:
            throw std::logic_error(std::string("Unhandled variable type while reading: ") + v.ClassName() + " (" +
                                   v.Name() + ")");
        }
    } catch (const EVariableError &) {
        return false;
    }
}

TModuleFile::TApplied TModuleFile::ApplySections(TUIState &state, const TIniFile &ini,
                                                 const std::vector<TSection> &sections)
{
    TApplied result;
    for (auto it = SectionsBegin(); it != SectionsEnd(); ++it) {
        if (!Requested(sections, *it))
            continue;
        const std::string name(SectionName(*it));
        state.SetDefaults(name);
        const std::vector<std::string> keys = ini.Keys(name);
        if (keys.empty())
            result.Ok = false;
        bool sectionOk = true;
        for (const std::string &key : keys) {
            TVariable *v = state.FindByName(key);
            // Only this section's parameters are set from it.
            if (v == nullptr || !v->IsParam || v->Section() != name) {
                result.Unrecognized.push_back(key);
                sectionOk = false;
                continue;
            }
            if (!ApplyFileValue(*v, ini.ReadString(name, key, ""))) {
                // The key keeps its default: the rest stays consistent.
                v->SetDefault(false);
                result.Unreadable.push_back(key);
                sectionOk = false;
            }
        }
        if (!sectionOk)
            result.Ok = false;
    }
    return result;
}

bool TModuleFile::CheckInfo(const TIniFile &ini, const std::string &adapterVersion, TModuleQuestions &questions,
                            std::string &message)
{
    std::string device = ini.ReadString(kInfo, "Device", "");
    const std::string product = ini.ReadString(kInfo, "Product", "");
    bool ok = true;
    if (device.empty()) {
        if (ini.ReadString(kInfo, "SaveDate", "").empty() && product.empty()) {
            message = T("Invalid configuration file format:") + std::string(kCrLf) + std::string(kCrLf) +
                      T("Missing product and device info.");
            return false;
        }
        device = adapterVersion;
        if (product.empty())
            ok = questions.YesNo(T("Found configuration file for unknown product.") + std::string(kCrLf) +
                                     std::string(kCrLf) + T("It may contain incompatible settings.") +
                                     std::string(kCrLf) + T("Continue?"),
                                 true, false);
    }
    if (ok && device.substr(0, adapterVersion.size()) != adapterVersion)
        ok = questions.YesNo(T("Found configuration file for different product:") + std::string(kCrLf) +
                                 std::string(kCrLf) + "  " + device + std::string(kCrLf) + std::string(kCrLf) +
                                 T("It may contain incompatible settings.") + std::string(kCrLf) + T("Continue?"),
                             false, true);
    return ok;
}

TModuleFileResult TModuleFile::Save(TLogic &logic, const std::string &path, const std::vector<TSection> &sections)
{
    TModuleFileResult result;
    logic.Manager().DetectModules();
    TModuleAdapter &adapter = logic.Adapter();
    // Without a detected adapter the image holds zeros or old values: a
    // file of them would look valid and be wrong.
    if (!adapter.IsConnected()) {
        result.Message = T("The adapter did not answer. Nothing was saved.");
        return result;
    }
    TUIState &state = logic.UIState();
    state.CopyFromDevState({}, kCopyParams);

    TLogicAdapter &info = logic.AdapterLogic();
    TIniFile ini;
    ini.WriteString(kInfo, "SaveDate", SaveDate());
    ini.WriteString(kInfo, "Device", info.VersionText(true, 0));
    ini.WriteString(kInfo, "Version", info.FullVersionText(false));
    ini.WriteString(kInfo, "CompileDate", adapter.UIState().CompilationDate.Text());
    ini.WriteString(kInfo, "CompileTime", adapter.UIState().CompilationTime.Text());
    ini.WriteString(kInfo, "Product", std::string(LUMEX_PRODUCT_NAME) + " (Adapter)");
    ini.WriteString(kInfo, "SoftVersion", std::string(LUMEX_FILE_VERSION) + " " + LUMEX_PRODUCT_NAME);
    for (std::size_t i = 0; i < state.Count(); ++i) {
        const TVariable &v = state[i];
        if (!v.IsParam || v.Section() == SectionName(TSection::Local))
            continue;
        if (v.Section().empty())
            throw std::logic_error("Found variable " + v.Name() + " with empty section while saving");
        const auto section = FindSection(v.Section());
        if (!section)
            throw std::logic_error("Found variable " + v.Name() + " with unrecognized section " + v.Section() +
                                   " while saving");
        if (Requested(sections, *section))
            ini.WriteString(v.Section(), v.Name(), FileValueText(v));
    }
    try {
        ini.Save(path);
    } catch (const std::exception &e) {
        result.Message = T("Error while writing configuration file.") + std::string(kCrLf) + e.what();
        return result;
    }
    result.Ok = true;
    return result;
}

TModuleFileResult TModuleFile::Load(TLogic &logic, const std::string &path, const std::vector<TSection> &sections,
                                    bool skipDeviceWrite, TModuleQuestions &questions)
{
    TModuleFileResult result;
    TUIState &state = logic.UIState();
    auto decline = [&](std::string message) {
        state.CopyFromDevState({}, kCopyParams);
        if (!message.empty())
            questions.Message(message);
        questions.Message(T("Error while reading configuration file."));
        result.Message = T("Error while reading configuration file.");
        return result;
    };

    TIniFile ini;
    try {
        ini = TIniFile::Load(path);
    } catch (const std::exception &e) {
        return decline(e.what());
    }
    std::string message;
    bool ok = CheckInfo(ini, logic.AdapterLogic().VersionText(false, 2), questions, message);
    if (!ok)
        return decline(message);

    const TApplied applied = ApplySections(state, ini, sections);
    ok = applied.Ok;
    if (!applied.Unrecognized.empty()) {
        ok = questions.YesNo(UnrecognizedQuestion(applied.Unrecognized), true, false);
    } else if (!ok) {
        std::string text = T("Some information could not be read from configuration file.");
        for (const std::string &key : applied.Unreadable)
            text += std::string(kCrLf) + key;
        ok = questions.YesNo(text + std::string(kCrLf) + std::string(kCrLf) + T("Continue?"), true, false);
    }
    if (!ok || !questions.OkCancel(T("Save configuration to device?")))
        return decline({});

    state.CopyToDevState({}, kCopyParams);
    bool written = true;
    if (!skipDeviceWrite)
        for (const auto &writer : logic.ConfigurationWriters)
            if (!writer())
                written = false;
    if (!written) {
        // The user's values stay in the edited state, still marked.
        result.Message = T("Error while writing configuration to device.");
        questions.Message(result.Message);
        state.SetModified(true);
        return result;
    }
    state.SetModified(false);
    result.Ok = true;
    return result;
}

} // namespace lumex
