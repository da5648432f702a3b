#include "PaletteTestSupport.h"

#include "library/ImageBrowserCell.h"
#include "library/ImageBrowserView.h"
#include "library/ImagesBankItem.h"
#include "library/QntImageCellTitleEditor.h"
#include "library/QntImagesBankController.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"

#include "app/common/QntConstants.h"
#include "common/FolderSetAside.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/notations/FMDatabase.h"
#include "framework/view/VRToolRegistry.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "common/SharedStateKeepers.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDropEvent>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QAbstractButton>
#include <QSet>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// The image bank folder, emptied for one test and put back afterwards.
struct BankFixture {
    BankFixture()
        : aside(std::filesystem::path(
            QDir::cleanPath(QntImagesBankController::imageBankFolderPath()).toStdString()))
        , importedAside(std::filesystem::path(
              QDir::cleanPath(QntImagesBankController::importedFolderPath()).toStdString()))
    {
        preparePaletteEnvironment();
        const QStringList names = VRToolRegistry::sharedToolRegistry().toolNames();
        toolsBefore = QSet<QString>(names.begin(), names.end());
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntImageBankShowCustomImages);
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntImageBankShowAllImportedImages);
    }
    ~BankFixture()
    {
        // The Custom group registered tools for the pictures: the names are free again.
        for (const QString &name : VRToolRegistry::sharedToolRegistry().toolNames())
            if (!toolsBefore.contains(name))
                VRToolRegistry::sharedToolRegistry().unregisterDrawingTool(name);
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntImageBankShowCustomImages);
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntImageBankShowAllImportedImages);
    }

    QString picture(const QString &relative, QSize size = QSize(40, 30),
                    QColor colour = Qt::darkCyan) const
    {
        const QString path = files.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImage image(size, QImage::Format_ARGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    // First, so it ends last: the bank window keeps its frame in the defaults when it goes.
    qnt::test::UserDefaultsKeeper defaults;
    QSet<QString> toolsBefore;
    qnt::test::FolderSetAside aside;
    qnt::test::FolderSetAside importedAside;
    QTemporaryDir files;
};

struct Row {
    QString key;
    QString value;
};

QList<Row> stringParams(const QString &database)
{
    FMDatabase db(database);
    EXPECT_TRUE(db.openReadOnly());
    QList<Row> rows;
    auto rs = db.executeQuery(QStringLiteral("SELECT Key, Value FROM StringParams ORDER BY rowid"));
    while (rs && rs->next())
        rows.push_back({rs->stringForColumnIndex(0), rs->stringForColumnIndex(1)});
    return rows;
}

QStringList storedIds(const QString &database)
{
    FMDatabase db(database);
    if (!db.openReadOnly())
        return {};
    QStringList ids;
    auto rs = db.executeQuery(QStringLiteral("SELECT ID FROM ImportedElements ORDER BY _ID"));
    while (rs && rs->next())
        ids.push_back(rs->stringForColumnIndex(0));
    return ids;
}

// A PNG whose header claims a size but that carries no usable pixels.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray data("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char *type, const QByteArray &body) {
        QByteArray length(4, '\0');
        qToBigEndian<quint32>(quint32(body.size()), length.data());
        QByteArray typed = QByteArray(type) + body;
        QByteArray crc(4, '\0');
        qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()),
                                            uInt(typed.size()))),
                              crc.data());
        data += length + typed + crc;
    };
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 2; // RGB
    chunk("IHDR", ihdr);
    chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    chunk("IEND", {});
    return data;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList titles(const QntImagesBankController &bank)
{
    QStringList result;
    if (const auto *images = bank.images())
        for (const auto &item : *images)
            result.push_back(item->imageTitle());
    return result;
}

} // namespace

