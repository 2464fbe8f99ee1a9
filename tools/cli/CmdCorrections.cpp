// lumex2-cli corrections show: connects to a 3.0 controller, runs the
// corrections read and prints the four correction tables with their axes,
// activity bits and preset types.
#include "CliContext.h"
#include "LinkSession.h"

#include "calibration/CorrectionTables.h"
#include "calibration/CorrectionsIO.h"
#include "controller/Version.h"

#include <array>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH [--json] corrections show\n"
    "Connects to a 3.0 controller, reads the corrections and prints the four tables (supply\n"
    "pressure CPS, manifold pressure CPCOL from revision G, gas temperature CTG, engine speed\n"
    "CRPM) as signed percentages over their axes, with the activity bits of CMActive and, from\n"
    "revision D, the preset types TgasCorType and RPMCorType.\n";

struct TTableRow
{
    const char *Name;
    lumex::TCorrectionTable lumex::TNorviData::*Table;
    lumex::TCorrAxis Axis;
    uint8_t ActiveBit;
    uint8_t lumex::TNorviData::*Type; // null: no preset type
};

constexpr std::array<TTableRow, 4> kTables{{
    {"CPS", &lumex::TNorviData::CPS, lumex::TCorrAxis::Pressure, lumex::kCMActivePsys, nullptr},
    {"CPCOL", &lumex::TNorviData::CPCOL, lumex::TCorrAxis::Pressure, lumex::kCMActivePcol, nullptr},
    {"CTG", &lumex::TNorviData::CTG, lumex::TCorrAxis::GasTemp, lumex::kCMActiveTgas, &lumex::TNorviData::TgasCorType},
    {"CRPM", &lumex::TNorviData::CRPM, lumex::TCorrAxis::Rpm, lumex::kCMActiveRpm, &lumex::TNorviData::RPMCorType},
}};

bool Present(const TTableRow &row, const lumex::TNorviData &d)
{
    return row.Table != &lumex::TNorviData::CPCOL || lumex::Is30From(d, "G");
}

nlohmann::json TablesJson(const lumex::TNorviData &d)
{
    nlohmann::json j;
    const bool types = lumex::Is30From(d, "D");
    for (const TTableRow &row : kTables) {
        if (!Present(row, d))
            continue;
        nlohmann::json t;
        t["Axis"] = lumex::CorrAxisLabels(row.Axis);
        t["Values"] = d.*row.Table;
        t["Active"] = (d.CMActive & row.ActiveBit) != 0;
        if (row.Type != nullptr && types)
            t["Type"] = d.*row.Type;
        j[row.Name] = t;
    }
    j["CMActive"] = d.CMActive;
    return j;
}

void PrintPlain(std::ostream &out, const lumex::TNorviData &d)
{
    const bool types = lumex::Is30From(d, "D");
    for (const TTableRow &row : kTables) {
        if (!Present(row, d))
            continue;
        out << row.Name << " (active " << ((d.CMActive & row.ActiveBit) != 0 ? "yes" : "no");
        if (row.Type != nullptr && types)
            out << ", type " << int{d.*row.Type};
        out << ")\n";
        const auto labels = lumex::CorrAxisLabels(row.Axis);
        const auto &values = d.*row.Table;
        for (std::size_t i = 0; i < values.size(); ++i)
            out << "  " << labels[i] << " = " << int{values[i]} << "\n";
    }
}

} // namespace

int RunCorrections(CliContext &ctx)
{
    if (ctx.args.empty() || ctx.args.front() == "--help" || ctx.args.front() == "-h") {
        *(ctx.args.empty() ? ctx.err : ctx.out) << kHelp;
        return ctx.args.empty() ? kExitUsage : kExitOk;
    }
    if (ctx.args.front() != "show" || ctx.args.size() > 1)
        return UsageError(ctx, "usage: corrections show");
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    if (link.Data.VersionCode != lumex::kVersion30) {
        *ctx.err << "lumex2-cli: the corrections exist on 3.0 controllers only\n";
        return kExitDevice;
    }
    const lumex::TCorrectionsReadResult r = lumex::ReadCorrections(link.Manager);
    if (!r.Ok) {
        *ctx.err << "lumex2-cli: reading the corrections failed at " << r.FailedStep << "\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine(TablesJson(link.Data)) << "\n";
    else
        PrintPlain(*ctx.out, link.Data);
    return kExitOk;
}

} // namespace cli
