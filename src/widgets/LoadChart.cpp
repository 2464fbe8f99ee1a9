#include "widgets/LoadChart.h"

#include <QPainter>
#include <algorithm>

namespace lumex {

TLoadChartWidget::TLoadChartWidget(QWidget *parent) : QWidget(parent), loadColour_(220, 60, 40) {}

void TLoadChartWidget::SetLoad(bool valid, int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (valid == valid_ && percent == load_)
        return;
    valid_ = valid;
    load_ = percent;
    update();
}

void TLoadChartWidget::SetLoadColour(const QColor &colour)
{
    loadColour_ = colour;
    update();
}

void TLoadChartWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 4;
    const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(QColor(225, 225, 225));
    p.drawEllipse(r);
    if (valid_ && load_ > 0) {
        p.setBrush(loadColour_);
        // Clockwise from twelve o'clock; Qt counts sixteenths of a degree.
        p.drawPie(r, 90 * 16, -load_ * 360 * 16 / 100);
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(r, Qt::AlignCenter, valid_ ? QString::number(load_) + "%" : QStringLiteral("--"));
}

} // namespace lumex
