#pragma once

#include "framework/document/VRInspectorBase.h"
#include "framework/styles/VRRasterizer.h"
#include "framework/styles/VRStrokeDash.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QStackedWidget;
class QToolButton;
class QTreeView;
class QntColorWell;
class VKBasicDialogController;
class VKDashEditor;
class VKGradientFillEditor;
class VKStyleInspectorModel;
class VRArrowStroke;
class VRCIFilterRastGroup;
class VRDrawing;
class VRFill;
class VRHatching;
class VRImageAdornment;
class VRPathDecorator;
class VRQuartzBlendRastGroup;
class VRRastGroup;
class VRStroke;
class VRTextAdornment;
class VRUndoManager;

// A slider and a number field showing one value; either sends the value the user set.
class VKStyleNumberControl : public QWidget
{
    Q_OBJECT
public:
    VKStyleNumberControl(double minimum, double maximum, int decimals, QWidget *parent = nullptr);
    double value() const;
    // Shows a value without sending it.
    void setValue(double value);
    QSlider *slider() const { return m_slider; }
    QDoubleSpinBox *field() const { return m_field; }

signals:
    void valueEdited(double value);

private:
    QSlider *m_slider = nullptr;
    QDoubleSpinBox *m_field = nullptr;
    double m_minimum = 0.0;
    double m_maximum = 1.0;
};

// Edits one style: its renderer tree in an outline (add, remove, duplicate, copy, paste, drag
// to reorder or into another group, enable), a settings pane for the selected renderer whose
// changes go straight into the renderer, and the style-level controls (name, lock, shared,
// library membership, clone, preview, client count). The application's floating style panel
// follows the main document's selection; embedded, it is the Style section of one document
// window and follows that window's drawing. Every change is one undo step with its own name.
class VKStyleInspector : public VRInspectorBase
{
    Q_OBJECT
public:
    enum Pane {
        StrokePane = 0,
        FillPane = 1,
        MixedStylesPane = 2,
        NoStylePane = 3,
        GroupPane = 4,
        ImagePane = 5,
        EffectPane = 6,
        TextPane = 7,
        HatchPane = 8,
        DecoratorPane = 9,
        BlendPane = 10
    };
    // Tags of the add-renderer menu.
    enum AddTag {
        AddStroke = 0,
        AddFill,
        AddGroup,
        AddImage,
        AddEffect,
        AddText,
        AddHatch,
        AddArrowStroke,
        AddPathDecorator,
        AddFillPattern,
        AddBlend,
        AddZigZagStroke,
        AddZigZagFill,
        AddRoughStroke,
        AddElementDecorator
    };
    // Tags of the dash pop-ups' fixed items.
    static constexpr int kSolidDashTag = -1;
    static constexpr int kAutoDashTag = -2;
    static constexpr int kOtherDashTag = -3;
    // Tags of the library membership buttons.
    static constexpr int kAddToLibraryTag = -1;
    static constexpr int kRemoveFromLibraryTag = -4;

    // The floating panel.
    explicit VKStyleInspector(QObject *parent = nullptr);
    // The Style section of a document window: always shows that drawing's selection.
    VKStyleInspector(VREmbedded, QWidget *host, VRDrawing *drawing);
    ~VKStyleInspector() override;

    // The inspector's controls in one view (made on first use).
    QWidget *mainView();

    void setStyle(const VRStyleRef &style);
    VRStyleRef style() const { return mStyle; }
    void updateUIForStyle();
    void updateStylePreview();
    void selectTabPaneForObject(VRRasterizer *renderer);
    void addAndSelectNewRenderer(const VRRendererRef &renderer);
    void redisplayContentForSelection(const VRObjectList &selection) override;
    VRObjectList selectedObjectForCurrentTarget() const override;

    int selectedPane() const;
    // The renderer whose pane is shown; null when it has left the style.
    VRRendererRef selectedRenderer() const;
    // The outline's rows, depth first: the style is row 0.
    int rowCount() const;
    VRRasterizer *itemAtRow(int row) const;
    int rowForItem(const VRRasterizer *item) const;
    int selectedRow() const;
    void selectRow(int row);

    // ---- style-level actions ----
    void libraryItemAction(const QString &styleKey);
    void libraryMenuAction(int tag);
    void populatePopUpButtonWithLibraryStyles();
    void sharedStyleCheckboxAction();
    void styleNameAction();
    void cloneStyleAction();
    // Opens the script sheet on the inspector's window; what it ends with is not used.
    void scriptButtonAction();
    void unlockStyleAction();
    void removeTextAttributesAction();

