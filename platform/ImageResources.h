#pragma once

#include <QIcon>
#include <QString>

// Images shipped with the application, found by name in its resources folder.
class ImageResources
{
public:
    // <resources>/<name>, or <resources>/Images/<name>, trying the usual picture suffixes
    // when the name has none; empty when there is no such file.
    static QString pathForImageResource(const QString &name);
    // An image that refers to the file (loaded when drawn); null when there is no file.
    static QIcon imageNamed(const QString &name);
};
