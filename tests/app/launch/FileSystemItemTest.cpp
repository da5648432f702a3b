#include "app/launch/FileSystemItem.h"
#include "app/launch/FileSystemItem2.h"
#include "common/FolderSetAside.h"
#include "framework/notations/QntNotation.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// The notations folder of this process is set aside while a test fills its place with folders
// of its own; then the shared tree forgets what it read meanwhile.
struct OwnNotationsFolder {
    ~OwnNotationsFolder() { FileSystemItem::rootItem()->clean(); }
    qnt::test::FolderSetAside aside{QntNotation::rootNotationsFolderPath().toStdString()};
};

} // namespace

TEST(FileSystemItem, ListsFoldersOnlyWithoutTheImageBankAndImportedLast)
{
    const OwnNotationsFolder own;
    const QString root = QntNotation::rootNotationsFolderPath();
    ASSERT_TRUE(QDir().mkpath(root + "/Basic/Empty"));
    ASSERT_TRUE(QDir().mkpath(root + "/ImageBank"));
    ASSERT_TRUE(QDir().mkpath(root + "/Zoo"));
    QFile(root + "/Basic/Flow.db").open(QIODevice::WriteOnly);
    QFile(root + "/loose.db").open(QIODevice::WriteOnly);

    FileSystemItem *tree = FileSystemItem::rootItem();
    tree->clean();
    ASSERT_EQ(tree->numberOfChildren(), 3);
    EXPECT_EQ(tree->childAtIndex(0)->lastPathComponent(), "Basic");
    EXPECT_EQ(tree->childAtIndex(1)->lastPathComponent(), "Zoo");
    EXPECT_EQ(tree->childAtIndex(2)->lastPathComponent(), "Imported");
    EXPECT_EQ(tree->childAtIndex(2)->fullPath(), QDir::cleanPath(root + "/Imported"));
    EXPECT_EQ(tree->childAtIndex(3), nullptr);
    FileSystemItem *basic = tree->childAtIndex(0);
    ASSERT_EQ(basic->numberOfChildren(), 1); // the database is a file: folders only
    EXPECT_EQ(basic->childAtIndex(0)->numberOfChildren(), 0);

    // A new folder appears after clean().
    ASSERT_TRUE(QDir().mkpath(root + "/Added"));
    EXPECT_EQ(tree->numberOfChildren(), 3);
    tree->clean();
    EXPECT_EQ(tree->numberOfChildren(), 4);

    FileSystemItem leaf(root + "/loose.db", nullptr);
    EXPECT_EQ(leaf.numberOfChildren(), -1);
}

TEST(FileSystemItem, AFileInThePlaceOfTheImportedFolderIsMovedAsideNotDeleted)
{
    const OwnNotationsFolder own;
    const QString root = QntNotation::rootNotationsFolderPath();
    ASSERT_TRUE(QDir().mkpath(root));
    QFile blocker(root + "/Imported");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("the user's own file");
    blocker.close();
    ASSERT_TRUE(FileSystemItem2::ensureImportedFolder());
    EXPECT_TRUE(QFileInfo(root + "/Imported").isDir());
    const QStringList aside = QDir(root).entryList({"Imported (moved aside*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(root + "/" + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the user's own file");
}
