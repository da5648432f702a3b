#include "framework/notations/FMDatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FMDatabaseTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(FMDatabaseTest, OpenNeverCreatesAFile)
{
    FMDatabase db(path(QStringLiteral("missing.db")));
    EXPECT_FALSE(db.open());
    EXPECT_FALSE(db.openReadOnly());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("missing.db"))));
    EXPECT_FALSE(db.lastErrorMessage().isEmpty());
}

TEST_F(FMDatabaseTest, BoundValuesRoundTripWithTheirTypes)
{
    FMDatabase db(path(QStringLiteral("t.db")));
    ASSERT_TRUE(db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate));
    ASSERT_TRUE(db.executeUpdate(
        QStringLiteral("CREATE TABLE T (S TEXT, I INTEGER, R REAL, B BLOB, N TEXT)")));
    const QByteArray blob("\x00\x01\xffzz", 5);
    // Text that would break a statement pasted together from data is stored as it stands.
    const QString tricky = QStringLiteral("it's \"quoted\"; DROP TABLE T; --");
    ASSERT_TRUE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?, ?, ?, ?, ?)"),
                                 {tricky, qint64(1) << 40, 2.5, blob, QVariant()}));
    EXPECT_EQ(db.lastInsertRowId(), 1);
    auto rs = db.executeQuery(QStringLiteral("SELECT * FROM T WHERE S = ?"), {tricky});
    ASSERT_TRUE(rs.has_value());
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->stringForColumn(QStringLiteral("s")), tricky);
    EXPECT_EQ(rs->intForColumn(QStringLiteral("I")), qint64(1) << 40);
    EXPECT_DOUBLE_EQ(rs->doubleForColumn(QStringLiteral("R")), 2.5);
    EXPECT_EQ(rs->dataForColumn(QStringLiteral("B")), blob);
    EXPECT_TRUE(rs->columnIsNull(QStringLiteral("N")));
    EXPECT_TRUE(rs->stringForColumn(QStringLiteral("N")).isNull());
    EXPECT_EQ(rs->columnIndexForName(QStringLiteral("nope")), -1);
    EXPECT_FALSE(rs->next());
}

TEST_F(FMDatabaseTest, WrongParameterCountAndUnsupportedTypesAreRefused)
{
    FMDatabase db(path(QStringLiteral("t.db")));
    ASSERT_TRUE(db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate));
    ASSERT_TRUE(db.executeUpdate(QStringLiteral("CREATE TABLE T (A TEXT)")));
    EXPECT_FALSE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {}));
    EXPECT_FALSE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {1, 2}));
    EXPECT_FALSE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"),
                                  {QVariant::fromValue(QStringList{QStringLiteral("x")})}));
    EXPECT_FALSE(db.executeUpdate(QStringLiteral("NOT SQL")));
    EXPECT_FALSE(db.lastErrorMessage().isEmpty());
}

TEST_F(FMDatabaseTest, TransactionsRollBackAndReadOnlyRefusesWrites)
{
    const QString file = path(QStringLiteral("t.db"));
    {
        FMDatabase db(file);
        ASSERT_TRUE(db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate));
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("CREATE TABLE T (A INTEGER)")));
        ASSERT_TRUE(db.setUserVersion(3));
        ASSERT_TRUE(db.beginTransaction());
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {7}));
        ASSERT_TRUE(db.rollback());
        ASSERT_TRUE(db.beginTransaction());
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {8}));
        ASSERT_TRUE(db.commit());
    }
    FMDatabase db(file);
    ASSERT_TRUE(db.openReadOnly());
    EXPECT_EQ(db.userVersion(), 3);
    EXPECT_TRUE(db.tableExists(QStringLiteral("t")));
    EXPECT_FALSE(db.tableExists(QStringLiteral("U")));
    auto rs = db.executeQuery(QStringLiteral("SELECT A FROM T"));
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumnIndex(0), 8);
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {9}));
    EXPECT_TRUE(db.goodConnection());
}

TEST_F(FMDatabaseTest, CorruptFilesAreReportedNotCrashed)
{
    const QString file = path(QStringLiteral("junk.db"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    FMDatabase db(file);
    // SQLite opens lazily; the first statement finds out.
    db.openReadOnly();
    EXPECT_FALSE(db.goodConnection());
    EXPECT_FALSE(db.executeQuery(QStringLiteral("SELECT * FROM sqlite_master")).has_value());
    EXPECT_FALSE(db.lastErrorMessage().isEmpty());
}

TEST_F(FMDatabaseTest, ACopyInMemoryAnswersAsItsFileAndLeavesItAlone)
{
    const QString file = path(QStringLiteral("t.db"));
    {
        FMDatabase db(file);
        ASSERT_TRUE(db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate));
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("CREATE TABLE T (A INTEGER)")));
        ASSERT_TRUE(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {8}));
        ASSERT_TRUE(db.setUserVersion(3));
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    const QString elsewhere = path(QStringLiteral("elsewhere.db"));
    for (const int flags : {int(FMDatabase::OpenReadOnly), int(FMDatabase::OpenReadWrite)}) {
        const bool writable = flags == FMDatabase::OpenReadWrite;
        FMDatabase db(elsewhere);
        ASSERT_TRUE(db.openWithData(bytes, flags));
        EXPECT_EQ(db.isReadOnly(), !writable);
        EXPECT_TRUE(db.goodConnection());
        EXPECT_EQ(db.userVersion(), 3);
        EXPECT_TRUE(db.tableExists(QStringLiteral("T")));
        EXPECT_EQ(db.executeUpdate(QStringLiteral("INSERT INTO T VALUES (?)"), {9}), writable);
        auto rs = db.executeQuery(QStringLiteral("SELECT count(*) FROM T"));
        ASSERT_TRUE(rs && rs->next());
        EXPECT_EQ(rs->intForColumnIndex(0), writable ? 2 : 1);
    }
    // Neither the file the bytes came from nor the one named was touched.
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
    EXPECT_FALSE(QFile::exists(elsewhere));
}

TEST_F(FMDatabaseTest, DamagedBytesInMemoryAreReportedAsOnDisk)
{
    const QByteArray cases[] = {QByteArray(), QByteArray(4096, 'x'), QByteArray("SQLite format 3")};
    for (const QByteArray &bytes : cases) {
        const QString file = path(QStringLiteral("junk.db"));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        FMDatabase onDisk(file);
        onDisk.openReadOnly();
        FMDatabase inMemory(file);
        ASSERT_TRUE(inMemory.openWithData(bytes, FMDatabase::OpenReadOnly));
        EXPECT_EQ(inMemory.goodConnection(), onDisk.goodConnection()) << bytes.size();
        EXPECT_EQ(inMemory.lastErrorMessage(), onDisk.lastErrorMessage()) << bytes.size();
        EXPECT_EQ(inMemory.tableExists(QStringLiteral("T")), false);
    }
}

} // namespace
