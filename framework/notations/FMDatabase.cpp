#include "framework/notations/FMDatabase.h"

#include <QLoggingCategory>

#include <sqlite3.h>

#include <cstring>

Q_LOGGING_CATEGORY(lcFMDatabase, "vr.database")

std::unique_ptr<FMDatabase> FMDatabase::databaseWithPath(const QString &path)
{
    return std::make_unique<FMDatabase>(path);
}

FMDatabase::FMDatabase(const QString &path)
    : m_path(path)
{
}

FMDatabase::~FMDatabase()
{
    close();
}

bool FMDatabase::open()
{
    return openWithFlags(OpenReadWrite);
}

bool FMDatabase::openReadOnly()
{
    return openWithFlags(OpenReadOnly);
}

bool FMDatabase::openWithFlags(int flags)
{
    close();
    if (m_path.isEmpty()) {
        m_lastError = QStringLiteral("No database path was given.");
        m_lastErrorCode = SQLITE_CANTOPEN;
        return false;
    }
    // Serialized: a notation shared between the GUI and a reading worker stays safe.
    int sqliteFlags = SQLITE_OPEN_FULLMUTEX;
    if (flags & OpenReadWrite) {
        sqliteFlags |= SQLITE_OPEN_READWRITE;
        if (flags & OpenCreate)
            sqliteFlags |= SQLITE_OPEN_CREATE;
    } else {
        sqliteFlags |= SQLITE_OPEN_READONLY;
    }
    sqlite3 *db = nullptr;
    const QByteArray path = m_path.toUtf8();
    const int rc = sqlite3_open_v2(path.constData(), &db, sqliteFlags, nullptr);
    if (rc != SQLITE_OK) {
        m_lastErrorCode = rc;
        m_lastError =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        if (db)
            sqlite3_close(db);
        qCDebug(lcFMDatabase) << "cannot open" << m_path << m_lastError;
        return false;
    }
    m_db = db;
    m_readOnly = !(flags & OpenReadWrite);
    sqlite3_busy_timeout(m_db, 2000);
    sqlite3_extended_result_codes(m_db, 1);
    m_lastError.clear();
    m_lastErrorCode = 0;
    return true;
}

bool FMDatabase::openWithData(const QByteArray &bytes, int flags)
{
    close();
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(":memory:", &db,
                             SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        const auto size = sqlite3_int64(bytes.size());
        // SQLite owns the copy from here on, also when it refuses it.
        auto *copy = static_cast<unsigned char *>(sqlite3_malloc64(sqlite3_uint64(size) + 1));
        if (!copy) {
            rc = SQLITE_NOMEM;
        } else {
            if (size > 0)
                std::memcpy(copy, bytes.constData(), size_t(size));
            unsigned mode = SQLITE_DESERIALIZE_FREEONCLOSE;
            mode |= (flags & OpenReadWrite) ? SQLITE_DESERIALIZE_RESIZEABLE
                                            : SQLITE_DESERIALIZE_READONLY;
            rc = sqlite3_deserialize(db, "main", copy, size, size + 1, mode);
        }
    }
    if (rc != SQLITE_OK) {
        m_lastErrorCode = rc;
        m_lastError = QString::fromUtf8(sqlite3_errstr(rc));
        if (db)
            sqlite3_close(db);
        qCDebug(lcFMDatabase) << "cannot open a copy of" << m_path << m_lastError;
        return false;
    }
    m_db = db;
    m_readOnly = !(flags & OpenReadWrite);
    sqlite3_extended_result_codes(m_db, 1);
    m_lastError.clear();
    m_lastErrorCode = 0;
    return true;
}

void FMDatabase::close()
{
    if (!m_db)
        return;
    if (m_inTransaction)
        rollback();
    // Result sets still alive keep their statements; close_v2 defers the close until they go.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_inTransaction = false;
}

void FMDatabase::recordError(const QString &context)
{
    m_lastErrorCode = m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
    m_lastError = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                       : QStringLiteral("The database is not open.");
    if (!context.isEmpty())
        m_lastError = context + QStringLiteral(": ") + m_lastError;
}

