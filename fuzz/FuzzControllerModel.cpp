// Random request frames against the simulated controller: every answer must
// be silence or a whole frame of the table length with a valid checksum,
// whatever bytes arrive, and control lines made of the same bytes must not
// upset it.
#include "controller/CommandTable.h"
#include "sim/controller/CommandSet.h"
#include "sim/controller/ControllerModel.h"

#include <cstdlib>
#include <numeric>
#include <string>

namespace {

sim::ControllerIdentity PickIdentity(uint8_t selector)
{
    switch (selector % 6) {
    case 0:
        return sim::ControllerIdentity::Gen14();
    case 1:
        return sim::ControllerIdentity::Gen15();
    case 2:
        return sim::ControllerIdentity::Gen30(0);
    case 3:
        return sim::ControllerIdentity::Gen30('h');
    default:
        return sim::ControllerIdentity::Gen30(static_cast<uint8_t>('A' + selector % 9));
    }
}

void CheckReply(uint8_t code, const sim::Reply &reply)
{
    if (reply.bytes.empty())
        return;
    const lumex::CommandInfo *entry = lumex::FindCommand(code);
    const std::size_t length = code == sim::kJumpToBootloader ? 4 : (entry ? entry->answerLength : 0);
    if (reply.bytes.size() != length || reply.bytes[0] != 0xD0)
        std::abort();
    const unsigned sum = std::accumulate(reply.bytes.begin(), reply.bytes.end() - 1, 0u);
    if (static_cast<uint8_t>(sum) != reply.bytes.back())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    sim::ControllerModel model(PickIdentity(data[0]), data[1]);
    std::size_t pos = 2;
    while (pos < size) {
        const uint8_t mode = data[pos++];
        if (mode >= 0xF0) {
            // A control line from the next bytes.
            const std::size_t n = std::min<std::size_t>(mode - 0xF0 + 4, size - pos);
            std::string line(reinterpret_cast<const char *>(data + pos), n);
            pos += n;
            std::string reply;
            model.Control(line, reply);
            continue;
        }
        std::vector<uint8_t> frame{0xC0};
        if (pos < size)
            frame.push_back(data[pos++]);
        const sim::Scan scan = model.ScanFrame(frame);
        std::size_t length = scan.length;
        if (scan.result == sim::ScanResult::Invalid || length == 0)
            length = 2 + mode % 8; // hand in a frame no scanner would make
        while (frame.size() < length)
            frame.push_back(pos < size ? data[pos++] : 0);
        if ((mode & 3) != 0 && frame.size() >= 2) {
            // Most frames get a right checksum, so the handlers are reached.
            frame.back() = static_cast<uint8_t>(std::accumulate(frame.begin(), frame.end() - 1, 0u));
        }
        const sim::Reply reply = model.Answer(frame);
        CheckReply(frame.size() > 1 ? frame[1] : 0, reply);
        if ((mode & 0x40) != 0)
            model.StepEngine(1 + mode % 5);
    }
    if (data[1] == 0) // now and then the whole state must still dump
        (void)model.DumpState();
    return 0;
}
