#include "widgets/DipSwitch.h"

#include <QPainter>

namespace lumex {

TDipSwitch::TDipSwitch(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TDipSwitch::paintEvent(QPaintEvent * /*event*/)
{
    QPainter p(this);
    const QRect slot = rect().adjusted(2, 2, -2, -2);
    p.fillRect(slot, palette().color(QPalette::Dark));
    const int half = slot.height() / 2;
    const QRect slide(slot.left() + 2, isChecked() ? slot.top() + 2 : slot.top() + half, slot.width() - 4, half - 2);
    p.fillRect(slide, palette().color(isEnabled() ? QPalette::Light : QPalette::Mid));
}

} // namespace lumex
