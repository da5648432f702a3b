#include "framework/view/VRDrawingView.h"

#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/view/VRViewController.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/model/QntConnector.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QDropEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QTextDocumentFragment>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Grey pasteboard around the paper, in view pixels at every scale.
constexpr int kPasteboardMargin = 48;
constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 16.0;
constexpr double kHandleRadius = 4.0;
constexpr double kRotationHandleDistance = 22.0;
// Screen pixels within which smart guides pull a moving object.
constexpr double kGuideTolerance = 4.0;
// Pixels drawn beyond the visible part in each direction, so short scrolls need no drawing.
constexpr int kCacheMargin = 256;
constexpr qint64 kMaxCachePixels = 16 * 1024 * 1024;

const QColor kSelectionBlue(40, 110, 220);

bool isKindOfNamed(const VRDrawableObject &object, QStringView className)
{
    const VRClassInfo *cls = VRClassInfo::byName(className);
    return cls && object.isKindOfClass(*cls);
}

QVariantMap objectInfo(const VRObjectRef &object)
{
    return {{QStringLiteral("object"), QVariant::fromValue(object)}};
}

// Documents make their main view here when their window loads.
const bool kViewFactoryInstalled = [] {
    VRDrawingDocument::setViewFactory([](VRDrawingDocument &document, QScrollArea *area) {
        auto *view = new VRDrawingView(document.drawing());
        if (area) {
            area->setWidgetResizable(false);
            area->setAlignment(Qt::AlignCenter); // a drawing smaller than the window sits centred
            area->setWidget(view);
        } else {
            QObject::connect(&document, &QObject::destroyed, view, &QObject::deleteLater);
        }
        document.setMainView(view, view);
    });
    return true;
}();

} // namespace

VRDrawingView::VRDrawingView(VRDrawing *drawing, QWidget *parent)
    : QWidget(parent)
    , m_drawing(drawing)
    , m_controller(new VRViewController(this))
{
    VRAvoidRouter::install();
    (void)kViewFactoryInstalled;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    if (m_drawing)
        m_drawing->setOwner(m_controller);
    updateGeometryForScale();
    observeDrawing();
    setCursor(drawingTool()->cursor());
}

VRDrawingView::~VRDrawingView()
{
    m_tokens.clear();
    if (m_drawing && m_drawing->owner() == m_controller)
        m_drawing->setOwner(nullptr);
}

void VRDrawingView::setDrawing(VRDrawing *drawing)
{
    if (drawing == m_drawing)
        return;
    endInlineEditing(false);
    m_tokens.clear();
    if (m_drawing) {
        disconnect(m_drawing, nullptr, this, nullptr);
        if (m_drawing->owner() == m_controller)
            m_drawing->setOwner(nullptr);
    }
    m_drawing = drawing;
    m_highlighted.reset();
    m_paintedBounds.clear();
    m_cache = QImage();
    if (m_drawing)
        m_drawing->setOwner(m_controller);
    observeDrawing();
    updateGeometryForScale();
    update();
}

void VRDrawingView::observeDrawing()
{
    if (!m_drawing)
        return;
    connect(m_drawing, &VRDrawing::needsDisplay, this, [this] {
        // During a drag the objects that change report their own areas; drawing everything on
        // each mouse move would make large drawings sluggish. Catch up when the drag ends.
        if (m_pressed) {
            m_fullRepaintAfterGesture = true;
            update();
            return;
        }
        invalidateAllContent();
        update();
    });
    connect(m_drawing, &VRDrawing::scrollRequested, this, &VRDrawingView::scrollToRect);
    connect(m_drawing, &VRDrawing::cursorsInvalidated, this,
            [this] { setCursor(drawingTool()->cursor()); });
    connect(m_drawing, &QObject::destroyed, this, [this] {
        m_tokens.clear();
        m_drawing = nullptr;
    });
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    m_tokens.push_back(
        nc.addObserver(kVRDrawableDidChangeNotification, nullptr, [this](const Notification &n) {
            const VRObjectRef object =
                n.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
            objectDidChange(object, n.object);
        }));
    const auto repaintForLayer = [this](const Notification &n) {
        if (n.object == m_drawing) {
            invalidateAllContent();
            update();
            return;
        }
        // Layer notifications carry the layer as object; ours belong to our drawing.
        if (!m_drawing)
            return;
        for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
            if (m_drawing->objectInLayersAtIndex(k) == n.object) {
                if (n.name != kVRLayerSelectionDidChange)
                    invalidateAllContent();
                update();
                return;
            }
        }
    };
    for (const QString &name :
         {kVRLayerSelectionDidChange, kVRDrawingActiveLayerDidChange, kVRLayerVisibleStateDidChange,
          kVRLayerLockStateDidChange, kVRLayerGroupDidAddLayer, kVRLayerGroupDidRemoveLayer,
          kVRLayerGroupDidReorderLayers})
        m_tokens.push_back(nc.addObserver(name, nullptr, repaintForLayer));
}

