// lumex2-cli poll: connects and runs readings-mode poll cycles, printing the
// raw readings of the data image beside the values as the program shows them.
#include "CliContext.h"
#include "LinkSession.h"

#include "controller/Conversions.h"
#include "controller/ParamTables.h"
#include "controller/Version.h"

#include <chrono>
#include <ostream>
#include <sstream>
#include <thread>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH [--json] poll [--cycles N] [--interval MS] [--injectors N]\n"
    "Connects (that reconnecting poll cycle reads nothing and is not counted), then runs N\n"
    "readings-mode poll cycles (default 1), MS milliseconds apart (default 200). Every one of\n"
    "the N cycles is printed, also a failed one and the reconnecting cycle that follows it\n"
    "(which reads nothing by the rule); with --json one object per cycle and line.\n"
    "--injectors sets the injector count in use (cylinders 5-8 are read from 5 on); without\n"
    "it the hardware injector channels (word variable 28) are taken.\n"
    "Exit 1 when the controller does not come up or any counted cycle failed.\n";

bool ParseNumber(const std::string &text, unsigned max, unsigned &value)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long v = std::stoul(text);
    if (v > max)
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

struct Shown
{
    std::string rpm, psys, pcol, tred, tgas, tredNominal, supply, level, lambda, petrolAvg, gasAvg;
    std::vector<std::string> petrol, gas;
};

// The readings as the live displays format them. The pressure and the
// nominal temperature may need word variables: those reads go through the
// link like the displays' do.
Shown Show(lumex::TControllerLink &link)
{
    using namespace lumex;
    const TNorviData &d = link.Data;
    const TWordVarReader read = [&link](uint8_t index) { return link.Manager.ReadWordVar(index); };
    Shown s;
    s.rpm = ShowRpm(d.RpmPeriod);
    s.psys = d.PsysRaw == 0 ? "0" : ShowPsys(d.PsysRaw, PsysBar(d.PsysRaw, d.PressureSensorType, read));
    s.pcol = ShowPcol(d.PcolRaw, d.PressureSensorType);
    s.tred = ShowTemperature(d.TredRaw);
    s.tgas = ShowTemperature(d.TgasRaw);
    s.tredNominal = FormatTemperature(TempC(NominalTredRaw(d, read)));
    s.supply = FormatVolts(SupplyVolts(d.SupplyRaw));
    s.level = FormatVolts(LevelVolts(d.LevelSensorRaw));
    s.lambda = FormatPressure(LambdaVolts(d.LambdaRaw, d.LambdaType));
    s.petrolAvg = FormatTime(AvgPetrolTimeMs(d));
    s.gasAvg = FormatTime(AvgGasTimeMs(d));
    const std::size_t n = std::min<std::size_t>(d.InjSW, kCylinders);
    for (std::size_t k = 0; k < n; ++k) {
        s.petrol.push_back(FormatTime(TimeMs(d.PetrolTime[k])));
        s.gas.push_back(FormatTime(TimeMs(d.GasTime[k])));
    }
    return s;
}

nlohmann::json ShownJson(const Shown &s)
{
    return {{"Rpm", s.rpm},       {"Psys", s.psys},
            {"Pcol", s.pcol},     {"Tred", s.tred},
            {"Tgas", s.tgas},     {"TredNominal", s.tredNominal},
            {"Supply", s.supply}, {"Level", s.level},
            {"Lambda", s.lambda}, {"PetrolAvg", s.petrolAvg},
            {"GasAvg", s.gasAvg}, {"PetrolTime", s.petrol},
            {"GasTime", s.gas}};
}

std::string Join(const std::vector<std::string> &items)
{
    std::string text;
    for (const auto &i : items)
        text += (text.empty() ? "" : " ") + i;
    return text;
}

void PrintText(std::ostream &out, unsigned cycle, bool ok, const lumex::TNorviData &d, const Shown &s)
{
    out << "cycle " << cycle << (ok ? " ok" : " FAILED") << "\n";
    out << "  rpm     " << s.rpm << "  (RpmPeriod " << d.RpmPeriod << ")\n";
    out << "  psys    " << s.psys << " bar  (PsysRaw " << int{d.PsysRaw} << ")\n";
    out << "  pcol    " << s.pcol << " bar  (PcolRaw " << int{d.PcolRaw} << ")\n";
    out << "  tred    " << s.tred << " C  (TredRaw " << int{d.TredRaw} << ", nominal " << s.tredNominal << " C)\n";
    out << "  tgas    " << s.tgas << " C  (TgasRaw " << int{d.TgasRaw} << ")\n";
    out << "  supply  " << s.supply << " V  (SupplyRaw " << int{d.SupplyRaw} << ")\n";
    out << "  level   " << s.level << " V  (LevelSensorRaw " << int{d.LevelSensorRaw} << ")\n";
    out << "  lambda  " << s.lambda << " V  (LambdaRaw " << int{d.LambdaRaw} << ")\n";
    out << "  state   " << int{d.SystemState} << "\n";
    out << "  petrol  avg " << s.petrolAvg << " ms: " << Join(s.petrol) << "\n";
    out << "  gas     avg " << s.gasAvg << " ms: " << Join(s.gas) << "\n";
}

} // namespace

int RunPoll(CliContext &ctx)
{
    unsigned cycles = 1;
    unsigned intervalMs = 200;
    std::optional<unsigned> injectors;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string &a = ctx.args[i];
        const bool hasValue = i + 1 < ctx.args.size();
        unsigned value = 0;
        if (a == "--help" || a == "-h") {
            *ctx.out << kHelp;
            return kExitOk;
        } else if (a == "--cycles") {
            if (!hasValue || !ParseNumber(ctx.args[++i], 1000000, cycles) || cycles == 0)
                return UsageError(ctx, "--cycles needs a count from 1 to 1000000");
        } else if (a == "--interval") {
            if (!hasValue || !ParseNumber(ctx.args[++i], 60000, intervalMs))
                return UsageError(ctx, "--interval needs milliseconds from 0 to 60000");
        } else if (a == "--injectors") {
            if (!hasValue || !ParseNumber(ctx.args[++i], 8, value) || value == 0)
                return UsageError(ctx, "--injectors needs a count from 1 to 8");
            injectors = value;
        } else {
            return UsageError(ctx, "unknown poll argument " + a);
        }
    }

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    if (injectors)
        link.Data.InjSW = static_cast<uint8_t>(*injectors);
    else if (link.Data.InjSW == 0)
        link.Data.InjSW = lumex::InjectorsForChannelCode(link.Manager.ReadWordVar(28)).value_or(0);

    unsigned failed = 0;
    for (unsigned cycle = 1; cycle <= cycles; ++cycle) {
        if (intervalMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
        const bool ok = link.Manager.PollCycle(lumex::pmReadings);
        if (!ok)
            ++failed;
        const Shown shown = Show(link);
        if (ctx.json) {
            nlohmann::json j = ReadingsJson(link.Data);
            j["Cycle"] = cycle;
            j["Ok"] = ok;
            j["InjSW"] = link.Data.InjSW;
            j["Shown"] = ShownJson(shown);
            *ctx.out << JsonLine(j) << std::endl;
        } else {
            PrintText(*ctx.out, cycle, ok, link.Data, shown);
            ctx.out->flush();
        }
    }
    if (failed > 0) {
        *ctx.err << "lumex2-cli: " << failed << " of " << cycles << " poll cycles failed\n";
        return kExitDevice;
    }
    return kExitOk;
}

} // namespace cli
