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

} // namespace lumex
