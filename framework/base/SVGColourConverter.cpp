#include "framework/base/SVGColourConverter.h"

#include <cmath>

QColor SVGColourConverter::colorWithHexRGB(const QString &input)
{
    const QString text = input.trimmed();
    if (!text.startsWith(QLatin1Char('#')))
        return {};
    const QString digits = text.mid(1);
    for (const QChar c : digits) {
        if (!std::isxdigit(c.toLatin1()) || c.unicode() > 127)
            return {};
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return {};
    switch (digits.size()) {
    case 3: return QColor(((value >> 8) & 0xF) * 17, ((value >> 4) & 0xF) * 17, (value & 0xF) * 17);
    case 6: return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    case 8:
        return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF,
                      value & 0xFF);
    default: return {};
    }
}

QString SVGColourConverter::hexadecimalValueOfAnNSColor(const QColor &colour)
{
    if (!colour.isValid())
        return QString();
    const QColor rgb = colour.toRgb();
    return QStringLiteral("#%1%2%3")
        .arg(rgb.red(), 2, 16, QLatin1Char('0'))
        .arg(rgb.green(), 2, 16, QLatin1Char('0'))
        .arg(rgb.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor SVGColourConverter::contrastingColor(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    const double luminance = 0.299 * rgb.redF() + 0.587 * rgb.greenF() + 0.114 * rgb.blueF();
    return luminance > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}

QColor SVGColourConverter::rgbGrey(double grey)
{
    return rgbGrey(grey, 1.0);
}

QColor SVGColourConverter::rgbGrey(double grey, double alpha)
{
    grey = std::isfinite(grey) ? std::clamp(grey, 0.0, 1.0) : 0.0;
    alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
    QColor c;
    c.setRgbF(float(grey), float(grey), float(grey), float(alpha));
    return c;
}
