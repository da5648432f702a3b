#pragma once

#include "style/VKMiniControl.h"

#include <QHash>

#include <memory>
#include <vector>

class QTimer;

// A group of mini controls that hit-tests, routes the host's events, links two controls (a
// press on the link part reaches every member; with the link modifier held, so do drags) and
// fades out as one. Clusters nest; members inherit the top cluster's view and delegate.
class VKMiniControlCluster : public VKMiniControl
{
public:
    VKMiniControlCluster(const QRectF &bounds, VKMiniControlCluster *cluster);
    ~VKMiniControlCluster() override;

    void addMiniControl(VKMiniControl *control);
    void removeMiniControl(VKMiniControl *control);
    int countOfControls() const { return int(mControls.size()); }
    VKMiniControl *controlAtIndex(int index) const;
    void setControl(VKMiniControl *control, const QString &key);
    // Found here or in a member cluster, depth first.
    VKMiniControl *controlForKey(const QString &key) const;

    void setView(QWidget *view) { mViewRef = view; }
    QWidget *view() const override;
    VKMiniControlDelegate *delegate() const override;
    // Shows at once, or fades out over 0.15 s.
    void setVisible(bool visible);
    bool visible() const;
    void forceVisible(bool visible);
    void setAlpha(double alpha);
    double alpha() const;
    void fadeControlAlphaWithTimeInterval(double seconds);
    bool isFading() const;
    void timerFadeCallback();
    void setLinkControlPart(int part, Qt::KeyboardModifiers modifierKeyMask);

    QRectF bounds() const override;
    void draw(QPainter &painter) override;
    int hitTestPoint(QPointF point) const override;
    bool mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    void mouseUpAt(QPointF point, int part, Qt::KeyboardModifiers modifiers) override;
    void flagsChanged(Qt::KeyboardModifiers modifiers) override;

private:
    std::vector<std::unique_ptr<VKMiniControl>> mControls;
    QHash<QString, VKMiniControl *> mControlNames;
    std::unique_ptr<QTimer> mCATimerRef;
    QPointer<QWidget> mViewRef;
    mutable VKMiniControl *mHitTarget = nullptr;
    qint64 mFadeStartTime = 0;
    double mFadeInterval = 0.15;
    double mControlAlpha = 1.0;
    mutable int mHitPart = NoPart;
    int mLinkPart = NoPart;
    Qt::KeyboardModifiers mLinkModFlagsMask;
    bool mVisible = true;
};
