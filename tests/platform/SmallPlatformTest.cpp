#include "platform/DeepCopy.h"
#include "platform/DelayedPerform.h"
#include "platform/KeyedArchiver.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <limits>
#include <memory>

TEST(DeepCopy, NestedContainersShareNothing)
{
    QVariantMap original{{"list", QVariantList{QVariantMap{{"k", "v"}}, QByteArray("b")}},
                         {"n", 1}};
    QVariantMap copy = deepCopy(original);
    EXPECT_EQ(copy, original);
    QVariantList list = copy["list"].toList();
    QVariantMap inner = list[0].toMap();
    inner["k"] = "changed";
    list[0] = inner;
    copy["list"] = list;
    EXPECT_EQ(original["list"].toList()[0].toMap()["k"].toString(), "v");
    const QString text = original["list"].toList()[0].toMap()["k"].toString();
    const QString copied = deepCopy(QVariant(text)).toString();
    EXPECT_NE(text.constData(), copied.constData());
}

TEST(DelayedPerform, RunsOnTheNextTurnAndNotAfterTheContextDies)
{
    auto context = std::make_unique<QObject>();
    int runs = 0;
    DelayedPerform::performLater(context.get(), [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(DelayedPerform::pendingPerformRequests(context.get()), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);

    DelayedPerform::performLater(context.get(), [&] { ++runs; });
    context.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

TEST(DelayedPerform, CancelDropsPendingCalls)
{
    QObject context;
    int runs = 0;
    DelayedPerform::performAfterDelay(&context, 0.01, [&] { ++runs; });
    DelayedPerform::performLater(&context, [&] { ++runs; });
    DelayedPerform::cancelPreviousPerformRequests(&context);
    EXPECT_EQ(DelayedPerform::pendingPerformRequests(&context), 0);
    QTest::qWait(30);
    EXPECT_EQ(runs, 0);
    DelayedPerform::performAfterDelay(&context, 0.01, [&] { ++runs; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 2000));
}

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
