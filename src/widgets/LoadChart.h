// A small pie chart of a load in percent and its remainder.
#pragma once

#include <QColor>
#include <QWidget>

namespace lumex {

class TLoadChartWidget : public QWidget
{
public:
    explicit TLoadChartWidget(QWidget *parent = nullptr);

    // `valid` false shows an empty chart.
    void SetLoad(bool valid, int percent);
    bool Valid() const { return valid_; }
    int Load() const { return load_; }
    void SetLoadColour(const QColor &colour);

    QSize sizeHint() const override { return {96, 96}; }
    QSize minimumSizeHint() const override { return {48, 48}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool valid_ = false;
    int load_ = 0;
    QColor loadColour_;
};

} // namespace lumex
