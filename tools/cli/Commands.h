// The commands of lumex2-cli. Each lives in a file of its own.
#pragma once

#include "CliContext.h"

#include <span>

namespace cli {

std::span<const CommandEntry> Commands();

} // namespace cli
