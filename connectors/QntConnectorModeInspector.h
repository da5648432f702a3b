#pragma once

#include "inspectors/QntContextMenu.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSegmentedControl;
class QntButtonCell;
class QntConnector;
class QntConnectorTextEditor;
class QntNotation;
class QntDoubleSlider;
class QntTextFieldCell;
class VRStroke;
class VRStyle;

// The inspector of a single selected connector. Made once at launch; a right mouse-up on a
// connector shows its tool column beside the connector's end, whose buttons open the
// connector-style window (skin notations), the simple-style connector toolbar (customizable
// notations), the decorated-separator toolbar and the shape-parts window.
class QntConnectorModeInspector : public QntContextMenu
{
    Q_OBJECT
public:
    explicit QntConnectorModeInspector(const QString &windowNibName, QObject *parent = nullptr);
    // An instance inside another window: it observes nothing by itself.
    QntConnectorModeInspector(VREmbedded, QWidget *hostWindow);
    ~QntConnectorModeInspector() override;

    QString windowNibName() const { return windowName(); }

    // Connector kinds of the selection queries.
    enum ConnectorKind : int {
        kAllConnectors = 0,
        kThinConnectors = 1,
        kThickConnectors = 2,
        kElementArrows = 3,
        kPlainConnectors = 4,
        kDecoratedSeparators = 5,
    };
    // Routing codes of the routing pop-ups.
    enum RoutingTag : int {
        kZigZagRouting = 1,
        kCurveRouting = 2,
        kOrthogonalRouting = 3,
        kStraightRouting = 4,
        kAutomaticPolylineRouting = 11,
        kAutomaticOrthogonalRouting = 13,
    };
    static constexpr int kFirstThickLineTag = 100;
    static bool isThick(const VRDrawableObject &object);
    // The icon colour of a scheme; scheme 0 (none chosen yet) shows the notation's first one,
    // which is what such an object is drawn in.
    static QColor schemeIconColour(const QntNotation &notation, qint64 schemeId);

    // Hooks of the base.
    VRObjectRef contextObject() const override { return _contextPath; }
    std::shared_ptr<QntConnector> contextConnector() const;
    void setContextObject(const VRObjectRef &object) override;
    const VRClassInfo *contextObjectClass() const override;
    QString contextObjectID() const override;
    QPointF menuPosition() override;
    void createVerticalToolbarAtPoint(QPointF point) override;
    void contextMenuDidClose() override;
    void populateToolMatrix() override;
    void toolButtonMatrixAction(QntButtonMatrix *matrix) override;
    bool canShowAttachedWindow() const override;

    // The connector label's text bar.
    void openConnectorTextEditor();
    void openTextEditor(const Notification &notification);
    void closeAttachedTextEditorWindow();
    QntConnectorTextEditor *connectorTextEditor() const { return mConnectorTextEditor; }
    void closeAttachedWindows() override;
    void closeAttachedWindowsWithKind(int mask) override;
    bool areAttachedWindows() const override { return _attachedConnectorStyleWindow; }
    void extractStyleForObject(const VRObjectRef &object) override;
    void updateSelectColorButton() override;
    VRObjectList selectedObjectForCurrentTarget() const override;
    void createShapePartsToolbar(QntButtonMatrix *sender) override;

    void rightMouseUpOnConnector(const Notification &notification);
    void openStylePropertiesPanel(const Notification &notification);
    void closeAttachedConnectorStyleWindow();
    void closeAttachedConnectorSimpleStyleWindow();
    void closeAttachedDecoratedSeparatorWindow();

    // Selection by connector kind.
    int connectorKindToWork() const { return _connKindToWork; }
    void setConnectorKindToWork(int kind) { _connKindToWork = kind; }
    bool partOfGroupModeInspector() const { return _partOfGroupModeInspector; }
    void setPartOfGroupModeInspector(bool part) { _partOfGroupModeInspector = part; }
    VRObjectList connectorsInSelectionOfKind(int kind) const;
    VRObjectRef firstConnectorInSelectionOfKind(int kind) const;
    QString connectorId() const;

