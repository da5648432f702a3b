#pragma once

#include "framework/document/VRInspectorBase.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/VRInspectorBaseColorPopover.h"

#include <QPointF>
#include <QPointer>
#include <QSizeF>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QStackedWidget;
class QToolButton;
class QWidget;
class QPushButton;
class QntButtonCell;
class QntColorWell;
class QntConnector;
class QntConnectorModeInspector;
class QntDoubleSlider;
class QntTextFieldCell;
class QntElement;
class QntElementModeInspector;
class QntElementTextEditor;
class QntSegmentedCell;
class VRTextShapeBase;
class VRUndoManager;

// The inspector of a multiple selection: one arrowless panel whose panes (element text, colours
// with size and position, connector text, connector style, tables) change every selected object
// at once, each change one undo step. It reads the selection of the active layer at the moment of
// each action, so objects deleted or deselected meanwhile are never touched.
class QntGroupModeInspector : public VRInspectorBase, public VRInspectorBaseColorPopover
{
    Q_OBJECT
public:
    // Pane tags of the segmented control.
    enum Pane {
        ElementText = 0,
        ElementColor = 1,
        ConnectorText = 2,
        ConnectorStyle = 3,
        TableStyle = 4
    };
    static QString paneName(int tag);

    explicit QntGroupModeInspector(QObject *parent = nullptr);
    // The instance inside a document window's inspector column, working on that window's drawing.
    QntGroupModeInspector(VREmbedded, QWidget *hostWindow, VRDrawing *drawing);
    ~QntGroupModeInspector() override;

    // The segmented control above the pane area; built on first use.
    QWidget *mainView();
    QntSegmentedCell *segControl() { return mainView() ? _segControl : nullptr; }
    // The element text pane and the size and position controls, for a document window's column.
    QWidget *textSectionView();
    QWidget *geometrySectionView();
    // The colour list of a directly drawn element, the connector controls and the table
    // controls, for the same column.
    QWidget *colorListSectionView();
    QWidget *connectorSectionView();
    QWidget *tableSectionView();
    // The contour style of one selected element, for the same column: the simple-style
    // controls of an element inspector of its own, as its Contour Style toolbar shows them.
    QWidget *contourStyleSectionView();
    // Reads the one selected element's style into those controls (they are disabled without
    // one); each control then changes that element, one undo step each. The colours pane's
    // shape style box is read again as well.
    void populateSimpleStyleToolbar();
    QntElementModeInspector *contourStyleInspector();
    // The drawing worked on: the document window's, else the current document's.
    VRDrawing *targetDrawing() const;

    // Opening: the point of the drawing view's centre on screen, the panel there (once), shown.
    QPointF positionParentWindow();
    void createGroupModeInspectorAtPoint(QPointF point);
    void showGroupModeInspector();
    void closeAttachedWindows();
    AXAttachedWindow *attachedWindow() const { return _attachedWindow; }
    QPointF lastAttachedPoint() const { return _lastAttachedPoint; }

    // Pane switching; a tag below 0 shows the segmented control's current pane.
    void selectPaneWithTag(int tag);
    int shownPaneTag() const { return m_shownTag; }

    // Fills the controls for a drawing and for the current selection.
    void populateControlsForDrawing(VRDrawing *drawing);
    void refreshControls();
    // The controls read the selection again, without recording anything: after an undo or a
    // redo, and after a defaults verb.
    void showSelectionAgain();

