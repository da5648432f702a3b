#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
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

    // A picture file read as the format its name says. Asking Qt to find out the format loads
    // every image-format plugin installed (a dozen libraries) to ask each of them: only a file
    // whose name does not say what it holds is read that way. Null when it cannot be read.
    static QImage readImage(const QString &path);
    // A picture in memory, read as the given format (e.g. "png") first, then as any other.
    static QImage imageFromData(const QByteArray &data, const char *format);
    // An icon of the picture files (one per size), read as readImage() reads them; the open
    // ones are its pictures for the open state (an expanded folder's).
    static QIcon iconFromFiles(const QStringList &paths, const QStringList &openPaths = {});
    // The same icon of one picture file, read only when it is first drawn or measured: an
    // icon that may never be shown (the application's, on a platform that draws no window
    // icons) costs nothing until then.
    static QIcon iconFromFileWhenUsed(const QString &path);
};
