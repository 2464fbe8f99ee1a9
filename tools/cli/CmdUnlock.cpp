// lumex2-cli unlock PASSWORD: makes the controller writable again.
#include "LockCommand.h"

namespace cli {

int RunUnlock(CliContext &ctx)
{
    return RunLockCommand(ctx, false);
}

} // namespace cli
