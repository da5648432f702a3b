#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotationArchive.h"
#include "framework/notations/QntNotationCompiler.h"
#include "platform/QntPaths.h"

#include "framework/view/VRToolRegistry.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>

Q_LOGGING_CATEGORY(lcNotation, "vr.notation")

namespace {

const QString kFill = QStringLiteral("ColorSchemeItemsFill");
const QString kStroke = QStringLiteral("ColorSchemeItemsStroke");
const QString kGradientStops = QStringLiteral("ColorSchemeItemsGradientStops");
const QString kText = QStringLiteral("ColorSchemeItemsText");

QString hexOf(const QColor &colour)
{
    return colour.isValid() ? colour.name(QColor::HexRgb).toUpper() : QStringLiteral("#");
}

// "#RGB", "#RRGGBB", "#RRGGBBAA"; "#" and anything else give an invalid colour.
QColor colourFromHex(const QString &text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#')))
        return {};
    if (t.size() == 9) {
        bool ok = false;
        const uint value = t.mid(1).toUInt(&ok, 16);
        if (!ok)
            return {};
        return QColor((value >> 24) & 0xff, (value >> 16) & 0xff, (value >> 8) & 0xff,
                      value & 0xff);
    }
    if (t.size() != 4 && t.size() != 7)
        return {};
    QColor colour = QColor::fromString(t);
    return colour.isValid() ? colour : QColor();
}

QString typeTableName(const QString &colorType)
{
    if (colorType.startsWith(QLatin1String("ColorSchemeItems")))
        return colorType;
    return QStringLiteral("ColorSchemeItems") + colorType;
}

bool isItemTable(const QString &table)
{
    return QntNotation::colorSchemeItemTables().contains(table);
}

// The group names the user copy of the schemes uses, per item table.
QString groupNameForTable(const QString &table)
{
    return table.mid(QStringLiteral("ColorSchemeItems").size());
}

QString yesNo(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QString) {
        const QString s = value.toString().trimmed().toUpper();
        return (s == QLatin1String("YES") || s == QLatin1String("1") || s == QLatin1String("TRUE"))
                   ? QStringLiteral("YES")
                   : QStringLiteral("NO");
    }
    return value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
}

QMutex g_cacheMutex;
QHash<QString, std::weak_ptr<QntNotation>> &notationCache()
{
    static QHash<QString, std::weak_ptr<QntNotation>> cache;
    return cache;
}

const char *const kSchemaSql = R"SQL(
CREATE TABLE ImportedElements(_ID INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, ID TEXT NULL, Data BLOB);
CREATE TABLE StringParams (Key TEXT, Value TEXT);
CREATE TABLE BlobParams (Key TEXT, Value BLOB);
CREATE TABLE Elements (ID TEXT PRIMARY KEY, List TEXT NOT NULL, OrderNumber INTEGER NOT NULL,
  Title TEXT, Tooltip TEXT, Direction INTEGER, ProportionalResize INTEGER NOT NULL DEFAULT 0,
  Data BLOB NOT NULL);
CREATE TABLE Connectors (ID TEXT PRIMARY KEY, Kind INTEGER NOT NULL, OrderNumber INTEGER, Title TEXT,
  Thickness REAL, IsDefault INTEGER NOT NULL DEFAULT 0);
CREATE TABLE Arrowheads (ConnectorID TEXT NOT NULL, ElementID TEXT NOT NULL,
  Present INTEGER NOT NULL DEFAULT 1, Placement TEXT, IsDefaultStart INTEGER NOT NULL DEFAULT 0,
  IsDefaultEnd INTEGER NOT NULL DEFAULT 0, LengthKind INTEGER NOT NULL DEFAULT 1, OrderNumber INTEGER);
CREATE TABLE ColorSchemes (Id INTEGER PRIMARY KEY, Name TEXT NOT NULL, IconColor TEXT,
  IsDefault INTEGER NOT NULL DEFAULT 0, OrderNumber INTEGER);
CREATE TABLE ColorSchemeItemsFill (ColorSchemeId INTEGER NOT NULL, ItemIndex INTEGER NOT NULL,
  ItemId INTEGER, Color TEXT, Alpha REAL NOT NULL DEFAULT 1, Comment TEXT,
  TableCellBackgroundColor TEXT NOT NULL DEFAULT 'NO', TableGridColor TEXT NOT NULL DEFAULT 'NO',
  IsDefault TEXT NOT NULL DEFAULT 'NO', PRIMARY KEY (ColorSchemeId, ItemIndex));
CREATE TABLE ColorSchemeItemsStroke (ColorSchemeId INTEGER NOT NULL, ItemIndex INTEGER NOT NULL,
  ItemId INTEGER, Color TEXT, Alpha REAL NOT NULL DEFAULT 1, Comment TEXT,
  TableCellBackgroundColor TEXT NOT NULL DEFAULT 'NO', TableGridColor TEXT NOT NULL DEFAULT 'NO',
  IsDefault TEXT NOT NULL DEFAULT 'NO', PRIMARY KEY (ColorSchemeId, ItemIndex));
CREATE TABLE ColorSchemeItemsGradientStops (ColorSchemeId INTEGER NOT NULL,
  ItemIndex INTEGER NOT NULL, ItemId INTEGER, Color TEXT, Alpha REAL NOT NULL DEFAULT 1,
  Comment TEXT, TableCellBackgroundColor TEXT NOT NULL DEFAULT 'NO',
  TableGridColor TEXT NOT NULL DEFAULT 'NO', IsDefault TEXT NOT NULL DEFAULT 'NO',
  PRIMARY KEY (ColorSchemeId, ItemIndex));
CREATE TABLE ColorSchemeItemsText (ColorSchemeId INTEGER NOT NULL, ItemIndex INTEGER NOT NULL,
  ItemId INTEGER, Color TEXT, Alpha REAL NOT NULL DEFAULT 1, Comment TEXT,
  TableCellBackgroundColor TEXT NOT NULL DEFAULT 'NO', TableGridColor TEXT NOT NULL DEFAULT 'NO',
  IsDefault TEXT NOT NULL DEFAULT 'NO', PRIMARY KEY (ColorSchemeId, ItemIndex));
CREATE TABLE PaletteColors (Kind TEXT NOT NULL, OrderNumber INTEGER, Color TEXT NOT NULL);
)SQL";

// Directions 0 up, 1 down and 4 up-down are vertical; 2, 3 and 5 horizontal.
bool isVerticalDirection(int direction)
{
    return direction == 0 || direction == 1 || direction == 4;
}

QString sanitisedFileName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            out.append(c);
        else if (c == QLatin1Char(' ') || c == QLatin1Char('_') || c == QLatin1Char('-')
                 || c == QLatin1Char('.'))
            out.append(c);
    }
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    out = out.left(100).trimmed();
    return out;
}

int userVersionOfFile(const QString &path)
{
    FMDatabase db(path);
    if (!db.openReadOnly())
        return -1;
    return db.userVersion();
}

} // namespace

// ---------------------------------------------------------------- folders

const QStringList &QntNotation::colorSchemeItemTables()
{
    static const QStringList tables{kFill, kStroke, kGradientStops, kText};
    return tables;
}

