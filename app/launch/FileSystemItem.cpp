#include "app/launch/FileSystemItem.h"

#include "app/launch/FileSystemItem2.h"
#include "framework/notations/QntNotation.h"

#include <QDir>
#include <QFileInfo>

FileSystemItem::FileSystemItem(const QString &relativePath, FileSystemItem *parent)
    : m_relativePath(relativePath)
    , m_parent(parent)
{
}

FileSystemItem::~FileSystemItem() = default;

FileSystemItem *FileSystemItem::rootItem()
{
    static FileSystemItem *root = [] {
        auto *item = new FileSystemItem(QntNotation::rootNotationsFolderPath(), nullptr);
        item->setFoldersOnly(true);
        return item;
    }();
    return root;
}

const FileSystemItem *FileSystemItem::treeRoot() const
{
    return rootItem();
}

QString FileSystemItem::fullPath() const
{
    if (!m_parent)
        return m_relativePath;
    return QDir::cleanPath(m_parent->fullPath() + QLatin1Char('/') + m_relativePath);
}

QString FileSystemItem::lastPathComponent() const
{
    return QFileInfo(QDir::cleanPath(fullPath())).fileName();
}

void FileSystemItem::clean()
{
    m_children.reset();
}

int FileSystemItem::numberOfChildren()
{
    readChildren();
    if (!*m_children)
        return -1;
    return int((*m_children)->size());
}

FileSystemItem *FileSystemItem::childAtIndex(int index)
{
    readChildren();
    if (!*m_children || index < 0 || index >= int((*m_children)->size()))
        return nullptr;
    return (**m_children)[size_t(index)].get();
}

void FileSystemItem::readChildren()
{
    if (m_children)
        return;
    const QString path = fullPath();
    if (!QFileInfo(path).isDir()) {
        m_children = std::unique_ptr<std::vector<std::unique_ptr<FileSystemItem>>>();
        return;
    }
    auto children = std::make_unique<std::vector<std::unique_ptr<FileSystemItem>>>();
    const bool foldersOnly = treeRoot() && treeRoot()->foldersOnly();
    const bool isMainRoot = this == rootItem();
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                                           QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (foldersOnly && !entry.isDir())
            continue;
        if (entry.fileName() == QLatin1String("ImageBank"))
            continue;
        // The user's Imported folder lives inside the library here; it is listed once, last.
        if (isMainRoot && entry.fileName() == QLatin1String("Imported"))
            continue;
        children->push_back(std::make_unique<FileSystemItem>(entry.fileName(), this));
    }
    if (isMainRoot) {
        FileSystemItem2::ensureImportedFolder();
        children->push_back(std::make_unique<FileSystemItem2>(QStringLiteral("/Imported/"),
                                                              FileSystemItem2::rootItem()));
    }
    m_children = std::move(children);
}
