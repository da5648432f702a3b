#include "library/QntImagesBankController.h"

QntImagesBankController::QntImagesBankController(const QString &windowNibName, QObject *parent)
    : QObject(parent)
    , m_windowNibName(windowNibName)
{
}

QString QntImagesBankController::windowNibName() const
{
    return m_windowNibName;
}
