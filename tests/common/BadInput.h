// Typing what a numeric field must refuse, for the walks over the windows:
// the bad texts, the keys that type and commit them, and the check that no
// write command reached the simulated controller.
#pragma once

#include "SimHarness.h"

#include "controller/CommandCodes.h"
#include "sim/controller/ParameterStore.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace testsupport {

// Texts no numeric field may take, whatever its range.
inline const std::vector<std::string> kNonNumbers = {"abc", "", "1,2,3", "12abc", "99999999999999999999"};

// The non-numbers, then the texts just outside [below, above].
inline std::vector<std::string> BadTexts(const std::string &below, const std::string &above)
{
    std::vector<std::string> texts = kNonNumbers;
    texts.push_back(below);
    texts.push_back(above);
    return texts;
}

// Brings every tab and stacked page that holds `w` to the front.
inline void Reveal(QWidget *w)
{
    for (QWidget *child = w, *p = w->parentWidget(); p; child = p, p = p->parentWidget()) {
        auto *stack = qobject_cast<QStackedWidget *>(p);
        if (!stack)
            continue;
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget()))
            tabs->setCurrentWidget(child);
        else
            stack->setCurrentWidget(child);
    }
}

// One key pressed and released on `to`, carrying `text`.
inline void Key(QWidget *to, int key, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &release);
}

inline int KeyOf(QChar c)
{
    if (c.isDigit())
        return Qt::Key_0 + c.digitValue();
    if (c.isLetter())
        return Qt::Key_A + (c.toUpper().unicode() - 'A');
    return c.unicode(); // ',', '-', '.', '+' share their code with the key
}

// Types `text` over what the field shows, key by key, and commits it with
// Enter: what the installer does, keystroke filters and length limits
// included. A spin box takes the keys itself, as it does from the keyboard.
inline void TypeOver(QWidget *field, const std::string &text)
{
    Reveal(field);
    field->setFocus();
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        edit->selectAll();
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(field))
        spin->selectAll();
    Key(field, Qt::Key_Delete);
    for (const QChar c : QString::fromStdString(text))
        Key(field, KeyOf(c), QString(c));
    Key(field, Qt::Key_Return);
}

// The controller's commands that change what it stores.
inline bool IsWriteCommand(uint8_t code)
{
    using namespace lumex::cmd;
    static constexpr std::array kWrites{
        WriteBasicConfig,      WriteByteParam,      ClearTroubleCodes, WriteInjectorParams, WriteModelParam,
        ValveAction,           WriteMemWord,        WriteMemByte,      WriteLevelSensorA,   WriteLevelSensorB,
        WriteEmulatorSwitches, LockDevice,          UnlockDevice,      WriteWordParam,      WriteComputerCode,
        WriteInspection,       WriteAdaptationCorr, StartInjTest,      WriteInjCorr,        WriteModel2SetB,
        WriteCorrPcol,         WriteModelPoints,    WriteCorrPressure, WriteCorrGasTemp,    WriteModel2SetA,
        WriteBasicConfigG3,    WriteCorrRPM,        ClearMap,          WriteMapG3Row};
    return std::find(kWrites.begin(), kWrites.end(), code) != kWrites.end();
}

// The write requests of the trace ("C0 D9 ..."), with their command codes.
inline std::vector<std::string> WriteRequests(const SimHarness &sim)
{
    std::vector<std::string> writes;
    for (const SimFrame &f : sim.Trace()) {
        if (f.IsRequest() && f.bytes.size() >= 2 && f.bytes[0] == 0xC0 && IsWriteCommand(f.bytes[1]))
            writes.push_back(f.hex);
    }
    return writes;
}

// The settings of `now` that differ from `before`, by name: what a write
// would have changed. Live counters and logs are left out.
inline std::vector<std::string> ChangedSettings(const sim::ParameterStore &before, const sim::ParameterStore &now)
{
    std::vector<std::string> changed;
    const auto check = [&](bool same, const char *name) {
        if (!same)
            changed.push_back(name);
    };
    check(before.core == now.core, "core");
    check(before.byteParams == now.byteParams, "byteParams");
    check(before.wordParams == now.wordParams, "wordParams");
    check(before.modelParams == now.modelParams, "modelParams");
    check(before.cps == now.cps && before.cpcol == now.cpcol, "pressure corrections");
    check(before.ctg == now.ctg && before.crpm == now.crpm, "temperature and RPM corrections");
    check(before.modelPoints == now.modelPoints, "modelPoints");
    check(before.model2A == now.model2A, "model2A");
    check(before.injCorr == now.injCorr, "injCorr");
    check(before.adaptBank1 == now.adaptBank1 && before.adaptBank2 == now.adaptBank2, "adaptation tables");
    check(before.mapG3 == now.mapG3, "mapG3");
    return changed;
}

} // namespace testsupport
