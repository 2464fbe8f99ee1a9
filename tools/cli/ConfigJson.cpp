#include "ConfigJson.h"

#include "controller/Version.h"

namespace cli {

using lumex::TNorviData;
using nlohmann::json;

namespace {

#define PUT(Name) j[#Name] = d.Name

json PointSet(const lumex::TModel2Set &set)
{
    json a = json::array();
    for (const auto &p : set)
        a.push_back({p.X, p.Y});
    return a;
}

json MapTable(const lumex::TMapG3 &map)
{
    json a = json::array();
    for (const auto &row : map)
        a.push_back(row);
    return a;
}

json AdaptTable(const lumex::TAdaptTable &table)
{
    json a = json::array();
    for (const auto &row : table)
        a.push_back(row);
    return a;
}

json PointList(const lumex::TMapPointList &list)
{
    json a = json::array();
    for (std::size_t i = 0; i < list.Count && i < list.Points.size(); ++i) {
        const auto &p = list.Points[i];
        a.push_back({{"Pressure", p.Pressure}, {"TimeMs", p.TimeMs}, {"Kind", p.Kind}});
    }
    return a;
}

bool IsLegacy(const TNorviData &d)
{
    return d.VersionCode == lumex::kVersion14 || d.VersionCode == lumex::kVersion15;
}

void Common(const TNorviData &d, json &j)
{
    PUT(VersionCode);
    PUT(SoftwareLetter);
    PUT(LockState);
    PUT(T);
    PUT(RPM);
    PUT(InjMask);
    PUT(InjSW);
    PUT(InjHW);
    PUT(InjType);
    PUT(FuelType);
    PUT(RPMsource);
    PUT(EngineType);
    PUT(LambdaType);
    PUT(InjTypeName);
    PUT(LowPD);
    PUT(LowPT);
    PUT(PetrolInjPlusControl);
    PUT(NoSeqential);
    PUT(RPMSourceType);
    PUT(NozzleSize);
    PUT(RedType);
    PUT(InjSystemType);
    PUT(SemiGasControl);
    PUT(MicroInjection);
    PUT(HemiEngine);
    PUT(MapRPMRange);
    PUT(ExternalEmulator);
    PUT(TuningMode);
    PUT(MicroInjectionTime);
    PUT(MasterMode);
    PUT(PressureSensorType);
    PUT(Power);
    PUT(EngineCubicCapacity);
    PUT(IdleHotTb);
    PUT(EmulatorSwitchDelay);
    PUT(PostValveDelay);
    PUT(ReserveType);
    PUT(PW0);
    PUT(PW1);
    PUT(PW2);
    PUT(PW3);
    j["0900"] = d.Level0900;
    j["0901"] = d.Level0901;
    j["0902"] = d.Level0902;
    j["0903"] = d.Level0903;
    PUT(Mult);
    PUT(Offset);
    PUT(P1);
    PUT(P2);
    PUT(P3);
    PUT(P4);
    PUT(E1);
    PUT(E2);
    PUT(E3);
    PUT(E4);
}

void Legacy(const TNorviData &d, json &j)
{
    PUT(LegacyParam29);
    PUT(WorkPress);
    PUT(RPMWireNotConnect);
}

void Gen30(const TNorviData &d, json &j)
{
    PUT(CAP_TIE_enable);
    PUT(ConfigG3Flags);
    PUT(Param34);
    j["Tgas<val"] = d.TgasBelowVal;
    j["RPM<val"] = d.RpmBelowVal;
    j["RPM>val"] = d.RpmAboveVal;
    PUT(Flags31);
    j["RPM<"] = d.RpmBelow;
    j["RPM>"] = d.RpmAbove;
    j["LoadP>"] = d.LoadPAbove;
    PUT(PreinjMode);
    PUT(AlWorkOnGas);
    PUT(RisingT);
    PUT(AdaptationMode);
    j["Tgas<"] = d.TgasBelow;
    j["LoadP>val"] = d.LoadPAboveVal;
    PUT(Markers);
    PUT(Flags32);
    PUT(GasTempSensorInFlow);
    PUT(Flags37);
    PUT(UseOnIdleModel);
    j["Tred<&Load"] = d.TredBelowAndLoad;
    PUT(RPMWireNotConnect);
    PUT(FuelOverlap);
    PUT(GasInjHeating);
    PUT(PreinjectionProcessDuringCutOff);
    PUT(CMActive);
    PUT(MinTredForGasInjHeating);
    PUT(MaxCyclesMixedFuel);
    PUT(MaxTimeMixedFuel);
    j["Tred<&Load_Tredval"] = d.TredBelowAndLoad_Tredval;
    j["Tred<&Load_Lval"] = d.TredBelowAndLoad_Lval;
    if (lumex::Is30From(d, "D")) {
        j["Tgas<&Load_Lval"] = d.TgasBelowAndLoad_Lval;
        PUT(MinPressDuringCuttOffForPreinjections);
        PUT(InjCorr);
        PUT(TgasCorType);
        PUT(RPMCorType);
    }
    if (lumex::Is30From(d, "F")) {
        PUT(MaxRpmForEnrichmentDuringCutOff);
        PUT(InjTimeForEnrichmentDuringCutOff);
        PUT(MazdaEnrichmentPercentage);
        PUT(Flags50);
        PUT(PreinjectionsDuringCutOffForLowRPMEnabled);
        PUT(MazdaIgnitionTypeCorrEnabled);
    }
    if (lumex::Is30From(d, "G")) {
        PUT(MaxTbForLoad);
        PUT(InspectionTimeDistRatio);
        PUT(NextInspection);
        json codes = json::array();
        for (const auto &c : d.ComputerCodes)
            codes.push_back({c.Code, c.Date});
        j["ComputerCodes"] = codes;
        PUT(NewestComputerCode);
        PUT(Flags52);
        PUT(FlashLubeSupportEnabled);
        PUT(CutOffModeActivated);
        PUT(AutoToGasOnControlPanelHidden);
        PUT(SygnalizeDrivingOnPetrolEnabled);
        PUT(MinGasInjTimeEnabled);
        PUT(MaxGasInjTimeEnabled);
        PUT(AfterCutOffEmulSwitchDelay);
        PUT(OnCutOffDelay);
        PUT(MinGasInjectionTime);
        PUT(MaxGasInjectionTime);
    }
}

} // namespace

json ConfigurationJson(const TNorviData &d)
{
    json j = json::object();
    Common(d, j);
    if (IsLegacy(d))
        Legacy(d, j);
    else if (d.VersionCode == lumex::kVersion30)
        Gen30(d, j);
    return j;
}

json FullConfigurationJson(const TNorviData &d, const lumex::TImagePoints &points)
{
    json j = ConfigurationJson(d);
    if (d.VersionCode == lumex::kVersion30) {
        PUT(CorrectionMult);
        PUT(CorrectionOffset);
        PUT(CorrectionMask);
        PUT(ModelWord83);
        j["P1X"] = points.ModelPoints.P1X;
        j["P1Y"] = points.ModelPoints.P1Y;
        j["P2X"] = points.ModelPoints.P2X;
        j["P2Y"] = points.ModelPoints.P2Y;
        j["Model2SetA"] = PointSet(d.Model2SetA);
        j["CPS"] = d.CPS;
        j["CTG"] = d.CTG;
        j["CRPM"] = d.CRPM;
        if (lumex::Is30From(d, "D")) {
            j["Model2SetB"] = PointSet(d.Model2SetB);
            j["MapG3"] = MapTable(d.MapG3);
            j["MapG3B"] = MapTable(d.MapG3B);
        }
        if (lumex::Is30From(d, "F"))
            j["CPCOL"] = d.CPCOL;
        if (lumex::Is30From(d, "G")) {
            PUT(Model_OBDAdaptCorrConfig);
            PUT(AdaptInfoBytes);
            PUT(AdaptInfoWords);
            j["AdaptCorrBank1"] = AdaptTable(d.AdaptCorrBank1);
            j["AdaptCorrBank2"] = AdaptTable(d.AdaptCorrBank2);
        }
    }
    j["PetrolPoints"] = PointList(points.PetrolPoints);
    j["GasPoints"] = PointList(points.GasPoints);
    return j;
}

#undef PUT

} // namespace cli