TEST(QntImagesBankController, AFreshStartMakesTheBankWithItsTablesAndParameters)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    const QString path = QntImagesBankController::imageBankFilePath();
    ASSERT_FALSE(QFileInfo::exists(path));
    ASSERT_TRUE(bank.initImageBank()) << bank.imageBankProblem().toStdString();
    ASSERT_TRUE(QFileInfo(path).isFile());

    const QList<Row> params = stringParams(path);
    const QList<std::pair<const char *, const char *>> expected = {
        {"VRStyledConnectorDefaultWidth", "3"},
        {"UseVRStyledConnector", "YES"},
        {"ConnectorSkinTextPathVerticalAlignmentOffset", "15.0"},
        {"VRStyledConnectorDefaultColor", "#998A95"},
        {"NotationName", "imagebank"},
        {"Editable", "YES"},
    };
    ASSERT_EQ(params.size(), expected.size());
    for (qsizetype i = 0; i < params.size(); ++i) {
        EXPECT_EQ(params.at(i).key, QLatin1String(expected.at(i).first));
        EXPECT_EQ(params.at(i).value, QLatin1String(expected.at(i).second));
    }
    FMDatabase db(path);
    ASSERT_TRUE(db.openReadOnly());
    auto blobs = db.executeQuery(QStringLiteral("SELECT Key, Value FROM BlobParams"));
    ASSERT_TRUE(blobs && blobs->next());
    EXPECT_EQ(blobs->stringForColumnIndex(0), "notationIcon");
    QImage icon;
    EXPECT_TRUE(icon.loadFromData(blobs->dataForColumnIndex(1)));
    EXPECT_FALSE(blobs->next());
    EXPECT_TRUE(storedIds(path).isEmpty());
    // The notation reads it as the editable Custom database.
    QntNotation notation(path);
    EXPECT_TRUE(notation.isValid());
    EXPECT_TRUE(notation.isEditable());
    // No half-made file is left beside it.
    EXPECT_EQ(QDir(QntImagesBankController::imageBankFolderPath())
                  .entryList(QDir::Files | QDir::Hidden)
                  .size(),
              1);
}

TEST(QntImagesBankController, AnExistingBankIsLeftAsItIsAndAnEmptyOneIsMadeAgain)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    const QString path = QntImagesBankController::imageBankFilePath();
    ASSERT_TRUE(bank.initImageBank());
    ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("a.png"))));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_TRUE(bank.initImageBank());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.close();
    ASSERT_TRUE(bank.initImageBank());
    EXPECT_EQ(stringParams(path).size(), 6);

    // A file that is no database is reported, never replaced.
    writeFile(path, "not a database at all, just words");
    EXPECT_FALSE(bank.initImageBank());
    EXPECT_FALSE(bank.imageBankProblem().isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("not a database at all, just words"));
}

TEST(QntImagesBankController, PicturesOfTheSameNameGetDistinctIdentifiers)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    for (const char *folder : {"one", "two", "three"})
        ASSERT_TRUE(bank.addElementWithPath(
            f.picture(QStringLiteral("%1/a.png").arg(QLatin1String(folder)))));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()),
              QStringList({"a.png", "a.png_1", "a.png_2"}));
    EXPECT_EQ(titles(bank), QStringList({"a.png", "a.png", "a.png"}));

    // A second window on the same bank (the list does not hold the rows) keeps them distinct.
    QntImagesBankController other(QStringLiteral("QntImagesBank"));
    ASSERT_TRUE(other.addElementWithPath(f.picture(QStringLiteral("four/a.png"))));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()).last(), "a.png_3");
    // Names beginning with a dot are skipped.
    EXPECT_FALSE(bank.addElementWithPath(f.picture(QStringLiteral(".hidden.png"))));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()).size(), 4);
}

