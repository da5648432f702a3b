#pragma once

#include <QColor>

class VRGradient;

// One colour of a gradient at a position 0...1. Owned by its gradient, which it tells of changes.
class VRColorStop
{
public:
    VRColorStop(const QColor &color, double position);

    double position() const { return m_position; }
    // Clamped to 0...1; a non-finite value is refused.
    void setPosition(double position);
    QColor color() const { return m_color; }
    // An invalid colour is refused.
    void setColor(const QColor &color);

    VRGradient *gradient() const { return m_gradient; }

private:
    friend class VRGradient;
    void changed();

    QColor m_color = Qt::black;
    double m_position = 0.0;
    VRGradient *m_gradient = nullptr;
};
