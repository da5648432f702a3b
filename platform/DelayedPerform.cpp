#include "platform/DelayedPerform.h"

#include <QObject>
#include <QTimer>

namespace {

const char kPerformTimerName[] = "qnt-delayed-perform";

} // namespace

void DelayedPerform::performLater(QObject *context, std::function<void()> block)
{
    performAfterDelay(context, 0.0, std::move(block));
}

void DelayedPerform::performAfterDelay(QObject *context, double seconds,
                                       std::function<void()> block)
{
    if (!context || !block)
        return;
    // A timer owned by the context: destroying the context (or cancelling) drops the call.
    auto *timer = new QTimer(context);
    timer->setObjectName(QLatin1String(kPerformTimerName));
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, block = std::move(block)] {
        timer->deleteLater();
        timer->setObjectName(QString());
        block();
    });
    timer->start(seconds > 0 ? int(seconds * 1000) : 0);
}

void DelayedPerform::cancelPreviousPerformRequests(QObject *context)
{
    if (!context)
        return;
    const auto timers = context->findChildren<QTimer *>(QLatin1String(kPerformTimerName),
                                                        Qt::FindDirectChildrenOnly);
    for (QTimer *timer : timers) {
        timer->stop();
        timer->setObjectName(QString());
        timer->deleteLater();
    }
}

int DelayedPerform::pendingPerformRequests(QObject *context)
{
    if (!context)
        return 0;
    return int(
        context
            ->findChildren<QTimer *>(QLatin1String(kPerformTimerName), Qt::FindDirectChildrenOnly)
            .size());
}
