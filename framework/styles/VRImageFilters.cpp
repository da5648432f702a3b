#include "framework/styles/VRImageFilters.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One box pass along rows (horizontal) or columns, with clamped edges.
void boxPass(QImage &image, int radius, bool horizontal)
{
    const int width = image.width();
    const int height = image.height();
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int window = radius * 2 + 1;
    std::vector<quint32> line(static_cast<size_t>(length));
    for (int l = 0; l < lines; ++l) {
        auto pixel = [&](int i) -> QRgb & {
            return horizontal ? reinterpret_cast<QRgb *>(image.scanLine(l))[i]
                              : reinterpret_cast<QRgb *>(image.scanLine(i))[l];
        };
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = pixel(i);
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            const quint32 p = line[static_cast<size_t>(std::clamp(i, 0, length - 1))];
            sum[0] += sign * static_cast<int>((p >> 24) & 0xff);
            sum[1] += sign * static_cast<int>((p >> 16) & 0xff);
            sum[2] += sign * static_cast<int>((p >> 8) & 0xff);
            sum[3] += sign * static_cast<int>(p & 0xff);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            pixel(i) = (static_cast<quint32>(sum[0] / window) << 24)
                       | (static_cast<quint32>(sum[1] / window) << 16)
                       | (static_cast<quint32>(sum[2] / window) << 8)
                       | static_cast<quint32>(sum[3] / window);
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}

template <typename F>
void forEachPixel(QImage &image, F f)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = f(row[x]);
    }
}

int clampByte(double v)
{
    return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

} // namespace

void VRImageFilters::blur(QImage &image, double radius)
{
    if (!(radius >= 0.5) || image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int box = std::max(1, static_cast<int>(std::lround(radius / 3.0 * 1.7)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(image, box, true);
        boxPass(image, box, false);
    }
}

void VRImageFilters::greyscale(QImage &image)
{
    forEachPixel(image, [](QRgb p) {
        const int g = clampByte(qRed(p) * 0.299 + qGreen(p) * 0.587 + qBlue(p) * 0.114);
        return qRgba(g, g, g, qAlpha(p));
    });
}

void VRImageFilters::invert(QImage &image)
{
    // Premultiplied: the inverse of c is alpha - c.
    forEachPixel(image, [](QRgb p) {
        const int a = qAlpha(p);
        return qRgba(a - qRed(p), a - qGreen(p), a - qBlue(p), a);
    });
}

void VRImageFilters::sepia(QImage &image)
{
    forEachPixel(image, [](QRgb p) {
        const int a = qAlpha(p);
        const double r = qRed(p), g = qGreen(p), b = qBlue(p);
        return qRgba(std::min(a, clampByte(r * 0.393 + g * 0.769 + b * 0.189)),
                     std::min(a, clampByte(r * 0.349 + g * 0.686 + b * 0.168)),
                     std::min(a, clampByte(r * 0.272 + g * 0.534 + b * 0.131)), a);
    });
}

void VRImageFilters::posterize(QImage &image, int levels)
{
    levels = std::clamp(levels, 2, 64);
    forEachPixel(image, [levels](QRgb p) {
        const int a = qAlpha(p);
        if (a == 0)
            return p;
        auto step = [&](int c) {
            const double straight = c * 255.0 / a;
            const double q = std::round(straight / 255.0 * (levels - 1)) / (levels - 1) * 255.0;
            return clampByte(q * a / 255.0);
        };
        return qRgba(step(qRed(p)), step(qGreen(p)), step(qBlue(p)), a);
    });
}

void VRImageFilters::sharpen(QImage &image)
{
    if (image.isNull())
        return;
    const QImage source = image;
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        const auto *row = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        const auto *up = reinterpret_cast<const QRgb *>(source.constScanLine(std::max(0, y - 1)));
        const auto *down = reinterpret_cast<const QRgb *>(source.constScanLine(std::min(h - 1, y + 1)));
        for (int x = 0; x < w; ++x) {
            const QRgb c = row[x], l = row[std::max(0, x - 1)], r = row[std::min(w - 1, x + 1)];
            const QRgb u = up[x], d = down[x];
            const int a = qAlpha(c);
            auto k = [&](int (*ch)(QRgb)) {
                return std::min(a, clampByte(5.0 * ch(c) - ch(l) - ch(r) - ch(u) - ch(d)));
            };
            out[x] = qRgba(k(qRed), k(qGreen), k(qBlue), a);
        }
    }
}

bool VRImageFilters::apply(const QString &filterName, QImage &image, double pixelScale)
{
    if (filterName == QLatin1String("VRBlur"))
        blur(image, 4.0 * pixelScale);
    else if (filterName == QLatin1String("VRGreyscale"))
        greyscale(image);
    else if (filterName == QLatin1String("VRInvert"))
        invert(image);
    else if (filterName == QLatin1String("VRSepia"))
        sepia(image);
    else if (filterName == QLatin1String("VRPosterize"))
        posterize(image);
    else if (filterName == QLatin1String("VRSharpen"))
        sharpen(image);
    else
        return false;
    return true;
}
