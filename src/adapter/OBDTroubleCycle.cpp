#include "adapter/OBDTroubleCycle.h"

#include "adapter/OBDModule.h"
#include "common/Format.h"
#include "documents/LangManager.h"
#include "documents/ObdCodes.h"
#include "modules/AppLogic.h"
#include "modules/Sections.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

constexpr int kWaitMs = 500;
constexpr int kStepWorking = 2;
constexpr int kStepDone = 4;
constexpr int kCycleFirstMessage = 7;
constexpr int kPendingFirstMessage = 11;
constexpr int kStepErrorMessage = 3; // offset of the error message from the first
constexpr int kCountMessage = 1;
constexpr int kNoneMessage = 0;

std::string T(const char *english)
{
    return TranslateEnglish(english);
}

std::string ErrorText(const char *english)
{
    return "*** " + T(english) + "!";
}

std::string Working(const char *english)
{
    return T(english) + "...";
}

// The message a step state adds, counted from the step's first message:
// 2, 3, 4 and 5-6 give the first, second, third and fourth.
int StepMessage(int state, int first)
{
    if (state < kStepWorking)
        return -1;
    return first + std::min(state - kStepWorking, kStepErrorMessage);
}

std::string Hinted(const std::string &head)
{
    return head + "\r\n\r\n" + T("To check pending trouble codes click the 'Read' button");
}

std::string ClearMessage(int message)
{
    switch (message) {
    case 2:
        return Working("Clearing errors");
    case 3:
        return T("Clearing unavailable");
    case 4:
        return T("Finished clearing all errors");
    case 5:
        return ErrorText("Error while clearing errors");
    case 6:
        return ErrorText("Error, turn off the engine, turn on ignition and retry");
    default:
        return {};
    }
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find("\r\n", from);
        out.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return out;
        from = at + 2;
    }
}

} // namespace

// --- TOBDMemo ---

void TOBDMemo::Reset()
{
    lines_.clear();
    shown_.clear();
    status_ = -1;
    statusAt_ = statusLines_ = 0;
}

bool TOBDMemo::Add(int message, const std::string &text)
{
    const std::vector<std::string> lines = SplitLines(text);
    if (message == kNoneMessage || message == kCountMessage) {
        if (status_ == message)
            return false;
        if (status_ < 0) {
            statusAt_ = lines_.size();
            lines_.insert(lines_.end(), lines.begin(), lines.end());
        } else {
            // The other status message gives way to this one, in place.
            const auto at = lines_.begin() + static_cast<std::ptrdiff_t>(statusAt_);
            lines_.erase(at, at + static_cast<std::ptrdiff_t>(statusLines_));
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(statusAt_), lines.begin(), lines.end());
            shown_.erase(status_);
        }
        statusLines_ = lines.size();
        status_ = message;
        shown_.insert(message);
        return true;
    }
    if (!shown_.insert(message).second)
        return false;
    lines_.insert(lines_.end(), lines.begin(), lines.end());
    return true;
}

void TOBDMemo::AddLines(const std::vector<std::string> &lines)
{
    lines_.insert(lines_.end(), lines.begin(), lines.end());
}

std::string TOBDMemo::Text() const
{
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        out += (i == 0 ? "" : "\r\n") + lines_[i];
    return out;
}

// --- texts ---

std::string TroubleMessageText(int message, int count)
{
    switch (message) {
    case 0:
        return Hinted(T("No recorded trouble codes"));
    case 1:
        return Hinted(T("Number of recorded trouble codes") + FormatText(": %d", count));
    case 7:
        return Working("Reading recorded trouble codes");
    case 8:
        return T("No recorded trouble codes found");
    case 9:
        return T("Finished reading recorded trouble codes");
    case 10:
        return ErrorText("Error while reading recorded trouble codes");
    case 11:
        return Working("Reading pending trouble codes");
    case 12:
        return T("No pending trouble codes found");
    case 13:
        return T("Finished reading pending trouble codes");
    case 14:
        return ErrorText("Error while reading pending trouble codes");
    default: {
        std::string text = ClearMessage(message);
        return text.empty() ? "!UNKNOWN!" + std::to_string(message) : text;
    }
    }
}

std::string FreezeMessageText(int message)
{
    switch (message) {
    case 0:
        return T("No freeze frame");
    case 1:
        return T("There is a freeze frame");
    case 7:
        return Working("Reading freeze frame");
    case 8:
        return T("No freeze frame found");
    case 9:
        return T("Finished reading freeze frame");
    case 10:
        return ErrorText("Error while reading freeze frame");
    default: {
        std::string text = ClearMessage(message);
        return text.empty() ? "!UNKNOWN!" + std::to_string(message) : text;
    }
    }
}

