#include "SchemaDrawing.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>

namespace lumex::pictures {

namespace {

enum TLabel
{
    Tank,
    Multivalve,
    Filter,
    Reducer,
    GasInjectors,
    MapSensor,
    Controller,
    Switch,
    PetrolInjectors,
    Engine,
    Battery,
    Ignition,
    Lambda,
    PetrolEcu,
    Coolant,
    LegendGas,
    LegendWires,
    LabelCount
};

const QColor kPaper(255, 255, 255);
const QColor kInk(30, 34, 40);
const QColor kGasPipe(226, 160, 30);
const QColor kCoolant(60, 120, 200);
const QColor kWire(40, 40, 40);
const QColor kBox(236, 240, 246);
const QColor kAccent(20, 110, 80);

QString Text(const TSchemaLanguage &language, TLabel label)
{
    const std::string_view text = language.Labels.at(label);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where a component's label goes: under the box (wrapped, wider than the
// box), inside it, in the lower part of it, or left of it.
enum class TLabelPlace
{
    Below,
    Inside,
    InsideBottom,
    Left
};

QRectF Component(QPainter &p, const QRectF &box, const QString &label, const QColor &fill = kBox,
                 TLabelPlace place = TLabelPlace::Below, double labelWidth = 0)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(fill);
    p.drawRoundedRect(box, 8, 8);
    p.setFont(QFont("DejaVu Sans", 10, QFont::Bold));
    switch (place) {
    case TLabelPlace::Below: {
        const double width = labelWidth > 0 ? labelWidth : box.width() + 140;
        QRectF area(box.center().x() - width / 2, box.bottom() + 4, width, 54);
        // Moved inside the picture where a box stands near its edge.
        area.translate(std::max(0.0, 4 - area.left()), 0);
        area.translate(std::min(0.0, kSchemaWidth - 4 - area.right()), 0);
        p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, label);
        break;
    }
    case TLabelPlace::Inside:
        p.setFont(QFont("DejaVu Sans", 9, QFont::Bold));
        p.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, label);
        break;
    case TLabelPlace::InsideBottom:
        p.drawText(QRectF(box.left() + 4, box.bottom() - 40, box.width() - 8, 36), Qt::AlignCenter | Qt::TextWordWrap,
                   label);
        break;
    case TLabelPlace::Left:
        p.drawText(QRectF(box.left() - 150, box.top(), 144, box.height()),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap, label);
        break;
    }
    return box;
}

void Pipe(QPainter &p, const QColor &colour, std::initializer_list<QPointF> points, double width = 6)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

void Wire(QPainter &p, std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kWire, 2, Qt::DashLine));
    p.drawPath(path);
}

void Engine4(QPainter &p, const QRectF &block)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(210, 214, 220));
    p.drawRect(block);
    const double step = block.width() / 4;
    for (int i = 0; i < 4; ++i) {
        const QRectF cylinder(block.left() + step * i + 12, block.top() + 20, step - 24, block.height() - 40);
        p.setBrush(QColor(245, 245, 245));
        p.drawEllipse(cylinder);
    }
}

} // namespace

const std::vector<TSchemaLanguage> &SchemaLanguages()
{
    static const std::vector<TSchemaLanguage> languages = {
        {"PL",
         "Schemat instalacji gazowej (sekwencyjny wtrysk gazu)",
         {"Zbiornik gazu", "Wielozawór", "Filtr fazy lotnej", "Reduktor", "Listwa wtryskiwaczy gazu",
          "Czujnik ciśnienia gazu i podciśnienia (MAP)", "Sterownik", "Przełącznik paliwa", "Wtryskiwacze benzyny",
          "Silnik", "Akumulator", "Stacyjka (+12 V po zapłonie)", "Sonda lambda", "Sterownik benzynowy samochodu",
          "Obieg płynu chłodzącego", "Przewód gazowy", "Przewody elektryczne"}},
        {"EN",
         "Gas system installation schema (sequential gas injection)",
         {"Gas tank", "Multivalve", "Vapour phase filter", "Reducer", "Gas injector rail",
          "Gas pressure and manifold pressure sensor (MAP)", "Controller", "Fuel switch", "Petrol injectors", "Engine",
          "Battery", "Ignition (+12 V when on)", "Lambda probe", "Car's petrol ECU", "Coolant circuit", "Gas line",
          "Electrical wires"}},
        {"DE",
         "Einbauschema der Gasanlage (sequentielle Gaseinspritzung)",
         {"Gastank", "Multiventil", "Gasphasenfilter", "Verdampfer", "Gaseinblasleiste",
          "Gasdruck- und Saugrohrdrucksensor (MAP)", "Steuergerät", "Umschalter", "Benzineinspritzdüsen", "Motor",
          "Batterie", "Zündung (+12 V bei Zündung ein)", "Lambdasonde", "Benzin-Motorsteuergerät",
          "Kühlmittelkreislauf", "Gasleitung", "Elektrische Leitungen"}},
        {"CZ",
         "Schéma instalace plynového zařízení (sekvenční vstřikování plynu)",
         {"Nádrž plynu", "Multiventil", "Filtr plynné fáze", "Reduktor", "Lišta plynových vstřikovačů",
          "Snímač tlaku plynu a podtlaku (MAP)", "Řídicí jednotka", "Přepínač paliva", "Benzínové vstřikovače", "Motor",
          "Akumulátor", "Zapalování (+12 V po zapnutí)", "Lambda sonda", "Řídicí jednotka benzínu",
          "Okruh chladicí kapaliny", "Plynové potrubí", "Elektrické vodiče"}},
    };
    return languages;
}

