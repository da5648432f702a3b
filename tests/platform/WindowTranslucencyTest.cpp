#include "platform/WindowTranslucency.h"

#include <QColor>

#include <gtest/gtest.h>

TEST(WindowTranslucencyTest, OffscreenWindowsBlend)
{
    EXPECT_TRUE(WindowTranslucency::isAvailable());
}

TEST(WindowTranslucencyTest, OpaqueColourIsTheColourOverWhite)
{
    struct Case {
        QColor colour;
        QColor opaque;
    };
    const Case cases[] = {
        {QColor(0, 0, 0, 255), QColor(0, 0, 0)},
        {QColor(0, 0, 0, 0), QColor(255, 255, 255)},
        {QColor::fromRgbF(0, 0, 0, 0.75f), QColor(64, 64, 64)},
        {QColor::fromRgbF(0, 0, 0, 0.5f), QColor(128, 128, 128)},
        {QColor::fromRgbF(1, 0, 0, 0.5f), QColor(255, 128, 128)},
    };
    for (const Case &c : cases) {
        const QColor opaque = WindowTranslucency::opaqueOverLight(c.colour);
        EXPECT_EQ(opaque.alpha(), 255);
        EXPECT_NEAR(opaque.red(), c.opaque.red(), 1);
        EXPECT_NEAR(opaque.green(), c.opaque.green(), 1);
        EXPECT_NEAR(opaque.blue(), c.opaque.blue(), 1);
    }
}
