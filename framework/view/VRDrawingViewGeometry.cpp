// VRDrawingView: scale, scrolling, coordinate mapping and snapping to the grid and guides.
#include "framework/view/VRDrawingView.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 16.0;
// Screen pixels within which smart guides pull a moving object.
constexpr double kGuideTolerance = 4.0;

// Scrolls both ways with one move of the view. The scroll area places the view after each
// scroll bar that changes, and each placement moves the pixels on screen: scrolled one way
// after the other, a diagonal scroll would move the whole visible picture twice.
void setScrollValues(QScrollArea &area, int x, int y)
{
    QScrollBar *horizontal = area.horizontalScrollBar();
    QScrollBar *vertical = area.verticalScrollBar();
    const int newY = std::clamp(y, vertical->minimum(), vertical->maximum());
    if (newY != vertical->value()) {
        // The area places the view by both values when the vertical one changes.
        const QSignalBlocker quiet(horizontal);
        horizontal->setValue(x);
    } else {
        horizontal->setValue(x);
    }
    vertical->setValue(newY);
}

} // namespace

QScrollArea *VRDrawingView::scrollArea() const
{
    QWidget *viewport = parentWidget();
    return viewport ? qobject_cast<QScrollArea *>(viewport->parentWidget()) : nullptr;
}

QSize VRDrawingView::sizeHint() const
{
    const QSizeF paper = m_drawing ? m_drawing->drawingSize() : QSizeF(100, 100);
    return QSize(int(std::ceil(paper.width() * m_scale)) + 2 * kPasteboardMargin,
                 int(std::ceil(paper.height() * m_scale)) + 2 * kPasteboardMargin);
}

void VRDrawingView::updateGeometryForScale()
{
    resize(sizeHint());
}

void VRDrawingView::setScale(double scale)
{
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, kMinScale, kMaxScale);
    if (std::abs(scale - m_scale) < 1e-9)
        return;
    const QPointF centre = centredPointInDocView();
    m_scale = scale;
    m_cache = QImage();
    endInlineEditing(true);
    updateGeometryForScale();
    scrollPointToCentre(centre);
    update();
    NotificationCenter::defaultCenter().post(kVRDrawingViewDidChangeScale, this,
                                             {{QStringLiteral("scale"), m_scale}});
    emit visibleRectChanged();
}

void VRDrawingView::zoomToPercentageWithTag(int percent, QPointF centredPoint)
{
    setScale(percent / 100.0);
    scrollPointToCentre(centredPoint);
}

void VRDrawingView::zoomToRect(const QRectF &rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    QSizeF visible = size();
    if (QScrollArea *area = scrollArea())
        visible = area->viewport()->size();
    const double fit = std::min((visible.width() - 2 * kPasteboardMargin) / rect.width(),
                                (visible.height() - 2 * kPasteboardMargin) / rect.height());
    setScale(fit > 0 ? fit : m_scale);
    scrollPointToCentre(rect.center());
}

QPointF VRDrawingView::centredPointInDocView() const
{
    return visibleDrawingRect().center();
}

void VRDrawingView::scrollPointToCentre(QPointF point)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    const QPointF v = mapFromDrawing(point);
    const QSize viewport = area->viewport()->size();
    setScrollValues(*area, int(std::lround(v.x() - viewport.width() / 2.0)),
                    int(std::lround(v.y() - viewport.height() / 2.0)));
    emit visibleRectChanged();
}

void VRDrawingView::scrollToRect(const QRectF &rect)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    const QRectF v = mapRectFromDrawing(rect);
    area->ensureVisible(int(v.center().x()), int(v.center().y()), int(v.width() / 2) + 10,
                        int(v.height() / 2) + 10);
}

void VRDrawingView::revealRect(const QRectF &rect)
{
    QScrollArea *area = scrollArea();
    if (!area || rect.isEmpty())
        return;
    if (visibleDrawingRect().contains(rect))
        return;
    const QSizeF visible(area->viewport()->size());
    const QSizeF needed = rect.size() * m_scale;
    if (needed.width() > visible.width() - 2 * kPasteboardMargin
        || needed.height() > visible.height() - 2 * kPasteboardMargin) {
        zoomToRect(rect);
        return;
    }
    scrollPointToCentre(rect.center());
}

