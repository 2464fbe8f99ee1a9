// lumex2-cli mem: reads or writes one byte (or, with --word, one word) of the
// controller's memory.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kUsage = "usage: mem read ADDR [--word] | mem write ADDR VALUE [--word]";

} // namespace

int RunMem(CliContext &ctx)
{
    std::vector<std::string> words;
    bool word = false;
    for (const auto &a : ctx.args) {
        if (a == "--word")
            word = true;
        else
            words.push_back(a);
    }
    if (words.empty() || (words[0] != "read" && words[0] != "write"))
        return UsageError(ctx, kUsage);
    const bool write = words[0] == "write";
    if (words.size() != (write ? 3u : 2u))
        return UsageError(ctx, kUsage);
    const auto address = ParseNumber(words[1], 0xFFFF);
    if (!address)
        return UsageError(ctx, "mem: the address must be a number from 0 to 65535");
    std::optional<uint32_t> value;
    if (write) {
        value = ParseNumber(words[2], word ? 0xFFFF : 0xFF);
        if (!value)
            return UsageError(ctx,
                              std::string("mem: the value must be a number from 0 to ") + (word ? "65535" : "255"));
    }

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    const auto addr = static_cast<uint16_t>(*address);
    if (write) {
        const bool ok = word ? m.WriteMemWord(addr, static_cast<uint16_t>(*value))
                             : m.WriteMemByte(addr, static_cast<uint8_t>(*value));
        if (!ok) {
            *ctx.err << "lumex2-cli: the memory write failed: " << lumex::WriteRefusalText(m.LastRefusal()) << "\n";
            return kExitDevice;
        }
        if (ctx.json)
            *ctx.out << JsonLine({{"address", addr}, {"written", *value}}) << "\n";
        return kExitOk;
    }
    const uint32_t read = word ? m.ReadMemWord(addr) : m.ReadMemByte(addr);
    if (!m.LinkUp) {
        *ctx.err << "lumex2-cli: the controller did not answer the memory read\n";
        return kExitDevice;
    }
    if (ctx.json)
        *ctx.out << JsonLine({{"address", addr}, {"value", read}}) << "\n";
    else
        *ctx.out << read << "\n";
    return kExitOk;
}

} // namespace cli
