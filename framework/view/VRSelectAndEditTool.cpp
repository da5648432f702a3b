#include "framework/view/VRSelectAndEditTool.h"

#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntStickySpot.h"
#include "framework/view/VKInfoFloater.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/base/VRGeometry.h"

#include <QDrag>
#include <QMimeData>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL_WITH(VRSelectAndEditTool, &VRDrawingTool::staticClass(), nullptr)

namespace {

// A press must travel this far (view pixels) before it counts as a drag.
constexpr int kDragThreshold = 3;
// View pixels around a connector end that pick it up.
constexpr double kEndPickDistance = 7.0;

// Puts one end of a connector on a spot (or free at a point, leaving it towards freeSide),
// recording the way back.
void setConnectorEnd(const std::shared_ptr<QntConnector> &connector, int which,
                     const std::shared_ptr<QntElement> &element, int spot, QPointF point,
                     VRRouteSide freeSide = VRRouteSide::Any)
{
    QntConnectorEndPoint *end = which == 0 ? connector->startEndPoint() : connector->endEndPoint();
    if (VRUndoManager *undo = connector->undoManager()) {
        std::weak_ptr<QntElement> oldElement = end->targetElement();
        const int oldSpot = end->spotIndex();
        const QPointF oldPoint = end->location();
        const VRRouteSide oldSide = end->freeSide();
        undo->registerUndo(
            connector.get(),
            "setConnectorEnd:", [connector, which, oldElement, oldSpot, oldPoint, oldSide] {
                setConnectorEnd(connector, which, oldElement.lock(), oldSpot, oldPoint, oldSide);
            });
    }
    end->attachTo(nullptr);
    end->setPoint(point);
    end->setFreeSide(freeSide);
    if (element && spot >= 0)
        end->attach(element, spot);
    connector->endsDidMove();
}

QPointF rotated(QPointF v, double radians)
{
    const double c = std::cos(radians), s = std::sin(radians);
    return {v.x() * c - v.y() * s, v.x() * s + v.y() * c};
}

} // namespace

namespace {
// The cell of a table under a drawing point.
std::shared_ptr<QntTextCell> cellAtPoint(QntElementTable &table, QPointF point)
{
    for (const VRObjectRef &cell : table.cells()) {
        if (cell && cell->hitTest(point))
            return std::static_pointer_cast<QntTextCell>(cell);
    }
    return nullptr;
}

// A click in a table that is already the single selection picks the cell under it; with
// Shift the cell joins or leaves the cell selection. False when no cell was picked.
bool pickCell(VRObjectDrawingLayer &layer, const VRObjectRef &hit, QPointF point, bool shift)
{
    if (!hit || !hit->isKindOf<QntElementTable>() || layer.singleSelection() != hit)
        return false;
    auto &table = static_cast<QntElementTable &>(*hit);
    const std::shared_ptr<QntTextCell> cell = cellAtPoint(table, point);
    if (!cell)
        return false;
    VRObjectList cells;
    if (shift) {
        cells = table.selectedCells();
        if (cells.contains(cell))
            cells.removeAll(cell);
        else
            cells.append(cell);
    } else {
        cells = {cell};
    }
    table.selectCells(cells);
    table.notifyVisualChange();
    return true;
}
} // namespace

VRSelectAndEditTool::VRSelectAndEditTool() = default;
VRSelectAndEditTool::~VRSelectAndEditTool() = default;

void VRSelectAndEditTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    m_start = event.rawPoint;
    m_startView = event.viewPosition;
    m_saved.clear();
    m_changed = false;
    m_drag = Drag::Pending;
    m_pendingKind = Drag::None;
    m_layer = view.activeObjectLayer();
    if (!m_layer) {
        m_drag = Drag::None;
        return;
    }

    // The ends of a selected connector can be dragged to other elements.
    if (VRObjectRef single = m_layer->singleSelection();
        single && single->isKindOf<QntConnector>() && !single->isLocked()) {
        auto connector = std::static_pointer_cast<QntConnector>(single);
        for (int which = 0; which < 2; ++which) {
            QntConnectorEndPoint *end =
                which == 0 ? connector->startEndPoint() : connector->endEndPoint();
            const QPointF v = view.mapFromDrawing(end->location());
            if (std::hypot(v.x() - event.viewPosition.x(), v.y() - event.viewPosition.y())
                <= kEndPickDistance) {
                m_connector = connector;
                m_connectorEnd = which;
                m_endElement = end->targetElement();
                m_endSpot = end->spotIndex();
                m_endPoint = end->location();
                m_endSide = end->freeSide();
                m_pendingKind = Drag::ConnectorEnd;
                return;
            }
        }
        if (startLabelDrag(connector, event.rawPoint))
            return;
        // Elsewhere on a manual orthogonal route the press takes its middle run.
        if (connector->routing() == 1 && !connector->isCurve() && connector->mode() != 1
            && connector->hitTest(event.rawPoint)) {
            m_connector = connector;
            m_bendStart = connector->bendOffset();
            // The run nearest the press moves across itself only.
            const QPainterPath route = connector->path();
            double best = 1e300;
            m_bendAxis = QPointF(0, 1);
            for (int k = 1; k < route.elementCount(); ++k) {
                const QPointF p(route.elementAt(k - 1).x, route.elementAt(k - 1).y);
                const QPointF q(route.elementAt(k).x, route.elementAt(k).y);
                const QPointF pq = q - p;
                const double len2 = QPointF::dotProduct(pq, pq);
                const double t =
                    len2 > 0
                        ? std::clamp(QPointF::dotProduct(event.rawPoint - p, pq) / len2, 0.0, 1.0)
                        : 0.0;
                const QPointF on = p + t * pq;
                const double d =
                    std::hypot(event.rawPoint.x() - on.x(), event.rawPoint.y() - on.y());
                if (d < best) {
                    best = d;
                    m_bendAxis =
                        std::abs(pq.x()) < std::abs(pq.y()) ? QPointF(1, 0) : QPointF(0, 1);
                }
            }
            m_pendingKind = Drag::ConnectorBend;
            return;
        }
    }

    // Handles of the single selection come first: they sit on top of everything.
    VRObjectRef handleObject;
    const int handle = view.handleAtViewPoint(QPointF(event.viewPosition), &handleObject);
    if (handle >= 0 && handleObject) {
        m_handle = handle;
        m_pendingKind = handle == 8 ? Drag::Rotate : Drag::Resize;
        m_saved.push_back(saved(handleObject));
        return;
    }

    VRObjectDrawingLayer *hitLayer = nullptr;
    VRObjectRef hit = view.objectAtPoint(event.rawPoint, &hitLayer);
    if (hit && hitLayer && hitLayer != m_layer) {
        // Clicking an object of another layer makes that layer active.
        view.drawing()->setActiveLayer(hitLayer);
        m_layer = hitLayer;
    }
    const bool shift = event.modifiers & Qt::ShiftModifier;
    if (pickCell(*m_layer, hit, event.rawPoint, shift) && shift) {
        m_drag = Drag::None;
        return;
    }
    if (!hit) {
        if (!shift)
            m_layer->deselectAll();
        m_pendingKind = Drag::RubberBand;
        m_band = QRectF(m_start, m_start);
        return;
    }
    if (shift) {
        if (m_layer->isSelectedObject(*hit)) {
            m_layer->removeObjectFromSelection(hit);
            m_drag = Drag::None;
            return;
        }
        m_layer->addObjectToSelection(hit);
    } else if (!m_layer->isSelectedObject(*hit)) {
        m_layer->replaceSelectionWithObject(hit);
    }
    if (m_layer->countOfSelection() == 1)
        view.postShapeInfo(hit);
    if (m_layer->countOfSelection() == 1 && hit->isKindOf<QntConnector>() && !hit->isLocked()
        && startLabelDrag(std::static_pointer_cast<QntConnector>(hit), event.rawPoint))
        return;
    m_pendingKind = Drag::Move;
    m_movedBy = QPointF();
    for (const VRObjectRef &o : m_layer->selectedAvailableObjects())
        m_saved.push_back(saved(o));
    m_startBounds = QRectF();
    m_startReach = QRectF();
    for (qsizetype i = 0; i < m_saved.size(); ++i) {
        const VRObjectRef &o = m_saved.at(i).object;
        m_startBounds |= o->logicalBounds();
        const QRectF reach = o->reachBounds();
        m_startReach = i == 0 ? reach : vrSpanOfRects(m_startReach, reach);
    }
}

void VRSelectAndEditTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_drag == Drag::None)
        return;
    if (m_drag == Drag::Pending) {
        if ((event.viewPosition - m_startView).manhattanLength() < kDragThreshold)
            return;
        m_drag = m_pendingKind;
        if (m_drag == Drag::Move && m_saved.isEmpty())
            m_drag = Drag::None;
        if (m_drag == Drag::Move || m_drag == Drag::Resize || m_drag == Drag::Rotate
            || m_drag == Drag::ConnectorEnd)
            beginGesture(view);
    }
    switch (m_drag) {
    case Drag::Move:
        // Leaving the visible drawing takes the selection out, for another window to take.
        if (const QRect visible = view.visibleRegion().boundingRect();
            !visible.isEmpty() && !visible.contains(event.viewPosition)) {
            dragOut(view);
            return;
        }
        moveTo(view, event);
        break;
    case Drag::Resize: resizeTo(view, event); break;
    case Drag::Rotate: rotateTo(view, event); break;
    case Drag::ConnectorEnd: dragConnectorEnd(view, event); break;
    case Drag::ConnectorLabel:
        if (m_connector) {
            const QRectF before = m_connector->bounds();
            m_connector->setLabelSettingsLive(
                m_connector->labelSettingsForCentre(event.rawPoint - m_labelGrab));
            view.updateDrawingRect(before | m_connector->bounds());
        }
        break;
    case Drag::ConnectorBend:
        if (m_connector) {
            const QRectF before = m_connector->bounds();
            const QPointF delta = event.rawPoint - m_start;
            m_connector->setBendOffsetLive(
                m_bendStart + QPointF(delta.x() * m_bendAxis.x(), delta.y() * m_bendAxis.y()));
            view.updateDrawingRect(before | m_connector->bounds());
        }
        break;
    case Drag::RubberBand: {
        const QRectF old = m_band;
        m_band = QRectF(m_start, event.rawPoint).normalized();
        view.updateDrawingRect(old | m_band);
        break;
    }
    case Drag::None:
    case Drag::Pending: break;
    }
}

