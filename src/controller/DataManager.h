// The one object that speaks the gas controller's protocol: every request
// goes through Transact, which writes the frame, receives the fixed-length
// answer, applies the error rule and hands the answer to the caller's
// decoder. It also keeps the link state, runs the poll cycle and reconnects.
#pragma once

#include "controller/AnswerDecode.h"
#include "controller/BlockCodec.h"
#include "controller/ComputerCode.h"
#include "controller/NorviData.h"
#include "controller/WorkType.h"
#include "controller/WriteResult.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace lumex {

class TComMultiPort;
class TProgramProfile;
class TSequenceControl;

// A command outside the program's command list: a fault of the caller, never
// of the device. Nothing was sent.
class ECommandNotAllowed : public std::logic_error
{
public:
    explicit ECommandNotAllowed(uint8_t code);
    uint8_t Code() const { return code_; }

private:
    uint8_t code_;
};

// What the poll cycle reads besides nothing (mode 0).
enum TPollMode : int
{
    pmNone = 0,
    pmReadings = 1,
    pmCalibration14 = 2,
    pmCalibration30 = 4,
    pmAdaptationBank1 = 5,
    pmAdaptationBank2 = 6
};

// Steps that belong to the parameter-block and service layers. The poll
// cycle and the reconnection call them when they are installed; until then
// those steps read nothing.
struct TLinkExtensions
{
    // Reconnection, after identification: the configuration of the
    // generation, the model block (0x10) and the trouble flags (0x13).
    std::function<void()> ReadAfterIdentification;
    // Poll modes 2 and 4: command 0x21, decoded for 0x30 when the argument
    // is true.
    std::function<bool(bool g3)> ReadCalibrationState;
    // Poll modes 5 and 6: both halves of adaptation table bank 1 or 2.
    std::function<bool(int bank)> ReadAdaptationBank;
    // Whether the OBD module reports adaptation support.
    std::function<bool()> AdaptationSupported;
};

class TDataManager
{
public:
    // The decoder gets the whole answer frame: the real answer when it was
    // good, all zeros when it failed and the error rule says store anyway.
    using TDecoder = std::function<void(TAnswerBytes answer)>;

    TDataManager(TComMultiPort &port, TNorviData &data);
    TDataManager(const TDataManager &) = delete;
    TDataManager &operator=(const TDataManager &) = delete;

    // --- Link state ---
    bool LinkUp = false;
    bool CycleError = false;
    uint32_t FailedCycles = 0;
    bool PreviousCycleFailed = true;
    bool JustConnected = false;
    bool SoftwareCompatible = true;
    bool CompatNoticePending = false;
    bool TroubleCodesPresent = false;

    bool IsLinkUp() const { return LinkUp; }
    void SetLinkUp(bool value) { LinkUp = value; }

    TComMultiPort &Port() { return port_; }
    TNorviData &Data() { return data_; }
    const TNorviData &Data() const { return data_; }
    TLinkExtensions &Extensions() { return extensions_; }

    // The generations served and the commands allowed on the wire; the main
    // configurator's unless set.
    const TProgramProfile &Profile() const { return *profile_; }
    void SetProfile(const TProgramProfile &profile) { profile_ = &profile; }

    // The progress and cancel of the sequence running now (none outside
    // one); set through TSequenceScope.
    TSequenceControl *SequenceControl() const { return sequence_; }
    void SetSequenceControl(TSequenceControl *control) { sequence_ = control; }

    // Called by CheckVersion(true) for a known but unsupported version code,
    // with its version digits; the user interface shows its message box.
    std::function<void(const std::string &versionDigits)> OnUnsupportedVersion;
    // The date the programming-PC record is stamped with.
    std::function<TDateParts()> LocalTime = LocalDateNow;

    // --- Transactions ---