std::vector<std::string> OBDCodeListing(const TTroubleCodeRecords &records, bool pending,
                                        const std::vector<std::string> &codes)
{
    std::vector<std::string> out;
    const std::size_t first = pending ? kObdCodeRecords : 0;
    for (std::size_t i = 0; i < kObdCodeRecords; ++i) {
        const uint16_t code = records[first + i].Code;
        if (code == 0)
            break;
        if (out.empty()) {
            out.emplace_back();
            out.push_back(T(pending ? "Pending Trouble Codes" : "Recorded Trouble Codes") + ":");
        }
        const std::string name = TroubleCodeText(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code));
        out.push_back("   " + T("Error") +
                      FormatText(" %d: %s", static_cast<int>(i) + 1, OBDCodeTextOf(codes, name).c_str()));
    }
    return out;
}

std::vector<std::string> OBDFreezeFrameListing(const TDevStateOBD &s)
{
    std::vector<std::string> out;
    const auto line = [&out](const char *label, const std::string &value, const char *unit) {
        out.push_back("   " + T(label) + ": " + value + " " + T(unit));
    };
    for (std::size_t k = 0; k < s.FreezeFrames.size(); ++k) {
        const TOBDFreezeFrame &f = s.FreezeFrames[k];
        const auto code = static_cast<uint16_t>(f.ErrorCode.GetAsInteger());
        if (code == 0)
            continue;
        out.emplace_back();
        out.push_back(T("Freeze Frame") + FormatText(" %d:", static_cast<int>(k) + 1));
        out.push_back("   " + T("Code") + ": " +
                      TroubleCodeText(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)));
        out.push_back("   " + T("Fuel System Status B1") + ": " + T(f.FuelSysStatB1.Text().c_str()));
        out.push_back("   " + T("Fuel System Status B2") + ": " + T(f.FuelSysStatB2.Text().c_str()));
        line("Load", f.Load.Text(), "[%]");
        line("Coolant Temperature", f.CoolantTemp.Text(), "[C.deg]");
        line("ShortTermFuelTrim B1", f.StFtB1.Text(), "[%]");
        line("LongTermFuelTrim B1", f.LtFtB1.Text(), "[%]");
        line("ShortTermFuelTrim B2", f.StFtB2.Text(), "[%]");
        line("LongTermFuelTrim B2", f.LtFtB2.Text(), "[%]");
        line("MAP", f.MAP.Text(), "[bar]");
        line("RPM", f.RPM.Text(), "[r.p.m.]");
        line("Speed", f.Speed.Text(), "[km/h]");
    }
    return out;
}

// --- TOBDTroubleCycle ---

TOBDTroubleCycle::TOBDTroubleCycle(TModuleOBD &module, const std::vector<std::string> &codes)
    : module_(module), codes_(codes)
{
}

void TOBDTroubleCycle::NewCycle()
{
    troubles_.Reset();
    freeze_.Reset();
    shownCount_ = -1;
    clearAcknowledged_ = false;
    readDone_ = false;
    readAcknowledged_ = false;
    readAcks_ = clearAcks_ = 0;
}

bool TOBDTroubleCycle::Read()
{
    NewCycle();
    TLogic &app = module_.AppLogic();
    app.BeginDeviceOperation();
    const auto answer = module_.RequestRead(obd_cmd::kReadAll);
    module_.ReadTroubleState();
    app.UIState().CopyFromDevState(SectionName(TSection::OBD), kCopyAll);
    app.EndDeviceOperation();
    return answer == obd_cmd::kAccepted;
}

bool TOBDTroubleCycle::Clear()
{
    NewCycle();
    TLogic &app = module_.AppLogic();
    app.BeginDeviceOperation();
    const auto answer = module_.ClearCodes();
    module_.ReadTroubleState();
    app.UIState().CopyFromDevState(SectionName(TSection::OBD), kCopyAll);
    app.EndDeviceOperation();
    return answer == obd_cmd::kAccepted;
}

void TOBDTroubleCycle::AddTrouble(int message)
{
    troubles_.Add(message, TroubleMessageText(message));
}

void TOBDTroubleCycle::AddFreeze(int message)
{
    freeze_.Add(message, FreezeMessageText(message));
}