void VRSelectAndEditTool::mouseReleased(VRDrawingView &view, const VRToolEvent &event)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    switch (drag) {
    case Drag::Move:
        endGesture(view, QStringLiteral("Move"));
        view.clearGuides();
        if (m_changed) {
            VRObjectList moved;
            for (const Saved &s : std::as_const(m_saved))
                moved.push_back(s.object);
            view.postObjectsMoved(moved);
            if (moved.size() == 1)
                view.postShapeInfo(moved.first());
        }
        break;
    case Drag::Resize:
        endGesture(view, QStringLiteral("Resize"));
        view.clearGuides();
        if (!m_saved.isEmpty())
            view.postShapeInfo(m_saved.first().object);
        break;
    case Drag::Rotate: endGesture(view, QStringLiteral("Rotate")); break;
    case Drag::ConnectorEnd:
        dropConnectorEnd(view, event);
        endGesture(view, QStringLiteral("Reconnect"));
        break;
    case Drag::ConnectorBend:
        if (m_connector) {
            // One undo step from where the drag began to where it ended.
            const QPointF end = m_connector->bendOffset();
            const QRectF before = m_connector->bounds();
            m_connector->setBendOffsetLive(m_bendStart);
            m_connector->setBendOffset(end);
            if (VRUndoManager *um = m_connector->undoManager())
                um->setActionName(QStringLiteral("Move Bend"));
            view.updateDrawingRect(before | m_connector->bounds());
            m_connector.reset();
        }
        break;
    case Drag::ConnectorLabel:
        if (m_connector) {
            // One undo step from where the label was to where it is dropped.
            const QntConnector::LabelSettings end = m_connector->labelSettings();
            const QRectF before = m_connector->bounds();
            m_connector->setLabelSettingsLive(m_labelStart);
            m_connector->setLabelSettings(end);
            if (VRUndoManager *um = m_connector->undoManager(); um && !(end == m_labelStart))
                um->setActionName(QStringLiteral("Move Label"));
            view.updateDrawingRect(before | m_connector->bounds());
            m_connector.reset();
        }
        break;
    case Drag::RubberBand: {
        const QRectF band = QRectF(m_start, event.rawPoint).normalized();
        m_band = QRectF();
        view.updateDrawingRect(band);
        if (!m_layer || m_layer->isLocked())
            break;
        VRObjectList inside;
        for (const VRObjectRef &o : m_layer->objectsInRect(band)) {
            if (!o->isLocked() && band.contains(o->logicalBounds()))
                inside.push_front(o); // objectsInRect is topmost first; keep z order
        }
        if (event.modifiers & Qt::ShiftModifier) {
            for (const VRObjectRef &o : std::as_const(inside))
                if (!m_layer->isSelectedObject(*o))
                    m_layer->addObjectToSelection(o);
        } else {
            m_layer->exchangeSelectionWithObjectsFromArray(inside);
        }
        if (m_layer->countOfSelection() == 1)
            view.postShapeInfo(m_layer->singleSelection());
        break;
    }
    case Drag::None:
    case Drag::Pending: break;
    }
    m_saved.clear();
    m_handle = -1;
    m_connector.reset();
}

void VRSelectAndEditTool::mouseDoubleClicked(VRDrawingView &view, const VRToolEvent &event)
{
    m_drag = Drag::None;
    VRObjectRef hit = view.objectAtPoint(event.rawPoint);
    if (!hit)
        return;
    // Inside a group element the sub-element under the pointer is highlighted.
    const VRClassInfo *elementClass = VRClassInfo::byName(u"QntElement");
    if (elementClass && hit->isKindOfClass(*elementClass)) {
        for (const VRObjectRef &part : hit->parts()) {
            if (part->isKindOfClass(*elementClass) && part->hitTest(event.rawPoint)) {
                view.setHighlightedObject(part);
                return;
            }
        }
    }
    hit->setDblClickCount(2);
    // In a table the cell under the pointer is edited.
    if (hit->isKindOf<QntElementTable>()) {
        auto &table = static_cast<QntElementTable &>(*hit);
        if (const std::shared_ptr<QntTextCell> cell = cellAtPoint(table, event.rawPoint)) {
            table.selectCells({cell});
            view.editTextOfObject(cell);
            return;
        }
    }
    view.editTextOfObject(hit);
}

void VRSelectAndEditTool::paintOverlay(VRDrawingView &view, QPainter &painter) const
{
    if (m_drag != Drag::RubberBand || m_band.isEmpty())
        return;
    QPen pen(QColor(40, 110, 220), 1.0 / view.scale());
    painter.setPen(pen);
    painter.setBrush(QColor(40, 110, 220, 40));
    painter.drawRect(m_band);
}

