#pragma once

#include "framework/styles/VRStroke.h"

// A stroke that zig-zags along the path.
class VRZigZagStroke : public VRStroke
{
    VR_CLASS(VRZigZagStroke)

public:
    VRZigZagStroke() = default;

    static QString UIName() { return QStringLiteral("Zig-Zag Stroke"); }
    QString uiName() const override { return UIName(); }

    // Length of one full wave (0.5 ... 1000).
    double wavelength() const { return m_wavelength; }
    void setWavelength(double wavelength);
    // Reach to each side of the path (0 ... 1000).
    double amplitude() const { return m_amplitude; }
    void setAmplitude(double amplitude);
    // 0 sharp corners ... 1 smooth waves.
    double spread() const { return m_spread; }
    void setSpread(double spread);

    double extraSpace() const override;

protected:
    QPainterPath strokedPath(const VRRenderContext &context) const override;
    void writeProperties(QJsonObject &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    double m_wavelength = 10.0;
    double m_amplitude = 3.0;
    double m_spread = 0.0;
};
