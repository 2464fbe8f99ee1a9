#include "widgets/CellGrid.h"

#include <QHeaderView>

namespace lumex {

QTableWidget *MakeCellGrid(const QString &name, int rows, int columns, int cellWidth,
                           QAbstractItemView::EditTriggers editTriggers, QAbstractItemView::SelectionMode selection)
{
    auto *t = new QTableWidget(rows, columns);
    t->setObjectName(name);
    t->horizontalHeader()->setVisible(false);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setDefaultSectionSize(cellWidth);
    t->verticalHeader()->setDefaultSectionSize(kCellGridRowHeight);
    t->setEditTriggers(editTriggers);
    t->setSelectionMode(selection);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Two pixels for the frame.
    t->setFixedSize(columns * cellWidth + 2, rows * kCellGridRowHeight + 2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            t->setItem(r, c, item);
        }
    return t;
}

} // namespace lumex
