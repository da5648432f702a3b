#include "inspectors/AXScreen.h"

#include <QGuiApplication>
#include <QScreen>

namespace AXScreen {

QPointF fromGlobal(QPointF global)
{
    return {global.x(), -global.y()};
}

QPointF toGlobal(QPointF point)
{
    return {point.x(), -point.y()};
}

QRectF fromGlobal(const QRectF &global)
{
    return {global.x(), -(global.y() + global.height()), global.width(), global.height()};
}

QRectF toGlobal(const QRectF &rect)
{
    return {rect.x(), -(rect.y() + rect.height()), rect.width(), rect.height()};
}

namespace {
QScreen *screenForPoint(QPointF point)
{
    if (QScreen *screen = QGuiApplication::screenAt(toGlobal(point).toPoint()))
        return screen;
    return QGuiApplication::primaryScreen();
}
} // namespace

QRectF frameForPoint(QPointF point)
{
    QScreen *screen = screenForPoint(point);
    return screen ? fromGlobal(QRectF(screen->geometry())) : QRectF();
}

QRectF visibleFrameForPoint(QPointF point)
{
    QScreen *screen = screenForPoint(point);
    return screen ? fromGlobal(QRectF(screen->availableGeometry())) : QRectF();
}

} // namespace AXScreen
