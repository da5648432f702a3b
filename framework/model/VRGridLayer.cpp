#include "framework/model/VRGridLayer.h"

#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"

#include <QPainter>

#include <cmath>
#include <cstring>

VR_CLASS_IMPL(VRGridLayer, VRLayer)

VRGridLayer::VRGridLayer()
{
    setName(QStringLiteral("Grid"));
    setShouldDrawToPrinter(false);
}

void VRGridLayer::setRulerSteps(int steps)
{
    if (steps > 0)
        m_rulerSteps = steps;
}

void VRGridLayer::setGridThemeColour(const QColor &colour)
{
    if (!colour.isValid() || colour == m_colour)
        return;
    recordLayerUndo(
        "setGridThemeColour:", QStringLiteral("Change Grid Colour"),
        [old = m_colour](VRLayer &l) { static_cast<VRGridLayer &>(l).setGridThemeColour(old); });
    m_colour = colour;
    setNeedsDisplay();
}

bool VRGridLayer::setDistanceForUnitSpan(double pointsPerUnit, const QString &, double span,
                                         int divisions, int majors, int rulerSteps)
{
    if (!(pointsPerUnit > 0) || !(span > 0) || !std::isfinite(pointsPerUnit) || !std::isfinite(span)
        || divisions <= 0 || majors <= 0 || rulerSteps <= 0 || pointsPerUnit * span > 1e7)
        return false;
    const double oldUnit = m_unitDistance, oldSpan = m_span;
    const int oldDivisions = m_divisions, oldMajors = m_majors, oldSteps = m_rulerSteps;
    recordLayerUndo("setDistanceForUnitSpan:", QStringLiteral("Change Grid"), [=](VRLayer &l) {
        static_cast<VRGridLayer &>(l).setDistanceForUnitSpan(oldUnit, QString(), oldSpan,
                                                             oldDivisions, oldMajors, oldSteps);
    });
    m_unitDistance = pointsPerUnit;
    m_span = span;
    m_spanDistance = pointsPerUnit * span;
    m_divisions = divisions;
    m_majors = majors;
    m_rulerSteps = rulerSteps;
    setNeedsDisplay();
    return true;
}

QPointF VRGridLayer::pointForGridLocation(QPointF g) const
{
    const VRDrawing *d = drawing();
    const QPointF origin = d ? QPointF(d->leftMargin(), d->topMargin()) : QPointF();
    const double factor = d ? d->unitToPointsConversionFactor() : m_unitDistance;
    return origin + g * factor;
}

QPointF VRGridLayer::gridLocationForPoint(QPointF p) const
{
    const VRDrawing *d = drawing();
    const QPointF origin = d ? QPointF(d->leftMargin(), d->topMargin()) : QPointF();
    const double factor = d ? d->unitToPointsConversionFactor() : m_unitDistance;
    return (p - origin) / factor;
}

QSizeF VRGridLayer::quartzDistanceForGridDistance(QSizeF distance) const
{
    const VRDrawing *d = drawing();
    const double factor = d ? d->unitToPointsConversionFactor() : m_unitDistance;
    return distance * factor;
}

QPointF VRGridLayer::nearestGridIntersectionToPoint(QPointF p) const
{
    const VRDrawing *d = drawing();
    const QPointF origin = d ? QPointF(d->leftMargin(), d->topMargin()) : QPointF();
    const double step = divisionDistance();
    const QPointF rel = p - origin;
    return origin + QPointF(std::round(rel.x() / step) * step, std::round(rel.y() / step) * step);
}

void VRGridLayer::tweakDrawingMargins()
{
    VRDrawing *d = drawing();
    if (!d)
        return;
    const QSizeF size = d->drawingSize();
    auto tweak = [this](double extent, double a, double b, double &na, double &nb) {
        const double interior = extent - a - b;
        const double whole = std::floor(interior / m_spanDistance) * m_spanDistance;
        const double extra = (interior - whole) / 2;
        na = a + extra;
        nb = b + extra;
    };
    double l, r, t, b;
    tweak(size.width(), d->leftMargin(), d->rightMargin(), l, r);
    tweak(size.height(), d->topMargin(), d->bottomMargin(), t, b);
    d->setMarginsLeft(l, t, r, b);
}

void VRGridLayer::synchronizeRulers()
{
    setNeedsDisplay();
}

