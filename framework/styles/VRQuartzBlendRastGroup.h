#pragma once

#include "framework/styles/VRRastGroup.h"

#include <QImage>
#include <QPainter>

// Its children composited onto what lies below with a blend mode, an opacity and a mask.
class VRQuartzBlendRastGroup : public VRRastGroup
{
    VR_CLASS(VRQuartzBlendRastGroup)

public:
    VRQuartzBlendRastGroup() = default;

    static QString UIName() { return QStringLiteral("Blend"); }
    QString uiName() const override { return UIName(); }

    // 0 normal, 1 multiply, 2 screen, 3 overlay, 4 darken, 5 lighten, 6 colour dodge,
    // 7 colour burn, 8 soft light, 9 hard light, 10 difference, 11 exclusion.
    int blendMode() const { return m_blendMode; }
    void setBlendMode(int mode);
    // 0 ... 1.
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    // Its lightness masks the group (white shows, black hides); null = no mask.
    QImage maskImage() const { return m_maskImage; }
    void setMaskImage(const QImage &image);

    static QPainter::CompositionMode compositionMode(int blendMode);

    void render(QPainter &painter, const VRRenderContext &context) const override;

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    int m_blendMode = 0;
    double m_alpha = 1.0;
    QImage m_maskImage;
};
