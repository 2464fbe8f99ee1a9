#include "GafKind.h"

#include "AdapterSim.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "documents/IniFile.h"
#include "modules/ModuleFile.h"
#include "modules/ModuleQuestions.h"
#include "modules/Variable.h"

#include <memory>
#include <optional>
#include <stdexcept>

namespace lumex::crashtest {

namespace {

constexpr char kInfoSection[] = "Info";
constexpr char kSaveDateKey[] = "SaveDate";
// What the adapter page saves.
const std::vector<TSection> kSections{TSection::OBD};

class TObdAdapter : public adaptertest::AdapterSim
{
public:
    TObdAdapter() : AdapterSim(adaptertest::WithAdapter(), {TModuleOBD::Make, TModuleAIO::Make})
    {
        if (!ConnectClean())
            throw std::runtime_error("the simulated controller did not answer");
        Logic().ResetModules();
        if (!Obd().IsConnected())
            throw std::runtime_error("the simulated adapter's OBD module did not answer");
    }
    TModuleOBD &Obd() { return static_cast<TModuleOBD &>(*Logic().SubModules()[0]); }
};

TObdAdapter &Adapter()
{
    static TObdAdapter adapter;
    return adapter;
}

uint16_t MinRpmFor(unsigned n)
{
    return static_cast<uint16_t>(1000 + n % 1000);
}

// The first save's text without its time: the pattern of every other.
std::optional<TIniFile> &Pattern()
{
    static std::optional<TIniFile> pattern;
    return pattern;
}

std::string WithoutSaveTime(TIniFile ini)
{
    ini.WriteString(kInfoSection, kSaveDateKey, "");
    return ini.Text();
}

// Says yes to nothing: a file is only read here, never loaded.
class TNoQuestions : public TModuleQuestions
{
public:
    bool YesNo(const std::string &, bool, bool) override { return false; }
    bool OkCancel(const std::string &) override { return false; }
    void Message(const std::string &) override {}
};

} // namespace

void StartSimulatedAdapter()
{
    Adapter();
}

void SaveGafThroughProgram(const std::string &path, unsigned n)
{
    TObdAdapter &adapter = Adapter();
    adapter.Obd().UIState().AdaptMinRPM.SetAsInteger(MinRpmFor(n));
    if (!adapter.Obd().Logic().WriteEdited())
        throw std::runtime_error("the adapter did not take the configuration");
    const TModuleFileResult r = TModuleFile::Save(adapter.Logic(), path, kSections);
    if (!r.Ok)
        throw std::runtime_error(r.Message);
    if (!Pattern())
        Pattern() = TIniFile::Load(path);
}

bool IsGafContent(const std::string &bytes, unsigned n)
{
    if (!Pattern())
        throw std::logic_error("no module settings file was saved in this process");
    TIniFile expected = *Pattern();
    const TVariable &minRpm = Adapter().Obd().UIState().AdaptMinRPM;
    expected.WriteInteger(minRpm.Section(), minRpm.Name(), MinRpmFor(n));
    return WithoutSaveTime(TIniFile::Parse(bytes)) == WithoutSaveTime(expected);
}

std::string GafReadProblem(const std::string &bytes)
{
    const TIniFile ini = TIniFile::Parse(bytes);
    if (ini.ReadString(kInfoSection, kSaveDateKey, "").empty())
        return "no save time";
    TNoQuestions none;
    std::string message;
    const std::string version = Adapter().Logic().AdapterLogic().VersionText(false, 2);
    if (!TModuleFile::CheckInfo(ini, version, none, message))
        return "the Info section is refused: " + message;
    if (!Pattern() || ini.Keys(SectionName(TSection::OBD)) != Pattern()->Keys(SectionName(TSection::OBD)))
        return "OBD keys are missing";
    return {};
}

} // namespace lumex::crashtest
