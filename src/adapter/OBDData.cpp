#include "adapter/OBDData.h"

#include "documents/LangManager.h"

#include "common/Format.h"
#include "modules/Sections.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

constexpr int kByteBits = 8;
constexpr int kSignBias = 128;
constexpr double kPercent = 100.0;
constexpr int kPidsPerByte = 8;
constexpr uint8_t kHighBit = 0x80;
constexpr uint8_t kTypeBits = 0x07;
constexpr uint8_t kConfig2Bits = 0xF8;
constexpr uint8_t kNoLambdaTrim = 0xFF;

std::string N(const std::string &name)
{
    return MakeVariableName(TSection::OBD, name);
}

std::string Indexed(const char *pattern, int i)
{
    return FormatText(pattern, i);
}

std::string Indexed(const char *pattern, int i, int j)
{
    return FormatText(pattern, i, j);
}

int Signed(uint8_t b)
{
    return static_cast<int8_t>(b);
}

// The conversions of Raw to value, one per kind of quantity.
const TRawToValue &SignedByte()
{
    static const TRawToValue f =
        MakeRawToValue([](const TVariable &, std::span<const uint8_t> r) { return static_cast<double>(Signed(r[0])); });
    return f;
}

const TValueToRaw &RoundedByte()
{
    static const TValueToRaw f = MakeValueToRaw([](const TVariable &, double v, std::span<uint8_t> r) {
        r[0] = static_cast<uint8_t>(static_cast<int>(std::lround(v)));
    });
    return f;
}

TRawToValue OneByte(double (*fn)(uint8_t))
{
    return MakeRawToValue([fn](const TVariable &, std::span<const uint8_t> r) { return fn(r[0]); });
}

TRawToValue TwoBytes(double (*fn)(uint8_t, uint8_t))
{
    return MakeRawToValue([fn](const TVariable &, std::span<const uint8_t> r) { return fn(r[0], r[1]); });
}

const TRawToValue &RpmConversion()
{
    static const TRawToValue f = MakeRawToValue(
        [](const TVariable &, std::span<const uint8_t> r) { return static_cast<double>(ObdRpm(r[0], r[1])); });
    return f;
}

double SpeedKmh(uint8_t a)
{
    return a;
}

// A double of one signed byte that the user edits: rounded back on write.
TDoubleVariable &SignedParam(TVariableList &list, const std::string &name, int32_t def)
{
    auto &v = list.CreateParam<TDoubleVariable>(def, N(name), 1);
    v.SetLimits(-kSignBias, kSignBias - 1);
    v.SetOnRawToValue(SignedByte());
    v.SetOnValueToRaw(RoundedByte());
    v.SetFormat("%.0f");
    return v;
}

template <typename T> T &Plain(TVariableList &list, const std::string &name)
{
    return list.Create<T>(N(name));
}

TBoolByteVariable &ParamNotSaved(TVariableList &list, const std::string &name)
{
    auto &v = list.CreateParam<TBoolByteVariable>(0, N(name));
    v.IsParam = false;
    return v;
}

TDoubleVariable &LiveDouble(TVariableList &list, const std::string &name, std::size_t length, TRawToValue conv,
                            const char *format)
{
    auto &v = list.Create<TDoubleVariable>(N(name), length);
    v.SetOnRawToValue(std::move(conv));
    v.SetFormat(format);
    return v;
}

TDoubleOBDVariable &OxygenValue(TVariableList &list, const std::string &name, std::size_t length, TRawToValue conv,
                                const char *format)
{
    auto &v = list.Create<TDoubleOBDVariable>(N(name), length);
    v.SetOnRawToValue(std::move(conv));
    v.SetFormat(format);
    return v;
}

// Adapter-internal diagnostics: plain bytes generated from their patterns.
struct TDiagnosticRow
{
    const char *pattern;
    int first1, last1; // -1: not indexed
    int first2, last2; // -1: one index only
    bool hex;
};

constexpr TDiagnosticRow kDiagnostics[] = {
    {"OBDTEMPaddressOfControllers_ISO_KWP__[%d]", 0, 2, -1, -1, true},
    {"OBDTEMPavailablePIDs_00__[%d][%d]", 0, 2, 0, 3, true},
    {"FOBDTEMPidOfControllers_CAN__[%d][%d]", 0, 2, 0, 3, true},
    {"OBDpreferredNrOfIDstd_CAN__[%d]", 0, 1, -1, -1, true},
    {"OBDpreferredAddresses_ISO_KWP__[%d]", 0, 2, -1, -1, true},
    {"OBDpreferredAddresses29bit_CAN__[%d]", 0, 2, -1, -1, true},
    {"OBDidOfController_CAN__[%d]", 0, 3, -1, -1, true},
    {"OBDaddressOfController_ISO_KWP", -1, -1, -1, -1, true},
    {"OBDaddressID29bit_CAN", -1, -1, -1, -1, true},
    {"OBDonBoardTestInfo__[%d]", 1, 3, -1, -1, false},
    {"OBDoxygenSensorLocations", -1, -1, -1, -1, false},
    {"OBDversion", -1, -1, -1, -1, false},
    {"OBDavailablePIDs_40__[%d]", 1, 4, -1, -1, false},
    {"OBDaddressing", -1, -1, -1, -1, false},
    {"OBDkw1", -1, -1, -1, -1, false},
    {"OBDkw2", -1, -1, -1, -1, false},
};

