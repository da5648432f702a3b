#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationCompiler.h"

#include "CompiledNotations.h"

#include "common/FolderSetAside.h"
#include "common/ScopedEnvironment.h"
#include "platform/QntPaths.h"

#include "framework/view/VRToolRegistry.h"

#include "common/ScopedBuiltinLibraries.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <functional>

#include <gtest/gtest.h>

namespace {

QByteArray fileDigest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

// The shipped notations, compiled once for the suite.
class QntNotationTest : public CompiledNotationsTest
{
};

TEST_F(QntNotationTest, SchemeReadersAgreeWithTheUserCopyShape)
{
    QntNotation notation(copyOf(QStringLiteral("FlowChart/FlowChart.db")));
    ASSERT_TRUE(notation.isValid());
    const auto schemes = notation.colorSchemesList();
    ASSERT_GE(schemes.size(), 3);
    EXPECT_EQ(schemes.first().name, QStringLiteral("Ocean"));
    EXPECT_EQ(notation.defaultColorSchemeId(), schemes.first().schemeId);
    EXPECT_EQ(notation.iconColor(schemes.first().schemeId), QColor(QStringLiteral("#2B6CB0")));

    const QVariantMap root = notation.colorSchemes();
    const QVariantList children = root.value(QStringLiteral("Children")).toList();
    ASSERT_EQ(children.size(), schemes.size());
    const QVariantMap first = children.first().toMap();
    EXPECT_EQ(first.value(QStringLiteral("Id")).toLongLong(), schemes.first().schemeId);
    const QVariantList groups = first.value(QStringLiteral("Children")).toList();
    QStringList groupNames;
    for (const QVariant &g : groups)
        groupNames << g.toMap().value(QStringLiteral("Name")).toString();
    EXPECT_EQ(groupNames, (QStringList{QStringLiteral("Fill"), QStringLiteral("Stroke"),
                                       QStringLiteral("GradientStops"), QStringLiteral("Text")}));
    const QVariantMap fill0 =
        groups.first().toMap().value(QStringLiteral("Children")).toList().first().toMap();
    EXPECT_EQ(fill0.value(QStringLiteral("HexColorValue")).toString(), QStringLiteral("#DCEBFA"));
    EXPECT_EQ(fill0.value(QStringLiteral("TableCellBackgroundColor")).toString(),
              QStringLiteral("YES"));

    QVariantMap cache;
    notation.populateCache(cache, QStringLiteral("Fill"));
    EXPECT_EQ(cache
                  .value(QStringLiteral("Flow Chart.%1.ColorSchemeItemsFill.2")
                             .arg(schemes.first().schemeId))
                  .value<QColor>(),
              QColor(QStringLiteral("#2B6CB0")));
    EXPECT_EQ(notation.colorSchemesItemsStroke(schemes.first().schemeId).size(), 3);
    EXPECT_TRUE(notation.isFillTableCellBackgroundColor(QStringLiteral("#dcebfa"),
                                                        schemes.first().schemeId));
    EXPECT_TRUE(
        notation.isStrokeTableGridColor(QStringLiteral("#2B6CB0"), schemes.first().schemeId));
    EXPECT_EQ(notation.defaultColorText(schemes.first().schemeId),
              QColor(QStringLiteral("#1A202C")));
    EXPECT_FALSE(notation.connectorColors().isEmpty());
    EXPECT_FALSE(notation.tableGridColors().isEmpty());
    EXPECT_FALSE(notation.colorSchemesColors().isEmpty());
}

TEST_F(QntNotationTest, SchemeWritersRoundTrip)
{
    const QString path = copyOf(QStringLiteral("Network/Network.db"));
    QntNotation notation(path);
    ASSERT_TRUE(notation.isValid());
    const qint64 id = notation.colorSchemesList().first().schemeId;
    const QString fill = QStringLiteral("ColorSchemeItemsFill");

    EXPECT_TRUE(notation.updateColorSchemesItemsTable(
        {{QStringLiteral("tableName"), fill},
         {QStringLiteral("index"), QStringLiteral("2")},
         {QStringLiteral("colorSchemeId"), QString::number(id)},
         {QStringLiteral("Color"), QStringLiteral("#2B6CB0")},
         {QStringLiteral("paramColor"), QStringLiteral("#aa0011")}}));
    EXPECT_EQ(notation.colorSchemesItemsFill(id).at(2).colour, QColor(QStringLiteral("#AA0011")));
    // The item editor names the item by its colour instead of its index.
    EXPECT_TRUE(notation.updateColorSchemesItemsTable(
        {{QStringLiteral("tableName"), fill},
         {QStringLiteral("colorSchemeId"), id},
         {QStringLiteral("Color"), QStringLiteral("#AA0011")},
         {QStringLiteral("paramComment"), QStringLiteral("Alarm")}}));
    EXPECT_EQ(notation.colorSchemesItemsFill(id).at(2).comment, QStringLiteral("Alarm"));
    EXPECT_TRUE(notation.updateColorSchemesTable(
        {{QStringLiteral("colorSchemeId"), id},
         {QStringLiteral("paramName"), QStringLiteral("Harbour")},
         {QStringLiteral("paramIconColor"), QStringLiteral("#102030")}}));
    EXPECT_EQ(notation.colorSchemesList().first().name, QStringLiteral("Harbour"));

    const VRResult<qint64> duplicated = notation.duplicateColorScheme(id);
    ASSERT_TRUE(duplicated.ok()) << duplicated.errorMessage().toStdString();
    const qint64 copy = duplicated.value();
    ASSERT_GT(copy, 0);
    EXPECT_EQ(notation.colorSchemesItemsFill(copy).size(),
              notation.colorSchemesItemsFill(id).size());
    EXPECT_EQ(notation.colorSchemesItemsFill(copy).at(2).colour, QColor(QStringLiteral("#AA0011")));
    ASSERT_TRUE(notation.addColorSchemesItems({id, copy}, fill));
    const int count = int(notation.colorSchemesItemsFill(id).size());
    EXPECT_EQ(notation.colorSchemesItemsFill(copy).size(), count);
    EXPECT_TRUE(notation.removeColorSchemesItems(fill, copy, QStringLiteral("#FFFFFF")));
    EXPECT_EQ(notation.colorSchemesItemsFill(copy).size(), count - 1);

    // Reorder: the copy first.
    QVariantList order = notation.colorSchemesDic();
    order.move(order.size() - 1, 0);
    EXPECT_TRUE(notation.updateColorSchemesOrderNumber(order));
    EXPECT_EQ(notation.colorSchemesList().first().schemeId, copy);
    EXPECT_TRUE(notation.removeColorScheme(copy));
    EXPECT_EQ(notation.colorSchemesItemsFill(copy).size(), 0);

    // A fresh reader of the file sees the same.
    QntNotation again(path);
    EXPECT_EQ(again.colorSchemesList().first().name, QStringLiteral("Harbour"));
    EXPECT_EQ(again.colorSchemesItemsFill(id).at(2).comment, QStringLiteral("Alarm"));

    const QString xml = m_dir.filePath(QStringLiteral("nColorSchemeInfo.xml"));
    ASSERT_TRUE(notation.exportColorSchemes(xml).ok());
    QFile file(xml);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    int schemeElements = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement
            && reader.name() == QLatin1String("scheme"))
            ++schemeElements;
    }
    EXPECT_FALSE(reader.hasError());
    EXPECT_EQ(schemeElements, notation.colorSchemesList().size());
}

