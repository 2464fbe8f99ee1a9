// A spin box for reals that shows a comma and takes a comma or a point,
// whatever the system's locale.
#pragma once

#include <QDoubleSpinBox>

namespace lumex {

class TDecimalSpinBox : public QDoubleSpinBox
{
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    QString textFromValue(double value) const override;
    double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &input, int &pos) const override;
};

} // namespace lumex