constexpr TDiagnosticRow kDiagnosticsAfterCounter[] = {
    {"OBDLiveLEDs__[%d]", 1, 2, -1, -1, false},
    {"OBDnumberOfSendingErrors", -1, -1, -1, -1, false},
    {"OBDnumberOfTransmissionTimeout", -1, -1, -1, -1, false},
    {"OBDliveCommandSize", -1, -1, -1, -1, false},
    {"OBDliveCounter", -1, -1, -1, -1, false},
    {"OBDstateReadLiveVar", -1, -1, -1, -1, false},
    {"OBDstatusTest", -1, -1, -1, -1, false},
    {"helpVar1", -1, -1, -1, -1, false},
    {"helpVar2", -1, -1, -1, -1, false},
    {"helpVar3", -1, -1, -1, -1, false},
    {"helpVar4", -1, -1, -1, -1, false},
    {"helpVar5", -1, -1, -1, -1, false},
    {"OBDLiveCommandTable__[%d]", 1, 47, -1, -1, true},
};

void CreateDiagnostics(TVariableList &list, std::span<const TDiagnosticRow> rows)
{
    for (const TDiagnosticRow &row : rows) {
        auto make = [&](const std::string &name) {
            auto &v = Plain<TByteVariable>(list, name);
            if (row.hex)
                v.SetFormat("%.2x");
        };
        if (row.first1 < 0) {
            make(row.pattern);
            continue;
        }
        for (int i = row.first1; i <= row.last1; ++i) {
            if (row.first2 < 0) {
                make(Indexed(row.pattern, i));
                continue;
            }
            for (int j = row.first2; j <= row.last2; ++j)
                make(Indexed(row.pattern, i, j));
        }
    }
}

constexpr const char *kPidByteNames[kObdPidBytes] = {"01to08", "09to10", "11to18", "19to20",
                                                     "21to28", "29to30", "31to38", "39to40"};

constexpr const char *kFlagNames[kObdFlagViews] = {
    "INVALID_00",
    "isAllowToUse",
    "isRequestToDetectProtocol",
    "isRequestToBreakDetectProtocol",
    "isRequestToConnect",
    "isRequestToDisconnect",
    "isSystemConnected",
    "isWaitingForTimeout",
    "isUNKNOWN_08",
    "isDataReadyTo",
    "isDataReadyFrom",
    "isFirstReading",
    "isSecondReading",
    "isThirdReading",
    "isRequestClearTroubleCodes",
    "isRequestReadTroubleCodes",
    "isRequestReadPendingTroubleCodes",
    "isRequestReadFreezeFrame",
    "isTroubleCodes",
    "isCheckEngine",
    "isFreezeFrame",
    "isInitInProgress",
    "isReceivingInProgress",
    "isSendingInProgress",
    "isSendingRequest",
    "isResponseWithoutRequest",
    "isReceivedByte_OBD",
    "isUnknownAction",
    "isUnknownProtocol",
    "isUnknownAddressing",
    "isUnknownIDorAddress",
    "isErrorFrame",
    "isDelayConnect",
};

// The PID names 0x00..0x40; "%d" entries are numbered runs.
std::vector<std::string> PidNames()
{
    std::vector<std::string> n = {"INVALID_00",
                                  "getNumberOfTroubleCodes",
                                  "UNUSED_02",
                                  "getFuelSystemStatus",
                                  "readCalculatedEngineLoad",
                                  "readEngineCoolantTemperature",
                                  "readShortTermFuelTrimBank1",
                                  "readLongTermFuelTrimBank1",
                                  "readShortTermFuelTrimBank2",
                                  "readLongTermFuelTrimBank2",
                                  "readFuelPressure",
                                  "readIntakeManifoldPressure",
                                  "readEngineRPM",
                                  "readVehicleSpeed",
                                  "readTimingAdvance",
                                  "readIntakeAirTemperature",
                                  "readMafAirFlow",
                                  "readAbsoluteThrottleSensorPosition",
                                  "getSecondaryAirStatus",
                                  "getOxygenSensorLocations"};
    for (int bank = 1; bank <= 2; ++bank)
        for (int s = 1; s <= 4; ++s)
            n.push_back(FormatText("readOxygenSensorVoltageBank%dSensor%d", bank, s));
    for (const char *name : {"getDesignOBDRequirements", "getAlternateOxygenSensorLocations",
                             "getAuxilliaryInputStatus", "readTimeSinceEngineStart", "getCarPIDs_20",
                             "readDistanceTraveledWithMILon", "readFuelRailPressure", "readFuelRailPressureDiesel"})
        n.emplace_back(name);
    for (int s = 1; s <= 8; ++s)
        n.push_back(FormatText("readOxygenSensorUEGOVoltage%d", s));
    for (const char *name :
         {"readCommandedEGR", "readEGRerror", "readCommandedEvaporativePurge", "readFuelLevelInput", "UNKNOWN_30",
          "readDistanceTraveledSinceCodesCleared", "readEvapSystemVaporPressure", "readBarometricPressure"})
        n.emplace_back(name);
    for (int s = 1; s <= 8; ++s)
        n.push_back(FormatText("readOxygenSensorUEGOCurrent%d", s));
    for (const char *name :
         {"readCatalystTemperatureBank1Sensor1", "readCatalystTemperatureBank2Sensor1",
          "readCatalystTemperatureBank1Sensor2", "readCatalystTemperatureBank2Sensor2", "getCarPIDs_40"})
        n.emplace_back(name);
    return n;
}

void Put(TVariable &v, std::span<const uint8_t> answer, std::size_t at)
{
    v.SetRaw(answer.subspan(at, v.DataLength()), true);
}

