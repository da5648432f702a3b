// QntElement: what an element holds (metadata "holds"), as a frame holds its messages: kept
// apart for copies, and enclosed again when the participants it lies across move.

#include "framework/model/QntElement.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/VRObjectOwnerLayer.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace {

const QString kUid = QStringLiteral("uid");
const QString kHolds = QStringLiteral("holds");

QStringList heldUids(const VRDrawableObject &object)
{
    return object.stringForKey(kHolds).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void QntElement::separateHeldCopies(const QList<VRObjectList> &batches,
                                    const VRObjectOwnerLayer *layer)
{
    QSet<QString> taken;
    QSet<QString> named;
    const auto noteNames = [&named](const VRDrawableObject &object) {
        for (const QString &uid : heldUids(object))
            named.insert(uid);
    };
    if (layer) {
        for (const VRObjectRef &object : layer->objects()) {
            const QString uid = object->stringForKey(kUid);
            if (!uid.isEmpty())
                taken.insert(uid);
            noteNames(*object);
        }
    }
    for (const VRObjectList &batch : batches) {
        for (const VRObjectRef &copy : batch) {
            if (copy)
                noteNames(*copy);
        }
    }
    if (named.isEmpty())
        return;
    for (const VRObjectList &batch : batches) {
        // What each original uid is called among this batch's copies.
        QHash<QString, QString> renamed;
        for (const VRObjectRef &copy : batch) {
            if (!copy)
                continue;
            const QString uid = copy->stringForKey(kUid);
            if (uid.isEmpty())
                continue;
            QString own = uid;
            if (named.contains(uid) && taken.contains(uid)) {
                for (int n = 2; taken.contains(own); ++n)
                    own = uid + QLatin1Char('-') + QString::number(n);
                copy->setString(own, kUid);
            }
            taken.insert(own);
            if (!renamed.contains(uid))
                renamed.insert(uid, own);
        }
        for (const VRObjectRef &copy : batch) {
            if (!copy || !copy->hasMetadataForKey(kHolds))
                continue;
            QStringList held;
            for (const QString &uid : heldUids(*copy)) {
                const auto it = renamed.constFind(uid);
                if (it != renamed.constEnd() && !held.contains(*it))
                    held.append(*it);
            }
            if (held.isEmpty())
                copy->removeMetadataForKey(kHolds);
            else
                copy->setString(held.join(QLatin1Char('\n')), kHolds);
        }
    }
}

namespace {

// A stretch of the drawing's x axis.
struct Span {
    double left = qInf();
    double right = -qInf();
    bool isEmpty() const { return !(left <= right); }
    void add(double from, double to)
    {
        left = std::min(left, from);
        right = std::max(right, to);
    }
};

QRectF boxOf(const VRDrawableObject &object)
{
    return object.transform().mapRect(QRectF(-0.5, -0.5, 1, 1));
}

} // namespace

void QntElement::fitHoldersAcross(const VRObjectList &moved, QPointF delta)
{
    if (moved.isEmpty() || delta.x() == 0 || !std::isfinite(delta.x()))
        return;
    VRObjectOwnerLayer *layer = moved.first()->layer();
    if (!layer)
        return;
    QSet<const VRDrawableObject *> movedSet;
    for (const VRObjectRef &object : moved)
        movedSet.insert(object.get());
    QList<std::shared_ptr<QntElement>> holders;
    for (const VRObjectRef &object : layer->objects()) {
        if (object->isKindOf<QntElement>() && object->hasMetadataForKey(kHolds))
            holders.append(std::static_pointer_cast<QntElement>(object));
    }
    if (holders.isEmpty())
        return;
    QHash<QString, VRObjectList> byUid;
    for (const VRObjectRef &object : layer->objects()) {
        const QString uid = object->stringForKey(kUid);
        if (!uid.isEmpty())
            byUid[uid].append(object);
    }
    const auto heldBy = [&byUid](const VRDrawableObject &holder) {
        VRObjectList held;
        for (const QString &uid : heldUids(holder))
            held += byUid.value(uid);
        return held;
    };
    // What moved elements hold went along with them, and keeps its size.
    QSet<const VRDrawableObject *> keep = movedSet;
    std::function<void(const VRDrawableObject &)> keepHeld = [&](const VRDrawableObject &holder) {
        for (const VRObjectRef &object : heldBy(holder)) {
            if (!keep.contains(object.get())) {
                keep.insert(object.get());
                keepHeld(*object);
            }
        }
    };
    for (const VRObjectRef &object : moved)
        keepHeld(*object);

    // Where each holder ran across before the move, once fitted (inner ones first).
    QHash<const VRDrawableObject *, Span> before;
    QSet<const VRDrawableObject *> visiting;
    std::function<Span(const std::shared_ptr<QntElement> &)> fit =
        [&](const std::shared_ptr<QntElement> &holder) -> Span {
        if (const auto it = before.constFind(holder.get()); it != before.constEnd())
            return *it;
        const QRectF box = boxOf(*holder);
        Span own{box.left(), box.right()};
        before.insert(holder.get(), own);
        if (visiting.contains(holder.get()))
            return own;
        visiting.insert(holder.get());
        Span was, is;
        for (const VRObjectRef &object : heldBy(*holder)) {
            if (object->isKindOf<QntConnector>()) {
                const auto &connector = static_cast<const QntConnector &>(*object);
                for (const QntConnectorEndPoint *end :
                     {connector.startEndPoint(), connector.endEndPoint()}) {
                    const auto element = end->targetElement();
                    if (!element)
                        continue;
                    const double x = end->location().x();
                    const double back = movedSet.contains(element.get()) ? delta.x() : 0;
                    was.add(x - back, x - back);
                    is.add(x, x);
                }
            } else if (object->isKindOf<QntElement>()) {
                const auto element = std::static_pointer_cast<QntElement>(object);
                const Span earlier =
                    element->hasMetadataForKey(kHolds) && !keep.contains(element.get())
                        ? fit(element)
                        : Span{boxOf(*element).left(), boxOf(*element).right()};
                const QRectF now = boxOf(*element);
                const double back = movedSet.contains(element.get()) ? delta.x() : 0;
                was.add(earlier.left - back, earlier.right - back);
                is.add(now.left(), now.right());
            }
        }
        visiting.remove(holder.get());
        if (keep.contains(holder.get()) || was.isEmpty() || is.isEmpty())
            return own;
        const double left = own.left + (is.left - was.left);
        const double right = own.right + (is.right - was.right);
        if (left != own.left || right != own.right)
            holder->stretchAcross(left, right);
        return own;
    };
    for (const auto &holder : std::as_const(holders))
        fit(holder);
}

QntElement::Shape QntElement::shape() const
{
    Shape s;
    s.own = VRDrawableObject::saveGeometry();
    s.contentRect = m_contentRect;
    for (const VRObjectRef &member : m_members)
        s.members.append(member->saveGeometry());
    return s;
}

void QntElement::setShape(const Shape &s)
{
    if (s.members.size() != m_members.size())
        return;
    recordUndo("setShape:", QStringLiteral("Move"), [old = shape()](VRDrawableObject &o) {
        static_cast<QntElement &>(o).setShape(old);
    });
    m_contentRect = s.contentRect;
    for (qsizetype i = 0; i < m_members.size(); ++i)
        m_members.at(i)->restoreGeometry(s.members.at(i));
    VRDrawableObject::restoreGeometry(s.own);
}

void QntElement::stretchAcross(double left, double right)
{
    const QRectF box = boxOf(*this);
    const QRectF content = m_contentRect;
    if (!std::isfinite(left) || !std::isfinite(right) || angle() != 0 || box.width() <= 0
        || content.width() <= 0 || (left == box.left() && right == box.right()))
        return;
    // Drawing units per unit of the content, kept: the parts keep their sizes.
    const double scale = box.width() / content.width();
    // Close to a side, in the content's units.
    const double near = 1.0 / scale;
    const auto runsAcross = [&](const QRectF &r) {
        return r.left() <= content.left() + near && r.right() >= content.right() - near;
    };
    QList<QRectF> partBoxes;
    double narrowest = 2 * near;
    for (const VRObjectRef &member : std::as_const(m_members)) {
        const Geometry g = member->saveGeometry();
        const QRectF r = g.path.isEmpty() ? member->transform().mapRect(QRectF(-0.5, -0.5, 1, 1))
                                          : g.path.boundingRect();
        partBoxes.append(r);
        if (!runsAcross(r))
            narrowest = std::max(narrowest, r.width() + 2 * near);
    }
    // Never narrower than the parts that do not stretch; the side that moved gives way.
    if ((right - left) / scale < narrowest) {
        if (right != box.right())
            right = left + narrowest * scale;
        else
            left = right - narrowest * scale;
    }
    const Shape old = shape();
    QRectF stretched = content;
    stretched.setLeft(content.left() + (left - box.left()) / scale);
    stretched.setRight(content.left() + (right - box.left()) / scale);
    const double moveLeft = stretched.left() - content.left();
    const double moveRight = stretched.right() - content.right();
    const double factor = stretched.width() / content.width();
    for (qsizetype i = 0; i < m_members.size(); ++i) {
        const QRectF &r = partBoxes.at(i);
        QTransform t;
        if (runsAcross(r)) {
            t = QTransform(factor, 0, 0, 1, stretched.left() - content.left() * factor, 0);
        } else {
            const double third = (r.center().x() - content.left()) / content.width() * 3;
            t = QTransform::fromTranslate(third < 1   ? moveLeft
                                          : third > 2 ? moveRight
                                                      : (moveLeft + moveRight) / 2,
                                          0);
        }
        VRShapeGroup::moveGeometryThrough(*m_members.at(i), t);
    }
    m_contentRect = stretched;
    Geometry own = old.own;
    own.size.setWidth(right - left);
    // The anchor keeps its place within the element.
    own.location.setX(left + (right - left) * (0.5 + m_offset.width()));
    recordUndo("setShape:", QStringLiteral("Move"),
               [old](VRDrawableObject &o) { static_cast<QntElement &>(o).setShape(old); });
    VRDrawableObject::restoreGeometry(own);
}
