// VRDrawingView: what needs repainting, the picture cache, painting, and the selection handles.
#include "framework/view/VRDrawingView.h"

#include "framework/view/VRDrawingTool.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVarLengthArray>

#include <cmath>

namespace {

constexpr double kHandleRadius = 4.0;
constexpr double kRotationHandleDistance = 22.0;
// Pixels drawn beyond the visible part in each direction when zoomed out, so short scrolls
// need no drawing. At 100 % and closer few objects show and what scrolls in is drawn at once,
// so no margins are kept (and a view in a scroll area keeps no picture at all, see
// drawsDirectly()).
constexpr int kCacheMargin = 256;
constexpr double kMarginBelowScale = 1.0;
constexpr qint64 kMaxCachePixels = 16 * 1024 * 1024;
// How long the view must have been idle before the margins around the visible part are drawn.
constexpr int kMarginIdleMs = 60;
// The cache's sides are multiples of this many logical pixels, so the places where it wraps
// around fall on whole device pixels at the usual fractional pixel ratios.
constexpr int kCacheSizeStep = 20;

int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A part of a view rectangle and where that part starts in the wrapping cache's tiling: the
// piece lies at piece - origin in the cache image (logical pixels).
struct CachePiece {
    QRect piece;
    QPoint origin;
};

// Splits a view rectangle where the cache of the given size wraps around (at most four pieces
// for a rectangle no larger than the cache).
QVarLengthArray<CachePiece, 4> cachePieces(const QRect &viewRect, QSize size)
{
    QVarLengthArray<CachePiece, 4> pieces;
    if (viewRect.isEmpty() || size.isEmpty())
        return pieces;
    for (int ty = floorDiv(viewRect.top(), size.height());
         ty <= floorDiv(viewRect.bottom(), size.height()); ++ty)
        for (int tx = floorDiv(viewRect.left(), size.width());
             tx <= floorDiv(viewRect.right(), size.width()); ++tx) {
            const QPoint origin(tx * size.width(), ty * size.height());
            const QRect piece = viewRect.intersected(QRect(origin, size));
            if (!piece.isEmpty())
                pieces.append({piece, origin});
        }
    return pieces;
}

int roundUpToStep(int length)
{
    return (length + kCacheSizeStep - 1) / kCacheSizeStep * kCacheSizeStep;
}

// Qt hands a fill or copy of a hundred rows or more to its worker threads; the hand-off costs
// more than filling a strip scrolled into view, most of all on a busy machine. Such strips are
// filled a band of fewer rows at a time: each pixel comes out the same.
constexpr int kBandRows = 64;

template <typename Paint> void paintInBands(QPainter &painter, const QRect &rect, Paint paint)
{
    for (int y = rect.top(); y <= rect.bottom(); y += kBandRows) {
        const QRect band(rect.left(), y, rect.width(), std::min(kBandRows, rect.bottom() + 1 - y));
        painter.save();
        painter.setClipRect(band, Qt::IntersectClip);
        paint(band);
        painter.restore();
    }
}

template <typename PaintRect> void forEachRectToPaint(const QRegion &region, PaintRect paintRect)
{
    // Many small pieces are drawn as one rectangle, unless that would draw much more than
    // they cover (a long thin guide across the view and the moved object's spot).
    qint64 covered = 0;
    for (const QRect &r : region)
        covered += qint64(r.width()) * r.height();
    const QRect whole = region.boundingRect();
    if (region.rectCount() > 64
        || (region.rectCount() > 6 && covered * 2 > qint64(whole.width()) * whole.height())) {
        paintRect(whole);
    } else {
        for (const QRect &r : region)
            paintRect(r);
    }
}

} // namespace

void VRDrawingView::updateDrawingRect(const QRectF &rect)
{
    if (rect.isNull())
        return;
    // Room for handles, the rotation handle and antialiasing.
    const double pad = kRotationHandleDistance + kHandleRadius + 3;
    const QRect r = mapRectFromDrawing(rect).adjusted(-pad, -pad, pad, pad).toAlignedRect();
    invalidateContent(r);
    update(r);
}

