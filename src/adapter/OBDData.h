// The OBD function of the adapter as the module framework holds it: its
// command table, the configuration block layout, the device image and the
// edited state, and the pure conversions and texts of its values.
#pragma once

#include "adapter/AdapterData.h"
#include "modules/DataState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumex {

// The OBD commands; parameter is the one fixed byte of a query (none for
// commands that carry data of their own).
namespace obd_cmd {
inline constexpr TAdapterCommand kPresence{0x70, 0x01, 4};
inline constexpr TAdapterCommand kReadConfig{0x71, 0xA5, 14};
inline constexpr TAdapterCommand kWriteConfig{0x72, 0x00, 4};
inline constexpr TAdapterCommand kStartDetect{0x73, 0xA5, 4};
inline constexpr TAdapterCommand kCancelDetect{0x74, 0xA5, 4};
inline constexpr TAdapterCommand kTakeDetected{0x75, 0xA5, 4};
inline constexpr TAdapterCommand kConnect{0x76, 0x00, 4};
inline constexpr TAdapterCommand kDisconnect{0x77, 0xA5, 4};
inline constexpr TAdapterCommand kStatus{0x78, 0xA5, 13};
inline constexpr TAdapterCommand kReadPids{0x79, 0xA5, 11};
inline constexpr TAdapterCommand kReadAllows{0x7A, 0xA5, 11};
inline constexpr TAdapterCommand kWriteAllows{0x7B, 0x00, 4};
inline constexpr TAdapterCommand kLive{0x7C, 0xA5, 20};
inline constexpr TAdapterCommand kTroubleState{0x7D, 0xA5, 13};
inline constexpr TAdapterCommand kClearCodes{0x7E, 0xA5, 4};
inline constexpr TAdapterCommand kRequestRead{0x7F, 0x07, 4};
inline constexpr TAdapterCommand kRecordedCodes{0x80, 0xA5, 24};
inline constexpr TAdapterCommand kPendingCodes{0x81, 0xA5, 24};
inline constexpr TAdapterCommand kFreezeFrames{0x82, 0xA5, 47};
inline constexpr TAdapterCommand kAcknowledge{0x83, 0x00, 4};
inline constexpr TAdapterCommand kLambda{0x85, 0x01, 12};
inline constexpr TAdapterCommand kWideLambda{0x86, 0x01, 20};
inline constexpr TAdapterCommand kReadItem{0x87, 0x00, 7};
inline constexpr TAdapterCommand kWriteCorrections{0x89, 0x00, 4};
inline constexpr TAdapterCommand kResetAdaptation{0x8C, 0x00, 4};

// The answer byte of an accepted request.
inline constexpr uint8_t kAccepted = 0xA5;
// The fixed bytes the connect request carries after the protocol code.
inline constexpr std::array<uint8_t, 8> kConnectTail{0x10, 0x11, 0x12, 0x00, 0x04, 0x10, 0x11, 0x12};
// The read request's mask: recorded codes, pending codes and freeze frame.
inline constexpr uint8_t kReadAll = 0x07;
// Acknowledgements of the trouble-code steps.
inline constexpr uint8_t kAckRead = 7;
inline constexpr uint8_t kAckClear = 8;
// The item the window reads while the adapter waits to connect.
inline constexpr uint8_t kItemDelayConnectCounter = 44;
// Which half of a bank a correction frame carries.
inline constexpr uint8_t kResetBank1 = 1;
inline constexpr uint8_t kResetBank2 = 2;
inline constexpr uint8_t kResetBoth = 3;
} // namespace obd_cmd

inline constexpr std::size_t kObdConfigBlockSize = 11;
inline constexpr std::size_t kObdPidBytes = 8;
inline constexpr std::size_t kObdCodeRecords = 7;
inline constexpr std::size_t kObdFreezeFrames = 2;
inline constexpr std::size_t kObdAdaptRows = 10;
inline constexpr std::size_t kObdAdaptColumns = 10;
inline constexpr std::size_t kObdAdaptHalfRows = 5;
inline constexpr std::size_t kObdFlagBytes = 4;
inline constexpr std::size_t kObdFlagViews = 33;
inline constexpr std::size_t kObdPidViews = 65;

