#include "platform/FloatingWindow.h"

#include <QWidget>
#include <QWindow>

void floatAboveWindow(QWidget *window, QWindow *parent, bool withoutActivating)
{
    if (!window || !parent)
        return;
    window->winId();
    QWindow *handle = window->windowHandle();
    if (!handle || handle == parent || handle->transientParent() == parent)
        return;
    const bool visible = window->isVisible();
    const QPoint position = window->pos();
    if (visible)
        window->hide();
    handle->setTransientParent(parent);
    if (visible) {
        const bool wasWithoutActivating = window->testAttribute(Qt::WA_ShowWithoutActivating);
        if (withoutActivating)
            window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        window->move(position);
        window->show();
        window->setAttribute(Qt::WA_ShowWithoutActivating, wasWithoutActivating);
    }
}