constexpr const char *kProtocolNames[] = {"ISO9141",
                                          "KWP2000slow",
                                          "KWP2000fast",
                                          "CAN_11bitID_500kbps",
                                          "CAN_29bitID_500kbps",
                                          "CAN_11bitID_250kbps",
                                          "CAN_29bitID_250kbps"};

} // namespace

TPidBit PidBitMask(int pid)
{
    if (pid < 1 || pid > static_cast<int>(kObdPidBytes) * kPidsPerByte)
        return {0, 0};
    const int p = pid - 1;
    return {static_cast<std::size_t>(p / kPidsPerByte), static_cast<uint8_t>(kHighBit >> (p % kPidsPerByte))};
}

double ObdTrimPercent(uint8_t a)
{
    return (a - kSignBias) * kPercent / kSignBias;
}

int ObdRpm(uint8_t a, uint8_t b)
{
    // (A * 256 + B) / 4 without the intermediate word.
    return (a << 6) | (b >> 2);
}

double ObdPercent255(uint8_t a)
{
    return a * kPercent / 255.0;
}

double ObdTemperature(uint8_t a)
{
    return a - 40.0;
}

double ObdMapBar(uint8_t a)
{
    return a / kPercent;
}

double ObdTimingAdvance(uint8_t a)
{
    return a / 2.0 - 64.0;
}

double ObdMaf(uint8_t a, uint8_t b)
{
    return ((a << kByteBits) | b) / kPercent;
}

double ObdLambdaVolts(uint8_t a)
{
    return a * 0.005;
}

double ObdLambdaTrim(uint8_t a)
{
    // 0xFF: the sensor is not used for trimming.
    return a == kNoLambdaTrim ? 255.0 : ObdTrimPercent(a);
}

double ObdUegoRatio(uint8_t a, uint8_t b)
{
    return ((a << kByteBits) | b) * 3.05e-5;
}

double ObdUegoCurrent(uint8_t a, uint8_t b)
{
    return ((a << kByteBits) | b) / 256.0 - 128.0;
}

double ObdDelayConnectSeconds(uint8_t a, uint8_t b)
{
    return ((a << kByteBits) | b) * 2 / 1000.0;
}

std::string ObdProtocolShortName(int code)
{
    if (code == 1)
        return "ISO9141";
    if (code >= 2 && code <= 3)
        return "KWP2000";
    if (code >= 4 && code <= 7)
        return "CAN";
    return {};
}

std::string ObdProtocolName(int code)
{
    if (code < 1 || code > static_cast<int>(std::size(kProtocolNames)))
        return {};
    return kProtocolNames[code - 1];
}

const std::vector<std::string> &ObdProtocolNames()
{
    static const std::vector<std::string> names(std::begin(kProtocolNames), std::end(kProtocolNames));
    return names;
}

std::string FuelSystemStatusText(int status)
{
    static constexpr std::pair<int, const char *> kTexts[] = {
        {0, "-----"},
        {1, "Open loop"},
        {2, "Closed loop"},
        {4, "Open loop due to driving conditions"},
        {8, "Open loop due to detected system fault"},
        {16, "Closed loop but fault with at least one oxygen sensor"},
    };
    for (const auto &[value, text] : kTexts)
        if (value == status)
            return text;
    return "Unknown state";
}

std::string TroubleCodeText(uint8_t high, uint8_t low)
{
    static constexpr char kLetters[] = {'P', 'C', 'B', 'U'};
    constexpr int kLetterShift = 6;
    constexpr int kNibble = 4;
    constexpr int kNibbleMask = 0x0F;
    constexpr int kFirstDigitMask = 3;
    return FormatText("%c%X%X%X%X", kLetters[high >> kLetterShift], (high >> kNibble) & kFirstDigitMask,
                      high & kNibbleMask, low >> kNibble, low & kNibbleMask);
}

bool ObdCarConnected(int state)
{
    return state >= obd_state::kConnectedFirst && state <= obd_state::kConnectedLast;
}

bool ObdDisconnecting(int state)
{
    return state >= obd_state::kDisconnectingFirst && state <= obd_state::kDisconnectingLast;
}

bool ObdIdle(int state)
{
    return state < obd_state::kConnectingFirst ||
           (state >= obd_state::kDisconnectedFirst && state <= obd_state::kDisconnectedLast);
}

bool ObdDetecting(int state, int detect)
{
    return state == obd_state::kDetecting && detect >= obd_detect::kTryingFirst && detect <= obd_detect::kTryingLast;
}

bool ObdDelayConnect(int state)
{
    return state == obd_state::kDelayConnect;
}

std::string ObdLinkStateText(int state, const std::string &protocol)
{
    using namespace obd_state;
    const auto word = [](std::string_view english) { return TranslateEnglish(english); };
    const int s = state % kModulo;
    if (s == kUnknown)
        return word("Unknown state");
    if (s == kIdle)
        return word("Idle");
    if (s >= kConnectingFirst && s <= kConnectingLast)
        return word("Connecting") + " (" + protocol + ")...";
    if (s >= kConnectedFirst && s <= kConnectedLast)
        return word("Connected") + " (" + protocol + ")";
    if (s >= kDisconnectingFirst && s <= kDisconnectingTextLast)
        return word("Disconnecting") + "...";
    if (s >= kDisconnectedFirst && s <= kDisconnectedTextLast)
        return word("Disconnected");
    if (s == kDetecting)
        return word("Detecting") + "...";
    if (s == kDelayConnect)
        return word("DelayConnect") + "...";
    return "UNHANDLED";
}

