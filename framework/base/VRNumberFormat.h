#pragma once

#include <QString>

// Whether a shown number groups its whole digits as the user's locale does ("1,234.5").
enum class VRDigitGrouping { Locale, None };

// The value as fields and read-outs show it, in the user's locale: at most `decimals` fraction
// digits, trailing zeros and a bare decimal point dropped, a negative zero shown as "0".
QString vrFormattedNumber(double value, int decimals = 2,
                          VRDigitGrouping grouping = VRDigitGrouping::Locale);