TEST(QntImagesBankController, FilesThatAreNoUsablePicturesAreRefusedAndNothingIsStored)
{
    BankFixture f;
    const QString good = f.picture(QStringLiteral("good.png"), QSize(64, 64));
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray png = goodFile.readAll();
    struct Case {
        const char *name;
        QByteArray bytes;
        const char *reason;
    };
    const QList<Case> cases = {
        {"words.png", "these are words, not pixels", "not a picture"},
        {"truncated.png", png.left(png.size() / 2), "a.png"},
        {"huge.png", pngHeaderOnly(20000, 20000), "too large"},
        {"empty.png", QByteArray(), "not a picture"},
    };
    const int limitBefore = QImageReader::allocationLimit();
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    ASSERT_TRUE(bank.initImageBank());
    for (const Case &c : cases) {
        const QString path = f.files.filePath(QLatin1String(c.name));
        writeFile(path, c.bytes);
        QString whyNot;
        EXPECT_FALSE(bank.addElementWithPath(path, &whyNot)) << c.name;
        EXPECT_TRUE(whyNot.contains(QLatin1String(c.name))) << whyNot.toStdString();
        if (QByteArray(c.reason) != "a.png") {
            EXPECT_TRUE(whyNot.contains(QLatin1String(c.reason))) << whyNot.toStdString();
        }
    }
    EXPECT_TRUE(storedIds(QntImagesBankController::imageBankFilePath()).isEmpty());
    EXPECT_EQ(bank.numberOfItemsInImageBrowser(), 0);
    EXPECT_EQ(QImageReader::allocationLimit(), limitBefore) << "the decoder's limit is put back";

    // The window tells the user which files were refused.
    const int added =
        bank.addImagesFromPaths({f.files.filePath(QStringLiteral("words.png")), good});
    EXPECT_EQ(added, 1);
    ASSERT_TRUE(bank.alert());
    EXPECT_TRUE(bank.alert()->informativeText().contains(QLatin1String("words.png")));
    delete bank.alert();
}

TEST(QntImagesBankController, ARenamedPictureKeepsItsTitleAfterARestart)
{
    BankFixture f;
    {
        QntImagesBankController bank(QStringLiteral("QntImagesBank"));
        bank.setupBrowsing();
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("cat.png"))));
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("dog.png"))));
        bank.openImageTitleEditorForCellAtIndex(1);
        EXPECT_EQ(bank.titleEditController()->titleTextField()->text(), "dog.png");
        bank.titleEditController()->titleTextField()->setText(QStringLiteral("Rex"));
        bank.titleEditController()->ok();
        EXPECT_EQ(titles(bank), QStringList({"cat.png", "Rex"}));
    }
    QntImagesBankController restarted(QStringLiteral("QntImagesBank"));
    restarted.setupBrowsing();
    EXPECT_EQ(titles(restarted), QStringList({"cat.png", "Rex"}));
}

TEST(QntImagesBankController, ARenameSurvivesTheListBeingRebuiltWhileTheEditorIsOpen)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.showWindow();
    bank.setupBrowsing();
    ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("cat.png"))));
    bank.openImageTitleEditorForCellAtIndex(0);
    // The palette changes the bank meanwhile: the list is made anew.
    NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
    bank.titleEditController()->titleTextField()->setText(QStringLiteral("Tom"));
    bank.titleEditController()->ok();
    EXPECT_EQ(titles(bank), QStringList({"Tom"}));
    QntImagesBankController other(QStringLiteral("QntImagesBank"));
    other.setupBrowsing();
    EXPECT_EQ(titles(other), QStringList({"Tom"}));
    // Cancel changes nothing.
    bank.openImageTitleEditorForCellAtIndex(0);
    bank.titleEditController()->titleTextField()->setText(QStringLiteral("Felix"));
    bank.titleEditController()->cancel();
    EXPECT_EQ(titles(bank), QStringList({"Tom"}));
    EXPECT_TRUE(bank.editedItemId().isEmpty());
}

TEST(QntImagesBankController, ARemovedPictureLeavesTheBankAndTheCustomGroup)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    PaletteHarness h;
    ASSERT_TRUE(h.palette->subgroupCustom());
    EXPECT_EQ(bank.addImagesFromPaths(
                  {f.picture(QStringLiteral("a.png")), f.picture(QStringLiteral("b.png"))}),
              2);
    QStringList custom;
    for (const auto &item : h.palette->subgroupCustom()->children())
        custom.push_back(item->title());
    EXPECT_EQ(custom, QStringList({"a.png", "b.png"}));

    ASSERT_TRUE(bank.imageBrowserRemoveItemsAtIndexes({0}));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()), QStringList({"b.png"}));
    EXPECT_EQ(titles(bank), QStringList({"b.png"}));
    custom.clear();
    for (const auto &item : h.palette->subgroupCustom()->children())
        custom.push_back(item->title());
    EXPECT_EQ(custom, QStringList({"b.png"}));
}