void VRSelectAndEditTool::dragOut(VRDrawingView &view)
{
    VRObjectDrawingLayer *layer = m_layer;
    VRObjectList objects;
    for (const Saved &s : std::as_const(m_saved))
        objects.push_back(s.object);
    // The objects go back where they were; the drag carries copies of them.
    const bool moved = m_changed;
    endGesture(view, QStringLiteral("Move"));
    if (moved) {
        if (VRUndoManager *undo = view.drawing()->undoManager(); undo && undo->canUndo())
            undo->undo();
        else
            for (const Saved &s : std::as_const(m_saved))
                s.object->setLocation(s.location);
    }
    view.clearGuides();
    m_drag = Drag::None;
    m_saved.clear();
    if (!layer || objects.isEmpty())
        return;
    VRObjectList copies;
    for (const VRObjectRef &object : std::as_const(objects))
        if (VRObjectRef copy = object->copy())
            copies.push_back(copy);
    if (copies.isEmpty())
        return;
    auto *data = new QMimeData;
    data->setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(copies));
    if (copies.size() == 1)
        copies.first()->writeSupplementaryDataToPasteboard(data);
    QRectF bounds;
    for (const VRObjectRef &object : std::as_const(objects))
        bounds |= object->bounds();
    QPixmap picture;
    if (!bounds.isEmpty() && bounds.width() < 4096 && bounds.height() < 4096) {
        QImage image(bounds.size().toSize().expandedTo(QSize(1, 1)),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-bounds.topLeft());
        for (const VRObjectRef &object : std::as_const(objects))
            object->render(painter);
        painter.end();
        data->setImageData(image);
        picture = QPixmap::fromImage(image.scaled(QSize(160, 160).boundedTo(image.size()),
                                                  Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    // Whoever takes the drop may ask the layer to remove the originals.
    layer->setDragPendingObjects(objects);
    auto *drag = new QDrag(&view);
    drag->setMimeData(data);
    if (!picture.isNull())
        drag->setPixmap(picture);
    const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    drag->deleteLater();
    if (result == Qt::IgnoreAction)
        layer->setDragPendingObjects({});
}

bool VRSelectAndEditTool::startLabelDrag(const std::shared_ptr<QntConnector> &connector,
                                         QPointF point)
{
    if (!connector || !connector->labelFrame().contains(point))
        return false;
    m_connector = connector;
    m_labelStart = connector->labelSettings();
    m_labelGrab = point - connector->labelPosition();
    m_pendingKind = Drag::ConnectorLabel;
    return true;
}

VRSelectAndEditTool::Saved VRSelectAndEditTool::saved(const VRObjectRef &object)
{
    Saved s{object,          object->location(),
            object->size(),  object->offset(),
            object->angle(), object->transformIncludingParent().map(QPointF())};
    const QRectF reach = object->reachBounds();
    for (const QPointF corner :
         {reach.topLeft(), reach.topRight(), reach.bottomLeft(), reach.bottomRight()})
        s.reach =
            std::max(s.reach, std::hypot(corner.x() - s.centre.x(), corner.y() - s.centre.y()));
    return s;
}

bool VRSelectAndEditTool::nearTheDrawing(QPointF centre, double radius)
{
    return std::isfinite(radius)
           && nearTheDrawing(
               QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)));
}

bool VRSelectAndEditTool::nearTheDrawing(const QRectF &area)
{
    // Well inside the coordinates a drawing holds: whatever lies there fits, without asking
    // every object.
    const double near = VRDrawing::kMaximumCoordinate * 0.9;
    return area.left() >= -near && area.right() <= near && area.top() >= -near
           && area.bottom() <= near;
}

void VRSelectAndEditTool::refuseTooFarOut(VRDrawingView &view)
{
    // Told once a gesture; the objects stay where they last fitted.
    if (m_refusedTooFarOut)
        return;
    m_refusedTooFarOut = true;
    view.drawing()->refuseObjectsTooFarOut();
}

void VRSelectAndEditTool::beginGesture(VRDrawingView &view)
{
    m_refusedTooFarOut = false;
    view.drawing()->setDynamicQualityModulationEnabled(true);
    if (VRUndoManager *undo = view.drawing()->undoManager()) {
        undo->beginUndoGrouping();
        m_grouping = true;
    }
}

void VRSelectAndEditTool::endGesture(VRDrawingView &view, const QString &actionName)
{
    view.drawing()->setDynamicQualityModulationEnabled(false);
    if (m_sizeInfo)
        m_sizeInfo->orderOut();
    if (m_grouping) {
        if (VRUndoManager *undo = view.drawing()->undoManager()) {
            undo->endUndoGrouping();
            if (m_changed && undo->groupingLevel() == 0)
                undo->setActionName(actionName);
        }
        m_grouping = false;
    }
    view.updateDrawingRect(m_startBounds);
    view.update();
}

