#include "widgets/DecimalSpinBox.h"

#include "common/DecimalText.h"

namespace lumex {

QString TDecimalSpinBox::textFromValue(double value) const
{
    return QString::number(value, 'f', decimals()).replace('.', ',');
}

double TDecimalSpinBox::valueFromText(const QString &text) const
{
    return ParseDecimal(text.toStdString()).value_or(value());
}

QValidator::State TDecimalSpinBox::validate(QString &input, int &) const
{
    const QString t = input.trimmed();
    if (t.isEmpty() || t == "-" || t == "+")
        return QValidator::Intermediate;
    const auto v = ParseDecimal(t.toStdString());
    if (!v)
        return QValidator::Invalid;
    const int separator = std::max(t.indexOf(','), t.indexOf('.'));
    if (separator >= 0 && t.size() - separator - 1 > decimals())
        return QValidator::Invalid;
    return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

} // namespace lumex