TEST_F(QntNotationTest, BadWriterRequestsChangeNothing)
{
    const QString path = copyOf(QStringLiteral("Office/Office.db"));
    const QByteArray before = fileDigest(path);
    QntNotation notation(path);
    const qint64 id = notation.colorSchemesList().first().schemeId;
    // Each refusal says why in its own words (a message from an earlier failure never lingers).
    const struct {
        const char *name;
        std::function<VRResult<void>()> write;
        const char *message;
    } cases[] = {
        // The table name is checked against the four item tables, never pasted into SQL as given.
        {"table name",
         [&] {
             return notation.updateColorSchemesItemsTable(
                 {{QStringLiteral("tableName"),
                   QStringLiteral("ColorSchemes; DROP TABLE Elements")},
                  {QStringLiteral("index"), 0},
                  {QStringLiteral("colorSchemeId"), id},
                  {QStringLiteral("paramColor"), QStringLiteral("#000000")}});
         },
         "Unknown colour table"},
        {"colour",
         [&] {
             return notation.updateColorSchemesItemsTable(
                 {{QStringLiteral("tableName"), QStringLiteral("ColorSchemeItemsFill")},
                  {QStringLiteral("index"), 0},
                  {QStringLiteral("colorSchemeId"), id},
                  {QStringLiteral("paramColor"), QStringLiteral("not a colour")}});
         },
         "is not a colour"},
        {"item index",
         [&] {
             return notation.updateColorSchemesItemsTable(
                 {{QStringLiteral("tableName"), QStringLiteral("ColorSchemeItemsFill")},
                  {QStringLiteral("index"), 99},
                  {QStringLiteral("colorSchemeId"), id},
                  {QStringLiteral("paramColor"), QStringLiteral("#000000")}});
         },
         "No such colour."},
        {"added items",
         [&] { return notation.addColorSchemesItems({id}, QStringLiteral("Elements")); },
         "Unknown colour table"},
        {"removed scheme", [&] { return notation.removeColorScheme(12345); },
         "No such colour scheme."},
        {"removed item",
         [&] {
             return notation.removeColorSchemesItems(QStringLiteral("ColorSchemeItemsFill"), id,
                                                     QStringLiteral("#123456"));
         },
         "No such colour."},
    };
    for (const auto &c : cases) {
        const VRResult<void> written = c.write();
        EXPECT_FALSE(written.ok()) << c.name;
        EXPECT_TRUE(written.errorMessage().contains(QLatin1String(c.message)))
            << c.name << ": " << written.errorMessage().toStdString();
    }
    const VRResult<qint64> duplicated = notation.duplicateColorScheme(12345);
    EXPECT_FALSE(duplicated.ok());
    EXPECT_EQ(duplicated.errorMessage(), QStringLiteral("No such colour scheme."));
    EXPECT_EQ(fileDigest(path), before);
}

