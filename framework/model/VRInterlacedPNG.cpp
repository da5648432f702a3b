#include "framework/model/VRInterlacedPNG.h"

#include <QImage>

#include <png.h>

#include <csetjmp>
#include <vector>

namespace {

void appendToBuffer(png_structp png, png_bytep data, png_size_t length)
{
    auto *out = static_cast<QByteArray *>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char *>(data), qsizetype(length));
}

void flushNothing(png_structp)
{
}

// Everything that outlives a libpng error jump is made before the jump point, so the jump
// skips no destructor.
bool encode(const QImage &pixels, bool alpha, std::vector<png_bytep> &rows, QByteArray &out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, appendToBuffer, flushNothing);
    png_set_IHDR(png, info, png_uint_32(pixels.width()), png_uint_32(pixels.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (pixels.dotsPerMeterX() > 0 && pixels.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, png_uint_32(pixels.dotsPerMeterX()),
                     png_uint_32(pixels.dotsPerMeterY()), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    // The passes are made from the whole image, so every pass gets every row.
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        png_write_rows(png, rows.data(), png_uint_32(rows.size()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

QByteArray VRInterlacedPNGData(const QImage &image)
{
    if (image.isNull())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (pixels.isNull())
        return {};
    std::vector<png_bytep> rows(size_t(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y)
        rows[size_t(y)] = const_cast<png_bytep>(pixels.constScanLine(y));
    QByteArray out;
    if (!encode(pixels, alpha, rows, out))
        return {};
    return out;
}