std::string ObdDetectStateText(int detect, const std::string &trying)
{
    using namespace obd_detect;
    const auto word = [](std::string_view english) { return TranslateEnglish(english); };
    const std::string named = trying.empty() ? std::string{} : " (" + trying + ")";
    if (detect > kError)
        return "UNHANDLED";
    if (detect == kUnknown)
        return word("Unknown state");
    if (detect == kIdle)
        return word("Idle");
    if (detect <= kTryingLast)
        return word("Detecting") + named + "...";
    if (detect == kDetected)
        return word("Detected") + named;
    if (detect == kNotDetected)
        return word("Not detected");
    if (detect == kCancelled)
        return word("Cancelled");
    return word("Error");
}

// --- TOBDFreezeFrame ---

namespace {

std::string FrameName(std::size_t index, const char *field)
{
    return N(FormatText("OBDFreezeFrame_%d_%s", static_cast<int>(index), field));
}

TDoubleVariable &FrameDouble(TVariableList &list, std::size_t index, const char *field, std::size_t length,
                             TRawToValue conv, const char *format)
{
    auto &v = list.Create<TDoubleVariable>(FrameName(index, field), length);
    v.SetOnRawToValue(std::move(conv));
    v.SetFormat(format);
    return v;
}

TWordVariable &FrameRpm(TVariableList &list, std::size_t index)
{
    auto &v = list.Create<TWordVariable>(FrameName(index, "RPM"));
    v.SetOnRawToValue(RpmConversion());
    return v;
}

} // namespace

TOBDFreezeFrame::TOBDFreezeFrame(TVariableList &l, std::size_t i)
    : Device(l.Create<TByteVariable>(FrameName(i, "Device"))),
      ErrorCode(l.Create<TWordVariable>(FrameName(i, "ErrorCode"))),
      FuelSysStatB1(l.Create<TByteVariable>(FrameName(i, "FuelSysStatB1"))),
      FuelSysStatB2(l.Create<TByteVariable>(FrameName(i, "FuelSysStatB2"))),
      Load(FrameDouble(l, i, "Load", 1, OneByte(ObdPercent255), "%.1f")),
      CoolantTemp(FrameDouble(l, i, "CoolantTemp", 1, OneByte(ObdTemperature), "%.0f")),
      StFtB1(FrameDouble(l, i, "StFtB1", 1, OneByte(ObdTrimPercent), "%.1f")),
      LtFtB1(FrameDouble(l, i, "LtFtB1", 1, OneByte(ObdTrimPercent), "%.1f")),
      StFtB2(FrameDouble(l, i, "StFtB2", 1, OneByte(ObdTrimPercent), "%.1f")),
      LtFtB2(FrameDouble(l, i, "LtFtB2", 1, OneByte(ObdTrimPercent), "%.1f")),
      MAP(FrameDouble(l, i, "MAP", 1, OneByte(ObdMapBar), "%.2f")), RPM(FrameRpm(l, i)),
      Speed(FrameDouble(l, i, "Speed", 1, OneByte(SpeedKmh), "%.0f")),
      TimAdv(FrameDouble(l, i, "TimAdv", 1, OneByte(ObdTimingAdvance), "%.1f")),
      IAT(FrameDouble(l, i, "IAT", 1, OneByte(ObdTemperature), "%.0f")),
      MAF(FrameDouble(l, i, "MAF", 2, TwoBytes(ObdMaf), "%.2f")),
      ThrotPos(FrameDouble(l, i, "ThrotPos", 1, OneByte(ObdPercent255), "%.1f"))
{
}

// --- TDevStateOBD ---