QString QntNotation::rootNotationsFolderPath()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Notations");
}

QString QntNotation::rootNotationsSrcFolderPath()
{
    // One folder for the palette, the image bank and the templates, so they always agree.
    return rootNotationsFolderPath();
}

QString QntNotation::bundleNotationsFolderPath()
{
    return QntPaths::bundleResourcesPath() + QStringLiteral("/Notations");
}

VRResult<void> QntNotation::copyNotationsFromBundleToAppSupportFolder()
{
    const QString source = bundleNotationsFolderPath();
    const QString target = rootNotationsFolderPath();
    QStringList failures;
    if (!QDir().mkpath(target))
        failures << QStringLiteral("cannot create %1").arg(target);
    QDirIterator it(source, {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = QDir(source).relativeFilePath(from);
        // The user's own folders are never shipped, but never overwrite them either.
        if (relative.startsWith(QLatin1String("Imported/"))
            || relative.startsWith(QLatin1String("ImageBank/")))
            continue;
        const QString to = target + QLatin1Char('/') + relative;
        if (QFileInfo::exists(to)) {
            const int have = userVersionOfFile(to);
            const int shipped = userVersionOfFile(from);
            if (have >= 0 && have >= shipped && QFileInfo(to).size() > 0)
                continue;
        }
        QDir().mkpath(QFileInfo(to).absolutePath());
        // Copy beside the target, then rename over it: a reader never sees half a database.
        const QString temporary = to + QStringLiteral(".part");
        QFile::remove(temporary);
        if (!QFile::copy(from, temporary)) {
            failures << QStringLiteral("cannot copy %1").arg(relative);
            continue;
        }
        QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                             | QFile::ReadOther);
        QFile::remove(to);
        if (!QFile::rename(temporary, to)) {
            QFile::remove(temporary);
            failures << QStringLiteral("cannot install %1").arg(relative);
        }
    }
    {
        QMutexLocker lock(&g_cacheMutex);
        notationCache().clear();
    }
    registerBuiltinLibraries();
    if (!failures.isEmpty()) {
        const QString message = QStringLiteral("Some notations could not be installed: %1.")
                                    .arg(failures.join(QStringLiteral("; ")));
        qCWarning(lcNotation).noquote() << message;
        return VRError{message};
    }
    return {};
}

QString QntNotation::absolutePathForNotationPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    QString relative = path;
    if (relative.startsWith(QLatin1String("~/")))
        relative = relative.mid(2);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + relative);
}

QString QntNotation::homeRelativePath(const QString &absolutePath)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString clean = QDir::cleanPath(absolutePath);
    if (clean.startsWith(home + QLatin1Char('/')))
        return clean.mid(home.size() + 1);
    return clean;
}

QList<QVariantMap> QntNotation::notations()
{
    QStringList paths;
    QDirIterator it(rootNotationsFolderPath(), {QStringLiteral("*.db")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    std::sort(paths.begin(), paths.end());
    QList<QVariantMap> result;
    for (const QString &path : std::as_const(paths)) {
        result.append(QVariantMap{
            {QStringLiteral("notationPath"), homeRelativePath(path)},
            {QStringLiteral("notationName"), QFileInfo(path).fileName()},
        });
    }
    return result;
}

QList<QntNotationRef> QntNotation::notationsFromPath(const QString &folder)
{
    QDir dir(absolutePathForNotationPath(folder));
    const QStringList names = dir.entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
    QList<QntNotationRef> result;
    for (const QString &name : names) {
        auto notation = notationWithPath(dir.filePath(name));
        if (notation && notation->isValid())
            result.append(notation);
    }
    return result;
}

QntNotationRef QntNotation::notationWithPath(const QString &path)
{
    const QString absolute = absolutePathForNotationPath(path);
    if (absolute.isEmpty())
        return {};
    const QFileInfo info(absolute);
    const QString key = info.exists() ? info.canonicalFilePath() : absolute;
    QMutexLocker lock(&g_cacheMutex);
    if (auto cached = notationCache().value(key).lock()) {
        // A file replaced behind our back (a new import) is opened again.
        if (cached->isValid() && QFileInfo::exists(key))
            return cached;
    }
    auto notation = std::make_shared<QntNotation>(absolute);
    notationCache().insert(key, notation);
    return notation;
}

// ---------------------------------------------------------------- schema

bool QntNotation::createSchema(FMDatabase &db, QString *errorMessage)
{
    if (!db.executeStatements(QString::fromUtf8(kSchemaSql))
        || !db.setUserVersion(kSchemaVersion)) {
        if (errorMessage)
            *errorMessage = db.lastErrorMessage();
        return false;
    }
    return true;
}

QString QntNotation::checkDatabase(FMDatabase &db)
{
    if (!db.isOpen())
        return db.lastErrorMessage().isEmpty() ? QStringLiteral("the file cannot be opened")
                                               : db.lastErrorMessage();
    if (!db.goodConnection())
        return QStringLiteral("the file is damaged or is not a database (%1)")
            .arg(db.lastErrorMessage());
    const int version = db.userVersion();
    if (version > kSchemaVersion)
        return QStringLiteral("it was made by a newer version of Quintora");
    for (const char *table : {"ImportedElements", "StringParams", "BlobParams"}) {
        if (!db.tableExists(QString::fromLatin1(table)))
            return QStringLiteral("it is not a notation database (no table %1)")
                .arg(QString::fromLatin1(table));
    }
    return {};
}

// ---------------------------------------------------------------- instance

QntNotation::QntNotation(const QString &homeRelativeOrAbsolutePath)
    : m_path(absolutePathForNotationPath(homeRelativeOrAbsolutePath))
{
    const QString shown = QFileInfo(m_path).fileName();
    if (m_path.isEmpty() || !QFileInfo(m_path).isFile()) {
        m_error = QStringLiteral("The notation “%1” does not exist.").arg(shown);
        return;
    }
    m_db = std::make_unique<FMDatabase>(m_path);
    // Read-only: opening a notation never creates or changes a file.
    m_db->openReadOnly();
    const QString problem = checkDatabase(*m_db);
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("The notation “%1” cannot be read: %2.").arg(shown, problem);
        qCWarning(lcNotation).noquote() << m_error;
        m_db.reset();
        return;
    }
    m_valid = true;
}

QntNotation::~QntNotation() = default;

FMDatabase *QntNotation::reader() const
{
    return m_valid ? m_db.get() : nullptr;
}

void QntNotation::invalidateCaches()
{
    QMutexLocker lock(&m_paramsMutex);
    m_stringParams.reset();
}

bool QntNotation::write(const std::function<bool(FMDatabase &)> &fn)
{
    if (!m_valid) {
        m_lastError = m_error;
        return false;
    }
    FMDatabase db(m_path);
    if (!db.open()) {
        m_lastError = db.lastErrorMessage();
        return false;
    }
    if (!db.beginTransaction()) {
        m_lastError = db.lastErrorMessage();
        return false;
    }
    if (!fn(db)) {
        if (m_lastError.isEmpty())
            m_lastError = db.lastErrorMessage();
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        m_lastError = db.lastErrorMessage();
        db.rollback();
        return false;
    }
    invalidateCaches();
    return true;
}

QString QntNotation::notationName() const
{
    if (!m_name.isNull())
        return m_name;
    const QString stored = stringParamForKey(QStringLiteral("NotationName"));
    if (!stored.isEmpty())
        return stored;
    return QFileInfo(m_path).completeBaseName();
}

void QntNotation::setNotationName(const QString &name)
{
    m_name = name;
}

QString QntNotation::notationPath() const
{
    return homeRelativePath(m_path);
}

QString QntNotation::stringParamForKey(const QString &key) const
{
    QMutexLocker lock(&m_paramsMutex);
    if (!m_stringParams) {
        QVariantMap params;
        if (FMDatabase *db = reader()) {
            if (auto rs = db->executeQuery(QStringLiteral("SELECT Key, Value FROM StringParams"))) {
                while (rs->next()) {
                    const QString k = rs->stringForColumnIndex(0);
                    if (!params.contains(k))
                        params.insert(k, rs->columnIndexIsNull(1) ? QString(QLatin1String(""))
                                                                  : rs->stringForColumnIndex(1));
                }
            }
        }
        m_stringParams = params;
    }
    const auto it = m_stringParams->constFind(key);
    return it == m_stringParams->cend() ? QString() : it->toString();
}

QByteArray QntNotation::blobParamForKey(const QString &key) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(QStringLiteral("SELECT Value FROM BlobParams WHERE Key = ? LIMIT 1"),
                               {key});
    if (rs && rs->next())
        return rs->dataForColumnIndex(0);
    return {};
}

