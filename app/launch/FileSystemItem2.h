#pragma once

#include "app/launch/FileSystemItem.h"

// A node of the tree of the user's own notation folders, whose root guarantees the
// "Imported" folder exists.
class FileSystemItem2 : public FileSystemItem
{
public:
    using FileSystemItem::FileSystemItem;

    static FileSystemItem2 *rootItem();
    // Makes the Imported folder; a file standing in its way is renamed aside, never deleted.
    static bool ensureImportedFolder();

protected:
    const FileSystemItem *treeRoot() const override;
};
