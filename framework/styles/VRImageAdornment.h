#pragma once

#include "framework/styles/VRRasterizer.h"

#include <QImage>

// A picture placed in the object's frame.
class VRImageAdornment : public VRRasterizer
{
    VR_CLASS(VRImageAdornment)

public:
    enum FittingOption { FitProportionally = 0, Stretch = 1, UseScale = 2 };

    VRImageAdornment() = default;

    static QString UIName() { return QStringLiteral("Image"); }
    QString uiName() const override { return UIName(); }

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    // 0 ... 1.
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    // Used with fitting option 2: one image pixel per point × scale.
    double scale() const { return m_scale; }
    void setScale(double scale);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);
    bool clipping() const { return m_clipping; }
    void setClipping(bool clipping);
    QString imageIdentifier() const { return m_imageIdentifier; }
    void setImageIdentifier(const QString &identifier);
    int fittingOption() const { return m_fittingOption; }
    void setFittingOption(int option);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    bool isFill() const override { return true; }

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QImage m_image;
    double m_opacity = 1.0;
    double m_scale = 1.0;
    double m_angleInDegrees = 0.0;
    bool m_clipping = false;
    QString m_imageIdentifier;
    int m_fittingOption = FitProportionally;
};