void VRDrawingView::updateObjects(const VRObjectList &objects)
{
    for (const VRObjectRef &o : objects)
        if (o)
            updateDrawingRect(o->bounds());
}

void VRDrawingView::objectDidChange(const VRObjectRef &object, const void *identity)
{
    if (!m_drawing || !object || object->drawing() != m_drawing)
        return;
    const QRectF now = object->bounds();
    auto it = m_paintedBounds.find(identity);
    if (it != m_paintedBounds.end()) {
        updateDrawingRect(it.value() | now);
        it.value() = now;
        return;
    }
    // Unknown: not painted yet, unless the record was dropped; then where it was is unknown too.
    if (!m_paintedBoundsComplete) {
        invalidateAllContent();
        update();
        return;
    }
    updateDrawingRect(now);
}

QRect VRDrawingView::visibleViewRect() const
{
    if (QScrollArea *area = scrollArea())
        return QRect(-pos(), area->viewport()->size()).intersected(rect());
    return rect();
}

void VRDrawingView::invalidateContent(const QRect &viewRect)
{
    // Without a picture there is nothing drawn to forget; a new one is drawn whole.
    if (!m_cache.isNull())
        m_cacheDirty += viewRect;
}

bool VRDrawingView::drawsDirectly() const
{
    return m_scale >= kMarginBelowScale && scrollArea();
}

void VRDrawingView::invalidateAllContent()
{
    m_cacheDirty = QRegion(m_cacheRect);
    // Everything on screen is painted again, and recorded as it is painted.
    m_paintedBoundsComplete = true;
}

void VRDrawingView::releasePicture()
{
    m_cache = QImage();
    m_cacheDirty = QRegion();
    if (m_marginTimer)
        m_marginTimer->stop();
}

void VRDrawingView::paintContent(QPainter &painter, const QRect &viewRect)
{
    const QColor pasteboard(0xC9, 0xCD, 0xD3);
    if (!m_drawing) {
        painter.fillRect(viewRect, pasteboard);
        return;
    }
    const QRectF paper(QPointF(), m_drawing->drawingSize());
    const QRectF paperView = mapRectFromDrawing(paper);
    // Pixels wholly covered by opaque paper need no pasteboard beneath.
    QRegion pasteboardPart(viewRect);
    if (m_drawing->paperColour().alpha() == 255)
        pasteboardPart -=
            QRect(QPoint(int(std::ceil(paperView.left())), int(std::ceil(paperView.top()))),
                  QPoint(int(std::floor(paperView.right())) - 1,
                         int(std::floor(paperView.bottom())) - 1));
    for (const QRect &r : pasteboardPart)
        painter.fillRect(r, pasteboard);
    // The paper's shadow shows only beside the paper: beneath opaque paper it is painted over.
    const QRectF shadow = paperView.translated(2, 3).intersected(QRectF(viewRect));
    const QRegion shadowPart = QRegion(shadow.toAlignedRect()).intersected(pasteboardPart);
    for (const QRect &r : shadowPart)
        paintInBands(painter, r,
                     [&](const QRect &) { painter.fillRect(shadow, QColor(0, 0, 0, 45)); });
    const QRectF area =
        mapRectToDrawing(QRectF(viewRect)).adjusted(-1, -1, 1, 1).intersected(paper);
    if (area.isEmpty())
        return;
    painter.save();
    painter.setClipRect(viewRect);
    painter.translate(kPasteboardMargin, kPasteboardMargin);
    painter.scale(m_scale, m_scale);
    if (!m_drawing->dynamicQualityModulationEnabled())
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                               | QPainter::SmoothPixmapTransform);
    m_drawing->render(painter, area, false, true);
    // Remember where visible objects were painted, to repaint that spot when they move.
    if (m_paintedBounds.size() > 50000) {
        m_paintedBounds.clear();
        m_paintedBoundsComplete = false;
    }
    for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
        VRLayer *layer = m_drawing->objectInLayersAtIndex(k);
        if (!layer->isVisible() || !layer->isKindOf<VRObjectOwnerLayer>())
            continue;
        for (const VRObjectRef &o : static_cast<VRObjectOwnerLayer *>(layer)->objectsInRect(area)) {
            m_paintedBounds.insert(o.get(), o->bounds());
            ++m_lastPainted;
        }
    }
    if (pageBreaksVisible())
        paintPageBreaks(painter, area);
    painter.restore();
}

