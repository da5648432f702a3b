#pragma once

#include "framework/styles/VRPathGeometry.h"
#include "framework/styles/VRStyleCoding.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

// The wave that VRZigZagFill and VRZigZagStroke lay over the path of their base (a fill or a
// stroke): its three properties with their undoable setters, the room it needs and its file
// record ("wavelength", "amplitude", "spread").
template <class Base> class VRZigZag : public Base
{
public:
    // Length of one full wave (0.5 ... 1000).
    double wavelength() const { return m_wavelength; }
    void setWavelength(double wavelength)
    {
        if (std::isfinite(wavelength))
            this->changeProperty(m_wavelength, std::clamp(wavelength, 0.5, 1000.0),
                                 "setWavelength:", &VRZigZag::setWavelength);
    }
    // Reach to each side of the path (0 ... 1000).
    double amplitude() const { return m_amplitude; }
    void setAmplitude(double amplitude)
    {
        if (std::isfinite(amplitude))
            this->changeProperty(m_amplitude, std::clamp(amplitude, 0.0, 1000.0),
                                 "setAmplitude:", &VRZigZag::setAmplitude);
    }
    // 0 sharp corners ... 1 smooth waves.
    double spread() const { return m_spread; }
    void setSpread(double spread)
    {
        if (std::isfinite(spread))
            this->changeProperty(m_spread, std::clamp(spread, 0.0, 1.0),
                                 "setSpread:", &VRZigZag::setSpread);
    }

    double extraSpace() const override { return Base::extraSpace() + m_amplitude; }

protected:
    QPainterPath zigZag(const QPainterPath &path) const
    {
        return VRPathGeometry::zigZag(path, m_wavelength, m_amplitude, m_spread);
    }
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override
    {
        Base::writeProperties(record, images);
        record.insert("wavelength", m_wavelength);
        record.insert("amplitude", m_amplitude);
        record.insert("spread", m_spread);
    }
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override
    {
        Base::readProperties(record, coding);
        m_wavelength = coding.number(record, QStringLiteral("wavelength"), 10.0, 0.5, 1000.0);
        m_amplitude = coding.number(record, QStringLiteral("amplitude"), 3.0, 0.0, 1000.0);
        m_spread = coding.number(record, QStringLiteral("spread"), 0.0, 0.0, 1.0);
    }

private:
    double m_wavelength = 10.0;
    double m_amplitude = 3.0;
    double m_spread = 0.0;
};