namespace {
// Grid lines closer than this many device pixels are left out.
constexpr double kMinLineSpacing = 5.0;
// Rows and columns of the grid longer than this many device pixels are not kept as pictures.
constexpr int kMaxPicturePixels = 1 << 16;

// Which lines are drawn at one scale, and their pens: majors, spans, minors.
struct GridPens {
    double step = 0;
    int perSpan = 1;
    int perMajor = 1;
    int coarsest = 2;
    QColor colours[3];
};

GridPens gridPens(double step, int divisions, int majors, const QColor &colour, double scale)
{
    GridPens pens;
    pens.step = step;
    pens.perSpan = divisions;
    pens.perMajor = divisions * majors;
    // Zoomed out, lines closer than a few pixels make a grey haze and cost most of the frame:
    // only the lines that stay apart are drawn (majors always).
    const double pixels = step * std::max(1e-6, scale);
    pens.coarsest = pixels >= kMinLineSpacing ? 2 : pixels * divisions >= kMinLineSpacing ? 1 : 0;
    QColor minor = colour;
    minor.setAlphaF(colour.alphaF() / 2);
    pens.colours[0] = colour.darker(120);
    pens.colours[1] = colour;
    pens.colours[2] = minor;
    return pens;
}

// The lines of one direction with indices first..last, by pen, each reaching from `from` to `to`.
void collectLines(const GridPens &pens, bool verticalLines, const QRectF &interior, double from,
                  double to, int first, int last, QVector<QLineF> lines[3])
{
    for (int i = first; i <= last; ++i) {
        const double v = i * pens.step;
        const int kind = i % pens.perMajor == 0 ? 0 : i % pens.perSpan == 0 ? 1 : 2;
        if (kind > pens.coarsest)
            continue;
        if (verticalLines)
            lines[kind].push_back(QLineF(interior.left() + v, from, interior.left() + v, to));
        else
            lines[kind].push_back(QLineF(from, interior.top() + v, to, interior.top() + v));
    }
}

// Draws lines crisp in one batch per pen: thousands of antialiased hairlines are slow and blurry.
void drawLines(QPainter &painter, const QVector<QLineF> lines[3], const QColor colours[3])
{
    for (int kind = 0; kind < 3; ++kind) {
        QPen pen(colours[kind]);
        pen.setWidthF(0);
        painter.setPen(pen);
        painter.drawLines(lines[kind]);
    }
}

int lineCount(double extent, double step)
{
    return int(extent / step + 1e-6);
}
} // namespace

// Pictures of the grid's rows at one scale and sub-pixel offset. A row of the screen either
// crosses a horizontal line of some pen or not, and lies within the vertical lines' extent or
// not: one picture per such kind of row, each as wide as the grid, holds the paper with the
// vertical lines (and the row's horizontal line) drawn over it. Painting a part of the grid
// then copies each row from its picture.
struct VRGridLayer::Rows {
    // What the pictures were made for.
    double scaleX = 0, scaleY = 0, offsetX = 0, offsetY = 0;
    QRectF interior;
    double step = 0;
    int divisions = 0, majors = 0;
    QRgb colour = 0, paper = 0;
    // Device column of the pictures' first pixel and device row of kinds[0], to which the whole
    // part of the painter's translation is added.
    int left = 0, top = 0, width = 0, height = 0;
    // Per row: the pen of its horizontal line (0-2) or 3 for none, plus 4 within the extent.
    std::vector<quint8> kinds;
    QImage pictures[8];

    static constexpr quint8 kNoLine = 3;
    static constexpr quint8 kWithin = 4;
};

VRGridLayer::~VRGridLayer() = default;

QRectF VRGridLayer::interior() const
{
    const VRDrawing *d = drawing();
    if (!d)
        return QRectF();
    const QRectF r(d->leftMargin(), d->topMargin(),
                   d->drawingSize().width() - d->leftMargin() - d->rightMargin(),
                   d->drawingSize().height() - d->topMargin() - d->bottomMargin());
    return r.width() > 0 && r.height() > 0 ? r : QRectF();
}

