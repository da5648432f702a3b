#include "framework/view/VRObjectCreationTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

VR_CLASS_IMPL_WITH(VRObjectCreationTool, &VRDrawingTool::staticClass(), nullptr)

namespace {

VRStyleRef &createdStyle()
{
    static VRStyleRef style;
    return style;
}

// Below this drag size (points) a press counts as a click.
constexpr double kMinimumDrag = 3.0;

} // namespace

VRObjectCreationTool::VRObjectCreationTool(VRObjectRef prototypeObject, Gesture gesture)
    : m_prototype(std::move(prototypeObject))
    , m_gesture(gesture)
{
    if (m_prototype)
        m_prototype->setIsPrototype(true);
}

QString VRObjectCreationTool::title() const
{
    if (!givenTitle().isEmpty())
        return givenTitle();
    for (const QString &key : {QStringLiteral("TITLE"), QStringLiteral("title")}) {
        const QString own = m_prototype ? m_prototype->stringForKey(key) : QString();
        if (!own.isEmpty())
            return own;
    }
    return VRDrawingTool::title();
}

VRStyleRef VRObjectCreationTool::styleForCreatedObjects()
{
    return createdStyle();
}

void VRObjectCreationTool::setStyleForCreatedObjects(VRStyleRef style)
{
    createdStyle() = std::move(style);
}

void VRObjectCreationTool::addAndSelect(VRDrawingView &view, const VRObjectRef &object)
{
    VRObjectDrawingLayer *layer = view.activeObjectLayer();
    VRUndoManager *undo = view.drawing()->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer->recordSelectionForUndo();
    layer->addObject(object);
    layer->replaceSelectionWithObject(object);
    const QString name = QStringLiteral("Create ") + registeredName();
    layer->commitSelectionUndoWithActionName(name);
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(name);
    }
    view.updateDrawingRect(object->bounds());
    view.postShapeInfo(object);
}

VRObjectRef VRObjectCreationTool::createObject(VRDrawingView &view, const QRectF &rect)
{
    VRObjectDrawingLayer *layer = view.activeObjectLayer();
    if (!layer || !m_prototype || layer->isLocked())
        return nullptr;
    VRObjectRef object = m_prototype->copy();
    if (!object)
        return nullptr;
    object->setIsPrototype(false);
    const bool isElement = object->isKindOf<QntElement>();
    if (isElement) {
        // Scale, autosize and text part as for a drop from the palette.
        auto element = std::static_pointer_cast<QntElement>(object);
        if (object->size().isEmpty() && !element->originalSize().isEmpty())
            object->setSize(element->originalSize());
        element->setupAfterDraggingFromPalette();
    } else if (createdStyle() && object->isMemberOf<VRDrawableShape>()) {
        object->setStyle(createdStyle());
    }
    const QSizeF size = rect.width() >= kMinimumDrag && rect.height() >= kMinimumDrag
                            ? rect.size()
                            : (object->size().isEmpty() ? QSizeF(100, 60) : object->size());
    object->setSize(size);
    const QSizeF offset = object->offset();
    object->setLocation(rect.center()
                        + QPointF(offset.width() * size.width(), offset.height() * size.height()));
    addAndSelect(view, object);
    return object;
}

VRObjectRef VRObjectCreationTool::createPath(VRDrawingView &view, const QList<QPointF> &points)
{
    VRObjectDrawingLayer *layer = view.activeObjectLayer();
    if (!layer || layer->isLocked() || points.size() < 2)
        return nullptr;
    QPainterPath path(points.first());
    for (qsizetype k = 1; k < points.size(); ++k)
        path.lineTo(points[k]);
    VRObjectRef object;
    if (m_prototype && m_prototype->isKindOf<VRDrawablePath>()) {
        object = m_prototype->copy();
        object->setIsPrototype(false);
        std::static_pointer_cast<VRDrawablePath>(object)->setPath(path);
    } else {
        object = VRDrawablePath::drawablePathWithBezierPath(path);
    }
    if (createdStyle())
        object->setStyle(createdStyle());
    addAndSelect(view, object);
    return object;
}

void VRObjectCreationTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_gesture == Gesture::Polyline) {
        if (!m_active) {
            m_active = true;
            m_points = {event.point};
        }
        m_points.push_back(event.point);
        m_current = event.point;
        view.update();
        return;
    }
    m_active = true;
    m_start = m_current = event.point;
    m_points = {event.point};
}

void VRObjectCreationTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active)
        return;
    QRectF dirty = QRectF(m_start, m_current).normalized();
    m_current = event.point;
    if (m_gesture == Gesture::Freehand)
        m_points.push_back(event.rawPoint);
    if (m_gesture == Gesture::Polyline && !m_points.isEmpty())
        m_points.last() = event.point;
    dirty |= QRectF(m_start, m_current).normalized();
    view.updateDrawingRect(dirty.adjusted(-4, -4, 4, 4));
    if (m_gesture == Gesture::Freehand || m_gesture == Gesture::Polyline)
        view.update();
}

void VRObjectCreationTool::mouseReleased(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active || m_gesture == Gesture::Polyline)
        return;
    m_active = false;
    m_current = event.point;
    VRObjectRef created;
    switch (m_gesture) {
    case Gesture::Box: {
        QRectF rect = QRectF(m_start, m_current).normalized();
        if (rect.width() < kMinimumDrag || rect.height() < kMinimumDrag)
            rect = QRectF(m_start, QSizeF());
        created = createObject(view, rect);
        break;
    }
    case Gesture::Line:
        if (QLineF(m_start, m_current).length() >= kMinimumDrag)
            created = createPath(view, {m_start, m_current});
        break;
    case Gesture::Freehand:
        m_points.push_back(event.rawPoint);
        if (m_points.size() >= 2)
            created = createPath(view, m_points);
        break;
    case Gesture::Polyline: break;
    }
    m_points.clear();
    view.update();
    if (created && m_editsText)
        view.beginInlineEditing(created);
    finishedUse(view);
}

void VRObjectCreationTool::mouseDoubleClicked(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_gesture != Gesture::Polyline)
        return;
    Q_UNUSED(event);
    finishPolyline(view);
}

bool VRObjectCreationTool::keyPressed(VRDrawingView &view, QKeyEvent *event)
{
    if (m_gesture == Gesture::Polyline && m_active
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        finishPolyline(view);
        return true;
    }
    return false;
}

void VRObjectCreationTool::finishPolyline(VRDrawingView &view)
{
    m_active = false;
    QList<QPointF> pts;
    for (const QPointF &p : std::as_const(m_points))
        if (pts.isEmpty() || QLineF(pts.last(), p).length() > 0.5)
            pts.push_back(p);
    m_points.clear();
    if (pts.size() >= 2)
        createPath(view, pts);
    view.update();
    finishedUse(view);
}

void VRObjectCreationTool::toolWillResign(VRDrawingView &view)
{
    if (m_gesture == Gesture::Polyline && m_active)
        finishPolyline(view);
    m_active = false;
}

void VRObjectCreationTool::paintOverlay(VRDrawingView &view, QPainter &painter) const
{
    if (!m_active)
        return;
    painter.setPen(QPen(QColor(40, 110, 220), 1.0 / view.scale(), Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    switch (m_gesture) {
    case Gesture::Box: painter.drawRect(QRectF(m_start, m_current).normalized()); break;
    case Gesture::Line: painter.drawLine(m_start, m_current); break;
    case Gesture::Freehand:
    case Gesture::Polyline:
        if (m_points.size() >= 2)
            painter.drawPolyline(m_points.data(), int(m_points.size()));
        break;
    }
}
