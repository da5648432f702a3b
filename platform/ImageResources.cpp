#include "platform/ImageResources.h"

#include "platform/QntPaths.h"

#include <QFileInfo>

QString ImageResources::pathForImageResource(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1String("..")))
        return {};
    const QString root = QntPaths::bundleResourcesPath();
    const QStringList folders{root, root + QStringLiteral("/Images")};
    const QStringList suffixes =
        QFileInfo(name).suffix().isEmpty()
            ? QStringList{QStringLiteral(".png"), QStringLiteral(".tiff"), QStringLiteral(".tif"),
                          QStringLiteral(".svg"), QStringLiteral(".jpg")}
            : QStringList{QString()};
    for (const QString &folder : folders) {
        for (const QString &suffix : suffixes) {
            const QString path = folder + QLatin1Char('/') + name + suffix;
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return {};
}

QIcon ImageResources::imageNamed(const QString &name)
{
    const QString path = pathForImageResource(name);
    return path.isEmpty() ? QIcon() : QIcon(path);
}