QImage DrawSchema(const TSchemaLanguage &language)
{
    QImage image(kSchemaWidth, kSchemaHeight, QImage::Format_RGB888);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(kInk);
    p.setFont(QFont("DejaVu Sans", 16, QFont::Bold));
    p.drawText(QRectF(0, 14, kSchemaWidth, 30), Qt::AlignHCenter,
               QString::fromUtf8(language.Title.data(), static_cast<qsizetype>(language.Title.size())));

    // Gas path, left to right along the bottom: tank, multivalve, filter,
    // reducer, injector rail, engine.
    const QRectF tank(40, 470, 170, 110);
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(230, 230, 230));
    p.drawRoundedRect(tank, 50, 50);
    p.setFont(QFont("DejaVu Sans", 10, QFont::Bold));
    p.drawText(QRectF(tank.left(), tank.bottom() + 4, tank.width(), 36), Qt::AlignHCenter | Qt::TextWordWrap,
               Text(language, Tank));
    // The multivalve sits on the tank: its label goes beside it.
    Component(p, QRectF(170, 440, 50, 40), Text(language, Multivalve), QColor(200, 200, 120), TLabelPlace::Left);
    const QRectF filter = Component(p, QRectF(360, 470, 50, 80), Text(language, Filter));
    const QRectF reducer = Component(p, QRectF(460, 450, 110, 110), Text(language, Reducer), QColor(200, 210, 230));
    // The injectors' pipes run under the rail: its label goes inside it.
    const QRectF rail = Component(p, QRectF(640, 300, 240, 40), Text(language, GasInjectors), QColor(230, 220, 180),
                                  TLabelPlace::Inside);
    // Narrow enough to leave the lambda probe's label room on the right.
    const QRectF engine(640, 400, 280, 150);
    Engine4(p, engine);
    p.setPen(kInk);
    p.drawText(QRectF(engine.left(), engine.bottom() + 4, engine.width(), 20), Qt::AlignHCenter,
               Text(language, Engine));
    const QRectF map = Component(p, QRectF(460, 300, 70, 40), Text(language, MapSensor));

    Pipe(p, kGasPipe, {QPointF(220, 460), QPointF(300, 460), QPointF(300, 510), filter.topLeft() + QPointF(0, 40)});
    Pipe(p, kGasPipe, {filter.topRight() + QPointF(0, 40), reducer.topLeft() + QPointF(0, 60)});
    Pipe(p, kGasPipe,
         {reducer.topRight() + QPointF(0, 30), QPointF(610, 480), QPointF(610, 320), rail.topLeft() + QPointF(0, 20)});
    // Rail to the intake of each cylinder.
    for (int i = 0; i < 4; ++i) {
        const double x = rail.left() + 30 + i * 55;
        Pipe(p, kGasPipe, {QPointF(x, rail.bottom()), QPointF(x, engine.top())}, 3);
    }
    Pipe(p, kGasPipe, {rail.topLeft() + QPointF(-10, 10), QPointF(560, 310), map.topRight() + QPointF(0, 10)}, 2);
    // The coolant warms the reducer; it comes in from the side, clear of the
    // reducer's label.
    Pipe(p, kCoolant,
         {QPointF(engine.right(), 520), QPointF(980, 520), QPointF(980, 610), QPointF(600, 610), QPointF(600, 540),
          reducer.topRight() + QPointF(0, 90)},
         4);
    p.setPen(kCoolant);
    p.drawText(QRectF(600, 614, 360, 20), Qt::AlignHCenter, Text(language, Coolant));

    // The controller above, with its wires.
    // Its wires leave from below, so its label goes inside, under our name.
    const QRectF controller = Component(p, QRectF(300, 110, 200, 110), Text(language, Controller),
                                        QColor(210, 235, 220), TLabelPlace::InsideBottom);
    p.setPen(QPen(kAccent, 2));
    p.setFont(QFont("DejaVu Sans", 14, QFont::Bold));
    p.drawText(controller.adjusted(0, 8, 0, -40), Qt::AlignCenter, QStringLiteral("Lumex2"));
    const QRectF petrolEcu = Component(p, QRectF(720, 110, 160, 80), Text(language, PetrolEcu));
    const QRectF petrolInj = Component(p, QRectF(720, 230, 160, 36), Text(language, PetrolInjectors));
    const QRectF battery = Component(p, QRectF(60, 110, 90, 60), Text(language, Battery));
    const QRectF ignition = Component(p, QRectF(60, 230, 90, 40), Text(language, Ignition));
    const QRectF fuelSwitch = Component(p, QRectF(150, 50, 70, 32), Text(language, Switch), QColor(250, 250, 210));
    // Narrow, so a long name wraps instead of reaching over the engine.
    const QRectF lambda = Component(p, QRectF(960, 400, 50, 40), Text(language, Lambda), kBox, TLabelPlace::Below, 112);
    p.drawText(battery, Qt::AlignCenter, QStringLiteral("+ −"));

    Wire(p, {battery.topRight() + QPointF(0, 30), controller.topLeft() + QPointF(0, 30)});
    Wire(p, {ignition.topRight() + QPointF(0, 20), QPointF(250, 250), QPointF(250, 200),
             controller.topLeft() + QPointF(0, 90)});
    // From the switch's side, clear of its label.
    Wire(p, {fuelSwitch.topRight() + QPointF(0, 16), QPointF(280, 66), QPointF(280, 130),
             controller.topLeft() + QPointF(0, 20)});
    Wire(p, {controller.topRight() + QPointF(0, 30), petrolEcu.topLeft() + QPointF(0, 40)});
    Wire(p, {controller.topRight() + QPointF(0, 80), QPointF(640, 190), QPointF(640, 248),
             petrolInj.topLeft() + QPointF(0, 18)});
    Wire(p, {controller.bottomRight() + QPointF(-20, 0), QPointF(480, 280), QPointF(700, 280),
             rail.topLeft() + QPointF(60, 0)});
    Wire(p, {controller.bottomLeft() + QPointF(150, 0), map.topLeft() + QPointF(35, 0)});
    Wire(p, {controller.bottomLeft() + QPointF(40, 0), QPointF(340, 420), reducer.topLeft() + QPointF(20, 0)});
    Wire(p, {controller.bottomLeft() + QPointF(20, 0), QPointF(320, 400), QPointF(195, 400), QPointF(195, 440)});
    Wire(p, {lambda.topLeft() + QPointF(25, 0), QPointF(985, 60), QPointF(400, 60),
             controller.topLeft() + QPointF(100, 0)});

    // Legend.
    p.setFont(QFont("DejaVu Sans", 10));
    Pipe(p, kGasPipe, {QPointF(40, 660), QPointF(90, 660)});
    p.setPen(kInk);
    p.drawText(QPointF(100, 665), Text(language, LegendGas));
    Wire(p, {QPointF(300, 660), QPointF(350, 660)});
    p.setPen(kInk);
    p.drawText(QPointF(360, 665), Text(language, LegendWires));
    p.end();
    return image;
}