    // One request and its answer. Sends nothing and fails at once while the
    // link is down and a device is known; throws ECommandNotAllowed, before
    // any I/O, for a command the profile does not allow. Returns whether the answer was
    // good; `decode` runs unless the error rule abandons. The port lock the
    // write took is released exactly once on every path.
    bool Transact(uint8_t code, std::span<const uint8_t> params, const TDecoder &decode);
    bool Transact(uint8_t code, std::initializer_list<uint8_t> params, const TDecoder &decode)
    {
        return Transact(code, std::span<const uint8_t>(params.begin(), params.size()), decode);
    }

    // The receive step: zero-fills the buffer, fails without I/O while the
    // link is down and a device is known, otherwise receives the whole
    // answer and sets LinkUp to the result. The port lock is released by the
    // transaction that wrote the request.
    bool ReceiveAnswer(std::span<uint8_t> answer);
    // The error rule: true tells the caller to store nothing.
    bool AbandonOnFailure(bool ok);

    // True when a request would be answered at once with a failure.
    bool RequestsSuppressed() const;

    // --- Identification ---
    bool ReadVersionCode();
    bool ReadCompileInfo();
    bool ReadIdentByte(uint8_t index);
    bool ReadIdentification();
    bool CheckVersion(bool showMessage);
    // Serial number text from memory words 84, 88 and 90.
    std::string ControllerSerial();

    // --- Live readings ---
    bool ReadLiveData();
    bool ReadLiveDataFull();
    bool ReadPcol();
    bool ReadCalRPM();
    bool ReadLoadIndex();
    // The variable's value; 0 on failure and for index 0, which sends nothing.
    uint16_t ReadWordVar(uint8_t index);
    // The value when the error rule lets it be stored (0 after a failure in
    // the second failing cycle), nothing when it abandons or for index 0.
    std::optional<uint16_t> ReadWordVarForStore(uint8_t index);

    // --- Service commands needed by the link itself ---
    bool ReadLockState();
    // The memory word's value; 0 on failure.
    uint16_t ReadMemWord(uint16_t address);

    // --- Poll cycle and connection ---
    // One cycle for the page on screen; true when no answer failed.
    bool PollCycle(int mode);
    // Close and reopen the port, identify and check the controller.
    void Reconnect();

    // ===== Parameter blocks and service commands =====
    // Implemented in DataManagerParams.cpp, DataManagerConfig.cpp,
    // DataManagerModel.cpp, DataManagerMaps.cpp, DataManagerAdaptation.cpp
    // and DataManagerService.cpp. Every write that changes the controller is
    // refused without I/O while LockState is not kLockUnlocked.

    // Why the most recent write operation sent nothing (None when it was sent).
    TWriteRefusal LastRefusal() const { return lastRefusal_; }
    bool WritesAllowed() const;

    // Indexed parameters. Reads store into the image by the parameter tables
    // and, when asked, hand back the raw value; index 0 sends nothing. The
    // one-argument writes send the image's value.
    bool ReadByteParam(uint8_t index, uint8_t *value = nullptr);
    bool WriteByteParam(uint8_t index, uint8_t value);
    bool WriteByteParam(uint8_t index);
    bool ReadWordParam(uint8_t index, uint16_t *value = nullptr);
    bool WriteWordParam(uint8_t index, uint16_t value);
    bool WriteWordParam(uint8_t index);
    bool ReadModelParam(uint8_t index, uint16_t *wire = nullptr);
    // Unknown indexes and values the wire cannot carry are refused.
    bool WriteModelParam(uint8_t index, uint16_t wire);
    bool WriteModelParam(uint8_t index);

    // Configuration blocks and small records.
    bool ReadBasicConfig();
    bool WriteBasicConfig();
    bool ReadBasicConfigG3();
    bool WriteBasicConfigG3();
    bool ReadLevelSensorA();
    bool ReadLevelSensorB();
    bool WriteLevelSensorA();
    bool WriteLevelSensorB();
    bool ReadInjectorParams();
    bool WriteInjectorParams(const std::array<uint8_t, 12> &record);
    bool ReadInspection();
    bool WriteInspection();

