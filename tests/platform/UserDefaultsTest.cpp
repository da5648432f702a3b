#include "platform/UserDefaults.h"

#include "platform/PropertyList.h"
#include "platform/QntPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointF>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UserDefaultsTest : public testing::Test
{
protected:
    QString path() const { return m_dir.path() + "/Prefs.plist"; }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(UserDefaultsTest, PersistentValueWinsOverRegistered)
{
    UserDefaults defaults(path());
    defaults.registerDefaults({{"Size", qint64(12)}, {"Name", "factory"}});
    EXPECT_EQ(defaults.integerForKey("Size"), 12);
    EXPECT_FALSE(defaults.hasPersistentValue("Size"));
    defaults.setInteger(20, "Size");
    EXPECT_EQ(defaults.integerForKey("Size"), 20);
    EXPECT_EQ(defaults.stringForKey("Name"), "factory");
    defaults.removeObjectForKey("Size");
    EXPECT_EQ(defaults.integerForKey("Size"), 12);
    EXPECT_FALSE(defaults.objectForKey("Missing").isValid());
    EXPECT_FALSE(defaults.boolForKey("Missing"));
}

TEST_F(UserDefaultsTest, TypesSurviveARoundTripThroughTheFile)
{
    const QDateTime when = QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), QTimeZone::utc());
    const QVariantMap nested{{"inner", QVariantList{qint64(1), 2.5, QString("x"), true}},
                             {"data", QByteArray("\x00\x01\xff", 3)}};
    {
        UserDefaults defaults(path());
        defaults.setObject(qint64(14), "Int");
        defaults.setObject(14.0, "Real");
        defaults.setObject(qint64(-3), "Negative");
        defaults.setBool(true, "Yes");
        defaults.setBool(false, "No");
        defaults.setObject(QString("Grüße"), "Text");
        defaults.setObject(QByteArray("\x00\x7fzz", 4), "Data");
        defaults.setObject(when, "Date");
        defaults.setObject(nested, "Nested");
        defaults.setObject(QVariantList{}, "EmptyList");
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reread(path());
    EXPECT_EQ(reread.objectForKey("Int").typeId(), QMetaType::LongLong);
    EXPECT_EQ(reread.objectForKey("Int").toLongLong(), 14);
    EXPECT_EQ(reread.objectForKey("Real").typeId(), QMetaType::Double);
    EXPECT_EQ(reread.objectForKey("Real").toDouble(), 14.0);
    EXPECT_EQ(reread.integerForKey("Negative"), -3);
    EXPECT_EQ(reread.objectForKey("Yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(reread.boolForKey("Yes"));
    EXPECT_EQ(reread.objectForKey("No").typeId(), QMetaType::Bool);
    EXPECT_FALSE(reread.boolForKey("No"));
    EXPECT_EQ(reread.stringForKey("Text"), QString("Grüße"));
    EXPECT_EQ(reread.dataForKey("Data"), QByteArray("\x00\x7fzz", 4));
    EXPECT_EQ(reread.objectForKey("Date").toDateTime(), when);
    const QVariantMap back = reread.dictionaryForKey("Nested");
    EXPECT_EQ(back.value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
    const QVariantList inner = back.value("inner").toList();
    ASSERT_EQ(inner.size(), 4);
    EXPECT_EQ(inner[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(inner[1].typeId(), QMetaType::Double);
    EXPECT_EQ(inner[2].toString(), "x");
    EXPECT_EQ(inner[3].typeId(), QMetaType::Bool);
    EXPECT_EQ(reread.objectForKey("EmptyList").typeId(), QMetaType::QVariantList);
    // The file itself is a typed XML property list.
    const QByteArray xml = readAll(path());
    EXPECT_TRUE(xml.contains("<integer>14</integer>"));
    EXPECT_TRUE(xml.contains("<real>14"));
    EXPECT_TRUE(xml.contains("<true/>"));
}

TEST_F(UserDefaultsTest, TypedGettersConvertLikeTheUserExpects)
{
    UserDefaults defaults(path());
    defaults.registerDefaults(
        {{"I", qint64(3)}, {"D", 2.75}, {"S", "YES"}, {"N", "42"}, {"B", true}});
    EXPECT_TRUE(defaults.boolForKey("I"));
    EXPECT_EQ(defaults.integerForKey("D"), 2);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("I"), 3.0);
    EXPECT_TRUE(defaults.boolForKey("S"));
    EXPECT_EQ(defaults.integerForKey("N"), 42);
    EXPECT_EQ(defaults.integerForKey("B"), 1);
    EXPECT_EQ(defaults.stringForKey("I"), "3");
    EXPECT_TRUE(defaults.dataForKey("S").isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey("S").isEmpty());
    EXPECT_TRUE(defaults.arrayForKey("S").isEmpty());
}

TEST_F(UserDefaultsTest, IntWidthsStoreAsOneIntegerType)
{
    UserDefaults defaults(path());
    defaults.setObject(int(5), "A");
    defaults.setObject(QStringList{"a", "b"}, "L");
    EXPECT_EQ(defaults.objectForKey("A").typeId(), QMetaType::LongLong);
    EXPECT_EQ(defaults.arrayForKey("L"), (QVariantList{"a", "b"}));
}

TEST_F(UserDefaultsTest, UnstorableValueIsRefusedAndKeepsTheOldOne)
{
    UserDefaults defaults(path());
    defaults.setInteger(1, "K");
    defaults.setObject(QVariant::fromValue(QPointF(1, 2)), "K");
    EXPECT_EQ(defaults.integerForKey("K"), 1);
    defaults.setObject(QVariantMap{{"bad", QVariant::fromValue(QPointF(1, 2))}}, "M");
    EXPECT_FALSE(defaults.objectForKey("M").isValid());
}

TEST_F(UserDefaultsTest, CorruptFileIsSetAsideAndRegisteredValuesApply)
{
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><plist><dict><key>Size</key><integer>9</inte");
    }
    UserDefaults defaults(path());
    defaults.registerDefaults({{"Size", qint64(12)}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(defaults.integerForKey("Size"), 12);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("set it aside"), std::string::npos) << log;
    const QStringList aside = QDir(m_dir.path()).entryList({"Prefs.plist.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(readAll(m_dir.path() + "/" + aside[0]).contains("<integer>9</inte"));
    // New settings go to a fresh file; the damaged one is kept.
    defaults.setInteger(5, "Size");
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults reread(path());
    EXPECT_EQ(reread.integerForKey("Size"), 5);
}

namespace {

// Text with every '@' made a NUL byte.
QByteArray withNul(const char *text)
{
    return QByteArray(text).replace('@', '\0');
}

struct UnreadableFile {
    const char *name;
    QByteArray content; // empty: a folder stands where the file should be
};

class UnreadableDefaultsFile : public testing::TestWithParam<UnreadableFile>
{
protected:
    QTemporaryDir m_dir;
};

// None of these may end the process: each file is set aside and the registered values apply.
TEST_P(UnreadableDefaultsFile, IsSetAsideAndRegisteredValuesApply)
{
    const QString path = m_dir.path() + "/Prefs.plist";
    if (GetParam().content.isEmpty()) {
        ASSERT_TRUE(QDir().mkpath(path));
    } else {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GetParam().content);
    }
    UserDefaults defaults(path);
    defaults.registerDefaults({{"Name", "factory"}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(defaults.stringForKey("Name"), "factory");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("set it aside"), std::string::npos) << log;
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(m_dir.path()).entryList({"Prefs.plist.corrupt-*"}, QDir::AllEntries).size(), 1);
    defaults.setObject(QString("mine"), "Name");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path).stringForKey("Name"), "mine");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableDefaultsFile,
    testing::Values(
        UnreadableFile{"NulInString", withNul("<?xml version=\"1.0\"?><plist version=\"1.0\">"
                                              "<dict><key>Name</key><string>a@b</string>"
                                              "</dict></plist>")},
        UnreadableFile{"NulInKey", withNul("<?xml version=\"1.0\"?><plist version=\"1.0\">"
                                           "<dict><key>N@</key><string>ab</string>"
                                           "</dict></plist>")},
        UnreadableFile{"DeepNesting", "<?xml version=\"1.0\"?><plist version=\"1.0\">"
                                          + QByteArray(5000, 'x').replace("x", "<array>")
                                          + QByteArray("</plist>")},
        UnreadableFile{"Folder", QByteArray()}),
    [](const auto &info) { return std::string(info.param.name); });

struct StoredNumber {
    const char *name;
    QVariant stored;
    qint64 expected;
};

class IntegerFromStoredNumber : public testing::TestWithParam<StoredNumber>
{
protected:
    QTemporaryDir m_dir;
};

// Converting these with a plain cast is undefined; they saturate instead.
TEST_P(IntegerFromStoredNumber, SaturatesAtTheEndsOfTheRange)
{
    UserDefaults defaults(m_dir.path() + "/Prefs.plist");
    defaults.registerDefaults({{"K", GetParam().stored}});
    EXPECT_EQ(defaults.integerForKey("K"), GetParam().expected);
}

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerFromStoredNumber,
    testing::Values(StoredNumber{"Infinity", std::numeric_limits<double>::infinity(), kMax},
                    StoredNumber{"MinusInfinity", -std::numeric_limits<double>::infinity(), kMin},
                    StoredNumber{"Huge", 1e300, kMax}, StoredNumber{"MinusHuge", -1e300, kMin},
                    StoredNumber{"TwoToThe63", 9223372036854775808.0, kMax},
                    StoredNumber{"NaN", std::numeric_limits<double>::quiet_NaN(), 0},
                    StoredNumber{"HugeText", QString("1e300"), kMax},
                    StoredNumber{"InfText", QString("-inf"), kMin},
                    StoredNumber{"Ordinary", -2.75, -2}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

TEST_F(UserDefaultsTest, NonDictionaryRootCountsAsCorrupt)
{
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*PropertyList::toXml(QVariantList{1, 2}));
    }
    UserDefaults defaults(path());
    defaults.registerDefaults({{"K", "r"}});
    EXPECT_EQ(defaults.stringForKey("K"), "r");
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(UserDefaultsTest, WriteIsAtomicAndLeavesNoTemporaryFiles)
{
    UserDefaults defaults(path());
    defaults.setObject(QString(100000, QChar('x')), "Big");
    ASSERT_TRUE(defaults.synchronize());
    defaults.setObject(QString("small"), "Big");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Prefs.plist"});
    EXPECT_EQ(UserDefaults(path()).stringForKey("Big"), "small");
}

TEST_F(UserDefaultsTest, UnwritableFolderReportsFailure)
{
    const QString blocker = m_dir.path() + "/file";
    QFile(blocker).open(QIODevice::WriteOnly);
    UserDefaults defaults(blocker + "/Prefs.plist");
    defaults.setInteger(1, "K");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(defaults.synchronize());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(defaults.integerForKey("K"), 1);
}

TEST_F(UserDefaultsTest, ChangesReachTheFileFromTheEventLoop)
{
    UserDefaults defaults(path());
    defaults.setInteger(7, "K");
    EXPECT_FALSE(QFile::exists(path()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFile::exists(path()));
    EXPECT_EQ(UserDefaults(path()).integerForKey("K"), 7);
}

TEST_F(UserDefaultsTest, ReloadReadsTheFileAgain)
{
    UserDefaults defaults(path());
    defaults.setInteger(7, "K");
    {
        UserDefaults other(path());
        other.reload();
        EXPECT_EQ(other.integerForKey("K"), 0);
    }
    defaults.synchronize();
    UserDefaults other(path());
    EXPECT_EQ(other.integerForKey("K"), 7);
}

TEST(StandardUserDefaults, LivesInTheConfigFolder)
{
    EXPECT_EQ(UserDefaults::standardUserDefaults().filePath(),
              QntPaths::configFolder() + "/Quintora.plist");
}