    // ---- tree actions ----
    void addRendererElementAction(int tag);
    void removeRendererElementAction();
    void duplicateRendererElementAction();
    void copyRendererElementAction();
    void pasteRendererElementAction();
    // "copy", "duplicate", "remove", "paste" or "removeTextAttributes".
    bool validateAction(const QString &action) const;
    // A drop of item onto a group at a child index (-1: onto the group itself); false when
    // refused.
    bool validateDrop(const VRRasterizer *item, const VRRasterizer *target) const;
    bool acceptDrop(VRRasterizer *item, VRRasterizer *target, int childIndex);
    // Writes the renderer's "enabled" value from the outline's check box.
    void setEnabledAction(VRRasterizer *renderer, bool enabled);

    // ---- settings panes ----
    void updateSettingsForStroke(VRStroke *stroke);
    void updateSettingsForFill(VRFill *fill);
    void updateSettingsForHatch(VRHatching *hatch);
    void updateSettingsForImage(VRImageAdornment *image);
    void updateSettingsForCoreImageEffect(VRCIFilterRastGroup *effect);
    void updateSettingsForTextLabel(VRTextAdornment *text);
    void updateSettingsForPathDecorator(VRPathDecorator *decorator);
    void updateSettingsForBlendEffect(VRQuartzBlendRastGroup *blend);
    void populateMenuWithDashes(QComboBox *menu);
    void populateMenuWithCoreImageFilters(QComboBox *menu);
    // The dash pop-up's choice for a stroke or hatch: a tag of a fixed item or a registered dash.
    void strokeDashMenuAction(int index);
    void hatchDashMenuAction(int index);
    void fillAddGradientAction();
    void fillRemoveGradientAction();
    void fillPatternPasteImageAction();
    void pathDecoratorPasteObjectAction();
    void blendGroupImagePasteAction();
    // Loads a picture from a file into the selected image (or fill pattern); false when the
    // file is no picture (the message tells why).
    bool loadImageFile(const QString &path, QString *message = nullptr);
    void imageFileButtonAction();
    // Opens the font dialog on the selected text label's font; its choice sets the font.
    void textFontButtonAction();
    void textChangeFontAction(const QFont &font);

    // ---- dash editor ----
    void openDashEditor();
    void dashDidChange(VKDashEditor *editor);
    void sheetDidEnd(VKDashEditor *editor, int returnCode);
    VKDashEditor *dashEditor() const { return mDashEditController; }

    // The alert asked before a registered style is unlocked: true to unlock. Tests answer it.
    using UnlockQuestion = std::function<bool(const QString &styleName)>;
    void setUnlockQuestion(UnlockQuestion question) { m_unlockQuestion = std::move(question); }

