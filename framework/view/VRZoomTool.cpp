#include "framework/view/VRZoomTool.h"

#include "framework/view/VRDrawingView.h"

#include <QPainter>

VR_CLASS_IMPL_WITH(VRZoomTool, &VRDrawingTool::staticClass(), nullptr)

void VRZoomTool::mousePressed(VRDrawingView &, const VRToolEvent &event)
{
    m_active = true;
    m_start = event.rawPoint;
    m_startView = event.viewPosition;
    m_band = QRectF();
}

void VRZoomTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active)
        return;
    const QRectF old = m_band;
    m_band = QRectF(m_start, event.rawPoint).normalized();
    view.updateDrawingRect(old | m_band);
}

void VRZoomTool::mouseReleased(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active)
        return;
    m_active = false;
    const QRectF band = QRectF(m_start, event.rawPoint).normalized();
    m_band = QRectF();
    const bool dragged = (event.viewPosition - m_startView).manhattanLength() > 4;
    if (dragged && band.width() > 0 && band.height() > 0) {
        view.zoomToRect(band);
    } else {
        const double factor = ((event.modifiers & Qt::AltModifier) != 0) != m_zoomsOut ? 0.5 : 2.0;
        view.zoomToPercentageWithTag(int(std::lround(view.scale() * factor * 100)), m_start);
    }
    view.update();
    finishedUse(view);
}

void VRZoomTool::paintOverlay(VRDrawingView &view, QPainter &painter) const
{
    if (!m_active || m_band.isEmpty())
        return;
    painter.setPen(QPen(QColor(40, 110, 220), 1.0 / view.scale(), Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m_band);
}

QCursor VRZoomTool::cursor() const
{
    return QCursor(Qt::CrossCursor);
}
