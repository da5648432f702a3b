#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/base/VRTypes.h"
#include "framework/document/VRInspectorBase.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/VRInspectorBaseColorPopover.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QntButtonCell;
class QntButtonMatrix;
class QntColorWell;
class QntDoubleSlider;
class QntElement;
class QntNotationSubgroup;
class QntTextFieldCell;
class VRStroke;
class VRStrokeDash;
class VRStyle;
class VRUndoManager;

// Posted for each plain shape or path that the simple-style toolbar restyles.
extern const QString kQntUpdateSubGroupItemNotification;

// Keys of the simple-style part of an element style dictionary. Colours are archived data
// (KeyedArchiver), everything else numbers.
extern const QString kQntCustomNotationElementContourColor;
extern const QString kQntCustomNotationElementContouWidth;
extern const QString kQntCustomNotationElementContourOpacity;
extern const QString kQntCustomNotationElementContourShadow;
extern const QString kQntCustomNotationElementBackgroundFill;
extern const QString kQntCustomNotationElementLineType;
extern const QString kQntCustomNotationElementBackgroundColor1;
extern const QString kQntCustomNotationElementBackgroundColor2;
extern const QString kQntCustomNotationElementBackgroundColor3;
extern const QString kQntCustomNotationElementBackgroundOpacity;
extern const QString kQntCustomNotationElementBackgroundGradientPosition;
extern const QString kQntCustomNotationElementBackgroundGradientAngle;

// Base of the single-selection inspectors (element mode, connector mode): the redisplay hub that
// a right mouse-up on an object ends in, the vertical tool-button column shown beside the object
// in an attached window, keeping attached windows on screen, closing them by kind, the
// simple-style toolbar with its fills and dashes, the replace-element outline, and the colour
// popovers (at most one open, _attachedWindowMatrixbar). What depends on the kind of object is a
// hook of the subclasses; the base's own versions are neutral.
class QntContextMenu : public VRInspectorBase, public VRInspectorBaseColorPopover
{
    Q_OBJECT
public:
    // Bits of closeAttachedWindowsWithKind's mask.
    enum WindowKind : int {
        kConnectorStyleWindowKind = 1,
        kConnectorSimpleStyleWindowKind = 2,
        kSeparatorWindowKind = 4,
        kSimpleStyleWindowKind = 8,
        kTextEditorWindowKind = 16,
        kStickySpotWindowKind = 32,
        kTableStyleWindowKind = 64,
        kCellStyleWindowKind = 128,
        kImageShapeStyleWindowKind = 256,
    };
    // Fill kinds of the simple-style toolbar's fill pop-up (item tags).
    enum FillKind : int {
        kFlatFill = 0,
        kLinearTwoColourFill = 1,
        kLinearThreeColourFill = 2,
        kEllipticalFill = 3,
    };
    // Tags of the line-type pop-up's items.
    static constexpr int kSolidLineTag = -1;
    static constexpr int kAutomaticDashTag = -2;
    static constexpr int kLeaveDashAloneTag = -3;

    explicit QntContextMenu(const QString &windowNibName, QObject *parent = nullptr);
    // An inspector inside another window (the document's inspector column): it observes
    // nothing by itself.
    QntContextMenu(VREmbedded, QWidget *hostWindow);
    ~QntContextMenu() override;

    // Hooks.
    virtual VRObjectRef contextObject() const { return {}; }
    virtual std::shared_ptr<QntElement> contextElement() const { return {}; }
    virtual void setContextObject(const VRObjectRef &) {}
    virtual const VRClassInfo *contextObjectClass() const { return nullptr; }
    virtual QString contextObjectID() const { return {}; }
    // The screen point of the column beside the context object; sets arrowPosition too.
    virtual QPointF menuPosition() { return {}; }
    QPointF contextMenuPositionOnScreen() const { return _contextMenuPositionOnScreen; }
    virtual void contextMenuDidClose() {}
    virtual void extractStyleForObject(const VRObjectRef &) {}
    virtual bool areAttachedWindows() const { return false; }
    virtual void updateSelectColorButton() {}
    virtual void createVerticalToolbarAtPoint(QPointF) {}
    virtual void toolButtonMatrixAction(QntButtonMatrix *) {}
    virtual void populateToolMatrix() {}
    virtual bool canShowAttachedWindow() const { return true; }
    virtual void closeAttachedWindows();
    virtual void closeAttachedWindowsWithKind(int mask);

    // The hub: shows the column for a single object of the inspector's class, else closes.
    void redisplayContentForSelection(const VRObjectList &selection) override;

    AXAttachedWindow *attachedWindow() const { return _attachedWindow; }
    AXAttachedWindow *attachedWindowMatrixbar() const { return _attachedWindowMatrixbar; }
    QntButtonMatrix *toolMatrix() const { return mToolMatrix; }
    // The container of the tool-button column.
    QntEscapedView *parentMatrixbarView();
    int arrowPosition() const { return _arrowPosition; }
    void setArrowPosition(int side) { _arrowPosition = side; }