bool QntNotation::isCustomizable() const
{
    const QString customizable = stringParamForKey(QStringLiteral("Customizable"));
    if (!customizable.isNull())
        return customizable.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
    return stringParamForKey(QStringLiteral("UseVRStyledConnector"))
               .compare(QLatin1String("NO"), Qt::CaseInsensitive)
           != 0;
}

bool QntNotation::isEditable() const
{
    return stringParamForKey(QStringLiteral("Editable"))
               .compare(QLatin1String("YES"), Qt::CaseInsensitive)
           == 0;
}

QImage QntNotation::icon() const
{
    QImage image;
    image.loadFromData(blobParamForKey(QStringLiteral("notationIcon")));
    return image;
}

// ---------------------------------------------------------------- elements

QList<QntElementRecord> QntNotation::readElements(const QString &sql,
                                                  const QVariantList &args) const
{
    QList<QntElementRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(sql, args);
    if (!rs) {
        m_lastError = db->lastErrorMessage();
        return result;
    }
    while (rs->next()) {
        QntElementRecord record;
        record.elementId = rs->stringForColumn(QStringLiteral("ID"));
        record.list = rs->stringForColumn(QStringLiteral("List"));
        record.title = rs->stringForColumn(QStringLiteral("Title"));
        record.tooltip = rs->stringForColumn(QStringLiteral("Tooltip"));
        record.direction = rs->columnIsNull(QStringLiteral("Direction"))
                               ? -1
                               : int(rs->intForColumn(QStringLiteral("Direction")));
        record.prototype =
            QntNotationArchive::decodeElement(rs->dataForColumn(QStringLiteral("Data")), m_path);
        if (!record.prototype) {
            qCWarning(lcNotation) << "skipping an unreadable element" << record.elementId << "of"
                                  << m_path;
            continue;
        }
        QntNotationArchive::completeRecord(record);
        result.append(record);
    }
    return result;
}

QList<QntElementRecord> QntNotation::elementsList(const QString &listName) const
{
    return readElements(QStringLiteral("SELECT ID, List, Title, Tooltip, Direction, Data FROM "
                                       "Elements WHERE List = ? ORDER BY OrderNumber, ID"),
                        {listName});
}

QList<QntElementRecord> QntNotation::shapeElementsList() const
{
    return elementsList(QStringLiteral("Shapes"));
}

QList<QntElementRecord> QntNotation::textElementsList() const
{
    return elementsList(QStringLiteral("Text"));
}

QList<QntElementRecord> QntNotation::flowChartElementsList() const
{
    return elementsList(QStringLiteral("FlowChart"));
}

QList<QntElementRecord> QntNotation::separatorElementsList() const
{
    return elementsList(QStringLiteral("Separators"));
}

QList<QntElementRecord> QntNotation::shortArrowElementsList() const
{
    return elementsList(QStringLiteral("ShortArrows"));
}

QList<QntElementRecord> QntNotation::arrowElementsList() const
{
    return elementsList(QStringLiteral("Arrows"));
}

QList<QntElementRecord> QntNotation::arrowsForDirection(const QString &list, bool vertical,
                                                        int direction) const
{
    QList<QntElementRecord> same;
    QList<QntElementRecord> others;
    for (const QntElementRecord &record : elementsList(list)) {
        if (record.direction < 0 || isVerticalDirection(record.direction) != vertical)
            continue;
        (record.direction == direction ? same : others).append(record);
    }
    return same + others;
}

QList<QntElementRecord> QntNotation::shortVerticalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("ShortArrows"), true, direction);
}

QList<QntElementRecord>
QntNotation::shortHorizontalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("ShortArrows"), false, direction);
}

QList<QntElementRecord> QntNotation::verticalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("Arrows"), true, direction);
}

QList<QntElementRecord> QntNotation::horizontalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("Arrows"), false, direction);
}

QList<QntElementRecord> QntNotation::importedElementsList() const
{
    QList<QntElementRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT _ID, ID, Data FROM ImportedElements ORDER BY _ID"));
    if (!rs) {
        m_lastError = db->lastErrorMessage();
        return result;
    }
    while (rs->next()) {
        QntElementRecord record;
        record.elementId = rs->stringForColumnIndex(1);
        record.list = QStringLiteral("Imported");
        record.prototype = QntNotationArchive::decodeElement(rs->dataForColumnIndex(2), m_path);
        if (!record.prototype) {
            qCWarning(lcNotation) << "skipping an unreadable imported element" << record.elementId
                                  << "of" << m_path;
            continue;
        }
        QntNotationArchive::completeRecord(record);
        result.append(record);
    }
    return result;
}

QList<QntElementRecord> QntNotation::importedElementsListWithSheet(QWidget *sheet,
                                                                   QWidget *parentWindow,
                                                                   QObject *delegate) const
{
    // Reading is quick enough to run in place; the sheet is the caller's to show and hide.
    Q_UNUSED(sheet)
    Q_UNUSED(parentWindow)
    Q_UNUSED(delegate)
    return importedElementsList();
}

QList<QntElementRecord> QntNotation::allElementsAsPrototypesList() const
{
    return readElements(QStringLiteral("SELECT ID, List, Title, Tooltip, Direction, Data FROM "
                                       "Elements ORDER BY List, OrderNumber, ID"),
                        {})
           + importedElementsList();
}

QByteArray QntNotation::elementDataForId(const QString &elementId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    if (auto rs =
            db->executeQuery(QStringLiteral("SELECT Data FROM Elements WHERE ID = ?"), {elementId});
        rs && rs->next())
        return rs->dataForColumnIndex(0);
    if (auto rs = db->executeQuery(
            QStringLiteral("SELECT Data FROM ImportedElements WHERE ID = ? ORDER BY _ID LIMIT 1"),
            {elementId});
        rs && rs->next())
        return rs->dataForColumnIndex(0);
    return {};
}

