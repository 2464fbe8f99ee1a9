// Finding a window's component by object name, the way the language files
// address them.
#pragma once

#include <QObject>
#include <QString>

namespace lumex {

// First among the window's own children, by exact name; else depth-first
// through the whole tree (each child's children before the next child).
QObject *FindComponent(QObject *window, const QString &name);

// The property that carries a control's font character set (Qt renders
// Unicode, so it only records what the language asked for).
inline constexpr char CharsetProperty[] = "lumexCharset";
// Set (true) on a combo box whose page fills it from a value table: its
// item lines are kept by the language manager (TLM::ListItems) for the page
// instead of replacing the items, which carry the raw values.
inline constexpr char PageFilledListProperty[] = "lumexPageFilledList";

} // namespace lumex
