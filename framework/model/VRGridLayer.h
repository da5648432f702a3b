#pragma once

#include "framework/model/VRLayer.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>

#include <memory>

// The drawing's grid: spacing in points, colour, printing, grid coordinates and snapping.
class VRGridLayer : public VRLayer
{
    VR_CLASS(VRGridLayer)
public:
    VRGridLayer();
    ~VRGridLayer() override;

    double spanDistance() const { return m_spanDistance; }
    // Always 1: the span distance already holds the whole span.
    double spanMultiplier() const { return 1.0; }
    double unitDistance() const { return m_unitDistance; }
    double span() const { return m_span; }
    int divisions() const { return m_divisions; }
    int majors() const { return m_majors; }
    int rulerSteps() const { return m_rulerSteps; }
    void setRulerSteps(int steps);
    double divisionDistance() const { return m_spanDistance / m_divisions; }
    QColor spanColour() const { return m_colour; }
    void setGridThemeColour(const QColor &colour);
    // spanDistance = pointsPerUnit x span; non-positive or non-finite values are refused.
    bool setDistanceForUnitSpan(double pointsPerUnit, const QString &drawingUnits, double span,
                                int divisions, int majors, int rulerSteps);

    QPointF pointForGridLocation(QPointF gridLocation) const;
    QPointF gridLocationForPoint(QPointF point) const;
    QSizeF quartzDistanceForGridDistance(QSizeF distance) const;
    QPointF nearestGridIntersectionToPoint(QPointF point) const;
    void tweakDrawingMargins();
    void synchronizeRulers();

    void render(QPainter &painter, bool printing) const override;
    // Draws the grid on screen over paper of the given colour, already painted beneath it and
    // with nothing else on it: copied from pictures of its rows made once per zoom. Where that
    // cannot be done (turned or high-density painters, translucent paper, huge zooms) the
    // lines are drawn as render() draws them.
    void renderOnPaper(QPainter &painter, const QColor &paper) const;

private:
    struct Rows;
    // The interior of the drawing the grid covers, in points; empty when there is none.
    QRectF interior() const;

    double m_unitDistance = 28.346456692913;
    double m_span = 1.0;
    double m_spanDistance = 28.346456692913;
    int m_divisions = 5;
    int m_majors = 10;
    int m_rulerSteps = 2;
    QColor m_colour{0xE5, 0xE5, 0xE5};
    mutable std::unique_ptr<Rows> m_rows;
};
