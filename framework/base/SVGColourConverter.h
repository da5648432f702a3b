#pragma once

#include <QColor>
#include <QString>

// Colours as "#" hex text, and a few colour helpers.
class SVGColourConverter
{
public:
    // "#RGB", "#RRGGBB" or "#RRGGBBAA"; an invalid colour for anything else.
    static QColor colorWithHexRGB(const QString &text);
    // "#RRGGBB", upper-case; the alpha is dropped.
    static QString hexadecimalValueOfAnNSColor(const QColor &colour);
    static QString hexString(const QColor &colour) { return hexadecimalValueOfAnNSColor(colour); }
    // Black or white, whichever reads better on the colour.
    static QColor contrastingColor(const QColor &colour);
    static QColor rgbGrey(double grey);
    static QColor rgbGrey(double grey, double withAlpha);
};
