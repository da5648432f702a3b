#include "PaletteTestSupport.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "platform/KeyedArchiver.h"
#include "platform/NotificationCenter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

namespace {

QStringList expectedDefaultTitles(const QntNotation &notation)
{
    QStringList titles{QStringLiteral("Shapes")};
    if (!notation.shortArrowElementsList().isEmpty())
        titles << QStringLiteral("Arrows");
    if (!notation.arrowElementsList().isEmpty())
        titles << (notation.shortArrowElementsList().isEmpty() ? QStringLiteral("Arrows")
                                                               : QStringLiteral("Long Arrows"));
    titles << QStringLiteral("Lines") << QStringLiteral("Text");
    if (!notation.flowChartElementsList().isEmpty())
        titles << QStringLiteral("Flow Chart");
    titles << QStringLiteral("Custom");
    return titles;
}

} // namespace

TEST(QntNotationPalette, NewFlowChartDrawingShowsTheDefaultGroupsExpanded)
{
    PaletteHarness h;
    ASSERT_TRUE(h.drawing()->currentNotation());
    const QntNotation &notation = *h.drawing()->currentNotation();
    ASSERT_FALSE(notation.flowChartElementsList().isEmpty());
    EXPECT_EQ(h.palette->shownGroupTitles(), expectedDefaultTitles(notation));
    for (const auto &group : h.palette->notationSubgroups())
        EXPECT_TRUE(h.palette->isGroupExpanded(group.get())) << group->title().toStdString();
    // The flow-chart group holds the notation's flow-chart shapes, each with a picture.
    ASSERT_TRUE(h.palette->subgroupFlowchart());
    EXPECT_EQ(h.palette->subgroupFlowchart()->children().size(),
              notation.flowChartElementsList().size());
    for (const auto &item : h.palette->subgroupFlowchart()->children()) {
        EXPECT_TRUE(item->drawingTool()) << item->title().toStdString();
        EXPECT_FALSE(item->image().isNull()) << item->title().toStdString();
        EXPECT_EQ(item->size().height(), 52.0);
    }
    for (int tag : {5, 6, 7, 8, 9, 10})
        EXPECT_FALSE(h.palette->isFilterEntryOn(tag)) << tag;
    for (int tag : {1, 2, 3, 4, 11})
        EXPECT_TRUE(h.palette->isFilterEntryOn(tag)) << tag;
    // The drawing now owns its hidden tags, seeded from the defaults.
    ASSERT_TRUE(h.drawing()->hiddenGroupTags());
    EXPECT_EQ(*h.drawing()->hiddenGroupTags(), (QSet<int>{5, 6, 7, 8, 9, 10}));
}

TEST(QntNotationPalette, HiddenGroupIsKeptWithTheDrawingButNotInTheDefaults)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("hidden.quintora"));
    {
        PaletteHarness h;
        h.palette->paletteFilterAction(QntNotationPalette::LinesTag);
        EXPECT_FALSE(h.palette->shownGroupTitles().contains(QStringLiteral("Lines")));
        EXPECT_FALSE(h.palette->isFilterEntryOn(QntNotationPalette::LinesTag));
        h.palette->paletteFilterAction(QntNotationPalette::OfficeTag);
        EXPECT_TRUE(h.palette->shownGroupTitles().contains(QStringLiteral("Office")));
        ASSERT_TRUE(h.document->writeToFile(path).ok());
    }
    {
        auto reopened = std::make_unique<VRDrawingDocument>();
        ASSERT_TRUE(reopened->readFromFile(path).ok());
        PaletteHarness h(QString(), std::move(reopened));
        EXPECT_FALSE(h.palette->shownGroupTitles().contains(QStringLiteral("Lines")));
        EXPECT_TRUE(h.palette->shownGroupTitles().contains(QStringLiteral("Office")));
        EXPECT_EQ(*h.drawing()->hiddenGroupTags(), (QSet<int>{3, 6, 7, 8, 9, 10}));
    }
    // A new document starts from the defaults again.
    PaletteHarness fresh;
    EXPECT_EQ(fresh.palette->shownGroupTitles(),
              expectedDefaultTitles(*fresh.drawing()->currentNotation()));
    EXPECT_EQ(UserDefaults::standardUserDefaults().arrayForKey(QntHiddenGroupsKey).size(), 6);
}

TEST(QntNotationPalette, FilterHidesAndShowsGroupsOfATagTogether)
{
    PaletteHarness h;
    h.palette->paletteFilterAction(QntNotationPalette::ShapesTag);
    EXPECT_FALSE(h.palette->shownGroupTitles().contains(QStringLiteral("Shapes")));
    EXPECT_FALSE(h.palette->shownGroupTitles().contains(QStringLiteral("Text")));
    h.palette->paletteFilterAction(QntNotationPalette::ShapesTag);
    const QStringList titles = h.palette->shownGroupTitles();
    ASSERT_GE(titles.size(), 2);
    EXPECT_EQ(titles.mid(0, 2), (QStringList{QStringLiteral("Shapes"), QStringLiteral("Text")}));

    // A hidden group comes back as the same object, even after a rebuild.
    h.palette->paletteFilterAction(QntNotationPalette::OfficeTag);
    const auto office = h.palette->subgroupOffice();
    ASSERT_TRUE(office);
    h.palette->paletteFilterAction(QntNotationPalette::OfficeTag);
    h.palette->loadNotationElements();
    h.palette->paletteFilterAction(QntNotationPalette::OfficeTag);
    EXPECT_TRUE(h.palette->notationSubgroups().contains(office));
    // Groups stay sorted by their tags.
    quint64 last = 0;
    for (const auto &group : h.palette->notationSubgroups()) {
        EXPECT_GE(group->orderValue(), last);
        last = group->orderValue();
    }
}