    // Text of elements (with connectors' labels, tables' cells and free texts, which have no
    // style and take the change in their own text) and of connectors.
    void elementFontFamilyAction(const QString &family);
    bool elementFontSizeAction(const QString &typed);
    void elementFontTypefaceAction(bool bold, bool italic, bool underlined);
    void connectorFontFamilyAction(const QString &family);
    bool connectorFontSizeAction(const QString &typed);
    void connectorFontTypefaceAction(bool bold, bool italic, bool underlined);
    // The text of the selected tables' cells, through the embedded element inspector: every
    // cell when "Apply to all cells" is on (and the one table has one cell or all of them
    // picked), else the picked cells; a table with no picked cells changes in all its cells.
    // Each is one undo step. The element text actions come here when the one selected object is
    // a table.
    void tableFontFamilyAction(const QString &family);
    bool tableFontSizeAction(const QString &typed);
    void tableFontTypefaceAction(bool bold, bool italic, bool underlined);
    void tableAlignAction(int column);
    bool tableFontSizeMenuAction(double size);
    bool tableTextColorAction(const QColor &colour);
    void tableShowColorMatrixAction(QWidget *from);
    // Alignment (column 0 left, 1 centre, 2 right), a size from the size menu and the text
    // colour, through the embedded text editor; the size menu and colour leave tables alone.
    void elementAlignAction(int column);
    void connectorAlignAction(int column);
    bool elementFontSizeMenuAction(double size);
    bool connectorFontSizeMenuAction(double size);
    bool elementTextColorAction(const QColor &colour);
    bool connectorTextColorAction(const QColor &colour);
    // The text colour well of customizable notations: through the embedded text editor, which
    // colours the selected elements' and connectors' text (and the picked cells of tables).
    bool simpleElementTextColorWellAction(const QColor &colour);
    // The text colour swatches in a popover beside `from`; the panel stays open meanwhile.
    void elementShowColorMatrixAction(QWidget *from);
    void connectorShowColorMatrixAction(QWidget *from);
    // The text colour buttons black (wells in customizable notations), alignment cleared.
    void updateTextColorButton();
    // A single selected element or connector shows its text colour; customizable notations
    // show wells instead of buttons.
    void populateTextColorButtons();
    // The size and position fields from the geometry a drawing view reports for its shape.
    void selectedShapeInfoDidChange(const Notification &notification);
    // With in-place text editing on, the one selected element, connector or free text whose
    // text a drawing view is editing in place; the element text actions then change the text
    // selected there (all of it when nothing is selected), and nothing else.
    VRObjectRef objectEditedInline() const;
    // A change to several objects while the text of one of them is edited in place: the edit
    // ends first and keeps what was typed, so the change reaches that text too and the end of
    // the edit cannot write the former text back over it.
    void finishEditingInPlaceAmongSeveral();
    // In-place editing began: the pane's text controls follow the text selected there.
    void inlineEditingStartedNotification(const Notification &notification);

    // Colours: a scheme on every element, element arrow and connector; their transparency.
    void colorMatrixAction(qint64 schemeId);
    void transparencyAction(double coefficient);
    // The colour pane's palette: the notation's schemes with a transparency slider, or the
    // colour list of the one selected directly drawn element.
    void populateColorPalette();
    void populateColorPaletteForElement(const VRObjectRef &element);
    QntColorMatrix *paletteMatrix() const { return m_paletteMatrix; }
    // A swatch of an element's colour list: remembers which entry of which element it is and
    // opens the spectrum picker on it (not for the clear colour).
    bool showColorPicker(QntColorMatrix *matrix);
    // The first half of it: the swatch's entry and element are remembered; false (and nothing
    // remembered) for the clear colour or when the one selected object is no such element.
    bool pickSwatch(QntColorMatrix *matrix);
    // The picked colour into the remembered entry; nothing when the element is no longer the
    // one selected object or the entry is gone.
    bool colourChangeFromPicker(const QColor &colour);
    // The swatch grids of the colour popovers send their choice here.
    void colorMatrixAction(QntColorMatrix *sender) override;
    void transparencyAction(BWTransparentSlider *sender) override;

    // Tables, through the embedded element inspector: frame, grid and cell colours, paddings
    // and the text angle of the selected tables. Typed lengths are in the drawing's units.
    void tableShowGridAction(bool on);
    void tableShowTableFrameAction(bool on);
    void tableGridLineWidthAction(double points);
    bool tableGridLineWidthTextboxAction(const QString &typed);
    void tableRectangleCornerRaduisAction(double points);
    bool tableRectangleCornerRaduisTextboxAction(const QString &typed);
    void tableGridColorWellAction(const QColor &colour);
    void tableCellsColorWellAction(const QColor &colour);
    // Open the grid or cell colour popover of the embedded element inspector beside `from`.
    void tableGridColorMatrixAction(QWidget *from);
    void tableCellsColorMatrixAction(QWidget *from);
    // Table cell paddings in the padding mode's units (fractions or points).
    void tableTopBottomPaddingAction(double value);
    void tableLeftRightPaddingAction(double value);
    void tableTextAngleSliderAction(double degrees);
    void populateTableStyleToolbar();
    void populateCellStyleToolbar();
    // The grid and frame switches show the selected tables' state: on, off or mixed.
    void showTableSwitches();
    QCheckBox *tableApplyToAllCellsCheckbox() const { return _tableApplyToAllCellsCheckbox; }

