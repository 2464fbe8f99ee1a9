#include "LockCommand.h"

#include "LinkSession.h"

#include "controller/LockState.h"
#include "controller/PasswordRules.h"

#include <ostream>

namespace cli {

int RunLockCommand(CliContext &ctx, bool lock)
{
    const char *name = lock ? "lock" : "unlock";
    const std::string help = std::string("usage: lumex2-cli [--port N|PATH] [--json] ") + name + " PASSWORD\n" +
                             (lock ? "Locks the controller against writes" : "Makes the controller writable again") +
                             " with a password of 4 to 9 digits, then\nprints the lock state the controller reports. "
                             "A refused password sends nothing (exit 2).\n";
    if (PrintHelpIfAsked(ctx, help.c_str()))
        return kExitOk;
    if (ctx.args.size() != 1)
        return UsageError(ctx, std::string("usage: ") + name + " PASSWORD (4 to 9 digits)");
    const std::string &password = ctx.args[0];
    // The same rules as the password dialog; nothing is sent for a refused entry.
    if (lumex::CheckPassword(password, std::nullopt) != lumex::TPasswordCheck::Ok)
        return UsageError(ctx, std::string(name) + ": the password must be 4 to 9 digits");

    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    lumex::TDataManager &m = link.Manager;
    const uint32_t value = lumex::PasswordValue(password);
    const bool ok = lock ? m.LockDevice(value) : m.UnlockDevice(value);
    if (!ok) {
        *ctx.err << "lumex2-cli: the controller did not acknowledge the " << name << " command\n";
        return kExitDevice;
    }
    // The refresh that follows shows the real state.
    m.ReadLockState();
    if (ctx.json)
        *ctx.out << JsonLine({{"LockState", link.Data.LockState}, {"state", lumex::LockStateName(link.Data.LockState)}})
                 << "\n";
    else
        *ctx.out << "Lock state: " << lumex::LockStateName(link.Data.LockState) << "\n";
    return kExitOk;
}

} // namespace cli
