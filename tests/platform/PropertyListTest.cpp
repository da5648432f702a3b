#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <limits>

TEST(PropertyList, TruncatedAndForeignBytesAreRefused)
{
    const QByteArray xml =
        *PropertyList::toXml(QVariantMap{{"a", QVariantList{1, 2, 3}}, {"b", "text"}});
    for (int cut = 0; cut < xml.size(); cut += 7) {
        const auto result = PropertyList::fromData(xml.left(cut));
        if (result) {
            EXPECT_TRUE(result->isValid());
        }
    }
    EXPECT_FALSE(PropertyList::fromData("bplist00garbage"));
    EXPECT_FALSE(PropertyList::fromData("{\"json\": 1}"));
}

TEST(PropertyList, IntegersKeepTheirSignBeyondTheSignedRange)
{
    const quint64 largest = std::numeric_limits<quint64>::max();
    const QByteArray xml = *PropertyList::toXml(QVariantList{largest, qint64(-1)});
    EXPECT_TRUE(xml.contains("<integer>18446744073709551615</integer>")) << xml.toStdString();
    const QVariantList back = PropertyList::fromData(xml)->toList();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back.at(0).typeId(), QMetaType::ULongLong);
    EXPECT_EQ(back.at(0).toULongLong(), largest);
    EXPECT_EQ(back.at(1).typeId(), QMetaType::LongLong);
    EXPECT_EQ(back.at(1).toLongLong(), -1);
}
