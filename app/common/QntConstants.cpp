#include "app/common/QntConstants.h"

const QString kPreferencePane = QStringLiteral("PreferencePane");
const QString QntDisplayHelpMessagesKey = QStringLiteral("QntDisplayHelpMessagesKey");
const QString QntShowLayersPaletteKey = QStringLiteral("QntShowLayersPaletteKey");
const QString QntContextTextEditorFontSize = QStringLiteral("QntContextTextEditorFontSize");
const QString QntContextTextEditorFontFamily = QStringLiteral("QntContextTextEditorFontFamily");
const QString QntContextTextEditorAlign = QStringLiteral("QntContextTextEditorAlign");
const QString QntContextTextEditorFontBold = QStringLiteral("QntContextTextEditorFontBold");
const QString QntContextTextEditorFontItalic = QStringLiteral("QntContextTextEditorFontItalic");
const QString QntContextTextEditorFontUnderline =
    QStringLiteral("QntContextTextEditorFontUnderline");
const QString QntConnectorTextEditorTextPosition =
    QStringLiteral("QntConnectorTextEditorTextPosition");
const QString QntConnectorTextXOffset = QStringLiteral("QntConnectorTextXOffset");
const QString QntConnectorTextYOffset = QStringLiteral("QntConnectorTextYOffset");
const QString QntConnectorOffsetForPointForTextLayoutWidth =
    QStringLiteral("QntConnectorOffsetForPointForTextLayoutWidth");
const QString QntConnectorOffsetForPointForTextLayoutHeight =
    QStringLiteral("QntConnectorOffsetForPointForTextLayoutHeight");
const QString QntShowScrollBarKey = QStringLiteral("QntShowScrollBarKey");
const QString QntShowStyleSchooserAfterStart = QStringLiteral("QntShowStyleSchooserAfterStart");
const QString QntApplyDefaultsKey = QStringLiteral("QntApplyDefaultsKey");
const QString QntShowBuiltInClipartKey = QStringLiteral("QntShowBuiltInClipartKey");
const QString QntAutoEnlargeKey = QStringLiteral("QntAutoEnlargeKey");
const QString QntFilenameForImagesKey = QStringLiteral("QntFilenameForImagesKey");
const QString QntUseImageInsteadOfPDFKey = QStringLiteral("QntUseImageInsteadOfPDFKey");
const QString QntShowConnectorPopupMenuKey = QStringLiteral("QntShowConnectorPopupMenuKey");
const QString QntShapeAutosizeKey = QStringLiteral("QntShapeAutosizeKey");
const QString QntHiddenGroupsKey = QStringLiteral("QntHiddenGroupsKey");
const QString QntPaletteBackgroundColorKey = QStringLiteral("QntPaletteBackgroundColorKey");
const QString QntContextTextEditorSaveTextProperties =
    QStringLiteral("QntContextTextEditorSaveTextProperties");
const QString kQntElementTextViewCollapsed = QStringLiteral("kQntElementTextViewCollapsed");
const QString kQntGeometryViewCollapsed = QStringLiteral("kQntGeometryViewCollapsed");
const QString kQntCustomElementStyleViewCollapsed =
    QStringLiteral("kQntCustomElementStyleViewCollapsed");
const QString kQntNoncustomElementStyleViewCollapsed =
    QStringLiteral("kQntNoncustomElementStyleViewCollapsed");
const QString kQntCustomConnectorStyleViewCollapsed =
    QStringLiteral("kQntCustomConnectorStyleViewCollapsed");
const QString kQntNoncustomConnectorStyleViewCollapsed =
    QStringLiteral("kQntNoncustomConnectorStyleViewCollapsed");
const QString kQntLayersViewCollapsed = QStringLiteral("kQntLayersViewCollapsed");
const QString kQntColorSchemeViewCollapsed = QStringLiteral("kQntColorSchemeViewCollapsed");
const QString kQntLayoutViewCollapsed = QStringLiteral("kQntLayoutViewCollapsed");
const QString kQntTableViewCollapsed = QStringLiteral("kQntTableViewCollapsed");
const QString kQntStyleViewCollapsed = QStringLiteral("kQntStyleViewCollapsed");
const QString kQntSeqViewCollapsed = QStringLiteral("kQntSeqViewCollapsed");
const QString kQntSequenceViewSwitchedOff = QStringLiteral("kQntSequenceViewSwitchedOff");
const QString kQntShowInfoPanelNotification = QStringLiteral("kQntShowInfoPanelNotification");
const QString kDIDizeZoziDefaultQualityModulationFlag =
    QStringLiteral("DIDizeZozi_defaultQualityModulationFlag");
const QString kICloudIsAvailable = QStringLiteral("iCloudIsAvailable");
const QString kNSApplicationCrashOnExceptions = QStringLiteral("NSApplicationCrashOnExceptions");
const QString kQntImageBankReloadNeededNotification =
    QStringLiteral("kQntImageBankReloadNeededNotification");
const QString kQntCustomSubgroupReloadNeededNotification =
    QStringLiteral("kQntCustomSubgroupReloadNeededNotification");
const QString kQntUpdateSubGroupItemNotification =
    QStringLiteral("kQntUpdateSubGroupItemNotification");
const QString kQntImageBankShowAllImportedImages =
    QStringLiteral("kQntImageBankShowAllImportedImages");
const QString kQntImageBankShowCustomImages = QStringLiteral("kQntImageBankShowCustomImages");