TEST(QntImagesBankController, AnOpenConnectionToACopyOfTheBankGivesTheSameEntries)
{
    BankFixture f;
    const QString path = QntImagesBankController::imageBankFilePath();
    {
        QntImagesBankController bank(QStringLiteral("QntImagesBank"));
        bank.setupBrowsing();
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("cat.png"))));
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("dog.png"))));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    QntImagesBankController fromFile(QStringLiteral("QntImagesBank"));
    fromFile.addImportedWithPath(path);
    QntImagesBankController fromCopy(QStringLiteral("QntImagesBank"));
    FMDatabase db(path);
    ASSERT_TRUE(db.openWithData(bytes, FMDatabase::OpenReadOnly));
    fromCopy.addImportedFromDatabase(db, path);
    EXPECT_EQ(titles(fromCopy), QStringList({"cat.png", "dog.png"}));
    EXPECT_EQ(titles(fromCopy), titles(fromFile));
    ASSERT_EQ(fromCopy.images()->size(), 2);
    EXPECT_EQ(fromCopy.images()->first()->sourceDatabase(),
              fromFile.images()->first()->sourceDatabase());
    // Bytes that are no database give no entries, as such a file does.
    FMDatabase junk(path);
    ASSERT_TRUE(junk.openWithData(QByteArray(4096, 'x'), FMDatabase::OpenReadOnly));
    QntImagesBankController fromJunk(QStringLiteral("QntImagesBank"));
    fromJunk.addImportedFromDatabase(junk, path);
    EXPECT_TRUE(titles(fromJunk).isEmpty());
}

TEST(QntImagesBankController, RemovingAsksFirstAndCancelKeepsEverything)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.showWindow();
    bank.setupBrowsing();
    ASSERT_EQ(bank.addImagesFromPaths({f.picture(QStringLiteral("a.png"))}), 1);
    bank.imageBrowser()->setSelectionIndexes({0});
    bank.removeImageButtonClicked();
    ASSERT_TRUE(bank.alert());
    bank.alert()->button(QMessageBox::Cancel)->click();
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()).size(), 1);
    bank.imageBrowser()->setSelectionIndexes({0});
    bank.removeImageButtonClicked();
    ASSERT_TRUE(bank.alert());
    for (QAbstractButton *button : bank.alert()->buttons())
        if (button->text() == QLatin1String("Remove"))
            button->click();
    EXPECT_TRUE(storedIds(QntImagesBankController::imageBankFilePath()).isEmpty());
    EXPECT_EQ(bank.numberOfItemsInImageBrowser(), 0);
}

TEST(QntImagesBankController, ImportedPicturesAreChangedInTheirOwnDatabase)
{
    BankFixture f;
    // An imported notation with one element.
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("x.png"))));
    const VRObjectRef element = bank.images()->first()->element()->copy();
    element->setString(QStringLiteral("imported-1"), QStringLiteral("ID"));
    const VRResult<QString> imported =
        QntNotation::importIntoDB(QStringLiteral("Stencil.db"), {element}, QByteArray(), QString());
    ASSERT_TRUE(imported) << imported.errorMessage().toStdString();
    bank.showAllImportedCheckbox()->setChecked(true);
    bank.showAllImportedCheckboxAction();
    ASSERT_EQ(bank.numberOfItemsInImageBrowser(), 2);
    EXPECT_EQ(bank.images()->first()->sourceName(), "Imported");

    ASSERT_TRUE(bank.imageBrowserRemoveItemsAtIndexes({0}));
    EXPECT_TRUE(storedIds(*imported).isEmpty());
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()), QStringList({"x.png"}));
    bank.setupBrowsing();
    EXPECT_EQ(bank.numberOfItemsInImageBrowser(), 1);
}

