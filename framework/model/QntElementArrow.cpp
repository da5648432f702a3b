#include "framework/model/QntElementArrow.h"

#include "framework/model/QntElement.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(QntElementArrow, QntConnector)

QntElementArrow::QntElementArrow()
{
    setMode(1);
}

void QntElementArrow::setDirection(int direction)
{
    direction = std::clamp(direction, 0, 5);
    if (direction == m_direction)
        return;
    const int old = m_direction;
    recordUndo("setDirection:", QStringLiteral("Change Direction"),
               [old](VRDrawableObject &o) { static_cast<QntElementArrow &>(o).setDirection(old); });
    m_direction = direction;
    notifyVisualChange();
}

void QntElementArrow::setThickness(double thickness)
{
    if (!std::isfinite(thickness) || thickness <= 0 || thickness == m_thickness)
        return;
    const double old = m_thickness;
    recordUndo("setThickness:", QStringLiteral("Change Thickness"),
               [old](VRDrawableObject &o) { static_cast<QntElementArrow &>(o).setThickness(old); });
    m_thickness = thickness;
    notifyVisualChange();
}

void QntElementArrow::resetAngle()
{
    const QPainterPath p = path();
    const double length = p.length();
    const QPointF c = p.boundingRect().center();
    QPointF d;
    switch (m_direction) {
    case 0: d = QPointF(0, -1); break;
    case 1: d = QPointF(0, 1); break;
    case 2: d = QPointF(-1, 0); break;
    case 4: d = QPointF(0, 1); break;
    default: d = QPointF(1, 0); break;
    }
    QPainterPath straight;
    straight.moveTo(c - d * length / 2);
    straight.lineTo(c + d * length / 2);
    setPath(straight);
}

void QntElementArrow::prepare()
{
    invalidateBoundsCache();
    notifyVisualChange();
}

QPainterPath QntElementArrow::outline() const
{
    const QPainterPath p = renderingPath();
    if (p.elementCount() < 2)
        return {};
    QPainterPathStroker stroker;
    stroker.setWidth(m_thickness);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath body = stroker.createStroke(p);
    auto head = [this](QPointF tip, QPointF from) {
        const QPointF dir = tip - from;
        const double len = std::hypot(dir.x(), dir.y());
        QPainterPath h;
        if (len <= 0)
            return h;
        const QPointF u = dir / len, n(-u.y(), u.x());
        const double headLength = std::min(len, m_thickness * 1.5);
        const QPointF base = tip - u * headLength;
        h.moveTo(tip);
        h.lineTo(base + n * m_thickness);
        h.lineTo(base - n * m_thickness);
        h.closeSubpath();
        return h;
    };
    const int n = p.elementCount();
    body = body.united(head(p.elementAt(n - 1), p.elementAt(n - 2)));
    if (m_direction == 4 || m_direction == 5)
        body = body.united(head(p.elementAt(0), p.elementAt(1)));
    return body;
}

void QntElementArrow::drawContent(QPainter &painter) const
{
    const QPainterPath shape = outline();
    if (style()) {
        renderStyle(painter, style().get(), *this, shape);
    } else {
        painter.save();
        painter.setPen(QPen(shaftColor().isValid() ? shaftColor() : QColor(Qt::black), 1));
        painter.setBrush(QColor(200, 200, 200));
        painter.drawPath(shape);
        painter.restore();
    }
    drawLabel(painter, label(), *textAdornment(), labelPosition());
}

QRectF QntElementArrow::computeBounds(VRBoundsMeasure measure) const
{
    const double extra = styleExtraSpace(style().get());
    return outline()
        .boundingRect()
        .adjusted(-extra, -extra, extra, extra)
        .united(QntConnector::computeBounds(measure));
}

std::shared_ptr<QntElement> QntElementArrow::elementFromStyle() const
{
    const QRectF b = outline().boundingRect();
    QTransform toUnit;
    toUnit.scale(b.width() > 0 ? 1.0 / b.width() : 1.0, b.height() > 0 ? 1.0 / b.height() : 1.0);
    toUnit.translate(-b.center().x(), -b.center().y());
    auto part = VRDrawableShape::shapeWithRect(b, toUnit.map(outline()));
    part->setUserInfo({{QStringLiteral("ID"), QStringLiteral("p")}});
    part->setStyle(styleForCopy(style()));
    return QntElement::createWithObjects({part}, ID(), b.size());
}

namespace {
const QString kStylePartId = QStringLiteral("p");
}

VRObjectRef QntElementArrow::objectWithId(const QString &id) const
{
    if (id == kStylePartId)
        return std::const_pointer_cast<VRDrawableObject>(weak_from_this().lock());
    return QntConnector::objectWithId(id);
}

VRObjectList QntElementArrow::objectsWithPrefixId(const QString &prefix) const
{
    VRObjectList result;
    if (!prefix.isEmpty() && kStylePartId.startsWith(prefix)) {
        if (auto self = weak_from_this().lock())
            result.append(std::const_pointer_cast<VRDrawableObject>(self));
    }
    result.append(QntConnector::objectsWithPrefixId(prefix));
    return result;
}

VRObjectRef QntElementArrow::copy() const
{
    auto object = QntConnector::copy();
    if (object) {
        auto &t = static_cast<QntElementArrow &>(*object);
        t.m_direction = m_direction;
        t.m_thickness = m_thickness;
    }
    return object;
}

void QntElementArrow::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    QntConnector::writeRecord(r, writer);
    r.insert("direction", m_direction);
    r.insert("thickness", m_thickness);
}

bool QntElementArrow::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return QntConnector::readRecord(r, reader, path)
           && reader.readInt(r, QStringLiteral("direction"), path, m_direction, false, 0, 5)
           && reader.readNumber(r, QStringLiteral("thickness"), path, m_thickness, false, 1e-3,
                                1e5);
}
