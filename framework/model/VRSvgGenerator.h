#pragma once

#include <QPaintDevice>
#include <QRectF>
#include <QString>

#include <memory>

class QIODevice;
class VRSvgPaintEngine;

// A paint device that writes what is painted on it as an SVG document, 72 units to the inch
// (one unit per point). Each path is one element: a fill followed by a stroke of the same path
// is written once with both. Texts stay text, placed character by character where the painter
// laid out their glyphs and at the size they were drawn at. Fills SVG has no paint for (sweep
// gradients, textures, hatch patterns) are written as pictures of the filled area. The file is
// written to the output device while painting, and is complete when the painter ends.
class VRSvgGenerator : public QPaintDevice
{
public:
    VRSvgGenerator(QIODevice *output, QSizeF size);
    ~VRSvgGenerator() override;

    void setTitle(const QString &title) { m_title = title; }
    QString title() const { return m_title; }
    QSizeF size() const { return m_size; }
    QIODevice *outputDevice() const { return m_output; }

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QIODevice *m_output;
    QSizeF m_size;
    QString m_title;
    std::unique_ptr<VRSvgPaintEngine> m_engine;
};
