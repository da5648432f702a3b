#include "app/common/QntUtils.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/styles/VRTextAdornment.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"

#include <QColor>

std::vector<std::pair<QString, QVariant>> qntFactoryDefaults()
{
    const auto integer = [](qint64 value) { return QVariant(value); };
    const auto real = [](double value) { return QVariant(value); };
    const auto boolean = [](bool value) { return QVariant(value); };
    const auto string = [](const char *value) { return QVariant(QString::fromUtf8(value)); };
    const QColor paletteBackground =
        QColor::fromRgbF(176 / 255.0f, 240 / 255.0f, 202 / 255.0f, 1.0f);

    return {
        {kPreferencePane, string("")},
        {QntDisplayHelpMessagesKey, integer(1)},
        {QntShowLayersPaletteKey, integer(0)},
        {QntContextTextEditorFontSize, real(14.0)},
        {QntContextTextEditorFontFamily, string("Helvetica")},
        {QntContextTextEditorAlign, integer(2)},
        {QntContextTextEditorFontBold, integer(-1)},
        {QntContextTextEditorFontItalic, integer(-1)},
        {QntContextTextEditorFontUnderline, integer(0)},
        {QntConnectorTextEditorTextPosition, integer(1)},
        {QntConnectorTextXOffset, real(0.0)},
        {QntConnectorTextYOffset, real(VRTextAdornment::defaultMaximumVerticalOffset())},
        {QntConnectorOffsetForPointForTextLayoutWidth, real(0.0)},
        {QntConnectorOffsetForPointForTextLayoutHeight, real(0.0)},
        {kQntElementTableLeftRightCellPadding, real(5.0)},
        {kQntElementTableTopBottomCellPadding, real(5.0)},
        {kQntElementRightLeftPaddingCoef, real(0.05)},
        {kQntElementTopBottomPaddingCoef, real(0.05)},
        {QntShowScrollBarKey, integer(1)},
        {QntShowStyleSchooserAfterStart, integer(1)},
        {QntDrawBorderLinesOnSlideInfoLayerKey, integer(1)},
        {QntSlideCaptionPlacementKey, integer(3)},
        {QntApplyDefaultsKey, integer(1)},
        {kQntEnableInlineEditor, boolean(false)},
        {QntShowBuiltInClipartKey, boolean(true)},
        {QntAutoEnlargeKey, boolean(false)},
        {QntFilenameForImagesKey, boolean(false)},
        {QntUseImageInsteadOfPDFKey, boolean(false)},
        {QntShowConnectorPopupMenuKey, boolean(true)},
        {QntShapeAutosizeKey, integer(1)},
        {QntHiddenGroupsKey,
         QVariantList{qint64(7), qint64(5), qint64(10), qint64(6), qint64(8), qint64(9)}},
        {QntPaletteBackgroundColorKey,
         QVariant(KeyedArchiver::archivedDataWithColor(paletteBackground))},
        {QntContextTextEditorSaveTextProperties, integer(1)},
        {QntElementScaleKey, real(1.0)},
        {QntGlobalAutosizeElementsKey, integer(1)},
        {QntPaperSizePresetKey, string("Other")},
        {kQntElementTextViewCollapsed, integer(0)},
        {kQntGeometryViewCollapsed, integer(0)},
        {kQntCustomElementStyleViewCollapsed, integer(0)},
        {kQntNoncustomElementStyleViewCollapsed, integer(0)},
        {kQntCustomConnectorStyleViewCollapsed, integer(0)},
        {kQntNoncustomConnectorStyleViewCollapsed, integer(0)},
        {kQntLayersViewCollapsed, integer(0)},
        {kQntColorSchemeViewCollapsed, integer(0)},
        {kQntLayoutViewCollapsed, integer(0)},
        {kQntTableViewCollapsed, integer(0)},
        {kQntStyleViewCollapsed, integer(0)},
        {kQntSeqViewCollapsed, integer(0)},
        {kQntSequenceViewSwitchedOff, boolean(true)},
        {kVRDrawingSnapToGridUserDefault, boolean(false)},
        {QntAllowAutosizeToMinSizeKey, integer(0)},
        {QntSeqMinEntityWidthKey, integer(160)},
        {QntSeqMinEntityHeightKey, integer(50)},
        {QntSeqPaddingLeftKey, integer(40)},
        {QntSeqPaddingTopKey, integer(20)},
        {QntSeqContainerMarginKey, integer(20)},
        {QntSeqContainerLedgeKey, integer(30)},
        {QntSeqFontNameKey, string("Helvetica")},
        {QntSeqFontSizeKey, integer(14)},
    };
}

void registerQntDefaults(UserDefaults &defaults)
{
    // Every factory value is registered, also for keys the user has set: the registered
    // domain is only the fallback under the user's values, so a value the user later removes
    // reads as its factory value again instead of as absent.
    QVariantMap registration;
    for (const auto &[key, value] : qntFactoryDefaults())
        registration.insert(key, value);
    VRDrawableObject::setDisplaysSizeInfoWhenDragging(false);
    defaults.registerDefaults(registration);
}
