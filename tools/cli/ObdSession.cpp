#include "ObdSession.h"

#include "adapter/AIOModule.h"
#include "documents/LangManager.h"

#include <chrono>
#include <ostream>
#include <thread>

namespace cli {

namespace {

// Real adapters take their time between states; the simulator steps per poll.
constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr int kConnectPolls = 150;

} // namespace

TObdSession::TObdSession(lumex::TControllerLink &link) : manager(link.Port)
{
    manager.ControllerLink = [&link] { return link.Manager.LinkUp; };
    logic = std::make_unique<lumex::TLogic>(
        manager, std::vector<lumex::TModuleFactory>{lumex::TModuleOBD::Make, lumex::TModuleAIO::Make});
    obd = static_cast<lumex::TModuleOBD *>(logic->SubModules().front().get());
    obd->Logic().Wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

std::string LinkText(lumex::TModuleOBD &m)
{
    return lumex::TranslateEnglish(m.DevState().ActionMain.Text());
}

int RequireObd(CliContext &ctx, TObdSession &s)
{
    s.logic->ResetModules();
    if (!s.logic->Adapter().IsConnected()) {
        *ctx.err << "lumex2-cli: no adapter answered\n";
        return kExitDevice;
    }
    if (!s.obd->IsConnected()) {
        *ctx.err << "lumex2-cli: the adapter has no OBD function\n";
        return kExitDevice;
    }
    return kExitOk;
}

int ConnectCar(CliContext &ctx, TObdSession &s, int protocol)
{
    lumex::TModuleOBD &m = *s.obd;
    m.ReadStatus();
    // Connected already: kept, unless another protocol is asked for.
    if (m.DevState().IsCarConnected() && (protocol == 0 || protocol == m.DevState().Protocol.GetAsInteger()))
        return kExitOk;
    if (protocol > 0)
        m.UIState().Protocol.SetAsInteger(protocol);
    if (!m.DevState().IsIdleState()) {
        m.Disconnect();
        for (int i = 0; i < kConnectPolls && m.ReadStatus() && !m.DevState().IsIdleState(); ++i)
            std::this_thread::sleep_for(kPollPause);
    }
    if (m.UIState().Protocol.GetAsInteger() < 1) {
        *ctx.err << "lumex2-cli: no OBD protocol chosen; give --protocol 1..7\n";
        return kExitUsage;
    }
    if (!m.Logic().ConnectButton()) {
        *ctx.err << "lumex2-cli: the adapter refused to connect: " << LinkText(m) << "\n";
        return kExitDevice;
    }
    for (int i = 0; i < kConnectPolls; ++i) {
        if (!m.ReadStatus())
            break;
        if (m.DevState().IsCarConnected())
            return kExitOk;
        if (m.DevState().IsIdleState())
            break;
        std::this_thread::sleep_for(kPollPause);
    }
    *ctx.err << "lumex2-cli: the car did not connect: " << LinkText(m) << "\n";
    return kExitDevice;
}

} // namespace cli
