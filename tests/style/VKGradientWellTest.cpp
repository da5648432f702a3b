#include "style/VKGradientWell.h"

#include "common/ScopedEnvironment.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRPlistCoder.h"
#include "platform/DisappearingItemAnimation.h"
#include "style/FindFolder.h"
#include "style/VKGradientPasteboard.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

VRGradientRef threeStops()
{
    auto g = VRGradient::gradientWithStartingColor(Qt::red, Qt::blue);
    g->addColor(QColor(10, 200, 30, 128), 0.3);
    g->sortColorStops();
    return g;
}

class GradientWellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QObject::connect(&well, &VKGradientWell::gradientAction, [this] { ++actions; });
    }
    void TearDown() override
    {
        VKGradientWell::clearAllActiveWells();
        QGuiApplication::clipboard()->clear();
    }
    void click(VKGradientWell &w)
    {
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &up);
    }
    QString writeFile(const QString &name, const QByteArray &data)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }
    static QMimeData *files(const QStringList &paths)
    {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data->setUrls(urls);
        return data;
    }

    VKGradientWell well;
    int actions = 0;
    QTemporaryDir folder;
};

TEST_F(GradientWellTest, OnlyANewGradientIsReportedAndOnlyOnce)
{
    const VRGradientRef g = threeStops();
    well.setGradient(g);
    EXPECT_EQ(actions, 1);
    well.setGradient(g);
    EXPECT_EQ(actions, 1);
    // A receiver that sets the gradient back while told causes no second report.
    const VRGradientRef other = threeStops();
    QObject::connect(&well, &VKGradientWell::gradientAction, [&] { well.setGradient(g); });
    well.setGradient(other);
    EXPECT_EQ(actions, 2);
}

TEST_F(GradientWellTest, CopyAndPasteGiveIdenticalStops)
{
    well.setGradient(threeStops());
    VKGradientWell other;
    EXPECT_FALSE(other.validateMenuItem(QStringLiteral("paste")));
    well.copy();
    EXPECT_TRUE(other.validateMenuItem(QStringLiteral("paste")));
    other.paste();
    ASSERT_TRUE(other.gradient());
    EXPECT_NE(other.gradient(), well.gradient());
    EXPECT_TRUE(other.gradient()->isEqual(*well.gradient()));
    ASSERT_EQ(other.gradient()->countOfColorStops(), 3);
    EXPECT_EQ(other.gradient()->colorStops().at(1)->color(), QColor(10, 200, 30, 128));
}

TEST_F(GradientWellTest, PastingWithoutAGradientKeepsTheWellsOwn)
{
    const VRGradientRef g = threeStops();
    well.setGradient(g);
    actions = 0;
    auto *text = new QMimeData;
    text->setText(QStringLiteral("not a gradient"));
    QGuiApplication::clipboard()->setMimeData(text);
    well.paste();
    EXPECT_EQ(well.gradient(), g);
    EXPECT_EQ(actions, 0);
    // A file name alone does not enable Paste Gradient.
    QGuiApplication::clipboard()->setMimeData(
        files({writeFile("a.gradient", g->fileRepresentation())}));
    EXPECT_FALSE(well.validateMenuItem(QStringLiteral("paste")));
}

TEST_F(GradientWellTest, DeletingEmptiesTheWellInAPuffOfSmoke)
{
    well.resize(60, 40);
    well.setGradient(threeStops());
    actions = 0;
    well.deleteGradient();
    EXPECT_FALSE(well.gradient());
    EXPECT_EQ(actions, 1);
    const auto *puff = well.findChild<DisappearingItemAnimation *>();
    ASSERT_NE(puff, nullptr);
    EXPECT_EQ(puff->geometry().topLeft() + QPoint(puff->width() / 2, puff->height() / 2),
              well.mapToGlobal(well.rect().center()));
}

