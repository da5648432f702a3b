#pragma once

#include "framework/styles/VRRasterizer.h"
#include "framework/styles/VRShadow.h"
#include "framework/styles/VRStrokeDash.h"

#include <QColor>
#include <QPen>

#include <optional>

// Draws the path's outline.
class VRStroke : public VRRasterizer
{
    VR_CLASS(VRStroke)

public:
    VRStroke() = default;
    static std::shared_ptr<VRStroke> strokeWithWidth(double width, const QColor &colour);

    static QString UIName() { return QStringLiteral("Stroke"); }
    QString uiName() const override { return UIName(); }

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    double width() const { return m_width; }
    // 0 ... 1000 points.
    void setWidth(double width);
    void scaleWidthBy(double factor);
    std::optional<VRShadow> shadow() const { return m_shadow; }
    void setShadow(const std::optional<VRShadow> &shadow);
    // Null = solid.
    VRDashRef dash() const { return m_dash; }
    void setDash(const VRDashRef &dash);
    // A dash that grows with the width.
    void setAutoDash();
    // 0 butt, 1 round, 2 square.
    int lineCapStyle() const { return m_lineCapStyle; }
    void setLineCapStyle(int style);
    // 0 miter, 1 round, 2 bevel.
    int lineJoinStyle() const { return m_lineJoinStyle; }
    void setLineJoinStyle(int style);
    // Length left out at each end of an open path.
    double trimLength() const { return m_trimLength; }
    void setTrimLength(double length);

    // The pen this stroke draws with.
    QPen pen() const;

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    // The line actually stroked (subclasses reshape it).
    virtual QPainterPath strokedPath(const VRRenderContext &context) const;
    // Draws line with the pen and the shadow, if any.
    void strokeLine(QPainter &painter, const QPainterPath &line, const QPen &pen) const;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QColor m_colour = Qt::black;
    double m_width = 1.0;
    std::optional<VRShadow> m_shadow;
    VRDashRef m_dash;
    int m_lineCapStyle = 0;
    int m_lineJoinStyle = 0;
    double m_trimLength = 0.0;
};
