#include "widgets/BarChart.h"

#include <QPainter>

#include <algorithm>

namespace lumex {

namespace {

constexpr int kLabelWidth = 60, kMarkSize = 10, kLegendHeight = 18, kMargin = 6;

} // namespace

TBarChart::TBarChart(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void TBarChart::SetCategories(std::vector<QString> names)
{
    categories_ = std::move(names);
    update();
}

int TBarChart::AddSeries(const QString &name, const QColor &colour)
{
    series_.push_back({name, colour, {}});
    update();
    return static_cast<int>(series_.size()) - 1;
}

void TBarChart::SetValues(int series, std::vector<double> values)
{
    series_.at(static_cast<std::size_t>(series)).Values = std::move(values);
    update();
}

void TBarChart::SetMarks(std::vector<QColor> marks)
{
    marks_ = std::move(marks);
    update();
}

void TBarChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    double top = 0;
    for (const TSeries &s : series_)
        for (double v : s.Values)
            top = std::max(top, v);
    if (top <= 0)
        top = 1;
    const QRectF plot(kLabelWidth, kMargin, std::max(1, width() - kLabelWidth - kMargin),
                      std::max(1, height() - kMargin * 2 - kLegendHeight));
    p.setPen(QColor(200, 200, 200));
    p.drawRect(plot);
    const std::size_t rows = std::max<std::size_t>(1, categories_.size());
    const double rowHeight = plot.height() / static_cast<double>(rows);
    const double barHeight = rowHeight * 0.8 / static_cast<double>(std::max<std::size_t>(1, series_.size()));
    for (std::size_t r = 0; r < categories_.size(); ++r) {
        const double y = plot.top() + rowHeight * static_cast<double>(r);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRectF(kMarkSize + 8, y, kLabelWidth - kMarkSize - 10, rowHeight), Qt::AlignVCenter, categories_[r]);
        if (r < marks_.size() && marks_[r].isValid()) {
            p.setPen(marks_[r].darker(140));
            p.setBrush(marks_[r]);
            p.drawEllipse(QRectF(4, y + (rowHeight - kMarkSize) / 2, kMarkSize, kMarkSize));
        }
        for (std::size_t s = 0; s < series_.size(); ++s) {
            const auto &values = series_[s].Values;
            const double v = r < values.size() ? values[r] : 0;
            const QRectF bar(plot.left(), y + rowHeight * 0.1 + barHeight * static_cast<double>(s),
                             plot.width() * v / top, barHeight);
            p.setPen(Qt::NoPen);
            p.setBrush(series_[s].Colour);
            p.drawRect(bar);
            if (v > 0) {
                p.setPen(palette().color(QPalette::WindowText));
                p.drawText(bar.adjusted(4, 0, 200, 0), Qt::AlignVCenter, QString::number(v, 'f', 1).replace('.', ','));
            }
        }
    }
    double x = plot.left();
    for (const TSeries &s : series_) {
        p.setBrush(s.Colour);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(x, height() - kLegendHeight + 4, 10, 10));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QPointF(x + 14, height() - 5), s.Name);
        x += 24 + p.fontMetrics().horizontalAdvance(s.Name);
    }
}

} // namespace lumex
