#pragma once

#include "inspectors/QntContextMenu.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QToolButton;
class QntButtonCell;
class QntColorMatrix;
class QntColorWell;
class QntDoubleSlider;
class QntElement;
class QntElementTextEditor;
class QntEscapedView;
class QntTextFieldCell;
class VRDrawingDocument;

// User-defaults keys of the stored element defaults, and the keys of an element style dictionary
// beyond the simple-style ones of QntContextMenu.h.
extern const QString kQntCustomNotationDefaultElement;
extern const QString kQntDefaultImageShape;
extern const QString kQntDefaultImageShapeShowContour;
extern const QString kQntDefaultImageShapeContourType;
extern const QString kQntDefaultImageShapeContourColor;
extern const QString kQntDefaultImageShapeContourWidth;
extern const QString kQntDefaultImageShapeRectangleContourRadius;
extern const QString kQntNotationElementColorScheme;
extern const QString kQntNotationElementTextFont;
extern const QString kQntNotationElementTextFontSize;
extern const QString kQntNotationElementTextFontColor;
extern const QString kQntNotationElementTextAlignment;
extern const QString kQntNotationElementPaddingTopBottom;
extern const QString kQntNotationElementPaddingLeftRight;
extern const QString kQntNotationElementTextAngle;

// The inspector of a single selected element. Made once at launch; a right mouse-up on an
// element shows the element's tool column beside it, whose buttons open the attached toolbars.
class QntElementModeInspector : public QntContextMenu
{
    Q_OBJECT
public:
    explicit QntElementModeInspector(const QString &windowNibName, QObject *parent = nullptr);
    QntElementModeInspector(VREmbedded, QWidget *hostWindow);
    ~QntElementModeInspector() override;

    QString windowNibName() const { return windowName(); }

    VRObjectRef contextObject() const override { return _contextObject; }
    std::shared_ptr<QntElement> contextElement() const override;
    void setContextObject(const VRObjectRef &object) override;
    const VRClassInfo *contextObjectClass() const override;
    QString contextObjectID() const override;
    QPointF menuPosition() override;
    void createVerticalToolbarAtPoint(QPointF point) override;
    void contextMenuDidClose() override;
    void closeAttachedWindows() override;
    void closeAttachedWindowsWithKind(int mask) override;
    VRObjectList selectedObjectForCurrentTarget() const override;
    void populateToolMatrix() override;
    // The style of the context object as an element style dictionary (styleOfObject).
    std::optional<QVariantMap> styleForContextObject() override;

    // Element defaults and style copying. An element style dictionary holds either the
    // image-shape keys (kQntDefaultImageShape...) or, for other elements, the simple-style keys
    // (customizable notations) or the colour scheme (other notations), with the text and padding
    // keys. Colours and fonts are archived data, everything else numbers.
    //
    // The element's style; none for objects that are not elements. Read through the toolbars,
    // with undo registration off meanwhile; the context object is left as it was.
    std::optional<QVariantMap> styleOfObject(const VRObjectRef &object);
    // Stores the context object's style under kQntDefaultImageShape (image shapes) or
    // kQntCustomNotationDefaultElement (elements of customizable notations); nothing otherwise.
    void saveDefaultsForContextObject();
    void applyDefaultsToContextObject();
    // Makes the object the context object and applies the stored dictionary of its kind, if any,
    // as one undoable step.
    void applyDefaultsToObject(const VRObjectRef &object);
    // Removes the stored dictionary of the context object's kind, then gives it the built-in look.
    void resetDefaultsContextObject();
    // Gives the current targets the built-in look through the toolbar controls, each of which
    // records its own change; the stored dictionary stays.
    void resetDefaultsForCurrentOnlyContextObject();
    static QVariantMap defaultsForElement();
    static QVariantMap defaultsForImageShape();
    // The defaults pop-up of the simple-style or image-shape toolbar: 0 save, 1 reset, 2 reset
    // for the current object only, 3 apply.
    void saveAsDefaults(int tag, QWidget *popUpView) override;
    // Elements, not connectors (element arrows included).
    bool copiesStyleOf(const VRObjectRef &object) const override;
    // Applies the dictionary to the element as one undoable step (undo applies the element's
    // style as it was, redo the dictionary again). Tables take no defaults. Only the keys present
    // change the element; values that do not read are skipped.
    void applyDefaults(const QVariantMap &dictionary, const VRObjectRef &element);
    // The colour scheme of the dictionary, when it has one, on the context element.
    void applyDefaultsToElement(const QVariantMap &dictionary);
    // The image-shape keys through the image-shape toolbar, on the current target objects.
    void applyDefaultsToImageShape(const QVariantMap &dictionary);
    // A shape was added from the palette (kQntElementAddedToLayerNotification): the stored
    // defaults go onto it while QntApplyDefaultsKey is on.
    void applyDefaults(const Notification &notification);
    // A copied style onto the single selected element, when the style-copy tool is current and
    // copied from an object of exactly that class.
    void styleShouldBeAppliedToSelection(const QVariantMap &style);
    void styleShouldBeAppliedNotification(const Notification &notification);
    void saveAsDefaultsNotification(const Notification &notification);
    void applyDefaultsNotification(const Notification &notification);
    void resetDefaultsNotification(const Notification &notification);
    void resetDefaultsForCurrentOnlyNotification(const Notification &notification);
    void populateMatrix(QntButtonMatrix *matrix);
    void toolButtonMatrixAction(QntButtonMatrix *matrix) override;