    // Keeps a window inside the visible frame of the screen that holds the attach point, moving
    // it as a drag so that its arrow keeps pointing at its attach point.
    void placeAttachedWindowInScreenFrame(AXAttachedWindow *window, QPointF point,
                                          int arrowPos) override;
    // Makes room for a toolbar of the view's width to the right of a screen point: when it
    // would pass the right edge of the screens, the drawing scrolls left by the excess (attached
    // windows stay open meanwhile), the window (the tool column) moves left with it, and the
    // answer is the point moved the same way; otherwise the point itself.
    QPointF pointOfAttachedWindow(AXAttachedWindow *window, QWidget *view, QPointF point);
    QWidget *colorPopoverHostWindow() const override { return attachedWindowsHost(); }
    void closeAttachedWindow();
    void closeAttachedWindowsImpl();

    bool limitSelectedObjectForCurrentTargetToContextObject() const
    {
        return _limitSelectedObjectForCurrentTargetToContextObject;
    }
    void setLimitSelectedObjectForCurrentTargetToContextObject(bool limit)
    {
        _limitSelectedObjectForCurrentTargetToContextObject = limit;
    }

    // The parent window of the attached windows: the current document's window.
    QWidget *attachedWindowsHost() const;

    // Simple-style toolbar.
    void createSimpleStyleToolbar(QntButtonMatrix *sender);
    void closeAttachedSimpleStyleWindow();
    void populateSimpleStyleToolbar();
    AXAttachedWindow *attachedSimpleStyleWindow() const { return _attachedSimpleStyleWindow; }
    QWidget *simpleStyleView();
    void simpleStyleContourSetWidth(double width);
    void simpleStyleContourSetTransparency(double alpha);
    // Sets the contour colour, its opacity included, and shows both.
    void contourColorChanged(const QColor &colour);
    void simpleStyleContourSetBackgroundTransparency(double alpha);
    void simpleStyleSetFillKind(int kind, const QColor &startColor, const QColor &endColor,
                                const QColor &midColor, double midColorPosition,
                                double transparency, double angle);
    void simpleStyleSetFillKindBody(int kind, const QColor &startColor, const QColor &endColor,
                                    const QColor &midColor, double midColorPosition,
                                    double transparency, double angle, const VRObjectList &array,
                                    const VRObjectRef &object);
    // Control actions.
    void simpleStyleContourWidthAction();
    void simpleStyleContourWidthTextboxAction();
    void simpleStyleContourTransparencyAction();
    void simpleStyleContourTransparencyTextboxAction();
    void simpleStyleBackgroundTransparencyAction();
    void simpleStyleBackgroundTransparencyTextboxAction();
    void simpleStyleContourColorAction();
    void simpleStyleContourShadowAction();
    void simpleStyleFillTypeAction();
    void simpleStyleFillColorAction();
    void simpleStyleGradientColorStopPositionSliderAction();
    void simpleStyleGradientColorStopPositionTextboxAction();

    // Dashes.
    int populateMenuWithDashes(QComboBox *popUp);
    void simpleStyleContourLineTypeComboboxAction();
    void updateContourLineTypeMenuWithDashes(QComboBox *popUp);
    static bool hasStroke(const VRStroke *stroke, const VRStrokeDash *dash);
    // The finite number a stored defaults dictionary holds under the key; nothing when the key
    // is absent or its value does not read as one.
    static std::optional<double> finiteNumber(const QVariantMap &dictionary, const QString &key);
    // The "Defaults" menu button of the toolbars: Save as Defaults, Apply Defaults, Reset
    // Defaults and Reset This Only, each handing its tag to `choose` while `context` lives.
    static QToolButton *makeDefaultsMenuButton(QWidget *parent, const QString &title,
                                               QObject *context,
                                               const std::function<void(int tag)> &choose);

