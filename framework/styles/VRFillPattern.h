#pragma once

#include "framework/styles/VRPathDecorator.h"

#include <QSizeF>

// A motif tiled over the interior, on a grid turned by an angle; odd rows and columns may be
// shifted by the alternate offset.
class VRFillPattern : public VRPathDecorator
{
    VR_CLASS(VRFillPattern)

public:
    VRFillPattern() = default;

    static QString UIName() { return QStringLiteral("Fill Pattern"); }
    QString uiName() const override { return UIName(); }

    // width shifts odd rows sideways, height shifts odd columns down (points).
    QSizeF patternAlternateOffset() const { return m_patternAlternateOffset; }
    void setPatternAlternateOffset(const QSizeF &offset);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);
    bool angleIsRelativeToObject() const { return m_angleIsRelativeToObject; }
    void setAngleIsRelativeToObject(bool relative);
    double motifAngleInDegrees() const { return m_motifAngleInDegrees; }
    void setMotifAngleInDegrees(double angle);
    bool motifAngleIsRelativeToPattern() const { return m_motifAngleIsRelativeToPattern; }
    void setMotifAngleIsRelativeToPattern(bool relative);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override { return 0.0; }
    bool isFill() const override { return true; }

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QSizeF m_patternAlternateOffset{0.0, 0.0};
    double m_angleInDegrees = 0.0;
    bool m_angleIsRelativeToObject = true;
    double m_motifAngleInDegrees = 0.0;
    bool m_motifAngleIsRelativeToPattern = true;
};
