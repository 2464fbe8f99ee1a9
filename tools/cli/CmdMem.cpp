// lumex2-cli mem: reads or writes one byte (or, with --word, one word) of the
// controller's memory. Reads are free; writes go only to the addresses the
// program itself writes, because one wrong address can spoil a car's
// settings, unless --force says the user means it.
#include "CliContext.h"
#include "LinkSession.h"
#include "NumberArg.h"
#include "OptionArgs.h"

#include "controller/NorviData.h"

#include <array>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kUsage = "usage: mem read ADDR [--word] | mem write ADDR VALUE [--word] [--force] (mem --help)";

constexpr const char *kHelp =
    "usage: lumex2-cli [--port N|PATH] [--json] mem read ADDR [--word]\n"
    "       lumex2-cli [--port N|PATH] [--json] mem write ADDR VALUE [--word] [--force]\n"
    "Reads or writes one byte (--word: one word) of the controller's memory. ADDR and VALUE are\n"
    "decimal or hexadecimal with 0x.\n"
    "Without --force, writes go only to the addresses the program writes itself:\n"
    "  1          byte  emergency-start counter\n"
    "  198, 199   byte  petrol and gas map point counts\n"
    "  200..454   word  petrol map points (even addresses, 1.4/1.5)\n"
    "  456..710   word  gas map points (even addresses, 1.4/1.5)\n"
    "Any other write is refused (exit 2) and nothing is sent.\n"
    "  --word   a word (two bytes) instead of a byte\n"
    "  --force  write anywhere\n";

struct KnownAddress
{
    uint16_t first;
    uint16_t last; // a run of words steps by two
    bool word;
    const char *use;
};

constexpr uint16_t kPetrolPoints = 200;
constexpr uint16_t kGasPoints = 456;
constexpr uint16_t kPointsSpan = 2 * (lumex::kMapPointCapacity - 1);

constexpr auto kWritable = std::to_array<KnownAddress>({
    {1, 1, false, "emergency-start counter"},
    {198, 198, false, "petrol map point count"},
    {199, 199, false, "gas map point count"},
    {kPetrolPoints, kPetrolPoints + kPointsSpan, true, "petrol map point"},
    {kGasPoints, kGasPoints + kPointsSpan, true, "gas map point"},
});

const KnownAddress *FindWritable(uint32_t address, bool word)
{
    for (const auto &k : kWritable) {
        if (address < k.first || address > k.last || word != k.word)
            continue;
        if (k.word && (address - k.first) % 2 != 0)
            continue;
        return &k;
    }
    return nullptr;
}

} // namespace

int RunMem(CliContext &ctx)
{
    if (ctx.args.size() == 1 && (ctx.args[0] == "--help" || ctx.args[0] == "-h")) {
        *ctx.out << kHelp;
        return kExitOk;
    }
    std::vector<std::string> words = ctx.args;
    const bool word = TakeFlag(words, "--word");
    const bool force = TakeFlag(words, "--force");
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
        if (!force && !FindWritable(*address, word))
            return UsageError(ctx, "mem: the program never writes " + std::string(word ? "a word" : "a byte") + " at " +
                                       words[1] +
                                       "; nothing was sent (mem --help lists the addresses; --force writes anyway)");
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
        else
            *ctx.out << "address: " << addr << "\nwritten: " << *value << "\n";
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
