// QntNotation: the schema check and one open notation (reader, parameters, writes).
#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"
#include "platform/ImageResources.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>

#include <atomic>
#include <optional>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcNotation, "vr.notation")

namespace {

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

// A file as it is on the disk: which file, its size and the times of its last change.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp &other) const
    {
        return device == other.device && inode == other.inode && size == other.size
               && modified.tv_sec == other.modified.tv_sec
               && modified.tv_nsec == other.modified.tv_nsec
               && changed.tv_sec == other.changed.tv_sec
               && changed.tv_nsec == other.changed.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat status {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0
        || !S_ISREG(status.st_mode))
        return std::nullopt;
    return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

// The database files that passed the whole check in this process, as they were then.
QMutex g_checkedFilesMutex;

// How many ReadThroughDeferred scopes are open.
std::atomic<int> g_readThroughDeferred{0};

QHash<QString, FileStamp> &checkedFiles()
{
    static QHash<QString, FileStamp> files;
    return files;
}

} // namespace

// ---------------------------------------------------------------- schema

VRResult<void> QntNotation::createSchema(FMDatabase &db)
{
    if (!db.executeStatements(QString::fromUtf8(kSchemaSql)) || !db.setUserVersion(kSchemaVersion))
        return VRError{db.lastErrorMessage()};
    return {};
}

QString QntNotation::newerVersionProblem()
{
    return QStringLiteral("it was made by a newer version of Quintora");
}

QString QntNotation::checkDatabase(FMDatabase &db)
{
    return checkDatabase(db, true);
}

QString QntNotation::checkDatabase(FMDatabase &db, bool readThrough)
{
    if (!db.isOpen())
        return db.lastErrorMessage().isEmpty() ? QStringLiteral("the file cannot be opened")
                                               : db.lastErrorMessage();
    if (readThrough && !db.goodConnection())
        return QStringLiteral("the file is damaged or is not a database (%1)")
            .arg(db.lastErrorMessage());
    const int version = db.userVersion();
    if (version > kSchemaVersion)
        return newerVersionProblem();
    for (const char *table : {"ImportedElements", "StringParams", "BlobParams"}) {
        if (!db.tableExists(QString::fromLatin1(table)))
            return QStringLiteral("it is not a notation database (no table %1)")
                .arg(QString::fromLatin1(table));
    }
    return {};
}

QString QntNotation::checkDatabaseFile(FMDatabase &db)
{
    const std::optional<FileStamp> stamp = stampOf(db.databasePath());
    bool unchanged = false;
    if (stamp) {
        QMutexLocker lock(&g_checkedFilesMutex);
        const auto known = checkedFiles().constFind(db.databasePath());
        unchanged = known != checkedFiles().cend() && *known == *stamp;
    }
    const bool deferred = g_readThroughDeferred.load() > 0;
    const QString problem = checkDatabase(db, !unchanged && !deferred);
    if (problem.isEmpty() && stamp && !unchanged && !deferred) {
        QMutexLocker lock(&g_checkedFilesMutex);
        checkedFiles().insert(db.databasePath(), *stamp);
    }
    return problem;
}

QntNotation::ReadThroughDeferred::ReadThroughDeferred()
{
    ++g_readThroughDeferred;
}

QntNotation::ReadThroughDeferred::~ReadThroughDeferred()
{
    --g_readThroughDeferred;
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
    auto db = std::make_unique<FMDatabase>(m_path);
    // Read-only: opening a notation never creates or changes a file.
    db->openReadOnly();
    adopt(std::move(db), true);
}

QntNotation::QntNotation(const QByteArray &bytes, const QString &homeRelativeOrAbsolutePath)
    : m_path(absolutePathForNotationPath(homeRelativeOrAbsolutePath))
    , m_inMemory(true)
{
    auto db = std::make_unique<FMDatabase>(m_path);
    db->openWithData(bytes, FMDatabase::OpenReadWrite);
    adopt(std::move(db), false);
}

void QntNotation::adopt(std::unique_ptr<FMDatabase> db, bool isFile)
{
    m_db = std::move(db);
    const QString problem = isFile ? checkDatabaseFile(*m_db) : checkDatabase(*m_db);
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("The notation “%1” cannot be read: %2.")
                      .arg(QFileInfo(m_path).fileName(), problem);
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

VRResult<void> QntNotation::write(const std::function<VRResult<void>(FMDatabase &)> &fn)
{
    if (!m_valid)
        return VRError{m_error};
    // A copy in memory has only the one connection, which its writes change.
    std::optional<FMDatabase> file;
    if (!m_inMemory)
        file.emplace(m_path);
    FMDatabase &db = m_inMemory ? *m_db : *file;
    if ((!m_inMemory && !db.open()) || !db.beginTransaction())
        return VRError{db.lastErrorMessage()};
    if (VRResult<void> written = fn(db); !written) {
        db.rollback();
        return written;
    }
    if (!db.commit()) {
        const QString message = db.lastErrorMessage();
        db.rollback();
        return VRError{message};
    }
    invalidateCaches();
    return {};
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
    // Notation icons are PNG pictures; read as such, no image-format plugin is asked about them.
    return ImageResources::imageFromData(blobParamForKey(QStringLiteral("notationIcon")), "png");
}
