// lumex2-cli model show: the controller's gas model as the model pages read
// it. 3.0: the Model2 points as Tb/Tg in ms, multiplier, offset, the flags,
// the idle points, the BANK2 correction line and (from revision D) the
// adapted model. 1.4/1.5: the Model1 line with its enrichment points.
#include "CliContext.h"
#include "LinkSession.h"
#include "common/Format.h"

#include "calibration/Model1.h"
#include "calibration/Model2Editor.h"
#include "calibration/ModelSequences.h"
#include "controller/Version.h"

#include <ostream>
#include <string>

namespace cli {

namespace {

using lumex::FormatText;

constexpr const char *kHelp = "usage: lumex2-cli --port N|PATH [--json] model show\n"
                              "Reads the model the controller holds, the way the model pages read it, and prints it:\n"
                              "3.0: Model2 points (petrol time Tb / gas time Tg in ms), multiplier, offset, flags,\n"
                              "     idle points, correction line, adapted model (from revision D);\n"
                              "1.4/1.5: Model1 multiplier, offset, points P1..P4 (ms) with enrichments E1..E4 (%).\n";

nlohmann::json PointsJson(const lumex::TModelPointList &points)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto &p : points)
        list.push_back({{"Tb", p.Tb}, {"Tg", p.Tg}});
    return list;
}

nlohmann::json CorrectionJson(const lumex::TCorrectionLine &c)
{
    return {{"Mult", c.Mult}, {"Offset", c.Offset}, {"Mask", c.Mask}};
}

void PrintPoints(std::ostream &out, const char *title, const lumex::TModelPointList &points)
{
    out << title << " (" << points.size() << "), Tb / Tg ms:\n";
    for (std::size_t i = 0; i < points.size(); ++i)
        out << "  " << i + 1 << ": " << FormatText("%.2f", points[i].Tb) << " / " << FormatText("%.2f", points[i].Tg)
            << "\n";
}

void PrintCorrection(std::ostream &out, const lumex::TCorrectionLine &c)
{
    out << "correction: multiplier " << FormatText("%.2f", c.Mult) << ", offset " << FormatText("%.2f", c.Offset)
        << " ms, mask " << FormatText("0x%02X", c.Mask) << "\n";
}

int ShowModel2(const CliContext &ctx, lumex::TControllerLink &link)
{
    lumex::TModelPoints idle;
    const lumex::TWriteResult r = lumex::ReadModel2(link.Manager, idle);
    if (!r.Ok) {
        *ctx.err << "lumex2-cli: reading the model failed: " << r.Message() << "\n";
        return kExitDevice;
    }
    const lumex::TNorviData &d = link.Data;
    lumex::TModel2Editor model;
    model.Load(d, idle);
    const bool adapted = lumex::Is30From(d, "D");
    if (ctx.json) {
        nlohmann::json j{{"Model", "Model2"},
                         {"Points", PointsJson(model.Points())},
                         {"Mult", d.Mult},
                         {"Offset", d.Offset},
                         {"UseOnIdleModel", model.UseOnIdleModel()},
                         {"WithIdlePoints", model.WithIdlePoints()},
                         {"Adaptation", model.Adaptation()},
                         {"IdlePoints", {{"P1X", idle.P1X}, {"P1Y", idle.P1Y}, {"P2X", idle.P2X}, {"P2Y", idle.P2Y}}},
                         {"Correction", CorrectionJson(model.Correction())}};
        if (adapted)
            j["AdaptedPoints"] = PointsJson(model.AdaptedPoints());
        *ctx.out << JsonLine(j) << "\n";
        return kExitOk;
    }
    std::ostream &out = *ctx.out;
    out << "Model2\n";
    out << "multiplier " << FormatText("%.2f", d.Mult) << ", offset " << FormatText("%.2f", d.Offset) << " ms\n";
    out << "flags: use at idle " << model.UseOnIdleModel() << ", with idle points " << model.WithIdlePoints()
        << ", adaptation " << model.Adaptation() << "\n";
    out << "idle points: P1 " << FormatText("%.2f", idle.P1X) << " / " << FormatText("%.2f", idle.P1Y) << ", P2 "
        << FormatText("%.2f", idle.P2X) << " / " << FormatText("%.2f", idle.P2Y) << " ms\n";
    PrintCorrection(out, model.Correction());
    PrintPoints(out, "points", model.Points());
    if (adapted)
        PrintPoints(out, "adapted points", model.AdaptedPoints());
    return kExitOk;
}

int ShowModel1(const CliContext &ctx, lumex::TControllerLink &link)
{
    const lumex::TWriteResult r = lumex::ReadModel1(link.Manager);
    if (!r.Ok) {
        *ctx.err << "lumex2-cli: reading the model failed: " << r.Message() << "\n";
        return kExitDevice;
    }
    const lumex::TModel1 m = lumex::Model1Of(link.Data);
    if (ctx.json) {
        *ctx.out << JsonLine({{"Model", "Model1"},
                              {"Mult", m.Mult},
                              {"Offset", m.Offset},
                              {"P", m.P},
                              {"E", m.E},
                              {"Correction", CorrectionJson(m.Correction)}})
                 << "\n";
        return kExitOk;
    }
    std::ostream &out = *ctx.out;
    out << "Model1\n";
    out << "multiplier " << FormatText("%.2f", m.Mult) << ", offset " << FormatText("%.1f", m.Offset) << " ms\n";
    for (std::size_t i = 0; i < m.P.size(); ++i)
        out << "P" << i + 1 << " " << m.P[i] << " ms, E" << i + 1 << " " << m.E[i] << " %\n";
    PrintCorrection(out, m.Correction);
    return kExitOk;
}

} // namespace

int RunModel(CliContext &ctx)
{
    if (ctx.args.size() == 1 && (ctx.args[0] == "--help" || ctx.args[0] == "-h")) {
        *ctx.out << kHelp;
        return kExitOk;
    }
    if (ctx.args.size() != 1 || ctx.args[0] != "show")
        return UsageError(ctx, kHelp);
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const uint8_t version = link.Data.VersionCode;
    if (version == lumex::kVersion30)
        return ShowModel2(ctx, link);
    return ShowModel1(ctx, link);
}

} // namespace cli
