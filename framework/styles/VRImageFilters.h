#pragma once

#include <QImage>
#include <QString>

// The pixel filters of effect groups and shadows, on premultiplied ARGB images in place.
class VRImageFilters
{
public:
    // Gaussian-like blur (three box passes); radius in pixels.
    static void blur(QImage &image, double radius);
    static void greyscale(QImage &image);
    static void invert(QImage &image);
    static void sepia(QImage &image);
    static void posterize(QImage &image, int levels = 4);
    static void sharpen(QImage &image);

    // Applies a filter by its name ("VRBlur", ...); false for an unknown name.
    static bool apply(const QString &filterName, QImage &image, double pixelScale);
};
