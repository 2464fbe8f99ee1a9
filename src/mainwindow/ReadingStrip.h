// The reading strip that several pages show above their own controls:
// engine speed, petrol and gas time, both pressures and both temperatures,
// with the same conversions and formats as the readings page and each
// display's own colour evaluator.
#pragma once

#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/Evaluators.h"

#include <QString>
#include <QWidget>
#include <array>

class QLabel;

namespace lumex {

class TDigitalDisplay;

enum class TStripValue
{
    Rpm,
    Petrol,
    Lpg,
    Psys,
    Pcol,
    Tred,
    Tgaz,
    Count
};

struct TStripLayout
{
    QString Prefix; // "Mod" gives DgDModRPM, DgDModPetrol, ...
    std::array<TEvaluator, static_cast<int>(TStripValue::Count)> Evaluators{};
};

// The model strip of the calibration pages.
TStripLayout ModelStripLayout();

class TReadingStrip : public QWidget
{
public:
    TReadingStrip(const TStripLayout &layout, QWidget *parent = nullptr);

    void ShowReadings(const TDeviceSnapshot &snapshot);
    TDigitalDisplay *Display(TStripValue value) const { return displays_[static_cast<int>(value)]; }

private:
    TStripLayout layout_;
    std::array<TDigitalDisplay *, static_cast<int>(TStripValue::Count)> displays_{};
    QLabel *petrolCaption_;
    QLabel *lpgCaption_;
};

} // namespace lumex
