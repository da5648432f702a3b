#include "app/window/OXOverlayWindow.h"

#include "app/window/OXOverlayView.h"
#include "platform/WindowTranslucency.h"

#include <QPainterPath>

OXOverlayWindow::OXOverlayWindow(const QRect &contentRect, QWidget *parentWindow)
    : QWidget(parentWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("OXOverlayWindow"));
    m_translucent = WindowTranslucency::isAvailable();
    // Without blending, an alpha-carrying window shows its transparent pixels as black: such a
    // window is opaque, cut to the bezel, and the bezel is painted in an opaque colour.
    setAttribute(Qt::WA_TranslucentBackground, m_translucent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(contentRect);
    m_overlayView = new OXOverlayView(this);
    m_overlayView->setTranslucent(m_translucent);
    connect(m_overlayView, &OXOverlayView::bezelRadiusChanged, this, &OXOverlayWindow::updateMask);
    m_size = contentRect.size();
    placeView();
}

void OXOverlayWindow::pinCentred(const QSizeF &size)
{
    m_centred = true;
    m_size = size;
    placeView();
}

void OXOverlayWindow::pinWithOffset(double offset)
{
    m_centred = false;
    m_offset = offset;
    placeView();
}

void OXOverlayWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeView();
}

QRegion OXOverlayWindow::maskFor(const QRect &bezel, double radius, bool translucency)
{
    if (translucency || bezel.isEmpty())
        return {};
    QPainterPath path;
    path.addRoundedRect(QRectF(bezel), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

void OXOverlayWindow::placeView()
{
    if (m_centred) {
        const QSize size = m_size.toSize();
        m_overlayView->setGeometry((width() - size.width()) / 2, (height() - size.height()) / 2,
                                   size.width(), size.height());
    } else {
        const int offset = int(m_offset);
        m_overlayView->setGeometry(rect().adjusted(offset, offset, -offset, -offset));
    }
    updateMask();
}

void OXOverlayWindow::updateMask()
{
    if (m_translucent)
        return;
    const QRegion mask =
        maskFor(m_overlayView->geometry(), m_overlayView->bezelRadius(), m_translucent);
    // An empty mask would show the whole window: a bezel with no area hides it instead.
    setMask(mask.isEmpty() ? QRegion(0, 0, 1, 1) : mask);
}