VRDrawingTool *VRDrawingView::drawingTool() const
{
    return m_controller->drawingTool();
}

VRObjectDrawingLayer *VRDrawingView::activeObjectLayer() const
{
    if (!m_drawing)
        return nullptr;
    return m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
}

// ---- geometry, scroll and zoom -------------------------------------------------------------

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
    area->horizontalScrollBar()->setValue(int(std::lround(v.x() - viewport.width() / 2.0)));
    area->verticalScrollBar()->setValue(int(std::lround(v.y() - viewport.height() / 2.0)));
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

void VRDrawingView::scrollByPixels(QPointF delta)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->value()
                                          + int(std::lround(delta.x())));
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->value()
                                        + int(std::lround(delta.y())));
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

// ---- repainting ----------------------------------------------------------------------------

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
    } else {
        updateDrawingRect(now);
    }
}

QRect VRDrawingView::visibleViewRect() const
{
    if (QScrollArea *area = scrollArea())
        return QRect(-pos(), area->viewport()->size()).intersected(rect());
    return rect();
}

void VRDrawingView::invalidateContent(const QRect &viewRect)
{
    m_cacheDirty += viewRect;
}

void VRDrawingView::invalidateAllContent()
{
    m_cacheDirty = QRegion(m_cacheRect);
}

