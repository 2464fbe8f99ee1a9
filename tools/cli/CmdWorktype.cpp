// lumex2-cli worktype N|NAME: switches the controller's working state (fuel,
// autocalibration, tests). Only the work types the controller defines are
// sent: any other number would put it in a state no page expects.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include "controller/WorkType.h"

#include <array>
#include <ostream>
#include <sstream>

namespace cli {

namespace {

using lumex::TWorkType;

struct WorkTypeName
{
    TWorkType type;
    const char *name;
    const char *meaning;
};

constexpr auto kWorkTypes = std::to_array<WorkTypeName>({
    {TWorkType::Stop, "stop", "stop autocalibration or the injector test"},
    {TWorkType::Gas, "gas", "gas, standard switch-over"},
    {TWorkType::Petrol, "petrol", "petrol, standard switch-over"},
    {TWorkType::StartAutocalibration, "autocal", "start autocalibration"},
    {TWorkType::GasImmediately, "gas-now", "gas immediately"},
    {TWorkType::PetrolImmediately, "petrol-now", "petrol immediately"},
    {TWorkType::AutocalibrationRunning, "autocal-running", "autocalibration under way (sent right after the start)"},
    {TWorkType::ContinueWithLoad, "autocal-load", "autocalibration goes on to the phase with load"},
    {TWorkType::WorkingPressureTest, "pressure-test", "working-pressure test"},
    {TWorkType::PetrolSequential, "petrol-sequential", "petrol, sequential"},
});

std::string Help()
{
    std::ostringstream os;
    os << "usage: lumex2-cli [--port N|PATH] [--json] worktype N|NAME\n"
          "Switches the controller to one of the work types it defines:\n";
    for (const auto &w : kWorkTypes) {
        std::string name = w.name;
        name.resize(18, ' ');
        os << "  " << (lumex::WorkTypeNumber(w.type) < 10 ? " " : "") << lumex::WorkTypeNumber(w.type) << "  " << name
           << w.meaning << "\n";
    }
    os << "Any other number is refused (exit 2) and nothing is sent. Exit 1 when the controller does\n"
          "not acknowledge.\n";
    return os.str();
}

const WorkTypeName *FindWorkType(const std::string &text)
{
    const auto number = ParseNumber(text, 255);
    for (const auto &w : kWorkTypes) {
        if (text == w.name || (number && *number == static_cast<uint32_t>(lumex::WorkTypeNumber(w.type))))
            return &w;
    }
    return nullptr;
}

} // namespace

int RunWorktype(CliContext &ctx)
{
    if (ctx.args.size() == 1 && (ctx.args[0] == "--help" || ctx.args[0] == "-h")) {
        *ctx.out << Help();
        return kExitOk;
    }
    if (ctx.args.size() != 1)
        return UsageError(ctx, "usage: worktype N|NAME (worktype --help lists them)");
    const WorkTypeName *chosen = FindWorkType(ctx.args[0]);
    if (!chosen)
        return UsageError(ctx, "worktype: " + ctx.args[0] +
                                   " is not a work type the controller defines; nothing was sent "
                                   "(worktype --help lists them)");
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    if (!link.Manager.SetWorkType(chosen->type)) {
        *ctx.err << "lumex2-cli: the controller did not acknowledge work type " << lumex::WorkTypeNumber(chosen->type)
                 << "\n";
        return kExitDevice;
    }
    const int requested = lumex::WorkTypeNumber(link.Manager.RequestedWorkType);
    if (ctx.json)
        *ctx.out << JsonLine({{"WorkType", lumex::WorkTypeNumber(chosen->type)}, {"RequestedWorkType", requested}})
                 << "\n";
    else
        *ctx.out << "WorkType: " << lumex::WorkTypeNumber(chosen->type) << " (" << chosen->name << ")\n"
                 << "RequestedWorkType: " << requested << "\n";
    return kExitOk;
}

} // namespace cli
