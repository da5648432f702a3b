#pragma once

#include <QColor>
#include <QPointF>

class QPainter;
class QPainterPath;
class QRectF;

// A drop shadow: a blurred copy of what a stroke or fill draws, offset by distance along an
// angle (0 = right, clockwise on screen, like every angle of the drawing).
class VRShadow
{
public:
    VRShadow() = default;
    VRShadow(const QColor &colour, double blurRadius, double distance, double angleInDegrees);

    QColor shadowColor() const { return m_colour; }
    void setShadowColor(const QColor &colour);
    double shadowBlurRadius() const { return m_blurRadius; }
    void setShadowBlurRadius(double radius);
    double distance() const { return m_distance; }
    void setDistance(double distance);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);

    // The shadow's displacement in drawing coordinates.
    QPointF offset() const;
    // How far the shadow reaches beyond what casts it.
    double extent() const;

    // Draws the shadow of whatever drawCaster paints; drawCaster is called once, on a
    // private painter whose coordinates match the given painter's.
    template <typename Caster>
    void draw(QPainter &painter, const QRectF &casterBounds, Caster drawCaster) const;

    bool operator==(const VRShadow &other) const = default;

private:
    void drawImpl(QPainter &painter, const QRectF &casterBounds,
                  void (*thunk)(const void *, QPainter &), const void *caster) const;

    QColor m_colour = QColor(0, 0, 0, 85);
    double m_blurRadius = 4.0;
    double m_distance = 3.0;
    double m_angleInDegrees = 45.0;
};

template <typename Caster>
void VRShadow::draw(QPainter &painter, const QRectF &casterBounds, Caster drawCaster) const
{
    drawImpl(
        painter, casterBounds,
        [](const void *c, QPainter &p) { (*static_cast<const Caster *>(c))(p); }, &drawCaster);
}
