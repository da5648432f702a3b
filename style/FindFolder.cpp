#include "style/FindFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {
constexpr int kMaxSuffix = 999;
}

VRResult<QString> FindFolder::uniqueFilenameForFilename(const QString &filename,
                                                        const QString &folder)
{
    const QFileInfo info(filename);
    const QString base = info.completeBaseName();
    const QString extension =
        info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QDir dir(folder);
    for (int n = 0; n < kMaxSuffix; ++n) {
        const QString candidate =
            (n == 0 ? base : QStringLiteral("%1 %2").arg(base).arg(n)) + extension;
        if (!QFileInfo::exists(dir.filePath(candidate)))
            return candidate;
    }
    return VRError{QStringLiteral("The folder \"%1\" already holds %2 files named like \"%3\".")
                       .arg(QDir::toNativeSeparators(folder))
                       .arg(kMaxSuffix)
                       .arg(filename)};
}

VRResult<QString> FindFolder::writeContentsToUniqueFile(const QByteArray &data,
                                                        const QString &filename,
                                                        const QString &folder)
{
    const VRResult<QString> name = uniqueFilenameForFilename(filename, folder);
    if (!name)
        return name;
    const QString path = QDir(folder).filePath(*name);
    QFile file(path);
    // NewOnly: a file made meanwhile under the same name is never overwritten.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(data) != data.size()
        || !file.flush()) {
        const QString why = file.errorString();
        if (file.isOpen()) {
            file.close();
            file.remove();
        }
        return VRError{QStringLiteral("The file \"%1\" could not be created: %2")
                           .arg(QDir::toNativeSeparators(path), why)};
    }
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

QString FindFolder::temporaryFolder()
{
    // One folder per user: names stay free of other users' files.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("Quintora-gradients-%1").arg(::getuid()));
}

VRResult<QString> FindFolder::writeContentsToUniqueTemporaryFile(const QByteArray &data,
                                                                 const QString &filename)
{
    const QString folder = temporaryFolder();
    if (!QDir().mkpath(folder))
        return VRError{QStringLiteral("The folder \"%1\" could not be made.").arg(folder)};
    return writeContentsToUniqueFile(data, filename, folder);
}
