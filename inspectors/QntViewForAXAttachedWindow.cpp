#include "inspectors/QntViewForAXAttachedWindow.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"

#include <QEvent>
#include <QMouseEvent>

QntViewForAXAttachedWindow::QntViewForAXAttachedWindow(QWidget *parent)
    : QWidget(parent)
{
}

QntViewForAXAttachedWindow *QntViewForAXAttachedWindow::fillBehind(QWidget *view)
{
    auto *background = new QntViewForAXAttachedWindow(view);
    background->setObjectName(QStringLiteral("attachedWindowDragView"));
    background->setGeometry(view->rect());
    background->lower();
    view->installEventFilter(background);
    return background;
}

AXAttachedWindow *QntViewForAXAttachedWindow::attachedWindow() const
{
    return qobject_cast<AXAttachedWindow *>(window());
}

void QntViewForAXAttachedWindow::mousePressEvent(QMouseEvent *event)
{
    AXAttachedWindow *attached = attachedWindow();
    if (!attached) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton)
        attached->prepareMovingFromPoint(AXScreen::fromGlobal(event->globalPosition()));
    event->accept();
}

void QntViewForAXAttachedWindow::mouseMoveEvent(QMouseEvent *event)
{
    AXAttachedWindow *attached = attachedWindow();
    if (!attached) {
        event->ignore();
        return;
    }
    if (event->buttons() & Qt::LeftButton)
        attached->moveToPoint(AXScreen::fromGlobal(event->globalPosition()));
    event->accept();
}

bool QntViewForAXAttachedWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