VRObjectRef QntNotation::prototypeForElementId(const QString &elementId) const
{
    const QByteArray data = elementDataForId(elementId);
    if (data.isEmpty())
        return {};
    return QntNotationArchive::decodeElement(data, m_path);
}

bool QntNotation::existElementWithId(const QString &elementId) const
{
    return !elementDataForId(elementId).isEmpty();
}

bool QntNotation::removeImportedElement(const VRObjectRef &prototype)
{
    const QString id = QntNotationArchive::elementId(prototype);
    if (id.isEmpty())
        return false;
    bool removed = false;
    const bool ok = write([&](FMDatabase &db) {
        if (!db.executeUpdate(QStringLiteral("DELETE FROM ImportedElements WHERE ID = ?"), {id}))
            return false;
        removed = db.changes() > 0;
        return true;
    });
    return ok && removed;
}

bool QntNotation::updateImportedElement(const VRObjectRef &prototype)
{
    const QString id = QntNotationArchive::elementId(prototype);
    const QByteArray data = QntNotationArchive::encodeElement(prototype);
    if (id.isEmpty() || data.isEmpty())
        return false;
    bool updated = false;
    const bool ok = write([&](FMDatabase &db) {
        if (!db.executeUpdate(QStringLiteral("UPDATE ImportedElements SET Data = ? WHERE ID = ?"),
                              {data, id}))
            return false;
        updated = db.changes() > 0;
        return true;
    });
    return ok && updated;
}

bool QntNotation::proportionalReziseForElementId(const QString &elementId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT ProportionalResize FROM Elements WHERE ID = ?"), {elementId});
    return rs && rs->next() && rs->intForColumnIndex(0) != 0;
}

bool QntNotation::insertIntoDB(const QString &databasePath, const VRObjectRef &element)
{
    const QString id = QntNotationArchive::elementId(element);
    const QByteArray data = QntNotationArchive::encodeElement(element);
    if (data.isEmpty())
        return false;
    const QString path = absolutePathForNotationPath(databasePath);
    const bool imageBank = QFileInfo(path).fileName() == QLatin1String("imagebank.db");
    if (imageBank)
        QntNotationArchive::postImageBankNotification(true, element);
    FMDatabase db(path);
    if (!QFileInfo(path).isFile() || !db.open()) {
        qCWarning(lcNotation) << "cannot open" << path << db.lastErrorMessage();
        return false;
    }
    if (!checkDatabase(db).isEmpty())
        return false;
    const bool ok =
        db.executeUpdate(QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                         {id.isEmpty() ? QVariant() : QVariant(id), data});
    if (!ok)
        qCWarning(lcNotation) << "cannot insert into" << path << db.lastErrorMessage();
    if (ok && imageBank)
        QntNotationArchive::postImageBankNotification(false, element);
    return ok;
}

VRResult<QString> QntNotation::importIntoDB(const QString &fileName, const VRObjectList &objects,
                                            const QByteArray &icon,
                                            const QString &baseNotationFilename)
{
    auto fail = [&](const QString &message) -> VRResult<QString> {
        qCWarning(lcNotation).noquote() << message;
        return VRError{message};
    };
    QString name = sanitisedFileName(QFileInfo(fileName).fileName());
    if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        name.chop(3);
    name = name.trimmed();
    if (name.isEmpty())
        return fail(QStringLiteral("The imported notation needs a name."));
    const QString folder = rootNotationsFolderPath() + QStringLiteral("/Imported");
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("The folder %1 cannot be created.").arg(folder));
    const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".db");

    QString base = baseNotationFilename.isEmpty()
                       ? rootNotationsFolderPath() + QStringLiteral("/Misc/CustomizableStyle.db")
                       : absolutePathForNotationPath(baseNotationFilename);
    if (!QDir::isAbsolutePath(baseNotationFilename) && !baseNotationFilename.isEmpty()
        && !QFileInfo::exists(base))
        base = rootNotationsFolderPath() + QLatin1Char('/') + baseNotationFilename;

    // Build the new file beside the target and rename it over: an earlier import of that name
    // survives any failure.
    const QString temporary = folder + QStringLiteral("/.") + name + QStringLiteral(".")
                              + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".db");
    bool fresh = true;
    if (QFileInfo::exists(base)) {
        FMDatabase check(base);
        check.openReadOnly();
        if (checkDatabase(check).isEmpty() && QFile::copy(base, temporary)) {
            QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner);
            fresh = false;
        }
    }
    {
        FMDatabase db(temporary);
        if (!db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate)) {
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1")
                            .arg(db.lastErrorMessage()));
        }
        QString error;
        bool ok = true;
        if (fresh)
            ok = createSchema(db, &error);
        ok = ok && db.beginTransaction();
        ok = ok && db.executeUpdate(QStringLiteral("DELETE FROM ImportedElements"));
        ok = ok
             && db.executeUpdate(QStringLiteral("DELETE FROM StringParams WHERE Key IN "
                                                "('NotationName', 'Editable')"));
        ok = ok
             && db.executeUpdate(QStringLiteral("DELETE FROM BlobParams WHERE Key = ?"),
                                 {QStringLiteral("notationIcon")});
        ok = ok
             && db.executeUpdate(
                 QStringLiteral("INSERT INTO StringParams (Key, Value) VALUES (?, ?)"),
                 {QStringLiteral("NotationName"), name});
        if (ok && !icon.isEmpty())
            ok = db.executeUpdate(
                QStringLiteral("INSERT INTO BlobParams (Key, Value) VALUES (?, ?)"),
                {QStringLiteral("notationIcon"), icon});
        for (const VRObjectRef &object : objects) {
            if (!ok)
                break;
            const QByteArray data = QntNotationArchive::encodeElement(object);
            if (data.isEmpty())
                continue;
            const QString id = QntNotationArchive::elementId(object);
            ok = db.executeUpdate(
                QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                {id.isEmpty() ? QVariant() : QVariant(id), data});
        }
        if (!ok) {
            error = error.isEmpty() ? db.lastErrorMessage() : error;
            db.rollback();
            db.close();
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1").arg(error));
        }
        if (!db.commit()) {
            error = db.lastErrorMessage();
            db.close();
            QFile::remove(temporary);
            return fail(QStringLiteral("The imported notation cannot be written: %1").arg(error));
        }
        db.setUserVersion(kSchemaVersion);
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData())
        != 0) {
        QFile::remove(temporary);
        return fail(QStringLiteral("The imported notation cannot be saved as %1.").arg(target));
    }
    {
        QMutexLocker lock(&g_cacheMutex);
        notationCache().remove(QFileInfo(target).canonicalFilePath());
    }
    return target;
}

