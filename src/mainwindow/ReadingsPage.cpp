#include "mainwindow/ReadingsPage.h"

#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "widgets/DigitalDisplay.h"
#include "widgets/LoadChart.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace lumex {

namespace {

QProgressBar *Bar(QWidget *parent, const QString &name, int max, Qt::Orientation orientation)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, max);
    bar->setTextVisible(false);
    bar->setOrientation(orientation);
    if (orientation == Qt::Vertical)
        bar->setMinimumHeight(90);
    return bar;
}

void SetFontColour(QLabel *label, const QColor &colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TReadingsPage::TReadingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TbSMeasure");
    auto *outer = new QHBoxLayout(this);

    // Left: engine and gas-system values.
    auto *values = new QGroupBox(this);
    values->setObjectName("GrBOdcValues");
    auto *grid = new QGridLayout(values);
    int row = 0;
    auto addRow = [&](QLabel *caption, QWidget *display, QWidget *extra) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(display, row, 1);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
    };
    rpm_ = Display("DgDOdcRPM", 5);
    rpmBar_ = Bar(values, "PrBOdcRPM", kRpmBarMax, Qt::Horizontal);
    addRow(Caption("LblOdcRPM", "Obroty [obr/min]"), rpm_, rpmBar_);
    psys_ = Display("DgDOdcPsys", 4);
    psysBar_ = Bar(values, "PrBOdcPsys", kPsysBarMax, Qt::Horizontal);
    addRow(Caption("LblOdcPsys", "Ciśnienie gazu [bar]"), psys_, psysBar_);
    pcol_ = Display("DgDOdcPcol", 4);
    addRow(Caption("LblOdcPcol", "Podciśnienie MAP [bar]"), pcol_, nullptr);
    tred_ = Display("DgDOdcTred", 5);
    auto *nominal = new QWidget(values);
    auto *nominalLayout = new QHBoxLayout(nominal);
    nominalLayout->setContentsMargins(0, 0, 0, 0);
    nominalLayout->addWidget(Caption("LblOdcTNomRedCaption", "Nominalna:"));
    tNomRed_ = Caption("LblOdcTNomRed", "0.0");
    nominalLayout->addWidget(tNomRed_);
    nominalLayout->addStretch();
    addRow(Caption("LblOdcTred", "Temp. reduktora [°C]"), tred_, nominal);
    tgaz_ = Display("DgDOdcTgaz", 5);
    addRow(Caption("LblOdcTgaz", "Temp. gazu [°C]"), tgaz_, nullptr);

    auto *supply = new QWidget(values);
    auto *supplyLayout = new QHBoxLayout(supply);
    supplyLayout->setContentsMargins(0, 0, 0, 0);
    vbat_ = Caption("LblOdcVbat", "0.0");
    QFont big = vbat_->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    vbat_->setFont(big);
    vbatUnit_ = Caption("LblOdcVbatUnit", "V");
    vbatUnit_->setFont(big);
    supplyLayout->addWidget(vbat_);
    supplyLayout->addWidget(vbatUnit_);
    supplyLayout->addStretch();
    addRow(Caption("LblOdcSupply", "Napięcie zasilania"), supply, nullptr);

    lambdaPanel_ = new QWidget(values);
    lambdaPanel_->setObjectName("PnlOdcLambda");
    auto *lambdaLayout = new QHBoxLayout(lambdaPanel_);
    lambdaLayout->setContentsMargins(0, 0, 0, 0);
    lambdaLayout->addWidget(Caption("LblOdcLambda", "Sonda lambda [V]"));
    lambda_ = Display("DgDOdcLambda", 4);
    lambdaLayout->addWidget(lambda_);
    lambdaBar_ = Bar(lambdaPanel_, "PrBOdcLambda", kLambdaBarMax, Qt::Horizontal);
    lambdaLayout->addWidget(lambdaBar_);
    grid->addWidget(lambdaPanel_, row++, 0, 1, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(row, 1);
    outer->addWidget(values, 5);

    // Right: injection times, per-cylinder bars and load indicators.
    auto *injection = new QGroupBox(this);
    injection->setObjectName("GrBOdcInjection");
    auto *right = new QVBoxLayout(injection);
    auto *times = new QGridLayout;
    petrolCaption_ = Caption("LblOdcPetrolCaption", "BENZYNA [ms]");
    lpgCaption_ = Caption("LblOdcLPGCaption", "LPG [ms]");
    petrol_ = Display("DgDOdcPetrol", 5);
    lpg_ = Display("DgDOdcLPG", 5);
    timeSelection_ = new QComboBox(injection);
    timeSelection_->setObjectName("CmbOdcInjDisplay");
    times->addWidget(petrolCaption_, 0, 0);
    times->addWidget(lpgCaption_, 0, 1);
    times->addWidget(petrol_, 1, 0);
    times->addWidget(lpg_, 1, 1);
    times->addWidget(timeSelection_, 2, 0, 1, 2);
    right->addLayout(times);

    auto *cylinders = new QGridLayout;
    cylinders->addWidget(Caption("LblOdcBarsPetrol", "Benzyna"), 0, 0);
    cylinders->addWidget(Caption("LblOdcBarsLPG", "LPG"), 1, 0);
    cylinders->addWidget(Caption("LblOdcLoadPetrol", "Obciążenie Tb"), 3, 0);
    cylinders->addWidget(Caption("LblOdcLoadGas", "Obciążenie Tg"), 4, 0);
    injCorrCaption_ = Caption("LblOdcInjCorrCaption", "Korekta wtr.");
    cylinders->addWidget(injCorrCaption_, 5, 0);
    for (std::size_t k = 0; k < kCylinders; ++k) {
        const QString n = QString::number(k + 1);
        const int column = static_cast<int>(k) + 1;
        petrolBars_[k] = Bar(injection, "PrBOdcPetrol" + n, kInjectionBarMax, Qt::Vertical);
        lpgBars_[k] = Bar(injection, "PrBOdcLPG" + n, kInjectionBarMax, Qt::Vertical);
        cylinderNumbers_[k] = Caption(("LblOdcCyl" + n).toLatin1().constData(), n);
        petrolLoad_[k] = Caption(("LblOdcWskTb" + n).toLatin1().constData(), "--");
        gasLoad_[k] = Caption(("LblOdcWskTg" + n).toLatin1().constData(), "--");
        injCorr_[k] = Caption(("LblOdcInjCorr" + n).toLatin1().constData(), "0%");
        cylinders->addWidget(petrolBars_[k], 0, column, Qt::AlignHCenter);
        cylinders->addWidget(lpgBars_[k], 1, column, Qt::AlignHCenter);
        cylinders->addWidget(cylinderNumbers_[k], 2, column, Qt::AlignHCenter);
        cylinders->addWidget(petrolLoad_[k], 3, column, Qt::AlignHCenter);
        cylinders->addWidget(gasLoad_[k], 4, column, Qt::AlignHCenter);
        cylinders->addWidget(injCorr_[k], 5, column, Qt::AlignHCenter);
    }
    right->addLayout(cylinders);

    auto *charts = new QHBoxLayout;
    petrolChart_ = new TLoadChartWidget(injection);
    petrolChart_->setObjectName("ChtOdcWskTb");
    gasChart_ = new TLoadChartWidget(injection);
    gasChart_->setObjectName("ChtOdcWskTg");
    gasChart_->SetLoadColour(QColor(40, 150, 60));
    charts->addWidget(Caption("LblOdcChartTb", "Tb"));
    charts->addWidget(petrolChart_);
    charts->addWidget(Caption("LblOdcChartTg", "Tg"));
    charts->addWidget(gasChart_);
    right->addLayout(charts);
    right->addStretch();
    outer->addWidget(injection, 6);

    TNorviData none;
    RebuildLayout(none, true);
    // Nothing is known before the first readings: no lambda probe, no corrections.
    lambdaPanel_->setVisible(false);
    injCorrCaption_->setVisible(false);
}

