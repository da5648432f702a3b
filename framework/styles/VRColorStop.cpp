#include "framework/styles/VRColorStop.h"

#include "framework/styles/VRGradient.h"

#include <algorithm>
#include <cmath>

VRColorStop::VRColorStop(const QColor &color, double position)
{
    if (color.isValid())
        m_color = color.toRgb();
    if (std::isfinite(position))
        m_position = std::clamp(position, 0.0, 1.0);
}

void VRColorStop::setPosition(double position)
{
    if (!std::isfinite(position))
        return;
    position = std::clamp(position, 0.0, 1.0);
    if (position == m_position)
        return;
    m_position = position;
    changed();
}

void VRColorStop::setColor(const QColor &color)
{
    if (!color.isValid() || color.toRgb() == m_color)
        return;
    m_color = color.toRgb();
    changed();
}

void VRColorStop::changed()
{
    if (m_gradient)
        m_gradient->stopDidChange();
}
