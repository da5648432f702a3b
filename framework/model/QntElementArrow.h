#pragma once

#include "framework/model/QntConnector.h"

// An arrow-shaped element drawn as a thick path with a head at its end. Direction: 0 up,
// 1 down, 2 left, 3 right, 4 up-down, 5 left-right (0, 1 and 4 are vertical).
class QntElementArrow : public QntConnector
{
    VR_CLASS(QntElementArrow)
public:
    QntElementArrow();

    int direction() const { return m_direction; }
    void setDirection(int direction);
    bool isVertical() const { return m_direction == 0 || m_direction == 1 || m_direction == 4; }
    bool fixedLayoutMode() const override { return true; }
    // Points the arrow along its direction again (length kept).
    void resetAngle();
    // Rebuilds the outline after a path change.
    void prepare();
    double thickness() const { return m_thickness; }
    void setThickness(double thickness);
    // The arrow's outline (shaft and heads) in drawing coordinates.
    QPainterPath outline() const;
    // The short form of this arrow as an element: one part "p" with the arrow's style.
    std::shared_ptr<QntElement> elementFromStyle() const;
    // The arrow carries its style itself, so it answers for its own part "p": the style
    // toolbars and defaults find and change the style that the arrow draws and saves.
    VRObjectRef objectWithId(const QString &id) const override;
    VRObjectList objectsWithPrefixId(const QString &prefix) const override;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;

private:
    int m_direction = 3;
    double m_thickness = 12.0;
};