    // Controls, for the window's layout and for tests.
    QTreeView *outlineView() const { return mOutlineView; }
    QStackedWidget *tabView() const { return mTabView; }
    QToolButton *addRendererButton() const { return mAddRendererPopUpButton; }
    QMenu *addRendererMenu() const { return m_addMenu; }
    QToolButton *actionsButton() const { return mActionsPopUpButton; }
    QMenu *actionsMenu() const { return m_actionsMenu; }
    QPushButton *removeButton() const { return mRemoveRendererButton; }
    QLineEdit *styleNameField() const { return mStyleNameTextField; }
    QCheckBox *lockCheckbox() const { return mStyleLockCheckbox; }
    QCheckBox *sharedCheckbox() const { return mStyleSharedCheckbox; }
    QLabel *clientCountText() const { return mStyleClientCountText; }
    QLabel *registeredIndicator() const { return mStyleRegisteredIndicatorText; }
    QLabel *previewWell() const { return mStylePreviewImageWell; }
    QPushButton *addToLibraryButton() const { return mStyleAddToLibraryButton; }
    QPushButton *removeFromLibraryButton() const { return mStyleRemoveFromLibraryButton; }
    QPushButton *cloneButton() const { return mStyleCloneButton; }
    QPushButton *scriptButton() const { return mStyleScriptButton; }
    VKBasicDialogController *scriptEditController() const { return mScriptEditController; }
    QToolButton *libraryButton() const { return mStyleLibraryPopUpButton; }
    // Stroke pane.
    QntColorWell *strokeColourWell() const { return mStrokeColourWell; }
    VKStyleNumberControl *strokeWidthControl() const { return mStrokeWidth; }
    QCheckBox *strokeShadowCheckbox() const { return mStrokeShadowCheckbox; }
    QComboBox *strokeDashPopUpButton() const { return mStrokeDashPopUpButton; }
    QComboBox *strokeArrowStartPopUpButton() const { return mStrokeArrowStartPopUpButton; }
    QComboBox *strokeArrowEndPopUpButton() const { return mStrokeArrowEndPopUpButton; }
    QComboBox *strokeArrowDimensionOptions() const { return mStrokeArrowDimensionOptions; }
    QLabel *strokeArrowPreviewImageWell() const { return mStrokeArrowPreviewImageWell; }
    QWidget *strokeArrowGroup() const { return m_arrowGroup; }
    QWidget *strokeRoughGroup() const { return m_roughGroup; }
    QWidget *strokeZigZagGroup() const { return m_strokeZigZagGroup; }
    VKStyleNumberControl *strokeRoughnessSlider() const { return mStrokeRoughnessSlider; }
    VKStyleNumberControl *strokeZZLength() const { return mStrokeZZLength; }
    QComboBox *strokeLineCapSelector() const { return mStrokeLineCapSelector; }
    QComboBox *strokeLineJoinSelector() const { return mStrokeLineJoinSelector; }
    VKStyleNumberControl *strokeTrimLength() const { return mStrokeTrimLength; }
    // Fill pane.
    QntColorWell *fillColourWell() const { return mFillColourWell; }
    VKGradientFillEditor *fillGradientControlBar() const { return mFillGradientControlBar; }
    QPushButton *fillGradientAddButton() const { return mFillGradientAddButton; }
    QPushButton *fillGradientRemoveButton() const { return mFillGradientRemoveButton; }
    VKStyleNumberControl *fillGradientAngle() const { return mFillGradientAngle; }
    VKStyleNumberControl *fillGradientMultiplier() const { return mFillGradientMultiplier; }
    QLabel *fillGradientMultiplierLabel() const { return mFillGradientMultiplierLabel; }
    QCheckBox *fillGradientRelativeToObject() const { return mFillGradientRelativeToObject; }
    QCheckBox *fillShadowCheckbox() const { return mFillShadowCheckbox; }
    QWidget *fillShadowGroup() const { return m_fillShadowGroup; }
    QWidget *fillZigZagGroup() const { return m_fillZigZagGroup; }
    VKStyleNumberControl *shadowDistanceSlider() const { return mShadowDistanceSlider; }
    // Other panes.
    VKStyleNumberControl *imageOpacitySlider() const { return mImageOpacitySlider; }
    VKStyleNumberControl *imageScaleSlider() const { return mImageScaleSlider; }
    QComboBox *imageFittingPopUpMenu() const { return mImageFittingPopUpMenu; }
    QComboBox *filterPopUpMenu() const { return mCIFilterPopUpMenu; }
    QLineEdit *textLabelTextField() const { return mTextLabelTextField; }
    QComboBox *textLayoutPopUpButton() const { return mTextLayoutPopUpButton; }
    QCheckBox *textWrapLinesCheckbox() const { return mTextWrapLinesCheckbox; }
    QPushButton *textFontButton() const { return m_textFontButton; }
    QFontDialog *fontDialog() const;
    VKStyleNumberControl *hatchSpacing() const { return mHatchSpacing; }
    QComboBox *hatchDashPopUpButton() const { return mHatchDashPopUpButton; }
    VKStyleNumberControl *pdInterval() const { return mPDInterval; }
    QWidget *decoratorOnlyGroup() const { return m_decoratorOnlyGroup; }
    QWidget *patternOnlyGroup() const { return m_patternOnlyGroup; }
    QComboBox *blendModePopUpButton() const { return mBlendModePopUpButton; }
    VKStyleNumberControl *blendGroupAlphaSlider() const { return mBlendGroupAlphaSlider; }

    // The undo action names, by operation.
    static QString undoNameForAdd() { return QStringLiteral("Add Style Component"); }

protected:
    QWidget *createWindow() override;
    void windowDidLoad() override;

private:
    friend class VKStyleInspectorModel;
    void buildStyleControls(QWidget *view);
    void buildPanes();
    QWidget *buildStrokePane();
    QWidget *buildFillPane();
    QWidget *buildImagePane();
    QWidget *buildEffectPane();
    QWidget *buildTextPane();
    QWidget *buildHatchPane();
    QWidget *buildDecoratorPane();
    QWidget *buildBlendPane();
    QWidget *buildMessagePane(const QString &text);
    QWidget *buildShadowControls(QWidget *parent);
    void connectPaneControls();