    // Routing.
    void changeConnectorTypeAction(QComboBox *sender);
    static int routingTagForConnector(const QntConnector &connector);
    static void selectRoutingTag(QComboBox *popUp, int tag);

    // Connector-style window of skin notations.
    void createConnectorStyleToolbar(QntButtonMatrix *anchor);
    void populateConnectorSkinToolbar();
    int populateMenuWithDashes(QComboBox *popUp);
    void updateMenuWithDashes(QComboBox *popUp);
    int menuItemIndexWithDash(QComboBox *popUp, const VRStroke *stroke) const;
    void strokeDashMenuAction(QComboBox *sender);
    void menuItemSkinStrokeDashAction(QComboBox *sender);
    void showStartArrowheadMatrixAction(QntButtonCell *button);
    void showEndArrowheadMatrixAction(QntButtonCell *button);
    // Applies the arrowhead of a matrix cell: an element id, or empty for none.
    void menuItemSkinStartArrowheadAction(const QString &arrowId);
    void menuItemSkinEndArrowheadAction(const QString &arrowId);
    void updateSelectArrowheadButton(QntButtonCell *button, const QString &arrowId);

    // Colours: the select-colour buttons open colour-scheme popovers (start and end arrowheads)
    // or a popover of the notation's connector colours (the line); element arrows take a scheme
    // from the column's colour cell.
    void showColorMatrixAction(QntButtonCell *button);
    void showConnectorColorMatrixAction(QntButtonCell *button);
    void colorMatrixAction(QntColorMatrix *sender) override;
    // A scheme number (or a colour) handed in directly: applied to the whole connector.
    void applyColorValue(const QVariant &value, bool fromNumber);
    void colorElementArrowMatrixAction(QntColorMatrix *sender);
    void transparencyAction(BWTransparentSlider *sender) override;
    bool respondsToOpenShapePartsToolbar() const override { return !_partOfGroupModeInspector; }
    void createColorToolbar(QntButtonMatrix *sender);
    void updateElementArrowSelectColorButton();
    void updateSelectColorButton(QntButtonCell *button);
    void setStyle(const std::shared_ptr<VRStyle> &style);
    const std::shared_ptr<VRStyle> &style() const { return mStyle; }

    // Arrowhead lengths.
    static QSizeF sizeArrowhead(QSizeF size, double length);
    void startArrowheadSetLength(double length);
    void endArrowheadSetLength(double length);
    void startArrowheadLengthAction();
    void endArrowheadLengthAction();
    void startArrowheadLengthTextboxAction();
    void endArrowheadLengthTextboxAction();

    // Simple-style connector toolbar of customizable notations.
    void createConnectorSimpleStyleToolbar(QntButtonMatrix *sender);
    void populateConnectorSimpleStyleToolbar();
    void simpleStyleColorWellAction();
    void simpleStyleSetWidth(double width);
    void simpleStyleWidthSliderAction();
    void simpleStyleWidthTextboxAction();
    void simpleStyleShadowCheckboxAction();
    void simpleStyleStartArrowheadsMenuItemAction();
    void simpleStyleEndArrowheadsMenuItemAction();
    void simpleStyleStrokeDashMenuItemAction();
    void simpleStyleStrokeLineCapStyleAction(int cap);

    // Decorated-separator toolbar.
    void createDecoratedSeparatorToolbar(QntButtonMatrix *sender);
    void populateDecoratedSeparatorToolbar();
    void decoratedSeparatorIntervalAction();
    void decoratedSeparatorScaleAction();
    void decoratedSeparatorLeaderAction();

