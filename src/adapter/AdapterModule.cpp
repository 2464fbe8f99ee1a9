#include "adapter/AdapterModule.h"

#include "common/Format.h"

#include "documents/LangManager.h"
#include "modules/AppManager.h"
#include "modules/ModuleQuestions.h"
#include "modules/Sections.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

constexpr int kNibble = 16;
constexpr int kByteBits = 8;
constexpr uint8_t kByteMask = 0xFF;
constexpr std::size_t kSerialDigits = 5;

std::span<const uint8_t> Field(std::span<const uint8_t> answer, std::size_t at, std::size_t length)
{
    return answer.subspan(at, length);
}

} // namespace

std::string AdapterMainVersionText(uint8_t mainVersion)
{
    return FormatText("%d.%d", mainVersion / kNibble, mainVersion % kNibble);
}

std::string AdapterReleaseText(uint8_t release)
{
    return std::string(1, static_cast<char>(release));
}

std::string SoftwareOptionsName(uint8_t options, bool shortForm)
{
    if (options == 0)
        return shortForm ? "UNK" : "UNKNOWN";
    if (options == 1)
        return shortForm ? "Av1" : "Adapter_ver1";
    return "---";
}

std::string SerialNumberText(int32_t serial, uint8_t product, uint16_t productionDateRaw, bool withDashes)
{
    std::string s = FormatText("%.5u", static_cast<unsigned>(serial));
    if (s.size() > kSerialDigits)
        s = s.substr(s.size() - kSerialDigits);
    const std::string p = FormatText("%.2u", static_cast<unsigned>(product));
    // The word's two raw bytes are two numbers of their own: low, then high.
    const std::string d = FormatText("%.2u%.2u", static_cast<unsigned>(productionDateRaw & kByteMask),
                                     static_cast<unsigned>(productionDateRaw >> kByteBits));
    const std::string sep = withDashes ? "-" : "";
    return s + sep + p + sep + d;
}

bool DecodeAdapterIdentification(std::span<const uint8_t> answer, TDevStateAdapter &d)
{
    namespace at = adapter_ident;
    if (answer.size() < adapter_cmd::kIdentification.answerLength)
        return false;
    d.MainVersion.SetRaw(Field(answer, at::kMainVersion, 1), true);
    d.ReleaseVersion.SetRaw(Field(answer, at::kRelease, 1), true);
    d.RevisionVersion.SetRaw(Field(answer, at::kRevision, 1), true);
    d.BootloaderProductName.SetRaw(Field(answer, at::kProductName, 1), true);
    d.BootloaderKitType.SetRaw(Field(answer, at::kKitType, 1), true);
    d.ProductionDate.SetRaw(Field(answer, at::kProductionDate, 2), true);
    d.ProductionSerialNumber.SetRaw(Field(answer, at::kSerialNumber, 4), true);
    TByteVariable *const masked[] = {&d.DeviceType, &d.SoftwareOptions, &d.HardwareOptions, &d.HardwareVersion};
    for (std::size_t i = 0; i < std::size(masked); ++i) {
        const std::array<uint8_t, 1> b{static_cast<uint8_t>(answer[at::kDeviceType + i] & at::kOptionMask)};
        masked[i]->SetRaw(b, true);
    }
    return true;
}

bool DecodeAdapterBuildTime(std::span<const uint8_t> answer, TDevStateAdapter &d)
{
    namespace at = adapter_ident;
    if (answer.size() < adapter_cmd::kBuildTime.answerLength)
        return false;
    // Each text gets its terminating zero in the field's last byte.
    std::vector<uint8_t> time(d.CompilationTime.DataLength(), 0);
    std::copy_n(answer.begin() + at::kBuildTimeAt, std::min(at::kBuildTimeLength, time.size()), time.begin());
    std::vector<uint8_t> date(d.CompilationDate.DataLength(), 0);
    std::copy_n(answer.begin() + at::kBuildDateAt, std::min(at::kBuildDateLength, date.size()), date.begin());
    d.CompilationTime.SetRaw(time, true);
    d.CompilationDate.SetRaw(date, true);
    return true;
}

// --- TModuleAdapter ---

