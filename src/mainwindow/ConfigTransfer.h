// The configuration transfers the configuration pages ask for, as they run
// on the device thread: read the configuration, write an edited copy of the
// image back (copy, write, read back and compare), switch the gas valves and
// detect the petrol injection system. Every function works on the live image
// of the manager it gets; the caller hands copies to the window.
#pragma once

#include "configuration/InjectionSystem.h"
#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;

// How a configuration write ended.
enum class TConfigWriteOutcome : uint8_t
{
    Ok,       // written and read back as sent
    Refused,  // nothing sent: no controller, or it is not unlocked
    Failed,   // a step was not acknowledged (Write tells which)
    Differing // written, but the read-back differs (DifferingFields)
};

// The byte parameter that holds the nominal working pressure.
inline constexpr uint8_t kWorkPressByteParam = 30;

struct TConfigWriteResult
{
    TConfigWriteOutcome Outcome = TConfigWriteOutcome::Refused;
    TWriteResult Write;
    // Why nothing was sent: values the controller must not get (Failed).
    std::vector<std::string> Invalid;
    // Names of the configuration fields the controller holds differently
    // from what was sent.
    std::vector<std::string> DifferingFields;

    bool Ok() const { return Outcome == TConfigWriteOutcome::Ok; }
};

// Reads and writes are refused without I/O unless a controller is connected
// and unlocked.
bool ConfigurationAccessible(const TDataManager &manager);

// Copies the configuration fields the pages edit from `edited` into `image`;
// identification, live readings, read-only fields and the opaque values the
// pages do not show stay as `image` has them.
void CopyConfigurationFields(const TNorviData &edited, TNorviData &image);

// The configuration of the generation into the live image (on 3.0 with the
// working pressure); false when refused or a read failed.
bool ReadConfigurationNow(TDataManager &manager);

// Asked on a 3.0 controller whose gas temperature sensor placement was
// edited: true resets the gas temperature correction to the standard of
// the new placement once the configuration is written.
using TPlacementQuestion = std::function<bool()>;

// Copies the edited fields into the live image and writes them through the
// verified write: checked first, stopped at the first step not
// acknowledged, read back and compared field by field.
TConfigWriteResult WriteConfigurationNow(TDataManager &manager, const TNorviData &edited,
                                         const TPlacementQuestion &resetTgasCorrection = {});

// The eight per-injector gas corrections (3.0 from revision D).
TWriteResult WriteInjectorCorrectionsNow(TDataManager &manager, const std::array<uint8_t, kCylinders> &corrections);
// Whether any per-injector correction of the image is not zero.
bool AnyInjectorCorrection(const TNorviData &image);

// The wizard markers (word parameter 14) alone.
TWriteResult WriteMarkersNow(TDataManager &manager, uint16_t markers);

// The service inspection interval and its time/distance ratio.
TWriteResult WriteInspectionNow(TDataManager &manager, uint16_t nextInspectionKm, uint8_t ratio);

// The gas valves: on sends action 1, off action 2.
inline constexpr uint8_t kValveOn = 1;
inline constexpr uint8_t kValveOff = 2;
bool ValveCommandNow(TDataManager &manager, bool on);

// What the injection-system detection found.
struct TInjSystemDetection
{
    bool Ok = false;
    TInjectionSystem System = TInjectionSystem::Other;
    bool FromInfoWord = false; // the controller named it itself
    // The phase-group words read (one, or two with more than four
    // injectors).
    std::vector<uint16_t> PhaseWords;
};

// The info word that names the injection system in its high byte.
inline constexpr uint8_t kInjSystemInfoWord = 38;

// The phase groups of the configured injectors tell the system; from
// revision F the controller then names it itself in the info word.
TInjSystemDetection DetectInjectionSystemNow(TDataManager &manager);

// "Inj= %d, %d, %d, %d" of one phase-group word.
std::string PhaseWordText(uint16_t phaseWord);

} // namespace lumex