void TOBDTroubleCycle::ReadResults(int r, int p, int f)
{
    TDevStateOBD &s = module_.DevState();
    TLogic &app = module_.AppLogic();
    app.BeginDeviceOperation();
    if (Wait)
        Wait(kWaitMs);
    // A failed read must not list what an earlier one left behind.
    if (r == kStepDone) {
        std::fill_n(s.TroubleCodeRecords.begin(), kObdCodeRecords, TTroubleCodeRecord{});
        if (module_.ReadCodes(false))
            troubles_.AddLines(OBDCodeListing(s.TroubleCodeRecords, false, codes_));
        else
            AddTrouble(StepMessage(kStepDone + 1, kCycleFirstMessage));
    }
    if (p == kStepDone) {
        std::fill_n(s.TroubleCodeRecords.begin() + kObdCodeRecords, kObdCodeRecords, TTroubleCodeRecord{});
        if (module_.ReadCodes(true))
            troubles_.AddLines(OBDCodeListing(s.TroubleCodeRecords, true, codes_));
        else
            AddTrouble(StepMessage(kStepDone + 1, kPendingFirstMessage));
    }
    if (f == kStepDone) {
        const std::array<uint8_t, 2> none{};
        for (TOBDFreezeFrame &frame : s.FreezeFrames)
            frame.ErrorCode.SetRaw(none, true);
        if (module_.ReadFreezeFrames() && module_.ReadPids())
            freeze_.AddLines(OBDFreezeFrameListing(s));
        else
            AddFreeze(StepMessage(kStepDone + 1, kCycleFirstMessage));
    }
    AcknowledgeRead();
    module_.ReadTroubleState();
    app.UIState().CopyFromDevState(SectionName(TSection::OBD), kCopyAll);
    app.EndDeviceOperation();
}

void TOBDTroubleCycle::AcknowledgeRead()
{
    readAcknowledged_ = module_.Acknowledge(obd_cmd::kAckRead) == obd_cmd::kAccepted;
    ++readAcks_;
}

void TOBDTroubleCycle::Tick()
{
    const TDevStateOBD &s = module_.DevState();
    if (!module_.IsConnected() || !s.Flag(obd_flag::kSystemConnected)) {
        NewCycle();
        greyed_ = true;
        progressVisible_ = false;
        buttonsEnabled_ = false;
        checkEngine_ = checkEnginePanel_ = false;
        return;
    }
    greyed_ = false;
    const int c = static_cast<int>(s.StateClearErrors.GetAsInteger());
    const int r = static_cast<int>(s.StateReadTroubleCodes.GetAsInteger());
    const int p = static_cast<int>(s.StateReadPendingTroubleCodes.GetAsInteger());
    const int f = static_cast<int>(s.StateReadFreezeFrame.GetAsInteger());
    const bool busy = r > 1 || p > 1 || f > 1;
    progressVisible_ = busy && c < kStepWorking;
    buttonsEnabled_ = !busy && c < kStepWorking;

    if (c >= kStepWorking) {
        AddTrouble(c);
        AddFreeze(c);
        if (c > kStepWorking && !clearAcknowledged_) {
            clearAcknowledged_ = true;
            module_.Acknowledge(obd_cmd::kAckClear);
            ++clearAcks_;
        }
        return;
    }
    if (busy) {
        progress_ = (r > 1) + (p > 1) + (f > 1);
        if (const int m = StepMessage(r, kCycleFirstMessage); m >= 0)
            AddTrouble(m);
        if (const int m = StepMessage(p, kPendingFirstMessage); m >= 0)
            AddTrouble(m);
        if (const int m = StepMessage(f, kCycleFirstMessage); m >= 0)
            AddFreeze(m);
        if (r >= kStepWorking + 1 && p >= kStepWorking + 1 && f >= kStepWorking + 1) {
            progress_ = kProgressMax;
            if (!readDone_) {
                readDone_ = true;
                ReadResults(r, p, f);
            } else if (!readAcknowledged_) {
                // The closing command was lost: the adapter still waits for it.
                AcknowledgeRead();
            }
        }
        return;
    }
    const int count = static_cast<int>(s.NumberOfTroubleCodes.GetAsInteger());
    if (s.Flag(obd_flag::kTroubleCodes)) {
        if (shownCount_ >= 0 && shownCount_ != count)
            troubles_.Reset();
        if (shownCount_ != count || !troubles_.Shown(kCountMessage)) {
            troubles_.Add(kCountMessage, TroubleMessageText(kCountMessage, count));
            shownCount_ = count;
        }
    } else {
        AddTrouble(kNoneMessage);
    }
    checkEngine_ = s.Flag(obd_flag::kCheckEngine);
    checkEnginePanel_ = s.PidSupported(obd_pid::kDistanceWithMil) && s.DistanceTraveledWithMILon.GetAsInteger() > 0;
    AddFreeze(s.Flag(obd_flag::kFreezeFrame) ? kCountMessage : kNoneMessage);
}

} // namespace lumex
