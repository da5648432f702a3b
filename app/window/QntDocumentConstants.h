#pragma once

#include <QString>

// Defaults keys and notification names of the document window and the document controller.
extern const QString kQntInspectorSwitchedOff;           // "kQntInspectorSwitchedOff"
extern const QString kQntSmartConnectorsViewCollapsed;   // "kQntSmartConnectorsViewCollapsed"
extern const QString kQntToolPaletteIsVisible;           // "kQntToolPaletteIsVisible"
extern const QString kQntNewDocumentCreatedNotification; // "kQntNewDocumentCreatedNotification"
