#include "connectors/QntConnectorModeInspector.h"

QntConnectorModeInspector::QntConnectorModeInspector(const QString &windowNibName, QObject *parent)
    : QObject(parent)
    , m_windowNibName(windowNibName)
{
}

QString QntConnectorModeInspector::windowNibName() const
{
    return m_windowNibName;
}
