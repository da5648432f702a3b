#include "framework/base/VRNumberFormat.h"

#include "common/ScopeExit.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

struct Shown {
    double value;
    int decimals;
    VRDigitGrouping grouping;
    const char *english;
    const char *german;
};

} // namespace

TEST(VRNumberFormat, ShowsAtMostTheDecimalsWithoutTrailingZerosInTheUsersLocale)
{
    const QLocale previous;
    const qnt::test::ScopeExit restore([&] { QLocale::setDefault(previous); });
    const Shown table[] = {
        {12.5, 2, VRDigitGrouping::Locale, "12.5", "12,5"},
        {12.0, 2, VRDigitGrouping::Locale, "12", "12"},
        {0.125, 2, VRDigitGrouping::Locale, "0.13", "0,13"},
        {3.14159, 3, VRDigitGrouping::Locale, "3.142", "3,142"},
        {1234.5, 2, VRDigitGrouping::Locale, "1,234.5", "1.234,5"},
        {1234.5, 2, VRDigitGrouping::None, "1234.5", "1234,5"},
        {1500.0, 2, VRDigitGrouping::None, "1500", "1500"},
        {-0.001, 2, VRDigitGrouping::Locale, "0", "0"},
        {-0.0, 2, VRDigitGrouping::None, "0", "0"},
        {-2.5, 2, VRDigitGrouping::None, "-2.5", "-2,5"},
        {28.3464566929, 10, VRDigitGrouping::Locale, "28.3464566929", "28,3464566929"},
    };
    for (const Shown &row : table) {
        SCOPED_TRACE(row.english);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(vrFormattedNumber(row.value, row.decimals, row.grouping),
                  QString::fromUtf8(row.english));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(vrFormattedNumber(row.value, row.decimals, row.grouping),
                  QString::fromUtf8(row.german));
    }
}
