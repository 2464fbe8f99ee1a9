#include "LinkSession.h"

#include "PortOption.h"

#include "controller/Version.h"

#include <ostream>

namespace cli {

using lumex::TControllerLink;
using lumex::TNorviData;

bool OpenLinkPort(const CliContext &ctx, TControllerLink &link, int &exitCode)
{
    PortChoice choice;
    std::string error;
    if (!ResolvePortChoice(ctx, choice, error)) {
        exitCode = UsageError(ctx, error);
        return false;
    }
    if (choice.number != 0)
        link.Port.SetComDevice(static_cast<uint8_t>(choice.number));
    else
        link.Port.SetDevicePath(choice.path);
    // Opened here to report a missing, busy or forbidden port clearly; a
    // connection made afterwards closes and reopens it like every reconnection.
    try {
        link.Port.Open();
    } catch (const lumex::EComPortError &e) {
        *ctx.err << "lumex2-cli: " << e.what() << "\n";
        ReportPermissionHint(ctx, e, link.Port.DeviceName());
        exitCode = kExitDevice;
        return false;
    }
    exitCode = kExitOk;
    return true;
}

namespace {

bool ConnectLink(const CliContext &ctx, TControllerLink &link)
{
    link.Manager.PollCycle(lumex::pmReadings);
    if (link.Manager.LinkUp)
        return true;
    const uint8_t code = link.Data.VersionCode;
    if (code == 0)
        *ctx.err << "lumex2-cli: no controller answered on " << link.Port.DeviceName() << "\n";
    else
        *ctx.err << "lumex2-cli: controller version " << lumex::VersionDigits(code)
                 << " is not served by this program\n";
    return false;
}

} // namespace

int OpenLink(const CliContext &ctx, TControllerLink &link)
{
    int status = kExitOk;
    if (!OpenLinkPort(ctx, link, status))
        return status;
    return ConnectLink(ctx, link) ? kExitOk : kExitDevice;
}

nlohmann::json IdentificationJson(const TControllerLink &link, const std::string &serial)
{
    const TNorviData &d = link.Data;
    nlohmann::json j;
    j["VersionCode"] = d.VersionCode;
    j["SoftwareLetter"] = d.SoftwareLetter;
    j["Variant"] = d.Variant;
    j["IdentByte2"] = d.IdentByte2;
    j["IdentByte3"] = d.IdentByte3;
    j["PcCompatCode"] = d.PcCompatCode;
    j["UsaFlag"] = d.UsaFlag;
    j["ReservedDigit"] = d.ReservedDigit;
    j["WorkState"] = d.WorkState;
    j["ExtraVersion"] = d.ExtraVersion;
    j["LockState"] = d.LockState;
    j["CompileTime"] = d.CompileTime;
    j["CompileDate"] = d.CompileDate;
    j["VersionDigits"] = lumex::VersionDigits(d.VersionCode);
    j["VersionString"] = lumex::VersionString(d, true);
    j["VersionStringLong"] = lumex::VersionString(d, false);
    j["ControllerSerial"] = serial;
    j["SoftwareCompatible"] = link.Manager.SoftwareCompatible;
    return j;
}

nlohmann::json ReadingsJson(const TNorviData &d)
{
    nlohmann::json j;
    j["PsysRaw"] = d.PsysRaw;
    j["PcolRaw"] = d.PcolRaw;
    j["TredRaw"] = d.TredRaw;
    j["TgasRaw"] = d.TgasRaw;
    j["SupplyRaw"] = d.SupplyRaw;
    j["LevelSensorRaw"] = d.LevelSensorRaw;
    j["LambdaRaw"] = d.LambdaRaw;
    j["SystemState"] = d.SystemState;
    j["RpmPeriod"] = d.RpmPeriod;
    j["PetrolTime"] = d.PetrolTime;
    j["GasTime"] = d.GasTime;
    j["Cyl2Flag"] = d.Cyl2Flag;
    j["WorkState"] = d.WorkState;
    j["CorrMapCountA"] = d.CorrMapCountA;
    j["CorrMapCountB"] = d.CorrMapCountB;
    if (lumex::HasLiveBlock(d)) {
        j["NominalTredG"] = d.NominalTredG;
        j["PetrolOverloadMask"] = d.PetrolOverloadMask;
        j["GasOverloadMask"] = d.GasOverloadMask;
        j["EmulatorSwitchState"] = d.EmulatorSwitchState;
        j["ValveOpen"] = d.ValveOpen;
        j["TpcbRaw"] = d.TpcbRaw;
        j["LoadPercent"] = d.LoadPercent;
        j["LoadIndex"] = d.LoadIndex;
        j["WordVar41Low"] = d.WordVar41Low;
    }
    return j;
}

std::string JsonLine(const nlohmann::json &j)
{
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace cli
