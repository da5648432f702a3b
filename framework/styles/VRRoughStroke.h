#pragma once

#include "framework/styles/VRStroke.h"

// A hand-drawn outline: two slightly wobbly passes, the same at every repaint of an object.
class VRRoughStroke : public VRStroke
{
    VR_CLASS(VRRoughStroke)

public:
    VRRoughStroke() = default;

    static QString UIName() { return QStringLiteral("Rough Stroke"); }
    QString uiName() const override { return UIName(); }

    // 0 ... 1.
    double roughness() const { return m_roughness; }
    void setRoughness(double roughness);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    double m_roughness = 0.5;
};