    // Last-applied skin settings, shared by every instance.
    static void setLastAppliedAdornmentId(const QString &id);
    static void setLastAppliedStartArrowheadId(const QString &id);
    static void setLastAppliedEndArrowheadId(const QString &id);
    // The stored id, or the null marker when none is stored.
    static QVariant lastAppliedAdornmentId();
    static QVariant lastAppliedStartArrowheadId();
    static QVariant lastAppliedEndArrowheadId();
    static QSizeF lastStartArrowheadSize();
    static QSizeF lastEndArrowheadSize();
    // Forgets every last-applied setting (a new process starts empty).
    static void resetLastAppliedSettings();
    // The last-applied settings under the keys of a style snapshot ("lastAppliedAdornmentId",
    // ... "lastSizeEndArrow"), and setting them back from such a dictionary (absent keys clear).
    static QVariantMap lastAppliedSettings();
    static void setLastAppliedSettings(const QVariantMap &settings);

    // Connector defaults and styles. A connector belongs to one family: notation connectors
    // (skin notations, one stored dictionary per notation), custom connectors (customizable
    // notations) and element arrows (customizable notations, styled like elements).
    enum DefaultsFamily : int { kNoFamily, kNotationConnector, kCustomConnector, kElementArrow };
    DefaultsFamily familyOf(const VRObjectRef &object) const;
    // The user-defaults key of the family's stored dictionary; empty for none.
    QString defaultsKeyForFamily(DefaultsFamily family) const;
    void saveDefaultsForContextObject();
    void applyDefaultsToContextObject();
    void applyDefaultsToObject(const VRObjectRef &object);
    void resetDefaultsForCurrentOnlyContextObject();
    void resetDefaultsContextObject();
    QVariantMap defaultsForSkinConnector() const;
    static QVariantMap defaultsForCustomConnector();
    static QVariantMap defaultsForElementArrow();
    // The defaults pop-up of a toolbar view: tag 0 save, 1 reset, 2 reset for the current object
    // only, 3 apply.
    void saveAsDefaults(int tag, QWidget *popUpView) override;
    // Applies a family dictionary (or a style snapshot) to the connector as one undoable step,
    // "Apply defaults"; undo gives it its former style and path back. Only the keys present
    // change the connector; the label keeps whatever the dictionary does not name.
    void applyDefaults(const QVariantMap &dictionary, const VRObjectRef &connector);
    void applyDefaultsToSkinConnector(const QVariantMap &dictionary);
    void applyDefaultsToSimpleConnector(const QVariantMap &dictionary);
    // The snapshot of the context connector: its family's keys, its label and the last-applied
    // settings.
    std::optional<QVariantMap> styleForContextObject() override;
    std::optional<QVariantMap> styleOfObject(const VRObjectRef &object);
    bool copiesStyleOf(const VRObjectRef &object) const override;
    void styleShouldBeAppliedToSelection(const QVariantMap &style);
    void styleShouldBeAppliedNotification(const Notification &notification);
    void saveAsDefaultsNotification(const Notification &notification);
    void applyDefaultsNotification(const Notification &notification);
    void resetDefaultsForCurrentOnlyNotification(const Notification &notification);
    void resetDefaultsNotification(const Notification &notification);
    // New element arrows take the stored element-arrow defaults while QntApplyDefaultsKey is on.
    void applyDefaults(const Notification &notification);
    void applyDefaultsToElementArrow(const VRObjectRef &object);

    // A connector the user drew (kQntDidCreateConnectorNotification): the last-applied skin at
    // once, the stored defaults after the first delay, the selection announced after the second.
    void connectorCreatedNotification(const Notification &notification);
    void applyDefaultsToConnector(const VRObjectRef &connector);
    void postSelectionDidChangeForConnector(const VRObjectRef &connector);
    // The two delays, in seconds (0.5 and 0.6 unless changed).
    void setNewConnectorDelays(double defaults, double selection);