TEST(QntImagesBankController, SearchHidesAndClearingBringsEveryPictureBackInPlace)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.showWindow();
    bank.setupBrowsing();
    for (const char *name : {"red apple.png", "pear.png", "green apple.png", "plum.png"})
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QLatin1String(name))));
    bank.searchField()->setText(QStringLiteral("APPLE"));
    EXPECT_EQ(titles(bank), QStringList({"red apple.png", "green apple.png"}));
    bank.searchField()->setText(QStringLiteral("p"));
    EXPECT_EQ(titles(bank),
              QStringList({"red apple.png", "pear.png", "green apple.png", "plum.png"}));
    bank.searchField()->setText(QStringLiteral("pl"));
    EXPECT_EQ(titles(bank), QStringList({"red apple.png", "green apple.png", "plum.png"}));
    // A rebuild during a search applies the search again and duplicates nothing.
    bank.showCustomCheckbox()->setChecked(false);
    bank.showCustomCheckboxAction();
    EXPECT_TRUE(titles(bank).isEmpty());
    bank.showCustomCheckbox()->setChecked(true);
    bank.showCustomCheckboxAction();
    EXPECT_EQ(titles(bank), QStringList({"red apple.png", "green apple.png", "plum.png"}));
    bank.searchField()->clear();
    EXPECT_EQ(titles(bank),
              QStringList({"red apple.png", "pear.png", "green apple.png", "plum.png"}));
    EXPECT_TRUE(QntImagesBankController::keywordMatchSearch(QStringLiteral("Abc"), "B"));
    EXPECT_FALSE(QntImagesBankController::keywordMatchSearch(QString(), "B"));
}

TEST(QntImagesBankController, DraggingInsideTheBrowserReordersWithoutNewRows)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QLatin1String(name))));
    struct Move {
        QList<int> rows;
        int to;
        QStringList after;
    };
    const QList<Move> moves = {
        {{0}, 3, {"b.png", "c.png", "a.png", "d.png"}},
        {{2, 3}, 0, {"a.png", "d.png", "b.png", "c.png"}},
        {{1}, 4, {"a.png", "b.png", "c.png", "d.png"}},
    };
    for (const Move &move : moves) {
        EXPECT_TRUE(bank.imageBrowserMoveItemsAtIndexes(move.rows, move.to));
        EXPECT_EQ(titles(bank), move.after);
    }
    // The order is kept: the bank read again shows it.
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()),
              QStringList({"a.png", "b.png", "c.png", "d.png"}));
    EXPECT_TRUE(bank.imageBrowserMoveItemsAtIndexes({0}, 2));
    QntImagesBankController again(QStringLiteral("QntImagesBank"));
    again.setupBrowsing();
    EXPECT_EQ(titles(again), QStringList({"b.png", "a.png", "c.png", "d.png"}));
    EXPECT_EQ(bank.draggingEntered(nullptr, true), Qt::MoveAction);
    // Drops reach the browser's viewport, which takes them.
    EXPECT_TRUE(bank.window() && bank.imageBrowser()->viewport()->acceptDrops());
    QMimeData picture;
    picture.setImageData(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_EQ(bank.draggingEntered(&picture, false), Qt::IgnoreAction);
    QMimeData data;
    EXPECT_FALSE(bank.performDragOperation(&data, 0, true));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()).size(), 4);
}

TEST(QntImagesBankController, DroppedFilesGoToTheDropPlaceLastFileFirst)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    for (const char *name : {"a.png", "b.png"})
        ASSERT_TRUE(bank.addElementWithPath(f.picture(QLatin1String(name))));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(f.picture(QStringLiteral("x.png"))),
                  QUrl::fromLocalFile(f.picture(QStringLiteral("y.png"))),
                  QUrl::fromLocalFile(f.picture(QStringLiteral("z.png")))});
    EXPECT_EQ(bank.draggingEntered(&data, false), Qt::CopyAction);
    EXPECT_TRUE(bank.performDragOperation(&data, 1, false));
    EXPECT_EQ(titles(bank), QStringList({"a.png", "z.png", "y.png", "x.png", "b.png"}));
    EXPECT_EQ(storedIds(QntImagesBankController::imageBankFilePath()),
              QStringList({"a.png", "z.png", "y.png", "x.png", "b.png"}));
}

