#include "framework/model/VRObjectOwnerLayer.h"

#include "framework/base/VRParkedWorkers.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/undo/VRUndoManager.h"

#include <QPainter>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

VR_CLASS_IMPL(VRObjectOwnerLayer, VRLayer)
VR_ROOT_CLASS_IMPL(VRObjectStorage, nullptr)
VR_CLASS_IMPL(VRLinearObjectStorage, VRObjectStorage)
VR_CLASS_IMPL(VRBSPObjectStorage, VRObjectStorage)

namespace {
const VRClassInfo *g_storageClass = nullptr;

// Below this zoom, objects that look small on screen are drawn simplified.
constexpr double kSimplifyBelowScale = 0.5;
// Objects smaller than this on screen (device pixels, longer side) are drawn simplified: their
// outline filled and stroked in their style's colours, without text, shadows or gradients, none of
// which can be made out at that size.
constexpr double kSimplifyBelowPixels = 48.0;
// Smaller than this, an object is just its bounds' rectangle.
constexpr double kBoxBelowPixels = 4.0;

bool isSmallOnScreen(const QRectF &bounds, double scale)
{
    return std::max(bounds.width(), bounds.height()) * scale < kSimplifyBelowPixels;
}

// The last fill and the last stroke of a renderer tree in drawing order: the ones whose colours
// a style reports as its fill and stroke colours. Found in one walk, without collecting lists.
void lastFillAndStroke(const VRRastGroup &group, const VRFill *&fill, const VRStroke *&stroke)
{
    for (const VRRendererRef &r : group.members()) {
        if (r->isKindOf<VRFill>())
            fill = static_cast<const VRFill *>(r.get());
        if (r->isKindOf<VRStroke>())
            stroke = static_cast<const VRStroke *>(r.get());
        if (r->isKindOf<VRRastGroup>())
            lastFillAndStroke(static_cast<const VRRastGroup &>(*r), fill, stroke);
    }
}

// The colours a simplified object is drawn in: its own style's, or its first part's that has one.
void simplifiedColours(const VRDrawableObject &object, QColor *fill, QColor *stroke)
{
    if (const VRStyle *style = object.style().get()) {
        const VRFill *f = nullptr;
        const VRStroke *s = nullptr;
        lastFillAndStroke(*style, f, s);
        *fill = f ? f->colour() : QColor();
        *stroke = s ? s->colour() : QColor();
    }
    if (fill->isValid() || stroke->isValid())
        return;
    for (const VRObjectRef &part : object.parts()) {
        simplifiedColours(*part, fill, stroke);
        if (fill->isValid() || stroke->isValid())
            return;
    }
}

// A simplified object's outline, drawn by a painter without a transform of its own: toScreen
// maps drawing coordinates to its pixels. Plain upright rectangles and ovals, most of a large
// drawing, are drawn as such in whole pixels, which is much quicker than filling their outline
// as a path.
void drawSimplifiedOutline(QPainter &painter, const VRDrawableObject &object,
                           const QTransform &toScreen)
{
    if (&object.classInfo() == &VRDrawableShape::staticClass()) {
        const QTransform t = object.transformIncludingParent() * toScreen;
        if (t.type() <= QTransform::TxScale) {
            static const QPainterPath rect = VRDrawableShape::unitRectAtOrigin();
            static const QPainterPath oval = VRDrawableShape::unitOvalAtOrigin();
            const QPainterPath unit = static_cast<const VRDrawableShape &>(object).unitPath();
            const QRect box = t.mapRect(QRectF(-0.5, -0.5, 1, 1)).toRect();
            if (unit == rect) {
                painter.drawRect(box);
                return;
            }
            if (unit == oval) {
                painter.drawEllipse(box);
                return;
            }
        }
    }
    painter.setWorldTransform(toScreen);
    painter.drawPath(object.renderingPath());
    painter.resetTransform();
}

// Draws an object simplified, by a painter without a transform of its own (see above).
void renderSimplified(QPainter &painter, const VRDrawableObject &object, double scale,
                      const QTransform &toScreen)
{
    QColor fill, stroke;
    simplifiedColours(object, &fill, &stroke);
    if (!fill.isValid() && !stroke.isValid())
        return;
    // The cached bounds (stroke included) decide; the outline is made once.
    const QRectF bounds = object.bounds();
    if (std::max(bounds.width(), bounds.height()) * scale < kBoxBelowPixels) {
        painter.fillRect(toScreen.mapRect(bounds),
                         fill.isValid() && fill.alpha() > 0 ? fill : stroke);
        return;
    }
    const QBrush brush = fill.isValid() ? QBrush(fill) : QBrush();
    if (painter.brush() != brush)
        painter.setBrush(brush);
    const QPen pen = stroke.isValid() ? QPen(stroke, 0) : QPen(Qt::NoPen);
    if (painter.pen() != pen)
        painter.setPen(pen);
    const VRObjectList parts = object.parts();
    if (parts.isEmpty()) {
        drawSimplifiedOutline(painter, object, toScreen);
        return;
    }
    // A group's outline is its first part with a look of its own (an element's contour).
    for (const VRObjectRef &part : parts) {
        if (part->style()) {
            drawSimplifiedOutline(painter, *part, toScreen);
            return;
        }
    }
    painter.drawRect(toScreen.mapRect(bounds));
}
// Threads that measure a large layer's objects beside the thread that asks, started for the
// first large layer and parked between layers until the process ends: their fonts and measures
// of characters stay with them from one layer to the next.
VRParkedWorkers &measuringWorkers()
{
    static auto *workers = new VRParkedWorkers(3);
    return *workers;
}

// Measures the outer bounds of many objects on several threads at once, each object kept by
// the one that measured it. An object's outer bounds depend on it alone (its geometry, its
// parts, its style): measuring touches only what the object owns, and texts measured so keep
// nothing in renderers that styles share. Whatever is left unmeasured is measured on demand.
void measureOuterBoundsTogether(const VRObjectList &objects)
{
    // Fewer objects than this are measured sooner than threads are woken.
    constexpr qsizetype kFewestTogether = 2048;
    constexpr int kChunk = 64;
    const int count = int(objects.size());
    if (count < kFewestTogether)
        return;
    std::atomic<int> next{0};
    const auto measureShare = [&] {
        const VRTextAdornment::MeasuringAlongside alongside;
        for (int start = next.fetch_add(kChunk, std::memory_order_relaxed); start < count;
             start = next.fetch_add(kChunk, std::memory_order_relaxed)) {
            const int end = std::min(count, start + kChunk);
            for (int z = start; z < end; ++z)
                objects.at(z)->outerBounds();
        }
    };
    try {
        measuringWorkers().run([&](int) { measureShare(); }, measureShare);
    } catch (...) {
        // What is left unmeasured is measured when it is asked for.
    }
}
} // namespace