void VRSelectAndEditTool::moveTo(VRDrawingView &view, const VRToolEvent &event)
{
    QPointF delta = event.rawPoint - m_start;
    // Snap the moved bounds' corner to the grid, then to the other objects' edges and centres.
    const QPointF corner = m_startBounds.topLeft() + delta;
    delta += view.snapToGrid(corner) - corner;
    VRObjectList moving;
    for (const Saved &s : std::as_const(m_saved))
        moving.push_back(s.object);
    delta += view.snapToGuides(m_startBounds.translated(delta), moving);
    // Objects stop where going on would take them beyond the coordinates a drawing holds.
    if (!nearTheDrawing(m_startReach.translated(delta))
        && !VRDrawing::holdsObjects(moving, delta - m_movedBy)) {
        refuseTooFarOut(view);
        return;
    }
    QRectF dirty;
    for (const Saved &s : std::as_const(m_saved)) {
        dirty |= s.object->bounds();
        if (s.object->isKindOf<QntConnector>())
            s.object->moveBy(delta - m_movedBy);
        else
            s.object->setLocation(s.location + delta);
        dirty |= s.object->bounds();
    }
    QntElement::carryHeldObjects(moving, delta - m_movedBy);
    QntElement::fitHoldersAcross(moving, delta - m_movedBy);
    m_movedBy = delta;
    m_changed = m_changed || !delta.isNull();
    view.updateDrawingRect(dirty);
}

void VRSelectAndEditTool::resizeTo(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_saved.isEmpty())
        return;
    const Saved &s = m_saved.first();
    const QPointF unit = VRDrawingView::handleUnitPosition(m_handle);
    const double hx = unit.x(), hy = unit.y();
    // The opposite handle stays where it is; work in the object's unrotated frame.
    const QPointF anchorLocal(-hx * s.size.width(), -hy * s.size.height());
    const QPointF anchor = s.centre + rotated(anchorLocal, s.angle);
    const QPointF point = view.snapToGrid(event.rawPoint);
    const QPointF d = rotated(point - anchor, -s.angle);
    double w = s.size.width(), h = s.size.height();
    if (hx != 0)
        w = std::max(1.0, d.x() * (hx > 0 ? 1 : -1));
    if (hy != 0)
        h = std::max(1.0, d.y() * (hy > 0 ? 1 : -1));
    if ((event.modifiers & Qt::ShiftModifier) && hx != 0 && hy != 0 && s.size.width() > 0
        && s.size.height() > 0) {
        const double k = std::max(w / s.size.width(), h / s.size.height());
        w = s.size.width() * k;
        h = s.size.height() * k;
    }
    const QPointF centreLocal(hx != 0 ? (hx > 0 ? w / 2 : -w / 2) : 0.0,
                              hy != 0 ? (hy > 0 ? h / 2 : -h / 2) : 0.0);
    // For edge handles the anchor lies on the centre line already.
    const QPointF newCentre = anchor + rotated(centreLocal, s.angle);
    const QPointF offsetShift =
        rotated(QPointF(s.offset.width() * w, s.offset.height() * h), s.angle);
    // Every point of the object scales about its centre by at most the larger of the two
    // factors; an object without width or height is always asked.
    const double scale = s.size.width() > 0 && s.size.height() > 0
                             ? std::max(w / s.size.width(), h / s.size.height())
                             : qInf();
    if (!nearTheDrawing(newCentre, s.reach * scale)
        && !s.object->wouldFitTheDrawingAfter([&](VRDrawableObject &o) {
               o.setSize(QSizeF(w, h));
               o.setLocation(newCentre + offsetShift);
           })) {
        refuseTooFarOut(view);
        return;
    }
    QRectF dirty = s.object->bounds();
    s.object->setSize(QSizeF(w, h));
    s.object->setLocation(newCentre + offsetShift);
    dirty |= s.object->bounds();
    m_changed = true;
    view.updateDrawingRect(dirty);
    if (VRDrawableObject::displaysSizeInfoWhenDragging()) {
        if (!m_sizeInfo)
            m_sizeInfo = VKInfoFloater::infoFloater();
        VRDrawing *drawing = view.drawing();
        m_sizeInfo->setStringValue(QStringLiteral("%1 × %2").arg(
            drawing->formattedConvertedLength(w), drawing->formattedConvertedLength(h)));
        m_sizeInfo->setWindowOffset(QSizeF(16, 16));
        m_sizeInfo->positionNearPoint(QPointF(event.viewPosition), &view);
        m_sizeInfo->orderFront();
    }
}