TDevStateOBD::TDevStateOBD(TDeviceState &aggregate)
    : TBaseDevState(aggregate), Protocol(CreateParam<TByteVariable>(0, N("OBDProtocol_EE"))),
      Config1(CreateParam<TBoolByteVariable>(8, N("OBDConfig_1_EE"))),
      Config2(CreateParam<TBoolByteVariable>(0, N("OBDConfig_2_EE"))),
      AdaptStFtBase(SignedParam(*this, "OBDAdaptStFtBase_EE", 0)),
      AdaptStFtRange(CreateParam<TByteVariable>(2, N("OBDAdaptStFtRange_EE"))),
      AdaptLtFtBaseB1(SignedParam(*this, "OBDAdaptLtFtBaseB1_EE", 0)),
      AdaptLtFtBaseB2(SignedParam(*this, "OBDAdaptLtFtBaseB2_EE", 0)),
      AdaptLtFtRange(CreateParam<TByteVariable>(2, N("OBDAdaptLtFtRange_EE"))),
      AdaptMaxCorr(CreateParam<TByteVariable>(25, N("OBDAdaptMaxCorr_EE"))),
      AdaptMinRPM(CreateParam<TWordVariable>(1200, N("OBDAdaptMinRPM_EE"))),
      AdaptType(CreateParam<TByteVariable>(1, N("OBDAdaptType"))),
      ActionMain((
          [this] {
              for (std::size_t i = 0; i < kObdFlagBytes; ++i)
                  Flags[i] = &Plain<TBoolByteVariable>(*this, Indexed("OBDFlags%d", static_cast<int>(i) + 1));
          }(),
          Plain<TByteVariable>(*this, "OBDactionMain"))),
      ActionDetect(Plain<TByteVariable>(*this, "OBDactionDetect")),
      ActionConnecting(Plain<TByteVariable>(*this, "OBDactionConnecting")),
      ActionConnected(Plain<TByteVariable>(*this, "OBDactionConnected")),
      ActualProtocol(Plain<TByteVariable>(*this, "OBDactualProtocol")),
      NumberOfControllers(Plain<TByteVariable>(*this, "OBDnumberOfControllers")),
      StFtB1((
          [this] {
              for (std::size_t i = 0; i < kObdPidBytes; ++i)
                  Pids[i] = &Plain<TBoolByteVariable>(*this, std::string("OBDPIDs") + kPidByteNames[i]);
              for (std::size_t i = 0; i < kObdPidBytes; ++i)
                  Allows[i] = &ParamNotSaved(*this, std::string("OBDAllows") + kPidByteNames[i]);
          }(),
          LiveDouble(*this, "OBDStFtB1", 1, OneByte(ObdTrimPercent), "%.1f"))),
      LtFtB1(LiveDouble(*this, "OBDLtFtB1", 1, OneByte(ObdTrimPercent), "%.1f")),
      StFtB2(LiveDouble(*this, "OBDStFtB2", 1, OneByte(ObdTrimPercent), "%.1f")),
      LtFtB2(LiveDouble(*this, "OBDLtFtB2", 1, OneByte(ObdTrimPercent), "%.1f")),
      RPM(Plain<TWordVariable>(*this, "OBDRPM")), Speed(LiveDouble(*this, "OBDSpeed", 1, OneByte(SpeedKmh), "%.0f")),
      Load(LiveDouble(*this, "OBDLoad", 1, OneByte(ObdPercent255), "%.1f")),
      CoolantTemp(LiveDouble(*this, "OBDCoolantTemp", 1, OneByte(ObdTemperature), "%.0f")),
      MAP(LiveDouble(*this, "OBDMAP", 1, OneByte(ObdMapBar), "%.2f")),
      TimingAdvance(LiveDouble(*this, "OBDTimingAdvance", 1, OneByte(ObdTimingAdvance), "%.1f")),
      IntakeAirTemp(LiveDouble(*this, "OBDIntakeAirTemp", 1, OneByte(ObdTemperature), "%.0f")),
      MAF(LiveDouble(*this, "OBDMAF", 2, TwoBytes(ObdMaf), "%.2f")),
      AbslThrottlePos(LiveDouble(*this, "OBDAbslThrottlePos", 1, OneByte(ObdPercent255), "%.1f")),
      FuelSystemStatusB1(Plain<TByteVariable>(*this, "OBDFuelSystemStatusB1")),
      FuelSystemStatusB2(Plain<TByteVariable>(*this, "OBDFuelSystemStatusB2")),
      NumberOfTroubleCodes((
          [this] {
              const char *banks[] = {"B1", "B2"};
              std::size_t k = 0;
              for (const char *bank : banks)
                  for (int s = 1; s <= 4; ++s, ++k)
                      Lambda[k] =
                          &OxygenValue(*this, FormatText("OBDLambda%d%s", s, bank), 1, OneByte(ObdLambdaVolts), "%.3f");
              k = 0;
              for (const char *bank : banks)
                  for (int s = 1; s <= 4; ++s, ++k)
                      LambdaStft[k] = &OxygenValue(*this, FormatText("OBDLambda%d%sStft", s, bank), 1,
                                                   OneByte(ObdLambdaTrim), "%.1f");
              for (int s = 1; s <= 8; ++s)
                  UegoRatio[s - 1] =
                      &OxygenValue(*this, Indexed("OBDLambdaUEGOCurrent%dRatio", s), 2, TwoBytes(ObdUegoRatio), "%.3f");
              for (int s = 1; s <= 8; ++s)
                  UegoCurrent[s - 1] =
                      &OxygenValue(*this, Indexed("OBDLambdaUEGOCurrent%d", s), 2, TwoBytes(ObdUegoCurrent), "%.2f");
          }(),
          Plain<TByteVariable>(*this, "OBDnumberOfTroubleCodes"))),
      StateClearErrors(Plain<TByteVariable>(*this, "OBDstateClearErrors")),
      StateReadTroubleCodes(Plain<TByteVariable>(*this, "OBDstateReadTroubleCodes")),
      StateReadPendingTroubleCodes(Plain<TByteVariable>(*this, "OBDstateReadPendingTroubleCodes")),
      StateReadFreezeFrame(Plain<TByteVariable>(*this, "OBDstateReadFreezeFrame")),
      ErrorProtocolCode(Plain<TByteVariable>(*this, "OBDerrorProtocolCode")),
      DistanceTraveledWithMILon(Plain<TWordVariable>(*this, "OBDDistanceTraveledWithMILon"))
{
    RPM.SetOnRawToValue(RpmConversion());
    FreezeFrames.reserve(kObdFreezeFrames);
    for (std::size_t i = 0; i < kObdFreezeFrames; ++i)
        FreezeFrames.emplace_back(*this, i);

    CreateDiagnostics(*this, kDiagnostics);
    DelayConnectCounter = &LiveDouble(*this, "OBDdelayConnectCounter", 2, TwoBytes(ObdDelayConnectSeconds), "%.0f");
    for (const char *name : {"OBDisOBDsimCompiled", "OBDisTestPIDsActive", "OBDisOBDsimActive"})
        ParamNotSaved(*this, name);
    CreateDiagnostics(*this, kDiagnosticsAfterCounter);

    for (std::size_t i = 0; i < kObdAdaptRows; ++i)
        AdaptLoadThresholds[i] = &Plain<TByteVariable>(*this, Indexed("OBDAdaptLoadThresholds__[%d]", int(i)));
    for (std::size_t i = 0; i < kObdAdaptColumns; ++i)
        AdaptRpmThresholds[i] = &Plain<TWordVariable>(*this, Indexed("OBDAdaptRpmThresholds__[%d]", int(i)));
    for (std::size_t r = 0; r < kObdAdaptRows; ++r)
        for (std::size_t c = 0; c < kObdAdaptColumns; ++c) {
            CorrectionsBank1[r][c] =
                &SignedParam(*this, Indexed("OBDAdaptCorrectionsBank1__[%d][%d]", int(r), int(c)), 0);
            CorrectionsBank2[r][c] =
                &SignedParam(*this, Indexed("OBDAdaptCorrectionsBank2__[%d][%d]", int(r), int(c)), 0);
        }
    for (int i = 1; i <= 8; ++i)
        Plain<TByteVariable>(*this, Indexed("OBDadaptStatesTEST__[%d]", i));

    // Texts: the protocol's short name, the link state, the fuel system.
    Protocol.SetOnGetText(MakeGetText([](const TVariable &v) { return ObdProtocolShortName(int(v.GetAsInteger())); }));
    const TDevStateOBD *self = this;
    ActionMain.SetOnGetText(MakeGetText(
        [self](const TVariable &v) { return ObdLinkStateText(int(v.GetAsInteger()), self->Protocol.Text()); }));
    const auto fuel =
        MakeGetText([](const TVariable &v) { return TranslateEnglish(FuelSystemStatusText(int(v.GetAsInteger()))); });
    FuelSystemStatusB1.SetOnGetText(fuel);
    FuelSystemStatusB2.SetOnGetText(fuel);
    for (TOBDFreezeFrame &f : FreezeFrames) {
        f.FuelSysStatB1.SetOnGetText(fuel);
        f.FuelSysStatB2.SetOnGetText(fuel);
    }

    // Live values and their PIDs; the oxygen sensors take theirs in turn.
    live_ = {{&StFtB1, obd_pid::kStFtB1},
             {&LtFtB1, obd_pid::kLtFtB1},
             {&StFtB2, obd_pid::kStFtB2},
             {&LtFtB2, obd_pid::kLtFtB2},
             {&RPM, obd_pid::kRpm},
             {&Speed, obd_pid::kSpeed},
             {&Load, obd_pid::kLoad},
             {&CoolantTemp, obd_pid::kCoolant},
             {&MAP, obd_pid::kMap},
             {&TimingAdvance, obd_pid::kTiming},
             {&IntakeAirTemp, obd_pid::kIntakeAir},
             {&MAF, obd_pid::kMaf},
             {&AbslThrottlePos, obd_pid::kThrottle}};
    for (std::size_t i = 0; i < Lambda.size(); ++i) {
        live_.push_back({Lambda[i], obd_pid::kLambdaFirst + int(i)});
        live_.push_back({LambdaStft[i], obd_pid::kLambdaFirst + int(i)});
    }
    for (std::size_t i = 0; i < UegoRatio.size(); ++i) {
        live_.push_back({UegoRatio[i], obd_pid::kUegoFirst + int(i)});
        live_.push_back({UegoCurrent[i], obd_pid::kUegoFirst + int(i)});
    }
    for (const TObdLiveValue &lv : live_) {
        const int pid = lv.Pid;
        if (auto *o = dynamic_cast<TDoubleOBDVariable *>(lv.Variable)) {
            const TPidBit bit = PidBitMask(pid);
            o->PidSupport = Pids[bit.byte];
            o->PidAllow = Allows[bit.byte];
            o->PidMask = bit.mask;
        }
        const bool integral = lv.Variable == &RPM;
        lv.Variable->SetOnGetText(MakeGetText([self, pid, integral](const TVariable &v) -> std::string {
            if (!self->IsCarConnected() || !self->PidAvailable(pid))
                return "-----";
            return integral ? FormatText("%d", int(v.GetAsInteger())) : FormatText(v.Format(), v.GetAsDouble());
        }));
    }
}

