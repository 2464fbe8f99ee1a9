// Horizontal bars, one row per category and one bar per series in each
// row, with a round mark before each row: the injector test's chart.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

namespace lumex {

class TBarChart : public QWidget
{
public:
    explicit TBarChart(QWidget *parent = nullptr);

    void SetCategories(std::vector<QString> names);
    // Values of one series, one per category.
    int AddSeries(const QString &name, const QColor &colour);
    void SetValues(int series, std::vector<double> values);
    const std::vector<double> &Values(int series) const { return series_.at(static_cast<std::size_t>(series)).Values; }
    // The mark before each row; an invalid colour draws none.
    void SetMarks(std::vector<QColor> marks);
    const std::vector<QColor> &Marks() const { return marks_; }

    QSize sizeHint() const override { return {420, 260}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct TSeries
    {
        QString Name;
        QColor Colour;
        std::vector<double> Values;
    };
    std::vector<QString> categories_;
    std::vector<TSeries> series_;
    std::vector<QColor> marks_;
};

} // namespace lumex
