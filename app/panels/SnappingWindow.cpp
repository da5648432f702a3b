#include "app/panels/SnappingWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

SnappingWindow::SnappingWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
}

bool SnappingWindow::snapsToEdges() const
{
    return snapsToEdgesFlag;
}

void SnappingWindow::setSnapsToEdges(bool snaps)
{
    snapsToEdgesFlag = snaps;
}

double SnappingWindow::snapTolerance() const
{
    return snapToleranceValue;
}

void SnappingWindow::setSnapTolerance(double tolerance)
{
    snapToleranceValue = tolerance;
}

double SnappingWindow::padding() const
{
    return paddingValue;
}

void SnappingWindow::setPadding(double padding)
{
    paddingValue = padding;
}

QPoint SnappingWindow::snappedOrigin(const QRect &frame, const QRect &area, double tolerance,
                                     double padding)
{
    // The area's origin counts, so windows on a second screen snap to that screen's edges.
    double x = frame.x();
    double y = frame.y();
    const double left = area.x();
    const double top = area.y();
    const double right = area.x() + area.width();
    const double bottom = area.y() + area.height();
    // Every test looks at the frame as it was; each step sets one coordinate.
    if (bottom - (frame.y() + frame.height()) < tolerance)
        y = bottom - frame.height() - padding;
    if (frame.x() - left < tolerance)
        x = left + padding;
    if (right - (frame.x() + frame.width()) < tolerance)
        x = right - frame.width() - padding;
    if (frame.y() - top < tolerance)
        y = top + padding;
    return QPoint(int(x), int(y));
}

void SnappingWindow::windowMoved()
{
    if ((QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) || !snapsToEdgesFlag
        || snapping)
        return;
    QScreen *screen = this->screen();
    if (!screen)
        return;
    const QPoint target = snappedOrigin(frameGeometry(), screen->availableGeometry(),
                                        snapToleranceValue, paddingValue);
    if (target == frameGeometry().topLeft())
        return;
    snapping = true;
    move(target);
    snapping = false;
}

void SnappingWindow::mousePressEvent(QMouseEvent *event)
{
    dragStartLocation = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void SnappingWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    move(pos() + (event->position().toPoint() - dragStartLocation));
}

void SnappingWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    windowMoved();
}
