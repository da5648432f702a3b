#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

struct sqlite3_stmt;

// The rows of one query. Move-only; it owns its prepared statement, so it must not outlive the
// FMDatabase that made it.
class FMResultSet
{
public:
    FMResultSet(FMResultSet &&other) noexcept;
    FMResultSet &operator=(FMResultSet &&other) noexcept;
    FMResultSet(const FMResultSet &) = delete;
    FMResultSet &operator=(const FMResultSet &) = delete;
    ~FMResultSet();

    // Steps to the next row; false at the end or on an error (see hadError()).
    bool next();
    bool hadError() const { return m_error; }
    QString lastErrorMessage() const { return m_errorMessage; }

    int columnCount() const;
    // Case-insensitive column name lookup; -1 when the query has no such column.
    int columnIndexForName(const QString &name) const;

    bool columnIsNull(const QString &column) const;
    QString stringForColumn(const QString &column) const;
    qint64 intForColumn(const QString &column) const;
    double doubleForColumn(const QString &column) const;
    QByteArray dataForColumn(const QString &column) const;

    bool columnIndexIsNull(int index) const;
    QString stringForColumnIndex(int index) const;
    qint64 intForColumnIndex(int index) const;
    double doubleForColumnIndex(int index) const;
    QByteArray dataForColumnIndex(int index) const;

    void close();

private:
    friend class FMDatabase;
    explicit FMResultSet(sqlite3_stmt *statement);
    bool validIndex(int index) const;

    sqlite3_stmt *m_statement = nullptr;
    QHash<QString, int> m_columns;
    bool m_error = false;
    QString m_errorMessage;
};
