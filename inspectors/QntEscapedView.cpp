#include "inspectors/QntEscapedView.h"

#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"

#include <QKeyEvent>

QntEscapedView::QntEscapedView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

QntEscapedView::QntEscapedView(const QRect &frame, QWidget *parent)
    : QntEscapedView(parent)
{
    setGeometry(frame);
}

void QntEscapedView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification);
        return;
    }
    QWidget::keyPressEvent(event);
}
