#include "framework/model/VRGridLayer.h"

#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"

#include <QPainter>

#include <cmath>

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
} // namespace

void VRGridLayer::render(QPainter &painter, bool printing) const
{
    const VRDrawing *d = drawing();
    if (!d || !isVisible() || (printing && !shouldDrawToPrinter()))
        return;
    const QRectF interior(d->leftMargin(), d->topMargin(),
                          d->drawingSize().width() - d->leftMargin() - d->rightMargin(),
                          d->drawingSize().height() - d->topMargin() - d->bottomMargin());
    if (interior.width() <= 0 || interior.height() <= 0)
        return;
    const double step = divisionDistance();
    if (step * 2 < 1.0 / std::max(1e-6, painter.transform().m11()))
        return; // too dense to see
    QColor minor = m_colour;
    minor.setAlphaF(m_colour.alphaF() / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int perSpan = m_divisions;
    const int perMajor = m_divisions * m_majors;
    // Zoomed out, lines closer than a few pixels make a grey haze and cost most of the frame:
    // only the lines that stay apart are drawn (majors always).
    const double pixels = step * std::max(1e-6, painter.transform().m11());
    const int coarsest = pixels >= kMinLineSpacing             ? 2
                         : pixels * perSpan >= kMinLineSpacing ? 1
                                                               : 0;
    auto drawLines = [&](bool verticalLines) {
        const double extent = verticalLines ? interior.width() : interior.height();
        const int count = int(extent / step + 1e-6);
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
        // One batch per pen, drawn crisp: thousands of antialiased hairlines are slow and blurry.
        QVector<QLineF> lines[3];
        for (int i = first; i <= last; ++i) {
            const double v = i * step;
            const int kind = i % perMajor == 0 ? 0 : i % perSpan == 0 ? 1 : 2;
            if (kind > coarsest)
                continue;
            if (verticalLines)
                lines[kind].push_back(
                    QLineF(interior.left() + v, span.top(), interior.left() + v, span.bottom()));
            else
                lines[kind].push_back(
                    QLineF(span.left(), interior.top() + v, span.right(), interior.top() + v));
        }
        const QColor colours[3] = {m_colour.darker(120), m_colour, minor};
        for (int kind = 0; kind < 3; ++kind) {
            QPen pen(colours[kind]);
            pen.setWidthF(0);
            painter.setPen(pen);
            painter.drawLines(lines[kind]);
        }
    };
    drawLines(true);
    drawLines(false);
    painter.restore();
}
