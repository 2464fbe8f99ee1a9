#include "widgets/DigitalDisplay.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <vector>

namespace lumex {

namespace {

constexpr unsigned kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64;

struct TCell
{
    unsigned Segments = 0;
    bool Point = false;
};

std::vector<TCell> Cells(const QString &text)
{
    std::vector<TCell> cells;
    for (QChar c : text) {
        if ((c == '.' || c == ',') && !cells.empty() && !cells.back().Point) {
            cells.back().Point = true;
            continue;
        }
        cells.push_back({SegmentsOf(c), c == '.' || c == ','});
    }
    return cells;
}

// One segment from p to q as a hexagon of thickness w, pointed at both
// ends so neighbouring segments meet in a mitre with a hairline gap.
QPolygonF Segment(QPointF p, QPointF q, double w)
{
    const double h = w / 2;
    const double g = 0.8; // the gap at each end
    if (p.y() == q.y()) {
        return QPolygonF({QPointF(p.x() + g, p.y()), QPointF(p.x() + g + h, p.y() - h),
                          QPointF(q.x() - g - h, q.y() - h), QPointF(q.x() - g, q.y()),
                          QPointF(q.x() - g - h, q.y() + h), QPointF(p.x() + g + h, p.y() + h)});
    }
    return QPolygonF({QPointF(p.x(), p.y() + g), QPointF(p.x() + h, p.y() + g + h), QPointF(q.x() + h, q.y() - g - h),
                      QPointF(q.x(), q.y() - g), QPointF(q.x() - h, q.y() - g - h), QPointF(p.x() - h, p.y() + g + h)});
}

} // namespace

unsigned SegmentsOf(QChar c)
{
    switch (c.toLatin1()) {
    case '0':
        return kA | kB | kC | kD | kE | kF;
    case '1':
        return kB | kC;
    case '2':
        return kA | kB | kG | kE | kD;
    case '3':
        return kA | kB | kG | kC | kD;
    case '4':
        return kF | kG | kB | kC;
    case '5':
        return kA | kF | kG | kC | kD;
    case '6':
        return kA | kF | kG | kE | kC | kD;
    case '7':
        return kA | kB | kC;
    case '8':
        return kA | kB | kC | kD | kE | kF | kG;
    case '9':
        return kA | kB | kC | kD | kF | kG;
    case '-':
        return kG;
    case 'E':
        return kA | kF | kG | kE | kD;
    case 'r':
        return kE | kG;
    case 'o':
        return kC | kD | kE | kG;
    case 'H':
        return kF | kE | kG | kB | kC;
    case 'L':
        return kF | kE | kD;
    case 'P':
        return kA | kB | kF | kG | kE;
    default:
        return 0;
    }
}

TDigitalDisplay::TDigitalDisplay(QWidget *parent, int digits) : QWidget(parent), face_(Qt::black), digits_(digits)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void TDigitalDisplay::SetText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    update();
}

void TDigitalDisplay::SetFaceColour(const QColor &colour)
{
    if (colour == face_)
        return;
    face_ = colour;
    update();
}

void TDigitalDisplay::SetDigits(int digits)
{
    digits_ = std::max(1, digits);
    updateGeometry();
    update();
}

QSize TDigitalDisplay::sizeHint() const
{
    return {digits_ * 26 + 12, 48};
}

QSize TDigitalDisplay::minimumSizeHint() const
{
    return {digits_ * 14 + 8, 28};
}

void TDigitalDisplay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(face_);
    p.drawRoundedRect(r, 4, 4);

    // Segments in a dark ink on light faces and a light one on dark faces.
    const bool darkFace = face_.lightness() < 110;
    const QColor lit = darkFace ? QColor(255, 235, 120) : QColor(20, 20, 20);
    QColor unlit = lit;
    unlit.setAlpha(12);

    const auto cells = Cells(text_);
    const int count = std::max<int>(digits_, static_cast<int>(cells.size()));
    const double margin = r.height() * 0.16;
    const double cellH = r.height() - 2 * margin;
    const double cellW = std::min((r.width() - 2 * margin) / count, cellH * 0.72);
    const double w = std::max(2.0, cellW * 0.17);
    const double segW = cellW * 0.62;
    // Right-aligned, as a meter shows numbers.
    double x = r.right() - margin - count * cellW;
    const int blank = count - static_cast<int>(cells.size());
    for (int i = 0; i < count; ++i, x += cellW) {
        const TCell cell = i < blank ? TCell{} : cells[static_cast<std::size_t>(i - blank)];
        const double left = x + (cellW - segW) / 2;
        const double right = left + segW;
        const double top = r.top() + margin;
        const double mid = top + cellH / 2;
        const double bottom = top + cellH;
        const QPolygonF seg[7] = {
            Segment({left, top}, {right, top}, w),     Segment({right, top}, {right, mid}, w),
            Segment({right, mid}, {right, bottom}, w), Segment({left, bottom}, {right, bottom}, w),
            Segment({left, mid}, {left, bottom}, w),   Segment({left, top}, {left, mid}, w),
            Segment({left, mid}, {right, mid}, w),
        };
        p.setPen(Qt::NoPen);
        for (int s = 0; s < 7; ++s) {
            p.setBrush((cell.Segments >> s) & 1U ? lit : unlit);
            p.drawPolygon(seg[s]);
        }
        if (cell.Point) {
            p.setBrush(lit);
            p.drawEllipse(QPointF(right + (cellW - segW) / 2, bottom), w * 0.6, w * 0.6);
        }
    }
}

} // namespace lumex