void TDevStateOBD::RefreshLiveTexts()
{
    for (const TObdLiveValue &lv : live_)
        lv.Variable->UpdateText();
    ActionMain.UpdateText();
}

bool TDevStateOBD::Flag(int n) const
{
    if (n < 1 || n > static_cast<int>(kObdFlagBytes) * kPidsPerByte)
        return false;
    const auto byte = static_cast<std::size_t>((n - 1) / kPidsPerByte);
    return (Flags[byte]->GetAsInteger() & (1 << ((n - 1) % kPidsPerByte))) != 0;
}

bool TDevStateOBD::PidSupported(int pid) const
{
    const TPidBit bit = PidBitMask(pid);
    return bit.mask != 0 && (Pids[bit.byte]->GetAsInteger() & bit.mask) != 0;
}

bool TDevStateOBD::PidAvailable(int pid) const
{
    const TPidBit bit = PidBitMask(pid);
    return PidSupported(pid) && (Allows[bit.byte]->GetAsInteger() & bit.mask) != 0;
}

// --- TUIStateOBD ---

namespace {

TBoolByteVariable &View(TVariableList &list, const std::string &name, uint8_t mask, TBoolVariable &parent)
{
    return list.Create<TBoolByteVariable>(N(name), mask, parent);
}

} // namespace

