// lumex2-cli raw: writes bytes exactly as given and prints the answer, for
// looking at the line without any protocol in between.
#include "CliContext.h"
#include "PortOption.h"

#include "controller/CommandTable.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <vector>

namespace cli {

namespace {

constexpr unsigned kMaxExpect = 65535;

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH raw [--expect N] HEX...\n"
    "Writes the bytes exactly as given (\"C0 01 01 C2\", \"0xC0\" or \"C00101C2\") and prints\n"
    "the answer bytes in hex.\n"
    "Without --expect, a controller request (first byte C0, second byte a code of the\n"
    "command table) reads the answer length of that code from the table. Any other\n"
    "frame is sent and nothing is read. --expect N reads exactly N bytes for any frame\n"
    "(--expect 0 reads nothing).\n"
    "Exit 1 when fewer bytes come than were to be read.\n";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "C0", "0xC0", "c00101c2": one or more whole bytes.
bool ParseHex(std::string token, std::vector<uint8_t> &bytes)
{
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.erase(0, 2);
    if (token.size() == 1)
        token = std::string(1, '0') + token;
    if (token.empty() || token.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < token.size(); i += 2) {
        const int hi = HexDigit(token[i]);
        const int lo = HexDigit(token[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

// The answer length the command table gives a controller request; 0 for a
// frame the table does not know.
unsigned TableAnswerLength(const std::vector<uint8_t> &request)
{
    if (request.size() < 2 || request[0] != lumex::kRequestStart)
        return 0;
    const lumex::CommandInfo *info = lumex::FindCommand(request[1]);
    return info != nullptr ? info->answerLength : 0;
}

bool ParseCount(const std::string &text, unsigned &count)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long v = std::stoul(text);
    if (v > kMaxExpect)
        return false;
    count = static_cast<unsigned>(v);
    return true;
}

std::string Hex(const uint8_t *bytes, unsigned count)
{
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += b;
    }
    return text;
}

} // namespace

int RunRaw(CliContext &ctx)
{
    std::optional<unsigned> expectGiven;
    std::vector<uint8_t> request;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string &a = ctx.args[i];
        if (a == "--help" || a == "-h") {
            *ctx.out << kHelp;
            return kExitOk;
        }
        if (a == "--expect") {
            unsigned count = 0;
            if (i + 1 >= ctx.args.size() || !ParseCount(ctx.args[i + 1], count))
                return UsageError(ctx, "--expect needs a byte count from 0 to 65535");
            expectGiven = count;
            ++i;
        } else if (!ParseHex(a, request)) {
            return UsageError(ctx, "not a hex byte: " + a);
        }
    }
    const unsigned expect = expectGiven.value_or(TableAnswerLength(request));
    if (request.empty() && expect == 0)
        return UsageError(ctx, "raw needs bytes to send or --expect N");

    int status = kExitOk;
    auto port = OpenPort(ctx, status);
    if (!port)
        return status;

    // The write keeps the port lock until the answer is in; one Unlock
    // ends the exchange whatever happened.
    unsigned written = 0;
    const bool sent = port->Write(request.data(), static_cast<unsigned>(request.size()), written);
    if (!sent || written != request.size()) {
        port->Unlock();
        *ctx.err << "lumex2-cli: write failed: " << written << " of " << request.size() << " bytes sent\n";
        return kExitDevice;
    }
    std::vector<uint8_t> answer(expect);
    unsigned got = 0;
    const bool received = port->Read(answer.data(), expect, got);
    port->Unlock();
    if (expect > 0)
        *ctx.out << Hex(answer.data(), got) << "\n";
    if (!received) {
        *ctx.err << "lumex2-cli: read failed: the line hung up\n";
        return kExitDevice;
    }
    if (got < expect) {
        *ctx.err << "lumex2-cli: expected " << expect << " bytes, received " << got << "\n";
        return kExitDevice;
    }
    return kExitOk;
}

} // namespace cli
