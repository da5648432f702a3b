#include "framework/model/VRImageShape.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>

VR_CLASS_IMPL(VRImageShape, VRDrawableShape)

QString VRWithheldPicture::description(const QString &name) const
{
    const QString pixels =
        size.isValid() ? QStringLiteral("%1 × %2 pixels").arg(size.width()).arg(size.height())
                       : QStringLiteral("size unknown");
    if (name.isEmpty())
        return QStringLiteral("(%1)").arg(pixels);
    return QStringLiteral("“%1” (%2)").arg(name, pixels);
}

void VRWithheldPicture::drawPlaceholder(QPainter &painter, const QTransform &transform, QSizeF size,
                                        const QString &text)
{
    const double w = std::max(size.width(), 1.0);
    const double h = std::max(size.height(), 1.0);
    painter.save();
    // Drawn in the shape's own points, so the text keeps its size whatever the shape's size.
    painter.setTransform(QTransform::fromScale(1.0 / w, 1.0 / h) * transform, true);
    const QRectF box(-w / 2, -h / 2, w, h);
    QPen pen(QColor(0x99, 0x33, 0x33));
    pen.setCosmetic(true);
    pen.setWidthF(1.5);
    painter.setPen(pen);
    painter.setBrush(QColor(0xF2, 0xEC, 0xE6));
    painter.drawRect(box);
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomLeft());
    QFont font = painter.font();
    font.setPointSizeF(std::clamp(std::min(w, h) / 12.0, 6.0, 14.0));
    painter.setFont(font);
    const QRectF inner = box.adjusted(6, 6, -6, -6);
    const QRectF needed = painter.boundingRect(inner, Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.fillRect(needed.adjusted(-3, -2, 3, 2).intersected(box), QColor(255, 255, 255, 220));
    painter.setPen(QColor(0x55, 0x11, 0x11));
    painter.drawText(inner, Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
}

VRImageShape::VRImageShape(const QImage &image)
    : m_image(image)
{
    m_size = QSizeF(image.width(), image.height());
}

void VRImageShape::setImage(const QImage &image)
{
    const QImage old = m_image;
    recordUndo("setImage:", QStringLiteral("Change Image"),
               [old](VRDrawableObject &o) { static_cast<VRImageShape &>(o).setImage(old); });
    m_image = image;
    notifyVisualChange();
}

void VRImageShape::drawContent(QPainter &painter) const
{
    if (!m_image.isNull()) {
        painter.save();
        painter.setTransform(transformIncludingParent(), true);
        painter.drawImage(QRectF(-0.5, -0.5, 1, 1), m_image);
        painter.restore();
    } else if (!m_withheld.isEmpty()) {
        VRWithheldPicture::drawPlaceholder(
            painter, transformIncludingParent(), m_size,
            QStringLiteral("Picture too large to show: %1")
                .arg(m_withheld.description(stringForKey(QStringLiteral("ID")))));
    }
    VRDrawableShape::drawContent(painter);
}

VRObjectRef VRImageShape::copy() const
{
    auto object = VRDrawableShape::copy();
    if (object) {
        static_cast<VRImageShape &>(*object).m_image = m_image;
        static_cast<VRImageShape &>(*object).m_withheld = m_withheld;
    }
    return object;
}

void VRImageShape::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    if (m_image.isNull() && !m_withheld.isEmpty())
        r.insert("image", writer.keepImageData(m_withheld.key, m_withheld.encoded));
    else if (m_image.isNull())
        r.insert("image", nullptr);
    else
        r.insert("image", writer.imageReference(m_image));
}

bool VRImageShape::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return VRDrawableShape::readRecord(r, reader, path)
           && reader.readImage(r, QStringLiteral("image"), path, m_image, &m_withheld);
}
