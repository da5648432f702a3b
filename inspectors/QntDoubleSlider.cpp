#include "inspectors/QntDoubleSlider.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

QntDoubleSlider::QntDoubleSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, kSteps);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QSlider::valueChanged, this, [this](int step) {
        m_value = m_min + (m_max - m_min) * step / double(kSteps);
        emit doubleValueChanged(m_value);
    });
}

QntDoubleSlider *QntDoubleSlider::create(QWidget *parent, const QString &name, double min,
                                         double max, int minimumWidth)
{
    auto *slider = new QntDoubleSlider(parent);
    slider->setObjectName(name);
    slider->setMinValue(min);
    slider->setMaxValue(max);
    slider->setMinimumWidth(minimumWidth);
    return slider;
}

void QntDoubleSlider::setMinValue(double value)
{
    m_min = value;
    updateFromRange(m_value);
}

void QntDoubleSlider::setMaxValue(double value)
{
    m_max = value;
    updateFromRange(m_value);
}

double QntDoubleSlider::doubleValue() const
{
    return m_value;
}

void QntDoubleSlider::setDoubleValue(double value)
{
    updateFromRange(value);
}

void QntDoubleSlider::updateFromRange(double keep)
{
    if (!std::isfinite(keep))
        keep = m_min;
    const double lo = std::min(m_min, m_max), hi = std::max(m_min, m_max);
    m_value = std::clamp(keep, lo, hi);
    const double span = m_max - m_min;
    const int step = span == 0 ? 0 : int(std::lround((m_value - m_min) / span * kSteps));
    const QSignalBlocker blocker(this);
    setValue(step);
}