    // Paddings of the selected elements (mode 0: fractions of the size, 1: points) and their
    // automatic sizing.
    void elementPaddingModeAction(int mode);
    void elementTopBottomPaddingSliderAction(double value);
    void elementLeftRightPaddingSliderAction(double value);
    bool elementTopBottomPaddingTextboxAction(const QString &typed);
    bool elementLeftRightPaddingTextboxAction(const QString &typed);
    void updatePaddingModeControl(const QntElement *element);
    int paddingMode() const;
    void turnAutosizeOnAction();
    void turnAutosizeOffAction();
    QntDoubleSlider *topBottomPaddingSlider() const { return _elemTopBottomPaddingSlider; }
    QntDoubleSlider *leftRightPaddingSlider() const { return _elemLeftRightPaddingSlider; }
    QLineEdit *topBottomPaddingTextbox() const { return _elemTopBottomPaddingTextbox; }
    QLineEdit *leftRightPaddingTextbox() const { return _elemLeftRightPaddingTextbox; }

    QntElementModeInspector *elementModeInspector();
    QntElementTextEditor *elementTextEditor();

    // Size and position, typed in the drawing's units; false (and nothing changed) when refused.
    double unitConversionFactor() const;
    bool widthAction(const QString &typed);
    bool heightAction(const QString &typed);
    bool xCenterAction(const QString &typed);
    bool yCenterAction(const QString &typed);
    bool applyDimensionAction();
    bool applyLocationAction();
    void resizeToLargest();
    void resizeEachElement(double factor);

    // Connectors: arrowheads of thin connectors (an element id, empty for none), routing by the
    // connector inspector's tags.
    void startArrowheadAction(const QString &arrowId);
    void endArrowheadAction(const QString &arrowId);
    void changeConnectorTypeAction(int tag);

    // The stored defaults onto every selected element (through an element inspector) and every
    // selected connector and element arrow (through a connector inspector), as one undo step.
    void applyDefaultsAction();

    // Simple style of the selected elements, through the element inspector (customizable
    // notations show these controls). Each is one undo step.
    void simpleStyleContourWidthAction(double width);
    void simpleStyleContourColorAction(const QColor &colour);
    void simpleStyleContourTransparencyAction(double alpha);
    void simpleStyleBackgroundTransparencyAction(double alpha);
    void simpleStyleContourShadowAction(bool on);
    // Shows the controls of the fill kind (0 flat, 1 linear, 2 linear with a middle colour,
    // 3 elliptical), loads them from the fill of the last selected element and applies the kind
    // to every selected element; any other kind changes nothing.
    void simpleStyleFillTypeAction(int kind);
    // The fill kind and colours of the controls onto every selected element.
    void simpleStyleFillColorAction();
    void simpleStyleEditAllPartsAtOnce(bool on);
    // Custom notations show the simple-style controls, the others the colour schemes.
    void switchControlsForCustomNotation();

    // Thin and thick connectors: each set of controls is worked by its own connector inspector
    // (thin: every connector kind; thick: thick-line connectors), picking arrowheads and colours
    // from pictures and swatches in popovers beside the buttons.
    enum ConnectorSet { ThinSet = 0, ThickSet = 1 };
    void arrowheadPopupButtonAction(ConnectorSet set, bool start);
    // which: 0 start arrowhead, 1 end arrowhead, 2 the line (thin set only).
    void showColorMatrixButtonAction(ConnectorSet set, int which);
    void strokeDashAction(ConnectorSet set);
    void arrowheadLengthAction(ConnectorSet set, bool start);
    void arrowheadLengthTextboxAction(ConnectorSet set, bool start);
    QntConnectorModeInspector *connectorInspector(ConnectorSet set);
    // Reads the first connector of each set into its controls.
    void populateConnectorSets();
    void populateRoutingPopUp();
    void bindToDrawing(VRInspectorBase &embedded) const;
    // The popover an embedded inspector opened for the panel; the panel stays open meanwhile.
    AXAttachedWindow *waitingForClosingAttachedWindow() const { return m_waiting; }

