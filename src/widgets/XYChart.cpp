#include "widgets/XYChart.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

// Room for the axis numbers and titles around the plot.
constexpr int kLeftMargin = 46, kBottomMargin = 34, kTopMargin = 10, kRightMargin = 12;
constexpr int kGridLines = 5;
constexpr double kMarkerRadius = 3.5;

QString AxisNumber(double v)
{
    return QString::number(v, 'f', std::fabs(v) < 10 ? 2 : 1).replace('.', ',');
}

} // namespace

TXYChart::TXYChart(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

int TXYChart::AddSeries(const TChartSeries &series)
{
    series_.push_back(series);
    update();
    return static_cast<int>(series_.size()) - 1;
}

void TXYChart::SetPoints(int series, std::vector<QPointF> points)
{
    series_.at(static_cast<std::size_t>(series)).Points = std::move(points);
    update();
}

void TXYChart::SetVisible(int series, bool visible)
{
    series_.at(static_cast<std::size_t>(series)).Visible = visible;
    update();
}

void TXYChart::SetShowValues(int series, bool show)
{
    series_.at(static_cast<std::size_t>(series)).ShowValues = show;
    update();
}

void TXYChart::SetAxes(TAxisRange x, TAxisRange y)
{
    // An empty range would divide by zero.
    if (x.Max <= x.Min)
        x.Max = x.Min + 1;
    if (y.Max <= y.Min)
        y.Max = y.Min + 1;
    x_ = x;
    y_ = y;
    update();
}

void TXYChart::SetTitles(const QString &x, const QString &y)
{
    xTitle_ = x;
    yTitle_ = y;
    update();
}

void TXYChart::SetMarker(std::optional<QPointF> at)
{
    marker_ = at;
    update();
}

QRectF TXYChart::Plot() const
{
    return QRectF(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
                  std::max(1, height() - kTopMargin - kBottomMargin));
}

QPointF TXYChart::ToPixel(QPointF value) const
{
    const QRectF r = Plot();
    return {r.left() + (value.x() - x_.Min) / (x_.Max - x_.Min) * r.width(),
            r.bottom() - (value.y() - y_.Min) / (y_.Max - y_.Min) * r.height()};
}

QPointF TXYChart::ToValue(QPointF pixel) const
{
    const QRectF r = Plot();
    return {x_.Min + (pixel.x() - r.left()) / r.width() * (x_.Max - x_.Min),
            y_.Min + (r.bottom() - pixel.y()) / r.height() * (y_.Max - y_.Min)};
}

std::optional<std::size_t> TXYChart::PointNear(int series, QPointF pixel, double radius) const
{
    const auto &points = Series(series).Points;
    std::optional<std::size_t> best;
    double bestDistance = radius;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF d = ToPixel(points[i]) - pixel;
        const double distance = std::hypot(d.x(), d.y());
        if (distance <= bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void TXYChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = Plot();
    const QColor grid(225, 225, 225);
    p.setPen(grid);
    for (int i = 0; i <= kGridLines; ++i) {
        const double fx = r.left() + r.width() * i / kGridLines;
        const double fy = r.top() + r.height() * i / kGridLines;
        p.drawLine(QPointF(fx, r.top()), QPointF(fx, r.bottom()));
        p.drawLine(QPointF(r.left(), fy), QPointF(r.right(), fy));
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(r);
    const QFontMetrics fm(font());
    for (int i = 0; i <= kGridLines; ++i) {
        const double vx = x_.Min + (x_.Max - x_.Min) * i / kGridLines;
        const double vy = y_.Min + (y_.Max - y_.Min) * i / kGridLines;
        const QString tx = AxisNumber(vx), ty = AxisNumber(vy);
        const QPointF px = ToPixel({vx, y_.Min}), py = ToPixel({x_.Min, vy});
        p.drawText(QPointF(px.x() - fm.horizontalAdvance(tx) / 2.0, r.bottom() + fm.ascent() + 2), tx);
        p.drawText(QPointF(r.left() - fm.horizontalAdvance(ty) - 4, py.y() + fm.ascent() / 2.0 - 1), ty);
    }
    p.drawText(QRectF(r.left(), r.bottom() + fm.height() + 2, r.width(), fm.height()), Qt::AlignCenter, xTitle_);
    p.save();
    p.translate(10, r.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-r.height() / 2, -fm.ascent(), r.height(), fm.height()), Qt::AlignCenter, yTitle_);
    p.restore();

    p.setClipRect(r.adjusted(-kMarkerRadius, -kMarkerRadius, kMarkerRadius, kMarkerRadius));
    for (const TChartSeries &s : series_) {
        if (!s.Visible || s.Points.empty())
            continue;
        if (s.Style != TSeriesStyle::Points) {
            // A point that is not a number breaks the line.
            QPainterPath path;
            bool pen = false;
            for (const QPointF &v : s.Points) {
                if (std::isnan(v.x()) || std::isnan(v.y())) {
                    pen = false;
                    continue;
                }
                if (pen)
                    path.lineTo(ToPixel(v));
                else
                    path.moveTo(ToPixel(v));
                pen = true;
            }
            p.setPen(QPen(s.Colour, 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        }
        if (s.Style != TSeriesStyle::Line) {
            p.setPen(s.Colour.darker(130));
            p.setBrush(s.Colour);
            for (const QPointF &v : s.Points) {
                if (!std::isnan(v.x()) && !std::isnan(v.y()))
                    p.drawEllipse(ToPixel(v), kMarkerRadius, kMarkerRadius);
            }
        }
        if (s.ShowValues) {
            p.setPen(s.Colour.darker(150));
            for (const QPointF &v : s.Points) {
                const QString text = AxisNumber(v.x()) + "; " + AxisNumber(v.y());
                p.drawText(ToPixel(v) + QPointF(6, -6), text);
            }
        }
    }
    if (marker_) {
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(Qt::NoBrush);
        const QPointF c = ToPixel(*marker_);
        p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
        p.drawText(c + QPointF(9, 14), AxisNumber(marker_->x()) + "; " + AxisNumber(marker_->y()));
    }
}

void TXYChart::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (OnMousePress)
        OnMousePress(event, ToValue(event->position()));
}

void TXYChart::mouseMoveEvent(QMouseEvent *event)
{
    if (OnMouseMove)
        OnMouseMove(event, ToValue(event->position()));
}

void TXYChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (OnMouseRelease)
        OnMouseRelease(event, ToValue(event->position()));
}

void TXYChart::keyPressEvent(QKeyEvent *event)
{
    if (OnKey && OnKey(event))
        return;
    QWidget::keyPressEvent(event);
}

} // namespace lumex
