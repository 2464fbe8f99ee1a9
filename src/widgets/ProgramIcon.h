// The program's icon, painted: a gauge with its needle over a gas flame,
// the same picture as the desktop entry's icon, for window frames and the
// about box without an SVG reader.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace lumex {

QPixmap ProgramIconPixmap(int size);
QIcon ProgramIcon();

} // namespace lumex
