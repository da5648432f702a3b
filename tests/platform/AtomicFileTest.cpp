#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePlain(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

} // namespace

TEST(AtomicFile, WritesAndKeepsThePermissionsOfTheFileItReplaces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    ASSERT_FALSE(AtomicFile::write(path, "first"));
    EXPECT_EQ(readAll(path), "first");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_FALSE(AtomicFile::write(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
}

// A write that fails midway (here past the file-size limit, in a child so the limit stays there)
// names the system's reason and leaves the previous file as it was, with nothing beside it.
TEST(AtomicFile, FailedWriteSaysWhyAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    writePlain(path, "old content");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto error = AtomicFile::write(path, QByteArray(100000, 'x'));
        const QByteArray message = error ? error->toUtf8() : QByteArray("no error");
        [[maybe_unused]] const auto n = ::write(pipeFds[1], message.constData(), message.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char buffer[256] = {};
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(QByteArray(buffer, int(std::max<ssize_t>(n, 0))), "File too large");
    EXPECT_EQ(readAll(path), "old content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
}

TEST(AtomicFile, ALinkKeepsPointingAtTheReplacedFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("real.txt");
    const QString link = dir.filePath("link.txt");
    writePlain(target, "old");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_FALSE(AtomicFile::write(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(target), "new");
}

TEST(AtomicFile, MissingFolderIsReported)
{
    QTemporaryDir dir;
    const auto error = AtomicFile::write(dir.filePath("missing/a.txt"), "x");
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "No such file or directory");
}

// The folder at the path is swapped with the complete new one; the old one stays whole under
// the replacement's name until the caller removes it.
TEST(AtomicFile, ReplaceSwapsFoldersInOneStep)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shapes.graffle");
    const QString staging = dir.filePath("Shapes.graffle.new");
    ASSERT_TRUE(QDir().mkpath(staging));
    writePlain(staging + "/stencil.plist", "one");
    ASSERT_FALSE(AtomicFile::syncTree(staging));
    ASSERT_FALSE(AtomicFile::replace(path, staging)); // nothing there yet: a rename
    EXPECT_EQ(readAll(path + "/stencil.plist"), "one");
    EXPECT_FALSE(QFileInfo::exists(staging));

    ASSERT_TRUE(QDir().mkpath(staging));
    writePlain(staging + "/stencil.plist", "two");
    writePlain(staging + "/picture.png", "png");
    ASSERT_FALSE(AtomicFile::replace(path, staging));
    EXPECT_EQ(readAll(path + "/stencil.plist"), "two");
    EXPECT_EQ(readAll(path + "/picture.png"), "png");
    EXPECT_EQ(readAll(staging + "/stencil.plist"), "one");
}

namespace {

// Runs a write in a child that the file-size limit kills halfway, as a kill during a save
// would: what it leaves behind is a real leftover.
void killDuringWrite(const QString &path)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        AtomicFile::write(path, QByteArray(100000, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// A write cut short leaves one temporary file beside its target; the look for leftovers of
// that target removes it and nothing else: not the files of other targets, not names that
// only look alike, not a temporary file still being written.
TEST(AtomicFile, LeftoversOfAKilledWriteAreRemovedAndNothingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.quintora");
    writePlain(path, "saved");
    killDuringWrite(path);
    QStringList left = entries(dir.path());
    left.removeAll("doc.quintora");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(AtomicFile::isTemporaryName(left.first(), "doc.quintora"))
        << left.first().toStdString();

    const QStringList keep{
        "doc.quintora.backup",                     // the user's own copy
        "doc.quintora.Ab12Cd",                     // no mark
        ".doc.quintora.Ab1.quintora-partial",      // not six letters
        ".doc.quintora.Ab-2Cd.quintora-partial",   // not letters or digits
        ".other.quintora.Ab12Cd.quintora-partial", // another document's
        "doc.quintora.Ab12Cd.quintora-partial",    // not hidden
    };
    for (const QString &name : keep)
        writePlain(dir.filePath(name), "x");
    // A write under way holds its file locked.
    const QString busy = dir.filePath(".doc.quintora.Zz99zz.quintora-partial");
    writePlain(busy, "x");
    QFile held(busy);
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    const QStringList removed = AtomicFile::removeLeftoversOf(path);
    EXPECT_EQ(removed, QStringList{dir.filePath(left.first())});
    EXPECT_EQ(readAll(path), "saved");
    for (const QString &name : keep)
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
    EXPECT_TRUE(QFile::exists(busy));
    held.close();
    // Once its writer is gone it is a leftover too; in an own folder every leftover goes.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    writePlain(dir.filePath("sub/.x.plist.Qq11qQ.quintora-partial"), "x");
    const QStringList inFolder = AtomicFile::removeLeftoversIn(dir.path());
    EXPECT_EQ(inFolder.size(), 3) << inFolder.join(' ').toStdString();
    EXPECT_TRUE(inFolder.contains(busy));
    EXPECT_TRUE(inFolder.contains(dir.filePath(".other.quintora.Ab12Cd.quintora-partial")));
    for (const QString &name : keep.mid(0, 4) + keep.mid(5))
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
}

// Through a link the write happens beside the file it names; that is where the look goes too.
TEST(AtomicFile, LeftoversBesideTheTargetOfALinkAreFound)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("real"));
    const QString target = dir.filePath("real/doc.quintora");
    const QString link = dir.filePath("doc.quintora");
    writePlain(target, "saved");
    ASSERT_TRUE(QFile::link(target, link));
    killDuringWrite(link);
    EXPECT_EQ(entries(dir.filePath("real")).size(), 2);
    EXPECT_EQ(AtomicFile::removeLeftoversOf(link).size(), 1);
    EXPECT_EQ(entries(dir.filePath("real")), QStringList{"doc.quintora"});
}
