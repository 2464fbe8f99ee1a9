// lumex2-cli adapter: the adapter on the controller's line. It answers only
// while the controller does, so the controller link comes up first.
#include "CliContext.h"
#include "LinkSession.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "modules/AppLogic.h"
#include "modules/ModuleFile.h"
#include "modules/ModuleQuestions.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli --port N|PATH [--json] adapter info\n"
                              "       lumex2-cli --port N|PATH adapter save FILE.gaf\n"
                              "       lumex2-cli --port N|PATH adapter load FILE.gaf [--yes]\n"
                              "Connects to the controller, detects the adapter on the same line and prints its\n"
                              "version texts, build date and serial (info), saves its settings to a file (save)\n"
                              "or loads them from one and writes them to the adapter (load). Without --yes every\n"
                              "question of the load is answered No. Exit 1 when no adapter this program serves\n"
                              "answers or an operation fails.\n";

const std::vector<lumex::TSection> kFileSections{lumex::TSection::OBD, lumex::TSection::AIO};

// The load's questions on a terminal: printed, answered by --yes.
class TCliQuestions : public lumex::TModuleQuestions
{
public:
    TCliQuestions(std::ostream &err, bool yes) : err_(err), yes_(yes) {}
    bool YesNo(const std::string &text, bool, bool) override { return Ask(text); }
    bool OkCancel(const std::string &text) override { return Ask(text); }
    void Message(const std::string &text) override { err_ << "lumex2-cli: " << OneLine(text) << "\n"; }

private:
    bool Ask(const std::string &text)
    {
        err_ << OneLine(text) << " -> " << (yes_ ? "yes" : "no") << "\n";
        return yes_;
    }
    static std::string OneLine(std::string text)
    {
        std::string out;
        for (char c : text)
            if (c != '\r')
                out += c == '\n' ? ' ' : c;
        return out;
    }
    std::ostream &err_;
    bool yes_;
};

struct TAdapterSession
{
    explicit TAdapterSession(lumex::TControllerLink &link) : manager(link.Port)
    {
        manager.ControllerLink = [&link] { return link.Manager.LinkUp; };
        // The OBD and AIO settings travel in the file with the adapter's.
        logic = std::make_unique<lumex::TLogic>(
            manager, std::vector<lumex::TModuleFactory>{lumex::TModuleOBD::Make, lumex::TModuleAIO::Make});
    }
    lumex::TManager manager;
    std::unique_ptr<lumex::TLogic> logic;
};

int RequireAdapter(CliContext &ctx, TAdapterSession &s)
{
    s.logic->ResetModules();
    if (s.logic->Adapter().IsConnected())
        return kExitOk;
    const auto product = s.logic->Adapter().DevState().BootloaderProductName.GetAsInteger();
    if (s.logic->Adapter().DevState().MainVersion.GetAsInteger() != 0 && product > lumex::kAdapterProductLast)
        *ctx.err << "lumex2-cli: the adapter on the line is another product (" << product << ")\n";
    else
        *ctx.err << "lumex2-cli: no adapter answered\n";
    return kExitDevice;
}

int Info(CliContext &ctx, TAdapterSession &s)
{
    lumex::TLogicAdapter &a = s.logic->AdapterLogic();
    const lumex::TUIStateAdapter &ui = s.logic->Adapter().UIState();
    const std::string version = a.VersionText(true, 0);
    const std::string full = a.FullVersionText(false);
    const std::string built = ui.CompilationDate.Text() + " " + ui.CompilationTime.Text();
    const std::string serial = a.SerialNumberText(true);
    if (ctx.json) {
        const nlohmann::json j = {
            {"Version", version}, {"VersionFull", full}, {"VersionShort", a.FullVersionText(true)},
            {"Built", built},     {"Serial", serial},    {"Product", ui.BootloaderProductName.GetAsInteger()}};
        *ctx.out << j.dump() << "\n";
        return kExitOk;
    }
    *ctx.out << "Adapter:         " << version << "\n"
             << "Version (long):  " << full << "\n"
             << "Built:           " << built << "\n"
             << "Serial:          " << serial << "\n";
    return kExitOk;
}

} // namespace

int RunAdapter(CliContext &ctx)
{
    const std::vector<std::string> &args = ctx.args;
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        *(args.empty() ? ctx.err : ctx.out) << kHelp;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string &sub = args[0];
    bool yes = false;
    std::string file;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--yes" && sub == "load")
            yes = true;
        else if (file.empty() && (sub == "save" || sub == "load") && args[i].rfind("--", 0) != 0)
            file = args[i];
        else {
            *ctx.err << "lumex2-cli adapter: unexpected argument " << args[i] << "\n" << kHelp;
            return kExitUsage;
        }
    }
    if (sub != "info" && sub != "save" && sub != "load") {
        *ctx.err << "lumex2-cli adapter: unknown operation " << sub << "\n" << kHelp;
        return kExitUsage;
    }
    if (sub != "info" && file.empty()) {
        *ctx.err << "lumex2-cli adapter " << sub << ": a FILE.gaf is needed\n";
        return kExitUsage;
    }
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    TAdapterSession s(link);
    if (const int status = RequireAdapter(ctx, s); status != kExitOk)
        return status;
    if (sub == "info")
        return Info(ctx, s);
    if (sub == "save") {
        const lumex::TModuleFileResult r = lumex::TModuleFile::Save(*s.logic, file, kFileSections);
        if (!r.Ok) {
            *ctx.err << "lumex2-cli: " << r.Message << "\n";
            return kExitDevice;
        }
        *ctx.out << "saved " << file << "\n";
        return kExitOk;
    }
    TCliQuestions questions(*ctx.err, yes);
    const lumex::TModuleFileResult r = lumex::TModuleFile::Load(*s.logic, file, kFileSections, false, questions);
    if (!r.Ok)
        return kExitDevice;
    *ctx.out << "loaded " << file << "\n";
    return kExitOk;
}

} // namespace cli