    // Windows and controls (tests and the walk look at them).
    AXAttachedWindow *attachedConnectorStyleWindow() const { return _attachedConnectorStyleWindow; }
    AXAttachedWindow *attachedConnectorSimpleStyleWindow() const
    {
        return _attachedConnectorSimpleStyleWindow;
    }
    AXAttachedWindow *attachedDecoratedSeparatorWindow() const
    {
        return _attachedDecoratedSeparatorWindow;
    }
    AXAttachedWindow *arrowheadMatrixWindow() const { return m_arrowheadMatrixWindow; }
    struct SkinControls {
        QComboBox *strokeDashPopUpButton = nullptr;
        QntButtonCell *startArrowheadPopupButton = nullptr;
        QntButtonCell *endArrowheadPopupButton = nullptr;
        QntDoubleSlider *startArrowheadLengthSlider = nullptr;
        QntTextFieldCell *startArrowheadLengthTextbox = nullptr;
        QLabel *startArrowheadLengthTextboxLabel = nullptr;
        QntDoubleSlider *endArrowheadLengthSlider = nullptr;
        QntTextFieldCell *endArrowheadLengthTextbox = nullptr;
        QLabel *endArrowheadLengthTextboxLabel = nullptr;
        QCheckBox *applyLengthToBothArrowsCheckbox = nullptr;
        QComboBox *connectorTypePopupButton = nullptr;
        QCheckBox *applyColorsToBothArrowsCheckbox = nullptr;
        QntButtonCell *showColorMatrixStartArrowButton = nullptr;
        QntButtonCell *showColorMatrixEndArrowButton = nullptr;
        QntButtonCell *showColorMatrixConnectorButton = nullptr;
    };
    struct ConnectorSimpleStyleControls {
        QntColorWell *colorWell = nullptr;
        QntDoubleSlider *widthSlider = nullptr;
        QntTextFieldCell *widthTextbox = nullptr;
        QLabel *widthLabel = nullptr;
        QCheckBox *shadowCheckbox = nullptr;
        QComboBox *startArrowheadsPopUpButton = nullptr;
        QComboBox *endArrowheadsPopUpButton = nullptr;
        QComboBox *strokeDashPopUpButton = nullptr;
        QList<QntButtonCell *> lineCapSelector;
        QComboBox *connectorTypePopupButton = nullptr;
    };
    struct SeparatorControls {
        QntDoubleSlider *intervalSlider = nullptr;
        QntDoubleSlider *scaleSlider = nullptr;
        QntDoubleSlider *leaderSlider = nullptr;
    };
    const SkinControls &skinControls();
    // An instance inside another panel (a group inspector's thin or thick set) works on that
    // panel's controls, which `view` holds, instead of building its own connector-style view.
    void useSkinControls(QntEscapedView *view, const SkinControls &controls);
    // The line menu, arrowhead picture buttons and colour buttons of the skin, made alike for
    // such a panel.
    static QComboBox *makeSkinDashMenu(QWidget *parent, const QString &name);
    static QntButtonCell *makeArrowheadButton(QWidget *parent, const QString &name,
                                              const QString &toolTip);
    static QntButtonCell *makeSkinColourButton(QWidget *parent, const QString &name,
                                               const QString &toolTip);
    const ConnectorSimpleStyleControls &connectorSimpleStyleControls();
    const SeparatorControls &separatorControls();
    // The element ids offered in the open arrowhead matrix, empty for the "None" cell.
    QStringList arrowheadMatrixIds() const { return m_matrixIds; }

private:
    // The family's built-in look on the current targets, as one undo step of that name.
    void resetToBuiltInLook(const QString &stepName);
    void buildConnectorStyleView();
    void buildConnectorSimpleStyleView();
    void buildDecoratedSeparatorView();
    void populateMatrix(QntButtonMatrix *matrix);
    void showArrowheadMatrix(QntButtonCell *button, bool start);
    QImage arrowheadImage(const QString &arrowId, bool start, qint64 schemeId);
    void showLengths(const QntConnector &connector);
    void enableLengthControls(const QntConnector &connector);
    void setArrowheadLength(double length, bool start);
    void lengthTextboxAction(bool start);
    void skinArrowheadAction(const QString &arrowId, bool start);
    // The connectors of a shaft-menu action: the context one, or by kind in a group.
    VRObjectList connectorsForShaftAction() const;
    // Changes the stroke (or arrow stroke) of each listed connector's shaft style.
    void editShaftStyle(const std::function<bool(VRStyle &)> &change);
    void redisplayToolColumnLater();
    void openToolbar(QntButtonMatrix *sender, QWidget *view, QPointer<AXAttachedWindow> &window,
                     const QString &name, bool makeRoom = false);