    // Defaults menus: 0 save the single selected object's style as defaults, 1 reset the
    // defaults, 2 reset the single selected object only, 3 apply the defaults to every selected
    // object as one undo step ("Applying defaults").
    void saveAsDefaults(int tag);
    void saveAsDefaultsForConnectors(int tag);
    // The stored defaults onto the selected plain connectors (mode 0) or elements (not texts),
    // as one undo step.
    void connectorLoadDefaults();
    void elementLoadDefaults();

    struct SimpleStyleControls {
        QWidget *section = nullptr;
        QntDoubleSlider *contourWidthSlider = nullptr;
        QntColorWell *contourColorWell = nullptr;
        QntDoubleSlider *contourTransparencySlider = nullptr;
        QCheckBox *contourShadowCheckbox = nullptr;
        QCheckBox *editAllPartsAtOnce = nullptr;
        QComboBox *fillTypesCombobox = nullptr;
        QntColorWell *fillColorWell = nullptr;
        QntColorWell *gradientEndColorWell = nullptr;
        QntColorWell *gradientMiddleColorWell = nullptr;
        QntDoubleSlider *gradientAngleSlider = nullptr;
        QLabel *gradientAngleLabel = nullptr;
        QntDoubleSlider *gradientColorStopPositionSlider = nullptr;
        QLabel *gradientColorStopPositionLabel = nullptr;
        QntDoubleSlider *backgroundTransparencySlider = nullptr;
        QLabel *backgroundTransparencyLabel = nullptr;
    };
    const SimpleStyleControls &simpleStyleControls()
    {
        mainView();
        return m_simpleStyle;
    }
    struct ConnectorSetControls {
        QWidget *box = nullptr;
        QComboBox *strokeDashPopUpButton = nullptr;
        QntButtonCell *startArrowheadPopupButton = nullptr;
        QntButtonCell *endArrowheadPopupButton = nullptr;
        QntButtonCell *showColorMatrixStartArrowButton = nullptr;
        QntButtonCell *showColorMatrixEndArrowButton = nullptr;
        QntButtonCell *showColorMatrixConnectorButton = nullptr;
        QntDoubleSlider *startArrowheadLengthSlider = nullptr;
        QntDoubleSlider *endArrowheadLengthSlider = nullptr;
        QntTextFieldCell *startArrowheadLengthTextbox = nullptr;
        QntTextFieldCell *endArrowheadLengthTextbox = nullptr;
        QCheckBox *applyLengthToBothArrowsCheckbox = nullptr;
        QCheckBox *applyColorsToBothArrowsCheckbox = nullptr;
        QLabel *startArrowheadLengthUnitLabel = nullptr;
        QLabel *endArrowheadLengthUnitLabel = nullptr;
    };
    const ConnectorSetControls &connectorSetControls(ConnectorSet set)
    {
        mainView();
        return m_sets[set];
    }

