// One pane of the oscilloscope: a light-green column behind every sample
// taken on gas, the traces as polylines through one point per column, and
// the cursor line. It paints straight from the recorder's ring.
#pragma once

#include "mainwindow/OscRecorder.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

namespace lumex {

// A trace: its colour and how a sample's value and the scale are found.
struct TOscTrace
{
    QColor Colour;
    std::function<double(const TOscSample &)> Value;
    std::function<std::pair<double, double>()> Scale;
};

// Reports the cursor drag in pane columns; the panes and the handle strips
// share it.
class TOscDragSurface : public QWidget
{
public:
    using QWidget::QWidget;

    std::function<void(int x)> OnPress;
    std::function<void(int x)> OnMove;
    std::function<void()> OnRelease;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class TOscPaneWidget : public TOscDragSurface
{
public:
    TOscPaneWidget(const TOscRecorder &recorder, QWidget *parent = nullptr);

    void SetTraces(std::vector<TOscTrace> traces);
    void SetCursorColour(const QColor &colour) { cursorColour_ = colour; }

    // Paints the pane into `painter` over `width` × `height` (also the
    // benchmark's entry).
    void PaintPane(QPainter &painter, int width, int height) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const TOscRecorder &recorder_;
    std::vector<TOscTrace> traces_;
    QColor cursorColour_{128, 128, 128};
};

// The strip above or below the panes that carries a drag handle on the
// cursor.
class TOscHandleBar : public TOscDragSurface
{
public:
    TOscHandleBar(const TOscRecorder &recorder, bool pointsDown, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const TOscRecorder &recorder_;
    bool pointsDown_;
};

} // namespace lumex
