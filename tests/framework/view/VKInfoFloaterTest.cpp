#include "framework/view/VKInfoFloater.h"

#include "common/ScopeExit.h"

#include <QLocale>

#include <gtest/gtest.h>

TEST(VKInfoFloater, ValuesShowInTheirFormatPattern)
{
    const QLocale previous;
    const qnt::test::ScopeExit restore([&] { QLocale::setDefault(previous); });
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(VKInfoFloater::formatValue(0.256, QStringLiteral("0.0%")), QStringLiteral("25.6%"));
    EXPECT_EQ(VKInfoFloater::formatValue(3.14159, QStringLiteral("0.00")), QStringLiteral("3.14"));
    EXPECT_EQ(VKInfoFloater::formatValue(7.6, QStringLiteral("0")), QStringLiteral("8"));
    // A unit after the digits follows the number.
    EXPECT_EQ(VKInfoFloater::formatValue(-29.934, QStringLiteral("0.0\u00B0")),
              QStringLiteral("-29.9\u00B0"));
    auto floater = VKInfoFloater::infoFloater();
    floater->setFormat(QStringLiteral("0.0"));
    floater->setDoubleValue(1.26);
    EXPECT_EQ(floater->text(), QStringLiteral("1.3"));
}