TModuleAdapter::TModuleAdapter(TManager &manager, TBaseProtocol *protocol, TDeviceState &uiAggregate)
    : TBaseModule(manager, protocol), devState_(manager.DevState()), uiState_(uiAggregate, devState_), logic_(*this)
{
    devState_.MainVersion.SetOnGetText(
        MakeGetText([](const TVariable &v) { return AdapterMainVersionText(static_cast<uint8_t>(v.GetAsInteger())); }));
    devState_.ReleaseVersion.SetOnGetText(
        MakeGetText([](const TVariable &v) { return AdapterReleaseText(static_cast<uint8_t>(v.GetAsInteger())); }));
    devState_.RevisionVersion.SetOnGetText(
        MakeGetText([](const TVariable &v) { return std::to_string(v.GetAsInteger()); }));
}

void TModuleAdapter::Detect()
{
    QueryMainVersion();
    if (IsConnected())
        logic_.ReadAdapterInfo();
}

bool TModuleAdapter::QueryMainVersion()
{
    using adapter_cmd::kMainVersion;
    devState_.MainVersion.ClearRaw(false);
    std::array<uint8_t, kMainVersion.answerLength> answer{};
    const std::array<uint8_t, 2> request{kMainVersion.code, kMainVersion.param};
    if (!Exchange(request, answer))
        return false;
    devState_.MainVersion.SetRaw(Field(answer, adapter_ident::kMainVersion, 1), true);
    return true;
}

bool TModuleAdapter::QueryIdentification()
{
    using adapter_cmd::kIdentification;
    TDevStateAdapter &d = devState_;
    TVariable *const fields[] = {
        &d.MainVersion,       &d.ReleaseVersion,  &d.RevisionVersion,        &d.BootloaderProductName,
        &d.BootloaderKitType, &d.ProductionDate,  &d.ProductionSerialNumber, &d.DeviceType,
        &d.SoftwareOptions,   &d.HardwareOptions, &d.HardwareVersion};
    for (TVariable *v : fields)
        v->ClearRaw(false);
    if (!IsConnected())
        return false;
    std::array<uint8_t, kIdentification.answerLength> answer{};
    const std::array<uint8_t, 2> request{kIdentification.code, kIdentification.param};
    if (!Exchange(request, answer))
        return false;
    return DecodeAdapterIdentification(answer, d);
}

bool TModuleAdapter::QueryBuildTime()
{
    using adapter_cmd::kBuildTime;
    devState_.CompilationTime.ClearRaw(false);
    devState_.CompilationDate.ClearRaw(false);
    if (!IsConnected())
        return false;
    std::array<uint8_t, kBuildTime.answerLength> answer{};
    const std::array<uint8_t, 2> request{kBuildTime.code, kBuildTime.param};
    if (!Exchange(request, answer))
        return false;
    return DecodeAdapterBuildTime(answer, devState_);
}

std::optional<uint16_t> TModuleAdapter::QueryTestMode()
{
    using adapter_cmd::kTestMode;
    if (!IsConnected())
        return std::nullopt;
    std::array<uint8_t, kTestMode.answerLength> answer{};
    const std::array<uint8_t, 2> request{kTestMode.code, kTestMode.param};
    if (!Exchange(request, answer))
        return std::nullopt;
    return static_cast<uint16_t>((answer[2] << kByteBits) | answer[3]);
}

bool TModuleAdapter::InTestMode()
{
    const std::optional<uint16_t> word = QueryTestMode();
    return word.has_value() && *word != 0;
}

bool TModuleAdapter::StartLiveRead()
{
    using adapter_cmd::kLiveStart;
    if (!IsConnected())
        return false;
    std::array<uint8_t, kLiveStart.answerLength> answer{};
    const std::array<uint8_t, 2> request{kLiveStart.code, kLiveStart.param};
    return Exchange(request, answer);
}

std::optional<uint8_t> TModuleAdapter::LiveReadStatus()
{
    using adapter_cmd::kLiveStatus;
    if (!IsConnected())
        return std::nullopt;
    std::array<uint8_t, kLiveStatus.answerLength> answer{};
    const std::array<uint8_t, 2> request{kLiveStatus.code, kLiveStatus.param};
    if (!Exchange(request, answer))
        return std::nullopt;
    return answer[2];
}