    // Controls, for the document window and for tests.
    QLineEdit *widthTextbox() const { return _widthTextbox; }
    QLineEdit *heightTextbox() const { return _heightTextbox; }
    QLineEdit *xCenterTextbox() const { return _xCenterTextbox; }
    QLineEdit *yCenterTextbox() const { return _yCenterTextbox; }
    QLabel *messageLabel() const { return _messageLabel; }

protected:
    void selectedObjectDidChange(const Notification &notification) override;

private:
    // The shape style box shows the style of the selected element (the last one of several).
    void populateShapeStyleBox();
    void observeUndoAndRedo();
    void buildViews();
    // A toolbar's light controls shown in a document window's light column keep a dark ground
    // of their own.
    static void keepDarkGround(QWidget *view);
    QWidget *buildPaddingView(QWidget *pane);
    void placeInPalette(QntColorMatrix *matrix, BWTransparentSlider *slider);
    // Runs `change` as one undo step named `name`.
    void inOneStep(const QString &name, const std::function<void()> &change);
    // The embedded element inspector set to work on the selected tables (their cells when
    // `cells`), with the one selected table as its context object.
    QntElementModeInspector *tableInspector(bool cells, int multiple = 1);
    // The embedded element inspector set to work on every selected element.
    QntElementModeInspector *elementsInspector();
    VRObjectRef singleTable() const;
    // The panel stays open while the inspector's colour popover is.
    void keepPanelOpenFor(QntElementModeInspector *inspector);
    void showTableLength(QntDoubleSlider *slider, QLineEdit *box, double points);
    // One undo step setting a table padding through the embedded element inspector.
    void tablePaddingAction(double value, void (QntElementModeInspector::*set)(double));
    void showPadding(QntDoubleSlider *slider, QLineEdit *box, double value);
    bool readPadding(const QString &typed, double *value);
    QWidget *buildTextPane(const QString &name, bool connectors);
    enum class TextTarget { Elements, Connectors, TableCells };
    void showTextColourSwatches(QWidget *from, TextTarget target);
    // The embedded text editor set on the object edited in place; null when there is none.
    QntElementTextEditor *inlineTextEditor();
    void showInlineTextAttributes();
    // The text pane shows the attributes the editor reads: the text edited in place, else the
    // text of the one selected element.
    void showTextAttributesOf(QntElementTextEditor *editor);
    // The text pane shows the look of a free text as its first character has it.
    void showTextAttributesOf(const VRTextShapeBase &text);
    QntElementModeInspector *tableTextInspector();
    QWidget *buildColorPane();
    // The size and position controls, also shown on their own in a document window.
    QWidget *buildGeometryView(QWidget *pane);
    QWidget *buildConnectorStylePane();
    QWidget *buildTablePane();
    VRObjectList selection() const;
    VRUndoManager *undoManager() const;
    // Runs `change` over the selection as one undo step named `name`; false when nothing changed.
    bool changeSelection(const QString &name,
                         const std::function<bool(const VRObjectRef &)> &change);
    bool readLength(const QString &typed, bool positive, double *points);
    // A table length typed into a field: refused with a message below 0; a larger value than the
    // slider holds stretches the slider.
    bool readTableLength(const QString &typed, QntDoubleSlider *slider, const QString &belowZero,
                         double *points);
    // Sets the width (which 0), height (1), centre x (2) or centre y (3), in points (places
    // from the margins), of every selected shape; refused, with nothing changed, when one would
    // leave the drawing.
    struct GeometryValue {
        int which;
        double points;
    };
    bool setGeometry(const QList<GeometryValue> &values, const QString &name);
    bool setGeometry(const QString &typed, int which);
    void refuse(const QString &message);
    QWidget *buildElementStyleSection(QWidget *parent);
    QWidget *buildConnectorSets(QWidget *parent);
    QWidget *buildConnectorSet(ConnectorSet set, QWidget *parent);
    QWidget *buildCustomConnectorStyle(QWidget *parent);
    QWidget *buildDefaultsMenu(const QString &name, QWidget *parent, bool connectors);
    void ensureEmbeddedInspectors();
    void showFillControlsForKind(int kind);
    // Keeps the panel open while an embedded inspector's popover is open.
    void waitForPopover(AXAttachedWindow *popover);
    // Keeps the panel open while the colour panel serves one of the panel's colour wells.
    void waitForColorPanel(const void *well);
    // Closes the colour panel when it serves the panel, which is closing.
    void closeColorPanelWithPanel();
    // After the colour panel: the panel closes on losing the focus again once it has it back.
    void reclaimFocusAfterColorPanel();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void applyDefaultsToAll(bool fromConnectorsMenu, int tag);

    QPointer<AXAttachedWindow> _attachedWindow;
    QPointer<QWidget> _viewMain;
    QPointer<VRDrawing> m_drawing;
    // Made for a document window's sections rather than for the floating panel.
    bool m_embedded = false;
    QPointer<QWidget> _geometryView;
    QPointF _lastAttachedPoint;
    QntSegmentedCell *_segControl = nullptr;
    QStackedWidget *_viewBase = nullptr;
    QWidget *_panes[5] = {};
    int m_shownTag = -1;

