// A chart of point and line series over two value axes, painted by hand:
// the map's scatter plots, the model charts and the G3 chart. Mouse and key
// events come out in axis values, so an editor on top needs no pixels.
#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace lumex {

enum class TSeriesStyle
{
    Points, // a marker per point
    Line,   // a polyline through the points in order
    LineAndPoints
};

struct TChartSeries
{
    QString Name;
    QColor Colour;
    TSeriesStyle Style = TSeriesStyle::Points;
    std::vector<QPointF> Points;
    bool Visible = true;
    bool ShowValues = false; // each point's value printed beside it
};

struct TAxisRange
{
    double Min = 0, Max = 1;
};

class TXYChart : public QWidget
{
public:
    explicit TXYChart(QWidget *parent = nullptr);

    // Returns the index of the new series.
    int AddSeries(const TChartSeries &series);
    void SetPoints(int series, std::vector<QPointF> points);
    void SetVisible(int series, bool visible);
    void SetShowValues(int series, bool show);
    const TChartSeries &Series(int series) const { return series_.at(static_cast<std::size_t>(series)); }
    int SeriesCount() const { return static_cast<int>(series_.size()); }

    void SetAxes(TAxisRange x, TAxisRange y);
    TAxisRange XAxis() const { return x_; }
    TAxisRange YAxis() const { return y_; }
    void SetTitles(const QString &x, const QString &y);
    // A labelled marker around one point of a series (the selection).
    void SetMarker(std::optional<QPointF> at);
    std::optional<QPointF> Marker() const { return marker_; }

    QPointF ToPixel(QPointF value) const;
    QPointF ToValue(QPointF pixel) const;
    // The index of the point of `series` within `radius` pixels of `pixel`.
    std::optional<std::size_t> PointNear(int series, QPointF pixel, double radius = 6) const;

    std::function<void(QMouseEvent *, QPointF value)> OnMousePress, OnMouseMove, OnMouseRelease;
    // True when the key was taken.
    std::function<bool(QKeyEvent *)> OnKey;

    QSize sizeHint() const override { return {420, 300}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRectF Plot() const;

    std::vector<TChartSeries> series_;
    TAxisRange x_, y_;
    QString xTitle_, yTitle_;
    std::optional<QPointF> marker_;
};

} // namespace lumex
