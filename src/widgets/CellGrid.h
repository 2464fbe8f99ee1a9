// A fixed-size table of value cells without headers or scroll bars, every
// cell holding a centred item, as the adaptation and emulation grids show.
#pragma once

#include <QTableWidget>

namespace lumex {

inline constexpr int kCellGridRowHeight = 22;

// `editTriggers` decides whether the user may type into the cells.
QTableWidget *MakeCellGrid(const QString &name, int rows, int columns, int cellWidth,
                           QAbstractItemView::EditTriggers editTriggers, QAbstractItemView::SelectionMode selection);

} // namespace lumex
