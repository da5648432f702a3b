#pragma once

#include "framework/notations/QntNotationSource.h"

#include <QString>
#include <QStringList>

// Turns notation sources (resources/notations/*.json) into notation databases. Used by the build
// (the notation compiler program) and by developer maintenance; never by a user action.
class QntNotationCompiler
{
public:
    // Every source of the folder into <outputFolder>/<its file>. Element ids must be unique across
    // all notations (the table and decorator elements every notation has aside). The written
    // paths, or the first problem; a failed run leaves earlier databases as they were.
    static VRResult<QStringList> compileAll(const QString &sourceFolder,
                                            const QString &outputFolder);
    // One source into one database file, replaced atomically.
    static VRResult<void> write(const QntNotationSource &source, const QString &databasePath);
    // The sources of a folder, sorted (the shared library folder "lib" is not one).
    static QStringList sourceFiles(const QString &sourceFolder);
};