// --- TLogicAdapter ---

void TLogicAdapter::ReadAdapterInfo()
{
    TModuleAdapter &m = module_;
    m.QueryMainVersion();
    if (m.DeviceCompatible()) {
        m.QueryIdentification();
        if (m.DeviceCompatible())
            m.QueryBuildTime();
    }
    if (m.UIAggregate != nullptr)
        m.UIAggregate->CopyFromDevState(SectionName(TSection::Adapter), kCopyAll);
    const auto product = m.DevState().BootloaderProductName.GetAsInteger();
    if (product < kAdapterProductFirst || product > kAdapterProductLast)
        m.SetDeviceCompatible(false); // it answers, but it is another product
}

std::string TLogicAdapter::VersionText(bool checkConnected, int form) const
{
    const bool there = checkConnected ? module_.IsConnected() : module_.DeviceCompatible();
    if (!there)
        return "----";
    const TDevStateAdapter &s =
        module_.UIAggregate != nullptr ? static_cast<TDevStateAdapter &>(module_.UIState()) : module_.DevState();
    const auto m = static_cast<int>(s.MainVersion.GetAsInteger());
    switch (form) {
    case 0:
        return s.MainVersion.Text() + s.ReleaseVersion.Text() + " r" + s.RevisionVersion.Text();
    case 1:
        return FormatText("%d%d", m / kNibble, m % kNibble) + s.ReleaseVersion.Text();
    case 2:
        return s.MainVersion.Text();
    default:
        return FormatText("%d%d", m / kNibble, m % kNibble);
    }
}

std::string TLogicAdapter::FullVersionText(bool shortForm)
{
    if (module_.UIAggregate != nullptr)
        module_.UIAggregate->CopyFromDevState(SectionName(TSection::Adapter), kCopyAll);
    const TDevStateAdapter &s =
        module_.UIAggregate != nullptr ? static_cast<TDevStateAdapter &>(module_.UIState()) : module_.DevState();
    const auto kit = static_cast<uint8_t>(s.BootloaderKitType.GetAsInteger());
    const std::string kitText = kit == kNoKitType ? std::string{} : "-" + std::to_string(kit);
    const char *format = shortForm ? "%d%d%d%d%d%s%s %s[%d%s]%s" : "%d%d%d%d%d%s%s %s [%d%s] %s";
    return FormatText(format, 0, static_cast<int>(s.HardwareOptions.GetAsInteger()),
                      static_cast<int>(s.HardwareVersion.GetAsInteger()),
                      static_cast<int>(s.SoftwareOptions.GetAsInteger()), static_cast<int>(s.DeviceType.GetAsInteger()),
                      VersionText(true, 3).c_str(), s.ReleaseVersion.Text().c_str(),
                      SoftwareOptionsName(static_cast<uint8_t>(s.SoftwareOptions.GetAsInteger()), shortForm).c_str(),
                      static_cast<int>(s.BootloaderProductName.GetAsInteger()), kitText.c_str(), "");
}

std::string TLogicAdapter::SerialNumberText(bool withDashes) const
{
    const TDevStateAdapter &s = module_.DevState();
    return lumex::SerialNumberText(static_cast<int32_t>(s.ProductionSerialNumber.GetAsInteger()),
                                   static_cast<uint8_t>(s.BootloaderProductName.GetAsInteger()),
                                   static_cast<uint16_t>(s.ProductionDate.GetAsInteger()), withDashes);
}

bool TLogicAdapter::WriteAdapterDefaults(bool ask, TModuleQuestions *questions, std::string *failure)
{
    if (ask && (questions == nullptr || !questions->OkCancel(TranslateEnglish(
                                            "Caution! Program will write default configuration into device. Save?"))))
        return false;
    bool ok = true;
    for (const auto &writer : DefaultWriters)
        if (!writer())
            ok = false;
    if (!ok && failure != nullptr)
        *failure = TranslateEnglish("Error while writing default configuration.");
    return ok;
}

} // namespace lumex
