#include "framework/base/VRConstants.h"

const QString kVRLayerSelectionDidChange = QStringLiteral("kVRLayerSelectionDidChange");
const QString kVRDrawingActiveLayerDidChange = QStringLiteral("kVRDrawingActiveLayerDidChange");
const QString kVRLayerGroupDidAddLayer = QStringLiteral("kVRLayerGroupDidAddLayer");
const QString kVRLayerGroupDidRemoveLayer = QStringLiteral("kVRLayerGroupDidRemoveLayer");
const QString kVRLayerGroupDidReorderLayers = QStringLiteral("kVRLayerGroupDidReorderLayers");
const QString kVRLayerVisibleStateDidChange = QStringLiteral("kVRLayerVisibleStateDidChange");
const QString kVRLayerLockStateDidChange = QStringLiteral("kVRLayerLockStateDidChange");
const QString kVRDrawingUnitsDidChange = QStringLiteral("kVRDrawingUnitsDidChange");
const QString kVRDrawingViewDidChangeScale = QStringLiteral("kVRDrawingViewDidChangeScale");
const QString kVRDidChangeToolNotification = QStringLiteral("kVRDidChangeToolNotification");
const QString kVRDrawingToolWasRegisteredNotification =
    QStringLiteral("kVRDrawingToolWasRegisteredNotification");
const QString kVRDrawableDidChangeNotification = QStringLiteral("kVRDrawableDidChangeNotification");
const QString kVRDrawingRefusedChangeNotification =
    QStringLiteral("kVRDrawingRefusedChangeNotification");
const QString kVRDrawableStyleWillBeDetachedNotification =
    QStringLiteral("kVRDrawableStyleWillBeDetachedNotification");
const QString kVRStyleDidChangeNotification = QStringLiteral("kVRStyleDidChangeNotification");
const QString kVRStyleNameChangedNotification = QStringLiteral("kVRStyleNameChangedNotification");
const QString kVRStyleRegistryDidFlagPossibleUIChange =
    QStringLiteral("kVRStyleRegistryDidFlagPossibleUIChange");
const QString kVRNotificationGradientWillAddColorStop =
    QStringLiteral("kVRNotificationGradientWillAddColorStop");
const QString kVRNotificationGradientDidAddColorStop =
    QStringLiteral("kVRNotificationGradientDidAddColorStop");
const QString kVRNotificationGradientWillRemoveColorStop =
    QStringLiteral("kVRNotificationGradientWillRemoveColorStop");
const QString kVRNotificationGradientDidRemoveColorStop =
    QStringLiteral("kVRNotificationGradientDidRemoveColorStop");
const QString kQntUndoRedoChangedNotification = QStringLiteral("kQntUndoRedoChangedNotification");
const QString kQntDrawingDestroyedNotification = QStringLiteral("kQntDrawingDestroyedNotification");
const QString kQntDocumentStateRestoredNotification =
    QStringLiteral("kQntDocumentStateRestoredNotification");
const QString kQntShapeInfoUpdated = QStringLiteral("kQntShapeInfoUpdated");
const QString kQntElementMovedNotification = QStringLiteral("kQntElementMovedNotification");
const QString kQntElementRightMouseUpNotification =
    QStringLiteral("kQntElementRightMouseUpNotification");
const QString kQntConnectorRightMouseUpNotification =
    QStringLiteral("kQntConnectorRightMouseUpNotification");
const QString kQntMultipleChangeStyleModeSelected =
    QStringLiteral("kQntMultipleChangeStyleModeSelected");
const QString kQntDidCreateConnectorNotification =
    QStringLiteral("kQntDidCreateConnectorNotification");
const QString kQntShowTextEditorNotification = QStringLiteral("kQntShowTextEditorNotification");
const QString kQntShowContextObjectPropertiesNotification =
    QStringLiteral("kQntShowContextObjectPropertiesNotification");
const QString kQntInlineEditingStartedNotification =
    QStringLiteral("kQntInlineEditingStartedNotification");
const QString kQntHighlightChangedNotification = QStringLiteral("kQntHighlightChangedNotification");
const QString kQntNoHighlightNotification = QStringLiteral("kQntNoHighlightNotification");
const QString kQntTextCellSelectionChangedNotification =
    QStringLiteral("kQntTextCellSelectionChangedNotification");
