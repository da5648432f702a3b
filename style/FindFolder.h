#pragma once

#include "framework/base/VRTypes.h"

#include <QByteArray>
#include <QString>

// Free file names and files written under them.
class FindFolder
{
public:
    // The name itself when no such file is in the folder, else "<base> 1.<ext>", "<base> 2.<ext>"
    // ... up to 998; fails when all of them are taken.
    static VRResult<QString> uniqueFilenameForFilename(const QString &filename,
                                                       const QString &folder);
    // Writes the data to a new file under the first free name in the folder; the full path.
    static VRResult<QString> writeContentsToUniqueFile(const QByteArray &data,
                                                       const QString &filename,
                                                       const QString &folder);
    // The same in the application's folder of temporary files (made when missing).
    static VRResult<QString> writeContentsToUniqueTemporaryFile(const QByteArray &data,
                                                                const QString &filename);
    static QString temporaryFolder();
};