    void rightMouseUpOnElement(const Notification &notification);
    bool areAttachedWindows() const override { return _attachedStickyPointWindow; }

    // Element text bar.
    void openElementTextEditor();
    void closeAttachedTextEditorWindow();
    void openTextEditor(const Notification &notification);
    QntElementTextEditor *elementTextEditor() const { return mElementTextEditor; }
    void elementTableTextCellSelectionChanged(const Notification &notification);
    // While the text bar is open, a member of a group element highlighted in the view takes
    // over the bar's editing (what was typed so far stays on the element it was typed in); the
    // end of the highlight closes the bar.
    void highlightElementInGroupChanged(const Notification &notification);
    void noHighlightElementInGroup(const Notification &notification);

    // Rotation, contour-only and padding modes.
    void setAngleValue(double degrees);
    void angleAction();
    void angleTextboxAction();
    int paddingMode() const { return _paddingMode; }
    void setPaddingMode(int mode);
    void updatePaddingControlsForElement(QntElement *element);

    // Table-, cell- and image-shape-style toolbars.
    void createTableStyleToolbar(QntButtonMatrix *matrix);
    void createCellStyleToolbar(QntButtonMatrix *matrix);
    void createImageShapeStyleToolbar(QntButtonMatrix *matrix);
    void populateTableStyleToolbar();
    void populateCellStyleToolbar();
    void populateImageShapeStyleToolbar();
    void closeAttachedTableStyleWindow();
    void closeAttachedCellStyleWindow();
    void closeAttachedImageShapeStyleWindow();
    AXAttachedWindow *attachedTableStyleWindow() const { return _attachedTableStyleWindow; }
    AXAttachedWindow *attachedCellStyleWindow() const { return _attachedCellStyleWindow; }
    AXAttachedWindow *attachedImageShapeStyleWindow() const
    {
        return _attachedImageShapeStyleWindow;
    }

    // Table and cell actions.
    void tableSelectAllCells();
    void tableFontFamilyAction(const QString &fontName);
    void tableFontSizeTextFieldAction();
    void tableFontTypefaceAction();
    void tableAlignAction(int column);
    void tableTextColorAction(const QColor &colour);
    void tableShowGridAction();
    void tableShowTableFrameAction();
    void tableSetGridLineWidth(double width);
    void tableGridLineWidthAction();
    void tableGridLineWidthTextboxAction();
    void tableSetRectangleCornerRaduis(double radius);
    void tableRectangleCornerRaduisAction();
    void tableRectangleCornerRaduisTextboxAction();
    void tableSetTopBottomPadding(double padding);
    void tableSetLeftRightPadding(double padding);
    void tableTopBottomPaddingSliderAction();
    void tableLeftRightPaddingSliderAction();
    void tableTopBottomPaddingTextboxAction();
    void tableLeftRightPaddingTextboxAction();
    void tableTextAngleSliderAction();
    void setTableApplyToAllCellsCheckboxValue(qint64 value);
    void tableGridColorMatrixAction(const QColor &colour);
    void tableCellsColorAction(const QColor &colour);
    void setAutosize(bool on);

