#include "app/common/CXViewAnimation.h"

#include <QEasingCurve>

namespace {

double g_timeScale = 1.0;

QRect interpolate(const QRect &a, const QRect &b, double t)
{
    auto mix = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QRect(mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()),
                 mix(a.height(), b.height()));
}

} // namespace

CXViewAnimation::CXViewAnimation(QList<Entry> entries, int durationMs, QObject *parent)
    : QVariantAnimation(parent)
    , m_entries(std::move(entries))
{
    setStartValue(0.0);
    setEndValue(1.0);
    setEasingCurve(QEasingCurve::InOutQuad);
    setDuration(std::max(0, int(durationMs * g_timeScale)));
    connect(this, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { apply(value.toDouble()); });
}

QWidget *CXViewAnimation::firstTarget() const
{
    return m_entries.isEmpty() ? nullptr : m_entries.first().target.data();
}

void CXViewAnimation::run()
{
    if (duration() <= 0) {
        apply(1.0);
        emit finished();
        return;
    }
    start();
}

void CXViewAnimation::apply(double progress)
{
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.target)
            entry.target->setGeometry(interpolate(entry.startFrame, entry.endFrame, progress));
    }
}

void CXViewAnimation::setTimeScale(double scale)
{
    g_timeScale = std::max(0.0, scale);
}

double CXViewAnimation::timeScale()
{
    return g_timeScale;
}
