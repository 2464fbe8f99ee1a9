// lumex2-cli map: the map points of the controller saved as a .gmf file
// (read), and the map calculation on such a file without a controller
// (calc): which calculation the rule chooses and the model it leads to.
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"

#include "calibration/DefaultModel.h"
#include "calibration/MapCalculation.h"
#include "calibration/MapFile.h"
#include "calibration/MapSession.h"
#include "calibration/ModelFit.h"
#include "calibration/SegmentFit.h"
#include "common/AtomicFile.h"
#include "controller/Version.h"
#include "documents/IniFile.h"

#include <cstdio>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH map read --gmf FILE [--scrambled]\n"
    "       lumex2-cli [--json] map calc FILE.gmf [--gen 14|15|30] [--letter L] [--turbo]\n"
    "                  [--g3 CONFIG.gcf] [--mult X] [--offset MS] [--lang CODE]\n"
    "read: reads the petrol and LPG map points of the controller and saves them as a map file.\n"
    "calc: offline; prints the calculation the rule chooses (A for 1.4/1.5, B or C for 3.0),\n"
    "      the calculated points and the model they give: for 3.0 the default model of\n"
    "      multiplier X (default 1) and offset MS (default 1.1) fitted to the points, shown\n"
    "      as Tb and Tg in ms, the multiplier spinner (percent) and the offset (ms); for\n"
    "      1.4/1.5 the line model (P 5, 10, 15, 20 ms, offset default 1.0) with its new\n"
    "      multiplier and enrichments. --g3 takes the G3 map from a configuration file\n"
    "      ([Map] MapG3_j_0). Too few points: exit 1 with the warning text.\n";

