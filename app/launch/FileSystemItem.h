#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One node of the notations library's folder tree, read from disk on first use. The root
// lists the notation groups; the user's "Imported" group comes last.
class FileSystemItem
{
public:
    FileSystemItem(const QString &relativePath, FileSystemItem *parent);
    virtual ~FileSystemItem();
    FileSystemItem(const FileSystemItem &) = delete;
    FileSystemItem &operator=(const FileSystemItem &) = delete;

    // The tree of the notations folder, folders only (one per process).
    static FileSystemItem *rootItem();

    QString relativePath() const { return m_relativePath; }
    FileSystemItem *parent() const { return m_parent; }
    QString fullPath() const;
    QString lastPathComponent() const;
    FileSystemItem *childAtIndex(int index);
    // -1 for a path that is not a folder, else the number of children.
    int numberOfChildren();
    // Forgets the children so the next question reads the disk again.
    void clean();
    bool foldersOnly() const { return m_foldersOnly; }
    void setFoldersOnly(bool only) { m_foldersOnly = only; }

protected:
    // The root of this node's tree.
    virtual const FileSystemItem *treeRoot() const;

private:
    void readChildren();

    QString m_relativePath;
    FileSystemItem *m_parent = nullptr;
    // Empty optional: not read yet; a null vector pointer marks a leaf.
    std::optional<std::unique_ptr<std::vector<std::unique_ptr<FileSystemItem>>>> m_children;
    bool m_foldersOnly = false;
};
