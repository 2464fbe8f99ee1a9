// Arbitrary bytes from a bootloader, read as the answer to each of its
// commands the way the upgrade and the connection workflow read them: at
// most one stray byte before the start, a whole answer with a right sum or
// a failure. What is taken is the line's own bytes; a refused answer leaves
// nothing behind to be read as a version. The first byte picks the command
// and whether the line fails part way; the rest is what the line holds.
#include "mainwindow/BootIdentify.h"
#include "mainwindow/Detector.h"
#include "upgrade/BootFrames.h"
#include "upgrade/Bootloader40DataManager.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace lumex;

namespace {

constexpr std::array<uint8_t, 8> kCommands{
    kBootVersionCommand,         kBootInfoCommand,          kBootInitCommand,
    kBootFlashEraseCommand,      kBootEepromEraseCommand,   kBootWriteBlockCommand,
    kBootEepromEraseInitCommand, kBootSetWriteEepromCommand};

bool AllZero(std::span<const uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t pick = data[0];
    const std::span<const uint8_t> line(data + 1, size - 1);
    const uint8_t command = kCommands[pick % kCommands.size()];
    // Now and then an answer length no command has, the short ones included.
    const std::size_t length = (pick & 0x80) != 0 ? pick % 9 : BootAnswerLength(command);
    // A line that fails after a few reads, as an unplugged adapter does.
    const unsigned failAfter = (pick & 0x40) != 0 ? (pick >> 3) % 4 : 1000;

    std::size_t pos = 0;
    unsigned reads = 0;
    const TBootByteReader read = [&](uint8_t *buffer, unsigned count, unsigned &got) {
        got = 0;
        if (reads++ >= failAfter)
            return false;
        got = static_cast<unsigned>(std::min<std::size_t>(count, line.size() - pos));
        std::copy_n(line.begin() + static_cast<std::ptrdiff_t>(pos), got, buffer);
        pos += got;
        return true;
    };
    std::vector<uint8_t> answer(length, 0xA5);
    const bool ok = ReceiveBootAnswer(read, answer);

    // Where the start byte is: the line's first or second byte, or nowhere.
    std::size_t start = 2;
    if (!line.empty() && line[0] == kBootAnswerStart)
        start = 0;
    else if (line.size() > 1 && line[1] == kBootAnswerStart)
        start = 1;
    if (ok) {
        // The rest follows the start byte unchanged.
        if (length < 2 || start > 1 || answer[0] != kBootAnswerStart || !BootAnswerSumValid(answer) ||
            line.size() < start + length || !std::equal(answer.begin(), answer.end(), line.begin() + start))
            std::abort();
    } else if (length >= 2 && start <= 1 && line.size() >= start + length && failAfter >= start + 2 &&
               !AllZero(answer)) {
        // Everything arrived and was refused: nothing of it may stay.
        std::abort();
    }

    // What the connection workflow and the detector make of the same bytes.
    TBootInfo info;
    info.BootFamily = 7;
    const bool version = TakeBootVersionAnswer(answer, ok, info);
    if (info.BootFamily != 0 || info.BootStatus != 0 || (!version && info.Found()))
        std::abort();
    (void)BootVersionText(info);
    (void)FamilyName(answer.size() > 2 ? answer[2] : 0);
    for (std::size_t index = 0; index < kProbeCount; ++index) {
        const std::size_t n = std::min<std::size_t>(line.size(), ProbeTable()[index].AnswerLength);
        const int result = ProbeResult(index, line.first(n));
        if (result < 0 || result > TDetector::kResultBootloader40 || (result != 0 && FamilyOfResult(result) == 0))
            std::abort();
    }
    return 0;
}
