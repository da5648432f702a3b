#include "framework/model/VRObjectDrawingLayer.h"

#include "framework/routing/VRAutomaticLayout.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRObjectDrawingLayer, VRObjectOwnerLayer)

namespace {
bool g_selectionChangesAreUndoable = false;
} // namespace

VRObjectRef VRObjectDrawingLayer::singleSelection() const
{
    return m_selection.size() == 1 ? m_selection.first() : nullptr;
}

VRObjectList VRObjectDrawingLayer::selectedAvailableObjects() const
{
    VRObjectList result;
    for (const auto &o : m_selection) {
        if (o->isVisible() && !o->isLocked())
            result.append(o);
    }
    return result;
}

bool VRObjectDrawingLayer::isSelectedObject(const VRDrawableObject &object) const
{
    for (const auto &o : m_selection) {
        if (o.get() == &object)
            return true;
    }
    return false;
}

QRectF VRObjectDrawingLayer::selectionBounds() const
{
    QRectF r;
    for (const auto &o : m_selection)
        r = r.isNull() ? o->bounds() : r.united(o->bounds());
    return r;
}

void VRObjectDrawingLayer::postSelectionChanged()
{
    setNeedsDisplay();
    QVariantMap info{{QStringLiteral("layer"), QVariant::fromValue(shared_from_this())},
                     {QStringLiteral("object"), QVariant::fromValue(shared_from_this())}};
    NotificationCenter::defaultCenter().post(kVRLayerSelectionDidChange, this, info);
}

void VRObjectDrawingLayer::changeSelection(const VRObjectList &requested, bool undoable,
                                           const QString &actionName)
{
    VRObjectList selection;
    for (const auto &o : requested) {
        if (o && o->container() == this && !selection.contains(o))
            selection.append(o);
    }
    if (selection == m_selection)
        return;
    if (undoable) {
        const VRObjectList old = m_selection;
        recordLayerUndo(
            "exchangeSelectionWithObjectsFromArray:", actionName, [old, actionName](VRLayer &l) {
                static_cast<VRObjectDrawingLayer &>(l).changeSelection(old, true, actionName);
            });
    }
    m_selection = selection;
    postSelectionChanged();
}

