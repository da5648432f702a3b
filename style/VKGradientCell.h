#pragma once

#include "style/VKMiniControl.h"
#include "style/VRGradientCell.h"

#include <memory>

class VKMiniControlCluster;
class VKGradientWell;

// A gradient well's cell that draws small controls for the gradient's geometry over the swatch:
// an angle dial (linear), start and end irises (radial), or an angle dial, a centre target and a
// segments slider (sweep), chosen by the well's control mode. The controls show while the mouse
// is over the well and fade when it leaves.
class VKGradientCell : public VRGradientCell, public VKMiniControlDelegate
{
    Q_OBJECT
public:
    enum HitPart { NothingHit = 999, MiniControlHit = 5, ProxyIconHit = 7 };

    explicit VKGradientCell(VKGradientWell *well);
    ~VKGradientCell() override;

    VKMiniControlCluster *controlClusterForMode(int mode) const;
    VKMiniControl *miniControlForIdentifier(const QString &identifier) const;
    VKMiniControlCluster *topCluster() const { return mMiniControls.get(); }
    void setMiniControlBoundsWithCellFrame(const QRectF &frame, int mode);
    void setMiniControlBounds(const QRectF &bounds, const QString &identifier);
    // From the gradient to the controls (their change notices are ignored meanwhile).
    void updateMiniControlsForMode(int mode);
    void setControlledAttributeFromMiniControl(VKMiniControl &control);
    void setControlVisible(bool visible);
    QRectF proxyIconRectInCellFrame(const QRectF &frame) const;
    QRectF controlBoundsRect() const { return mControlBoundsRect; }

    void drawInteriorWithFrame(QPainter &painter, const QRectF &frame, QWidget *view) override;

    // Tracking, driven by the well's mouse events.
    void startTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers);
    // False when the press hit no control: the well then drags the gradient.
    bool continueTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers);
    void stopTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers);
    int hitPart() const { return mHitPart; }
    static Qt::KeyboardModifiers mouseDownFlags();

    void miniControlDidChangeValue(VKMiniControl &control, const QVariant &value) override;
    double miniControlWillUpdateInfoWindow(VKMiniControl &control, double value) override;

private:
    void setupMiniControls();

    VKGradientWell *m_well = nullptr;
    QRectF mControlBoundsRect;
    std::unique_ptr<VKMiniControlCluster> mMiniControls;
    bool mUpdatingControls = false;
    int mHitPart = 0;
};
