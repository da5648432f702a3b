#pragma once

#include <QByteArray>

class QImage;

// Writes an image as an Adam7-interlaced PNG file (Qt's own PNG writer cannot interlace).
// Keeps the alpha channel when the image has one and records the image's resolution. Empty
// when the image is null or the encoder fails. Any thread.
QByteArray VRInterlacedPNGData(const QImage &image);