TUIStateOBD::TUIStateOBD(TDeviceState &aggregate, TDevStateOBD &twin)
    : TDevStateOBD(aggregate),
      LocalOBDReadings(Create<TBoolByteVariable>(MakeVariableName(TSection::Local, "LocalOBDReadings"))),
      IsAutoConnect(View(*this, "OBDConfig_1_EE_isAutoConnect", 0x01, Config1)),
      IsAdaptationEnabled(View(*this, "OBDConfig_1_EE_isAdaptationEnabled", 0x02, Config1)),
      IsCorrectionsInverted(View(*this, "OBDConfig_1_EE_isCorrectionsInverted", 0x04, Config1)),
      IsAdaptControlLtFt(View(*this, "OBDConfig_1_EE_isAdaptControlLtFt", 0x08, Config1)),
      IsAdaptUseMinRPM(View(*this, "OBDConfig_1_EE_isAdaptUseMinRPM", 0x40, Config1)),
      IsNotUseDivCorrs(View(*this, "OBDConfig_1_EE_isNotUseDivCorrs", 0x80, Config1)), twin_(twin)
{
    Twin = &twin;
    LocalOBDReadings.IsLocal = true;
    View(*this, "OBDConfig_2_EE_unused1", 0x01, Config2);
    View(*this, "OBDConfig_2_EE_unused2", 0x02, Config2);
    View(*this, "OBDConfig_2_EE_unused3", 0x04, Config2);
    for (std::size_t n = 0; n < kObdFlagViews; ++n) {
        // Flag n is bit (n-1) mod 8 of flag byte (n-1) div 8 + 1; entry 0 has no bit.
        const std::size_t byte = n == 0 ? 0 : (n - 1) / kPidsPerByte;
        const auto mask = static_cast<uint8_t>(n == 0 ? 0 : 1 << ((n - 1) % kPidsPerByte));
        FlagViews[n] = &View(*this, std::string("OBD_flg_") + kFlagNames[n], mask, *Flags[byte]);
    }
    const std::vector<std::string> pidNames = PidNames();
    for (std::size_t p = 0; p < kObdPidViews; ++p) {
        const TPidBit bit = PidBitMask(int(p));
        PidViews[p] = &View(*this, "OBD_pid_" + pidNames[p], bit.mask, *Pids[bit.byte]);
    }
    for (std::size_t p = 0; p < kObdPidViews; ++p) {
        const TPidBit bit = PidBitMask(int(p));
        AllowViews[p] = &View(*this, "OBD_alw_" + pidNames[p], bit.mask, *Allows[bit.byte]);
    }
}

void TUIStateOBD::AfterCopy()
{
    TroubleCodeRecords = twin_.TroubleCodeRecords;
    RefreshLiveTexts();
}

// --- configuration block ---

std::array<uint8_t, kObdConfigBlockSize> BuildOBDConfigBlock(const TDevStateOBD &s)
{
    std::array<uint8_t, kObdConfigBlockSize> b{};
    const auto rounded = [](const TDoubleVariable &v) {
        return static_cast<uint8_t>(static_cast<int>(std::lround(v.GetAsDouble())));
    };
    b[0] = s.Protocol.Raw()[0];
    b[1] = s.Config1.Raw()[0];
    b[2] = static_cast<uint8_t>((s.Config2.Raw()[0] & kConfig2Bits) | (s.AdaptType.Raw()[0] & kTypeBits));
    b[3] = rounded(s.AdaptStFtBase);
    b[4] = s.AdaptStFtRange.Raw()[0];
    b[5] = rounded(s.AdaptLtFtBaseB1);
    b[6] = rounded(s.AdaptLtFtBaseB2);
    b[7] = s.AdaptLtFtRange.Raw()[0];
    b[8] = s.AdaptMaxCorr.Raw()[0];
    // The word's raw bytes are the big-endian pair the block carries.
    b[9] = s.AdaptMinRPM.Raw()[0];
    b[10] = s.AdaptMinRPM.Raw()[1];
    return b;
}

void DecodeOBDConfigBlock(std::span<const uint8_t, kObdConfigBlockSize> b, TDevStateOBD &s)
{
    const auto one = [](TVariable &v, uint8_t byte) {
        const std::array<uint8_t, 1> raw{byte};
        v.SetRaw(raw, true);
    };
    one(s.Protocol, b[0]);
    one(s.Config1, b[1]);
    one(s.Config2, static_cast<uint8_t>(b[2] & kConfig2Bits));
    one(s.AdaptType, static_cast<uint8_t>(b[2] & kTypeBits));
    one(s.AdaptStFtBase, b[3]);
    one(s.AdaptStFtRange, b[4]);
    one(s.AdaptLtFtBaseB1, b[5]);
    one(s.AdaptLtFtBaseB2, b[6]);
    one(s.AdaptLtFtRange, b[7]);
    one(s.AdaptMaxCorr, b[8]);
    s.AdaptMinRPM.SetRaw(b.subspan<9, 2>(), true);
}

// --- answers ---

bool DecodeOBDConfigAnswer(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kReadConfig.answerLength)
        return false;
    DecodeOBDConfigBlock(a.subspan<2, kObdConfigBlockSize>(), s);
    return true;
}

bool DecodeOBDStatus(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kStatus.answerLength)
        return false;
    TVariable *const fields[] = {
        s.Flags[0],      s.Flags[1],          s.Flags[2],         s.Flags[3],        &s.ActionMain,
        &s.ActionDetect, &s.ActionConnecting, &s.ActionConnected, &s.ActualProtocol, &s.NumberOfControllers};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        Put(*fields[i], a, 2 + i);
    s.RefreshLiveTexts();
    return true;
}

bool DecodeOBDPidBytes(std::span<const uint8_t> a, std::array<TBoolByteVariable *, kObdPidBytes> &bytes)
{
    if (a.size() < obd_cmd::kReadPids.answerLength)
        return false;
    for (std::size_t i = 0; i < kObdPidBytes; ++i)
        Put(*bytes[i], a, 2 + i);
    return true;
}

