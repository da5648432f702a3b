#include "style/VKMiniControlCluster.h"

#include <QDateTime>
#include <QTimer>

VKMiniControlCluster::VKMiniControlCluster(const QRectF &bounds, VKMiniControlCluster *cluster)
    : VKMiniControl(bounds, cluster)
{
}

VKMiniControlCluster::~VKMiniControlCluster() = default;

void VKMiniControlCluster::addMiniControl(VKMiniControl *control)
{
    if (!control)
        return;
    for (const auto &member : mControls) {
        if (member.get() == control)
            return;
    }
    mControls.emplace_back(control);
    control->setCluster(this);
}

void VKMiniControlCluster::removeMiniControl(VKMiniControl *control)
{
    for (auto it = mControls.begin(); it != mControls.end(); ++it) {
        if (it->get() == control) {
            mControlNames.remove(control->identifier());
            if (mHitTarget == control)
                mHitTarget = nullptr;
            mControls.erase(it);
            return;
        }
    }
}

VKMiniControl *VKMiniControlCluster::controlAtIndex(int index) const
{
    return index >= 0 && index < int(mControls.size()) ? mControls[size_t(index)].get() : nullptr;
}

void VKMiniControlCluster::setControl(VKMiniControl *control, const QString &key)
{
    mControlNames.insert(key, control);
}

VKMiniControl *VKMiniControlCluster::controlForKey(const QString &key) const
{
    if (VKMiniControl *found = mControlNames.value(key))
        return found;
    for (const auto &member : mControls) {
        if (auto *sub = dynamic_cast<VKMiniControlCluster *>(member.get())) {
            if (VKMiniControl *found = sub->controlForKey(key))
                return found;
        }
    }
    return nullptr;
}

QWidget *VKMiniControlCluster::view() const
{
    if (mViewRef)
        return mViewRef;
    return mClusterRef ? mClusterRef->view() : nullptr;
}

VKMiniControlDelegate *VKMiniControlCluster::delegate() const
{
    return VKMiniControl::delegate();
}

bool VKMiniControlCluster::visible() const
{
    return mClusterRef ? mClusterRef->visible() : mVisible;
}

double VKMiniControlCluster::alpha() const
{
    return mClusterRef ? mClusterRef->alpha() : mControlAlpha;
}

void VKMiniControlCluster::setAlpha(double alpha)
{
    mControlAlpha = alpha;
    setNeedsDisplay();
}

void VKMiniControlCluster::setVisible(bool visible)
{
    if (visible) {
        if (mCATimerRef)
            mCATimerRef->stop();
        mCATimerRef.reset();
        setAlpha(1.0);
        mVisible = true;
    } else if (mVisible) {
        fadeControlAlphaWithTimeInterval(0.15);
    }
}

void VKMiniControlCluster::forceVisible(bool visible)
{
    mVisible = visible;
    if (visible)
        setAlpha(1.0);
}

bool VKMiniControlCluster::isFading() const
{
    return mCATimerRef != nullptr;
}

void VKMiniControlCluster::fadeControlAlphaWithTimeInterval(double seconds)
{
    // A fade already running keeps its own start.
    if (mCATimerRef)
        return;
    mFadeStartTime = QDateTime::currentMSecsSinceEpoch();
    mFadeInterval = seconds > 0 ? seconds : 0.001;
    mCATimerRef = std::make_unique<QTimer>();
    mCATimerRef->setInterval(33);
    QObject::connect(mCATimerRef.get(), &QTimer::timeout, [this] { timerFadeCallback(); });
    mCATimerRef->start();
}

void VKMiniControlCluster::timerFadeCallback()
{
    const double elapsed = (QDateTime::currentMSecsSinceEpoch() - mFadeStartTime) / 1000.0;
    setAlpha(std::max(0.0, 1.0 - elapsed / mFadeInterval));
    if (elapsed >= mFadeInterval) {
        // Deleting the timer from its own timeout is deferred.
        if (mCATimerRef) {
            mCATimerRef->stop();
            mCATimerRef.release()->deleteLater();
        }
        mVisible = false;
        setNeedsDisplay();
    }
}

void VKMiniControlCluster::setLinkControlPart(int part, Qt::KeyboardModifiers mask)
{
    mLinkPart = part;
    mLinkModFlagsMask = mask;
}

QRectF VKMiniControlCluster::bounds() const
{
    QRectF united;
    for (const auto &member : mControls)
        united = united.isNull() ? member->bounds() : united.united(member->bounds());
    return united;
}

void VKMiniControlCluster::draw(QPainter &painter)
{
    if (!visible())
        return;
    for (const auto &member : mControls)
        member->draw(painter);
}

int VKMiniControlCluster::hitTestPoint(QPointF point) const
{
    // The member added last is on top.
    for (auto it = mControls.rbegin(); it != mControls.rend(); ++it) {
        const int part = (*it)->hitTestPoint(point);
        if (part != NoPart) {
            mHitTarget = it->get();
            return part;
        }
    }
    return NoPart;
}

bool VKMiniControlCluster::mouseDownAt(QPointF point, int, Qt::KeyboardModifiers modifiers)
{
    if (!visible())
        return false;
    mHitPart = hitTestPoint(point);
    if (mHitPart == NoPart)
        return false;
    if (mHitPart == mLinkPart) {
        for (const auto &member : mControls)
            member->mouseDownAt(point, mHitPart, modifiers);
        return true;
    }
    return mHitTarget && mHitTarget->mouseDownAt(point, mHitPart, modifiers);
}

bool VKMiniControlCluster::mouseDraggedAt(QPointF point, int, Qt::KeyboardModifiers modifiers)
{
    if (!visible() || !mHitTarget)
        return false;
    if (mHitPart == mLinkPart && (modifiers & mLinkModFlagsMask)) {
        for (const auto &member : mControls)
            member->mouseDraggedAt(point, mHitPart, modifiers);
        return true;
    }
    return mHitTarget->mouseDraggedAt(point, mHitPart, modifiers);
}

void VKMiniControlCluster::mouseUpAt(QPointF point, int, Qt::KeyboardModifiers modifiers)
{
    if (visible() && mHitTarget) {
        if (mHitPart == mLinkPart) {
            for (const auto &member : mControls)
                member->mouseUpAt(point, mHitPart, modifiers);
        } else {
            mHitTarget->mouseUpAt(point, mHitPart, modifiers);
        }
    }
    mHitTarget = nullptr;
}

void VKMiniControlCluster::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    for (const auto &member : mControls)
        member->flagsChanged(modifiers);
}