const QString kQntTextCellChangedNotification = QStringLiteral("kQntTextCellChangedNotification");
const QString kQntUpdateTextEditorControlsNotification =
    QStringLiteral("kQntUpdateTextEditorControlsNotification");
const QString kQntCloseAttachedTextEditorNotification =
    QStringLiteral("kQntCloseAttachedTextEditorNotification");
const QString kQntCloseAttachedWindowsWithKindNotification =
    QStringLiteral("kQntCloseAttachedWindowsWithKindNotification");
const QString kQntStyleShouldBeAppliedNotification =
    QStringLiteral("kQntStyleShouldBeAppliedNotification");
const QString kQntStyleShouldBeCopiedNotification =
    QStringLiteral("kQntStyleShouldBeCopiedNotification");
const QString kQntSaveElementDefaultsNotification =
    QStringLiteral("kQntSaveElementDefaultsNotification");
const QString kQntApplyElementDefaultsNotification =
    QStringLiteral("kQntApplyElementDefaultsNotification");
const QString kQntResetDefaultsForElementNotification =
    QStringLiteral("kQntResetDefaultsForElementNotification");
const QString kQntResetDefaultsForCurrentOnlyElementNotification =
    QStringLiteral("kQntResetDefaultsForCurrentOnlyElementNotification");
const QString kQntSaveConnectorDefaultsNotification =
    QStringLiteral("kQntSaveConnectorDefaultsNotification");
const QString kQntApplyConnectorDefaultsNotification =
    QStringLiteral("kQntApplyConnectorDefaultsNotification");
const QString kQntResetDefaultsForConnectorNotification =
    QStringLiteral("kQntResetDefaultsForConnectorNotification");
const QString kQntResetDefaultsForCurrentOnlyConnectorNotification =
    QStringLiteral("kQntResetDefaultsForCurrentOnlyConnectorNotification");
const QString kQntElementWillBeAddedToImageBankNotification =
    QStringLiteral("kQntElementWillBeAddedToImageBankNotification");
const QString kQntElementAddedToImageBankNotification =
    QStringLiteral("kQntElementAddedToImageBankNotification");
const QString kQntCloseAttachedWindowsNotification =
    QStringLiteral("kQntCloseAttachedWindowsNotification");
const QString kQntHideInfoPanelNotification = QStringLiteral("kQntHideInfoPanelNotification");
const QString kQntElementAddedToLayerNotification =
    QStringLiteral("kQntElementAddedToLayerNotification");
const QString kVRDrawingSnapToGridUserDefault = QStringLiteral("kVRDrawingSnapToGridUserDefault");
const QString kQntElementTableLeftRightCellPadding =
    QStringLiteral("kQntElementTableLeftRightCellPadding");
const QString kQntElementTableTopBottomCellPadding =
    QStringLiteral("kQntElementTableTopBottomCellPadding");
const QString kQntElementRightLeftPaddingCoef = QStringLiteral("kQntElementRightLeftPaddingCoef");
const QString kQntElementTopBottomPaddingCoef = QStringLiteral("kQntElementTopBottomPaddingCoef");
const QString QntElementScaleKey = QStringLiteral("QntElementScaleKey");
const QString QntGlobalAutosizeElementsKey = QStringLiteral("QntGlobalAutosizeElementsKey");
const QString QntAllowAutosizeToMinSizeKey = QStringLiteral("QntAllowAutosizeToMinSizeKey");
const QString QntSeqMinEntityWidthKey = QStringLiteral("QntSeqMinEntityWidthKey");
const QString QntSeqMinEntityHeightKey = QStringLiteral("QntSeqMinEntityHeightKey");
const QString QntSeqPaddingLeftKey = QStringLiteral("QntSeqPaddingLeftKey");
const QString QntSeqPaddingTopKey = QStringLiteral("QntSeqPaddingTopKey");
const QString QntSeqContainerMarginKey = QStringLiteral("QntSeqContainerMarginKey");
const QString QntSeqContainerLedgeKey = QStringLiteral("QntSeqContainerLedgeKey");
const QString QntSeqFontNameKey = QStringLiteral("QntSeqFontNameKey");
const QString QntSeqFontSizeKey = QStringLiteral("QntSeqFontSizeKey");
const QString QntDrawBorderLinesOnSlideInfoLayerKey =
    QStringLiteral("QntDrawBorderLinesOnSlideInfoLayerKey");