// Uniform cells over the objects' outer bounds (their texts not laid out: the callers measure
// exactly only the few objects near the place they ask about). Objects whose bounds changed are
// queued and moved to their new cells before the next query; a change of order or membership
// drops the index, which is built again on the next query.
class VRObjectOwnerLayer::Index
{
public:
    static constexpr double kCell = 256.0;
    // Objects spanning more cells than this are kept aside and always looked at.
    static constexpr qint64 kMaxCells = 256;

    void build(const VRObjectList &objects)
    {
        m_cells.clear();
        m_entries.clear();
        m_large.clear();
        m_pending.clear();
        m_entries.reserve(size_t(objects.size()));
        measureOuterBoundsTogether(objects);
        for (int z = 0; z < int(objects.size()); ++z) {
            const VRDrawableObject *o = objects.at(z).get();
            Entry &e = m_entries[o];
            e.object = o;
            e.z = z;
            e.bounds = o->outerBounds();
            insert(e);
        }
    }

    void boundsChanged(const VRDrawableObject *object) { m_pending.push_back(object); }

    void refresh()
    {
        for (const VRDrawableObject *o : m_pending) {
            auto it = m_entries.find(o);
            if (it == m_entries.end())
                continue;
            const QRectF now = o->outerBounds();
            if (now == it->second.bounds)
                continue;
            remove(it->second);
            it->second.bounds = now;
            insert(it->second);
        }
        m_pending.clear();
    }