TEST(QntImagesBankController, APictureDraggedOutLandsInADrawing)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("a.png"), QSize(50, 20))));
    ASSERT_TRUE(bank.addElementWithPath(f.picture(QStringLiteral("b.png"))));
    QMimeData data;
    EXPECT_EQ(bank.imageBrowserWriteItemsAtIndexes({1, 0}, &data), 2);
    EXPECT_EQ(QJsonDocument::fromJson(data.data(kQntImageBankDragPasteboardType)).array(),
              QJsonArray({"a.png", "b.png"}));
    PaletteHarness h;
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view.get(), &enter);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view.get(), &drop);
    const VRObjectList dropped = h.layer()->selection();
    ASSERT_EQ(dropped.size(), 2);
    EXPECT_TRUE(dropped.first()->isKindOf<QntElement>());
    EXPECT_EQ(dropped.first()->size(), QSizeF(50, 20));
    EXPECT_EQ(h.layer()->countOfSelection(), 2);
}

TEST(QntImagesBankController, EachPictureIsMadeOnceAndAPageIsPaintedFromKeptPictures)
{
    BankFixture f;
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.showWindow();
    bank.setupBrowsing();
    QStringList paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(f.picture(QStringLiteral("p%1.png").arg(i), QSize(30 + i, 20)));
    ASSERT_EQ(bank.addImagesFromPaths(paths), 12);

    const qint64 made = QntImagesBankController::thumbnailRenderCount();
    bank.setupBrowsing();
    bank.setupBrowsing();
    EXPECT_EQ(QntImagesBankController::thumbnailRenderCount(), made);
    EXPECT_EQ(bank.numberOfItemsInImageBrowser(), 12);

    ImageBrowserView *browser = bank.imageBrowser();
    bank.window()->resize(900, 900);
    browser->doItemsLayout();
    QApplication::processEvents();
    (void)browser->grab();
    const qint64 scaled = browser->cell()->scaledPictureCount();
    EXPECT_EQ(scaled, 12);
    (void)browser->grab();
    EXPECT_EQ(browser->cell()->scaledPictureCount(), scaled);
}

TEST(QntImagesBankController, TheBankStaysWholeWhenTheProgramIsKilledDuringAnAdd)
{
    BankFixture f;
    const QString picture = f.picture(QStringLiteral("p.png"), QSize(300, 200));
    const QString path = QntImagesBankController::imageBankFilePath();
    VRObjectRef element;
    {
        QntImagesBankController bank(QStringLiteral("QntImagesBank"));
        ASSERT_TRUE(bank.initImageBank());
        const auto item = bank.elementWithPath(picture);
        ASSERT_TRUE(item);
        element = item->element();
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child stores pictures until it is killed; it never returns into the test program.
        for (int i = 0;; ++i) {
            element->setString(QStringLiteral("p%1").arg(i), QStringLiteral("ID"));
            if (!QntNotation::insertIntoDB(path, element))
                ::_exit(3);
        }
    }
    // Wait for a good number of rows, then kill it in the middle of whatever it does.
    for (int polls = 0; polls < 3000 && storedIds(path).size() < 25; ++polls)
        QThread::msleep(10);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;
    ASSERT_GE(storedIds(path).size(), 25);

    FMDatabase db(path);
    ASSERT_TRUE(db.open());
    auto check = db.executeQuery(QStringLiteral("PRAGMA integrity_check"));
    ASSERT_TRUE(check && check->next());
    EXPECT_EQ(check->stringForColumnIndex(0), "ok");
    check->close();
    db.close();
    QntImagesBankController bank(QStringLiteral("QntImagesBank"));
    bank.setupBrowsing();
    const QStringList ids = storedIds(path);
    EXPECT_EQ(bank.numberOfItemsInImageBrowser(), ids.size());
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
}