std::string Fixed(const char *format, double value)
{
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool ParseReal(const std::string &text, double &value)
{
    try {
        std::size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size() && std::isfinite(value);
    } catch (const std::exception &) {
        return false;
    }
}

int RunRead(CliContext &ctx)
{
    std::string path;
    bool scrambled = false;
    for (std::size_t i = 1; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--gmf" && i + 1 < ctx.args.size())
            path = ctx.args[++i];
        else if (ctx.args[i] == "--scrambled")
            scrambled = true;
        else
            return UsageError(ctx, "usage: map read --gmf FILE [--scrambled]");
    }
    if (path.empty())
        return UsageError(ctx, "usage: map read --gmf FILE [--scrambled]");
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TImagePoints points;
    lumex::TModifiedFlag modified;
    lumex::TMapSession session(link.Manager, points, modified, {}, [](std::string_view k) { return std::string(k); });
    if (!session.Read().Ok) {
        *ctx.err << "lumex2-cli: reading the map points failed\n";
        return kExitDevice;
    }
    const auto petrol = lumex::PointsOf(points.PetrolPoints), lpg = lumex::PointsOf(points.GasPoints);
    try {
        lumex::SaveMapFile(path, petrol, lpg, scrambled);
    } catch (const lumex::EFileWriteError &e) {
        *ctx.err << "lumex2-cli: " << e.what() << "\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"file", path}, {"petrol", petrol.size()}, {"lpg", lpg.size()}}) << "\n";
    else
        *ctx.out << "PETROL " << petrol.size() << " LPG " << lpg.size() << " -> " << path << "\n";
    return kExitOk;
}

int RunCalc(CliContext &ctx)
{
    const auto lang = TakeLanguageOption(ctx.args);
    std::string file, g3File, letter = "G";
    int gen = 30;
    bool turbo = false;
    double mult = 1;
    std::optional<double> offset;
    const std::string usage = "usage: map calc FILE.gmf [--gen 14|15|30] [--letter L] [--turbo] [--g3 CONFIG.gcf] "
                              "[--mult X] [--offset MS]";
    for (std::size_t i = 1; i < ctx.args.size(); ++i) {
        const std::string &a = ctx.args[i];
        const bool hasValue = i + 1 < ctx.args.size();
        double value = 0;
        if (a == "--gen" && hasValue) {
            const std::string &g = ctx.args[++i];
            if (g != "14" && g != "15" && g != "30")
                return UsageError(ctx, usage);
            gen = std::stoi(g);
        } else if (a == "--letter" && hasValue) {
            letter = ctx.args[++i];
            if (letter.size() != 1)
                return UsageError(ctx, usage);
        } else if (a == "--turbo") {
            turbo = true;
        } else if (a == "--g3" && hasValue) {
            g3File = ctx.args[++i];
        } else if (a == "--mult" && hasValue && ParseReal(ctx.args[i + 1], value)) {
            mult = value;
            ++i;
        } else if (a == "--offset" && hasValue && ParseReal(ctx.args[i + 1], value)) {
            offset = value;
            ++i;
        } else if (file.empty() && !a.starts_with("-")) {
            file = a;
        } else {
            return UsageError(ctx, usage);
        }
    }
    if (file.empty())
        return UsageError(ctx, usage);
    lumex::TLM lm;
    std::string error;
    if (!LoadCliLanguage(lm, lang ? *lang : SettingsLanguage(), error))
        return UsageError(ctx, "map: " + error);

    const lumex::TMapFileParse parsed = lumex::LoadMapFile(file);
    if (parsed.Missing || !parsed.File) {
        *ctx.err << "lumex2-cli: " << file << ": " << (parsed.Missing ? "no such file" : parsed.Error) << "\n";
        return kExitDevice;
    }
    lumex::TMapCalcInput in;
    in.VersionCode = gen == 30 ? lumex::kVersion30 : gen == 15 ? lumex::kVersion15 : lumex::kVersion14;
    in.SoftwareLetter = gen == 30 ? letter : "";
    in.Turbo = turbo;
    in.Petrol = lumex::PointsOf(lumex::ToPointList(parsed.File->Petrol));
    in.Gas = lumex::PointsOf(lumex::ToPointList(parsed.File->Lpg));
    const double o = offset.value_or(gen == 30 ? 1.1 : 1.0);
    in.Model = lumex::DefaultModel2Set(o, mult);
    in.Legacy.Mult = mult;
    in.Legacy.Offset = o;
    in.Legacy.P = {5, 10, 15, 20};
    if (!g3File.empty()) {
        try {
            const lumex::TIniFile ini = lumex::TIniFile::Load(g3File);
            for (std::size_t j = 0; j < lumex::kMapG3Rows; ++j) {
                const long long v = ini.ReadInteger("Map", "MapG3_" + std::to_string(j) + "_0", 0);
                in.MapG3[j][0] = static_cast<uint16_t>(v & 0xFFFF);
            }
        } catch (const std::exception &e) {
            *ctx.err << "lumex2-cli: " << g3File << ": " << e.what() << "\n";
            return kExitDevice;
        }
    }

    const lumex::TMapCalcResult r = lumex::CalculateMap(in);
    const std::string letterText(1, lumex::CalculationLetter(r.Calculation));
    if (!r.Computed()) {
        *ctx.err << "lumex2-cli: calculation " << letterText << ": " << lm.MessageText(r.Warning) << "\n";
        return kExitDevice;
    }
    nlohmann::json calculated = nlohmann::json::array();
    for (const auto &p : r.Points)
        calculated.push_back({p.PetrolMs, p.GasMs});

    nlohmann::json j{{"calculation", letterText}, {"calculated", calculated}};
    std::vector<std::pair<double, double>> model;
    if (gen == 30) {
        const lumex::TModelFitResult fit = lumex::FitModel(in.Model, o, r.Points);
        for (const auto &p : lumex::UsedModelPoints(fit.Model))
            model.emplace_back(p.X / 187.0, p.Y / 187.0);
        const double m = lumex::ModelMultiplier(fit.Model, o).value_or(mult);
        j["multiplier"] = lumex::MultiplierSpinnerPosition(m);
        j["offset"] = Fixed("%.1f", o);
    } else {
        const lumex::TSegmentFitResult fit = lumex::FitSegments(in.Legacy, r.Points, false);
        const std::array<double, 5> x{0, fit.Model.P[0], fit.Model.P[1], fit.Model.P[2], fit.Model.P[3]};
        for (std::size_t k = 0; k < x.size(); ++k)
            model.emplace_back(x[k], fit.LineGas[k]);
        j["multiplier"] = Fixed("%.2f", fit.Model.Mult);
        j["offset"] = Fixed("%.1f", fit.Model.Offset);
        j["enrichment"] = fit.Model.E;
    }
    nlohmann::json modelJson = nlohmann::json::array();
    for (const auto &[tb, tg] : model)
        modelJson.push_back({std::stod(Fixed("%.2f", tb)), std::stod(Fixed("%.2f", tg))});
    j["model"] = modelJson;

    if (ctx.json) {
        *ctx.out << JsonLine(j) << "\n";
        return kExitOk;
    }
    std::ostream &out = *ctx.out;
    out << "calculation " << letterText << "\n";
    out << "calculated points (Tb ms, Tg ms): " << r.Points.size() << "\n";
    for (const auto &p : r.Points)
        out << "  " << Fixed("%.2f", p.PetrolMs) << "\t" << Fixed("%.2f", p.GasMs) << "\n";
    out << "model (Tb ms, Tg ms):\n";
    for (const auto &[tb, tg] : model)
        out << "  " << Fixed("%.2f", tb) << "\t" << Fixed("%.2f", tg) << "\n";
    if (gen == 30) {
        out << "multiplier " << j["multiplier"].get<int>() << "\n";
    } else {
        out << "multiplier " << j["multiplier"].get<std::string>() << "\n";
        out << "enrichment";
        for (double e : j["enrichment"])
            out << " " << e;
        out << "\n";
    }
    out << "offset " << j["offset"].get<std::string>() << "\n";
    return kExitOk;
}

} // namespace

int RunMap(CliContext &ctx)
{
    if (ctx.args.empty() || ctx.args[0] == "--help" || ctx.args[0] == "-h") {
        *(ctx.args.empty() ? ctx.err : ctx.out) << kHelp;
        return ctx.args.empty() ? kExitUsage : kExitOk;
    }
    if (ctx.args[0] == "read")
        return RunRead(ctx);
    if (ctx.args[0] == "calc")
        return RunCalc(ctx);
    return UsageError(ctx, "usage: map read --gmf FILE | map calc FILE.gmf (map --help)");
}

} // namespace cli