void VRGridLayer::render(QPainter &painter, bool printing) const
{
    if (!drawing() || !isVisible() || (printing && !shouldDrawToPrinter()))
        return;
    const QRectF interior = this->interior();
    if (interior.isEmpty())
        return;
    const double step = divisionDistance();
    const double scale = std::max(1e-6, painter.transform().m11());
    if (step * 2 < 1.0 / scale)
        return; // too dense to see
    const GridPens pens = gridPens(step, m_divisions, m_majors, m_colour, scale);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const bool verticalLines : {true, false}) {
        const double extent = verticalLines ? interior.width() : interior.height();
        const int count = lineCount(extent, step);
        // Only the lines inside the painted area: views repaint small parts of large drawings.
        int first = 0, last = count;
        QRectF span = interior;
        if (painter.hasClipping()) {
            const QRectF clip = painter.clipBoundingRect();
            span = interior.intersected(clip.adjusted(-1, -1, 1, 1));
            const double lo =
                verticalLines ? clip.left() - interior.left() : clip.top() - interior.top();
            const double hi =
                verticalLines ? clip.right() - interior.left() : clip.bottom() - interior.top();
            first = std::max(0, int(std::floor(lo / step)));
            last = std::min(count, int(std::ceil(hi / step)));
        }
        QVector<QLineF> lines[3];
        if (verticalLines)
            collectLines(pens, true, interior, span.top(), span.bottom(), first, last, lines);
        else
            collectLines(pens, false, interior, span.left(), span.right(), first, last, lines);
        drawLines(painter, lines, pens.colours);
    }
    painter.restore();
}