bool FMDatabase::prepare(const QString &sql, const QVariantList &args, sqlite3_stmt **statement)
{
    *statement = nullptr;
    if (!m_db) {
        recordError();
        return false;
    }
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), statement, nullptr)
        != SQLITE_OK) {
        recordError();
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return false;
    }
    if (!*statement) {
        m_lastError = QStringLiteral("Empty statement.");
        m_lastErrorCode = SQLITE_MISUSE;
        return false;
    }
    const int expected = sqlite3_bind_parameter_count(*statement);
    if (expected != args.size()) {
        m_lastError = QStringLiteral("The statement expects %1 values, %2 were given.")
                          .arg(expected)
                          .arg(args.size());
        m_lastErrorCode = SQLITE_RANGE;
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return false;
    }
    for (int i = 0; i < args.size(); ++i) {
        const QVariant &value = args.at(i);
        const int slot = i + 1;
        int rc = SQLITE_OK;
        if (!value.isValid() || value.isNull()) {
            rc = sqlite3_bind_null(*statement, slot);
        } else {
            switch (value.metaType().id()) {
            case QMetaType::QByteArray: {
                const QByteArray blob = value.toByteArray();
                rc = sqlite3_bind_blob64(*statement, slot, blob.constData(),
                                         sqlite3_uint64(blob.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QString: {
                const QByteArray utf8 = value.toString().toUtf8();
                rc =
                    sqlite3_bind_text64(*statement, slot, utf8.constData(),
                                        sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
                break;
            }
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::Long:
            case QMetaType::ULong:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
                rc = sqlite3_bind_int64(*statement, slot, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(*statement, slot, value.toDouble());
                break;
            default:
                m_lastError = QStringLiteral("Value %1 has a type that cannot be stored (%2).")
                                  .arg(slot)
                                  .arg(QString::fromLatin1(value.typeName()));
                m_lastErrorCode = SQLITE_MISMATCH;
                sqlite3_finalize(*statement);
                *statement = nullptr;
                return false;
            }
        }
        if (rc != SQLITE_OK) {
            recordError();
            sqlite3_finalize(*statement);
            *statement = nullptr;
            return false;
        }
    }
    return true;
}

bool FMDatabase::executeUpdate(const QString &sql, const QVariantList &args)
{
    sqlite3_stmt *statement = nullptr;
    if (!prepare(sql, args, &statement))
        return false;
    int rc = sqlite3_step(statement);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) {
        recordError();
        sqlite3_finalize(statement);
        return false;
    }
    sqlite3_finalize(statement);
    m_lastError.clear();
    m_lastErrorCode = 0;
    return true;
}

std::optional<FMResultSet> FMDatabase::executeQuery(const QString &sql, const QVariantList &args)
{
    sqlite3_stmt *statement = nullptr;
    if (!prepare(sql, args, &statement))
        return std::nullopt;
    return FMResultSet(statement);
}

bool FMDatabase::executeStatements(const QString &sql)
{
    if (!m_db) {
        recordError();
        return false;
    }
    char *error = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_exec(m_db, text.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        m_lastErrorCode = sqlite3_errcode(m_db);
        m_lastError = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
        sqlite3_free(error);
        return false;
    }
    return true;
}

qint64 FMDatabase::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int FMDatabase::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool FMDatabase::beginTransaction()
{
    if (m_inTransaction)
        return false;
    m_inTransaction = executeUpdate(QStringLiteral("BEGIN IMMEDIATE TRANSACTION"));
    return m_inTransaction;
}

bool FMDatabase::commit()
{
    if (!m_inTransaction)
        return false;
    const bool ok = executeUpdate(QStringLiteral("COMMIT TRANSACTION"));
    if (ok)
        m_inTransaction = false;
    return ok;
}

bool FMDatabase::rollback()
{
    if (!m_inTransaction)
        return false;
    const bool ok = executeUpdate(QStringLiteral("ROLLBACK TRANSACTION"));
    m_inTransaction = false;
    return ok;
}

int FMDatabase::userVersion()
{
    auto rs = executeQuery(QStringLiteral("PRAGMA user_version"));
    if (!rs || !rs->next())
        return -1;
    return int(rs->intForColumnIndex(0));
}

bool FMDatabase::setUserVersion(int version)
{
    // PRAGMA takes no bound parameters; the value is an integer formatted here, not data text.
    return executeUpdate(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

bool FMDatabase::tableExists(const QString &table)
{
    auto rs = executeQuery(
        QStringLiteral(
            "SELECT 1 FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)"),
        {table});
    return rs && rs->next();
}

bool FMDatabase::goodConnection()
{
    auto rs = executeQuery(QStringLiteral("PRAGMA quick_check"));
    if (!rs || !rs->next()) {
        if (rs && rs->hadError())
            m_lastError = rs->lastErrorMessage();
        return false;
    }
    const QString verdict = rs->stringForColumnIndex(0);
    if (verdict != QLatin1String("ok")) {
        m_lastError = QStringLiteral("database disk image is malformed");
        return false;
    }
    return true;
}
