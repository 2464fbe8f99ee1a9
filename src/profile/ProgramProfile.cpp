#include "profile/ProgramProfile.h"

#include <algorithm>

namespace lumex {

bool TLanguageScheme::IsKnownCode(std::string_view code) const
{
    return std::find(Codes.begin(), Codes.end(), code) != Codes.end();
}

std::optional<std::string> TLanguageScheme::FilePath(const std::string &programFolder, std::string_view code) const
{
    if (!IsKnownCode(code))
        return std::nullopt;
    std::string path = programFolder;
    if (!Folder.empty())
        path += Folder + "/";
    path += "_";
    path += code;
    path += Extension;
    return path;
}

bool TProgramProfile::AcceptsGeneration(uint8_t versionCode) const
{
    return std::find(Generations.begin(), Generations.end(), versionCode) != Generations.end();
}

bool TProgramProfile::AllowsCommand(uint8_t code) const
{
    return !commands_ || commands_->test(code);
}

void TProgramProfile::SetCommandList(std::initializer_list<uint8_t> codes)
{
    std::bitset<256> list;
    for (const uint8_t code : codes)
        list.set(code);
    commands_ = list;
}

namespace {

TProgramProfile MakeLumex2()
{
    TProgramProfile p;
    p.Name = "Lumex2";
    p.Generations = {0x14, 0x15, 0x30};
    p.Languages.Extension = ".lng";
    p.Languages.Codes = {"PL", "EN", "RU",        "LT", "CZ", "DE", "IT",        "TR",
                         "HR", "FR", "TR_Tavira", "NL", "ES", "PT", "ES_Brenta", "TH"};
    p.Languages.DefaultCode = "EN";
    return p;
}

TProgramProfile MakeNorvi()
{
    TProgramProfile p;
    p.Name = "Norvi";
    p.Generations = {0x14, 0x15};
    // Identification, the 1.4/1.5 blocks, live readings, parameters, trouble
    // codes, calibration, memory access, level sensor, emulator switches,
    // locking and the word variables: nothing of 3.0, the injector test or
    // the adaptation tables.
    p.SetCommandList({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x10, 0x12, 0x13, 0x14, 0x15,
                      0x16, 0x18, 0x20, 0x21, 0x22, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38,
                      0x39, 0x3A, 0x3B, 0x3D, 0x3E, 0x3F, 0x40, 0x50, 0x51, 0x52, 0x53});
    p.Port.TransactionLock = false;
    p.Port.IntervalTimeout = 100;
    p.Port.ReadMultiplier = 20;
    p.Port.ReadConstant = 40;
    p.Port.WriteMultiplier = 20;
    p.Port.WriteConstant = 40;
    p.Port.OpenFailure = TOpenFailureText::CodeOnly;
    p.Languages.Folder = "lang";
    p.Languages.Extension = ".lang";
    p.Languages.Codes = {"PL", "EN", "RU", "LT", "CZ", "DE", "IT", "TR", "TR2", "HR", "FR", "NL"};
    p.Languages.Sections = {"[Strings]",   "[FormMain]",    "[FrmConfigLevelSensor]", "[FrmHaslo]",
                            "[FormAbout]", "[FrmFirmInfo]", "[FormService]"};
    p.Languages.DefaultCode = "PL";
    return p;
}

} // namespace

const TProgramProfile &Lumex2Profile()
{
    static const TProgramProfile profile = MakeLumex2();
    return profile;
}

const TProgramProfile &NorviProfile()
{
    static const TProgramProfile profile = MakeNorvi();
    return profile;
}

} // namespace lumex