void VRSelectAndEditTool::rotateTo(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_saved.isEmpty())
        return;
    const Saved &s = m_saved.first();
    const QPointF v = event.rawPoint - s.centre;
    if (v.manhattanLength() < 1e-6)
        return;
    // The handle sits above the centre: straight up is angle 0.
    double angle = std::atan2(v.y(), v.x()) + M_PI / 2;
    if (event.modifiers & Qt::ShiftModifier) {
        const double step = qDegreesToRadians(15.0);
        angle = std::round(angle / step) * step;
    }
    while (angle > M_PI)
        angle -= 2 * M_PI;
    while (angle <= -M_PI)
        angle += 2 * M_PI;
    // Rotate about the centre, whatever the anchor.
    const auto turn = [&s, angle](VRDrawableObject &o) {
        o.setAngle(angle);
        const QPointF centreNow = o.transformIncludingParent().map(QPointF(0, 0));
        o.setLocation(o.location() + (s.centre - centreNow));
    };
    // A shape turns about its centre and stays within its reach of it; a path turns about its
    // bounds' centre and is then moved back by at most √2 times its reach: (1 + √2) in all.
    if (!nearTheDrawing(s.centre, s.reach * 2.5) && !s.object->wouldFitTheDrawingAfter(turn)) {
        refuseTooFarOut(view);
        return;
    }
    QRectF dirty = s.object->bounds();
    turn(*s.object);
    dirty |= s.object->bounds();
    m_changed = true;
    view.updateDrawingRect(dirty);
}

void VRSelectAndEditTool::dragConnectorEnd(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_connector)
        return;
    QntConnectorEndPoint *end =
        m_connectorEnd == 0 ? m_connector->startEndPoint() : m_connector->endEndPoint();
    const QRectF before = m_connector->bounds();
    // While dragged the end is free; the element under the pointer shows it would take it.
    end->attachTo(nullptr);
    end->setPoint(event.point);
    m_connector->endsDidMove();
    std::shared_ptr<QntElement> over =
        QntConnectorTool::elementForConnectorEnd(view, event.rawPoint, m_connector.get());
    std::shared_ptr<QntElement> old = m_endHover.lock();
    if (old != over) {
        if (old)
            old->setHighlightedForConnectorSnapping(false);
        if (over)
            over->setHighlightedForConnectorSnapping(true);
        m_endHover = over;
    }
    m_changed = true;
    view.updateDrawingRect(before | m_connector->bounds());
}

void VRSelectAndEditTool::dropConnectorEnd(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_connector)
        return;
    if (std::shared_ptr<QntElement> hover = m_endHover.lock())
        hover->setHighlightedForConnectorSnapping(false);
    m_endHover.reset();
    QntConnectorEndPoint *end =
        m_connectorEnd == 0 ? m_connector->startEndPoint() : m_connector->endEndPoint();
    // Put the end back as it was first, so the one recorded step leads from there.
    end->setPoint(m_endPoint);
    end->setFreeSide(m_endSide);
    if (std::shared_ptr<QntElement> element = m_endElement.lock(); element && m_endSpot >= 0)
        end->attach(element, m_endSpot);
    const QRectF before = m_connector->bounds();
    std::shared_ptr<QntElement> target =
        QntConnectorTool::elementForConnectorEnd(view, event.rawPoint, m_connector.get());
    int spot = -1;
    if (target) {
        if (std::shared_ptr<QntStickySpot> s = target->nearestStickySpot(event.rawPoint))
            spot = s->index();
    }
    setConnectorEnd(m_connector, m_connectorEnd, target, spot, event.point);
    view.updateDrawingRect(before | m_connector->bounds());
}
