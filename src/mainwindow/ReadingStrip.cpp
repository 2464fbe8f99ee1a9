#include "mainwindow/ReadingStrip.h"

#include "controller/Conversions.h"
#include "mainwindow/ReadingsView.h"
#include "mainwindow/UiText.h"
#include "widgets/DigitalDisplay.h"

#include <QGridLayout>
#include <QLabel>

namespace lumex {

namespace {

struct TStripItem
{
    const char *Suffix;
    const char *Caption;
};

constexpr TStripItem kItems[] = {
    {"RPM", "RPM"},        {"Petrol", "BENZYNA [ms]"}, {"LPG", "LPG [ms]"},   {"Psys", "Psys [bar]"},
    {"Pcol", "MAP [bar]"}, {"Tred", "Tred [°C]"},      {"Tgaz", "Tgaz [°C]"},
};

void SetFontColour(QLabel *label, const QColor &colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace

TStripLayout ModelStripLayout()
{
    TStripLayout l;
    l.Prefix = "Mod";
    l.Evaluators = {EvalRpmPresent, EvalPetrolTimes, nullptr, EvalPsys, EvalPcol, EvalTredWarm, EvalTgas};
    return l;
}

TReadingStrip::TReadingStrip(const TStripLayout &layout, QWidget *parent) : QWidget(parent), layout_(layout)
{
    setObjectName("PnlStrip" + layout.Prefix);
    auto *grid = new QGridLayout(this);
    for (int i = 0; i < static_cast<int>(TStripValue::Count); ++i) {
        auto *caption = new QLabel(QString::fromUtf8(kItems[i].Caption), this);
        caption->setObjectName("Lbl" + layout.Prefix + kItems[i].Suffix);
        auto *display = new TDigitalDisplay(this, 4);
        display->setObjectName("DgD" + layout.Prefix + kItems[i].Suffix);
        display->SetText("0");
        display->SetFaceColour(PaletteColour(layout.Evaluators[i] ? kPaletteNormal : kUnregistered));
        grid->addWidget(caption, 0, i);
        grid->addWidget(display, 1, i);
        displays_[i] = display;
        if (i == static_cast<int>(TStripValue::Petrol))
            petrolCaption_ = caption;
        if (i == static_cast<int>(TStripValue::Lpg))
            lpgCaption_ = caption;
    }
}

void TReadingStrip::ShowReadings(const TDeviceSnapshot &snapshot)
{
    const TNorviData &d = snapshot.Data;
    const TReadingInput in{d, snapshot.Extras};
    const bool onGas = d.SystemState == 5;
    const std::array<std::string, static_cast<int>(TStripValue::Count)> texts = {
        ShowRpm(d.RpmPeriod),
        FormatTime(AvgPetrolTimeMs(d)),
        FormatTime(onGas ? AvgGasTimeMs(d) : 0.0),
        ShowPsys(d.PsysRaw, snapshot.Extras.PsysBar),
        ShowPcol(d.PcolRaw, d.PressureSensorType),
        ShowTemperature(d.TredRaw),
        ShowTemperature(d.TgasRaw),
    };
    for (int i = 0; i < static_cast<int>(TStripValue::Count); ++i) {
        displays_[i]->SetText(QString::fromStdString(texts[i]));
        const TEvaluator evaluator = layout_.Evaluators[i];
        displays_[i]->SetFaceColour(PaletteColour(evaluator ? evaluator(in) : kUnregistered));
    }
    SetFontColour(petrolCaption_, RgbColour(onGas ? kRgbBlack : kRgbRed));
    SetFontColour(lpgCaption_, RgbColour(onGas ? kRgbDarkGreen : kRgbBlack));
}

} // namespace lumex
