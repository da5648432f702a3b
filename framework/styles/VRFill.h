#pragma once

#include "framework/styles/VRGradient.h"
#include "framework/styles/VRRasterizer.h"
#include "framework/styles/VRShadow.h"

#include <QColor>
#include <QImage>
#include <QMetaObject>

#include <optional>

// Paints the interior: a colour, a pattern image or a gradient.
class VRFill : public VRRasterizer
{
    VR_CLASS(VRFill)

public:
    VRFill() = default;
    ~VRFill() override;
    static std::shared_ptr<VRFill> fillWithColour(const QColor &colour);
    static std::shared_ptr<VRFill> fillWithGradient(const VRGradientRef &gradient);

    static QString UIName() { return QStringLiteral("Fill"); }
    QString uiName() const override { return UIName(); }

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    // A tiled picture used instead of the colour (null = none).
    QImage patternImage() const { return m_patternImage; }
    void setPatternImage(const QImage &image);
    std::optional<VRShadow> shadow() const { return m_shadow; }
    void setShadow(const std::optional<VRShadow> &shadow);
    // Null = none; the fill redraws when its gradient changes.
    VRGradientRef gradient() const { return m_gradient; }
    void setGradient(const VRGradientRef &gradient);
    // Scales radial radii (> 0).
    double gradientMultiplier() const { return m_gradientMultiplier; }
    void setGradientMultiplier(double multiplier);
    // Whether the gradient turns with the object.
    bool tracksObjectAngle() const { return m_tracksObjectAngle; }
    void setTracksObjectAngle(bool tracks);
    // The gradient's own angle.
    double gradientManualAngleInDegrees() const;
    void setGradientManualAngleInDegrees(double degrees);

    // The brush painting the interior of the context.
    QBrush brush(const VRRenderContext &context) const;

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;
    bool isFill() const override { return true; }

protected:
    // The area actually filled (subclasses reshape it).
    virtual QPainterPath filledPath(const VRRenderContext &context) const;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    void watchGradient();

    QColor m_colour = Qt::white;
    QImage m_patternImage;
    std::optional<VRShadow> m_shadow;
    VRGradientRef m_gradient;
    double m_gradientMultiplier = 1.0;
    bool m_tracksObjectAngle = true;
    QMetaObject::Connection m_gradientConnection;
};