void VRDrawingView::paintContent(QPainter &painter, const QRect &viewRect)
{
    painter.fillRect(viewRect, QColor(0xC9, 0xCD, 0xD3));
    if (!m_drawing)
        return;
    const QRectF paper(QPointF(), m_drawing->drawingSize());
    const QRectF paperView = mapRectFromDrawing(paper);
    painter.fillRect(paperView.translated(2, 3).intersected(QRectF(viewRect)), QColor(0, 0, 0, 45));
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
    if (m_paintedBounds.size() > 50000)
        m_paintedBounds.clear();
    for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
        VRLayer *layer = m_drawing->objectInLayersAtIndex(k);
        if (!layer->isVisible() || !layer->isKindOf<VRObjectOwnerLayer>())
            continue;
        for (const VRObjectRef &o : static_cast<VRObjectOwnerLayer *>(layer)->objects()) {
            if (!o->isVisible())
                continue;
            const QRectF b = o->bounds();
            if (!b.intersects(area))
                continue;
            m_paintedBounds.insert(o.get(), b);
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
    // The drawing is kept in an image a little larger than the visible part: scrolling and
    // repainting handles or tool feedback then only copies pixels, and only what changed or
    // scrolled into view is drawn again.
    const qreal dpr = devicePixelRatioF();
    if (m_cache.isNull() || !m_cacheRect.contains(clip) || m_cache.devicePixelRatio() != dpr) {
        const QRect visible = visibleViewRect();
        QRect wanted = visible.adjusted(-kCacheMargin, -kCacheMargin, kCacheMargin, kCacheMargin)
                           .intersected(rect())
                           .united(clip);
        if (qint64(wanted.width()) * wanted.height() > kMaxCachePixels)
            wanted = clip; // a huge widget without a scroll area: no larger cache than needed
        QImage image(wanted.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        QRegion toRender(wanted);
        if (!m_cache.isNull() && m_cache.devicePixelRatio() == dpr) {
            const QRect keep = wanted.intersected(m_cacheRect);
            if (!keep.isEmpty()) {
                QPainter copy(&image);
                copy.setCompositionMode(QPainter::CompositionMode_Source);
                copy.drawImage(
                    QRectF(keep.translated(-wanted.topLeft())), m_cache,
                    QRectF(QRectF(keep.translated(-m_cacheRect.topLeft())).topLeft() * dpr,
                           QSizeF(keep.size()) * dpr));
                toRender -= QRegion(keep).subtracted(m_cacheDirty);
            }
        }
        m_cache = image;
        m_cacheRect = wanted;
        m_cacheDirty = toRender;
    }
    const QRegion dirty = m_cacheDirty.intersected(m_cacheRect);
    if (!dirty.isEmpty()) {
        QPainter cachePainter(&m_cache);
        cachePainter.translate(-m_cacheRect.topLeft());
        if (dirty.rectCount() > 6) {
            paintContent(cachePainter, dirty.boundingRect());
        } else {
            for (const QRect &r : dirty)
                paintContent(cachePainter, r);
        }
    }
    m_cacheDirty = QRegion();

    QPainter painter(this);
    painter.drawImage(
        QRectF(clip), m_cache,
        QRectF(QPointF(clip.topLeft() - m_cacheRect.topLeft()) * dpr, QSizeF(clip.size()) * dpr));
    painter.save();
    painter.translate(kPasteboardMargin, kPasteboardMargin);
    painter.scale(m_scale, m_scale);
    painter.setRenderHint(QPainter::Antialiasing);
    drawingTool()->paintOverlay(*this, painter);
    painter.restore();
    painter.setRenderHint(QPainter::Antialiasing);
    paintSelection(painter);
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
    const QColor colour =
        layer->selectionColour().isValid() ? layer->selectionColour() : kSelectionBlue;
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

// ---- hit testing and notifications ---------------------------------------------------------

VRObjectRef VRDrawingView::objectAtPoint(QPointF drawingPoint,
                                         VRObjectDrawingLayer **layerOut) const
{
    if (!m_drawing)
        return nullptr;
    auto usable = [](VRLayer *l) {
        return l && l->isVisible() && !l->isLocked() && l->isKindOf<VRObjectDrawingLayer>();
    };
    auto hitIn = [&](VRObjectDrawingLayer *layer) -> VRObjectRef {
        VRObjectRef hit = layer->hitTest(drawingPoint);
        return hit && hit->isVisible() ? hit : nullptr;
    };
    VRObjectDrawingLayer *active = activeObjectLayer();
    if (usable(active)) {
        if (VRObjectRef hit = hitIn(active)) {
            if (layerOut)
                *layerOut = active;
            return hit;
        }
    }
    if (!m_controller->activatesLayersAutomatically())
        return nullptr;
    for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
        VRLayer *l = m_drawing->objectInLayersAtIndex(k);
        if (l == active || !usable(l))
            continue;
        if (VRObjectRef hit = hitIn(static_cast<VRObjectDrawingLayer *>(l))) {
            if (layerOut)
                *layerOut = static_cast<VRObjectDrawingLayer *>(l);
            return hit;
        }
    }
    return nullptr;
}

void VRDrawingView::postShapeInfo(const VRObjectRef &object)
{
    if (!object || !m_drawing)
        return;
    const QRectF b = object->logicalBounds();
    const double x = m_drawing->convertLength(b.left() - m_drawing->leftMargin());
    const double y = m_drawing->convertLength(b.top() - m_drawing->topMargin());
    const double w = m_drawing->convertLength(b.width());
    const double h = m_drawing->convertLength(b.height());
    const QString info =
        QStringLiteral("W:%1 H:%2 X:%3 Y:%4")
            .arg(m_drawing->formattedConvertedLength(b.width()),
                 m_drawing->formattedConvertedLength(b.height()),
                 m_drawing->formattedConvertedLength(b.left() - m_drawing->leftMargin()),
                 m_drawing->formattedConvertedLength(b.top() - m_drawing->topMargin()));
    QVariantMap userInfo{
        {QStringLiteral("sender"), QVariant::fromValue(static_cast<QObject *>(this))},
        {QStringLiteral("info"), info},
        {QStringLiteral("x"), x},
        {QStringLiteral("y"), y},
        {QStringLiteral("width"), w},
        {QStringLiteral("height"), h}};
    NotificationCenter::defaultCenter().post(kQntShapeInfoUpdated, this, userInfo);
}

void VRDrawingView::postObjectsMoved(const VRObjectList &objects)
{
    if (objects.isEmpty())
        return;
    VRObjectRef first = objects.first();
    for (const VRObjectRef &o : objects) {
        if (isKindOfNamed(*o, u"QntElement")) {
            first = o;
            break;
        }
    }
    NotificationCenter::defaultCenter().post(kQntElementMovedNotification, first.get(),
                                             objectInfo(first));
}

void VRDrawingView::rightMouseUp(QPointF drawingPoint)
{
    VRObjectDrawingLayer *layer = nullptr;
    VRObjectRef hit = objectAtPoint(drawingPoint, &layer);
    VRObjectDrawingLayer *active = activeObjectLayer();
    if (!hit || !layer) {
        if (active)
            active->deselectAll();
        return;
    }
    if (layer != active)
        m_drawing->setActiveLayer(layer);
    if (!(layer->isSelectedObject(*hit) && layer->countOfSelection() > 1))
        layer->replaceSelectionWithObject(hit);
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    if (layer->countOfSelection() > 1) {
        nc.post(kQntMultipleChangeStyleModeSelected, this,
                {{QStringLiteral("selection"), QVariant::fromValue(layer->selection())}});
        return;
    }
    if (isKindOfNamed(*hit, u"QntConnector"))
        nc.post(kQntConnectorRightMouseUpNotification, hit.get(), objectInfo(hit));
    else
        nc.post(kQntElementRightMouseUpNotification, hit.get(), objectInfo(hit));
}

void VRDrawingView::setHighlightedObject(const VRObjectRef &object)
{
    if (object == m_highlighted)
        return;
    if (m_highlighted)
        updateDrawingRect(m_highlighted->bounds());
    m_highlighted = object;
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    if (object) {
        updateDrawingRect(object->bounds());
        nc.post(kQntHighlightChangedNotification, object.get(), objectInfo(object));
    } else {
        nc.post(kQntHighlightChangedNotification, nullptr);
        nc.post(kQntNoHighlightNotification, this);
    }
}

// ---- text editing ---------------------------------------------------------------------------

void VRDrawingView::editTextOfObject(const VRObjectRef &object)
{
    if (!object)
        return;
    if (UserDefaults::standardUserDefaults().boolForKey(kQntEnableInlineEditor)) {
        beginInlineEditing(object);
        return;
    }
    NotificationCenter::defaultCenter().post(kQntShowTextEditorNotification, this,
                                             objectInfo(object));
}

QTextEdit *VRDrawingView::inlineEditor() const
{
    return m_inlineEditor.data();
}

void VRDrawingView::beginInlineEditing(const VRObjectRef &object)
{
    if (!object || object->isLocked())
        return;
    endInlineEditing(true);
    m_inlineObject = object;
    auto *editor = new QTextEdit(this);
    editor->setFrameStyle(QFrame::NoFrame);
    editor->setAcceptRichText(true);
    editor->setStyleSheet(QStringLiteral("QTextEdit { background: rgba(255,255,255,230);"
                                         " border: 1px solid rgb(40,110,220); }"));
    const QTextDocumentFragment text = object->textContent();
    if (!text.isEmpty())
        editor->document()->setHtml(text.toHtml());
    QFont font = editor->font();
    font.setPointSizeF(std::max(4.0, 12.0 * m_scale));
    editor->document()->setDefaultFont(font);
    editor->setAlignment(Qt::AlignCenter);
    QRectF r = mapRectFromDrawing(object->logicalBounds());
    r.setWidth(std::max(r.width(), 120.0));
    r.setHeight(std::max(r.height(), 28.0));
    editor->setGeometry(r.toAlignedRect());
    editor->installEventFilter(this);
    editor->show();
    editor->setFocus();
    editor->selectAll();
    m_inlineEditor = editor;
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    nc.post(kQntCloseAttachedWindowsWithKindNotification, this, {{QStringLiteral("mask"), 16}});
    nc.post(kQntInlineEditingStartedNotification, object.get(), objectInfo(object));
}

void VRDrawingView::endInlineEditing(bool commit)
{
    if (!m_inlineEditor)
        return;
    QTextEdit *editor = m_inlineEditor;
    VRObjectRef object = m_inlineObject;
    m_inlineEditor = nullptr;
    m_inlineObject.reset();
    editor->removeEventFilter(this);
    if (commit && object) {
        const QTextDocumentFragment fragment(editor->document());
        if (fragment.toHtml() != object->textContent().toHtml()) {
            object->setTextContent(fragment);
            if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr)
                undo->setActionName(QStringLiteral("Typing"));
        }
        updateDrawingRect(object->bounds());
    }
    editor->hide();
    editor->deleteLater();
    setFocus();
}

bool VRDrawingView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_inlineEditor) {
        if (event->type() == QEvent::FocusOut) {
            endInlineEditing(true);
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Escape) {
                endInlineEditing(false);
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && (key->modifiers() & (Qt::ControlModifier | Qt::KeypadModifier))) {
                endInlineEditing(true);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- input ----------------------------------------------------------------------------------

VRToolEvent VRDrawingView::toolEvent(QMouseEvent *event) const
{
    VRToolEvent e;
    e.rawPoint = mapToDrawing(event->position());
    e.point = snapToGrid(e.rawPoint);
    e.viewPosition = event->position().toPoint();
    e.globalPosition = event->globalPosition();
    e.button = event->button();
    e.modifiers = event->modifiers();
    return e;
}

void VRDrawingView::mousePressEvent(QMouseEvent *event)
{
    VRViewController::setCurrent(m_controller);
    if (m_inlineEditor)
        endInlineEditing(true);
    setFocus();
    m_pressButton = event->button();
    if (event->button() == Qt::RightButton)
        return;
    if (event->button() != Qt::LeftButton)
        return;
    if (m_highlighted)
        setHighlightedObject(nullptr);
    m_pressed = true;
    drawingTool()->mousePressed(*this, toolEvent(event));
}

void VRDrawingView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        drawingTool()->mouseDragged(*this, toolEvent(event));
        return;
    }
    drawingTool()->mouseMoved(*this, toolEvent(event));
}