    // Model, Model2 point sets and corrections.
    bool ReadModelBlock();
    bool ReadModelPoints(TModelPoints &points);
    bool WriteModelPoints(const TModelPoints &points);
    bool ReadModel2SetA(unsigned half);
    bool ReadModel2SetB(unsigned half);
    bool WriteModel2SetA(unsigned half);
    bool WriteModel2SetB(unsigned half);
    bool ReadCorrTable(TCorrTable table);
    bool WriteCorrTable(TCorrTable table);
    bool ReadInjCorr();
    bool WriteInjCorr();

    // Maps. Whole-map loops stop at the first failed row.
    bool ReadMapG3Row(unsigned row);
    bool ReadMapG3RowB(unsigned row);
    bool ReadMapG3();
    bool ReadMapG3B();
    bool WriteMapG3Row(unsigned row);
    bool WriteMapG3();
    bool ClearMap(uint8_t selector);
    std::optional<std::array<uint16_t, 16>> ReadPetrolMapBlock(unsigned block);
    std::optional<std::array<uint16_t, 16>> ReadGasMapBlock(unsigned block);
    // Both point lists; points above `limit` bar are dropped. The lists are
    // left as they were when a read fails.
    bool ReadMapPoints(double limit, TMapPointList &petrol, TMapPointList &gas);
    bool ClearMapPoints(bool gas);

    // OBD adaptation.
    bool ReadAdaptationInfo();
    bool ReadAdaptationCorr(unsigned bank, unsigned half);
    bool WriteAdaptationCorr(unsigned bank, unsigned half);
    bool ReadAdaptationBank(unsigned bank);

    // Service commands.
    TWorkType RequestedWorkType = TWorkType::Stop;
    bool SetWorkType(TWorkType workType);
    bool ReadCalibrationState(bool g3);
    bool ReadTroubleFlags();
    bool ClearTroubleCodes();
    bool ReadErrorLogRecord(unsigned slot);
    // Slot by slot from 0 up to the first failure; the number read.
    unsigned ReadErrorLog();
    bool LockDevice(uint32_t password);
    bool UnlockDevice(uint32_t password);
    bool ReadLockStateB();
    // The memory byte's value; 0 on failure.
    uint8_t ReadMemByte(uint16_t address);
    // The memory byte or word; nothing when the read failed, so a caller
    // can tell a failure from a stored 0.
    std::optional<uint8_t> TryReadMemByte(uint16_t address);
    std::optional<uint16_t> TryReadMemWord(uint16_t address);
    bool WriteMemWord(uint16_t address, uint16_t value);
    bool WriteMemByte(uint16_t address, uint8_t value);
    bool ValveAction(uint8_t action);
    bool WriteEmulatorSwitches(uint8_t mask);
    bool ReadEmulatorSwitches();
    bool ReadInjSystemDetect(unsigned half);
    bool ReadInjTestCounters();
    bool ReadInjTestValues();
    bool StartInjTest(uint8_t mask);
    bool ReadComputerCodes();
    bool WriteComputerCode(uint32_t code, uint32_t dateCode);
    // Records this PC, with the date code of now, as the programming PC.
    bool RecordProgrammingPc();

private:
    // A request that changes the controller: refused (no I/O) while locked.
    bool TransactWrite(uint8_t code, std::span<const uint8_t> params);
    bool TransactWrite(uint8_t code, std::initializer_list<uint8_t> params)
    {
        return TransactWrite(code, std::span<const uint8_t>(params.begin(), params.size()));
    }
    bool Refuse(TWriteRefusal why);
    TWriteRefusal lastRefusal_ = TWriteRefusal::None;
    // ===== end of parameter blocks and service commands =====

    void ReadForMode(int mode);
    // A port failure that reached us as an exception counts as a failed answer.
    void FailFromException();

    TComMultiPort &port_;
    TNorviData &data_;
    const TProgramProfile *profile_;
    TLinkExtensions extensions_;
    TSequenceControl *sequence_ = nullptr;
};

} // namespace lumex
