#pragma once

#include "framework/model/QntElement.h"
#include "framework/model/VRImageShape.h"

#include <QImage>

// A picture element with an optional contour: 0 rectangle (the only type using the corner
// radius), 1 oval, 2 diamond.
class QntImageShape : public QntElement
{
    VR_CLASS(QntImageShape)
public:
    QntImageShape() = default;
    // A picture at its own size, with an unseen contour part that carries the contour's colour.
    static std::shared_ptr<QntImageShape> imageShapeWithImage(const QImage &image);

    QImage image() const { return m_image; }
    // The picture of the file that was too large to show; empty for every other shape.
    const VRWithheldPicture &withheldPicture() const { return m_withheld; }
    void setImage(const QImage &image);
    bool showContour() const { return m_look.showContour; }
    void setShowContour(bool show);
    int contourType() const { return m_look.contourType; }
    void setContourType(int type);
    double contourWidth() const { return m_look.contourWidth; }
    void setContourWidth(double width);
    double rectangleCornerRaduis() const { return m_look.cornerRadius; }
    void setRectangleCornerRaduis(double radius);
    // The contour part (its style's stroke colour is the contour's colour).
    VRObjectRef contour() const { return contourObject(); }
    QPainterPath contourPath() const;
    // The whole picture answers, whatever its parts.
    bool hitTest(QPointF drawingPoint) const override;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;

private:
    struct Look {
        bool showContour = false;
        int contourType = 0;
        double contourWidth = 1.0;
        double cornerRadius = 0.0;
        bool operator==(const Look &) const = default;
    };
    void setLook(const Look &look);

    QImage m_image;
    VRWithheldPicture m_withheld;
    Look m_look;
};