void VRDrawingView::paintEvent(QPaintEvent *event)
{
    const QRect clip = event->rect();
    m_lastPainted = 0;
    const auto paintOverlays = [this](QPainter &painter) {
        painter.save();
        painter.translate(kPasteboardMargin, kPasteboardMargin);
        painter.scale(m_scale, m_scale);
        painter.setRenderHint(QPainter::Antialiasing);
        drawingTool()->paintOverlay(*this, painter);
        painter.restore();
        painter.setRenderHint(QPainter::Antialiasing);
        paintSelection(painter);
    };
    if (drawsDirectly()) {
        releasePicture();
        QPainter painter(this);
        forEachRectToPaint(event->region(), [&](const QRect &r) {
            painter.save();
            paintContent(painter, r);
            painter.restore();
        });
        paintOverlays(painter);
        return;
    }
    // Zoomed out, the drawing is kept in an image a little larger than the visible part: scrolling
    // and repainting handles or tool feedback then only copies pixels, and only what changed or
    // scrolled into view is drawn again. The image wraps around, so what stays in view when
    // the view scrolls stays where it is in the image.
    const qreal dpr = devicePixelRatioF();
    const QRect visible = visibleViewRect();
    const int margin = m_scale < kMarginBelowScale ? kCacheMargin : 0;
    QRect wanted =
        visible.adjusted(-margin, -margin, margin, margin).intersected(rect()).united(clip);
    bool huge = false;
    if (qint64(wanted.width()) * wanted.height() > kMaxCachePixels) {
        wanted = clip; // a huge widget without a scroll area: no larger cache than needed
        huge = true;
    }
    const QSize wantedSize(roundUpToStep(wanted.width()), roundUpToStep(wanted.height()));
    // A picture much larger than needed (the window was made smaller, the view zoomed in) is
    // made again at the needed size.
    const bool tooLarge = !m_cache.isNull() && !huge
                          && qint64(m_cacheSize.width()) * m_cacheSize.height()
                                 > 2 * qint64(wantedSize.width()) * wantedSize.height();
    if (m_cache.isNull() || !m_cacheRect.contains(clip) || m_cache.devicePixelRatio() != dpr
        || tooLarge) {
        // What is drawn already and stays: it keeps its place in the image.
        QRegion kept;
        if (!m_cache.isNull() && !tooLarge && m_cache.devicePixelRatio() == dpr
            && wanted.width() <= m_cacheSize.width() && wanted.height() <= m_cacheSize.height()) {
            kept = QRegion(wanted.intersected(m_cacheRect)).subtracted(m_cacheDirty);
        } else {
            m_cacheSize = wantedSize;
            // Opaque: everything in it is drawn over the pasteboard's colour, and an opaque
            // picture is copied to the screen without blending.
            m_cache = QImage((QSizeF(m_cacheSize) * dpr).toSize(), QImage::Format_RGB32);
            m_cache.setDevicePixelRatio(dpr);
        }
        m_cacheRect = wanted;
        m_cacheDirty = QRegion(wanted).subtracted(kept);
    }
    // What the user sees is drawn now; the margins kept around it are drawn once the view is
    // idle, so a change of the whole drawing shows after drawing only the visible part.
    const QRegion dirty = m_cacheDirty.intersected(m_cacheRect);
    const QRegion now = dirty.intersected(QRegion(visible).united(clip));
    paintCacheRegion(now);
    m_cacheDirty = dirty.subtracted(now);
    if (!m_cacheDirty.isEmpty()) {
        if (!m_marginTimer) {
            m_marginTimer = new QTimer(this);
            m_marginTimer->setSingleShot(true);
            connect(m_marginTimer, &QTimer::timeout, this, &VRDrawingView::paintMarginsWhenIdle);
        }
        m_marginTimer->start(kMarginIdleMs);
    }

    QPainter painter(this);
    // Only what needs showing is copied: after a scroll, the strips that came into view.
    const auto copy = [&](const QRect &piece, QPoint origin) {
        painter.drawImage(
            QRectF(piece), m_cache,
            QRectF(QPointF(piece.topLeft() - origin) * dpr, QSizeF(piece.size()) * dpr));
    };
    for (const QRect &exposed : event->region())
        for (const CachePiece &p : cachePieces(exposed, m_cacheSize)) {
            if (dpr == 1.0)
                paintInBands(painter, p.piece, [&](const QRect &band) { copy(band, p.origin); });
            else
                copy(p.piece, p.origin);
        }
    paintOverlays(painter);
}

