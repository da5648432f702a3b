#include "framework/model/QntImageShape.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/VRStyle.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(QntImageShape, QntElement)

std::shared_ptr<QntImageShape> QntImageShape::imageShapeWithImage(const QImage &image)
{
    auto shape = std::make_shared<QntImageShape>();
    const QSizeF size(image.width(), image.height());
    auto contour = VRDrawableShape::shapeWithRect(
        QRectF(QPointF(-size.width() / 2, -size.height() / 2), size));
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(Qt::gray), 1.0));
    // The shape draws its contour itself, along the chosen outline.
    contour->setVisible(false);
    shape->setGroupObjects({contour});
    shape->m_image = image;
    shape->setOriginalSize(size);
    shape->setOriginalSizeWithoutScale(size);
    return shape;
}

void QntImageShape::setImage(const QImage &image)
{
    const QImage old = m_image;
    recordUndo("setImage:", QStringLiteral("Change Image"),
               [old](VRDrawableObject &o) { static_cast<QntImageShape &>(o).setImage(old); });
    m_image = image;
    notifyVisualChange();
}

void QntImageShape::setLook(const Look &look)
{
    if (look == m_look)
        return;
    const Look old = m_look;
    recordUndo("setLook:", QStringLiteral("Change Contour"),
               [old](VRDrawableObject &o) { static_cast<QntImageShape &>(o).setLook(old); });
    m_look = look;
    notifyVisualChange();
}

void QntImageShape::setShowContour(bool show)
{
    Look l = m_look;
    l.showContour = show;
    setLook(l);
}

void QntImageShape::setContourType(int type)
{
    Look l = m_look;
    l.contourType = std::clamp(type, 0, 2);
    setLook(l);
}

void QntImageShape::setContourWidth(double width)
{
    if (!std::isfinite(width) || width < 0)
        return;
    Look l = m_look;
    l.contourWidth = width;
    setLook(l);
}

void QntImageShape::setRectangleCornerRaduis(double radius)
{
    if (!std::isfinite(radius) || radius < 0)
        return;
    Look l = m_look;
    l.cornerRadius = radius;
    setLook(l);
}

QPainterPath QntImageShape::contourPath() const
{
    const QRectF frame(QPointF(-m_size.width() / 2, -m_size.height() / 2), m_size);
    QPainterPath path;
    switch (m_look.contourType) {
    case 1: path.addEllipse(frame); break;
    case 2:
        path.moveTo(frame.center().x(), frame.top());
        path.lineTo(frame.right(), frame.center().y());
        path.lineTo(frame.center().x(), frame.bottom());
        path.lineTo(frame.left(), frame.center().y());
        path.closeSubpath();
        break;
    default: path.addRoundedRect(frame, m_look.cornerRadius, m_look.cornerRadius); break;
    }
    QTransform t;
    t.translate(m_location.x(), m_location.y());
    t.rotateRadians(m_angle);
    t.translate(-m_offset.width() * m_size.width(), -m_offset.height() * m_size.height());
    return t.map(path);
}

bool QntImageShape::hitTest(QPointF p) const
{
    if (QntElement::hitTest(p))
        return true;
    return isVisible() && (!m_image.isNull() || !m_withheld.isEmpty())
           && VRDrawableShape::renderingPath().contains(p);
}

void QntImageShape::drawContent(QPainter &painter) const
{
    if (!m_image.isNull()) {
        painter.save();
        if (m_look.showContour)
            painter.setClipPath(contourPath(), Qt::IntersectClip);
        painter.setTransform(transformIncludingParent(), true);
        painter.drawImage(QRectF(-0.5, -0.5, 1, 1), m_image);
        painter.restore();
    } else if (!m_withheld.isEmpty()) {
        const QString name = stringForKey(QStringLiteral("TITLE")).isEmpty()
                                 ? stringForKey(QStringLiteral("ID"))
                                 : stringForKey(QStringLiteral("TITLE"));
        VRWithheldPicture::drawPlaceholder(
            painter, transformIncludingParent(), m_size,
            QStringLiteral("Picture too large to show: %1").arg(m_withheld.description(name)));
    }
    QntElement::drawContent(painter);
    if (m_look.showContour && m_look.contourWidth > 0) {
        QColor colour = Qt::black;
        if (VRObjectRef c = contour(); c && c->style())
            if (c->style()->hasStroke())
                colour = c->style()->strokeColour();
        QPen pen(colour);
        pen.setWidthF(m_look.contourWidth);
        painter.save();
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(contourPath());
        painter.restore();
    }
}

VRObjectRef QntImageShape::copy() const
{
    auto object = QntElement::copy();
    if (object) {
        auto &t = static_cast<QntImageShape &>(*object);
        t.m_image = m_image;
        t.m_withheld = m_withheld;
        t.m_look = m_look;
    }
    return object;
}

void QntImageShape::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    QntElement::writeRecord(r, writer);
    if (m_image.isNull() && !m_withheld.isEmpty())
        r.insert("image", writer.keepImageData(m_withheld.key, m_withheld.encoded));
    else if (m_image.isNull())
        r.insert("image", nullptr);
    else
        r.insert("image", writer.imageReference(m_image));
    r.insert("showContour", m_look.showContour);
    r.insert("contourType", m_look.contourType);
    r.insert("contourWidth", m_look.contourWidth);
    r.insert("cornerRadius", m_look.cornerRadius);
}

bool QntImageShape::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return QntElement::readRecord(r, reader, path)
           && reader.readImage(r, QStringLiteral("image"), path, m_image, &m_withheld)
           && reader.readBool(r, QStringLiteral("showContour"), path, m_look.showContour)
           && reader.readInt(r, QStringLiteral("contourType"), path, m_look.contourType, false, 0,
                             2)
           && reader.readNumber(r, QStringLiteral("contourWidth"), path, m_look.contourWidth, false,
                                0, 1e4)
           && reader.readNumber(r, QStringLiteral("cornerRadius"), path, m_look.cornerRadius, false,
                                0, 1e6);
}
