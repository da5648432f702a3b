#include "app/window/QntDocumentConstants.h"

const QString kQntInspectorSwitchedOff = QStringLiteral("kQntInspectorSwitchedOff");
const QString kQntSmartConnectorsViewCollapsed = QStringLiteral("kQntSmartConnectorsViewCollapsed");
const QString kQntToolPaletteIsVisible = QStringLiteral("kQntToolPaletteIsVisible");
const QString kQntNewDocumentCreatedNotification =
    QStringLiteral("kQntNewDocumentCreatedNotification");