    // Image-shape actions.
    void imageRectangleCornerSetRaduis(double radius);
    void imageRectangleCornerRaduisAction();
    void imageRectangleCornerRaduisTextboxAction();
    void imageContourSetWidth(double width);
    void imageContourWidthAction();
    void imageContourWidthTextboxAction();
    void imageContourColorAction();
    void imageShowContourAction();
    void imageContourTypeAction(int type);

    // Colour palette and sticky spots.
    void updateSelectColorButton() override;
    void createColorToolbar(QntButtonMatrix *matrix);
    void colorMatrixAction(QntColorMatrix *sender) override;
    // A scheme number (an element's colour scheme) or a colour (a text cell's fill).
    void applyColorValue(const QVariant &value);
    // After a scheme, colour or transparency change of the context element.
    void followColourChangeInStyleToolbar();
    void transparencyAction(BWTransparentSlider *sender) override;
    void applyTransparency(double coef);
    void showTableGridColorMatrixAction(QWidget *sender);
    void showCellsColorMatrixAction(QWidget *sender);
    void createStickyPointToolbar(QntButtonMatrix *matrix);
    void closeAttachedStickyPointWindow();
    void toolButtonStickyPointMatrixAction(const QString &toolName);

    // Controls of the toolbars, made with their views.
    struct TableControls {
        QCheckBox *showGrid = nullptr;
        QCheckBox *showFrame = nullptr;
        QntColorWell *gridColorWell = nullptr;
        QntDoubleSlider *gridLineWidthSlider = nullptr;
        QntTextFieldCell *gridLineWidthTextbox = nullptr;
        QLabel *gridLineWidthTextboxLabel = nullptr;
        QntDoubleSlider *cornerRadiusSlider = nullptr;
        QntTextFieldCell *cornerRadiusTextbox = nullptr;
        QLabel *cornerRadiusTextboxLabel = nullptr;
        QToolButton *fontFamilyPopUpButton = nullptr;
        QntTextFieldCell *fontSizeTextField = nullptr;
        QntButtonCell *typeface[3] = {};
        QntButtonCell *align[3] = {};
        QntColorWell *textColorWell = nullptr;
        QntButtonCell *textColorButton = nullptr;
        QntColorWell *cellsColorWell = nullptr;
        QntButtonCell *cellsColorButton = nullptr;
        QntButtonCell *gridColorButton = nullptr;
        QPointer<QntColorMatrix> gridColorMatrix;
        QPointer<QntColorMatrix> cellsColorMatrix;
        QCheckBox *applyToAllCells = nullptr;
        QntDoubleSlider *topBottomPaddingSlider = nullptr;
        QntTextFieldCell *topBottomPaddingTextbox = nullptr;
        QntDoubleSlider *leftRightPaddingSlider = nullptr;
        QntTextFieldCell *leftRightPaddingTextbox = nullptr;
        QLabel *topBottomPaddingUnit = nullptr;
        QLabel *leftRightPaddingUnit = nullptr;
        QntDoubleSlider *textAngleSlider = nullptr;
        QCheckBox *percentPaddings = nullptr;
    };
    struct ImageControls {
        QCheckBox *showContour = nullptr;
        QntButtonCell *contourType[3] = {};
        QntDoubleSlider *contourWidthSlider = nullptr;
        QntTextFieldCell *contourWidthTextbox = nullptr;
        QLabel *contourWidthTextboxLabel = nullptr;
        QntColorWell *contourColorWell = nullptr;
        QWidget *cornerRadiusView = nullptr;
        QntDoubleSlider *cornerRadiusSlider = nullptr;
        QntTextFieldCell *cornerRadiusTextbox = nullptr;
        QLabel *cornerRadiusTextboxLabel = nullptr;
    };
    const TableControls &tableControls();
    const ImageControls &imageControls();
    QntDoubleSlider *angleSlider() const { return _angleSlider; }
    QntTextFieldCell *angleTextbox() const { return _angleTextbox; }
    QWidget *colorPaletteView() const { return _colorPaletteView; }
    void openStylePropertiesPanel(const Notification &notification);
    void closeAction();