void VRDrawingView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && m_pressButton == Qt::RightButton) {
        m_pressButton = Qt::NoButton;
        rightMouseUp(mapToDrawing(event->position()));
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    // The tool may change (auto-revert) during the release; hold the one that got the press.
    VRDrawingTool *tool = drawingTool();
    tool->mouseReleased(*this, toolEvent(event));
    if (m_fullRepaintAfterGesture) {
        m_fullRepaintAfterGesture = false;
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    drawingTool()->mouseDoubleClicked(*this, toolEvent(event));
}

void VRDrawingView::nudgeSelection(QPointF delta)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const VRObjectList objects = layer->selectedAvailableObjects();
    if (objects.isEmpty())
        return;
    VRUndoManager *undo = m_drawing->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    QRectF dirty;
    for (const VRObjectRef &o : objects) {
        dirty |= o->bounds();
        o->setLocation(o->location() + delta);
        dirty |= o->bounds();
    }
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(QStringLiteral("Move"));
    }
    updateDrawingRect(dirty);
    postObjectsMoved(objects);
    if (objects.size() == 1)
        postShapeInfo(objects.first());
}

void VRDrawingView::keyPressEvent(QKeyEvent *event)
{
    VRDrawingTool *tool = drawingTool();
    if (tool->keyPressed(*this, event))
        return;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const double step = (mods & Qt::ShiftModifier) ? 10.0 : 1.0;
    switch (key) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace: deleteSelection(); return;
    case Qt::Key_Left: nudgeSelection({-step, 0}); return;
    case Qt::Key_Right: nudgeSelection({step, 0}); return;
    case Qt::Key_Up: nudgeSelection({0, -step}); return;
    case Qt::Key_Down: nudgeSelection({0, step}); return;
    case Qt::Key_Escape:
        m_controller->setDrawingTool(nullptr);
        setHighlightedObject(nullptr);
        return;
    default: break;
    }
    if (key == Qt::Key_I && mods == Qt::ControlModifier) {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        NotificationCenter::defaultCenter().post(kQntShowContextObjectPropertiesNotification, this,
                                                 single ? objectInfo(single) : QVariantMap());
        return;
    }
    if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
        // Tool shortcuts; the connector key on one selected element arms it for the connector.
        VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
        for (const QString &name : registry.toolNames()) {
            VRDrawingTool *candidate = registry.drawingToolWithName(name);
            if (!candidate || candidate->qtKey() == 0 || candidate->qtKey() != key)
                continue;
            if (name == kVRQntConnectorToolName) {
                VRObjectDrawingLayer *layer = activeObjectLayer();
                VRObjectRef single = layer ? layer->singleSelection() : nullptr;
                if (single && isKindOfNamed(*single, u"QntElement"))
                    single->setState(6);
            }
            m_controller->setDrawingTool(candidate);
            return;
        }
        if (key == Qt::Key_T) {
            VRObjectDrawingLayer *layer = activeObjectLayer();
            VRObjectRef single = layer ? layer->singleSelection() : nullptr;
            NotificationCenter::defaultCenter().post(kQntShowTextEditorNotification, this,
                                                     single ? objectInfo(single) : QVariantMap());
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void VRDrawingView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore(); // the scroll area scrolls
        return;
    }
    const QPointF anchor = mapToDrawing(event->position());
    const double factor = std::pow(1.0015, event->angleDelta().y());
    const QPointF viewportOffset = event->position() + QPointF(pos());
    setScale(m_scale * factor);
    // Keep the point under the pointer where it was.
    if (QScrollArea *area = scrollArea()) {
        const QPointF v = mapFromDrawing(anchor);
        area->horizontalScrollBar()->setValue(int(std::lround(v.x() - viewportOffset.x())));
        area->verticalScrollBar()->setValue(int(std::lround(v.y() - viewportOffset.y())));
    }
    event->accept();
}