void VRDrawingView::paintCacheRegion(const QRegion &region)
{
    if (region.isEmpty() || m_cache.isNull())
        return;
    QPainter cachePainter(&m_cache);
    forEachRectToPaint(region, [&](const QRect &r) {
        for (const CachePiece &p : cachePieces(r, m_cacheSize)) {
            cachePainter.save();
            cachePainter.translate(-p.origin);
            paintContent(cachePainter, p.piece);
            cachePainter.restore();
        }
    });
}

void VRDrawingView::paintMarginsWhenIdle()
{
    const QRegion dirty = m_cacheDirty.intersected(m_cacheRect);
    m_cacheDirty = QRegion();
    paintCacheRegion(dirty);
    // Whatever of it scrolled into view meanwhile is shown.
    const QRegion shown = dirty.intersected(visibleViewRect());
    if (!shown.isEmpty())
        update(shown);
}

void VRDrawingView::paintPageBreaks(QPainter &painter, const QRectF &area) const
{
    const QRectF page = m_drawing->printInfo().imageablePageBounds();
    if (page.width() <= 1 || page.height() <= 1)
        return;
    QPen pen(QColor(90, 90, 200, 160), 0, Qt::DashLine);
    painter.setPen(pen);
    const QSizeF size = m_drawing->drawingSize();
    for (double x = page.width(); x < size.width(); x += page.width())
        if (x >= area.left() && x <= area.right())
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    for (double y = page.height(); y < size.height(); y += page.height())
        if (y >= area.top() && y <= area.bottom())
            painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
}

QPointF VRDrawingView::handleUnitPosition(int handle)
{
    static const QPointF units[9] = {{-0.5, -0.5}, {0, -0.5},   {0.5, -0.5}, {0.5, 0}, {0.5, 0.5},
                                     {0, 0.5},     {-0.5, 0.5}, {-0.5, 0},   {0, -0.5}};
    return handle >= 0 && handle < 9 ? units[handle] : QPointF();
}

QPointF VRDrawingView::handleDrawingPosition(const VRDrawableObject &object, int handle) const
{
    const QTransform t = object.transformIncludingParent();
    const QPointF p = t.map(handleUnitPosition(handle));
    if (handle != 8)
        return p;
    const QPointF centre = t.map(QPointF(0, 0));
    QPointF dir = p - centre;
    const double len = std::hypot(dir.x(), dir.y());
    dir = len > 1e-9 ? dir / len : QPointF(0, -1);
    return p + dir * (kRotationHandleDistance / m_scale);
}