void QntNotation::loadAllToDB(bool rewriteAll)
{
#ifdef QT_NO_DEBUG
    Q_UNUSED(rewriteAll)
#else
    const QString sources = qEnvironmentVariable("QNT_NOTATION_SOURCE_DIR");
    if (sources.isEmpty()) {
        qCInfo(lcNotation) << "set QNT_NOTATION_SOURCE_DIR to rebuild the notation databases";
        return;
    }
    QTemporaryDir staging;
    QString error;
    const auto written = QntNotationCompiler::compileAll(sources, staging.path(), &error);
    if (!written) {
        qCWarning(lcNotation).noquote() << "notation sources:" << error;
        return;
    }
    for (const QString &path : *written) {
        const QString relative = QDir(staging.path()).relativeFilePath(path);
        const QString target = rootNotationsFolderPath() + QLatin1Char('/') + relative;
        if (QFileInfo::exists(target) && !rewriteAll)
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(path, target))
            qCWarning(lcNotation) << "cannot install" << target;
    }
    QMutexLocker lock(&g_cacheMutex);
    notationCache().clear();
#endif
}

void QntNotation::registerBuiltinLibraries()
{
    for (const char *list : {"Office", "Network", "Misc", "Apple"}) {
        VRObjectList prototypes;
        for (const QntElementRecord &record : builtinLibraryElementsList(QLatin1String(list)))
            prototypes.append(record.prototype);
        VRToolRegistry::sharedToolRegistry().setPrototypesForGroup(QLatin1String(list), prototypes);
    }
}

QList<QntElementRecord> QntNotation::builtinLibraryElementsList(const QString &listName)
{
    const QntNotationRef notation =
        notationWithPath(rootNotationsFolderPath() + QStringLiteral("/Misc/BuiltinLibraries.db"));
    return notation && notation->isValid() ? notation->elementsList(listName)
                                           : QList<QntElementRecord>();
}

QByteArray QntNotation::dkObject(const VRObjectRef &object, const QString &asXMLDataForKey)
{
    return QntNotationArchive::encodeObjectForKey(object, asXMLDataForKey);
}

VRObjectRef QntNotation::dkObjectWithData(const QByteArray &data)
{
    return QntNotationArchive::decodeObjectForKey(data);
}

// ---------------------------------------------------------------- colour schemes: readers

QList<QntColorSchemeData> QntNotation::colorSchemesList() const
{
    QList<QntColorSchemeData> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Id, Name, IconColor FROM ColorSchemes ORDER BY OrderNumber, Id"));
    while (rs && rs->next())
        result.append({rs->intForColumnIndex(0), rs->stringForColumnIndex(1),
                       colourFromHex(rs->stringForColumnIndex(2))});
    return result;
}

qint64 QntNotation::defaultColorSchemeId() const
{
    FMDatabase *db = reader();
    if (!db)
        return 0;
    auto rs = db->executeQuery(QStringLiteral(
        "SELECT Id FROM ColorSchemes ORDER BY IsDefault DESC, OrderNumber, Id LIMIT 1"));
    return rs && rs->next() ? rs->intForColumnIndex(0) : 0;
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItems(const QString &tableName,
                                                               qint64 schemeId) const
{
    QList<QntColorSchemeItemRecord> result;
    FMDatabase *db = reader();
    if (!db || !isItemTable(tableName))
        return result;
    // The table name is one of four fixed names checked above, never text from data.
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ItemIndex, ColorSchemeId, Color, Comment FROM %1 "
                                        "WHERE ColorSchemeId = ? ORDER BY ItemIndex")
                             .arg(tableName),
                         {schemeId});
    while (rs && rs->next())
        result.append({rs->intForColumnIndex(0), rs->intForColumnIndex(1),
                       colourFromHex(rs->stringForColumnIndex(2)), rs->stringForColumnIndex(3)});
    return result;
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsFill(qint64 schemeId) const
{
    return colorSchemesItems(kFill, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsStroke(qint64 schemeId) const
{
    return colorSchemesItems(kStroke, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsGradientStops(qint64 schemeId) const
{
    return colorSchemesItems(kGradientStops, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsText(qint64 schemeId) const
{
    return colorSchemesItems(kText, schemeId);
}

QColor QntNotation::colorSchemeItemColour(qint64 schemeId, const QString &itemsType, int index,
                                          double *alpha) const
{
    const QString table = typeTableName(itemsType);
    FMDatabase *db = reader();
    if (!db || !isItemTable(table))
        return {};
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color, Alpha FROM %1 WHERE ColorSchemeId = ? AND ItemIndex = ?")
            .arg(table),
        {schemeId, index});
    if (!rs || !rs->next())
        return {};
    QColor colour = colourFromHex(rs->stringForColumnIndex(0));
    const double a = std::clamp(rs->doubleForColumnIndex(1), 0.0, 1.0);
    if (alpha)
        *alpha = a;
    if (colour.isValid())
        colour.setAlphaF(float(a));
    return colour;
}

QVariantList QntNotation::colorSchemesDic() const
{
    QVariantList schemes;
    FMDatabase *db = reader();
    if (!db)
        return schemes;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Id, Name, IconColor, IsDefault, OrderNumber FROM ColorSchemes "
                       "ORDER BY OrderNumber, Id"));
    while (rs && rs->next()) {
        schemes.append(QVariantMap{
            {QStringLiteral("Id"), rs->intForColumnIndex(0)},
            {QStringLiteral("Name"), rs->stringForColumnIndex(1)},
            {QStringLiteral("IconColor"), rs->stringForColumnIndex(2)},
            {QStringLiteral("Default"), rs->intForColumnIndex(3) != 0},
            {QStringLiteral("OrderNumber"), rs->intForColumnIndex(4)},
        });
    }
    return schemes;
}

QVariantMap QntNotation::colorSchemes() const
{
    QVariantList schemes;
    FMDatabase *db = reader();
    for (const QVariant &value : colorSchemesDic()) {
        QVariantMap scheme = value.toMap();
        scheme.remove(QStringLiteral("OrderNumber"));
        const qint64 id = scheme.value(QStringLiteral("Id")).toLongLong();
        QVariantList groups;
        for (const QString &table : colorSchemeItemTables()) {
            QVariantList colours;
            auto rs = db->executeQuery(
                QStringLiteral("SELECT ItemIndex, Color, Alpha, Comment, TableCellBackgroundColor, "
                               "TableGridColor, IsDefault FROM %1 WHERE ColorSchemeId = ? "
                               "ORDER BY ItemIndex")
                    .arg(table),
                {id});
            while (rs && rs->next()) {
                const QString hex = rs->stringForColumnIndex(1);
                colours.append(QVariantMap{
                    {QStringLiteral("Id"), rs->intForColumnIndex(0)},
                    {QStringLiteral("HexColorValue"), hex},
                    {QStringLiteral("Name"), hex},
                    {QStringLiteral("AlphaValue"), rs->doubleForColumnIndex(2)},
                    {QStringLiteral("Comment"), rs->stringForColumnIndex(3)},
                    {QStringLiteral("TableCellBackgroundColor"), rs->stringForColumnIndex(4)},
                    {QStringLiteral("TableGridColor"), rs->stringForColumnIndex(5)},
                    {QStringLiteral("Default"),
                     rs->stringForColumnIndex(6) == QLatin1String("YES")},
                });
            }
            groups.append(QVariantMap{{QStringLiteral("Name"), groupNameForTable(table)},
                                      {QStringLiteral("Children"), colours}});
        }
        scheme.insert(QStringLiteral("Children"), groups);
        schemes.append(scheme);
    }
    return QVariantMap{{QStringLiteral("Children"), schemes}};
}

void QntNotation::populateCache(QVariantMap &cache, const QString &colorType) const
{
    const QString table = typeTableName(colorType);
    FMDatabase *db = reader();
    if (!db || !isItemTable(table))
        return;
    const QString name = notationName();
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ColorSchemeId, ItemIndex, Color, Alpha FROM %1 "
                                        "ORDER BY ColorSchemeId, ItemIndex")
                             .arg(table));
    while (rs && rs->next()) {
        QColor colour = colourFromHex(rs->stringForColumnIndex(2));
        if (!colour.isValid())
            colour = QColor(Qt::white);
        colour.setAlphaF(float(std::clamp(rs->doubleForColumnIndex(3), 0.0, 1.0)));
        cache.insert(QStringLiteral("%1.%2.%3.%4")
                         .arg(name)
                         .arg(rs->intForColumnIndex(0))
                         .arg(table)
                         .arg(rs->intForColumnIndex(1)),
                     colour);
    }
}

bool QntNotation::isFillTableCellBackgroundColor(const QString &hex, qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT 1 FROM ColorSchemeItemsFill WHERE ColorSchemeId = ? AND "
                       "upper(Color) = upper(?) AND TableCellBackgroundColor = 'YES'"),
        {schemeId, hex});
    return rs && rs->next();
}