    // Stored simple styles. Applies the dictionary to the element as one undoable step (its
    // inverse applies the element's style as it was); the actions are limited to the element
    // meanwhile, which becomes the context object.
    void applyDefaultsToSimpleElement(const QVariantMap &dictionary, const VRObjectRef &element);
    // Sets the simple-style controls from the dictionary and runs their actions on the current
    // target objects. Keys that are absent or unreadable leave their part of the style alone.
    void applyDefaultsToSimpleElement(const std::optional<QVariantMap> &dictionary);
    // The context object's style as a defaults dictionary; none from the base.
    virtual std::optional<QVariantMap> styleForContextObject() { return std::nullopt; }
    // The defaults pop-up of a toolbar view: tag 0 save, 1 reset, 2 reset for the current object
    // only, 3 apply. Nothing in the base.
    virtual void saveAsDefaults(int tag, QWidget *popUpView)
    {
        Q_UNUSED(tag);
        Q_UNUSED(popUpView);
    }
    // A "Defaults" pull-down for the toolbar view; its items run saveAsDefaults with their tag.
    QWidget *makeDefaultsPopUp(QWidget *view);
    // Whether this inspector copies the style of the object (element or connector).
    virtual bool copiesStyleOf(const VRObjectRef &object) const
    {
        Q_UNUSED(object);
        return false;
    }
    // kQntStyleShouldBeCopiedNotification: the notified object (or the single selected one)
    // becomes the context object, and when the style-copy tool is current it takes the
    // object's style and class and waits for the objects to apply it to.
    void styleShouldBeCopiedNotification(const Notification &notification);
    // The single selected object of the current drawing's active layer when it is of the kind
    // the style-copy tool waits for (its target class), and the tool is current; null otherwise.
    VRObjectRef copiedStyleTargetInSelection() const;

    // Replace-element outline.
    void createReplaceElementToolbar(QntButtonMatrix *sender);
    void populateReplaceElementToolbar();
    void closeAttachedReplaceElementWindow();
    AXAttachedWindow *attachedReplaceElementWindow() const { return _attachedReplaceElementWindow; }
    QTreeWidget *notationOutline() const;
    // The choice of an outline row; false for rows that cannot be selected.
    bool outlineShouldSelectItem(QTreeWidgetItem *item);

    // Shape-parts window: the parts of the selected object as picture rows; choosing one opens
    // the simple-style toolbar for that part alone.
    void openShapePartsToolbar(BWTransparentButton *sender) override;
    bool respondsToOpenShapePartsToolbar() const override { return true; }
    virtual void createShapePartsToolbar(QntButtonMatrix *sender);
    void populateShapePartsToolbar();
    void closeAttachedShapePartsWindow();
    AXAttachedWindow *attachedShapePartsWindow() const { return _attachedShapePartsWindow; }
    QTreeWidget *shapePartsOutline() const;
    // The choice of a part row; false for rows that cannot be selected.
    bool shapePartsShouldSelectItem(QTreeWidgetItem *item);
    // Opens the simple-style toolbar beside a row of an outline.
    void createSimpleStyleToolbarBesideRow(QTreeWidget *outline, QTreeWidgetItem *row);

    // Arrowhead kinds of the notation (UML notations have their own); the number of items.
    int populateMenuWithArrowheads(QComboBox *popUp);

    // Controls of the simple-style toolbar (made with the toolbar's view).
    struct SimpleStyleControls {
        QntColorWell *contourColorWell = nullptr;
        QntDoubleSlider *contourWidthSlider = nullptr;
        QntTextFieldCell *contourWidthTextbox = nullptr;
        QLabel *contourWidthLabel = nullptr;
        QntDoubleSlider *contourTransparencySlider = nullptr;
        QntTextFieldCell *contourTransparencyTextbox = nullptr;
        QCheckBox *contourShadowCheckbox = nullptr;
        QComboBox *contourLineTypeCombobox = nullptr;
        QComboBox *fillTypesCombobox = nullptr;
        QntColorWell *fillColorWell = nullptr;
        QntColorWell *gradientMiddleColorWell = nullptr;
        QntColorWell *gradientEndColorWell = nullptr;
        QntDoubleSlider *gradientAngleSlider = nullptr;
        QLabel *gradientAngleLabel = nullptr;
        QntDoubleSlider *gradientColorStopPositionSlider = nullptr;
        QntTextFieldCell *gradientColorStopPositionTextbox = nullptr;
        QLabel *gradientColorStopPositionTextboxLabel = nullptr;
        QLabel *gradientColorStopPositionLabel = nullptr;
        QntDoubleSlider *backgroundTransparencySlider = nullptr;
        QntTextFieldCell *backgroundTransparencyTextbox = nullptr;
        QLabel *backgroundTransparencyTextboxLabel = nullptr;
        QLabel *backgroundTransparencyLabel = nullptr;
        QCheckBox *onlyContourModeCheckbox = nullptr;
        QWidget *saveAsDefaultsPopupButton = nullptr;
    };
    const SimpleStyleControls &simpleStyleControls();

protected:
    void documentDidChange(const Notification &notification) override;
    void selectedObjectDidChange(const Notification &notification) override;
    // A numbered text field: the number typed, or nothing (and the field shows `previous`
    // again) when the text is not a number.
    static std::optional<double> numberFromField(QntTextFieldCell *field, double previous);
    static QString formattedNumber(double value);
    // The line art of a context column's button, drawn in white; a picture of that name in the
    // application's resources wins.
    static QIcon columnIcon(const QString &name);
    // Makes the cell a button of a context column with its title, picture and tool tip.
    static QntButtonCell *columnCell(QntButtonCell *cell, const QString &title,
                                     const QString &image, const QString &toolTip);
    // The anchor point beside the selected cell of a column, and the side a toolbar takes there.
    void attachPointBesideSelectedCell(QntButtonMatrix *sender, QPointF *point, int *side) const;
    // The same from a given anchor point.
    void sideBesideCell(QntButtonMatrix *sender, QPointF anchor, QPointF *point, int *side) const;
    // Opens a toolbar window beside the column's selected cell with the standard look. With
    // makeRoom the drawing first scrolls to make room for a toolbar too wide for the screen.
    AXAttachedWindow *openToolbarBesideSelectedCell(QntButtonMatrix *sender, QWidget *content,
                                                    bool makeRoom = false);
    // The simple-style keys read from the toolbar's controls as they stand.
    QVariantMap simpleStyleDictionaryFromControls();
    // Hook for the contour-only switch shown in the simple-style toolbar.
    virtual void onlyContourModeAction() {}
    // Continuous controls record one undo step per drag.
    void beginContinuousChange();
    void endContinuousChange();
    VRUndoManager *currentUndoManager() const;