int VRDrawingView::handleAtViewPoint(QPointF viewPoint, VRObjectRef *object) const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->countOfSelection() != 1)
        return -1;
    VRObjectRef single = layer->singleSelection();
    if (!single || single->isLocked() || !single->isVisible() || single->isKindOf<QntConnector>())
        return -1; // connectors follow their ends; they have no box to resize or turn
    for (int k = 8; k >= 0; --k) {
        const QPointF v = mapFromDrawing(handleDrawingPosition(*single, k));
        if (std::hypot(v.x() - viewPoint.x(), v.y() - viewPoint.y()) <= kHandleRadius + 2) {
            if (object)
                *object = single;
            return k;
        }
    }
    return -1;
}

void VRDrawingView::paintSelection(QPainter &painter) const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (m_highlighted) {
        painter.setPen(QPen(QColor(255, 140, 0), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(mapRectFromDrawing(m_highlighted->logicalBounds()));
    }
    if (!layer || !layer->isSelectionVisible() || layer->countOfSelection() == 0)
        return;
    const QColor colour = layer->selectionColour().isValid()
                              ? layer->selectionColour()
                              : VRObjectDrawingLayer::defaultSelectionColour();
    const bool single = layer->countOfSelection() == 1;
    const QRectF visible = visibleDrawingRect();
    for (const VRObjectRef &o : layer->selection()) {
        if (!o->isVisible() || !o->bounds().intersects(visible.adjusted(-50, -50, 50, 50)))
            continue;
        if (o->isKindOf<QntConnector>()) {
            // A connector shows its own line and its two ends.
            const QPainterPath path = o->renderingPath();
            QTransform toView;
            toView.translate(kPasteboardMargin, kPasteboardMargin);
            toView.scale(m_scale, m_scale);
            painter.setPen(QPen(QColor(colour.red(), colour.green(), colour.blue(), 110), 5,
                                Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(toView.map(path));
            painter.setPen(QPen(colour, 1));
            painter.setBrush(Qt::white);
            const auto &connector = static_cast<const QntConnector &>(*o);
            for (const QPointF &end :
                 {connector.startEndPoint()->location(), connector.endEndPoint()->location()})
                painter.drawEllipse(mapFromDrawing(end), kHandleRadius, kHandleRadius);
            continue;
        }
        if (o->isKindOf<QntElementTable>()) {
            // The picked cells of a selected table are tinted on screen only (never in
            // exports or prints, and not once the table is no longer selected).
            QTransform toView;
            toView.translate(kPasteboardMargin, kPasteboardMargin);
            toView.scale(m_scale, m_scale);
            for (const VRObjectRef &cell : static_cast<const QntElementTable &>(*o).selection())
                painter.fillPath(toView.map(cell->renderingPath()), QColor(0, 120, 255, 40));
        }
        const QTransform t = o->transformIncludingParent();
        QPolygonF outline;
        for (int k : {0, 2, 4, 6})
            outline << mapFromDrawing(t.map(handleUnitPosition(k)));
        painter.setPen(QPen(colour, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(outline);
        const bool locked = o->isLocked();
        const QList<int> handles =
            single ? QList<int>{0, 1, 2, 3, 4, 5, 6, 7} : QList<int>{0, 2, 4, 6};
        painter.setPen(QPen(locked ? Qt::gray : colour, 1));
        painter.setBrush(locked ? QColor(Qt::lightGray) : QColor(Qt::white));
        for (int k : handles) {
            const QPointF c = mapFromDrawing(t.map(handleUnitPosition(k)));
            painter.drawRect(QRectF(c.x() - kHandleRadius, c.y() - kHandleRadius, 2 * kHandleRadius,
                                    2 * kHandleRadius));
        }
        if (single && !locked) {
            const QPointF top = mapFromDrawing(t.map(handleUnitPosition(1)));
            const QPointF rot = mapFromDrawing(handleDrawingPosition(*o, 8));
            painter.setPen(QPen(colour, 1));
            painter.drawLine(top, rot);
            painter.setBrush(colour);
            painter.drawEllipse(rot, kHandleRadius, kHandleRadius);
        }
    }
}