void VRDrawingView::scrollByPixels(QPointF delta)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    setScrollValues(*area, area->horizontalScrollBar()->value() + int(std::lround(delta.x())),
                    area->verticalScrollBar()->value() + int(std::lround(delta.y())));
}

QRectF VRDrawingView::visibleDrawingRect() const
{
    QRect visible = rect();
    if (QScrollArea *area = scrollArea())
        visible = QRect(-pos(), area->viewport()->size()).intersected(rect());
    return mapRectToDrawing(QRectF(visible));
}

bool VRDrawingView::pageBreaksVisible() const
{
    return m_drawing && m_drawing->pageBreaksVisible();
}

void VRDrawingView::setPageBreaksVisible(bool visible)
{
    if (!m_drawing)
        return;
    m_drawing->setPageBreaksVisible(visible);
    invalidateAllContent();
    update();
}

QPointF VRDrawingView::mapToDrawing(QPointF viewPoint) const
{
    return (viewPoint - QPointF(kPasteboardMargin, kPasteboardMargin)) / m_scale;
}

QPointF VRDrawingView::mapFromDrawing(QPointF drawingPoint) const
{
    return drawingPoint * m_scale + QPointF(kPasteboardMargin, kPasteboardMargin);
}

QRectF VRDrawingView::mapRectFromDrawing(const QRectF &rect) const
{
    return QRectF(mapFromDrawing(rect.topLeft()), rect.size() * m_scale);
}

QRectF VRDrawingView::mapRectToDrawing(const QRectF &rect) const
{
    return QRectF(mapToDrawing(rect.topLeft()), rect.size() / m_scale);
}

QPointF VRDrawingView::snapToGrid(QPointF point) const
{
    if (!m_drawing || !m_drawing->snapsToGrid() || !m_drawing->gridLayer())
        return point;
    return m_drawing->gridLayer()->nearestGridIntersectionToPoint(point);
}

QPointF VRDrawingView::snapToGuides(const QRectF &moving, const VRObjectList &exclude)
{
    VRGuideLayer *guides = m_drawing ? m_drawing->guideLayer() : nullptr;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!guides || !layer || !VRGuideLayer::showSmartGuides())
        return {};
    // Only objects near the moving ones take part: a guide to something far away is noise.
    const QRectF near =
        moving.adjusted(-400, -400, 400, 400) & visibleDrawingRect().adjusted(-50, -50, 50, 50);
    QList<QRectF> others;
    for (const VRObjectRef &o : layer->objectsInRect(near)) {
        if (std::find(exclude.begin(), exclude.end(), o) != exclude.end())
            continue;
        others.push_back(o->logicalBounds());
        if (others.size() >= 300)
            break;
    }
    invalidateGuideLines();
    const QPointF offset = guides->snapRect(moving, others, kGuideTolerance / m_scale);
    invalidateGuideLines();
    return offset;
}

void VRDrawingView::invalidateGuideLines()
{
    VRGuideLayer *guides = m_drawing ? m_drawing->guideLayer() : nullptr;
    if (!guides)
        return;
    // Guide lines cross the whole drawing: repaint thin strips along them.
    const QRect visible = visibleViewRect();
    for (double x : guides->verticalGuides()) {
        const int vx = int(std::floor(mapFromDrawing(QPointF(x, 0)).x()));
        const QRect strip(vx - 2, visible.top(), 5, visible.height());
        invalidateContent(strip);
        update(strip);
    }
    for (double y : guides->horizontalGuides()) {
        const int vy = int(std::floor(mapFromDrawing(QPointF(0, y)).y()));
        const QRect strip(visible.left(), vy - 2, visible.width(), 5);
        invalidateContent(strip);
        update(strip);
    }
}

void VRDrawingView::clearGuides()
{
    if (VRGuideLayer *guides = m_drawing ? m_drawing->guideLayer() : nullptr) {
        invalidateGuideLines();
        guides->clearGuides();
    }
}
