#pragma once

#include "style/VKMiniControl.h"

#include <QIcon>
#include <QImage>
#include <QPainterPath>

#include <cmath>
#include <memory>

// A horizontal slider: a round-ended groove with a knob; the value is the knob's fraction of
// the track.
class VKMiniSlider : public VKMiniControl
{
public:
    VKMiniSlider(const QRectF &bounds, VKMiniControlCluster *cluster);

    void setShowTickMarks(bool shows);
    bool showTickMarks() const { return mShowTicks; }
    virtual QRectF knobRect() const;
    // The knob picture: the application's image "smallBlueKnob", which refers to its file and is
    // read when drawn; a small blue ball drawn here when the image is missing.
    const QIcon &knobImage() const { return mKnobImage; }
    QSizeF knobSize() const { return mKnobSize; }

    void draw(QPainter &painter) override;
    int hitTestPoint(QPointF point) const override;
    bool mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;

protected:
    void drawKnob(QPainter &painter) const;

    bool mShowTicks = false;

private:
    QIcon mKnobImage;
    QSizeF mKnobSize;
};

// An angle dial: the knob runs round a circle; the value is the angle in radians (-pi..pi).
// With Shift held it snaps to 15 degrees and shows tick marks.
class VKMiniCircularSlider : public VKMiniSlider
{
public:
    VKMiniCircularSlider(const QRectF &bounds, VKMiniControlCluster *cluster);

    QRectF circleBounds() const;
    QRectF knobRect() const override;
    void flagsChanged(Qt::KeyboardModifiers modifiers) override;
    void draw(QPainter &painter) override;
    bool mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;

    // The angle a drag to the point gives (Shift: snapped to 15 degrees).
    static double angleForPoint(QPointF point, QPointF centre, bool snap);
};

// A movable centre target, optionally with a circle of a radius about it.
class VKMiniRadialControls : public VKMiniControl
{
public:
    VKMiniRadialControls(const QRectF &bounds, VKMiniControlCluster *cluster);

    void setCentre(QPointF centre);
    QPointF centre() const { return mCentre; }
    void setRadius(double radius);
    double radius() const { return mRadius; }
    QRectF targetRect() const;

    void draw(QPainter &painter) override;
    int hitTestPoint(QPointF point) const override;
    bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;

private:
    double mRadius = 0.0;
    QPointF mCentre;
};

// An iris: a movable ring with a tab whose angle sets a radius (and the other way round).
class VKMiniRadialControl2 : public VKMiniControl
{
public:
    VKMiniRadialControl2(const QRectF &bounds, VKMiniControlCluster *cluster);

    void setBounds(const QRectF &bounds) override;
    void setCentre(QPointF centre);
    QPointF centre() const { return mCentre; }
    void setRadius(double radius);
    double radius() const { return mRadius; }
    void setRingRadius(double radius);
    double ringRadius() const { return mRingRadius * mRingScale; }
    // Takes effect when the shapes are next rebuilt.
    void setRingRadiusScale(double scale) { mRingScale = scale; }
    void setTabColor(const QColor &colour);
    QColor tabColor() const;
    void setTabAngle(double radians);
    double tabAngle() const { return mTabAngle; }
    QPainterPath irisPath();
    QPainterPath tabPath();
    QPainterPath hitTabPath();
    void invalidatePathCache();
    QPointF trackPointForAngle(double degrees) const;

    void draw(QPainter &painter) override;
    int hitTestPoint(QPointF point) const override;
    bool mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;

private:
    void buildPaths();
    QPainterPath placed(const QPainterPath &path) const;

    QColor mTabColour = Qt::black;
    std::unique_ptr<QPainterPath> mTabPath;
    std::unique_ptr<QPainterPath> mHitTabPath;
    std::unique_ptr<QPainterPath> mIrisPath;
    QPointF mCentre;
    QPointF mOffset;
    double mRadius = 0.0;
    double mRingRadius = 48.0;
    double mTabAngle = -M_PI / 4;
    double mRingScale = 1.0;
    bool mIrisDilating = false;
};
