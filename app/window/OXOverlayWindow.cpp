#include "app/window/OXOverlayWindow.h"

#include "app/window/OXOverlayView.h"

OXOverlayWindow::OXOverlayWindow(const QRect &contentRect, QWidget *parentWindow)
    : QWidget(parentWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("OXOverlayWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(contentRect);
    m_overlayView = new OXOverlayView(this);
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

void OXOverlayWindow::placeView()
{
    if (m_centred) {
        const QSize size = m_size.toSize();
        m_overlayView->setGeometry((width() - size.width()) / 2, (height() - size.height()) / 2,
                                   size.width(), size.height());
        return;
    }
    const int offset = int(m_offset);
    m_overlayView->setGeometry(rect().adjusted(offset, offset, -offset, -offset));
}
