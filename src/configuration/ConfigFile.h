// The configuration file (.gcf) without a device: the text a save writes
// for a data image, and what a load takes from a file's text into a copy of
// the controller's image, with the identification check, the defaults and
// the range checks. The device side is ConfigFileOps.
#pragma once

#include "configuration/GcfLayout.h"
#include "controller/NorviData.h"
#include "documents/IniFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

// What the Info section says about the controller and the program.
struct TGcfInfo
{
    std::string SaveDate;
    std::string SoftVer;
};

// The generation digits of an identification text ("14", "15", "30"):
// the two digits that end the first word's run of digits, so an
// identification byte of 10 or more before them cannot shift them. Nothing
// when the text is too short to hold five digits and the generation.
std::optional<std::string> GcfGeneration(std::string_view ver);

// The image as a save writes it: each map entry whose second word carries
// the flag bit gets as first word the mean of its second and third words
// (full words, no 16-bit wrap) with the flag bit set. Files in the field
// rely on this.
TNorviData GcfSaveView(const TNorviData &d);

// A complete file for the image: every section and key of the layout of the
// image's generation and revision, nothing kept from any earlier file.
TIniFile BuildGcf(const TNorviData &d, const TImagePoints &points, const TGcfInfo &info);

struct TGcfLoad
{
    bool Refused = false;
    std::string Message; // why the file was refused
    std::vector<std::string> Warnings;
    TNorviData Image;    // the controller's image with the file's values
    TImagePoints Points; // likewise
    bool HasModelPoints = false;
    bool HasCorrections = false;

    explicit operator bool() const { return !Refused; }
};

// Takes the file's values into a copy of the controller's image. A file of
// another generation, without an identification or that is not a text
// file is refused. Missing keys take their defaults; a value that does not
// parse, lies outside its range or its list takes the default too, with a
// warning; InjSW is limited to the controller's channels. A byte-order mark
// is skipped and a key given twice is warned about (the first counts).
TGcfLoad ApplyGcf(std::string_view fileText, const TNorviData &controller, const TImagePoints &points, bool modelOnly);

// One key on which the controller and the file differ.
struct TGcfDifference
{
    std::string Section;
    std::string Key;
    std::string ControllerValue, FileValue;
    std::string ControllerText, FileText; // as the pages show it, for keys with a configuration field

    bool operator==(const TGcfDifference &) const = default;
};

// The keys a load would change, in file order: the controller's image (as
// a save would write it) against the image the file gives.
std::vector<TGcfDifference> GcfDifferences(const TNorviData &controller, const TImagePoints &controllerPoints,
                                           const TGcfLoad &file, bool modelOnly);

} // namespace lumex