// Link states ("OBDactionMain", taken modulo 128).
namespace obd_state {
inline constexpr int kUnknown = 0;
inline constexpr int kIdle = 1;
inline constexpr int kConnectingFirst = 2;
inline constexpr int kConnectingLast = 3;
inline constexpr int kConnectedFirst = 4;
inline constexpr int kConnectedLast = 5;
inline constexpr int kDisconnectingFirst = 6;
inline constexpr int kDisconnectingLast = 14;
inline constexpr int kDisconnectingTextLast = 13;
inline constexpr int kDisconnectedFirst = 15;
inline constexpr int kDisconnectedLast = 23;
inline constexpr int kDisconnectedTextLast = 22;
inline constexpr int kDetecting = 24;
inline constexpr int kDelayConnect = 25;
inline constexpr int kModulo = 128;
} // namespace obd_state

// Detection sub-states ("OBDactionDetect").
namespace obd_detect {
inline constexpr int kUnknown = 0;
inline constexpr int kIdle = 1;
inline constexpr int kTryingFirst = 2;
inline constexpr int kTryingLast = 7;
inline constexpr int kDetected = 8;
inline constexpr int kNotDetected = 9;
inline constexpr int kCancelled = 10;
inline constexpr int kError = 11;
} // namespace obd_detect

// Flag numbers of "OBDFlags1".."OBDFlags4" (1..32) the PC relies on.
namespace obd_flag {
inline constexpr int kSystemConnected = 6;
inline constexpr int kTroubleCodes = 18;
inline constexpr int kCheckEngine = 19;
inline constexpr int kFreezeFrame = 20;
inline constexpr int kDelayConnect = 32;
} // namespace obd_flag

// The PIDs the module's rules name.
namespace obd_pid {
inline constexpr int kFuelSystem = 0x03;
inline constexpr int kLoad = 0x04;
inline constexpr int kCoolant = 0x05;
inline constexpr int kStFtB1 = 0x06;
inline constexpr int kLtFtB1 = 0x07;
inline constexpr int kStFtB2 = 0x08;
inline constexpr int kLtFtB2 = 0x09;
inline constexpr int kMap = 0x0B;
inline constexpr int kRpm = 0x0C;
inline constexpr int kSpeed = 0x0D;
inline constexpr int kTiming = 0x0E;
inline constexpr int kIntakeAir = 0x0F;
inline constexpr int kMaf = 0x10;
inline constexpr int kThrottle = 0x11;
inline constexpr int kLambdaFirst = 0x14;
inline constexpr int kUegoFirst = 0x34;
inline constexpr int kDistanceWithMil = 0x21;
} // namespace obd_pid

// Where PID p (1..64) sits in the eight support bytes: byte (p-1) div 8,
// mask 0x80 shifted right by (p-1) mod 8. Mask 0 for p outside 1..64.
struct TPidBit
{
    std::size_t byte;
    uint8_t mask;
};
TPidBit PidBitMask(int pid);

// --- conversions of raw answer bytes ---
double ObdTrimPercent(uint8_t a);
int ObdRpm(uint8_t a, uint8_t b);
double ObdPercent255(uint8_t a);
double ObdTemperature(uint8_t a);
double ObdMapBar(uint8_t a);
double ObdTimingAdvance(uint8_t a);
double ObdMaf(uint8_t a, uint8_t b);
double ObdLambdaVolts(uint8_t a);
double ObdLambdaTrim(uint8_t a);
double ObdUegoRatio(uint8_t a, uint8_t b);
double ObdUegoCurrent(uint8_t a, uint8_t b);
double ObdDelayConnectSeconds(uint8_t a, uint8_t b);

// --- texts (English, but the link and detection state words, which come
// in the language in force) ---
// "ISO9141", "KWP2000", "CAN" or empty.
std::string ObdProtocolShortName(int code);
// The seven protocol names of the configuration list; empty outside 1..7.
std::string ObdProtocolName(int code);
const std::vector<std::string> &ObdProtocolNames();
std::string FuelSystemStatusText(int status);
// "P0123" from the code's two bytes.
std::string TroubleCodeText(uint8_t high, uint8_t low);
// The link state text; `protocol` is the display text of "OBDProtocol_EE".
std::string ObdLinkStateText(int state, const std::string &protocol);
// The detection sub-state text; `trying` the name of the protocol being
// tried or detected (empty when unknown).
std::string ObdDetectStateText(int detect, const std::string &trying);
bool ObdCarConnected(int state);
bool ObdDisconnecting(int state);
bool ObdIdle(int state);
bool ObdDetecting(int state, int detect);
bool ObdDelayConnect(int state);

