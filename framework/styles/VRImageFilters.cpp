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
    // Raw access: scanLine() on a non-const image checks for sharing on every call.
    auto *bits = reinterpret_cast<QRgb *>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    const qsizetype along = horizontal ? 1 : stride;
    const qsizetype across = horizontal ? stride : 1;
    // The line, padded with its edge pixels so the window never needs clamping.
    std::vector<quint32> padded(static_cast<size_t>(length + 2 * radius + 2));
    for (int l = 0; l < lines; ++l) {
        QRgb *first = bits + l * across;
        quint32 *p = padded.data();
        for (int i = 0; i < radius; ++i)
            *p++ = first[0];
        for (int i = 0; i < length; ++i)
            *p++ = first[i * along];
        for (int i = 0; i <= radius + 1; ++i)
            *p++ = first[(length - 1) * along];
        int a = 0, r = 0, g = 0, b = 0;
        const quint32 *in = padded.data();
        for (int i = 0; i < window; ++i) {
            a += in[i] >> 24;
            r += (in[i] >> 16) & 0xff;
            g += (in[i] >> 8) & 0xff;
            b += in[i] & 0xff;
        }
        for (int i = 0; i < length; ++i) {
            first[i * along] =
                (static_cast<quint32>(a / window) << 24) | (static_cast<quint32>(r / window) << 16)
                | (static_cast<quint32>(g / window) << 8) | static_cast<quint32>(b / window);
            const quint32 out = in[i];
            const quint32 next = in[i + window];
            a += static_cast<int>(next >> 24) - static_cast<int>(out >> 24);
            r += static_cast<int>((next >> 16) & 0xff) - static_cast<int>((out >> 16) & 0xff);
            g += static_cast<int>((next >> 8) & 0xff) - static_cast<int>((out >> 8) & 0xff);
            b += static_cast<int>(next & 0xff) - static_cast<int>(out & 0xff);
        }
    }
}

template <typename F> void forEachPixel(QImage &image, F f)
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
        const auto *down =
            reinterpret_cast<const QRgb *>(source.constScanLine(std::min(h - 1, y + 1)));
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