    int _connKindToWork = 0;
    VRObjectRef _contextPath;
    QntConnectorTextEditor *mConnectorTextEditor = nullptr;
    std::shared_ptr<VRStyle> mStyle;
    VRStroke *mSelectedRendererRef = nullptr;
    QPointer<QntEscapedView> _viewConnectorStyleHorizontal;
    QPointer<AXAttachedWindow> _attachedConnectorStyleWindow;
    QPointer<QntEscapedView> _viewConnectorSimpleStyleHorizontal;
    QPointer<AXAttachedWindow> _attachedConnectorSimpleStyleWindow;
    QPointer<QntEscapedView> _viewDecoratedSeparatorHorizontal;
    QPointer<AXAttachedWindow> _attachedDecoratedSeparatorWindow;
    QPointer<AXAttachedWindow> m_arrowheadMatrixWindow;
    SkinControls m_skin;
    ConnectorSimpleStyleControls m_connectorSimple;
    SeparatorControls m_separator;
    QStringList m_matrixIds;
    QPointer<QntButtonCell> _lastClickedShowColorMatrixButton;
    // The open popover colours element arrows (the column's colour cell), not a connector.
    bool m_elementArrowMatrix = false;
    bool _partOfGroupModeInspector = false;
    bool m_filling = false;
    std::vector<NotificationToken> m_connectorObservers;
    double m_defaultsDelay = 0.5;
    double m_selectionDelay = 0.6;
};

// User-defaults keys of the stored connector defaults and the keys of their dictionaries.
extern const QString kQntCustomNotationConnector;
extern const QString kQntCustomNotationElementArrow;
// "kQnt%@NotationConnector" with the notation's name.
QString notationConnectorDefaultsKey(const QString &notationName);
extern const QString kQntNotationConnectorAdornmentId;
extern const QString kQntNotationConnectorStartArrowhead;
extern const QString kQntNotationConnectorEndArrowhead;
extern const QString kQntNotationConnectorStartArrowheadColor;
extern const QString kQntNotationConnectorEndArrowheadColor;
extern const QString kQntNotationConnectorColorSchemeId;
extern const QString kQntNotationConnectorBody;
extern const QString kQntNotationConnectorStartArrowheadLength;
extern const QString kQntNotationConnectorEndArrowheadLength;
extern const QString kQntNotationConnectorLine;
extern const QString kQntNotationConnectorWidth;
extern const QString kQntCustomNotationConnectorStartArrowhead;
extern const QString kQntCustomNotationConnectorEndArrowhead;
extern const QString kQntCustomNotationConnectorBody;
extern const QString kQntCustomNotationConnectorColor;
extern const QString kQntCustomNotationConnectorLine;
extern const QString kQntCustomNotationConnectorShadow;
extern const QString kQntCustomNotationConnectorWidth;
extern const QString kQntCustomNotationConnectorCap;
extern const QString kQntNotationConnectorTextFont;
extern const QString kQntNotationConnectorTextFontSize;
extern const QString kQntNotationConnectorTextFontColor;
extern const QString kQntNotationConnectorTextAlignment;
extern const QString kQntNotationConnectorTextLayoutMode;
extern const QString kQntNotationConnectorTextOffsetX;
extern const QString kQntNotationConnectorTextOffsetY;
extern const QString kQntNotationConnectorTextReferencePoint;
extern const QString kQntNotationConnectorTextOffsetForPointForTextLayout;
