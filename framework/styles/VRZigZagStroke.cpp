#include "framework/styles/VRZigZagStroke.h"

#include "framework/styles/VRPathGeometry.h"

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRZigZagStroke, VRStroke)

void VRZigZagStroke::setWavelength(double wavelength)
{
    if (std::isfinite(wavelength))
        changeProperty(m_wavelength, std::clamp(wavelength, 0.5, 1000.0),
                       "setWavelength:", &VRZigZagStroke::setWavelength);
}

void VRZigZagStroke::setAmplitude(double amplitude)
{
    if (std::isfinite(amplitude))
        changeProperty(m_amplitude, std::clamp(amplitude, 0.0, 1000.0),
                       "setAmplitude:", &VRZigZagStroke::setAmplitude);
}

void VRZigZagStroke::setSpread(double spread)
{
    if (std::isfinite(spread))
        changeProperty(m_spread, std::clamp(spread, 0.0, 1.0),
                       "setSpread:", &VRZigZagStroke::setSpread);
}

double VRZigZagStroke::extraSpace() const
{
    return VRStroke::extraSpace() + m_amplitude;
}

QPainterPath VRZigZagStroke::strokedPath(const VRRenderContext &context) const
{
    return VRPathGeometry::zigZag(VRStroke::strokedPath(context), m_wavelength, m_amplitude,
                                  m_spread);
}

void VRZigZagStroke::writeProperties(QJsonObject &record, QJsonObject &images) const
{
    VRStroke::writeProperties(record, images);
    record[QStringLiteral("wavelength")] = m_wavelength;
    record[QStringLiteral("amplitude")] = m_amplitude;
    record[QStringLiteral("spread")] = m_spread;
}

void VRZigZagStroke::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRStroke::readProperties(record, coding);
    m_wavelength = coding.number(record, QStringLiteral("wavelength"), 10.0, 0.5, 1000.0);
    m_amplitude = coding.number(record, QStringLiteral("amplitude"), 3.0, 0.0, 1000.0);
    m_spread = coding.number(record, QStringLiteral("spread"), 0.0, 0.0, 1.0);
}