TEST_F(QntNotationTest, CorruptDatabasesAreRefusedAndLeftAlone)
{
    const QString valid = copyOf(QStringLiteral("Misc/Misc.db"));
    QFile f(valid);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    struct Case {
        const char *name;
        QByteArray content;
    };
    QByteArray flipped = bytes;
    for (qsizetype i = 4096; i < flipped.size(); i += 97)
        flipped[i] = char(flipped[i] ^ 0x5a);
    const Case cases[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("this is not a database\n")},
        {"truncated", bytes.left(bytes.size() / 3)},
        {"header only", bytes.left(100)},
        {"scrambled", flipped},
    };
    for (const Case &c : cases) {
        const QString path = m_dir.filePath(QStringLiteral("bad.db"));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.content);
        out.close();
        const QByteArray before = fileDigest(path);
        QntNotation notation(path);
        EXPECT_FALSE(notation.isValid()) << c.name;
        EXPECT_TRUE(notation.errorMessage().contains(QLatin1String("bad.db")))
            << notation.errorMessage().toStdString();
        EXPECT_TRUE(notation.shapeElementsList().isEmpty());
        EXPECT_TRUE(notation.colorSchemesList().isEmpty());
        EXPECT_FALSE(
            notation.updateColorSchemesTable({{QStringLiteral("colorSchemeId"), 1},
                                              {QStringLiteral("paramName"), QStringLiteral("x")}}));
        EXPECT_EQ(fileDigest(path), before) << c.name;
    }
    // A database of another kind.
    const QString other = m_dir.filePath(QStringLiteral("other.db"));
    {
        FMDatabase db(other);
        ASSERT_TRUE(db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate));
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("CREATE TABLE Things (A TEXT)")));
    }
    QntNotation notation(other);
    EXPECT_FALSE(notation.isValid());
    EXPECT_TRUE(notation.errorMessage().contains(QLatin1String("not a notation")));
    EXPECT_FALSE(QntNotation(m_dir.filePath(QStringLiteral("missing.db"))).isValid());
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("missing.db"))));
}

