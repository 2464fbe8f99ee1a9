#include "documents/LangManager.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace lumex {

namespace {

// The English texts of the module framework and the adapter windows, and the
// message keys that translate them.
constexpr std::pair<std::string_view, std::string_view> EnglishTexts[] = {
    {"Wait", msg::strTextWait},
    {"Disconnect", msg::strTextDisconnect},
    {"Connect", msg::strTextConnect},
    {"Cancel", msg::strTextCancel},
    {"Detect", msg::strTextDetect},
    {"Unknown state", msg::strTextUnknownState},
    {"Idle", msg::strTextIdle},
    {"Connecting", msg::strTextConnecting},
    {"Connected", msg::strTextConnected},
    {"Detecting", msg::strTextDetecting},
    {"Detected", msg::strTextDetected},
    {"Disconnecting", msg::strTextDisconnecting},
    {"Disconnected", msg::strTextDisconnected},
    {"Not detected", msg::strTextNotDetected},
    {"Cancelled", msg::strTextCancelled},
    {"Error", msg::strTextError},
    {"DelayConnect", msg::strTextDelayConnect},
    {"Open loop", msg::strTextOpenLoop},
    {"Closed loop", msg::strTextClosedLoop},
    {"Open loop due to driving conditions", msg::strTextOpenLoopDriveCond},
    {"Open loop due to detected system fault", msg::strTextOpenLoopSysFault},
    {"Closed loop but fault with at least one oxygen sensor", msg::strTextClosedLoopFaultOxSens},
    {"No recorded trouble codes", msg::strTextNoRecTroubles},
    {"To check pending trouble codes click the 'Read' button", msg::strTextNoRecClick},
    {"Number of recorded trouble codes", msg::strTextNumRecTroubles},
    {"Clearing errors", msg::strTextClearingErrors},
    {"Clearing unavailable", msg::strTextClearingUnavail},
    {"Finished clearing all errors", msg::strTextFinishClearErrors},
    {"Error while clearing errors", msg::strTextErrClearErrors},
    {"Error, turn off the engine, turn on ignition and retry", msg::strTextErrEngineOffRetry},
    {"Reading recorded trouble codes", msg::strTextReadingRecTroubles},
    {"No recorded trouble codes found", msg::strTextNoRecTroublesFound},
    {"Finished reading recorded trouble codes", msg::strTextFinishReadRecTroubles},
    {"Error while reading recorded trouble codes", msg::strTextErrReadRecTroubles},
    {"Reading pending trouble codes", msg::strTextReadingPendTroubles},
    {"No pending trouble codes found", msg::strTextNoPendTroublesFound},
    {"Finished reading pending trouble codes", msg::strTextFinishReadPendTroubles},
    {"Error while reading pending trouble codes", msg::strTextErrReadPendTroubles},
    {"No freeze frame", msg::strTextNoFreezeFrame},
    {"There is a freeze frame", msg::strTextHaveFreezeFrame},
    {"Reading freeze frame", msg::strTextReadingFreezeFrame},
    {"No freeze frame found", msg::strTextNoFreezeFrameFound},
    {"Finished reading freeze frame", msg::strTextFinishReadFreezeFrame},
    {"Error while reading freeze frame", msg::strTextErrReadFreezeFrame},
    {"Recorded Trouble Codes", msg::strTextRecTroubles},
    {"Pending Trouble Codes", msg::strTextPendTroubles},
    {"Address", msg::strTextAddress},
    {"Freeze Frame", msg::strTextFreezeFrame},
    {"Code", msg::strTextCode},
    {"Fuel System Status B1", msg::strTextFuelSysStatB1},
    {"Fuel System Status B2", msg::strTextFuelSysStatB2},
    {"Load", msg::strTextLoad},
    {"Coolant Temperature", msg::strTextCoolantTemp},
    {"ShortTermFuelTrim B1", msg::strTextShortTermFTB1},
    {"LongTermFuelTrim B1", msg::strTextLongTermFTB1},
    {"ShortTermFuelTrim B2", msg::strTextShortTermFTB2},
    {"LongTermFuelTrim B2", msg::strTextLongTermFTB2},
    {"MAP", msg::strTextMAP},
    {"RPM", msg::strTextRPM},
    {"Speed", msg::strTextSpeed},
    {"Timing Advance", msg::strTextTimingAdvance},
    {"Intake Air Temperature", msg::strTextIntakeAirTemp},
    {"MAF", msg::strTextMAF},
    {"Absolute Throttle Position", msg::strTextAbsThrottlePos},
    {"[C.deg]", msg::strUnitTemp},
    {"[bar]", msg::strUnitBar},
    {"[r.p.m.]", msg::strUnitRPM},
    {"[km/h]", msg::strUnitKmH},
    {"[g/sec]", msg::strUnitGSec},
    {"Caution! Program will write default configuration into device. Save?", msg::strTextQuestionDefaultSettings},
    {"Caution! Program will write default OBD configuration into Adapter. Save?", msg::strTextQuestionDefaultOBD},
    {"Caution! Program will write default AIO configuration into Adapter. Save?", msg::strTextQuestionDefaultAIO},
    {"Save configuration to device?", msg::strTextQuestionSaveConfig},
    {"unknown", msg::strTextUnknown},
    {"Reset adaptation corrections?", msg::strTextQuestionResetAdaptCorrs},
    {"Function available since version:", msg::strTextFunctionDevMinVer},
    {"Incompatible version", msg::strVerError},
    {"Unrecognized or obsolete parameter found:", msg::strAdpUnrecParam},
    {"Unrecognized or obsolete parameters found:", msg::strAdpUnrecParams},
    {"more...", msg::strAdpMore},
    {"Continue?", msg::strAdpContinue},
    {"Invalid configuration file format:", msg::strAdpInvalidFile},
    {"Missing product and device info.", msg::strAdpMissingInfo},
    {"Found configuration file for unknown product.", msg::strAdpUnknownProduct},
    {"It may contain incompatible settings.", msg::strAdpIncompatible},
    {"Found configuration file for different product:", msg::strAdpDifferentProduct},
    {"The adapter did not answer. Nothing was saved.", msg::strAdpNoAnswerSave},
    {"Error while writing configuration file.", msg::strAdpFileWriteError},
    {"Error while reading configuration file.", msg::strAdpFileReadError},
    {"Some information could not be read from configuration file.", msg::strAdpSomeUnread},
    {"Error while writing configuration to device.", msg::strAdpDeviceWriteError},
    {"Error while writing default configuration.", msg::strAdpDefaultsError},
};

} // namespace

const char *EnglishTextKey(std::string_view english)
{
    auto it = std::find_if(std::begin(EnglishTexts), std::end(EnglishTexts),
                           [&](const auto &entry) { return entry.first == english; });
    return it == std::end(EnglishTexts) ? nullptr : it->second.data();
}

std::size_t EnglishTextCount()
{
    return std::size(EnglishTexts);
}

} // namespace lumex
