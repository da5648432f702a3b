#include "framework/styles/VRStrokeDash.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

VRStrokeDash::VRStrokeDash(const QList<double> &pattern, double phase, bool scalesToLineWidth)
    : m_scalesToLineWidth(scalesToLineWidth)
{
    setDashPattern(pattern);
    setPhase(phase);
}

VRDashRef VRStrokeDash::create(const QList<double> &pattern, double phase, bool scalesToLineWidth)
{
    return std::make_shared<VRStrokeDash>(pattern, phase, scalesToLineWidth);
}

void VRStrokeDash::setDashPattern(const QList<double> &pattern)
{
    m_pattern.clear();
    for (double value : pattern) {
        if (m_pattern.size() == kMaximumCount)
            break;
        m_pattern.append(std::isfinite(value) && value > 0.0 ? std::min(value, 1.0e4) : 0.0);
    }
}

void VRStrokeDash::setPhase(double phase)
{
    m_phase = std::isfinite(phase) ? std::clamp(phase, -1.0e4, 1.0e4) : 0.0;
}

double VRStrokeDash::length() const
{
    double sum = 0.0;
    for (double value : m_pattern)
        sum += value;
    return sum;
}

void VRStrokeDash::applyToPen(QPen &pen, double lineWidth) const
{
    if (m_pattern.isEmpty() || length() <= 0.0) {
        pen.setStyle(Qt::SolidLine);
        return;
    }
    // Qt measures dashes in units of the pen width; ours are points unless they scale.
    const double width = pen.widthF() > 0.0 ? pen.widthF() : 1.0;
    const double factor = (m_scalesToLineWidth ? std::max(lineWidth, 0.0) : 1.0) / width;
    QList<qreal> dashes;
    for (double value : m_pattern)
        dashes.append(std::max(value * factor, 1.0e-3));
    if (dashes.size() % 2 == 1)
        dashes.append(dashes.constLast()); // an odd pattern repeats its last space
    pen.setDashPattern(dashes);
    pen.setDashOffset(m_phase * factor);
}

VRDashRef VRStrokeDash::copy() const
{
    return std::make_shared<VRStrokeDash>(*this);
}

QImage VRStrokeDash::standardDashSwatchImage(const QColor &colour) const
{
    QImage image(80, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 2.0, Qt::SolidLine, Qt::FlatCap);
    applyToPen(pen, 2.0);
    painter.setPen(pen);
    painter.drawLine(QPointF(2, 6), QPointF(78, 6));
    return image;
}

bool VRStrokeDash::isEqual(const VRStrokeDash &other) const
{
    return m_pattern == other.m_pattern && m_phase == other.m_phase
           && m_scalesToLineWidth == other.m_scalesToLineWidth;
}

VRDashRef VRStrokeDash::defaultDash()
{
    return create({5, 5});
}

const QList<VRDashRef> &VRStrokeDash::registeredDashes()
{
    static const QList<VRDashRef> dashes = {
        create({5, 5}),        create({10, 5}),       create({2, 2}),  create({1, 3}),
        create({12, 4, 4, 4}), create({10, 4, 2, 4}), create({20, 5}), create({4, 4, 1, 4}),
    };
    return dashes;
}