bool QntNotation::isStrokeTableGridColor(const QString &hex, qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT 1 FROM ColorSchemeItemsStroke WHERE ColorSchemeId = ? AND "
                       "upper(Color) = upper(?) AND TableGridColor = 'YES'"),
        {schemeId, hex});
    return rs && rs->next();
}

QColor QntNotation::defaultColorText(qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color FROM ColorSchemeItemsText WHERE ColorSchemeId = ? "
                       "ORDER BY (IsDefault = 'YES') DESC, ItemIndex LIMIT 1"),
        {schemeId});
    if (rs && rs->next())
        return colourFromHex(rs->stringForColumnIndex(0));
    return QColor(Qt::black);
}

QColor QntNotation::iconColor(qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(QStringLiteral("SELECT IconColor FROM ColorSchemes WHERE Id = ?"),
                               {schemeId});
    return rs && rs->next() ? colourFromHex(rs->stringForColumnIndex(0)) : QColor();
}

QList<QColor> QntNotation::colorSchemesTextColors(qint64 schemeId) const
{
    QList<QColor> result;
    for (const QntColorSchemeItemRecord &item : colorSchemesItemsText(schemeId)) {
        if (item.colour.isValid())
            result.append(item.colour);
    }
    return result;
}

QList<QColor> QntNotation::paletteColors(const QString &kind) const
{
    QList<QColor> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color FROM PaletteColors WHERE Kind = ? ORDER BY OrderNumber"),
        {kind});
    while (rs && rs->next()) {
        const QColor colour = colourFromHex(rs->stringForColumnIndex(0));
        if (colour.isValid())
            result.append(colour);
    }
    return result;
}

QList<QColor> QntNotation::colorSchemesColors() const
{
    QList<QColor> result = paletteColors(QStringLiteral("text"));
    if (!result.isEmpty())
        return result;
    QSet<QRgb> seen;
    for (const QntColorSchemeData &scheme : colorSchemesList()) {
        for (const QColor &colour : colorSchemesTextColors(scheme.schemeId)) {
            if (!seen.contains(colour.rgb())) {
                seen.insert(colour.rgb());
                result.append(colour);
            }
        }
    }
    return result;
}

QList<QColor> QntNotation::tableGridColors() const
{
    return paletteColors(QStringLiteral("tableGrid"));
}

QList<QColor> QntNotation::tableColors() const
{
    return paletteColors(QStringLiteral("table"));
}

QList<QColor> QntNotation::connectorColors() const
{
    return paletteColors(QStringLiteral("connector"));
}

// ---------------------------------------------------------------- colour schemes: writers

bool QntNotation::updateColorSchemesItemsTable(const QVariantMap &params)
{
    const QString table = params.value(QStringLiteral("tableName")).toString();
    if (!isItemTable(table)) {
        m_lastError = QStringLiteral("Unknown colour table “%1”.").arg(table);
        return false;
    }
    bool ok = false;
    const qint64 schemeId = params.value(QStringLiteral("colorSchemeId")).toLongLong(&ok);
    if (!ok) {
        m_lastError = QStringLiteral("No colour scheme was given.");
        return false;
    }
    // Either the item's index, or (the item editor) the colour it has now.
    QString where = QStringLiteral("ColorSchemeId = ?");
    QVariantList whereArgs{schemeId};
    if (params.contains(QStringLiteral("index"))) {
        const qint64 index = params.value(QStringLiteral("index")).toLongLong(&ok);
        if (!ok) {
            m_lastError = QStringLiteral("The colour index is not a number.");
            return false;
        }
        where += QStringLiteral(" AND ItemIndex = ?");
        whereArgs << index;
    } else if (params.contains(QStringLiteral("Color"))) {
        where +=
            QStringLiteral(" AND ItemIndex = (SELECT ItemIndex FROM %1 WHERE ColorSchemeId = ? "
                           "AND upper(Color) = upper(?) ORDER BY ItemIndex LIMIT 1)")
                .arg(table);
        whereArgs << schemeId << params.value(QStringLiteral("Color")).toString();
    } else {
        m_lastError = QStringLiteral("No colour item was given.");
        return false;
    }

    QStringList sets;
    QVariantList setArgs;
    if (params.contains(QStringLiteral("paramColor"))) {
        const QString hex = params.value(QStringLiteral("paramColor")).toString().trimmed();
        if (hex != QLatin1String("#") && !colourFromHex(hex).isValid()) {
            m_lastError = QStringLiteral("“%1” is not a colour.").arg(hex);
            return false;
        }
        sets << QStringLiteral("Color = ?");
        setArgs << (hex == QLatin1String("#") ? hex : hexOf(colourFromHex(hex)));
    }
    if (params.contains(QStringLiteral("paramAlpha"))) {
        sets << QStringLiteral("Alpha = ?");
        setArgs << std::clamp(params.value(QStringLiteral("paramAlpha")).toDouble(), 0.0, 1.0);
    }
    if (params.contains(QStringLiteral("paramComment"))) {
        sets << QStringLiteral("Comment = ?");
        setArgs << params.value(QStringLiteral("paramComment")).toString();
    }
    if (params.contains(QStringLiteral("paramTableCellBackgroundColor"))) {
        sets << QStringLiteral("TableCellBackgroundColor = ?");
        setArgs << yesNo(params.value(QStringLiteral("paramTableCellBackgroundColor")));
    }
    if (params.contains(QStringLiteral("paramTableGridColor"))) {
        sets << QStringLiteral("TableGridColor = ?");
        setArgs << yesNo(params.value(QStringLiteral("paramTableGridColor")));
    }
    const bool setsDefault = params.contains(QStringLiteral("paramDefault"));
    const QString defaultValue = yesNo(params.value(QStringLiteral("paramDefault")));
    if (setsDefault) {
        sets << QStringLiteral("IsDefault = ?");
        setArgs << defaultValue;
    }
    if (sets.isEmpty()) {
        m_lastError = QStringLiteral("Nothing to change.");
        return false;
    }
    bool changed = false;
    const bool written = write([&](FMDatabase &db) {
        // One default text colour per scheme.
        if (setsDefault && defaultValue == QLatin1String("YES")
            && !db.executeUpdate(QStringLiteral("UPDATE %1 SET IsDefault = 'NO' WHERE "
                                                "ColorSchemeId = ?")
                                     .arg(table),
                                 {schemeId}))
            return false;
        if (!db.executeUpdate(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                  .arg(table, sets.join(QStringLiteral(", ")), where),
                              setArgs + whereArgs))
            return false;
        changed = db.changes() > 0;
        if (!changed)
            m_lastError = QStringLiteral("No such colour.");
        return changed;
    });
    return written && changed;
}