const QString QntSlideCaptionPlacementKey = QStringLiteral("QntSlideCaptionPlacementKey");
const QString QntPaperSizePresetKey = QStringLiteral("QntPaperSizePresetKey");
const QString kQntDefaultDocument = QStringLiteral("kQntDefaultDocument");
const QString kQntDefaultDocumentShowGrid = QStringLiteral("kQntDefaultDocumentShowGrid");
const QString kQntLastFolderForInsertingImage = QStringLiteral("kQntLastFolderForInsertingImage");
const QString kVRExportPropertiesResolution = QStringLiteral("kVRExportPropertiesResolution");
const QString kQntCropExportedFile = QStringLiteral("kQntCropExportedFile");
const QString kQntPNGAlpha = QStringLiteral("kQntPNGAlpha");
const QString kQntTIFFAlpha = QStringLiteral("kQntTIFFAlpha");
const QString kQntFileType = QStringLiteral("kQntFileType");
const QString kQntExportedWidth = QStringLiteral("kQntExportedWidth");
const QString kQntExportedHeight = QStringLiteral("kQntExportedHeight");
const QString kVRDrawableOldStyleKey = QStringLiteral("kVRDrawableOldStyleKey");
const QString kVRDrawableNewStyleKey = QStringLiteral("kVRDrawableNewStyleKey");

const QString kVRUndoManagerDidUndoChangeNotification =
    QStringLiteral("NSUndoManagerDidUndoChangeNotification");
const QString kVRUndoManagerDidRedoChangeNotification =
    QStringLiteral("NSUndoManagerDidRedoChangeNotification");
const QString kQntEnableInlineEditor = QStringLiteral("kQntEnableInlineEditor");
const QString kVKExportedFileURL = QStringLiteral("kVKExportedFileURL");
const QString kVKIncludeGridInExportedFile = QStringLiteral("kVKIncludeGridInExportedFile");
const QString kNSImageCompressionFactor = QStringLiteral("NSImageCompressionFactor");
const QString kNSImageProgressive = QStringLiteral("NSImageProgressive");
const QString kNSImageInterlaced = QStringLiteral("NSImageInterlaced");
const QString kNSImageCompressionMethod = QStringLiteral("NSImageCompressionMethod");
const QString kVRObjectStorageClassKey = QStringLiteral("VRObjectStorageClass");
const QString kVRDefaultSelectionChangesAreUndoableKey =
    QStringLiteral("VRDefaultSelectionChangesAreUndoable");
const QString kVRShowSmartGuidesKey = QStringLiteral("VRShowSmartGuides");
const QString kVRDrawableObjectPasteboardType =
    QStringLiteral("application/x-quintora-drawable-objects");
const QString kVRPasteboardInfoType = QStringLiteral("application/x-quintora-pasteboard-info");
const QString kVRRasterizerPasteboardType = QStringLiteral("application/x-quintora-renderer");
const QString kQntImageBankDragPasteboardType =
    QStringLiteral("application/x-quintora-imagebank-ids");
const QString kVRTableRowInternalDragPasteboardType =
    QStringLiteral("kVRTableRowInternalDragPasteboardType");
const QString kVRDrawingDocumentType = QStringLiteral("Quintora Drawing");
const QString kVRDefaultCategoryName = QStringLiteral("All Styles");
const QString kVRSelectToolName = QStringLiteral("Select");
const QString kVRQntConnectorToolName = QStringLiteral("Connector");
const QString kVRQntDoubleTextConnectorToolName = QStringLiteral("Double Text Connector");
const QString kVRQntUMLSequenceConnectorToolName = QStringLiteral("UML Sequence Connector");
const QString kVRQntSelectStickySpotToolName = QStringLiteral("Select Sticky Spot");
const QString kVRStandardZoomToolName = QStringLiteral("Zoom");
const QString kVRQntStandardZoomOutToolName = QStringLiteral("Zoom Out");
