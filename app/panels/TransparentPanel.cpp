#include "app/panels/TransparentPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

TransparentPanel::TransparentPanel(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TransparentPanel"));
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(0.85);
}

void TransparentPanel::redisplay()
{
    if (isVisible())
        repaint();
}

QPoint TransparentPanel::draggedOrigin(const QPoint &globalMouse, const QPoint &initialLocation,
                                       const QSize &panelSize, const QRect &workArea)
{
    Q_UNUSED(panelSize);
    QPoint origin = globalMouse - initialLocation;
    // Screen y grows downwards here: the top may not go above the work area's top.
    if (origin.y() < workArea.top())
        origin.setY(workArea.top());
    return origin;
}

void TransparentPanel::mousePressEvent(QMouseEvent *event)
{
    m_initialLocation = event->globalPosition().toPoint() - pos();
}

void TransparentPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QRect work = screen() ? screen()->availableGeometry() : QRect();
    move(draggedOrigin(event->globalPosition().toPoint(), m_initialLocation, size(), work));
}

void TransparentPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(path, QColor(30, 30, 30, 230));
}
