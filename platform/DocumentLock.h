#pragma once

#include <QString>

#include <optional>

// A lock file beside an open document (".<name>.quintora-lock"), so a copy of the program in
// another login learns that the document is open before it opens it too. The file names the
// process that holds it; a lock of a process that has ended (on this machine, also before a
// restart) is stale and is ignored and replaced. Locks of other machines are taken as live.
class DocumentLock
{
public:
    struct Holder {
        qint64 pid = 0;
        QString host;
        QString user;
        // "user on host (process N)".
        QString description() const;
    };

    // Takes the lock of the document; isHeld() says whether it was taken (not when another
    // live process holds it, or the folder cannot be written).
    explicit DocumentLock(const QString &documentPath);
    // Removes the lock file it holds.
    ~DocumentLock();
    DocumentLock(const DocumentLock &) = delete;
    DocumentLock &operator=(const DocumentLock &) = delete;

    bool isHeld() const { return m_held; }
    QString documentPath() const { return m_documentPath; }

    static QString lockPathFor(const QString &documentPath);
    // The live process other than this one that holds the document's lock, if any.
    static std::optional<Holder> holderElsewhere(const QString &documentPath);

private:
    QString m_documentPath;
    QString m_lockPath;
    bool m_held = false;
};
