#include "app/launch/QntWindowAnimation.h"

#include "platform/NotificationCenter.h"

#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

namespace QntWindowAnimation {

const QString kAnimationFromFrameDidFinishedNotification =
    QStringLiteral("NSWindowAnimationFromFrameDidFinished");

namespace {

double g_timeScale = 1.0;
constexpr int kDurationMs = 500;

void finish(QWidget *window, const QRect &toFrame)
{
    window->setGeometry(toFrame);
    window->setWindowOpacity(1.0);
    window->show();
    window->raise();
    window->activateWindow();
    NotificationCenter::defaultCenter().post(kAnimationFromFrameDidFinishedNotification, window);
}

} // namespace

void setTimeScale(double scale)
{
    g_timeScale = std::max(0.0, scale);
}

void animateFromFrame(QWidget *window, const QRect &fromFrame, const QRect &toFrame)
{
    if (!window)
        return;
    const int duration = int(kDurationMs * g_timeScale);
    if (duration <= 0 || fromFrame.isEmpty()) {
        finish(window, toFrame);
        return;
    }
    window->setGeometry(fromFrame);
    window->setWindowOpacity(0.4);
    window->show();
    auto *group = new QParallelAnimationGroup(window);
    auto *frame = new QPropertyAnimation(window, "geometry", group);
    frame->setDuration(duration);
    frame->setStartValue(fromFrame);
    frame->setEndValue(toFrame);
    frame->setEasingCurve(QEasingCurve::InQuad);
    auto *alpha = new QPropertyAnimation(window, "windowOpacity", group);
    alpha->setDuration(duration);
    alpha->setStartValue(0.4);
    alpha->setEndValue(1.0);
    alpha->setEasingCurve(QEasingCurve::InQuad);
    group->addAnimation(frame);
    group->addAnimation(alpha);
    QPointer<QWidget> guarded(window);
    QObject::connect(group, &QAbstractAnimation::finished, window, [guarded, toFrame] {
        if (guarded)
            finish(guarded, toFrame);
    });
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace QntWindowAnimation
