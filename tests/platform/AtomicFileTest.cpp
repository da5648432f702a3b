#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
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
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.txt"});
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
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.txt"});
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
