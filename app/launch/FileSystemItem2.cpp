#include "app/launch/FileSystemItem2.h"

#include "framework/notations/QntNotation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFileSystemItem, "quintora.startup.folders")

bool FileSystemItem2::ensureImportedFolder()
{
    const QString folder = QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/Imported");
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        const QString aside =
            folder
            + QStringLiteral(" (moved aside %1)")
                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        if (!QFile::rename(folder, aside)) {
            qCWarning(lcFileSystemItem) << "cannot move" << folder << "aside";
            return false;
        }
        qCWarning(lcFileSystemItem) << "moved the file" << folder << "aside to" << aside;
    }
    return QDir().mkpath(folder);
}

FileSystemItem2 *FileSystemItem2::rootItem()
{
    static FileSystemItem2 *root = [] {
        auto *item = new FileSystemItem2(QntNotation::rootNotationsSrcFolderPath(), nullptr);
        item->setFoldersOnly(true);
        return item;
    }();
    ensureImportedFolder();
    return root;
}

const FileSystemItem *FileSystemItem2::treeRoot() const
{
    return rootItem();
}