    QntButtonMatrix *mToolMatrix = nullptr;
    QPointer<QntEscapedView> _viewVertical;
    QPointer<AXAttachedWindow> _attachedWindow;
    int _arrowPosition = 2;
    QPointF _contextMenuPosition;
    QPointF _contextMenuPositionOnScreen;
    QPointer<AXAttachedWindow> _attachedWindowMatrixbar;
    QPointer<QntEscapedView> _viewSimpleStyle;
    QPointer<AXAttachedWindow> _attachedSimpleStyleWindow;
    SimpleStyleControls m_simple;
    bool _supressActions = false;
    QPointer<QntEscapedView> _viewReplaceElement;
    QPointer<AXAttachedWindow> _attachedReplaceElementWindow;
    QPointer<QTreeWidget> _notationOutline;
    std::vector<std::unique_ptr<QntNotationSubgroup>> _notationSubgroups;
    double _notationOutlineHeight = 0.0;
    QPointer<QntEscapedView> _viewShapeParts;
    QPointer<AXAttachedWindow> _attachedShapePartsWindow;
    QPointer<QTreeWidget> _shapePartsOutline;
    std::unique_ptr<QntNotationSubgroup> _shapePartsSubgroup;
    bool _limitSelectedObjectForCurrentTargetToContextObject = false;

private:
    enum class PartSource { Decor, AllShapes, AllShapesAndFreeConnectors, Contour, Named };
    struct Walk {
        // Whether O is restyled through its parts.
        std::function<bool(const VRDrawableObject &)> elementTest;
        std::vector<PartSource> sources;
        // Applies the change to the style of one part of the target; false when the style was
        // left alone.
        std::function<bool(VRStyle &, VRDrawableObject &part, VRDrawableObject &target)> change;
        // After an element's parts changed.
        std::function<void(VRDrawableObject &)> followUp;
        // Whether a path is restyled directly.
        bool pathsOnlyWithoutConnectorSelection = false;
        bool separatorSelectionUpdates = false;
    };
    void walkTargets(const Walk &walk);
    // The four sliders that have a text field showing their value: moving the slider applies
    // its value and shows it; typing a number sets the slider and applies, a refused number
    // shows the previous value again.
    enum class PairedControl {
        ContourWidth,
        ContourTransparency,
        GradientStopPosition,
        BackgroundTransparency
    };
    struct SliderField {
        QntDoubleSlider *slider = nullptr;
        QntTextFieldCell *field = nullptr;
        std::function<double(double)> shown;                    // slider value -> shown
        std::function<std::optional<double>(double)> fromShown; // typed -> value, or refused
        std::function<void(double)> apply;
    };
    // The controls of a pair, once the toolbar's view is built.
    SliderField sliderField(PairedControl pair);
    void connectSliderField(PairedControl pair);
    void sliderFieldSliderAction(PairedControl pair);
    void sliderFieldTextboxAction(PairedControl pair);
    VRObjectList partList(const VRDrawableObject &object,
                          const std::vector<PartSource> &sources) const;
    static VRStyle *styleOfPart(const VRDrawableObject &part);
    bool isElementOrElementArrow(const VRDrawableObject &object) const;
    bool isMemberOfElementsOrElementArrow(const VRDrawableObject &object) const;
    void buildSimpleStyleView();
    void showFillControlsForKind(int kind, bool elementArrow);
    void applyFill();
    void addReplaceGroups();
    void resizeOutlineContent();

    std::vector<NotificationToken> m_observers;
    QPointer<VRUndoManager> m_continuousUndoManager;
    bool m_documentChanged = false;
    QPointer<QLabel> m_angleNameLabel;
};
