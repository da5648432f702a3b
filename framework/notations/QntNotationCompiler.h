#pragma once

#include "framework/notations/QntNotationSource.h"

#include <QString>
#include <QStringList>

#include <optional>

// Turns notation sources (resources/notations/*.json) into notation databases. Used by the build
// (the notation compiler program) and by developer maintenance; never by a user action.
class QntNotationCompiler
{
public:
    // Every source of the folder into <outputFolder>/<its file>. Element ids must be unique across
    // all notations (the table and decorator elements every notation has aside). The written
    // paths, or nullopt with the first problem in errorMessage; a failed run leaves earlier
    // databases as they were.
    static std::optional<QStringList> compileAll(const QString &sourceFolder,
                                                 const QString &outputFolder,
                                                 QString *errorMessage = nullptr);
    // One source into one database file, replaced atomically.
    static bool write(const QntNotationSource &source, const QString &databasePath,
                      QString *errorMessage = nullptr);
    // The sources of a folder, sorted (the shared library folder "lib" is not one).
    static QStringList sourceFiles(const QString &sourceFolder);
};
