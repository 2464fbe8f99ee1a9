// A configuration write that is checked before and after: the image is
// refused when it holds values the controller must not get, and once
// written the configuration is read back and compared field by field.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <string>
#include <vector>

namespace lumex {

class TDataManager;

// The fields the configuration write sends whose read-back differs from
// what was written, by field name. Fields the controller replaces on
// reading are left out, and only the bits a read gives back count.
std::vector<std::string> ConfigDifferences(const TNorviData &written, const TNorviData &readBack);

struct TVerifiedWrite
{
    std::vector<std::string> Refused; // why nothing was sent
    TWriteResult Write;               // the write itself (wire order, stops at the first failed step)
    bool ReadBack = false;            // the read-back succeeded
    std::vector<std::string> Differences;

    bool Ok() const { return Refused.empty() && Write.Ok && ReadBack && Differences.empty(); }
    std::string Message() const;
};

// Writes the image's configuration through WriteGenerationConfiguration,
// then reads it back and compares. The image holds the read-back afterwards.
TVerifiedWrite WriteVerifiedConfiguration(TDataManager &manager);

} // namespace lumex