// One trouble-code record of the 0x80/0x81 answers.
struct TTroubleCodeRecord
{
    uint8_t Unit = 0;
    uint16_t Code = 0;
    bool operator==(const TTroubleCodeRecord &) const = default;
};
using TTroubleCodeRecords = std::array<TTroubleCodeRecord, 2 * kObdCodeRecords>;

// The seventeen values of one stored freeze frame.
class TOBDFreezeFrame
{
public:
    TOBDFreezeFrame(TVariableList &list, std::size_t index);
    TByteVariable &Device;
    TWordVariable &ErrorCode;
    TByteVariable &FuelSysStatB1;
    TByteVariable &FuelSysStatB2;
    TDoubleVariable &Load;
    TDoubleVariable &CoolantTemp;
    TDoubleVariable &StFtB1;
    TDoubleVariable &LtFtB1;
    TDoubleVariable &StFtB2;
    TDoubleVariable &LtFtB2;
    TDoubleVariable &MAP;
    TWordVariable &RPM;
    TDoubleVariable &Speed;
    TDoubleVariable &TimAdv;
    TDoubleVariable &IAT;
    TDoubleVariable &MAF;
    TDoubleVariable &ThrotPos;
};

// A live value and the PID whose support and permission gate its text.
struct TObdLiveValue
{
    TVariable *Variable;
    int Pid;
};

class TDevStateOBD : public TBaseDevState
{
public:
    explicit TDevStateOBD(TDeviceState &aggregate);

    // Configuration block.
    TByteVariable &Protocol;
    TBoolByteVariable &Config1;
    TBoolByteVariable &Config2;
    TDoubleVariable &AdaptStFtBase;
    TByteVariable &AdaptStFtRange;
    TDoubleVariable &AdaptLtFtBaseB1;
    TDoubleVariable &AdaptLtFtBaseB2;
    TByteVariable &AdaptLtFtRange;
    TByteVariable &AdaptMaxCorr;
    TWordVariable &AdaptMinRPM;
    TByteVariable &AdaptType;

    // Status.
    std::array<TBoolByteVariable *, kObdFlagBytes> Flags{};
    TByteVariable &ActionMain;
    TByteVariable &ActionDetect;
    TByteVariable &ActionConnecting;
    TByteVariable &ActionConnected;
    TByteVariable &ActualProtocol;
    TByteVariable &NumberOfControllers;

    std::array<TBoolByteVariable *, kObdPidBytes> Pids{};
    std::array<TBoolByteVariable *, kObdPidBytes> Allows{};

    // Live data.
    TDoubleVariable &StFtB1;
    TDoubleVariable &LtFtB1;
    TDoubleVariable &StFtB2;
    TDoubleVariable &LtFtB2;
    TWordVariable &RPM;
    TDoubleVariable &Speed;
    TDoubleVariable &Load;
    TDoubleVariable &CoolantTemp;
    TDoubleVariable &MAP;
    TDoubleVariable &TimingAdvance;
    TDoubleVariable &IntakeAirTemp;
    TDoubleVariable &MAF;
    TDoubleVariable &AbslThrottlePos;
    TByteVariable &FuelSystemStatusB1;
    TByteVariable &FuelSystemStatusB2;
    // Oxygen sensors 1..4 of bank 1, then of bank 2.
    std::array<TDoubleOBDVariable *, 8> Lambda{};
    std::array<TDoubleOBDVariable *, 8> LambdaStft{};
    // Wide-range sensors 1..8.
    std::array<TDoubleOBDVariable *, 8> UegoRatio{};
    std::array<TDoubleOBDVariable *, 8> UegoCurrent{};

    // Trouble codes.
    TByteVariable &NumberOfTroubleCodes;
    TByteVariable &StateClearErrors;
    TByteVariable &StateReadTroubleCodes;
    TByteVariable &StateReadPendingTroubleCodes;
    TByteVariable &StateReadFreezeFrame;
    TByteVariable &ErrorProtocolCode;
    TWordVariable &DistanceTraveledWithMILon;
    TTroubleCodeRecords TroubleCodeRecords{};
    std::vector<TOBDFreezeFrame> FreezeFrames;

    TDoubleVariable *DelayConnectCounter = nullptr;

