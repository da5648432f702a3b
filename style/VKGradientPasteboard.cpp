#include "style/VKGradientPasteboard.h"

#include "framework/styles/VRPlistCoder.h"
#include "style/FindFolder.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

const QString VKGradientPasteboard::kGradientPasteboardType =
    QStringLiteral("application/x-quintora-gradient");
const QString VKGradientPasteboard::kGradientFileExtension = QStringLiteral("gradient");
const QString VKGradientPasteboard::kDefaultGradientFileName =
    QStringLiteral("untitled gradient.gradient");

namespace {
QSizeF g_imageSize(256, 256);
const QString kFileNamesType = QStringLiteral("text/uri-list");
// No gradient property list comes near this size.
constexpr qsizetype kMaxPasteboardData = 16 * 1024 * 1024;
} // namespace

QStringList VKGradientPasteboard::readablePasteboardTypes()
{
    return {kGradientPasteboardType, kFileNamesType};
}

QStringList VKGradientPasteboard::writablePasteboardTypes()
{
    return {kGradientPasteboardType};
}

void VKGradientPasteboard::setPasteboardImageSize(QSizeF size)
{
    if (size.isValid() && !size.isEmpty())
        g_imageSize = size;
}

QSizeF VKGradientPasteboard::pasteboardImageSize()
{
    return g_imageSize;
}

bool VKGradientPasteboard::canInitalizeFromPasteboard(const QMimeData *data)
{
    if (!data)
        return false;
    if (data->hasFormat(kGradientPasteboardType))
        return true;
    const QList<QUrl> urls = data->urls();
    return urls.size() == 1 && urls.first().isLocalFile()
           && QFileInfo(urls.first().toLocalFile()).suffix() == kGradientFileExtension;
}

VRResult<VRGradientRef> VKGradientPasteboard::gradientWithPasteboard(const QMimeData *data)
{
    if (!data)
        return VRError{QStringLiteral("There is no gradient to read.")};
    if (data->hasFormat(kGradientPasteboardType)) {
        const QByteArray bytes = data->data(kGradientPasteboardType);
        if (bytes.size() > kMaxPasteboardData)
            return VRError{QStringLiteral("The gradient on the clipboard is too large.")};
        const VRResult<QVariantMap> plist = VRPlistCoder::dictionaryFromData(bytes);
        if (!plist)
            return VRError{plist.errorMessage()};
        return VRGradient::gradientWithPlist(*plist);
    }
    if (!data->hasUrls())
        return VRError{QStringLiteral("There is no gradient to read.")};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1)
        return VRError{QStringLiteral("Only one gradient file can be dropped at a time.")};
    const QString path = urls.first().toLocalFile();
    // The extension must be exactly ".gradient".
    if (!urls.first().isLocalFile() || QFileInfo(path).suffix() != kGradientFileExtension)
        return VRError{QStringLiteral("\"%1\" is not a gradient file.")
                           .arg(urls.first().toDisplayString(QUrl::PreferLocalFile))};
    return VRGradient::gradientWithContentsOfFile(path);
}

void VKGradientPasteboard::writeImageToPasteboard(const VRGradient &gradient, QMimeData &data,
                                                  bool bordered)
{
    const QSizeF size = bordered ? QSizeF(128, 128) : g_imageSize;
    data.setImageData(gradient.swatchImageWithSize(size, bordered));
}

bool VKGradientPasteboard::writeToPasteboard(const VRGradient &gradient, QMimeData &data)
{
    const QByteArray file = gradient.fileRepresentation();
    if (file.isEmpty())
        return false;
    data.setData(kGradientPasteboardType, file);
    writeImageToPasteboard(gradient, data, false);
    return true;
}

VRResult<void> VKGradientPasteboard::writeFileToPasteboard(const VRGradient &gradient,
                                                           QMimeData &data)
{
    if (!writeToPasteboard(gradient, data))
        return VRError{QStringLiteral("The gradient could not be written.")};
    const VRResult<QString> path = FindFolder::writeContentsToUniqueTemporaryFile(
        gradient.fileRepresentation(), kDefaultGradientFileName);
    if (!path)
        return VRError{path.errorMessage()};
    data.setUrls({QUrl::fromLocalFile(*path)});
    return {};
}

VRResult<QString> VKGradientPasteboard::writeToUniqueFileInFolder(const VRGradient &gradient,
                                                                  const QString &folder)
{
    return FindFolder::writeContentsToUniqueFile(gradient.fileRepresentation(),
                                                 kDefaultGradientFileName, folder);
}