void VRGridLayer::renderOnPaper(QPainter &painter, const QColor &paper) const
{
    if (!drawing() || !isVisible())
        return;
    const QRectF interior = this->interior();
    if (interior.isEmpty())
        return;
    const QTransform t = painter.worldTransform();
    const double step = divisionDistance();
    const bool axisAligned = t.type() <= QTransform::TxScale && t.m11() > 0 && t.m22() > 0;
    if (!axisAligned || paper.alpha() != 255 || painter.deviceTransform() != t
        || std::abs(t.dx()) > 1e9 || std::abs(t.dy()) > 1e9) {
        render(painter, false);
        return;
    }
    if (step * 2 < 1.0 / t.m11())
        return; // too dense to see
    const double wholeX = std::floor(t.dx()), wholeY = std::floor(t.dy());
    const double offsetX = t.dx() - wholeX, offsetY = t.dy() - wholeY;
    Rows *rows = m_rows.get();
    if (!rows || rows->scaleX != t.m11() || rows->scaleY != t.m22() || rows->offsetX != offsetX
        || rows->offsetY != offsetY || rows->interior != interior || rows->step != step
        || rows->divisions != m_divisions || rows->majors != m_majors
        || rows->colour != m_colour.rgba() || rows->paper != paper.rgba()) {
        m_rows.reset();
        auto made = std::make_unique<Rows>();
        made->scaleX = t.m11();
        made->scaleY = t.m22();
        made->offsetX = offsetX;
        made->offsetY = offsetY;
        made->interior = interior;
        made->step = step;
        made->divisions = m_divisions;
        made->majors = m_majors;
        made->colour = m_colour.rgba();
        made->paper = paper.rgba();
        made->left = int(std::floor(t.m11() * interior.left() + offsetX)) - 2;
        made->top = int(std::floor(t.m22() * interior.top() + offsetY)) - 2;
        const double right = std::ceil(t.m11() * interior.right() + offsetX) + 3;
        const double bottom = std::ceil(t.m22() * interior.bottom() + offsetY) + 3;
        if (right - made->left > kMaxPicturePixels || bottom - made->top > kMaxPicturePixels) {
            render(painter, false);
            return;
        }
        made->width = int(right) - made->left;
        made->height = int(bottom) - made->top;
        // Which rows the horizontal lines and the vertical lines' extent fall on, found by
        // drawing them as render() does into a one-pixel-wide column.
        const GridPens pens = gridPens(step, m_divisions, m_majors, m_colour, t.m11());
        QImage column(1, made->height, QImage::Format_RGB32);
        QImage extent(1, made->height, QImage::Format_RGB32);
        column.fill(Qt::black);
        extent.fill(Qt::black);
        {
            const QTransform toColumn(1, 0, 0, t.m22(), 0, offsetY - made->top);
            QPainter p(&column);
            p.setTransform(toColumn);
            QVector<QLineF> lines[3];
            collectLines(pens, false, interior, -10, 10, 0, lineCount(interior.height(), step),
                         lines);
            const QColor marks[3] = {Qt::red, Qt::green, Qt::blue};
            drawLines(p, lines, marks);
            QPainter e(&extent);
            e.setTransform(toColumn);
            e.setPen(QPen(Qt::white, 0));
            e.drawLine(QLineF(0.5, interior.top(), 0.5, interior.bottom()));
        }
        made->kinds.resize(size_t(made->height));
        for (int y = 0; y < made->height; ++y) {
            const QRgb mark = column.pixel(0, y);
            const quint8 kind = qRed(mark) > 127     ? 0
                                : qGreen(mark) > 127 ? 1
                                : qBlue(mark) > 127  ? 2
                                                     : Rows::kNoLine;
            made->kinds[size_t(y)] = kind | (qRed(extent.pixel(0, y)) > 127 ? Rows::kWithin : 0);
        }
        rows = made.get();
        m_rows = std::move(made);
    }
    // The picture of one kind of row, made when first needed.
    const auto picture = [&](quint8 kind) -> const QImage & {
        QImage &image = rows->pictures[kind];
        if (!image.isNull())
            return image;
        image = QImage(rows->width, 1, QImage::Format_RGB32);
        image.fill(paper);
        QPainter p(&image);
        p.setTransform(QTransform(t.m11(), 0, 0, 1, offsetX - rows->left, 0));
        const GridPens pens = gridPens(step, m_divisions, m_majors, m_colour, t.m11());
        if (kind & Rows::kWithin) {
            QVector<QLineF> lines[3];
            collectLines(pens, true, interior, -10, 10, 0, lineCount(interior.width(), step),
                         lines);
            drawLines(p, lines, pens.colours);
        }
        if ((kind & Rows::kNoLine) != Rows::kNoLine) {
            QPen pen(pens.colours[kind & Rows::kNoLine]);
            pen.setWidthF(0);
            p.setPen(pen);
            p.drawLine(QLineF(interior.left(), 0.5, interior.right(), 0.5));
        }
        return image;
    };
    QRect target(rows->left + int(wholeX), rows->top + int(wholeY), rows->width, rows->height);
    if (painter.hasClipping())
        target &= t.mapRect(painter.clipBoundingRect()).toAlignedRect();
    if (target.isEmpty())
        return;
    const int firstRow = rows->top + int(wholeY);
    const QRect source(target.left() - rows->left - int(wholeX), 0, target.width(), 1);
    // Into a picture the painter draws on straight, within a clip of whole pixels, the rows
    // are copied line by line.
    QPaintDevice *device = painter.device();
    QImage *image =
        device && device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    if (image && image->isDetached() && image->devicePixelRatio() == 1.0
        && (image->format() == QImage::Format_RGB32
            || image->format() == QImage::Format_ARGB32_Premultiplied)
        && painter.opacity() >= 1.0 && image->rect().contains(target)) {
        bool wholePixels = true;
        if (painter.hasClipping()) {
            const QRectF clip = t.mapRect(painter.clipBoundingRect());
            const QRect inner(
                QPoint(int(std::ceil(clip.left())), int(std::ceil(clip.top()))),
                QPoint(int(std::floor(clip.right())) - 1, int(std::floor(clip.bottom())) - 1));
            wholePixels = inner.contains(target) && painter.clipRegion().rectCount() == 1;
        }
        if (wholePixels) {
            const qsizetype bytes = qsizetype(target.width()) * 4;
            for (int y = target.top(); y <= target.bottom(); ++y) {
                const quint8 kind = rows->kinds[size_t(y - firstRow)];
                if (kind == Rows::kNoLine)
                    continue; // bare paper, painted already
                std::memcpy(image->scanLine(y) + qsizetype(target.left()) * 4,
                            picture(kind).constScanLine(0) + qsizetype(source.left()) * 4, bytes);
            }
            return;
        }
    }
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int y = target.top(); y <= target.bottom();) {
        const quint8 kind = rows->kinds[size_t(y - firstRow)];
        int end = y + 1;
        while (end <= target.bottom() && rows->kinds[size_t(end - firstRow)] == kind)
            ++end;
        // Rows outside the grid with no line are bare paper, painted already.
        if (kind != Rows::kNoLine)
            painter.drawImage(QRect(target.left(), y, target.width(), end - y), picture(kind),
                              source);
        y = end;
    }
    painter.restore();
}
