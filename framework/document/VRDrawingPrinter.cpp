#include "framework/document/VRDrawingPrinter.h"

#include "framework/model/VRDrawing.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {
// Rows and columns of pages at most: a drawing far larger than its paper is not cut into
// millions of pages.
constexpr int kMaximumPagesPerSide = 1000;
} // namespace

QList<QRectF> VRDrawingPrinter::pageRects(const VRDrawing &drawing, QSizeF imageable)
{
    const QRectF whole(QPointF(), drawing.drawingSize());
    if (whole.isEmpty())
        return {};
    if (drawing.paginationMode() == 1 || !(imageable.width() >= 1.0)
        || !(imageable.height() >= 1.0))
        return {whole};
    // A drawing a hair wider than whole pages does not start another column for it.
    const auto count = [](double length, double page) {
        return std::clamp(int(std::ceil(length / page - 1e-6)), 1, kMaximumPagesPerSide);
    };
    const int columns = count(whole.width(), imageable.width());
    const int rows = count(whole.height(), imageable.height());
    QList<QRectF> pages;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            pages.append(
                QRectF(QPointF(column * imageable.width(), row * imageable.height()), imageable)
                    .intersected(whole));
        }
    }
    return pages;
}

bool VRDrawingPrinter::print(const VRDrawing &drawing, QPrinter &printer)
{
    // One unit a point, as the drawing and its exports measure.
    printer.setResolution(72);
    const QRectF imageable = printer.pageLayout().paintRect(QPageLayout::Point);
    QList<QRectF> pages = pageRects(drawing, imageable.size());
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        const int first = printer.fromPage() - 1;
        const int last =
            std::min<int>(printer.toPage() > 0 ? printer.toPage() : first + 1, int(pages.size()));
        pages = first < last ? pages.mid(first, last - first) : QList<QRectF>();
    }
    if (pages.isEmpty())
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return false;
        }
        const QRectF part = pages.at(i);
        // The painter starts at the imageable area's top-left corner.
        const double fit =
            std::min({1.0, imageable.width() / part.width(), imageable.height() / part.height()});
        painter.save();
        painter.scale(fit, fit);
        painter.translate(-part.topLeft());
        drawing.render(painter, part, true, true);
        painter.restore();
    }
    return painter.end();
}
