#pragma once

#include "framework/model/VRDrawableShape.h"

#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class QTransform;

// A picture of a file that is too large to decode: its encoded data is kept as the file held
// it, so saving writes it back unchanged, and a placeholder that names it is drawn instead.
struct VRWithheldPicture {
    QString key;     // its key in the file's image table
    QString encoded; // its data as the table holds it
    QSize size;      // as its header gives it (may be invalid)
    bool isEmpty() const { return key.isEmpty(); }
    // "“name” (W × H pixels)", or "(W × H pixels)" for a picture without a name.
    QString description(const QString &name) const;
    // Fills the unit square of the transform with a crossed box and the text, upright.
    static void drawPlaceholder(QPainter &painter, const QTransform &transform, QSizeF size,
                                const QString &text);
};

// A picture shown at its natural size (one point per pixel at 72 dpi) unless resized.
class VRImageShape : public VRDrawableShape
{
    VR_CLASS(VRImageShape)
public:
    VRImageShape() = default;
    explicit VRImageShape(const QImage &image);

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    // The picture of the file that was too large to show; empty for every other shape.
    const VRWithheldPicture &withheldPicture() const { return m_withheld; }

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;

private:
    QImage m_image;
    VRWithheldPicture m_withheld;
};
