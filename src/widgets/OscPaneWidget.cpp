#include "widgets/OscPaneWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace lumex {

namespace {

const QColor kGasColumn(221, 255, 221);
const QColor kHandleColour(64, 64, 64);
constexpr int kHandleHalfWidth = 5;

} // namespace

void TOscDragSurface::mousePressEvent(QMouseEvent *event)
{
    if (OnPress)
        OnPress(event->position().toPoint().x());
}

void TOscDragSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (OnMove && (event->buttons() & Qt::LeftButton))
        OnMove(event->position().toPoint().x());
}

void TOscDragSurface::mouseReleaseEvent(QMouseEvent *)
{
    if (OnRelease)
        OnRelease();
}

TOscPaneWidget::TOscPaneWidget(const TOscRecorder &recorder, QWidget *parent)
    : TOscDragSurface(parent), recorder_(recorder)
{
    setMinimumHeight(60);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TOscPaneWidget::SetTraces(std::vector<TOscTrace> traces)
{
    traces_ = std::move(traces);
    update();
}

void TOscPaneWidget::PaintPane(QPainter &painter, int width, int height) const
{
    const auto &ring = recorder_.Ring();
    const int columns = std::min<int>(width, static_cast<int>(ring.size()));
    painter.fillRect(0, 0, width, height, Qt::white);
    // Runs of gas columns as one rectangle each: a column is one slot.
    for (int x = 0; x < columns;) {
        if (!ring[static_cast<std::size_t>(x)].OnGas()) {
            ++x;
            continue;
        }
        int end = x;
        while (end < columns && ring[static_cast<std::size_t>(end)].OnGas())
            ++end;
        painter.fillRect(x, 0, end - x, height, kGasColumn);
        x = end;
    }
    const int bottom = height - 1;
    QPolygon points(columns);
    for (const TOscTrace &trace : traces_) {
        const auto [low, high] = trace.Scale();
        for (int x = 0; x < columns; ++x)
            points[x] = QPoint(x, PixelRow(trace.Value(ring[static_cast<std::size_t>(x)]), low, high, bottom));
        painter.setPen(trace.Colour);
        painter.drawPolyline(points);
    }
    painter.setPen(cursorColour_);
    const int cursor = recorder_.Position();
    painter.drawLine(cursor, 0, cursor, bottom);
}

void TOscPaneWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PaintPane(painter, width(), height());
}

TOscHandleBar::TOscHandleBar(const TOscRecorder &recorder, bool pointsDown, QWidget *parent)
    : TOscDragSurface(parent), recorder_(recorder), pointsDown_(pointsDown)
{
    setFixedHeight(10);
    setCursor(Qt::SizeHorCursor);
}

void TOscHandleBar::paintEvent(QPaintEvent *)
{
    if (recorder_.Recording())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int x = recorder_.Position();
    const int tip = pointsDown_ ? height() : 0;
    const int base = pointsDown_ ? 0 : height();
    const QPoint triangle[3] = {{x - kHandleHalfWidth, base}, {x + kHandleHalfWidth, base}, {x, tip}};
    painter.setBrush(kHandleColour);
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(triangle, 3);
}

} // namespace lumex