bool DecodeOBDLive(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kLive.answerLength)
        return false;
    const std::pair<TVariable *, std::size_t> fields[] = {{&s.StFtB1, 2},
                                                          {&s.LtFtB1, 3},
                                                          {&s.StFtB2, 4},
                                                          {&s.LtFtB2, 5},
                                                          {&s.RPM, 6},
                                                          {&s.Speed, 8},
                                                          {&s.Load, 9},
                                                          {&s.CoolantTemp, 10},
                                                          {&s.MAP, 11},
                                                          {&s.TimingAdvance, 12},
                                                          {&s.IntakeAirTemp, 13},
                                                          {&s.MAF, 14},
                                                          {&s.AbslThrottlePos, 16},
                                                          {&s.FuelSystemStatusB1, 17},
                                                          {&s.FuelSystemStatusB2, 18}};
    for (const auto &[v, at] : fields)
        Put(*v, a, at);
    return true;
}

bool DecodeOBDTroubleState(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kTroubleState.answerLength)
        return false;
    Put(s.NumberOfTroubleCodes, a, 2);
    Put(s.StateClearErrors, a, 3);
    Put(s.StateReadTroubleCodes, a, 4);
    Put(s.StateReadPendingTroubleCodes, a, 5);
    Put(s.StateReadFreezeFrame, a, 6);
    Put(s.ErrorProtocolCode, a, 7);
    Put(s.DistanceTraveledWithMILon, a, 8);
    Put(*s.Pids[PidBitMask(obd_pid::kDistanceWithMil).byte], a, 10);
    Put(*s.Allows[PidBitMask(obd_pid::kDistanceWithMil).byte], a, 11);
    return true;
}

bool DecodeOBDCodes(std::span<const uint8_t> a, bool pending, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kRecordedCodes.answerLength)
        return false;
    constexpr std::size_t kRecordSize = 3;
    const std::size_t first = pending ? kObdCodeRecords : 0;
    for (std::size_t i = 0; i < kObdCodeRecords; ++i) {
        const std::size_t at = 2 + i * kRecordSize;
        s.TroubleCodeRecords[first + i] = {a[at], static_cast<uint16_t>((a[at + 1] << kByteBits) | a[at + 2])};
    }
    return true;
}

bool DecodeOBDFreezeFrames(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kFreezeFrames.answerLength)
        return false;
    constexpr std::size_t kFrameAt[] = {2, 22};
    for (std::size_t k = 0; k < kObdFreezeFrames; ++k) {
        TOBDFreezeFrame &f = s.FreezeFrames[k];
        TVariable *const fields[] = {&f.Device,      &f.ErrorCode, &f.FuelSysStatB1, &f.FuelSysStatB2, &f.Load,
                                     &f.CoolantTemp, &f.StFtB1,    &f.LtFtB1,        &f.StFtB2,        &f.LtFtB2,
                                     &f.MAP,         &f.RPM,       &f.Speed,         &f.TimAdv,        &f.IAT,
                                     &f.MAF,         &f.ThrotPos};
        std::size_t at = kFrameAt[k];
        for (TVariable *v : fields) {
            Put(*v, a, at);
            at += v->DataLength();
        }
    }
    return true;
}

bool DecodeOBDLambda(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kLambda.answerLength)
        return false;
    // Group 2 carries sensors 3 and 4 of each bank, any other 1 and 2.
    const std::size_t sensor = a[2] == 2 ? 2 : 0;
    const std::size_t order[] = {sensor, sensor + 1, 4 + sensor, 4 + sensor + 1};
    std::size_t at = 3;
    for (std::size_t k : order) {
        Put(*s.Lambda[k], a, at++);
        Put(*s.LambdaStft[k], a, at++);
    }
    return true;
}

bool DecodeOBDWideLambda(std::span<const uint8_t> a, TDevStateOBD &s)
{
    if (a.size() < obd_cmd::kWideLambda.answerLength)
        return false;
    static constexpr std::size_t kGroup2[] = {2, 3, 6, 7};
    static constexpr std::size_t kOther[] = {0, 1, 4, 5};
    const std::size_t *sensors = a[2] == 2 ? kGroup2 : kOther;
    std::size_t at = 3;
    for (std::size_t i = 0; i < 4; ++i) {
        Put(*s.UegoRatio[sensors[i]], a, at);
        Put(*s.UegoCurrent[sensors[i]], a, at + 2);
        at += 4;
    }
    return true;
}

bool DecodeOBDItem(std::span<const uint8_t> a, TVariable &target)
{
    constexpr std::size_t kValueAt = 2;
    constexpr std::size_t kValueBytes = 4;
    if (a.size() < obd_cmd::kReadItem.answerLength || target.DataLength() > kValueBytes)
        return false;
    const std::span<const uint8_t> value = a.subspan(kValueAt, kValueBytes);
    const std::size_t spare = kValueBytes - target.DataLength();
    if (std::any_of(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(spare),
                    [](uint8_t b) { return b != 0; }))
        return false; // a number larger than the variable holds
    target.SetRaw(value.subspan(spare), true);
    return true;
}

std::array<uint8_t, kObdAdaptHalfRows * kObdAdaptColumns> OBDCorrectionHalf(const TDevStateOBD &s, int bank, int half)
{
    const auto &table = bank == 2 ? s.CorrectionsBank2 : s.CorrectionsBank1;
    std::array<uint8_t, kObdAdaptHalfRows * kObdAdaptColumns> out{};
    const std::size_t firstRow = half == 0 ? 0 : kObdAdaptHalfRows;
    for (std::size_t r = 0; r < kObdAdaptHalfRows; ++r)
        for (std::size_t c = 0; c < kObdAdaptColumns; ++c)
            out[r * kObdAdaptColumns + c] = table[firstRow + r][c]->Raw()[0];
    return out;
}

} // namespace lumex