bool QntNotation::updateColorSchemesTable(const QVariantMap &params)
{
    bool ok = false;
    const qint64 schemeId = params.value(QStringLiteral("colorSchemeId")).toLongLong(&ok);
    if (!ok) {
        m_lastError = QStringLiteral("No colour scheme was given.");
        return false;
    }
    QStringList sets;
    QVariantList args;
    if (params.contains(QStringLiteral("paramName"))) {
        const QString name = params.value(QStringLiteral("paramName")).toString().trimmed();
        if (name.isEmpty()) {
            m_lastError = QStringLiteral("A colour scheme needs a name.");
            return false;
        }
        sets << QStringLiteral("Name = ?");
        args << name;
    }
    if (params.contains(QStringLiteral("paramIconColor"))) {
        const QColor colour =
            colourFromHex(params.value(QStringLiteral("paramIconColor")).toString());
        if (!colour.isValid()) {
            m_lastError = QStringLiteral("The icon colour is not a colour.");
            return false;
        }
        sets << QStringLiteral("IconColor = ?");
        args << hexOf(colour);
    }
    if (params.contains(QStringLiteral("paramDefault"))) {
        sets << QStringLiteral("IsDefault = ?");
        args << (yesNo(params.value(QStringLiteral("paramDefault"))) == QLatin1String("YES") ? 1
                                                                                             : 0);
    }
    if (sets.isEmpty()) {
        m_lastError = QStringLiteral("Nothing to change.");
        return false;
    }
    bool changed = false;
    const bool written = write([&](FMDatabase &db) {
        if (!db.executeUpdate(QStringLiteral("UPDATE ColorSchemes SET %1 WHERE Id = ?")
                                  .arg(sets.join(QStringLiteral(", "))),
                              args + QVariantList{schemeId}))
            return false;
        changed = db.changes() > 0;
        if (!changed)
            m_lastError = QStringLiteral("No such colour scheme.");
        return changed;
    });
    return written && changed;
}

qint64 QntNotation::duplicateColorScheme(qint64 schemeId)
{
    qint64 newId = 0;
    const bool ok = write([&](FMDatabase &db) {
        auto rs = db.executeQuery(
            QStringLiteral("SELECT Name, IconColor FROM ColorSchemes WHERE Id = ?"), {schemeId});
        if (!rs || !rs->next()) {
            m_lastError = QStringLiteral("No such colour scheme.");
            return false;
        }
        const QString name = rs->stringForColumnIndex(0);
        const QString icon = rs->stringForColumnIndex(1);
        rs->close();
        auto max =
            db.executeQuery(QStringLiteral("SELECT coalesce(max(Id), 0) + 1, "
                                           "coalesce(max(OrderNumber), 0) + 1 FROM ColorSchemes"));
        if (!max || !max->next())
            return false;
        newId = max->intForColumnIndex(0);
        const qint64 order = max->intForColumnIndex(1);
        max->close();
        if (!db.executeUpdate(QStringLiteral("INSERT INTO ColorSchemes (Id, Name, IconColor, "
                                             "IsDefault, OrderNumber) VALUES (?, ?, ?, 0, ?)"),
                              {newId, name + QStringLiteral(" Copy"), icon, order}))
            return false;
        for (const QString &table : colorSchemeItemTables()) {
            if (!db.executeUpdate(
                    QStringLiteral(
                        "INSERT INTO %1 (ColorSchemeId, ItemIndex, ItemId, Color, Alpha, "
                        "Comment, TableCellBackgroundColor, TableGridColor, IsDefault) "
                        "SELECT ?, ItemIndex, ItemId, Color, Alpha, Comment, "
                        "TableCellBackgroundColor, TableGridColor, IsDefault FROM %1 "
                        "WHERE ColorSchemeId = ?")
                        .arg(table),
                    {newId, schemeId}))
                return false;
        }
        return true;
    });
    return ok ? newId : 0;
}

bool QntNotation::removeColorScheme(qint64 schemeId)
{
    return write([&](FMDatabase &db) {
        auto count = db.executeQuery(QStringLiteral("SELECT count(*) FROM ColorSchemes"));
        if (!count || !count->next())
            return false;
        // Elements always need a scheme to take their colours from.
        if (count->intForColumnIndex(0) <= 1) {
            m_lastError = QStringLiteral("The last colour scheme cannot be removed.");
            return false;
        }
        count->close();
        if (!db.executeUpdate(QStringLiteral("DELETE FROM ColorSchemes WHERE Id = ?"), {schemeId}))
            return false;
        if (db.changes() == 0) {
            m_lastError = QStringLiteral("No such colour scheme.");
            return false;
        }
        for (const QString &table : colorSchemeItemTables()) {
            if (!db.executeUpdate(
                    QStringLiteral("DELETE FROM %1 WHERE ColorSchemeId = ?").arg(table),
                    {schemeId}))
                return false;
        }
        return true;
    });
}

bool QntNotation::addColorSchemesItems(const QList<qint64> &schemeIds, const QString &tableName)
{
    if (!isItemTable(tableName) || schemeIds.isEmpty()) {
        m_lastError = QStringLiteral("Unknown colour table “%1”.").arg(tableName);
        return false;
    }
    return write([&](FMDatabase &db) {
        // One index for the new row of every scheme keeps the schemes' items in step.
        auto max = db.executeQuery(
            QStringLiteral("SELECT coalesce(max(ItemIndex), -1) + 1 FROM %1").arg(tableName));
        if (!max || !max->next())
            return false;
        const qint64 index = max->intForColumnIndex(0);
        max->close();
        for (const qint64 schemeId : schemeIds) {
            if (!db.executeUpdate(
                    QStringLiteral("INSERT INTO %1 (ColorSchemeId, ItemIndex, ItemId, "
                                   "Color, Alpha, Comment) VALUES (?, ?, ?, ?, 1, ?)")
                        .arg(tableName),
                    {schemeId, index, index, QStringLiteral("#FFFFFF"), QString()}))
                return false;
        }
        return true;
    });
}

