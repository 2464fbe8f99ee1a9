// What "lock" and "unlock" share: the password check made before anything
// is sent, the command, and the lock state printed afterwards.
#pragma once

#include "CliContext.h"

namespace cli {

int RunLockCommand(CliContext &ctx, bool lock);

} // namespace cli