TDigitalDisplay *TReadingsPage::Display(const char *name, int digits)
{
    auto *display = new TDigitalDisplay(this, digits);
    display->setObjectName(name);
    display->SetText("0");
    display->SetFaceColour(PaletteColour(kUnregistered));
    return display;
}

QLabel *TReadingsPage::Caption(const char *name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

int TReadingsPage::TimeSelection() const
{
    return std::max(0, timeSelection_->currentIndex());
}

void TReadingsPage::RebuildLayout(const TNorviData &data, bool reset)
{
    const int injectors = std::min<int>(data.InjSW, static_cast<int>(kCylinders));
    int selection = reset ? 0 : TimeSelection();
    if (selection > injectors)
        selection = 0;
    timeSelection_->blockSignals(true);
    timeSelection_->clear();
    timeSelection_->addItem(UiText(msg::strAvg, "Średnia"));
    const QString injector = UiText(msg::strInj, "Wtr.");
    for (int n = 1; n <= injectors; ++n)
        timeSelection_->addItem(injector + " " + QString::number(n));
    timeSelection_->setCurrentIndex(selection);
    timeSelection_->blockSignals(false);
    injectors_ = injectors;
    for (std::size_t k = 0; k < kCylinders; ++k) {
        const bool shown = static_cast<int>(k) < injectors;
        petrolBars_[k]->setVisible(shown);
        lpgBars_[k]->setVisible(shown);
        cylinderNumbers_[k]->setVisible(shown);
        petrolLoad_[k]->setVisible(shown);
        gasLoad_[k]->setVisible(shown);
        injCorr_[k]->setVisible(shown);
    }
}

void TReadingsPage::ShowReadings(const TDeviceSnapshot &snapshot)
{
    const TReadingInput in{snapshot.Data, snapshot.Extras};
    if (std::min<int>(snapshot.Data.InjSW, static_cast<int>(kCylinders)) != injectors_)
        RebuildLayout(snapshot.Data, false);
    view_ = ComputeReadingsView(in, TimeSelection());
    const TReadingsView &v = view_;

    auto show = [](TDigitalDisplay *display, const TShownValue &value) {
        display->SetText(Q(value.Text));
        display->SetFaceColour(PaletteColour(value.Palette));
    };
    show(rpm_, v.Rpm);
    show(psys_, v.Psys);
    show(pcol_, v.Pcol);
    show(tred_, v.Tred);
    show(tgaz_, v.Tgaz);
    show(petrol_, v.Petrol);
    show(lpg_, v.Lpg);
    show(lambda_, v.Lambda);
    rpmBar_->setValue(v.RpmBar);
    psysBar_->setValue(v.PsysBar);
    tNomRed_->setText(Q(v.TNomRed));
    vbat_->setText(Q(v.Vbat.Text));
    SetFontColour(vbat_, PaletteColour(v.Vbat.Palette));
    SetFontColour(vbatUnit_, PaletteColour(v.Vbat.Palette));
    lambdaPanel_->setVisible(v.LambdaVisible);
    lambdaBar_->setValue(v.LambdaBar);
    SetFontColour(petrolCaption_, RgbColour(v.PetrolCaptionRgb));
    SetFontColour(lpgCaption_, RgbColour(v.LpgCaptionRgb));

    for (std::size_t k = 0; k < kCylinders; ++k) {
        petrolBars_[k]->setValue(v.PetrolBars[k]);
        lpgBars_[k]->setValue(v.LpgBars[k]);
        petrolLoad_[k]->setText(Q(v.PetrolLoad[k]));
        gasLoad_[k]->setText(Q(v.GasLoad[k]));
        injCorr_[k]->setText(Q(v.InjCorr[k]));
        injCorr_[k]->setVisible(v.InjCorrVisible && static_cast<int>(k) < v.Cylinders);
    }
    injCorrCaption_->setVisible(v.InjCorrVisible);
    petrolChart_->SetLoad(v.PetrolChart.Valid, v.PetrolChart.Load);
    gasChart_->SetLoad(v.GasChart.Valid, v.GasChart.Load);
}

} // namespace lumex