bool QntNotation::removeColorSchemesItems(const QString &tableName, qint64 colorSchemeId,
                                          const QString &colorValue)
{
    if (!isItemTable(tableName)) {
        m_lastError = QStringLiteral("Unknown colour table “%1”.").arg(tableName);
        return false;
    }
    bool removed = false;
    const bool ok = write([&](FMDatabase &db) {
        if (!db.executeUpdate(
                QStringLiteral("DELETE FROM %1 WHERE ColorSchemeId = ? AND ItemIndex = (SELECT "
                               "ItemIndex FROM %1 WHERE ColorSchemeId = ? AND upper(Color) = "
                               "upper(?) ORDER BY ItemIndex LIMIT 1)")
                    .arg(tableName),
                {colorSchemeId, colorSchemeId, colorValue}))
            return false;
        removed = db.changes() > 0;
        return true;
    });
    return ok && removed;
}

bool QntNotation::updateColorSchemesOrderNumber(const QVariantList &schemes)
{
    return write([&](FMDatabase &db) {
        int order = 1;
        for (const QVariant &value : schemes) {
            const QVariantMap scheme = value.toMap();
            bool ok = false;
            const qint64 id = (scheme.contains(QStringLiteral("Id"))
                                   ? scheme.value(QStringLiteral("Id"))
                                   : scheme.value(QStringLiteral("colorSchemeId")))
                                  .toLongLong(&ok);
            if (!ok)
                continue;
            if (!db.executeUpdate(
                    QStringLiteral("UPDATE ColorSchemes SET OrderNumber = ? WHERE Id = ?"),
                    {order++, id}))
                return false;
        }
        return true;
    });
}

VRResult<void> QntNotation::exportColorSchemes(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return VRError{
            QStringLiteral("The colour schemes cannot be exported: %1").arg(file.errorString())};
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("colorSchemes"));
    xml.writeAttribute(QStringLiteral("notation"), notationName());
    FMDatabase *db = reader();
    for (const QVariant &value : colorSchemesDic()) {
        const QVariantMap scheme = value.toMap();
        const qint64 id = scheme.value(QStringLiteral("Id")).toLongLong();
        xml.writeStartElement(QStringLiteral("scheme"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(id));
        xml.writeAttribute(QStringLiteral("name"), scheme.value(QStringLiteral("Name")).toString());
        xml.writeAttribute(QStringLiteral("iconColor"),
                           scheme.value(QStringLiteral("IconColor")).toString());
        xml.writeAttribute(QStringLiteral("default"),
                           scheme.value(QStringLiteral("Default")).toBool() ? QStringLiteral("YES")
                                                                            : QStringLiteral("NO"));
        xml.writeAttribute(QStringLiteral("order"),
                           scheme.value(QStringLiteral("OrderNumber")).toString());
        for (const QString &table : colorSchemeItemTables()) {
            xml.writeStartElement(QStringLiteral("items"));
            xml.writeAttribute(QStringLiteral("type"), groupNameForTable(table));
            auto rs = db->executeQuery(
                QStringLiteral("SELECT ItemIndex, Color, Alpha, Comment, TableCellBackgroundColor, "
                               "TableGridColor, IsDefault FROM %1 WHERE ColorSchemeId = ? "
                               "ORDER BY ItemIndex")
                    .arg(table),
                {id});
            while (rs && rs->next()) {
                xml.writeEmptyElement(QStringLiteral("item"));
                xml.writeAttribute(QStringLiteral("index"), rs->stringForColumnIndex(0));
                xml.writeAttribute(QStringLiteral("color"), rs->stringForColumnIndex(1));
                xml.writeAttribute(QStringLiteral("alpha"),
                                   QString::number(rs->doubleForColumnIndex(2)));
                xml.writeAttribute(QStringLiteral("comment"), rs->stringForColumnIndex(3));
                xml.writeAttribute(QStringLiteral("tableCell"), rs->stringForColumnIndex(4));
                xml.writeAttribute(QStringLiteral("tableGrid"), rs->stringForColumnIndex(5));
                xml.writeAttribute(QStringLiteral("default"), rs->stringForColumnIndex(6));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return VRError{
            QStringLiteral("The colour schemes cannot be exported: %1").arg(file.errorString())};
    return {};
}

// ---------------------------------------------------------------- connectors

QList<QntConnectorRecord> QntNotation::connectorsList(int kind) const
{
    QList<QntConnectorRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    std::optional<FMResultSet> rs;
    if (kind == 0)
        rs = db->executeQuery(QStringLiteral(
            "SELECT ID, Title, Thickness FROM Connectors ORDER BY Kind DESC, OrderNumber, ID"));
    else
        rs = db->executeQuery(QStringLiteral("SELECT ID, Title, Thickness FROM Connectors WHERE "
                                             "Kind = ? ORDER BY OrderNumber, ID"),
                              {kind});
    while (rs && rs->next())
        result.append({rs->stringForColumnIndex(0), rs->stringForColumnIndex(1),
                       rs->doubleForColumnIndex(2)});
    return result;
}

QList<QntArrowheadRecord> QntNotation::arrowheadsList(const QString &connectorId) const
{
    QList<QntArrowheadRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ElementID, Present, Placement FROM Arrowheads "
                                        "WHERE ConnectorID = ? ORDER BY OrderNumber, ElementID"),
                         {connectorId});
    while (rs && rs->next())
        result.append({rs->stringForColumnIndex(0), rs->intForColumnIndex(1) != 0,
                       rs->stringForColumnIndex(2)});
    return result;
}

QString QntNotation::defaultArrowIdAsStart(bool asStart, const QString &forConnectorWithId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(
        asStart ? QStringLiteral("SELECT ElementID FROM Arrowheads WHERE ConnectorID = ? AND "
                                 "IsDefaultStart <> 0 ORDER BY OrderNumber LIMIT 1")
                : QStringLiteral("SELECT ElementID FROM Arrowheads WHERE ConnectorID = ? AND "
                                 "IsDefaultEnd <> 0 ORDER BY OrderNumber LIMIT 1"),
        {forConnectorWithId});
    return rs && rs->next() ? rs->stringForColumnIndex(0) : QString();
}

QString QntNotation::defaultConnectorId() const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(QStringLiteral(
        "SELECT ID FROM Connectors WHERE Kind = 2 ORDER BY IsDefault DESC, OrderNumber LIMIT 1"));
    return rs && rs->next() ? rs->stringForColumnIndex(0) : QString();
}

int QntNotation::lengthKindForArrowId(const QString &arrowId) const
{
    FMDatabase *db = reader();
    if (!db)
        return 1;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT LengthKind FROM Arrowheads WHERE ElementID = ? LIMIT 1"), {arrowId});
    return rs && rs->next() ? int(rs->intForColumnIndex(0)) : 1;
}

bool QntNotation::existConnectorWithId(const QString &connectorId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT 1 FROM Connectors WHERE ID = ?"), {connectorId});
    return rs && rs->next();
}

double QntNotation::connectorThickness(const QString &connectorId) const
{
    FMDatabase *db = reader();
    if (!db)
        return 0.0;
    auto rs = db->executeQuery(QStringLiteral("SELECT Thickness FROM Connectors WHERE ID = ?"),
                               {connectorId});
    return rs && rs->next() ? rs->doubleForColumnIndex(0) : 0.0;
}
