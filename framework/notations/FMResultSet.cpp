#include "framework/notations/FMResultSet.h"

#include <sqlite3.h>

FMResultSet::FMResultSet(sqlite3_stmt *statement)
    : m_statement(statement)
{
    const int count = sqlite3_column_count(m_statement);
    for (int i = 0; i < count; ++i) {
        const char *name = sqlite3_column_name(m_statement, i);
        if (name)
            m_columns.insert(QString::fromUtf8(name).toLower(), i);
    }
}

FMResultSet::FMResultSet(FMResultSet &&other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr))
    , m_columns(std::move(other.m_columns))
    , m_error(other.m_error)
    , m_errorMessage(std::move(other.m_errorMessage))
{
}

FMResultSet &FMResultSet::operator=(FMResultSet &&other) noexcept
{
    if (this != &other) {
        close();
        m_statement = std::exchange(other.m_statement, nullptr);
        m_columns = std::move(other.m_columns);
        m_error = other.m_error;
        m_errorMessage = std::move(other.m_errorMessage);
    }
    return *this;
}

FMResultSet::~FMResultSet()
{
    close();
}

void FMResultSet::close()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

bool FMResultSet::next()
{
    if (!m_statement)
        return false;
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_error = true;
        m_errorMessage = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement)));
    }
    close();
    return false;
}

int FMResultSet::columnCount() const
{
    return int(m_columns.size());
}

int FMResultSet::columnIndexForName(const QString &name) const
{
    return m_columns.value(name.toLower(), -1);
}

bool FMResultSet::validIndex(int index) const
{
    return m_statement && index >= 0 && index < sqlite3_column_count(m_statement);
}

bool FMResultSet::columnIndexIsNull(int index) const
{
    return !validIndex(index) || sqlite3_column_type(m_statement, index) == SQLITE_NULL;
}

QString FMResultSet::stringForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, index));
    const int bytes = sqlite3_column_bytes(m_statement, index);
    return QString::fromUtf8(text, bytes);
}

qint64 FMResultSet::intForColumnIndex(int index) const
{
    return validIndex(index) ? sqlite3_column_int64(m_statement, index) : 0;
}

double FMResultSet::doubleForColumnIndex(int index) const
{
    return validIndex(index) ? sqlite3_column_double(m_statement, index) : 0.0;
}

QByteArray FMResultSet::dataForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return {};
    const void *blob = sqlite3_column_blob(m_statement, index);
    const int bytes = sqlite3_column_bytes(m_statement, index);
    if (!blob || bytes <= 0)
        return QByteArray("", 0);
    return QByteArray(static_cast<const char *>(blob), bytes);
}

bool FMResultSet::columnIsNull(const QString &column) const
{
    return columnIndexIsNull(columnIndexForName(column));
}

QString FMResultSet::stringForColumn(const QString &column) const
{
    return stringForColumnIndex(columnIndexForName(column));
}

qint64 FMResultSet::intForColumn(const QString &column) const
{
    return intForColumnIndex(columnIndexForName(column));
}

double FMResultSet::doubleForColumn(const QString &column) const
{
    return doubleForColumnIndex(columnIndexForName(column));
}

QByteArray FMResultSet::dataForColumn(const QString &column) const
{
    return dataForColumnIndex(columnIndexForName(column));
}
