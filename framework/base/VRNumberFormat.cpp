#include "framework/base/VRNumberFormat.h"

#include <QLocale>

QString vrFormattedNumber(double value, int decimals, VRDigitGrouping grouping)
{
    QLocale locale;
    if (grouping == VRDigitGrouping::None)
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    QString text = locale.toString(value, 'f', decimals);
    const QString point = locale.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    if (text == locale.negativeSign() + QLatin1Char('0'))
        text = QStringLiteral("0");
    return text;
}
