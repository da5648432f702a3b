#pragma once

#include "framework/styles/VRRasterizer.h"

#include <QImage>

// A motif repeated along the path.
class VRPathDecorator : public VRRasterizer
{
    VR_CLASS(VRPathDecorator)

public:
    VRPathDecorator() = default;

    static QString UIName() { return QStringLiteral("Path Decorator"); }
    QString uiName() const override { return UIName(); }

    // Distance between motifs (1 ... 10000).
    double interval() const { return m_interval; }
    void setInterval(double interval);
    // Motif size factor.
    double scale() const { return m_scale; }
    void setScale(double scale);
    // Free length before the first and after the last motif.
    double leaderDistance() const { return m_leaderDistance; }
    void setLeaderDistance(double distance);
    // Motifs turn with the path.
    bool normalToPath() const { return m_normalToPath; }
    void setNormalToPath(bool normal);
    // The motif; without one a small dot is used.
    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    // Share of the length (0 ... 0.5) at each end over which motifs grow to full size.
    double leadInAndOutLengthProportion() const { return m_leadInAndOutLengthProportion; }
    void setLeadInAndOutLengthProportion(double proportion);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    // Draws the motif centred on the origin at the given size factor.
    virtual void drawMotif(QPainter &painter, double scale) const;
    virtual QSizeF motifSize() const;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

    static constexpr int kMaxMotifs = 10000;

private:
    double m_interval = 20.0;
    double m_scale = 1.0;
    double m_leaderDistance = 0.0;
    bool m_normalToPath = true;
    QImage m_image;
    double m_leadInAndOutLengthProportion = 0.0;
};
