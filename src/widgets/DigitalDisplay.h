// A seven-segment style digital display: digits, a minus sign and decimal
// points drawn as lit segments on a coloured face.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace lumex {

class TDigitalDisplay : public QWidget
{
public:
    explicit TDigitalDisplay(QWidget *parent = nullptr, int digits = 5);

    void SetText(const QString &text);
    QString Text() const { return text_; }
    // The face colour; the segments stay dark so any face reads well.
    void SetFaceColour(const QColor &colour);
    QColor FaceColour() const { return face_; }
    void SetDigits(int digits);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
    QColor face_;
    int digits_;
};

// The segments (bit 0 = a, top, clockwise to f, then g in the middle) that
// show a character; 0 for characters without a pattern.
unsigned SegmentsOf(QChar c);

} // namespace lumex
