#pragma once

#include "framework/styles/VRRasterizer.h"
#include "framework/styles/VRStrokeDash.h"

#include <QColor>

// Parallel lines across the interior.
class VRHatching : public VRRasterizer
{
    VR_CLASS(VRHatching)

public:
    VRHatching() = default;

    static QString UIName() { return QStringLiteral("Hatch"); }
    QString uiName() const override { return UIName(); }

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    // Distance between lines (0.5 ... 1000).
    double spacing() const { return m_spacing; }
    void setSpacing(double spacing);
    double width() const { return m_width; }
    void setWidth(double width);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);
    // Offset of the first line.
    double leadIn() const { return m_leadIn; }
    void setLeadIn(double leadIn);
    int lineCapStyle() const { return m_lineCapStyle; }
    void setLineCapStyle(int style);
    bool angleIsRelativeToObject() const { return m_angleIsRelativeToObject; }
    void setAngleIsRelativeToObject(bool relative);
    VRDashRef dash() const { return m_dash; }
    void setDash(const VRDashRef &dash);
    void setAutoDash();

    void render(QPainter &painter, const VRRenderContext &context) const override;
    bool isFill() const override { return true; }

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QColor m_colour = Qt::black;
    double m_spacing = 8.0;
    double m_width = 1.0;
    double m_angleInDegrees = 45.0;
    double m_leadIn = 0.0;
    int m_lineCapStyle = 0;
    bool m_angleIsRelativeToObject = true;
    VRDashRef m_dash;
};