// A file found sound once is not read through again while it stays as it was, but any write to
// it since, even one of the same size that puts its time back, has it checked whole again.
TEST_F(QntNotationTest, ASoundFileChangedSinceItWasCheckedIsCheckedAgain)
{
    const QString path = copyOf(QStringLiteral("Misc/Misc.db"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    file.close();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(QntNotation(path).isValid()) << pass;
        FMDatabase db(path);
        db.openReadOnly();
        EXPECT_EQ(QntNotation::checkDatabaseFile(db), QString()) << pass;
    }

    QByteArray scrambled = bytes;
    for (qsizetype i = 4096; i < scrambled.size(); i += 97)
        scrambled[i] = char(scrambled[i] ^ 0x5a);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_EQ(file.write(scrambled), scrambled.size());
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    ASSERT_EQ(QFileInfo(path).size(), bytes.size());
    EXPECT_FALSE(QntNotation(path).isValid());
    FMDatabase db(path);
    db.openReadOnly();
    EXPECT_NE(QntNotation::checkDatabaseFile(db), QString());
}

// A file listed while reading through is left out passes with its tables whole, is not taken
// as sound, and is read through and found damaged at the next check.
TEST_F(QntNotationTest, AFileListedWithoutReadingThroughIsReadThroughAtTheNextCheck)
{
    const QString path = copyOf(QStringLiteral("Misc/Misc.db"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    // Every page but the first, which holds the list of tables.
    for (qsizetype i = 4096; i < bytes.size(); i += 97)
        bytes[i] = char(bytes[i] ^ 0x5a);
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    {
        const QntNotation::ReadThroughDeferred deferred;
        FMDatabase db(path);
        db.openReadOnly();
        EXPECT_EQ(QntNotation::checkDatabaseFile(db), QString());
    }
    FMDatabase db(path);
    db.openReadOnly();
    EXPECT_NE(QntNotation::checkDatabaseFile(db), QString());
    EXPECT_FALSE(QntNotation(path).isValid());
}

TEST_F(QntNotationTest, ACopyInMemoryReadsAsItsFileAndItsWritesStayThere)
{
    const QString valid = copyOf(QStringLiteral("Misc/Misc.db"));
    QFile f(valid);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    QByteArray flipped = bytes;
    for (qsizetype i = 4096; i < flipped.size(); i += 97)
        flipped[i] = char(flipped[i] ^ 0x5a);
    const std::pair<const char *, QByteArray> cases[] = {
        {"whole", bytes},
        {"empty", QByteArray()},
        {"text", QByteArray("this is not a database\n")},
        {"truncated", bytes.left(bytes.size() / 3)},
        {"header only", bytes.left(100)},
        {"scrambled", flipped},
    };
    const auto ids = [](const QList<QntElementRecord> &records) {
        QStringList result;
        for (const QntElementRecord &record : records)
            result.push_back(record.elementId);
        return result;
    };
    for (const auto &[name, content] : cases) {
        const QString path = m_dir.filePath(QStringLiteral("copy.db"));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        out.close();
        const QByteArray before = fileDigest(path);
        QntNotation onDisk(path);
        QntNotation inMemory(content, path);
        EXPECT_EQ(inMemory.isValid(), onDisk.isValid()) << name;
        EXPECT_EQ(inMemory.errorMessage(), onDisk.errorMessage()) << name;
        EXPECT_EQ(inMemory.notationName(), onDisk.notationName()) << name;
        EXPECT_EQ(ids(inMemory.allElementsAsPrototypesList()),
                  ids(onDisk.allElementsAsPrototypesList()))
            << name;
        EXPECT_EQ(inMemory.colorSchemesList().size(), onDisk.colorSchemesList().size()) << name;
        EXPECT_EQ(inMemory.connectorsList(0).size(), onDisk.connectorsList(0).size()) << name;
        if (!onDisk.isValid())
            continue;
        ASSERT_FALSE(inMemory.colorSchemesList().isEmpty());
        const qint64 scheme = inMemory.colorSchemesList().first().schemeId;
        EXPECT_TRUE(inMemory.updateColorSchemesTable(
            {{QStringLiteral("colorSchemeId"), scheme},
             {QStringLiteral("paramName"), QStringLiteral("Renamed in memory")}}));
        EXPECT_EQ(inMemory.colorSchemesList().first().name, "Renamed in memory");
        EXPECT_NE(onDisk.colorSchemesList().first().name, "Renamed in memory");
        EXPECT_EQ(fileDigest(path), before) << name;
    }
}

TEST_F(QntNotationTest, BundleCopyInstallsMissingAndOlderDatabasesOnly)
{
    QTemporaryDir bundle;
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    const qnt::test::FolderSetAside ownNotations(
        QntNotation::rootNotationsFolderPath().toStdString());
    ASSERT_TRUE(QDir().mkpath(bundle.filePath(QStringLiteral("Notations/Misc"))));
    ASSERT_TRUE(QDir().mkpath(bundle.filePath(QStringLiteral("Notations/Imported"))));
    ASSERT_TRUE(QFile::copy(compiledPath(QStringLiteral("Misc/Misc.db")),
                            bundle.filePath(QStringLiteral("Notations/Misc/Misc.db"))));
    ASSERT_TRUE(QFile::copy(compiledPath(QStringLiteral("Misc/Misc.db")),
                            bundle.filePath(QStringLiteral("Notations/Imported/Shipped.db"))));
    const QString root = QntNotation::rootNotationsFolderPath();
    EXPECT_EQ(root, QntPaths::applicationSupportFolder() + QStringLiteral("/Notations"));
    EXPECT_EQ(QntNotation::rootNotationsSrcFolderPath(), root);

    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    const QString installed = root + QStringLiteral("/Misc/Misc.db");
    EXPECT_TRUE(QntNotation(installed).isValid());
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/Imported/Shipped.db")));

    // The user's changes to a current copy survive the next launch.
    {
        QntNotation notation(installed);
        ASSERT_TRUE(notation.updateColorSchemesTable(
            {{QStringLiteral("colorSchemeId"), notation.colorSchemesList().first().schemeId},
             {QStringLiteral("paramName"), QStringLiteral("Mine")}}));
    }
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    EXPECT_EQ(QntNotation(installed).colorSchemesList().first().name, QStringLiteral("Mine"));

    // An older copy (lower schema version) is replaced.
    {
        FMDatabase db(installed);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.setUserVersion(0));
    }
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    EXPECT_EQ(QntNotation(installed).colorSchemesList().first().name, QStringLiteral("Sunset"));

    const auto listed = QntNotation::notations();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed.first().value(QStringLiteral("notationName")).toString(),
              QStringLiteral("Misc.db"));
    const QString relative = listed.first().value(QStringLiteral("notationPath")).toString();
    EXPECT_FALSE(QDir::isAbsolutePath(relative));
    EXPECT_EQ(QntNotation::absolutePathForNotationPath(relative), installed);
    EXPECT_EQ(QntNotation::notationsFromPath(root + QStringLiteral("/Misc")).size(), 1);
    auto cached = QntNotation::notationWithPath(relative);
    ASSERT_TRUE(cached && cached->isValid());
    EXPECT_EQ(cached, QntNotation::notationWithPath(installed));
    EXPECT_EQ(cached->notationName(), QStringLiteral("Misc"));
}

TEST_F(QntNotationTest, InstalledBuiltInLibrariesFillTheToolRegistryWhenRegistered)
{
    QTemporaryDir bundle;
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    const qnt::test::FolderSetAside ownNotations(
        QntNotation::rootNotationsFolderPath().toStdString());
    ASSERT_TRUE(QDir().mkpath(bundle.filePath(QStringLiteral("Notations/Misc"))));
    ASSERT_TRUE(QFile::copy(compiledPath(QStringLiteral("Misc/BuiltinLibraries.db")),
                            bundle.filePath(QStringLiteral("Notations/Misc/BuiltinLibraries.db"))));
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    const qnt::test::ScopedBuiltinLibraries libraries;
    const auto &registry = VRToolRegistry::sharedToolRegistry();
    EXPECT_EQ(registry.officePrototypesObjects().size(),
              QntNotation::builtinLibraryElementsList(QStringLiteral("Office")).size());
    EXPECT_GE(registry.networkPrototypesObjects().size(), 10);
    EXPECT_GE(registry.miscPrototypesObjects().size(), 10);
    EXPECT_GE(registry.applePrototypesObjects().size(), 4);
    EXPECT_TRUE(
        VRToolRegistry::sharedToolRegistry().drawingToolWithName(QStringLiteral("blOfBriefcase"))
        != nullptr);
}

TEST_F(QntNotationTest, UserSchemesWinOverTheDatabase)
{
    QntNotation notation(copyOf(QStringLiteral("FlowChart/FlowChart.db")));
    const qint64 id = notation.colorSchemesList().first().schemeId;
    QntColorScheme::setCustomColorSchemePropsRef(nullptr);
    QntColorScheme::releaseColorSchemeCache();
    EXPECT_EQ(QntColorScheme::colour(notation, id, QStringLiteral("Fill"), 2),
              QColor(QStringLiteral("#2B6CB0")));
    EXPECT_EQ(QntColorScheme::colour(notation, id, QStringLiteral("ColorSchemeItemsStroke"), 0),
              QColor(QStringLiteral("#2B6CB0")));
    EXPECT_FALSE(QntColorScheme::colour(notation, id, QStringLiteral("Fill"), 42).isValid());

    auto live = std::make_shared<QVariantMap>();
    QVariantMap root = notation.colorSchemes();
    QVariantList schemes = root.value(QStringLiteral("Children")).toList();
    QVariantMap scheme = schemes.first().toMap();
    QVariantList groups = scheme.value(QStringLiteral("Children")).toList();
    QVariantMap fillGroup = groups.first().toMap();
    QVariantList colours = fillGroup.value(QStringLiteral("Children")).toList();
    QVariantMap colour = colours.at(2).toMap();
    colour.insert(QStringLiteral("HexColorValue"), QStringLiteral("#00FF00"));
    colour.insert(QStringLiteral("AlphaValue"), 0.5);
    colours[2] = colour;
    fillGroup.insert(QStringLiteral("Children"), colours);
    groups[0] = fillGroup;
    scheme.insert(QStringLiteral("Children"), groups);
    schemes[0] = scheme;
    root.insert(QStringLiteral("Children"), schemes);
    live->insert(notation.notationName(), root);
    QntColorScheme::setCustomColorSchemePropsRef(live);
    double alpha = 0;
    const QColor user = QntColorScheme::colour(notation, id, QStringLiteral("Fill"), 2, &alpha);
    EXPECT_EQ(user.rgb(), QColor(QStringLiteral("#00FF00")).rgb());
    EXPECT_DOUBLE_EQ(alpha, 0.5);
    // The live copy is shared, not copied: later edits are seen at once.
    (*live)[notation.notationName()] = QVariantMap();
    EXPECT_EQ(QntColorScheme::colour(notation, id, QStringLiteral("Fill"), 2),
              QColor(QStringLiteral("#2B6CB0")));
    QntColorScheme::setCustomColorSchemePropsRef(nullptr);
}

} // namespace
