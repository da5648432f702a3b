#include "framework/model/VRGuideLayer.h"

#include "framework/model/VRDrawing.h"

#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(VRGuideLayer, VRLayer)

namespace {
bool g_showSmartGuides = true;
}

VRGuideLayer::VRGuideLayer()
{
    setName(QStringLiteral("Guides"));
    setShouldDrawToPrinter(false);
}

bool VRGuideLayer::showSmartGuides()
{
    return g_showSmartGuides;
}

void VRGuideLayer::setShowSmartGuides(bool show)
{
    g_showSmartGuides = show;
}

QPointF VRGuideLayer::snapRect(const QRectF &moving, const QList<QRectF> &others, double tolerance)
{
    m_vertical.clear();
    m_horizontal.clear();
    if (!g_showSmartGuides)
        return {};
    auto best = [tolerance](const QList<double> &mine, const QList<double> &theirs, double &guide) {
        double bestDelta = tolerance + 1;
        for (double m : mine) {
            for (double t : theirs) {
                if (std::abs(t - m) < std::abs(bestDelta)) {
                    bestDelta = t - m;
                    guide = t;
                }
            }
        }
        return std::abs(bestDelta) <= tolerance ? bestDelta : 0.0;
    };
    QList<double> xs, ys;
    for (const QRectF &r : others) {
        xs << r.left() << r.center().x() << r.right();
        ys << r.top() << r.center().y() << r.bottom();
    }
    double gx = 0, gy = 0;
    const double dx = best({moving.left(), moving.center().x(), moving.right()}, xs, gx);
    const double dy = best({moving.top(), moving.center().y(), moving.bottom()}, ys, gy);
    if (dx != 0.0 || std::abs(dx) <= tolerance) {
        if (!xs.isEmpty() && std::abs(dx) <= tolerance && gx != 0.0)
            m_vertical.append(gx);
    }
    if (!ys.isEmpty() && std::abs(dy) <= tolerance && gy != 0.0)
        m_horizontal.append(gy);
    return {dx, dy};
}

void VRGuideLayer::clearGuides()
{
    m_vertical.clear();
    m_horizontal.clear();
}

void VRGuideLayer::render(QPainter &painter, bool printing) const
{
    const VRDrawing *d = drawing();
    if (printing || !d || !isVisible())
        return;
    painter.save();
    QPen pen(QColor(0, 120, 255));
    pen.setWidthF(0);
    painter.setPen(pen);
    for (double x : m_vertical)
        painter.drawLine(QPointF(x, 0), QPointF(x, d->drawingSize().height()));
    for (double y : m_horizontal)
        painter.drawLine(QPointF(0, y), QPointF(d->drawingSize().width(), y));
    painter.restore();
}