    // Indices (z order) of the objects whose bounds meet the area, bottom first.
    std::vector<int> near(const QRectF &area) const
    {
        std::vector<int> found;
        const auto take = [&](const Entry &e) {
            if (intersects(e.bounds, area))
                found.push_back(e.z);
        };
        for (const Entry *e : m_large)
            take(*e);
        const QRect c = cells(area);
        if (qint64(c.width()) * c.height() <= kMaxCells * 16) {
            for (int cx = c.left(); cx <= c.right(); ++cx)
                for (int cy = c.top(); cy <= c.bottom(); ++cy) {
                    auto it = m_cells.find(key(cx, cy));
                    if (it == m_cells.end())
                        continue;
                    for (const Entry *e : it->second)
                        take(*e);
                }
        } else {
            for (const auto &[o, e] : m_entries)
                if (!e.large)
                    take(e);
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }

private:
    // Kept in m_entries, whose nodes stay put; the cells point at them.
    struct Entry {
        QRectF bounds;
        const VRDrawableObject *object = nullptr;
        int z = 0;
        bool large = false;
    };

    static bool intersects(const QRectF &a, const QRectF &b)
    {
        // Touching counts, and so do empty bounds (a straight line): the callers test exactly.
        return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom()
               && b.top() <= a.bottom();
    }
    static int cell(double v) { return int(std::clamp(std::floor(v / kCell), -1.0e6, 1.0e6)); }
    static QRect cells(const QRectF &r)
    {
        return QRect(QPoint(cell(r.left()), cell(r.top())),
                     QPoint(cell(r.right()), cell(r.bottom())));
    }
    static qint64 key(int cx, int cy) { return (qint64(cx) << 32) ^ qint64(quint32(cy)); }

    void insert(Entry &e)
    {
        const QRect c = cells(e.bounds);
        e.large = qint64(c.width()) * c.height() > kMaxCells;
        if (e.large) {
            m_large.push_back(&e);
            return;
        }
        for (int cx = c.left(); cx <= c.right(); ++cx)
            for (int cy = c.top(); cy <= c.bottom(); ++cy)
                m_cells[key(cx, cy)].push_back(&e);
    }

    void remove(const Entry &e)
    {
        if (e.large) {
            m_large.erase(std::remove(m_large.begin(), m_large.end(), &e), m_large.end());
            return;
        }
        const QRect c = cells(e.bounds);
        for (int cx = c.left(); cx <= c.right(); ++cx)
            for (int cy = c.top(); cy <= c.bottom(); ++cy) {
                auto it = m_cells.find(key(cx, cy));
                if (it == m_cells.end())
                    continue;
                auto &v = it->second;
                v.erase(std::remove(v.begin(), v.end(), &e), v.end());
                if (v.empty())
                    m_cells.erase(it);
            }
    }

    std::unordered_map<qint64, std::vector<const Entry *>> m_cells;
    std::unordered_map<const VRDrawableObject *, Entry> m_entries;
    std::vector<const Entry *> m_large;
    std::vector<const VRDrawableObject *> m_pending;
};

VRObjectOwnerLayer::VRObjectOwnerLayer() = default;

VRObjectOwnerLayer::~VRObjectOwnerLayer()
{
    for (const auto &o : std::as_const(m_objects)) {
        if (o->container() == this)
            o->setContainer(nullptr);
    }
}

VRObjectList VRObjectOwnerLayer::availableObjects() const
{
    VRObjectList result;
    for (const auto &o : m_objects) {
        if (o->isVisible() && !o->isLocked())
            result.append(o);
    }
    return result;
}

void VRObjectOwnerLayer::addObject(VRObjectRef object)
{
    if (object)
        insertObjects({object}, int(m_objects.size()));
}

void VRObjectOwnerLayer::addObjectsFromArray(const VRObjectList &objects)
{
    insertObjects(objects, int(m_objects.size()));
}

void VRObjectOwnerLayer::notifyMembership(VRDrawableObject &object, bool added)
{
    VRDrawing *d = drawing();
    if (!d || object.isPrototype())
        return;
    // The drawing's router keeps every object of its layers as an obstacle or a connector.
    VRAvoidRouter *router = d->avoidRouter();
    if (!router)
        return;
    if (added)
        router->registerObject(&object);
    else
        router->unregisterObject(&object);
}

void VRObjectOwnerLayer::insertObjects(const VRObjectList &objects, int index)
{
    // An object already in the layer has the layer for its container, so adding one object to a
    // large layer costs no walk over the layer; the set only drops repeats within the new ones.
    QSet<const VRDrawableObject *> seen;
    seen.reserve(objects.size());
    VRObjectList toAdd;
    toAdd.reserve(objects.size());
    for (const auto &o : objects) {
        if (o && o->container() != this && !seen.contains(o.get())) {
            seen.insert(o.get());
            toAdd.append(o);
        }
    }
    if (toAdd.isEmpty())
        return;
    index = std::clamp(index, 0, int(m_objects.size()));
    recordLayerUndo(
        "addObject:",
        toAdd.size() == 1 ? QStringLiteral("Add Object") : QStringLiteral("Add Objects"),
        [toAdd](VRLayer &l) { static_cast<VRObjectOwnerLayer &>(l).removeObjectsInArray(toAdd); },
        toAdd.first().get());
    for (int i = 0; i < toAdd.size(); ++i) {
        const auto &o = toAdd.at(i);
        if (auto *old = o->layer(); old && old != this)
            old->removeObject(o);
        m_objects.insert(index + i, o);
        o->setContainer(this);
    }
    invalidateIndex();
    for (const auto &o : std::as_const(toAdd)) {
        o->objectWasAddedToLayer(this);
        notifyMembership(*o, true);
        o->notifyVisualChange();
    }
}

void VRObjectOwnerLayer::removeObject(const VRObjectRef &object)
{
    if (object)
        removeObjectsInArray({object});
}

void VRObjectOwnerLayer::removeObjectsInArray(const VRObjectList &objects)
{
    // Remember each object's z-index so undo puts it back exactly where it was.
    QSet<const VRDrawableObject *> victims;
    for (const auto &o : objects)
        victims.insert(o.get());
    QList<QPair<int, VRObjectRef>> removed;
    for (int i = 0; i < m_objects.size(); ++i) {
        if (victims.contains(m_objects.at(i).get()))
            removed.append({i, m_objects.at(i)});
    }
    if (removed.isEmpty())
        return;
    VRObjectList list;
    for (const auto &r : std::as_const(removed))
        list.append(r.second);
    objectsWillBeRemoved(list);
    recordLayerUndo(
        "removeObject:", QStringLiteral("Delete"),
        [removed](VRLayer &l) {
            auto &layer = static_cast<VRObjectOwnerLayer &>(l);
            for (const auto &r : removed)
                layer.insertObjects({r.second}, r.first);
        },
        removed.first().second.get());
    for (auto it = removed.crbegin(); it != removed.crend(); ++it) {
        it->second->objectWillBeRemovedFromLayer(this);
        notifyMembership(*it->second, false);
    }
    VRObjectList kept;
    kept.reserve(m_objects.size() - removed.size());
    for (const auto &o : std::as_const(m_objects)) {
        if (!victims.contains(o.get()))
            kept.append(o);
    }
    m_objects = kept;
    invalidateIndex();
    for (const auto &r : std::as_const(removed)) {
        if (r.second->container() == this)
            r.second->setContainer(nullptr);
    }
    setNeedsDisplay();
}

void VRObjectOwnerLayer::objectsWillBeRemoved(const VRObjectList &)
{
}

int VRObjectOwnerLayer::indexOfObject(const VRDrawableObject *object) const
{
    for (int i = 0; i < m_objects.size(); ++i) {
        if (m_objects.at(i).get() == object)
            return i;
    }
    return -1;
}

void VRObjectOwnerLayer::moveObjectToIndex(const VRObjectRef &object, int index)
{
    const int from = indexOfObject(object.get());
    if (from < 0)
        return;
    index = std::clamp(index, 0, int(m_objects.size()) - 1);
    if (from == index)
        return;
    std::weak_ptr<VRDrawableObject> weak = object;
    recordLayerUndo(
        "moveObjectToIndex:", QStringLiteral("Change Stacking Order"),
        [weak, from](VRLayer &l) {
            if (auto o = weak.lock())
                static_cast<VRObjectOwnerLayer &>(l).moveObjectToIndex(o, from);
        },
        object.get());
    m_objects.move(from, index);
    invalidateIndex();
    setNeedsDisplay();
}

void VRObjectOwnerLayer::moveObjectToBottom(const VRObjectRef &object)
{
    moveObjectToIndex(object, 0);
}

void VRObjectOwnerLayer::moveObjectToTop(const VRObjectRef &object)
{
    moveObjectToIndex(object, int(m_objects.size()) - 1);
}

VRObjectList VRObjectOwnerLayer::objectsWithStyle(const VRStyleRef &style) const
{
    VRObjectList result;
    for (const auto &o : m_objects) {
        if (o->style() == style)
            result.append(o);
    }
    return result;
}

QRectF VRObjectOwnerLayer::unionOfAllObjectBounds() const
{
    QRectF r;
    for (const auto &o : m_objects)
        r = r.isNull() ? o->bounds() : r.united(o->bounds());
    return r;
}

void VRObjectOwnerLayer::unregisterObjectsFromAvoidRouter()
{
    for (const auto &o : std::as_const(m_objects))
        notifyMembership(*o, false);
}

void VRObjectOwnerLayer::invalidateIndex()
{
    m_index.reset();
}

void VRObjectOwnerLayer::memberBoundsDidChange(VRDrawableObject &member)
{
    if (m_index)
        m_index->boundsChanged(&member);
}

std::vector<int> VRObjectOwnerLayer::indicesNear(const QRectF &area) const
{
    if (!m_index) {
        m_index = std::make_unique<Index>();
        m_index->build(m_objects);
    } else {
        m_index->refresh();
    }
    return m_index->near(area);
}

VRObjectRef VRObjectOwnerLayer::hitTest(QPointF point) const
{
    // Some objects answer a little outside their bounds (a thin line's pick tolerance).
    constexpr double kSlack = 16.0;
    const std::vector<int> near =
        indicesNear(QRectF(point - QPointF(kSlack, kSlack), QSizeF(2 * kSlack, 2 * kSlack)));
    for (auto it = near.crbegin(); it != near.crend(); ++it) {
        const VRObjectRef &o = m_objects.at(*it);
        if (o->hitTest(point))
            return o;
    }
    return nullptr;
}

VRObjectList VRObjectOwnerLayer::objectsInRect(const QRectF &rect) const
{
    VRObjectList result;
    const std::vector<int> near = indicesNear(rect);
    for (auto it = near.crbegin(); it != near.crend(); ++it) {
        const VRObjectRef &o = m_objects.at(*it);
        if (o->isVisible() && rect.intersects(o->bounds()))
            result.append(o);
    }
    return result;
}

void VRObjectOwnerLayer::setStorageClass(const VRClassInfo &storageClass)
{
    if (storageClass.isSubclassOf(VRObjectStorage::staticClass()))
        g_storageClass = &storageClass;
}

const VRClassInfo &VRObjectOwnerLayer::storageClass()
{
    return g_storageClass ? *g_storageClass : VRBSPObjectStorage::staticClass();
}

bool VRObjectOwnerLayer::layerMayBeDeleted() const
{
    VRDrawing *d = drawing();
    if (!d)
        return true;
    return d->layersOfClass(VRObjectOwnerLayer::staticClass()).size() > 1;
}

void VRObjectOwnerLayer::render(QPainter &painter, bool printing) const
{
    const QRectF clip = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
    const QTransform device = painter.deviceTransform();
    const double scale = std::hypot(device.m11(), device.m12());
    // Zoomed out on screen, small objects are drawn simplified; printing and export draw
    // everything in full.
    const bool simplify = !printing && scale < kSimplifyBelowScale;
    bool simplifying = false;
    // Simplified objects are drawn in screen pixels, without the painter's transform.
    const QTransform toScreen = painter.worldTransform();
    const auto draw = [&](const VRDrawableObject &o) {
        if (simplify && isSmallOnScreen(o.bounds(), scale)) {
            if (!simplifying) {
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing, false);
                painter.resetTransform();
                simplifying = true;
            }
            renderSimplified(painter, o, scale, toScreen);
            return;
        }
        if (simplifying) {
            painter.restore();
            simplifying = false;
        }
        o.render(painter);
    };
    if (clip.isNull()) {
        for (const auto &o : m_objects)
            if (o->isVisible())
                draw(*o);
    } else {
        for (int z : indicesNear(clip)) {
            const VRObjectRef &o = m_objects.at(z);
            // Drawing an object whose ink turns out to miss the clip paints nothing; measuring
            // its texts exactly only to skip it would cost more.
            if (o->isVisible() && clip.intersects(o->outerBounds()))
                draw(*o);
        }
    }
    if (simplifying)
        painter.restore();
}
