#include "ComponentDrawings.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <cstring>
#include <numbers>

namespace lumex::pictures {

namespace {

// The drawing area above the caption strip.
constexpr int kCaptionHeight = 40;
const QColor kPaper(250, 250, 246);
const QColor kInk(40, 40, 48);
const QColor kMetal(200, 206, 214);
const QColor kPlastic(70, 72, 80);
const QColor kBrass(214, 178, 90);

using TDraw = void (*)(QPainter &);

void Hexagon(QPainter &p, QPointF centre, double radius)
{
    QPolygonF hex;
    for (int i = 0; i < 6; ++i) {
        const double angle = std::numbers::pi / 3 * i;
        hex << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    p.drawPolygon(hex);
}

void Thread(QPainter &p, QRectF body, int turns)
{
    p.drawRect(body);
    const double step = body.width() / turns;
    for (int i = 1; i < turns; ++i)
        p.drawLine(QPointF(body.left() + step * i, body.top()),
                   QPointF(body.left() + step * i - step / 2, body.bottom()));
}

void Cable(QPainter &p, QPointF from, QPointF to)
{
    QPainterPath path(from);
    path.cubicTo(from + QPointF(40, 0), to - QPointF(40, 0), to);
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPlastic, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
    p.restore();
}

// A rail with four injectors, the gas inlet on the left, plugs on top.
void GasInjector(QPainter &p)
{
    p.setBrush(kMetal);
    p.drawRoundedRect(QRectF(60, 70, 200, 40), 6, 6);
    p.drawRect(QRectF(30, 82, 30, 16)); // inlet fitting
    for (int i = 0; i < 4; ++i) {
        const double x = 80 + i * 46;
        p.setBrush(kPlastic);
        p.drawRect(QRectF(x, 48, 22, 22)); // plug
        p.setBrush(kMetal);
        p.drawRect(QRectF(x + 5, 110, 12, 40)); // nozzle
        p.setBrush(kBrass);
        p.drawRect(QRectF(x + 8, 150, 6, 22)); // hose tail
    }
}

// A round body with water and gas connections and the adjusting screw.
void Reducer(QPainter &p)
{
    p.setBrush(kMetal);
    p.drawEllipse(QPointF(160, 105), 70, 70);
    p.drawEllipse(QPointF(160, 105), 40, 40);
    p.setBrush(kBrass);
    Hexagon(p, QPointF(160, 105), 12);
    for (const QRectF &pipe : {QRectF(60, 55, 40, 14), QRectF(60, 140, 40, 14), QRectF(220, 98, 50, 14)})
        p.drawRect(pipe);
    p.drawRect(QRectF(153, 20, 14, 20)); // gas inlet
}

// A square body with the plug on one side and two hose nipples below.
void PressureSensor(QPainter &p)
{
    p.setBrush(kPlastic);
    p.drawRoundedRect(QRectF(110, 50, 100, 90), 8, 8);
    p.setBrush(kMetal);
    p.drawRect(QRectF(210, 75, 30, 40)); // plug
    p.setBrush(kBrass);
    p.drawRect(QRectF(130, 140, 14, 40));
    p.drawRect(QRectF(176, 140, 14, 40));
    p.setPen(QPen(kPaper, 2));
    p.drawText(QRectF(110, 80, 100, 30), Qt::AlignCenter, "P");
}

// A round dial with its scale and needle, the cable leaving on the right.
void LevelSensor(QPainter &p)
{
    p.setBrush(kMetal);
    p.drawEllipse(QPointF(140, 100), 70, 70);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(140, 100), 52, 52);
    for (int i = 0; i <= 4; ++i) {
        const double angle = std::numbers::pi * (1.0 + i / 4.0);
        const QPointF dir(std::cos(angle), std::sin(angle));
        p.drawLine(QPointF(140, 100) + dir * 40, QPointF(140, 100) + dir * 50);
    }
    p.setPen(QPen(QColor(190, 40, 40), 3));
    p.drawLine(QPointF(140, 100), QPointF(175, 72));
    p.setPen(QPen(kInk, 2));
    Cable(p, QPointF(210, 100), QPointF(290, 150));
}

// A threaded body with its hexagon, the slotted tip and the cable.
void LambdaProbe(QPainter &p)
{
    p.setBrush(kMetal);
    p.drawRoundedRect(QRectF(40, 88, 36, 24), 10, 10); // slotted tip
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(48 + i * 9, 92), QPointF(48 + i * 9, 108));
    Thread(p, QRectF(76, 86, 50, 28), 6);
    p.setBrush(kBrass);
    p.drawRect(QRectF(126, 74, 36, 52)); // hexagon seen from the side
    p.drawLine(QPointF(126, 92), QPointF(162, 92));
    p.drawLine(QPointF(126, 108), QPointF(162, 108));
    p.setBrush(kMetal);
    p.drawRect(QRectF(162, 88, 40, 24));
    Cable(p, QPointF(202, 100), QPointF(290, 60));
}

// A small threaded sensor with its plug, seen from the side.
void GasTempSensor(QPainter &p)
{
    p.setBrush(kBrass);
    Thread(p, QRectF(70, 90, 60, 20), 6);
    p.drawRect(QRectF(130, 78, 34, 44));
    p.setBrush(kPlastic);
    p.drawRoundedRect(QRectF(164, 82, 60, 36), 6, 6);
    Cable(p, QPointF(224, 100), QPointF(290, 140));
}

struct TDrawing
{
    TPhotoComponent Component;
    TDraw Draw;
};

constexpr TDrawing kDrawings[] = {
    {TPhotoComponent::GasInjector, GasInjector},       {TPhotoComponent::Reducer, Reducer},
    {TPhotoComponent::PressureSensor, PressureSensor}, {TPhotoComponent::LevelSensor, LevelSensor},
    {TPhotoComponent::LambdaProbe, LambdaProbe},       {TPhotoComponent::GasTempSensor, GasTempSensor},
};

} // namespace

QImage DrawComponentPhoto(const TComponentPhoto &photo)
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB888);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 2));
    QFont font("DejaVu Sans");
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    for (const auto &drawing : kDrawings) {
        if (drawing.Component == photo.Component) {
            p.save();
            drawing.Draw(p);
            p.restore();
        }
    }
    const QRectF caption(0, kPhotoHeight - kCaptionHeight, kPhotoWidth, kCaptionHeight);
    p.setBrush(Qt::NoBrush);
    p.drawLine(caption.topLeft() + QPointF(20, 0), caption.topRight() - QPointF(20, 0));
    p.drawText(caption, Qt::AlignCenter,
               QString::fromUtf8(photo.Title.data(), static_cast<qsizetype>(photo.Title.size())));
    p.drawRect(QRectF(1, 1, kPhotoWidth - 2, kPhotoHeight - 2));
    return image;
}

TRgbImage ToRgbImage(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    TRgbImage picture;
    picture.Width = rgb.width();
    picture.Height = rgb.height();
    picture.Bytes.resize(picture.RowBytes() * static_cast<std::size_t>(picture.Height));
    for (int y = 0; y < picture.Height; ++y)
        std::memcpy(picture.Bytes.data() + picture.RowBytes() * y, rgb.constScanLine(y), picture.RowBytes());
    return picture;
}

} // namespace lumex::pictures