void VRDrawingView::focusInEvent(QFocusEvent *event)
{
    VRViewController::setCurrent(m_controller);
    QWidget::focusInEvent(event);
}

void VRDrawingView::showEvent(QShowEvent *event)
{
    VRViewController::setCurrent(m_controller);
    QWidget::showEvent(event);
}

void VRDrawingView::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    emit visibleRectChanged();
}

void VRDrawingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit visibleRectChanged();
}

// ---- drops ----------------------------------------------------------------------------------

bool VRDrawingView::canAcceptDrop(const QMimeData *data) const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return false;
    for (const QString &type : layer->pasteboardTypesForOperation(8)) {
        if (type == QLatin1String("text/uri-list")) {
            for (const QUrl &url : data->urls())
                if (url.isLocalFile() && !QImageReader::imageFormat(url.toLocalFile()).isEmpty())
                    return true;
            continue;
        }
        if (data->hasFormat(type))
            return true;
    }
    return data->hasImage();
}

void VRDrawingView::dragEnterEvent(QDragEnterEvent *event)
{
    if (canAcceptDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VRDrawingView::dragMoveEvent(QDragMoveEvent *event)
{
    if (canAcceptDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VRDrawingView::dropEvent(QDropEvent *event)
{
    if (!canAcceptDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    const VRObjectList dropped = dropData(event->mimeData(), mapToDrawing(event->position()));
    if (dropped.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

VRObjectList VRDrawingView::dropData(const QMimeData *data, QPointF drawingPoint)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return {};
    VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    if (objects.isEmpty()) {
        QList<QImage> images;
        for (const QUrl &url : data->urls()) {
            if (!url.isLocalFile())
                continue;
            QImageReader reader(url.toLocalFile());
            const QImage image = reader.read();
            if (!image.isNull())
                images.push_back(image);
        }
        if (images.isEmpty() && data->hasImage())
            images.push_back(qvariant_cast<QImage>(data->imageData()));
        // Several pictures are laid side by side.
        double x = 0;
        for (const QImage &image : std::as_const(images)) {
            if (image.isNull())
                continue;
            auto shape = std::make_shared<VRImageShape>(image);
            const QSizeF size = shape->size();
            shape->setLocation(QPointF(x + size.width() / 2, size.height() / 2));
            x += size.width() + 10;
            objects.push_back(shape);
        }
    }
    if (objects.isEmpty())
        return {};
    QRectF bounds;
    for (const VRObjectRef &o : std::as_const(objects))
        bounds |= o->logicalBounds();
    const QPointF shift = drawingPoint - bounds.center();
    VRUndoManager *undo = m_drawing->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    for (const VRObjectRef &o : std::as_const(objects))
        o->setLocation(o->location() + shift);
    layer->recordSelectionForUndo();
    layer->addObjectsFromArray(objects);
    layer->exchangeSelectionWithObjectsFromArray(objects);
    layer->commitSelectionUndoWithActionName(QStringLiteral("Drop"));
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(QStringLiteral("Drop"));
    }
    updateDrawingRect(bounds.translated(shift));
    // A dropped object is selected like a newly created one, so its size and place show at once.
    if (objects.size() == 1)
        postShapeInfo(objects.first());
    return objects;
}

// ---- actions -------------------------------------------------------------------------------

void VRDrawingView::deleteSelection(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->countOfSelection() == 0)
        return;
    const QRectF dirty = layer->selectionBounds();
    layer->deleteSelection();
    updateDrawingRect(dirty);
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsWithKindNotification, this,
                                             {{QStringLiteral("mask"), 0x1FF}});
}

void VRDrawingView::selectAll(QObject *)
{
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->selectAll();
}

void VRDrawingView::zoomToActualSize(QObject *)
{
    setScale(1.0);
}

void VRDrawingView::toggleGridVisible(QObject *)
{
    if (VRGridLayer *grid = m_drawing ? m_drawing->gridLayer() : nullptr) {
        grid->setVisible(!grid->isVisible());
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::setShowPageBreaks(QObject *sender)
{
    if (auto *action = qobject_cast<QAction *>(sender); action && action->isCheckable())
        setPageBreaksVisible(action->isChecked());
    else
        setPageBreaksVisible(!pageBreaksVisible());
}

void VRDrawingView::selectDrawingTool(QObject *sender)
{
    if (auto *action = qobject_cast<QAction *>(sender))
        m_controller->selectDrawingToolWithName(action->text());
}

void VRDrawingView::undo(QObject *)
{
    if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr) {
        undo->closeOpenGroups();
        undo->undo();
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::redo(QObject *)
{
    if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr) {
        undo->closeOpenGroups();
        undo->redo();
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::bringToFront(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    for (const VRObjectRef &o : layer->selectedAvailableObjects())
        layer->moveObjectToTop(o);
    invalidateAllContent();
    update();
}

void VRDrawingView::sendToBack(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const VRObjectList objects = layer->selectedAvailableObjects();
    for (auto it = objects.crbegin(); it != objects.crend(); ++it)
        layer->moveObjectToBottom(*it);
    invalidateAllContent();
    update();
}

void VRDrawingView::switchOnAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(true);
}

void VRDrawingView::switchOffAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(false);
}

void VRDrawingView::toggleAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(!m_controller->autoRevert());
}

QMenu *VRDrawingView::objectMenu()
{
    if (m_objectMenu)
        return m_objectMenu;
    auto *menu = new QMenu(tr("Object"), this);
    struct Verb {
        QString title;
        QString element;
        QString connector;
    };
    const QList<Verb> verbs{
        {tr("Save Defaults"), kQntSaveElementDefaultsNotification,
         kQntSaveConnectorDefaultsNotification},
        {tr("Apply Defaults"), kQntApplyElementDefaultsNotification,
         kQntApplyConnectorDefaultsNotification},
        {tr("Reset Defaults"), kQntResetDefaultsForElementNotification,
         kQntResetDefaultsForConnectorNotification},
        {tr("Reset for This Only"), kQntResetDefaultsForCurrentOnlyElementNotification,
         kQntResetDefaultsForCurrentOnlyConnectorNotification},
    };
    for (const Verb &verb : verbs) {
        menu->addAction(verb.title, this, [this, verb] {
            VRObjectDrawingLayer *layer = activeObjectLayer();
            VRObjectRef single = layer ? layer->singleSelection() : nullptr;
            if (!single)
                return;
            const QString &name =
                isKindOfNamed(*single, u"QntConnector") ? verb.connector : verb.element;
            NotificationCenter::defaultCenter().post(name, single.get(), objectInfo(single));
        });
    }
    menu->addSeparator();
    menu->addAction(tr("Copy Style"), this, [this] {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        NotificationCenter::defaultCenter().post(kQntStyleShouldBeCopiedNotification, single.get(),
                                                 single ? objectInfo(single) : QVariantMap());
    });
    menu->addAction(tr("Properties…"), this, [this] {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        NotificationCenter::defaultCenter().post(kQntShowContextObjectPropertiesNotification, this,
                                                 single ? objectInfo(single) : QVariantMap());
    });
    m_objectMenu = menu;
    return menu;
}
