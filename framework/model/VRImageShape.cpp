#include "framework/model/VRImageShape.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QPainter>

VR_CLASS_IMPL(VRImageShape, VRDrawableShape)

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
    }
    VRDrawableShape::drawContent(painter);
}

VRObjectRef VRImageShape::copy() const
{
    auto object = VRDrawableShape::copy();
    if (object)
        static_cast<VRImageShape &>(*object).m_image = m_image;
    return object;
}

void VRImageShape::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    if (m_image.isNull())
        r.insert("image", nullptr);
    else
        r.insert("image", writer.imageReference(m_image));
}

bool VRImageShape::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return VRDrawableShape::readRecord(r, reader, path)
           && reader.readImage(r, QStringLiteral("image"), path, m_image);
}
