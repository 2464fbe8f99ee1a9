// lumex2-cli lock PASSWORD: locks the controller against writes.
#include "LockCommand.h"

namespace cli {

int RunLock(CliContext &ctx)
{
    return RunLockCommand(ctx, true);
}

} // namespace cli
