// Arbitrary OBD answers, at any length, through every decoder of the OBD
// module into its device image, then the texts and listings the window and
// the command line print from it. The first byte picks the pending half and
// the item variable; the rest is the answer.
#include "adapter/OBDModule.h"
#include "adapter/OBDTroubleCycle.h"
#include "modules/AppLogic.h"
#include "modules/AppManager.h"
#include "serial/ComMultiPort.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using namespace lumex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Built once: the decoders overwrite every field they read.
    static TComMultiPort port;
    static TManager manager(port);
    static TLogic logic(manager, {TModuleOBD::Make});
    static const std::vector<std::string> codes{"P0123 Throttle", "U0100 Lost"};
    auto &obd = static_cast<TModuleOBD &>(*logic.SubModules().front());
    TDevStateOBD &s = obd.DevState();
    if (size == 0)
        return 0;
    const bool pending = (data[0] & 1) != 0;
    const std::span<const uint8_t> a(data + 1, size - 1);

    (void)DecodeOBDConfigAnswer(a, s);
    (void)DecodeOBDStatus(a, s);
    (void)DecodeOBDPidBytes(a, s.Pids);
    (void)DecodeOBDPidBytes(a, s.Allows);
    (void)DecodeOBDLive(a, s);
    (void)DecodeOBDTroubleState(a, s);
    (void)DecodeOBDCodes(a, pending, s);
    (void)DecodeOBDFreezeFrames(a, s);
    (void)DecodeOBDLambda(a, s);
    (void)DecodeOBDWideLambda(a, s);
    (void)DecodeOBDItem(a, *s.DelayConnectCounter);
    (void)DecodeOBDItem(a, s.ActionMain);

    logic.UIState().CopyFromDevState({}, kCopyAll);
    for (const TObdLiveValue &v : s.LiveValues())
        (void)v.Variable->Text();
    (void)BuildOBDConfigBlock(s);
    (void)OBDCodeListing(s.TroubleCodeRecords, pending, codes);
    (void)OBDFreezeFrameListing(s);
    (void)ObdDetectStateText(static_cast<int>(s.ActionDetect.GetAsInteger()),
                             ObdProtocolName(static_cast<int>(s.ActualProtocol.GetAsInteger())));
    (void)TroubleMessageText(static_cast<int>(s.StateReadTroubleCodes.GetAsInteger()));
    (void)FreezeMessageText(static_cast<int>(s.StateReadFreezeFrame.GetAsInteger()));
    return 0;
}