TEST(QntNotationPalette, ScrollerAndBackgroundPreferences)
{
    PaletteHarness h;
    const QColor chosen(12, 34, 56);
    UserDefaults::standardUserDefaults().setObject(KeyedArchiver::archivedDataWithColor(chosen),
                                                   QntPaletteBackgroundColorKey);
    NotificationCenter::defaultCenter().post(
        QntPaletteBackgroundColorKey, nullptr,
        {{QStringLiteral("object"), QVariant::fromValue(chosen)}});
    EXPECT_EQ(h.palette->backgroundColour(), chosen);
    EXPECT_EQ(h.palette->outlineView()->palette().color(QPalette::Base), chosen);

    UserDefaults::standardUserDefaults().setBool(false, QntShowScrollBarKey);
    NotificationCenter::defaultCenter().post(QntShowScrollBarKey, nullptr,
                                             {{QStringLiteral("object"), false}});
    EXPECT_EQ(h.palette->outlineView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    UserDefaults::standardUserDefaults().setBool(true, QntShowScrollBarKey);
    NotificationCenter::defaultCenter().post(QntShowScrollBarKey, nullptr,
                                             {{QStringLiteral("object"), true}});
    EXPECT_EQ(h.palette->outlineView()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    UserDefaults::standardUserDefaults().removeObjectForKey(QntPaletteBackgroundColorKey);
    UserDefaults::standardUserDefaults().removeObjectForKey(QntShowScrollBarKey);
}

TEST(QntNotationPalette, FollowsTheDrawingsNotationAndItsImportedLists)
{
    PaletteHarness h;
    const QntNotationRef office =
        QntNotation::notationWithPath(notationFile(QStringLiteral("Office/Office.db")));
    ASSERT_TRUE(office && office->isValid());
    h.drawing()->setCurrentNotation(office);
    VRObjectList mine;
    for (const QntElementRecord &record : office->shapeElementsList())
        if (record.prototype)
            mine.push_back(record.prototype->copy());
    ASSERT_FALSE(mine.isEmpty());
    h.drawing()->setImportedElements(mine, QStringLiteral("Mine"));
    // A restored document state rebuilds the palette from the drawing as it is now.
    NotificationCenter::defaultCenter().post(kQntDocumentStateRestoredNotification,
                                             h.document.get());
    const QStringList titles = h.palette->shownGroupTitles();
    EXPECT_EQ(titles.contains(QStringLiteral("Flow Chart")),
              !office->flowChartElementsList().isEmpty());
    EXPECT_EQ(titles.last(), QStringLiteral("Mine"));
    const auto imported = h.palette->subgroupImported();
    ASSERT_TRUE(imported);
    EXPECT_TRUE(imported->isImported());
    EXPECT_EQ(imported->orderValue(), quint64(titles.size() - 1));
    EXPECT_EQ(imported->children().size(), mine.size());
    for (const auto &item : imported->children())
        EXPECT_FALSE(item->image().isNull()) << item->title().toStdString();
    ASSERT_TRUE(h.palette->subgroupShapes());
    EXPECT_EQ(h.palette->subgroupShapes()->children().size(), office->shapeElementsList().size());

    // The clipart preference rebuilds too; another document's restoration does not.
    const QStringList before = h.palette->shownGroupTitles();
    h.drawing()->removeImportedElementsForKey(QStringLiteral("Mine"));
    VRDrawingDocument other;
    NotificationCenter::defaultCenter().post(kQntDocumentStateRestoredNotification, &other);
    EXPECT_EQ(h.palette->shownGroupTitles(), before);
    NotificationCenter::defaultCenter().post(QntShowBuiltInClipartKey, nullptr,
                                             {{QStringLiteral("object"), true}});
    EXPECT_FALSE(h.palette->shownGroupTitles().contains(QStringLiteral("Mine")));
}

TEST(QntNotationPalette, TheCustomGroupSaysItIsEmptyUntilTheImageBankExists)
{
    const QString bank =
        QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/ImageBank/imagebank.db");
    ASSERT_FALSE(QFileInfo::exists(bank));
    PaletteHarness h;
    QTreeWidgetItem *custom = nullptr;
    for (int i = 0; i < h.palette->outlineView()->topLevelItemCount(); ++i) {
        if (h.palette->outlineView()->topLevelItem(i)->text(0) == QLatin1String("Custom"))
            custom = h.palette->outlineView()->topLevelItem(i);
    }
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(custom->toolTip(0), "Custom is empty: there is no image bank with your shapes yet.");

    // Once the image bank's database is there, the group invites drops again.
    const QString folder = QFileInfo(bank).absolutePath();
    const bool madeFolder = !QFileInfo::exists(folder);
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile file(bank);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(QntNotationPalette::customGroupToolTip(),
              "Drag and drop your shapes here. You can also add them to Image Manager.");
    QFile::remove(bank);
    if (madeFolder)
        QDir().rmdir(folder);
    EXPECT_FALSE(QntNotationPalette::customGroupToolTip().startsWith("Drag"));
}
