#pragma once

#include "framework/styles/VRStroke.h"

#include <QImage>
#include <QList>

// A stroke with arrowheads sized by its width, and optionally the path's length written
// along it (dimension lines).
class VRArrowStroke : public VRStroke
{
    VR_CLASS(VRArrowStroke)

public:
    // 0 none, 1 standard, 2 inflected, 3 round, 4–6 one to three feathers, 7 dimension,
    // 8 dimension tail, 9 square, 10 diamond, 11 open, 12 hollow triangle, 13 hollow
    // diamond, 14 filled diamond.
    static constexpr int kLastArrowhead = 14;

    VRArrowStroke() = default;

    static QString UIName() { return QStringLiteral("Arrow Stroke"); }
    QString uiName() const override { return UIName(); }

    int arrowHeadAtStart() const { return m_arrowHeadAtStart; }
    void setArrowHeadAtStart(int kind);
    int arrowHeadAtEnd() const { return m_arrowHeadAtEnd; }
    void setArrowHeadAtEnd(int kind);
    // 0 none, 1 length above, 2 below, 3 in line.
    int dimensioningLineOptions() const { return m_dimensioningLineOptions; }
    void setDimensioningLineOptions(int options);

    QImage arrowSwatchImageWithSize(const QSizeF &size, double strokeWidth) const;
    static QList<int> registeredArrowheads();
    static QList<int> registeredUMLArrowheads();
    static QImage standardArrowheadSwatchImage(int kind);

    // How much of the line an arrowhead of that kind covers at that width.
    static double arrowheadLength(int kind, double width);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    void drawArrowhead(QPainter &painter, int kind, const QPointF &tip, double angleInDegrees,
                       const QPen &pen) const;
    void drawDimension(QPainter &painter, const QPainterPath &path) const;

    int m_arrowHeadAtStart = 0;
    int m_arrowHeadAtEnd = 1;
    int m_dimensioningLineOptions = 0;
};