void VRObjectDrawingLayer::addObjectToSelection(VRObjectRef object)
{
    if (!object || m_selection.contains(object))
        return;
    VRObjectList s = m_selection;
    s.append(object);
    changeSelection(s, g_selectionChangesAreUndoable, QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::addObjectsToSelectionFromArray(const VRObjectList &objects)
{
    VRObjectList s = m_selection;
    for (const auto &o : objects) {
        if (o && !s.contains(o))
            s.append(o);
    }
    changeSelection(s, g_selectionChangesAreUndoable, QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::removeObjectFromSelection(const VRObjectRef &object)
{
    if (!m_selection.contains(object))
        return;
    VRObjectList s = m_selection;
    s.removeAll(object);
    changeSelection(s, g_selectionChangesAreUndoable, QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::exchangeSelectionWithObjectsFromArray(const VRObjectList &objects)
{
    changeSelection(objects, g_selectionChangesAreUndoable, QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::replaceSelectionWithObject(VRObjectRef object)
{
    changeSelection(object ? VRObjectList{object} : VRObjectList{}, g_selectionChangesAreUndoable,
                    QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::deselectAll()
{
    changeSelection({}, g_selectionChangesAreUndoable, QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::selectAll()
{
    changeSelection(availableObjects(), g_selectionChangesAreUndoable,
                    QStringLiteral("Selection Change"));
}

void VRObjectDrawingLayer::setSelectionVisible(bool visible)
{
    if (visible == m_selectionVisible)
        return;
    m_selectionVisible = visible;
    setNeedsDisplay();
    if (visible && !m_selection.isEmpty() && drawing())
        drawing()->scrollToRect(selectionBounds());
}

void VRObjectDrawingLayer::deleteSelection(QObject *)
{
    const VRObjectList victims = selectedAvailableObjects();
    if (victims.isEmpty())
        return;
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    changeSelection({}, true, QStringLiteral("Delete"));
    removeObjectsInArray(victims);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Delete"));
    }
}

void VRObjectDrawingLayer::objectsWillBeRemoved(const VRObjectList &objects)
{
    VRObjectList s = m_selection;
    bool changed = false;
    for (const auto &o : objects)
        changed |= s.removeAll(o) > 0;
    if (changed)
        changeSelection(s, true, QString());
}

void VRObjectDrawingLayer::recordSelectionForUndo()
{
    m_recordedSelection = m_selection;
    m_selectionRecorded = true;
}

void VRObjectDrawingLayer::commitSelectionUndoWithActionName(const QString &actionName)
{
    if (m_selectionRecorded) {
        m_selectionRecorded = false;
        const VRObjectList old = m_recordedSelection;
        m_recordedSelection.clear();
        if (old != m_selection) {
            // Undo puts back the recorded selection; redo the present one.
            recordLayerUndo(
                "exchangeSelectionWithObjectsFromArray:", QString(), [old, actionName](VRLayer &l) {
                    static_cast<VRObjectDrawingLayer &>(l).changeSelection(old, true, actionName);
                });
        }
    }
    if (VRUndoManager *um = undoManager())
        um->setActionName(actionName);
}

void VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(bool undoable)
{
    g_selectionChangesAreUndoable = undoable;
}

bool VRObjectDrawingLayer::defaultSelectionChangesAreUndoable()
{
    return g_selectionChangesAreUndoable;
}

VRObjectList VRObjectDrawingLayer::polarDuplicate(const VRObjectList &objects, QPointF centre,
                                                  int numberOfCopies, double incrementAngle,
                                                  bool rotateCopies) const
{
    if (numberOfCopies < 1 || makesTooManyObjects(objects.size(), numberOfCopies)
        || !std::isfinite(incrementAngle) || !std::isfinite(centre.x())
        || !std::isfinite(centre.y()))
        return {};
    QList<VRObjectList> batches;
    for (int k = 1; k <= numberOfCopies; ++k) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotateRadians(k * incrementAngle);
        turn.translate(-centre.x(), -centre.y());
        VRObjectList &batch = batches.emplace_back();
        for (const auto &o : objects) {
            VRObjectRef c = o->copy();
            if (!c)
                continue;
            if (rotateCopies)
                c->applyTransform(turn);
            else
                c->setLocation(turn.map(o->location()));
            batch.append(c);
        }
    }
    return copiesKeptApart(batches);
}

VRObjectList VRObjectDrawingLayer::copiesKeptApart(const QList<VRObjectList> &batches) const
{
    QntElement::separateHeldCopies(batches, this);
    VRObjectList result;
    for (const VRObjectList &batch : batches)
        result += batch;
    return result;
}

bool VRObjectDrawingLayer::makesTooManyObjects(qsizetype objects, int numberOfCopies)
{
    // One copy of each object is never more than the drawing holds already.
    return numberOfCopies > kMaximumCopies
           || qint64(objects) * numberOfCopies
                  > std::max(qint64(kMaximumObjectsMade), qint64(objects));
}

VRObjectList VRObjectDrawingLayer::autoPolarDuplicate(const VRObjectRef &object,
                                                      QPointF centre) const
{
    if (!object)
        return {};
    const int n = autoPolarCopyCount(*object, centre);
    if (n < 1 || n > kMaximumCopies)
        return {};
    return polarDuplicate({object}, centre, n, 2 * M_PI / (n + 1), true);
}

int VRObjectDrawingLayer::autoPolarCopyCount(const VRDrawableObject &object, QPointF centre)
{
    const QPointF d = object.location() - centre;
    const double circumference = 2 * M_PI * std::hypot(d.x(), d.y());
    const double width = object.size().width() * 1.25;
    if (!(width > 0) || !std::isfinite(circumference))
        return 0;
    // Counted as a double first: a huge circle would not fit an int.
    const double n = std::floor(circumference / width) - 1;
    if (!(n >= 1))
        return 0;
    return n > kMaximumCopies ? kMaximumCopies + 1 : int(n);
}

VRObjectList VRObjectDrawingLayer::linearDuplicate(const VRObjectList &objects, QSizeF offset,
                                                   int numberOfCopies) const
{
    if (numberOfCopies < 1 || makesTooManyObjects(objects.size(), numberOfCopies)
        || !std::isfinite(offset.width()) || !std::isfinite(offset.height()))
        return {};
    QList<VRObjectList> batches;
    for (int k = 1; k <= numberOfCopies; ++k) {
        VRObjectList &batch = batches.emplace_back();
        for (const auto &o : objects) {
            VRObjectRef c = o->copy();
            if (!c)
                continue;
            c->setLocation(o->location() + QPointF(k * offset.width(), k * offset.height()));
            batch.append(c);
        }
    }
    return copiesKeptApart(batches);
}

bool VRObjectDrawingLayer::alignSelection(Alignment alignment)
{
    const VRObjectList objects = selectedAvailableObjects();
    if (objects.size() < 2)
        return false;
    QRectF all;
    for (const auto &o : objects)
        all = all.isNull() ? o->logicalBounds() : all.united(o->logicalBounds());
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const auto &o : objects) {
        const QRectF b = o->logicalBounds();
        QPointF delta;
        switch (alignment) {
        case Alignment::LeftEdges: delta.setX(all.left() - b.left()); break;
        case Alignment::HorizontalCentres: delta.setX(all.center().x() - b.center().x()); break;
        case Alignment::RightEdges: delta.setX(all.right() - b.right()); break;
        case Alignment::TopEdges: delta.setY(all.top() - b.top()); break;
        case Alignment::VerticalCentres: delta.setY(all.center().y() - b.center().y()); break;
        case Alignment::BottomEdges: delta.setY(all.bottom() - b.bottom()); break;
        }
        if (!delta.isNull())
            o->moveBy(delta);
    }
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Align"));
    }
    return true;
}

bool VRObjectDrawingLayer::distributeSelection(Qt::Orientation orientation)
{
    VRObjectList objects = selectedAvailableObjects();
    if (objects.size() < 3)
        return false;
    const bool vertical = orientation == Qt::Vertical;
    auto start = [vertical](const VRObjectRef &o) {
        const QRectF b = o->logicalBounds();
        return vertical ? b.top() : b.left();
    };
    auto extent = [vertical](const VRObjectRef &o) {
        const QRectF b = o->logicalBounds();
        return vertical ? b.height() : b.width();
    };
    std::stable_sort(
        objects.begin(), objects.end(),
        [&](const VRObjectRef &a, const VRObjectRef &b) { return start(a) < start(b); });
    double first = start(objects.first());
    double last = start(objects.last()) + extent(objects.last());
    for (const auto &o : objects)
        last = std::max(last, start(o) + extent(o));
    double total = 0;
    for (const auto &o : objects)
        total += extent(o);
    const double gap = (last - first - total) / double(objects.size() - 1);
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    double position = first;
    for (const auto &o : objects) {
        const double delta = position - start(o);
        if (delta != 0.0)
            o->moveBy(vertical ? QPointF(0, delta) : QPointF(delta, 0));
        position += extent(o) + gap;
    }
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Distribute"));
    }
    return true;
}

bool VRObjectDrawingLayer::restackSelection(Restacking restacking)
{
    const VRObjectList selected = selectedAvailableObjects();
    if (selected.isEmpty())
        return false;
    // The selected objects bottom to top, so they keep their order among themselves.
    VRObjectList ordered;
    for (const auto &o : std::as_const(m_objects)) {
        if (selected.contains(o))
            ordered.append(o);
    }
    const bool up = restacking == Restacking::ToFront || restacking == Restacking::Forward;
    if (up)
        std::reverse(ordered.begin(), ordered.end());
    // Where an object goes: the end of the list, or the place of the nearest unselected object
    // it overlaps in the direction of the move.
    const auto targetIndex = [&](const VRObjectRef &o) {
        const int from = indexOfObject(o.get());
        if (restacking == Restacking::ToFront)
            return int(m_objects.size()) - 1;
        if (restacking == Restacking::ToBack)
            return 0;
        const QRectF area = o->bounds();
        const int step = up ? 1 : -1;
        for (int i = from + step; i >= 0 && i < int(m_objects.size()); i += step) {
            const VRObjectRef &other = m_objects.at(i);
            if (!isSelectedObject(*other) && other->isVisible() && other->bounds().intersects(area))
                return i;
        }
        return from;
    };
    static const char *const kNames[] = {"Bring to Front", "Bring Forward", "Send Backward",
                                         "Send to Back"};
    const QString name = QString::fromLatin1(kNames[int(restacking)]);
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    bool moved = false;
    int edge = up ? int(m_objects.size()) - 1 : 0;
    for (const auto &o : std::as_const(ordered)) {
        const int from = indexOfObject(o.get());
        int to = targetIndex(o);
        // To the front or back the selection stacks up below or above what went first.
        if (restacking == Restacking::ToFront || restacking == Restacking::ToBack)
            to = up ? edge-- : edge++;
        if (to != from) {
            moveObjectToIndex(o, to);
            moved = true;
        }
    }
    if (um) {
        um->endUndoGrouping();
        if (moved)
            um->setActionName(name);
    }
    return moved;
}

bool VRObjectDrawingLayer::setSelectionLocked(bool locked)
{
    VRObjectList changing;
    for (const auto &o : std::as_const(m_selection)) {
        if (o->isVisible() && o->isLocked() != locked)
            changing.append(o);
    }
    if (changing.isEmpty())
        return false;
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const auto &o : std::as_const(changing))
        o->setLocked(locked);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(locked ? QStringLiteral("Lock") : QStringLiteral("Unlock"));
    }
    // The handles of a locked object look different.
    setNeedsDisplay();
    return true;
}

int VRObjectDrawingLayer::sequenceSelectionCount() const
{
    int count = 0;
    for (const auto &o : m_selection) {
        const auto keys = o->userInfo().keys();
        if (std::any_of(keys.cbegin(), keys.cend(), [](const QString &k) {
                return k.startsWith(QLatin1String("SEQUENCE_DIAGRAM_"));
            }))
            ++count;
    }
    return count;
}

QImage VRObjectDrawingLayer::imageOfObject(const VRDrawableObject &object) const
{
    const QRectF b = object.bounds();
    const QSize pixels(int(std::ceil(b.width())), int(std::ceil(b.height())));
    if (pixels.isEmpty() || pixels.width() > 16384 || pixels.height() > 16384)
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-b.topLeft());
    object.render(painter);
    return image;
}

QStringList VRObjectDrawingLayer::pasteboardTypesForOperation(int operation) const
{
    if (operation == 8) {
        return {kVRDrawableObjectPasteboardType, QStringLiteral("image/png"),
                QStringLiteral("image/tiff"), QStringLiteral("image/jpeg"),
                QStringLiteral("text/uri-list")};
    }
    return {kVRDrawableObjectPasteboardType, kVRPasteboardInfoType, QStringLiteral("image/png"),
            QStringLiteral("text/plain")};
}

void VRObjectDrawingLayer::removeDragPendingObjects()
{
    m_removedDragPending.clear();
    for (const auto &o : std::as_const(m_dragPending)) {
        const int index = indexOfObject(o.get());
        if (index >= 0)
            m_removedDragPending.append({index, o});
    }
    if (m_removedDragPending.isEmpty())
        return;
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    removeObjectsInArray(m_dragPending);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Drag Out"));
    }
}

void VRObjectDrawingLayer::restoreAfterRemovingPengingDrag()
{
    VRUndoManager *um = undoManager();
    if (um)
        um->disableUndoRegistration();
    for (const auto &r : std::as_const(m_removedDragPending))
        insertObjects({r.second}, r.first);
    if (um)
        um->enableUndoRegistration();
    m_removedDragPending.clear();
    m_dragPending.clear();
}

bool VRObjectDrawingLayer::layout(QObject *)
{
    VRAutomaticLayout layout(*this);
    if (layout.emptiness() != VRAutomaticLayout::Emptiness::None)
        return false;
    const VRResult<void> computed = layout.compute();
    if (!computed) {
        qWarning("vr: automatic layout: %s", qPrintable(computed.errorMessage()));
        return false;
    }
    return layout.apply();
}

QVariant VRObjectDrawingLayer::valueForKey(const QString &key) const
{
    if (key == QLatin1String("selectionColour"))
        return m_selectionColour.isValid() ? QVariant(m_selectionColour) : QVariant();
    return VRObjectOwnerLayer::valueForKey(key);
}

bool VRObjectDrawingLayer::setValueForKey(const QVariant &value, const QString &key)
{
    if (key == QLatin1String("selectionColour")) {
        setSelectionColour(value.value<QColor>());
        return true;
    }
    return VRObjectOwnerLayer::setValueForKey(value, key);
}

void VRObjectDrawingLayer::setSelectionColour(const QColor &colour)
{
    if (colour == m_selectionColour)
        return;
    recordLayerUndo("setSelectionColour:", QStringLiteral("Change Selection Colour"),
                    [old = m_selectionColour](VRLayer &l) {
                        static_cast<VRObjectDrawingLayer &>(l).setSelectionColour(old);
                    });
    m_selectionColour = colour;
    setNeedsDisplay();
}

bool VRObjectDrawingLayer::layerMayBeDeleted() const
{
    return VRObjectOwnerLayer::layerMayBeDeleted();
}
