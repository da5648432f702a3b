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

QString QntEscapedView::darkPopUpStyleSheet()
{
    return QStringLiteral(
        "QComboBox { color: white; background: rgba(57, 57, 57, 230);"
        " border: 1px solid rgb(191, 194, 201); border-radius: 3px; padding: 1px 4px; }"
        "QComboBox QAbstractItemView { color: white; background: rgb(40, 40, 40);"
        " selection-background-color: rgb(90, 90, 90); }");
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
