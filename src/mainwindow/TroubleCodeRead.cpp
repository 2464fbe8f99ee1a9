#include "mainwindow/TroubleCodeRead.h"

#include "controller/DataManager.h"

namespace lumex {

TTroubleCodeRead ReadTroubleCodePage(TDataManager &manager)
{
    TTroubleCodeRead read;
    if (!manager.LinkUp)
        return read;
    read.FlagsRead = manager.ReadTroubleFlags();
    const TNorviData &d = manager.Data();
    if (read.FlagsRead)
        read.Flags = d.TroubleFlags;
    read.Context = {d.HemiEngine, d.TuningMode};
    read.FreezeFrame = ReadFreezeFrame(manager);
    return read;
}

TTroubleLines TroubleLines(const TTroubleCodeRead &read, const TMessageLookup &text)
{
    TTroubleLines lines;
    if (read.FlagsRead) {
        const TTroubleCodes codes = DecodeTroubleCodes(read.Flags, read.Context);
        const auto add = [&](const std::vector<TTroubleCode> &from, std::vector<TTroubleLine> &into) {
            for (const TTroubleCode &code : from) {
                std::string message = text(TroubleMessageKey(code));
                into.push_back({code, message, TroublePrefix(code) + message});
            }
        };
        add(codes.Active, lines.Active);
        add(codes.Stored, lines.Stored);
    }
    if (read.FreezeFrame.Outcome == TFreezeFrameOutcome::Present)
        lines.FreezeFrame = FreezeFrameLines(read.FreezeFrame.Frame);
    return lines;
}

} // namespace lumex
