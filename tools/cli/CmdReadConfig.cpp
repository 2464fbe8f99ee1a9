// lumex2-cli read-config: connects and reads every setting the controller's
// generation and firmware letter have, and prints them by image field name.
#include "CliContext.h"
#include "ConfigJson.h"
#include "LinkSession.h"

#include "controller/ConfigurationIO.h"

#include <limits>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH [--json] read-config\n"
    "Connects, then reads the configuration with its follow-up parameters, the model block\n"
    "and model parameters, model points, Model2 sets, correction tables, injector corrections,\n"
    "inspection, maps and map points and the adaptation tables, as far as the controller's\n"
    "generation and firmware letter have them. Values are raw controller units.\n";

void PrintPlain(std::ostream &out, const nlohmann::json &j)
{
    for (const auto &[key, value] : j.items())
        out << key << " = " << JsonLine(value) << "\n";
}

} // namespace

int RunReadConfig(CliContext &ctx)
{
    if (const auto status = CheckNoArguments(ctx, "read-config", kHelp))
        return *status;
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    const bool ok = lumex::ReadFullConfiguration(link.Manager, link.Points, std::numeric_limits<double>::infinity());
    if (!ok || !link.Manager.LinkUp) {
        *ctx.err << "lumex2-cli: reading the configuration failed\n";
        return kExitDevice;
    }
    const nlohmann::json j = FullConfigurationJson(link.Data, link.Points);
    if (ctx.json)
        *ctx.out << JsonLine(j) << "\n";
    else
        PrintPlain(*ctx.out, j);
    return kExitOk;
}

} // namespace cli
