#pragma once

#include <QString>

// The application's own defaults keys and notification names. Each value is the exact string
// stored in the user's preferences or posted on the notification centre; keys and names that
// belong to the drawing framework are in framework/VRConstants.h.

// Registered defaults.
extern const QString kPreferencePane; // "PreferencePane"
extern const QString QntDisplayHelpMessagesKey;
extern const QString QntShowLayersPaletteKey;
extern const QString QntContextTextEditorFontSize;
extern const QString QntContextTextEditorFontFamily;
extern const QString QntContextTextEditorAlign;
extern const QString QntContextTextEditorFontBold;
extern const QString QntContextTextEditorFontItalic;
extern const QString QntContextTextEditorFontUnderline;
extern const QString QntConnectorTextEditorTextPosition;
extern const QString QntConnectorTextXOffset;
extern const QString QntConnectorTextYOffset;
extern const QString QntConnectorOffsetForPointForTextLayoutWidth;
extern const QString QntConnectorOffsetForPointForTextLayoutHeight;
extern const QString QntShowScrollBarKey;
extern const QString QntShowStyleSchooserAfterStart;
extern const QString QntApplyDefaultsKey;
extern const QString QntShowBuiltInClipartKey;
extern const QString QntAutoEnlargeKey;
extern const QString QntFilenameForImagesKey;
extern const QString QntUseImageInsteadOfPDFKey;
extern const QString QntShowConnectorPopupMenuKey;
extern const QString QntShapeAutosizeKey;
extern const QString QntHiddenGroupsKey;
extern const QString QntPaletteBackgroundColorKey;
extern const QString QntContextTextEditorSaveTextProperties;
extern const QString kQntElementTextViewCollapsed;
extern const QString kQntGeometryViewCollapsed;
extern const QString kQntCustomElementStyleViewCollapsed;
extern const QString kQntNoncustomElementStyleViewCollapsed;
extern const QString kQntCustomConnectorStyleViewCollapsed;
extern const QString kQntNoncustomConnectorStyleViewCollapsed;
extern const QString kQntLayersViewCollapsed;
extern const QString kQntColorSchemeViewCollapsed;
extern const QString kQntLayoutViewCollapsed;
extern const QString kQntTableViewCollapsed;
extern const QString kQntStyleViewCollapsed;
extern const QString kQntSeqViewCollapsed;
extern const QString kQntSequenceViewSwitchedOff;

// Launch and termination.
extern const QString
    kDIDizeZoziDefaultQualityModulationFlag;          // "DIDizeZozi_defaultQualityModulationFlag"
extern const QString kICloudIsAvailable;              // "iCloudIsAvailable"
extern const QString kNSApplicationCrashOnExceptions; // "NSApplicationCrashOnExceptions"

// Notifications the application posts and observes.
extern const QString kQntShowInfoPanelNotification;

// The image bank and the shape library's Custom group.
extern const QString kQntImageBankReloadNeededNotification;
extern const QString kQntCustomSubgroupReloadNeededNotification;
// Posted with the object that the inspectors' simple-style actions restyled.
extern const QString kQntUpdateSubGroupItemNotification;
extern const QString kQntImageBankShowAllImportedImages;
extern const QString kQntImageBankShowCustomImages;
