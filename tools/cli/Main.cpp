// lumex2-cli: the controller link from the command line.
#include "CliContext.h"
#include "Commands.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::ostream &os)
{
    os << "usage: lumex2-cli [--port N|PATH] [--json] COMMAND [ARGS...]\n"
          "       lumex2-cli COMMAND --help | --version\n\n"
          "  --port N|PATH  the port: COM number (through the port map) or a device path; without it\n"
          "                 the port the program saved is used\n"
          "  --json         one JSON object per line instead of text\n\ncommands:\n";
    for (const auto &c : cli::Commands())
        os << "  " << c.usage << "\n";
}

bool AsksForHelp(const std::vector<std::string> &args)
{
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

} // namespace

int main(int argc, char **argv)
{
    cli::CliContext ctx;
    ctx.out = &std::cout;
    ctx.err = &std::cerr;
    std::string command;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--port") {
            if (i + 1 >= argc)
                return cli::UsageError(ctx, "--port needs a number or a path");
            ctx.port = argv[++i];
        } else if (a == "--json") {
            ctx.json = true;
        } else if (a == "-h" || a == "--help") {
            PrintUsage(std::cout);
            return cli::kExitOk;
        } else if (a == "--version") {
            std::cout << "lumex2-cli " << LUMEX_FILE_VERSION << "\n";
            return cli::kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            return cli::UsageError(ctx, "unknown option " + a);
        } else {
            command = a;
            ++i;
            break;
        }
    }
    // Options may also follow the command; commands see the rest.
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json")
            ctx.json = true;
        else if (a == "--port" && i + 1 < argc)
            ctx.port = argv[++i];
        else
            ctx.args.push_back(a);
    }
    if (command.empty()) {
        PrintUsage(std::cerr);
        return cli::kExitUsage;
    }
    for (const auto &c : cli::Commands()) {
        if (command != c.name)
            continue;
        const bool help = AsksForHelp(ctx.args);
        const int status = c.run(ctx);
        if (help && status == cli::kExitOk)
            std::cout << "example: " << c.example << "\n";
        return status;
    }
    return cli::UsageError(ctx, "unknown command " + command);
}
