#include "platform/ImageResources.h"

#include "platform/QntPaths.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace {

// Reads its picture file on the first question about the icon.
class FileIconEngine : public QIconEngine
{
public:
    explicit FileIconEngine(const QString &path)
        : m_path(path)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("QntFileIconEngine"); }
    QIconEngine *clone() const override
    {
        auto *copy = new FileIconEngine(m_path);
        copy->m_icon = m_icon;
        copy->m_read = m_read;
        return copy;
    }

private:
    const QIcon &icon()
    {
        if (!m_read) {
            m_read = true;
            m_icon = ImageResources::iconFromFiles({m_path});
        }
        return m_icon;
    }

    QString m_path;
    QIcon m_icon;
    bool m_read = false;
};

} // namespace

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

QImage ImageResources::readImage(const QString &path)
{
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!format.isEmpty()) {
        QImageReader reader(path, format);
        reader.setAutoDetectImageFormat(false);
        QImage image;
        if (reader.read(&image))
            return image;
    }
    return QImage(path);
}

QImage ImageResources::imageFromData(const QByteArray &data, const char *format)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    if (format && *format && buffer.open(QIODevice::ReadOnly)) {
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        QImage image;
        if (reader.read(&image))
            return image;
    }
    return QImage::fromData(data);
}

QIcon ImageResources::iconFromFileWhenUsed(const QString &path)
{
    return QIcon(new FileIconEngine(path));
}

QIcon ImageResources::iconFromFiles(const QStringList &paths, const QStringList &openPaths)
{
    QIcon icon;
    for (const auto &[files, state] : {std::pair{&paths, QIcon::Off}, {&openPaths, QIcon::On}}) {
        for (const QString &path : *files) {
            const QImage image = readImage(path);
            if (!image.isNull())
                icon.addPixmap(QPixmap::fromImage(image), QIcon::Normal, state);
        }
    }
    return icon;
}