    VRDrawing *targetDrawing() const;
    VRUndoManager *undoManager() const;
    void setActionName(const QString &name);
    void reloadOutline();
    void styleChanged(const Notification &notification);
    void styleAttached(const Notification &notification);
    void styleRegistered(const Notification &notification);
    void validateMenus();
    void showPane(int pane);
    // The selected renderer when it is a T (kind-of).
    template <class T> T *selected() const
    {
        const VRRendererRef renderer = selectedRenderer();
        if (!renderer || !renderer->isKindOf<T>())
            return nullptr;
        return static_cast<T *>(renderer.get());
    }
    // A control's action: its value goes to the selected component when that is a T.
    template <class T, class Owner, class V> auto setOnSelected(void (Owner::*set)(V))
    {
        return [this, set](V value) {
            if (T *component = selected<T>())
                (component->*set)(value);
        };
    }
    void applyShadowChange(const std::function<void(VRShadow &)> &change);
    void dashMenuAction(QComboBox *menu, int index, bool hatch);
    void selectDashInMenu(QComboBox *menu, const VRDashRef &dash);
    static QImage imageFromClipboard();

    VRStyleRef mStyle;
    // Not owned: a renderer removed meanwhile (here or in another inspector) is not used.
    std::weak_ptr<VRRasterizer> mSelectedRendererRef;
    bool mIsChangingGradient = false;
    VRRasterizer *mDragItem = nullptr;
    VRDashRef mSavedDash;
    std::weak_ptr<VRRasterizer> m_dashTarget;
    QPointer<VRDrawing> m_drawing;
    bool m_embedded = false;
    bool m_updating = false;
    QPointer<QWidget> m_mainView;
    VKStyleInspectorModel *m_model = nullptr;
    UnlockQuestion m_unlockQuestion;
    std::vector<NotificationToken> m_tokens;
    NotificationToken m_styleToken;

    QTreeView *mOutlineView = nullptr;
    QStackedWidget *mTabView = nullptr;
    QToolButton *mAddRendererPopUpButton = nullptr;
    QMenu *m_addMenu = nullptr;
    QPushButton *mRemoveRendererButton = nullptr;
    QToolButton *mActionsPopUpButton = nullptr;
    QMenu *m_actionsMenu = nullptr;
    QAction *m_copyItem = nullptr;
    QAction *m_pasteItem = nullptr;
    QAction *m_duplicateItem = nullptr;
    QAction *m_removeItem = nullptr;
    QAction *m_removeTextAttributesItem = nullptr;
    VKDashEditor *mDashEditController = nullptr;
    QPushButton *mStyleCloneButton = nullptr;
    QPushButton *mStyleScriptButton = nullptr;
    VKBasicDialogController *mScriptEditController = nullptr;
    QToolButton *mStyleLibraryPopUpButton = nullptr;
    QMenu *m_libraryMenu = nullptr;
    QCheckBox *mStyleLockCheckbox = nullptr;
    QLineEdit *mStyleNameTextField = nullptr;
    QLabel *mStylePreviewImageWell = nullptr;
    QLabel *mStyleRegisteredIndicatorText = nullptr;
    QPushButton *mStyleAddToLibraryButton = nullptr;
    QPushButton *mStyleRemoveFromLibraryButton = nullptr;
    QCheckBox *mStyleSharedCheckbox = nullptr;
    QLabel *mStyleClientCountText = nullptr;

    QntColorWell *mStrokeColourWell = nullptr;
    VKStyleNumberControl *mStrokeWidth = nullptr;
    QCheckBox *mStrokeShadowCheckbox = nullptr;
    QComboBox *mStrokeDashPopUpButton = nullptr;
    QComboBox *mStrokeArrowStartPopUpButton = nullptr;
    QComboBox *mStrokeArrowEndPopUpButton = nullptr;
    QComboBox *mStrokeArrowDimensionOptions = nullptr;
    QLabel *mStrokeArrowPreviewImageWell = nullptr;
    VKStyleNumberControl *mStrokeZZLength = nullptr;
    VKStyleNumberControl *mStrokeZZAmp = nullptr;
    VKStyleNumberControl *mStrokeZZSpread = nullptr;
    QComboBox *mStrokeLineJoinSelector = nullptr;
    QComboBox *mStrokeLineCapSelector = nullptr;
    VKStyleNumberControl *mStrokeRoughnessSlider = nullptr;
    VKStyleNumberControl *mStrokeTrimLength = nullptr;
    VKStyleNumberControl *mStrokePathScale = nullptr;
    QWidget *m_arrowGroup = nullptr;
    QWidget *m_roughGroup = nullptr;
    QWidget *m_strokeZigZagGroup = nullptr;
    QWidget *m_strokeShadowHost = nullptr;

