#include "app/window/OXOverlayController.h"
#include "app/window/OXOverlayWindow.h"

#include "app/window/OXOverlayView.h"
#include "app/window/OXOverlayWindow.h"

#include <QEvent>
#include <QWidget>

OXOverlayController::OXOverlayController(QObject *parent)
    : QObject(parent)
{
}

OXOverlayController::~OXOverlayController()
{
    endOverlay();
}

void OXOverlayController::beginOverlayToView(QWidget *view, const QString &label, double radius,
                                             const QSizeF &size)
{
    _size = size;
    beginOverlayToView(view, label, radius);
    if (_overlayWindow)
        _overlayWindow->pinCentred(size);
}

void OXOverlayController::beginOverlayToView(QWidget *view, const QString &label, double radius,
                                             double offset)
{
    beginOverlayToView(view, label, radius);
    if (_overlayWindow)
        _overlayWindow->pinWithOffset(offset);
}

void OXOverlayController::beginOverlayToView(QWidget *view, const QString &label, double radius)
{
    if (!view)
        return;
    // Only the newest overlay is kept: an older one would be left on screen with no owner.
    endOverlay();
    _targetView = view;
    view->installEventFilter(this);
    // Centred on the target's own window, which is the window the message is about.
    QWidget *window = view->window();
    const QRect windowFrame = window->geometry();
    const QPoint origin = windowFrame.topLeft()
                          + QPoint(windowFrame.width() / 2, windowFrame.height() / 2)
                          - QPoint(int(_size.width() / 2), int(_size.height() / 2));
    _overlayWindow = new OXOverlayWindow(QRect(origin, _size.toSize()), window);
    _overlayWindow->overlayView()->setLabel(label);
    _overlayWindow->overlayView()->setBezelRadius(radius);
    followView();
    _overlayWindow->show();
    _overlayWindow->raise();
}

void OXOverlayController::endOverlay()
{
    if (_targetView)
        _targetView->removeEventFilter(this);
    _targetView = nullptr;
    if (_overlayWindow) {
        _overlayWindow->close();
        _overlayWindow->deleteLater();
    }
    _overlayWindow = nullptr;
}

bool OXOverlayController::isOverlay() const
{
    return !_overlayWindow.isNull();
}

bool OXOverlayController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _targetView
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        followView();
    return QObject::eventFilter(watched, event);
}

void OXOverlayController::followView()
{
    // The overlay covers the view; the bezel stays centred in it.
    if (!_overlayWindow || !_targetView)
        return;
    const QPoint topLeft = _targetView->mapToGlobal(QPoint(0, 0));
    _overlayWindow->setGeometry(QRect(topLeft, _targetView->size()));
}

OXOverlayWindow *OXOverlayController::overlayWindow() const
{
    return _overlayWindow;
}
