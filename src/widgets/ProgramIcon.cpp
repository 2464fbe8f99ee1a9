#include "widgets/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lumex {

QPixmap ProgramIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64-unit square, like the desktop icon.
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient face(0, 2, 0, 62);
    face.setColorAt(0, QColor(0x2b, 0x5d, 0x8c));
    face.setColorAt(1, QColor(0x16, 0x34, 0x4f));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    // The scale: an arc over the upper half, its last part yellow.
    const QRectF arc(10, 20, 44, 44);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xe8, 0xee, 0xf4), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(arc, 0, 180 * 16);
    p.setPen(QPen(QColor(0xf2, 0xc2, 0x30), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(arc, 0, 50 * 16);
    p.setPen(QPen(QColor(0xff, 0x5a, 0x3c), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 42), QPointF(45, 27));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xee, 0xf4));
    p.drawEllipse(QPointF(32, 42), 4, 4);

    QPainterPath flame;
    flame.moveTo(32, 58);
    flame.cubicTo(24, 58, 22, 51, 26, 46);
    flame.cubicTo(27, 50, 29, 50, 30, 49);
    flame.cubicTo(28, 44, 31, 40, 34, 37);
    flame.cubicTo(34, 42, 40, 45, 39, 51);
    flame.cubicTo(38, 56, 35, 58, 32, 58);
    QLinearGradient blue(0, 58, 0, 37);
    blue.setColorAt(0, QColor(0x1d, 0x7b, 0xe0));
    blue.setColorAt(1, QColor(0x8f, 0xd3, 0xff));
    p.setOpacity(0.9);
    p.setBrush(blue);
    p.drawPath(flame);
    p.end();
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(ProgramIconPixmap(size));
    return icon;
}

} // namespace lumex