TEST_F(GradientWellTest, CutCopiesThenEmptiesTheWell)
{
    well.setGradient(threeStops());
    const VRGradientRef g = well.gradient();
    well.cut();
    EXPECT_FALSE(well.gradient());
    EXPECT_EQ(well.findChild<DisappearingItemAnimation *>(), nullptr);
    const auto read =
        VKGradientPasteboard::gradientWithPasteboard(QGuiApplication::clipboard()->mimeData());
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE((*read)->isEqual(*g));
}

TEST_F(GradientWellTest, FilesDraggedToAFolderGetFreeNames)
{
    well.setGradient(threeStops());
    const QString dir = folder.path();
    EXPECT_EQ(well.namesOfPromisedFilesDroppedAtDestination(dir), "untitled gradient.gradient");
    EXPECT_EQ(well.namesOfPromisedFilesDroppedAtDestination(dir), "untitled gradient 1.gradient");
    QFile::remove(folder.filePath("untitled gradient.gradient"));
    writeFile("untitled gradient.gradient", "x");
    EXPECT_EQ(well.namesOfPromisedFilesDroppedAtDestination(dir), "untitled gradient 2.gradient");
    // What was written reads back as the same gradient.
    const auto read =
        VRGradient::gradientWithContentsOfFile(folder.filePath("untitled gradient 2.gradient"));
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE((*read)->isEqual(*well.gradient()));
}

TEST_F(GradientWellTest, TheDragCarriesTheGradientAndAFileOnlyWhenAsked)
{
    QTemporaryDir temporary;
    qnt::test::ScopedEnvironmentVariable tmp("TMPDIR", temporary.path().toStdString());
    const VRGradientRef g = threeStops();
    QMimeData data;
    ASSERT_TRUE(VKGradientPasteboard::writeFileToPasteboard(*g, data).ok());
    EXPECT_TRUE(data.hasImage());
    ASSERT_EQ(data.urls().size(), 1);
    EXPECT_EQ(QFileInfo(data.urls().first().toLocalFile()).fileName(),
              "untitled gradient.gradient");
    EXPECT_TRUE(data.urls().first().toLocalFile().startsWith(temporary.path()));
    // Our own type is read first.
    const auto read = VKGradientPasteboard::gradientWithPasteboard(&data);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE((*read)->isEqual(*g));
}

TEST_F(GradientWellTest, ADroppedGradientFileLoads)
{
    const VRGradientRef g = threeStops();
    const QString path = writeFile("untitled gradient.gradient", g->fileRepresentation());
    std::unique_ptr<QMimeData> drop(files({path}));
    EXPECT_TRUE(well.canAcceptDrop(drop.get()));
    EXPECT_TRUE(well.performDrop(drop.get(), {}, false));
    ASSERT_TRUE(well.gradient());
    EXPECT_TRUE(well.gradient()->isEqual(*g));
    // A drop that comes from the well itself changes nothing.
    const VRGradientRef shown = well.gradient();
    EXPECT_FALSE(well.performDrop(drop.get(), {}, true));
    EXPECT_EQ(well.gradient(), shown);
}

