#include "framework/styles/QntConnectorAdornmentBuilder.h"

QString QntConnectorAdornmentBuilder::defaultAdornmentId()
{
    return QStringLiteral("QntPlainConnector");
}
