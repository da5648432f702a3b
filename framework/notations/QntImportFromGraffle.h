#pragma once

#include "framework/base/VRTypes.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <utility>

// Reads and writes stencils in Quintora's own schema: an XML property list, optionally
// gzip-compressed (.plist, .gstencil), or a .graffle folder holding stencil.plist and the image
// files it names. Root: a sheet, or {"Sheets": [sheet…]}, with an optional "ImageList" (file
// names in the folder). Sheet: {"Title", "Objects": [object…]}. Object: {"Kind": "shape" | "line"
// | "group" | "text" | "image", "Name", "Frame": [x, y, w, h], "Shape": "rect" | "oval" |
// "roundrect" | "diamond" | "path", "Path" (SVG path data in frame coordinates), "Fill",
// "Stroke" ("#RRGGBBAA"), "StrokeWidth", "Text", "Font", "FontSize", "Image" (index into
// "ImageList"), "Objects" (groups)}. Unknown keys are ignored and unknown kinds skipped; files
// of other programs are refused with an error naming this schema. Reentrant.
class QntImportFromGraffle
{
public:
    static constexpr qint64 kMaximumBytes = qint64(32) * 1024 * 1024;
    static constexpr int kMaximumDepth = 32;
    static constexpr int kMaximumObjects = 10000;
    // All pictures of one stencil together, as 32-bit pixels 512 MiB.
    static constexpr qint64 kMaximumDecodedPixels = qint64(128) * 1024 * 1024;

    // The file the next readStencil() on this thread reads.
    static void setImportedFilepath(const QString &path);
    static QString importedFilepath();
    // What is supported, for messages that refuse a file.
    static QString supportedFormatDescription();

    // {"LastImportedFilename": the file's base name, sanitised; "Sheets"?; "ImageList"?, plus
    // the internal "ImageFolder"}. Fails, saying why, when the file is unreadable, not in our
    // schema or over a limit.
    VRResult<QVariantMap> readStencil();

    // The objects of one sheet (a reply without "Sheets" is one sheet).
    VRObjectList all(const QVariantMap &sheet) const;
    // Each object wrapped as a diagram element with a unique "…IMPORTED" id and its name as
    // tooltip; a group whose members carry texts becomes a group element of elements.
    VRObjectList all2Elements(const VRObjectList &objects) const;
    // A 64 × 64 PNG of the first object; empty when there is none.
    QByteArray imageData(const VRObjectList &objects) const;

    // Writes sheets (title, objects) in the schema. A path ending in ".graffle" is written as a
    // folder with stencil.plist and the pictures; ".gstencil" is gzip-compressed; anything else is
    // a plain XML property list. The file is replaced atomically.
    static VRResult<void> writeStencil(const QString &path,
                                       const QList<std::pair<QString, VRObjectList>> &sheets);

private:
    QString m_imageFolder;
    QStringList m_imageList;
    mutable QHash<int, QImage> m_decodedImages;
};