TEST_F(GradientWellTest, ForeignOrDamagedFilesAreRefusedAndChangeNothing)
{
    const VRGradientRef g = threeStops();
    const QVariantMap good = g->plistRepresentation();
    auto xml = [](const QVariantMap &plist) { return *VRPlistCoder::xmlData(plist); };
    QVariantMap otherClass = good;
    otherClass.insert("isa", "NSTask");
    QVariantMap nestedClass = good;
    QVariantList stops = good.value("stops").toList();
    QVariantMap firstStop = stops.first().toMap();
    firstStop.insert("isa", "NSTask");
    stops[0] = firstStop;
    nestedClass.insert("stops", stops);
    QVariantMap manyStops = good;
    QVariantList many;
    for (int i = 0; i < 100000; ++i)
        many.append(good.value("stops").toList().first());
    manyStops.insert("stops", many);
    QVariantMap notNumber = good;
    QVariantList badStops = good.value("stops").toList();
    QVariantMap badStop = badStops.first().toMap();
    badStop.insert("position", "half");
    badStops[0] = badStop;
    notNumber.insert("stops", badStops);
    QVariantMap notAngle = good;
    notAngle.insert("angle", "north");

    struct Case {
        const char *name;
        QString file;
        QByteArray data;
    };
    const Case cases[] = {
        {"another class", "a.gradient", xml(otherClass)},
        {"another class inside", "b.gradient", xml(nestedClass)},
        {"absurd stop count", "c.gradient", xml(manyStops)},
        {"a position that is no number", "d.gradient", xml(notNumber)},
        {"an angle that is no number", "e.gradient", xml(notAngle)},
        {"not a property list", "f.gradient", "garbage"},
        {"capital extension", "g.Gradient", g->fileRepresentation()},
    };
    well.setGradient(g);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        actions = 0;
        std::unique_ptr<QMimeData> drop(files({writeFile(c.file, c.data)}));
        EXPECT_FALSE(well.performDrop(drop.get(), {}, false));
        EXPECT_EQ(well.gradient(), g);
        EXPECT_EQ(actions, 0);
    }
    EXPECT_FALSE(well.lastRefusal().isEmpty());
    // Two files at once are no gradient either.
    const QString one = writeFile("h.gradient", g->fileRepresentation());
    std::unique_ptr<QMimeData> two(files({one, one}));
    EXPECT_FALSE(well.performDrop(two.get(), {}, false));
    EXPECT_EQ(well.gradient(), g);
}

TEST_F(GradientWellTest, AColourDroppedTintsTheGradient)
{
    QMimeData colour;
    colour.setColorData(QColor(Qt::green));
    EXPECT_FALSE(well.performDrop(&colour, {}, false)); // no gradient to tint
    EXPECT_FALSE(well.gradient());
    well.setGradient(threeStops());
    const VRGradientRef before = well.gradient();
    EXPECT_TRUE(well.performDrop(&colour, {}, false));
    EXPECT_NE(well.gradient(), before);
}

TEST_F(GradientWellTest, ClickingMovesTheActiveRingAndTheOldWellLetsGoOfItsGradient)
{
    VKGradientWell other;
    const VRGradientRef g = threeStops();
    well.setGradient(g);
    click(well);
    EXPECT_TRUE(well.isActiveWell());
    click(well);
    EXPECT_FALSE(VKGradientWell::activeWell());
    click(well);
    click(other);
    EXPECT_TRUE(other.isActiveWell());
    EXPECT_NE(well.gradient(), g);
    EXPECT_TRUE(well.gradient()->isEqual(*g));
    // A well that may not become active ignores the click and offers no Cut or Delete.
    VKGradientWell passive;
    passive.setCanBecomeActiveWell(false);
    click(passive);
    EXPECT_TRUE(other.isActiveWell());
    std::unique_ptr<QMenu> menu(passive.menuForEvent({}, Qt::NoModifier));
    QStringList names;
    for (QAction *a : menu->actions())
        names.append(a->objectName());
    EXPECT_FALSE(names.contains("cut"));
    EXPECT_FALSE(names.contains("delete"));
    EXPECT_TRUE(names.contains("copy"));
}

TEST_F(GradientWellTest, AForcedSquareWellIsCentredInItsSuperview)
{
    QWidget superview;
    superview.resize(200, 100);
    auto *square = new VKGradientWell(&superview);
    square->setGeometry(0, 0, 30, 30);
    square->setForceSquare(true);
    EXPECT_EQ(square->geometry(), QRect(60, 10, 80, 80));
}

TEST(FindFolder, NamesRunOutAfter998)
{
    QTemporaryDir dir;
    QFile(QDir(dir.path()).filePath("g.txt")).open(QIODevice::WriteOnly);
    for (int n = 1; n < 999; ++n)
        QFile(QDir(dir.path()).filePath(QStringLiteral("g %1.txt").arg(n)))
            .open(QIODevice::WriteOnly);
    EXPECT_FALSE(FindFolder::uniqueFilenameForFilename("g.txt", dir.path()).ok());
    EXPECT_FALSE(FindFolder::writeContentsToUniqueFile("x", "g.txt", dir.path()).ok());
}

} // namespace