    // The contour and fill controls of the document window's inspector column: the simple-style
    // controls of an inspector embedded in the section, following the document's single
    // selected element.
    static QWidget *makeSimpleStyleSection(VRDrawingDocument *document);
    // Reads the single selected element of the document into the section's controls.
    void followSelection(VRDrawingDocument *document);

protected:
    void onlyContourModeAction() override;

private:
    // The built-in look on the current targets, as one undo step of that name.
    void resetToBuiltInLook(const QString &stepName);
    void buildTableViews();
    bool isCustomizableNotation() const;
    void buildImageShapeView();
    void addRotationControls();
    void populateRotationControls();
    // The cell actions first select every cell when apply-to-all is on.
    void applyToAllCellsStep();
    // The objects a colour or transparency goes to.
    VRObjectList colorTargets();
    QntElementTextEditor *tableTextEditor();
    void forwardToTableTextEditor(const std::function<void(QntElementTextEditor &)> &action);
    void showLength(QntDoubleSlider *slider, QntTextFieldCell *box, QLabel *unit) const;
    std::optional<double> typedLength(QntTextFieldCell *box, QntDoubleSlider *slider) const;
    void showTablePadding(QntDoubleSlider *slider, QntTextFieldCell *box) const;
    std::optional<double> typedTablePadding(QntTextFieldCell *box, QntDoubleSlider *slider) const;
    // A slider of a slider-and-field pair moved, or a value typed in its field: set it on the
    // selection, then show the value that holds in the field. A typed length beyond the
    // slider's range widens the range; a typed padding is kept inside it.
    using LengthSetter = void (QntElementModeInspector::*)(double);
    void lengthSliderMoved(QntDoubleSlider *slider, QntTextFieldCell *box, LengthSetter set);
    void lengthTyped(QntDoubleSlider *slider, QntTextFieldCell *box, LengthSetter set);
    void paddingSliderMoved(QntDoubleSlider *slider, QntTextFieldCell *box, LengthSetter set);
    void paddingTyped(QntDoubleSlider *slider, QntTextFieldCell *box, LengthSetter set);
    // Turns the text of a table (every cell, or the selected ones) or of one cell; false for
    // any other object.
    static bool turnTableText(const VRObjectRef &object, double degrees, bool allCells);
    // Opens a built and filled style toolbar beside the column's selected cell as `window`.
    void openStyleToolbar(QntButtonMatrix *matrix, QWidget *view, const QString &name,
                          QPointer<AXAttachedWindow> &window);

    VRObjectRef _contextObject;
    QntElementTextEditor *mElementTextEditor = nullptr;
    QntElementTextEditor *_tableTextEditor = nullptr;
    QPointer<QntEscapedView> _viewTableStyleHorizontal;
    QPointer<QntEscapedView> _viewCellStyleHorizontal;
    QPointer<QntEscapedView> _viewImageShapeStyleHorizontal;
    QPointer<AXAttachedWindow> _attachedTableStyleWindow;
    QPointer<AXAttachedWindow> _attachedCellStyleWindow;
    QPointer<AXAttachedWindow> _attachedImageShapeStyleWindow;
    QPointer<QntEscapedView> _viewStickyPointToolbar;
    QPointer<AXAttachedWindow> _attachedStickyPointWindow;
    // The document whose tools stop reverting to Select while the sticky-spot toolbar is open.
    QPointer<VRDrawingDocument> m_stickyPointDocument;
    QPointer<QWidget> _colorPaletteView;
    QntDoubleSlider *_angleSlider = nullptr;
    QntTextFieldCell *_angleTextbox = nullptr;
    TableControls m_table;
    ImageControls m_image;
    int _paddingMode = 0;
    bool m_populating = false;
    // While the inspector itself picks every cell of the tables it works on.
    bool m_selectingAllCells = false;
    std::vector<NotificationToken> m_elementObservers;
    QPointer<VRDrawingDocument> m_followedDocument;
    bool m_refreshPending = false;
};