    QFontComboBox *_elemFontFamilyPopUpButton = nullptr;
    QLineEdit *_elemFontSizeTextField = nullptr;
    QCheckBox *_elemTypeface[3] = {};
    QFontComboBox *_connFontFamilyPopUpButton = nullptr;
    QLineEdit *_connFontSizeTextField = nullptr;
    QCheckBox *_connTypeface[3] = {};
    QToolButton *_elemAlign[3] = {};
    QToolButton *_connAlign[3] = {};
    QntButtonCell *_elemTextColorButton = nullptr;
    QntButtonCell *_connTextColorButton = nullptr;
    QntColorWell *_simpleElementTextColorWell = nullptr;
    QntColorWell *_simpleConnectorTextColorWell = nullptr;
    QFontComboBox *_tableFontFamilyPopUpButton = nullptr;
    QLineEdit *_tableFontSizeTextField = nullptr;
    QLineEdit *_widthTextbox = nullptr;
    QLineEdit *_heightTextbox = nullptr;
    QLineEdit *_xCenterTextbox = nullptr;
    QLineEdit *_yCenterTextbox = nullptr;
    QLabel *_unitLabels[4] = {};
    QSlider *_elemResizeEachElementSlider = nullptr;
    QComboBox *_connectorTypePopupButton = nullptr;
    QLabel *_messageLabel = nullptr;

    QWidget *_viewElementColorTabViewItem = nullptr;
    QPointer<QntColorMatrix> m_paletteMatrix;
    QPointer<BWTransparentSlider> m_paletteTransparencySlider;
    quint64 _selectedColorIndex = 0;
    std::weak_ptr<VRDrawableObject> m_pickerElement;
    QColor m_pickerColour;

    QCheckBox *_tableShowGridButton = nullptr;
    QCheckBox *_tableShowTableFrameButton = nullptr;
    QntColorWell *_tableGridColorWell = nullptr;
    QntButtonCell *_tableGridColorButton = nullptr;
    QntDoubleSlider *_tableGridLineWidthSlider = nullptr;
    QLineEdit *_tableGridLineTextbox = nullptr;
    QntDoubleSlider *_tableRectangleCornerRaduisSlider = nullptr;
    QLineEdit *_tableRectangleCornerRaduisTextbox = nullptr;
    QLabel *_tableGridLineWidthLabel = nullptr;
    QLabel *_tableRectangleCornerRaduisLabel = nullptr;
    QntColorWell *_tableCellsColorWell = nullptr;
    QntButtonCell *_tableCellsColorButton = nullptr;
    QCheckBox *_tableApplyToAllCellsCheckbox = nullptr;
    QntDoubleSlider *_tableTopBottomPaddingSlider = nullptr;
    QntDoubleSlider *_tableLeftRightPaddingSlider = nullptr;
    QntDoubleSlider *_tableTextAngleSlider = nullptr;

    QntSegmentedCell *_elemPaddingModeSegmentedControl = nullptr;
    QntDoubleSlider *_elemTopBottomPaddingSlider = nullptr;
    QntDoubleSlider *_elemLeftRightPaddingSlider = nullptr;
    QLineEdit *_elemTopBottomPaddingTextbox = nullptr;
    QLineEdit *_elemLeftRightPaddingTextbox = nullptr;
    QLabel *_elemTopBottomPaddingLabel = nullptr;
    QLabel *_elemLeftRightPaddingLabel = nullptr;
    QPushButton *_elemResizeToLargestButton = nullptr;
    std::unique_ptr<QntElementTextEditor> m_elementTextEditor;
    std::unique_ptr<QntElementModeInspector> m_elementInspector;
    std::unique_ptr<QntConnectorModeInspector> m_connectorInspector;
    std::unique_ptr<QntConnectorModeInspector> m_thinConnectorInspector;
    std::unique_ptr<QntConnectorModeInspector> m_thickConnectorInspector;
    std::unique_ptr<QntElementModeInspector> m_contourInspector;
    QPointer<QWidget> m_contourStyleView;
    SimpleStyleControls m_simpleStyle;
    ConnectorSetControls m_sets[2];
    QPointer<AXAttachedWindow> m_waiting;
    bool m_waitingForColorPanel = false;
    // The popover waited for closed because the focus went to another window.
    bool m_waitingLostFocus = false;
    QMetaObject::Connection m_focusReclaim;
    QPointer<QWidget> m_schemeRow;
    QPointer<QWidget> m_tablePane;
    QPointer<QWidget> m_connectorSetsView;
    QPointer<QWidget> m_customConnectorView;
    std::vector<NotificationToken> m_observers;
};
