// The trouble-code page of the OBD window without the window: the read and
// clear requests, the per-tick cycle over the adapter's four step states,
// the two memos (trouble codes and freeze frames) with their messages, the
// code listings with descriptions, and the progress. The window shows the
// snapshot after every Tick; the command line runs the same object.
#pragma once

#include "adapter/OBDData.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace lumex {

class TModuleOBD;

// One memo: messages added at most once per cycle, the two status messages
// (0 and 1) replacing each other, and listing lines.
class TOBDMemo
{
public:
    void Reset();
    // False when the message was already shown in this cycle.
    bool Add(int message, const std::string &text);
    void AddLines(const std::vector<std::string> &lines);
    // Lines joined with "\r\n", as the memo shows them.
    std::string Text() const;
    const std::vector<std::string> &Lines() const { return lines_; }
    bool Shown(int message) const { return shown_.count(message) != 0; }

private:
    std::vector<std::string> lines_;
    std::set<int> shown_;
    // Where the status message (0 or 1) sits, and how many lines it has.
    std::size_t statusAt_ = 0;
    std::size_t statusLines_ = 0;
    int status_ = -1;
};

// The trouble memo's message texts by number (0..14, otherwise "!UNKNOWN!"
// and the number); `count` fills message 1.
std::string TroubleMessageText(int message, int count = 0);
// The freeze memo's (0..10).
std::string FreezeMessageText(int message);
// "   Error 1: P0123 (description)" lines with their heading; stops at the
// first zero code. `codes` is the OBD code list of the language.
std::vector<std::string> OBDCodeListing(const TTroubleCodeRecords &records, bool pending,
                                        const std::vector<std::string> &codes);
std::vector<std::string> OBDFreezeFrameListing(const TDevStateOBD &s);

class TOBDTroubleCycle
{
public:
    // `codes` is the OBD code list of the current language; it may change
    // between ticks (a language change reloads it).
    TOBDTroubleCycle(TModuleOBD &module, const std::vector<std::string> &codes);

    // The buttons: a new cycle, then the request, the state and the copy.
    // False when the adapter refused or did not answer.
    bool Read();
    bool Clear();
    // One tick of the page.
    void Tick();

    // The pause once all three reads are complete; supplied by the owner.
    std::function<void(int ms)> Wait;

    // --- what the page shows ---
    const TOBDMemo &Troubles() const { return troubles_; }
    const TOBDMemo &Freeze() const { return freeze_; }
    bool ProgressVisible() const { return progressVisible_; }
    int Progress() const { return progress_; }
    static constexpr int kProgressMax = 3;
    bool ButtonsEnabled() const { return buttonsEnabled_; }
    // Without the car both memos are empty and greyed.
    bool Greyed() const { return greyed_; }
    bool CheckEngine() const { return checkEngine_; }
    bool CheckEnginePanelVisible() const { return checkEnginePanel_; }
    // The closing acknowledgements sent in this cycle (7 and 8); a lost
    // read acknowledgement is sent again on the next tick.
    int ReadAcknowledged() const { return readAcks_; }
    int ClearAcknowledged() const { return clearAcks_; }

private:
    void NewCycle();
    void ReadResults(int r, int p, int f);
    void AcknowledgeRead();
    void AddTrouble(int message);
    void AddFreeze(int message);

    TModuleOBD &module_;
    const std::vector<std::string> &codes_;
    TOBDMemo troubles_;
    TOBDMemo freeze_;
    bool progressVisible_ = false;
    int progress_ = 0;
    bool buttonsEnabled_ = false;
    bool greyed_ = true;
    bool checkEngine_ = false;
    bool checkEnginePanel_ = false;
    int shownCount_ = -1;
    bool clearAcknowledged_ = false;
    bool readDone_ = false;
    bool readAcknowledged_ = false;
    int readAcks_ = 0;
    int clearAcks_ = 0;
};

} // namespace lumex
