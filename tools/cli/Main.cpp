// lumex2-cli: the controller link from the command line.
#include "CliContext.h"
#include "Commands.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

void PrintUsage(std::ostream &os)
{
    os << "usage: lumex2-cli [--port N|PATH] [--json] COMMAND [ARGS...]\n\ncommands:\n";
    for (const auto &c : cli::Commands())
        os << "  " << c.usage << "\n";
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
        if (command == c.name)
            return c.run(ctx);
    }
    return cli::UsageError(ctx, "unknown command " + command);
}
