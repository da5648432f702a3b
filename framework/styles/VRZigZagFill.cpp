#include "framework/styles/VRZigZagFill.h"

#include "framework/styles/VRPathGeometry.h"

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRZigZagFill, VRFill)

void VRZigZagFill::setWavelength(double wavelength)
{
    if (std::isfinite(wavelength))
        changeProperty(m_wavelength, std::clamp(wavelength, 0.5, 1000.0),
                       "setWavelength:", &VRZigZagFill::setWavelength);
}

void VRZigZagFill::setAmplitude(double amplitude)
{
    if (std::isfinite(amplitude))
        changeProperty(m_amplitude, std::clamp(amplitude, 0.0, 1000.0),
                       "setAmplitude:", &VRZigZagFill::setAmplitude);
}

void VRZigZagFill::setSpread(double spread)
{
    if (std::isfinite(spread))
        changeProperty(m_spread, std::clamp(spread, 0.0, 1.0),
                       "setSpread:", &VRZigZagFill::setSpread);
}

double VRZigZagFill::extraSpace() const
{
    return VRFill::extraSpace() + m_amplitude;
}

QPainterPath VRZigZagFill::filledPath(const VRRenderContext &context) const
{
    return VRPathGeometry::zigZag(VRFill::filledPath(context), m_wavelength, m_amplitude, m_spread);
}

void VRZigZagFill::writeProperties(QJsonObject &record, QJsonObject &images) const
{
    VRFill::writeProperties(record, images);
    record[QStringLiteral("wavelength")] = m_wavelength;
    record[QStringLiteral("amplitude")] = m_amplitude;
    record[QStringLiteral("spread")] = m_spread;
}

void VRZigZagFill::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRFill::readProperties(record, coding);
    m_wavelength = coding.number(record, QStringLiteral("wavelength"), 10.0, 0.5, 1000.0);
    m_amplitude = coding.number(record, QStringLiteral("amplitude"), 3.0, 0.0, 1000.0);
    m_spread = coding.number(record, QStringLiteral("spread"), 0.0, 0.0, 1.0);
}
