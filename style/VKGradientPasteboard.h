#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRGradient.h"

#include <QSizeF>
#include <QStringList>

class QMimeData;

// How a gradient goes onto the clipboard and into drags, and how one is read back: our own
// type carries the gradient's property list, which reads back into nothing but a gradient and
// its colour stops; a single dropped ".gradient" file is read the same way. A picture of the
// gradient goes along for other programs.
class VKGradientPasteboard
{
public:
    static const QString kGradientPasteboardType;
    static const QString kGradientFileExtension;
    static const QString kDefaultGradientFileName;

    // Our own type, then file names.
    static QStringList readablePasteboardTypes();
    static QStringList writablePasteboardTypes();
    // Whether the data offers our type or exactly one file ending in ".gradient".
    static bool canInitalizeFromPasteboard(const QMimeData *data);
    // The gradient the data holds; fails with the reason (nothing readable, two files, another
    // extension, a damaged or foreign file).
    static VRResult<VRGradientRef> gradientWithPasteboard(const QMimeData *data);

    // The size of the picture put beside the gradient (256 x 256 unless changed).
    static void setPasteboardImageSize(QSizeF size);
    static QSizeF pasteboardImageSize();

    // Copy: our type and a picture.
    static bool writeToPasteboard(const VRGradient &gradient, QMimeData &data);
    // Drag: our type, a picture and a ".gradient" file under a free name for file managers.
    static VRResult<void> writeFileToPasteboard(const VRGradient &gradient, QMimeData &data);
    // The picture alone (with a border: 128 x 128).
    static void writeImageToPasteboard(const VRGradient &gradient, QMimeData &data, bool bordered);
    // Writes the gradient to a new file named from "untitled gradient.gradient" in the folder.
    static VRResult<QString> writeToUniqueFileInFolder(const VRGradient &gradient,
                                                       const QString &folder);
};
