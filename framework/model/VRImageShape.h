#pragma once

#include "framework/model/VRDrawableShape.h"

#include <QImage>

// A picture shown at its natural size (one point per pixel at 72 dpi) unless resized.
class VRImageShape : public VRDrawableShape
{
    VR_CLASS(VRImageShape)
public:
    VRImageShape() = default;
    explicit VRImageShape(const QImage &image);

    QImage image() const { return m_image; }
    void setImage(const QImage &image);

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;

private:
    QImage m_image;
};
