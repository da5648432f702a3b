#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Replaces files and folders so that a crash or a power loss leaves either the old content or
// the new one, never a mix or nothing: new content is written beside its target and synced to
// the disk, then renamed (or swapped) into place, then the folder holding it is synced so the
// rename itself lasts. Failures answer the system's own reason ("No space left on device").
// Reentrant.
class AtomicFile
{
public:
    // Writes `data` to `path`. Nothing on success; otherwise the reason, with the previous file
    // untouched and no temporary file left behind. A new file gets the permissions the user's
    // umask gives; a replaced one keeps its own. A symbolic link stays: its target is replaced.
    static std::optional<QString> write(const QString &path, QByteArrayView data);

    // Syncs a file's data to the disk. Nothing on success.
    static std::optional<QString> syncFile(const QString &path);
    // Syncs the entries of a folder (after a rename or a new file in it). Nothing on success.
    static std::optional<QString> syncFolder(const QString &folder);
    // Syncs every file and folder inside `folder`, and the folder itself. Nothing on success.
    static std::optional<QString> syncTree(const QString &folder);

    // Puts the complete folder (or file) `replacement` in place of `path`, keeping what was at
    // `path` until the new one is there: an atomic exchange of the two names, so `path` always
    // exists. Afterwards `replacement` names the previous content (for the caller to remove);
    // if nothing was at `path`, the replacement is simply renamed. Syncs the parent folder.
    static std::optional<QString> replace(const QString &path, const QString &replacement);

    // The new content is written to a hidden file beside its target, named after it:
    // ".<name>.XXXXXX.quintora-partial" (six random letters or digits), held locked while it
    // is written. A write cut short (the process killed) leaves it behind; these find and
    // remove such leftovers, never anything else: only files of that exact form that no
    // running process holds locked. Each answers the paths it removed.
    static bool isTemporaryName(const QString &fileName, const QString &targetName = QString());
    // The leftovers of writes to `path` (a document the application knows of), beside it and,
    // for a symbolic link, beside the file it names.
    static QStringList removeLeftoversOf(const QString &path);
    // Every leftover in `folder` and its subfolders (the application's own folders).
    static QStringList removeLeftoversIn(const QString &folder);
};
