// Module settings files (".gaf"): the adapter's parameters in an INI
// layout, an "Info" section first and one section per saved part. Numbers
// are written and read with std::to_chars/from_chars, so the window's
// locale never changes a file. A file is built in memory and written
// atomically: a failed save leaves the old file as it was.
#pragma once

#include "modules/Sections.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

class TIniFile;
class TLogic;
class TModuleQuestions;
class TUIState;
class TVariable;

struct TModuleFileResult
{
    bool Ok = false;
    std::string Message; // shown to the user when not empty
};

// The exact shortest text that reads back as the same double.
std::string FormatFileDouble(double value);
// "." as separator, the general and the exponent form ("1.2E2"); none for
// text that is not a whole finite number.
std::optional<double> ParseFileDouble(std::string_view text);
std::optional<int64_t> ParseFileInteger(std::string_view text);

// The value text a variable is saved as; raises for a class that is never
// saved ("Unhandled variable type while saving: ...").
std::string FileValueText(const TVariable &v);
// Sets `v` from a file text; false (and `v` unchanged) for a text that is
// not a number or is outside the variable's range.
bool ApplyFileValue(TVariable &v, std::string_view text);

// The headless save and load flows.
class TModuleFile
{
public:
    // Detects the adapter and writes its parameters of `sections`; refuses
    // when the adapter did not answer.
    static TModuleFileResult Save(TLogic &logic, const std::string &path, const std::vector<TSection> &sections);
    // The file into the edited state, the questions through `questions`;
    // the parameters go to the device unless `skipDeviceWrite`. A declined
    // or failed load leaves the edited state equal to the device image.
    static TModuleFileResult Load(TLogic &logic, const std::string &path, const std::vector<TSection> &sections,
                                  bool skipDeviceWrite, TModuleQuestions &questions);
    // The part of Load that reads the parameters, for the fuzz target:
    // unknown and unreadable keys are collected, nothing raises.
    struct TApplied
    {
        bool Ok = true;
        std::vector<std::string> Unrecognized;
        std::vector<std::string> Unreadable;
    };
    static TApplied ApplySections(TUIState &state, const TIniFile &ini, const std::vector<TSection> &sections);
    // The Info of a file that the adapter whose version text (form 2) is
    // `adapterVersion` would ask about; true to go on.
    static bool CheckInfo(const TIniFile &ini, const std::string &adapterVersion, TModuleQuestions &questions,
                          std::string &message);
};

} // namespace lumex