    VKGradientFillEditor *mFillGradientControlBar = nullptr;
    QPushButton *mFillGradientAddButton = nullptr;
    QPushButton *mFillGradientRemoveButton = nullptr;
    VKStyleNumberControl *mFillGradientAngle = nullptr;
    QCheckBox *mFillGradientRelativeToObject = nullptr;
    VKStyleNumberControl *mFillGradientMultiplier = nullptr;
    QLabel *mFillGradientMultiplierLabel = nullptr;
    QntColorWell *mFillColourWell = nullptr;
    QCheckBox *mFillShadowCheckbox = nullptr;
    QLabel *mFillPatternImagePreview = nullptr;
    QPushButton *m_fillPatternPasteButton = nullptr;
    QPushButton *m_fillPatternFileButton = nullptr;
    QPushButton *m_fillPatternClearButton = nullptr;
    VKStyleNumberControl *mFillZZLength = nullptr;
    VKStyleNumberControl *mFillZZAmp = nullptr;
    VKStyleNumberControl *mFillZZSpread = nullptr;
    QWidget *m_fillShadowGroup = nullptr;
    QWidget *m_fillZigZagGroup = nullptr;

    VKStyleNumberControl *mShadowAngleSlider = nullptr;
    VKStyleNumberControl *mShadowDistanceSlider = nullptr;
    QntColorWell *mShadowColourWell = nullptr;
    VKStyleNumberControl *mShadowBlurRadiusSlider = nullptr;

    QLabel *mImageWell = nullptr;
    QPushButton *m_imageFileButton = nullptr;
    QLineEdit *mImageIdentifierTextField = nullptr;
    VKStyleNumberControl *mImageOpacitySlider = nullptr;
    VKStyleNumberControl *mImageScaleSlider = nullptr;
    VKStyleNumberControl *mImageAngleSlider = nullptr;
    QCheckBox *mImageClipToPathCheckbox = nullptr;
    QComboBox *mImageFittingPopUpMenu = nullptr;

    QComboBox *mCIFilterPopUpMenu = nullptr;
    QCheckBox *mCIFilterClipToPathCheckbox = nullptr;

    QLineEdit *mTextLabelTextField = nullptr;
    QComboBox *mTextLayoutPopUpButton = nullptr;
    QComboBox *mTextAlignmentPopUpButton = nullptr;
    QComboBox *mTextLabelPlacementPopUpButton = nullptr;
    QCheckBox *mTextWrapLinesCheckbox = nullptr;
    QCheckBox *mTextClipToPathCheckbox = nullptr;
    QCheckBox *mTextRelativeAngleCheckbox = nullptr;
    VKStyleNumberControl *mTextAngleSlider = nullptr;
    QntColorWell *mTextColourWell = nullptr;
    VKStyleNumberControl *mFlowedTextInsetSlider = nullptr;
    QPushButton *m_textFontButton = nullptr;
    QLabel *m_textFontLabel = nullptr;
    QPointer<QFontDialog> m_fontDialog;

    QntColorWell *mHatchColourWell = nullptr;
    VKStyleNumberControl *mHatchSpacing = nullptr;
    VKStyleNumberControl *mHatchLineWidth = nullptr;
    VKStyleNumberControl *mHatchAngle = nullptr;
    VKStyleNumberControl *mHatchLeadIn = nullptr;
    QComboBox *mHatchDashPopUpButton = nullptr;
    QCheckBox *mHatchRelativeAngleCheckbox = nullptr;
    QComboBox *mHatchLineCapButton = nullptr;

    VKStyleNumberControl *mPDInterval = nullptr;
    VKStyleNumberControl *mPDScale = nullptr;
    QCheckBox *mPDNormalToPathCheckbox = nullptr;
    VKStyleNumberControl *mPDLeader = nullptr;
    QLabel *mPDPreviewImage = nullptr;
    VKStyleNumberControl *mPDPatAltOffset = nullptr;
    VKStyleNumberControl *mPDRampProportion = nullptr;
    VKStyleNumberControl *mPDAngle = nullptr;
    QCheckBox *mPDRelativeAngleCheckbox = nullptr;
    VKStyleNumberControl *mMotifAngle = nullptr;
    QCheckBox *mMotifRelativeAngleCheckbox = nullptr;
    QWidget *m_decoratorOnlyGroup = nullptr;
    QWidget *m_patternOnlyGroup = nullptr;

    QComboBox *mBlendModePopUpButton = nullptr;
    VKStyleNumberControl *mBlendGroupAlphaSlider = nullptr;
    QLabel *mBlendGroupImagePreview = nullptr;
};
