#include "inspectors/QntElementModeInspector.h"

QntElementModeInspector::QntElementModeInspector(const QString &windowNibName, QObject *parent)
    : QObject(parent)
    , m_windowNibName(windowNibName)
{
}

QString QntElementModeInspector::windowNibName() const
{
    return m_windowNibName;
}