QImage DrawLogo()
{
    QImage image(280, 72, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A flame in a drop: the gas, and the car's fuel it stands in for.
    QPainterPath drop;
    drop.moveTo(36, 6);
    drop.cubicTo(56, 30, 62, 44, 62, 50);
    drop.cubicTo(62, 64, 50, 70, 36, 70);
    drop.cubicTo(22, 70, 10, 64, 10, 50);
    drop.cubicTo(10, 44, 16, 30, 36, 6);
    QLinearGradient fill(0, 0, 0, 72);
    fill.setColorAt(0, QColor(40, 170, 120));
    fill.setColorAt(1, QColor(10, 90, 70));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(drop);
    QPainterPath flame;
    flame.moveTo(36, 28);
    flame.cubicTo(46, 42, 46, 50, 44, 56);
    flame.cubicTo(42, 62, 30, 62, 28, 56);
    flame.cubicTo(26, 50, 30, 42, 36, 28);
    p.setBrush(QColor(255, 200, 60));
    p.drawPath(flame);
    p.setPen(QColor(20, 60, 50));
    p.setFont(QFont("DejaVu Sans", 28, QFont::Bold));
    p.drawText(QRectF(74, 4, 200, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Lumex2"));
    p.setFont(QFont("DejaVu Sans", 9));
    p.drawText(QRectF(76, 46, 200, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("LPG / CNG"));
    p.end();
    return image;
}

} // namespace lumex::pictures