    // Adaptation.
    std::array<TByteVariable *, kObdAdaptRows> AdaptLoadThresholds{};
    std::array<TWordVariable *, kObdAdaptColumns> AdaptRpmThresholds{};
    std::array<std::array<TDoubleVariable *, kObdAdaptColumns>, kObdAdaptRows> CorrectionsBank1{};
    std::array<std::array<TDoubleVariable *, kObdAdaptColumns>, kObdAdaptRows> CorrectionsBank2{};

    // Every live value with its gating PID (fuel-system status excluded).
    const std::vector<TObdLiveValue> &LiveValues() const { return live_; }
    // Recomputes the texts that depend on the link state and PID bytes.
    void RefreshLiveTexts();

    int LinkState() const { return static_cast<int>(ActionMain.GetAsInteger()) % obd_state::kModulo; }
    bool IsCarConnected() const { return ObdCarConnected(LinkState()); }
    bool IsDisconnecting() const { return ObdDisconnecting(LinkState()); }
    bool IsIdleState() const { return ObdIdle(LinkState()); }
    bool IsDetectingState() const { return ObdDetecting(LinkState(), static_cast<int>(ActionDetect.GetAsInteger())); }
    bool IsDelayConnectState() const { return ObdDelayConnect(LinkState()); }
    // Flag n (1..32) of the four flag bytes.
    bool Flag(int n) const;
    // Whether PID p is supported by the car and allowed to the adapter.
    bool PidAvailable(int pid) const;
    bool PidSupported(int pid) const;

protected:
    std::vector<TObdLiveValue> live_;
};

// The edited state: the same variables, then the PC-only views.
class TUIStateOBD : public TDevStateOBD
{
public:
    TUIStateOBD(TDeviceState &aggregate, TDevStateOBD &twin);

    TBoolByteVariable &LocalOBDReadings;
    TBoolByteVariable &IsAutoConnect;
    TBoolByteVariable &IsAdaptationEnabled;
    TBoolByteVariable &IsCorrectionsInverted;
    TBoolByteVariable &IsAdaptControlLtFt;
    TBoolByteVariable &IsAdaptUseMinRPM;
    TBoolByteVariable &IsNotUseDivCorrs;
    std::array<TBoolByteVariable *, kObdFlagViews> FlagViews{};
    std::array<TBoolByteVariable *, kObdPidViews> PidViews{};
    std::array<TBoolByteVariable *, kObdPidViews> AllowViews{};

    void AfterCopy() override;

private:
    TDevStateOBD &twin_;
};

// --- the configuration block of 0x71/0x72 ---
std::array<uint8_t, kObdConfigBlockSize> BuildOBDConfigBlock(const TDevStateOBD &s);
void DecodeOBDConfigBlock(std::span<const uint8_t, kObdConfigBlockSize> block, TDevStateOBD &s);

// --- answer decoders: false, and nothing stored, for an answer shorter
// than its command's ---
bool DecodeOBDConfigAnswer(std::span<const uint8_t> answer, TDevStateOBD &s);
bool DecodeOBDStatus(std::span<const uint8_t> answer, TDevStateOBD &s);
bool DecodeOBDPidBytes(std::span<const uint8_t> answer, std::array<TBoolByteVariable *, kObdPidBytes> &bytes);
bool DecodeOBDLive(std::span<const uint8_t> answer, TDevStateOBD &s);
bool DecodeOBDTroubleState(std::span<const uint8_t> answer, TDevStateOBD &s);
// `pending` picks the second seven records.
bool DecodeOBDCodes(std::span<const uint8_t> answer, bool pending, TDevStateOBD &s);
bool DecodeOBDFreezeFrames(std::span<const uint8_t> answer, TDevStateOBD &s);
bool DecodeOBDLambda(std::span<const uint8_t> answer, TDevStateOBD &s);
bool DecodeOBDWideLambda(std::span<const uint8_t> answer, TDevStateOBD &s);
// Item answers: bytes 2-5 a big-endian number that must fit the
// variable's own length; false, and nothing stored, when it does not.
bool DecodeOBDItem(std::span<const uint8_t> answer, TVariable &target);
// The 50 data bytes of a correction frame: rows 0-4 or 5-9 of a bank.
std::array<uint8_t, kObdAdaptHalfRows * kObdAdaptColumns> OBDCorrectionHalf(const TDevStateOBD &s, int bank, int half);

} // namespace lumex
