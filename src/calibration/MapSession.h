// The map page's operations on the controller, without a window: reading
// the points (and the G3 map), clearing the maps and the adaptation
// template, changing the RPM range and sending a map file's points. Each is
// a script in wire order; a sequence stops at its first failed write and
// reports that step.
#pragma once

#include "calibration/MapCalculation.h"
#include "calibration/MapFile.h"
#include "calibration/MapG3.h"
#include "configuration/ConfigModified.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

class TDataManager;

struct TMapReadResult
{
    bool Ok = false;
    bool G3Read = false;    // the G3 map was read (3.0 from D, not with sensor code 1)
    bool Cancelled = false; // stopped between two frames; the page keeps what it showed
    TG3Coverage Coverage;
};

struct TMapOpResult
{
    bool Ran = false;      // false: not running, declined, or refused before any write
    bool Declined = false; // the installer answered No
    TWriteResult Write;    // the first failed step, when one failed
    // Message key of the information shown afterwards (strMapClear), or empty.
    std::string Information;
    // A malformed point, for file loads: nothing was sent.
    std::string Error;
    bool ReadOk = false; // the read that ends a successful operation
};

class TMapSession
{
public:
    TMapSession(TDataManager &manager, TImagePoints &points, TModifiedFlag &modified, TAsker ask,
                TMessageTextFn text = MessageTextInForce);

    // "MapG3" ticked: clears go to the G3 maps.
    bool MapG3Ticked = false;

    // Map operations do nothing unless a controller is connected and running.
    bool Running() const;

    TMapReadResult Read();
    // "Oblicz nastawy": the point check, then the model read from the
    // controller (the Model2 points on 3.0, the model block on 1.4/1.5) and
    // the chosen calculation over the image. Nothing while not running.
    std::optional<TMapCalcResult> Calculate();
    TMapOpResult ClearPetrolMap();
    TMapOpResult ClearGasMap();
    TMapOpResult ClearTemplate();
    TMapOpResult ChangeRPMRange(uint8_t index);
    // Sends the points of the kinds the file holds; the counts of other
    // kinds stay. Points that do not fit a map word reject the whole file.
    TMapOpResult LoadFile(const TMapFile &file);

private:
    bool Ask(const std::string &text);
    TMapOpResult Finish(TMapOpResult r);

    TDataManager &m_;
    TImagePoints &points_;
    TModifiedFlag &modified_;
    TAsker ask_;
    TMessageTextFn text_;
};

} // namespace lumex
