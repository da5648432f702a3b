#pragma once

#include "framework/notations/FMResultSet.h"

#include <QString>
#include <QVariantList>

#include <memory>
#include <optional>

struct sqlite3;

// One SQLite connection. Every statement is fixed text with "?" parameters bound from a value
// list, never text pasted together from data. One connection per thread. Calls answer bool and
// the connection keeps its last error, as SQLite's own connection does and as the image-bank code
// written against this class expects; the callers turn that into a VRResult where they fail.
class FMDatabase
{
public:
    enum OpenFlag {
        OpenReadOnly = 0x01,
        OpenReadWrite = 0x02,
        OpenCreate = 0x04,
    };

    static std::unique_ptr<FMDatabase> databaseWithPath(const QString &path);
    explicit FMDatabase(const QString &path);
    FMDatabase(const FMDatabase &) = delete;
    FMDatabase &operator=(const FMDatabase &) = delete;
    ~FMDatabase();

    QString databasePath() const { return m_path; }

    // An existing file, read-write; never creates one.
    bool open();
    bool openReadOnly();
    // OpenFlag bits; OpenCreate makes the file when missing.
    bool openWithFlags(int flags);
    // A private copy of a database file's bytes, kept in memory: the same statements, checks and
    // answers as on the file itself (read-only as openReadOnly when the flags say so), while
    // nothing is read from or written to disk. The path stays the name in messages.
    bool openWithData(const QByteArray &bytes, int flags);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    bool isReadOnly() const { return m_readOnly; }

    // Values: QString (text), integers and bool (integer), double (real), QByteArray (blob),
    // invalid or null QVariant (null). Other types are refused.
    bool executeUpdate(const QString &sql, const QVariantList &args = {});
    std::optional<FMResultSet> executeQuery(const QString &sql, const QVariantList &args = {});
    // Runs several statements without parameters (schema scripts only).
    bool executeStatements(const QString &sql);

    QString lastErrorMessage() const { return m_lastError; }
    int lastErrorCode() const { return m_lastErrorCode; }
    qint64 lastInsertRowId() const;
    int changes() const;

    bool beginTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return m_inTransaction; }

    int userVersion();
    bool setUserVersion(int version);

    bool tableExists(const QString &table);
    // True when SQLite can read the schema and a quick integrity check passes.
    bool goodConnection();

private:
    bool prepare(const QString &sql, const QVariantList &args, struct sqlite3_stmt **statement);
    void recordError(const QString &context = {});

    QString m_path;
    sqlite3 *m_db = nullptr;
    bool m_readOnly = false;
    bool m_inTransaction = false;
    QString m_lastError;
    int m_lastErrorCode = 0;
};
