#include "PaletteTestSupport.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"

#include "framework/model/VRDrawableShape.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"

#include <gtest/gtest.h>

namespace {

VRObjectRef boxPrototype(const QString &id, const QString &tooltip)
{
    auto shape = std::make_shared<VRDrawableShape>();
    shape->setSize(QSizeF(80, 40));
    shape->setID(id);
    shape->setString(tooltip, QStringLiteral("tooltip"));
    return shape;
}

} // namespace

TEST(QntNotationSubgroup, GroupsSharingAnIdentifierRenderThePictureOnce)
{
    preparePaletteEnvironment();
    const QntNotationRef notation =
        QntNotation::notationWithPath(notationFile(QStringLiteral("FlowChart/FlowChart.db")));
    ASSERT_TRUE(notation && notation->isValid());
    QList<QntElementRecord> records = notation->flowChartElementsList();
    ASSERT_GE(records.size(), 2);
    records = records.mid(0, 2);
    for (const QntElementRecord &record : records)
        VRToolRegistry::sharedToolRegistry().registerDrawingTool(
            std::make_shared<VRObjectCreationTool>(record.prototype), record.elementId);

    const qint64 before = QntNotationSubGroupItem::renderedImageCount();
    QntNotationSubgroup first(QStringLiteral("First"), records, notation.get());
    EXPECT_EQ(QntNotationSubGroupItem::renderedImageCount() - before, 2);
    QntNotationSubgroup second(QStringLiteral("Second"),
                               QList<QntElementRecord>{records.at(1), records.at(0)},
                               notation.get());
    EXPECT_EQ(QntNotationSubGroupItem::renderedImageCount() - before, 2);
    ASSERT_EQ(second.children().size(), 2);
    EXPECT_EQ(first.children().at(0)->image().cacheKey(),
              second.children().at(1)->image().cacheKey());
    EXPECT_EQ(first.children().at(1)->image().cacheKey(),
              second.children().at(0)->image().cacheKey());
    EXPECT_FALSE(first.children().at(0)->image().isNull());
    EXPECT_EQ(first.notationPath(), notation->notationPath());
}

TEST(QntNotationSubgroup, ItemsFromRecordsAndPrototypes)
{
    preparePaletteEnvironment();
    QntElementRecord record;
    record.elementId = QStringLiteral("no-such-tool-anywhere");
    record.tooltip = QStringLiteral("A tooltip");
    QntNotationSubgroup group(QStringLiteral("Records"), QList<QntElementRecord>{record}, nullptr);
    ASSERT_EQ(group.children().size(), 1);
    const auto item = group.children().first();
    EXPECT_EQ(item->title(), record.elementId);
    EXPECT_EQ(item->tooltip(), record.tooltip);
    // No tool: the row is still there, without a picture.
    EXPECT_EQ(item->drawingTool(), nullptr);
    EXPECT_TRUE(item->image().isNull());
    EXPECT_EQ(item->parent(), &group);

    const VRObjectRef prototype =
        boxPrototype(QStringLiteral("test.box"), QStringLiteral("Box tip"));
    VRToolRegistry::sharedToolRegistry().registerCreationToolsForPrototypes({prototype});
    QntNotationSubgroup objects(QStringLiteral("Objects"), VRObjectList{prototype}, nullptr);
    ASSERT_EQ(objects.children().size(), 1);
    EXPECT_EQ(objects.children().first()->title(), QStringLiteral("test.box"));
    EXPECT_EQ(objects.children().first()->tooltip(), QStringLiteral("Box tip"));
    EXPECT_TRUE(prototype->isPrototype());
    EXPECT_EQ(objects.children().first()->image().size(), QSize(80, 40));
}

TEST(QntNotationSubgroup, InsertRemoveAndHeight)
{
    QntNotationSubgroup group(QStringLiteral("G"), QList<QntElementRecord>{}, nullptr);
    EXPECT_EQ(group.childrenHeight(), 0.0);
    auto make = [&group] {
        auto item = std::make_shared<QntNotationSubGroupItem>(&group);
        item->setSize(QSizeF(100, 52));
        return item;
    };
    const auto a = make(), b = make(), c = make();
    group.insertItem(a, 0);
    EXPECT_EQ(group.children(), (QList<QntNotationSubgroup::ItemRef>{a}));
    group.insertItem(b, 1);
    group.insertItem(c, -1);
    group.insertItem(c, 5);
    EXPECT_EQ(group.children(), (QList<QntNotationSubgroup::ItemRef>{a, b}));
    group.insertItem(c, 0);
    EXPECT_EQ(group.childrenHeight(), 156.0);
    group.addItem(a);
    group.removeItem(a);
    EXPECT_EQ(group.children(), (QList<QntNotationSubgroup::ItemRef>{c, b}));
}
