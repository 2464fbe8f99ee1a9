#include "configuration/ConfigVerify.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigValidator.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"

namespace lumex {

namespace {

std::string Joined(const std::vector<std::string> &items, const char *separator)
{
    std::string s;
    for (const auto &item : items)
        s += (s.empty() ? "" : separator) + item;
    return s;
}

} // namespace

std::vector<std::string> ConfigDifferences(const TNorviData &written, const TNorviData &readBack)
{
    std::vector<std::string> differing;
    for (const TConfigField *f : FieldsPresent(written)) {
        if (NotWritable(*f, written) || ReadBackReplaced(*f, written))
            continue;
        const unsigned mask = ReadBackMask(*f, written);
        if ((RawValue(*f, written) & mask) != (RawValue(*f, readBack) & mask))
            differing.emplace_back(f->Name);
    }
    return differing;
}

std::string TVerifiedWrite::Message() const
{
    if (!Refused.empty())
        return "not written: " + Joined(Refused, "; ");
    if (!Write.Ok)
        return Write.Message();
    if (!ReadBack)
        return "written, but reading it back failed";
    if (!Differences.empty())
        return "written, but the controller holds other values for: " + Joined(Differences, ", ");
    return "ok";
}

TVerifiedWrite WriteVerifiedConfiguration(TDataManager &manager)
{
    TVerifiedWrite r;
    TNorviData &d = manager.Data();
    r.Refused = WriteBlockers(d);
    if (!r.Refused.empty()) {
        r.Write.Ok = false;
        r.Write.Refusal = TWriteRefusal::InvalidValue;
        return r;
    }
    const TNorviData written = d;
    r.Write = WriteGenerationConfiguration(manager);
    if (!r.Write.Ok)
        return r;
    r.ReadBack = ReadGenerationConfiguration(manager);
    if (r.ReadBack)
        r.Differences = ConfigDifferences(written, d);
    return r;
}

} // namespace lumex
