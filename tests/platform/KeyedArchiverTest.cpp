#include "platform/KeyedArchiver.h"

#include "platform/PropertyList.h"

#include <gtest/gtest.h>

TEST(KeyedArchiver, ColourRoundTripsAndForeignDataIsRefused)
{
    const QColor colour = QColor::fromRgbF(176 / 255.0f, 240 / 255.0f, 202 / 255.0f, 1.0f);
    const QByteArray data = KeyedArchiver::archivedDataWithColor(colour);
    const std::optional<QColor> back = KeyedArchiver::unarchiveColor(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->rgba(), colour.rgba());
    EXPECT_FALSE(KeyedArchiver::unarchiveColor(QByteArray("garbage")));
    EXPECT_FALSE(KeyedArchiver::unarchiveColor(KeyedArchiver::archivedDataWithFont(QFont("Sans"))));
    EXPECT_FALSE(KeyedArchiver::unarchiveColor(*PropertyList::toXml(QVariantMap{
        {"$class", "NSColor"}, {"red", 2.0}, {"green", 0.0}, {"blue", 0.0}, {"alpha", 1.0}})));
}

TEST(KeyedArchiver, FontRoundTrips)
{
    QFont font("DejaVu Sans");
    font.setPointSizeF(13.5);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    const std::optional<QFont> back =
        KeyedArchiver::unarchiveFont(KeyedArchiver::archivedDataWithFont(font));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->family(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(back->pointSizeF(), 13.5);
    EXPECT_EQ(back->weight(), QFont::Bold);
    EXPECT_TRUE(back->italic());
}
