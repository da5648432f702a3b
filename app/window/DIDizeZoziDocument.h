#pragma once

#include "app/window/CXAnimatingOutlineViewDelegate.h"
#include "framework/document/VRDrawingDocument.h"
#include "library/QntSequenceDiagramController.h"
#include "library/mermaid/QntMermaidRenderer.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QPainterPath>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CXAnimatingOutlineView;
class CXCollapsibleView;
class CommandsHelpWindowController;
class QntElement;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTimer;
class QHelpEvent;
class SVGKImage;
class VRObjectOwnerLayer;
class OXOverlayController;
class QntDocumentCommands;
class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QScrollArea;
class QSlider;
class QntNotationPalette;
class QSpinBox;
class QSplitter;
class QToolBar;
class QToolButton;
class VKStyleInspector;
class QntGroupModeInspector;
class VRAutomaticLayout;
class VRDrawingTool;
class VRObjectDrawingLayer;
class QVariantAnimation;

// The document and window controller of one drawing: the window with its tool controls,
// zoom, the drawing, the shape-library area, the sequence or Mermaid pane chosen by the
// notation, the message overlay and the inspector column of collapsible sections whose
// collapse state is kept in the user defaults. Changes are counted from the framework's undo
// notifications; the document autosaves 10 seconds after a change.
class DIDizeZoziDocument : public VRDrawingDocument,
                           public CXAnimatingOutlineViewDelegate,
                           public QntSequenceDiagramControllerDelegate
{
    Q_OBJECT
public:
    // One section of the inspector column: the view, its collapse key and the label.
    enum class Section {
        Text,
        Geometry,
        CustomElement,
        CustomConnector,
        NoncustomElement,
        NoncustomConnector,
        Layers,
        ColorScheme,
        Layout,
        Table,
        Style,
        SmartConnectors,
        Sequence
    };
    // Makes the content of a section that a later part of the application fills in (Style,
    // Layers, Color Scheme, the shape library). Null leaves the built-in placeholder.
    using SectionViewFactory = std::function<QWidget *(DIDizeZoziDocument &document)>;

    static constexpr double kInspectorWidth = 300.0;
    static constexpr double kSequencePaneHeight = 250.0;
    static constexpr qint64 kColorsSectionViewID = 345;

    explicit DIDizeZoziDocument(QObject *parent = nullptr);
    ~DIDizeZoziDocument() override;

    // Whether drawings draw with reduced quality while a drag is live; one flag for the
    // whole application, initially off, applied at once to every open drawing document.
    static void setDefaultQualityModulation(bool enabled);
    static bool defaultQualityModulation();
    // Every drawing the document takes on follows the quality flag.
    void setDrawing(std::unique_ptr<VRDrawing> drawing) override;

    // The autosave delay every document window sets (10 s; tests shorten it).
    static void setAutosaveDelayForNewWindows(double seconds);
    static double autosaveDelayForNewWindows();
    static void setSectionViewFactory(Section section, SectionViewFactory factory);
    // The label and collapse key of a section.
    static QString sectionLabel(Section section);
    static QString collapseKey(Section section);
    // The element-matrix width recorded by the last window set-up.
    static double elementMatrixViewWidth();

    QString windowNibName() const { return QStringLiteral("DIDizeZoziDocument"); }
    void makeWindowControllers() override;
    QScrollArea *drawingScrollArea() override;
    // The set-up of the window, once per document.
    void windowControllerDidLoadNib() override;
    QMainWindow *window() const;

    // The inspector column and what it holds.
    CXAnimatingOutlineView *inspectorOutlineView() const { return _inspectorOutlineView; }
    QStringList inspectorSectionLabels() const;
    CXCollapsibleView *sectionForView(Section section) const;
    QWidget *sectionView(Section section) const;
    // The Style section's inspector, built when first needed; null while the section is not
    // there.
    VKStyleInspector *styleInspector();
    // The group inspector whose text and size controls fill the Text and Geometry sections.
    QntGroupModeInspector *groupModeInspector();
    bool isInspectorSwitchedOff() const { return _inspectorSwitchedOff; }
    bool isSequenceViewSwitchedOff() const { return _sequenceViewSwitchedOff; }
    bool isCommandViewSwitchedOff() const { return _commandViewSwitchedOff; }
    QWidget *splitView() const;
    QWidget *sequenceView() const { return _sequenceView; }
    QWidget *inspectorView() const;
    QWidget *libraryView() const;
    // The shape library in the library area; null before the window has loaded.
    QntNotationPalette *notationPalette() const;
    QLabel *infoLabel() const { return _infoLabel; }
    // The menu command that switches the sequence or Mermaid pane; shown only with one.
    QAction *switchSequenceDiagramMenuItem() const { return m_switchSequenceDiagramMenuItem; }
    QSlider *zoomSlider() const { return _zoomSlider; }
    // The tool matrix: one cell per tool, titled by its tool name ("Zoom In" and "Zoom Out"
    // for the zoom tool's two directions); a cell's tool is looked up when the window loads.
    QWidget *toolMatrix() const { return _toolMatrix; }
    // The Undo and Redo cells beside the tool matrix.
    QWidget *undoRedoMatrix() const { return _undoRedoMatrix; }
    QToolButton *toolMatrixCell(const QString &cellTitle) const;
    VRDrawingTool *toolMatrixTool(const QString &cellTitle) const;
    QToolBar *toolbar() const { return _toolbar; }
    QLabel *zoomLabel() const { return _zoomLabel; }
    OXOverlayController *overlayController() const { return _overlayController; }
    // Tools, arrangement, duplication, drawing size, export and import; made on first use.
    QntDocumentCommands *commands();
    bool keepAttachedWindowWhenScrolling() const { return m_keepAttachedWindowWhenScrolling; }
    void setKeepAttachedWindowWhenScrolling(bool keep) { m_keepAttachedWindowWhenScrolling = keep; }
    quint64 zoomValue() const { return m_zoomValue; }
    void setZoomValue(quint64 value) { m_zoomValue = value; }
    // The router settings the Smart Connectors section shows; plain values, set by its controls.
    double shapeBufferDistance() const { return _shapeBufferDistance; }
    void setShapeBufferDistance(double distance) { _shapeBufferDistance = distance; }
    double segmentPenalty() const { return _segmentPenalty; }
    void setSegmentPenalty(double penalty) { _segmentPenalty = penalty; }
    bool nudgeOrthogonalSegments() const { return _nudgeOrthogonalSegments; }
    void setNudgeOrthogonalSegments(bool nudge) { _nudgeOrthogonalSegments = nudge; }
    bool addedElementColorsSection() const { return _addedElementColorsSection; }
    bool addedCustomElementStyleSection() const { return _addedCustomElementStyleSection; }
    double toolbarAndTitleHeight() const { return _toolbarAndTitleHeight; }
    static QStringList toolbarSelectableItemIdentifiers();

    // CXAnimatingOutlineViewDelegate
    double rowSeparation() const override { return 1.0; }
    void outlineViewItemDidExpand(const Notification &notification) override;
    void outlineViewItemDidCollapse(const Notification &notification) override;

    // Notification handlers.
    void selectedShapeInfoDidChange(const Notification &notification);
    void selectedObjectDidChange(const Notification &notification);
    // The colours section shows the group inspector's colour list of `element` when it is a
    // directly drawn element, and hides the list otherwise.
    void showElementColorList(const VRObjectRef &element);
    // The info line shows the size and origin of the layer's selected objects together.
    void showSelectionBounds(VRObjectDrawingLayer &layer);
    void scrollingInProgressNotification();
    void updateZoomSlider(const Notification &notification);
    void undoRedoChangedNotification(const Notification &notification);
    void didUndo(const Notification &notification);
    void updateUndoRedoMatrix();
    // File ▸ Open Recent: the recent documents and Clear Menu.
    void addOpenRecentMenu(QMenu *fileMenu);
    void toolChangedNotification(const Notification &notification);

    // Window events that move the window's contents away from attached windows.
    void windowDidMoveOrResize();

    // Actions.
    void switchInspector();
    void switchSequenceInspector();
    void zoomToPercentageWithTag(int percent);
    void scrollToSelection();
    void selectToolNamed(const QString &name);
    // Rebuilds the shape-library area (filled by the library; here its placeholder).
    void loadNotationElements();
    // Shows a short message over the drawing (radius 4, 200 × 50).
    void showOverlayMessage(const QString &message);

    // The sequence pane (DIDizeZoziDocumentSequence.cpp): the outline's controller, the
    // layout that builds the diagram from it and the layout parameters of the Sequence
    // Diagram section.
    QntSequenceDiagramController *sequenceDiagramController() const { return m_sequenceController; }
    void sequenceLayoutAction();
    int entityWidth() const;
    int entityHeight() const;
    int paddingLeft() const;
    int paddingTop() const;
    int containerMargin() const;
    int containerLedge() const;
    int fontSize() const;
    QString fontName() const;
    void fontFamilyAction(const QString &family);
    void fontSizeTextFieldAction();
    void fontSizeMenuAction();
    void fontSizeMenuItemChanged(QAction *item);
    QMenu *fontSizeMenu() const { return _fontSizeMenu; }
    QLineEdit *fontSizeTextField() const { return _fontSizeTextField; }
    QToolButton *fontSizeMenuButton() const { return _fontSizeMenuButton; }
    QComboBox *fontFamilyPopUp() const { return _fontFamilyPopUp; }
    QLineEdit *sequenceParameterField(const QString &optionKey) const;
    // QntSequenceDiagramControllerDelegate
    void onTreeNodeDeleted(QntSeqTreeNode &node) override;
    void onTableColumnDeleted(const QString &columnIdentifier) override;

    // Layout section (DIDizeZoziDocumentLayout.cpp): each control stores its value in the active
    // layer's layout parameters and lays the layer out; a distance that is not a number above 0
    // (an offset below 0) is refused with a message and the stored value stays.
    void vertexDistanceAction();
    void layerDistanceAction();
    void offsetDistanceAction();
    void edgeRoutingAction();
    void layoutAction();
    QLineEdit *vertexDistanceTextfield() const { return _vertexDistanceTextfield; }
    QLineEdit *layerDistanceTextfield() const { return _layerDistanceTextfield; }
    QLineEdit *layoutOffsetTextfield() const { return _layoutOffsetTextfield; }
    QComboBox *edgeRoutingPopUp() const { return _edgeRoutingType; }
    // Graphs with at least this many elements are laid out on a worker thread behind a
    // cancellable progress dialog (tests lower it).
    static void setLayoutProgressThreshold(int nodes);
    static int layoutProgressThreshold();
    bool isLayoutRunning() const { return m_layoutRunning; }
    // Worker threads still computing a layout, cancelled ones included.
    static int runningLayoutComputations();
    // Smart Connectors section: the document's value goes to the router, then to the drawing.
    void shapeBufferDistanceAction();
    void segmentPenaltyAction();
    void nudgeOrthogonalSegmentsAction();
    QDoubleSpinBox *bufferDistanceField() const { return m_bufferDistanceField; }
    QDoubleSpinBox *segmentPenaltyField() const { return m_segmentPenaltyField; }
    QCheckBox *nudgeCheckBox() const { return m_nudgeCheckBox; }
    // Diagnostic: the shortest routes through the active layer's objects by nearest neighbour
    // (magenta) and simulated annealing (red), left in the layer as paths without undo; the
    // previous ones go first. Answers the two lengths, nearest neighbour first.
    QPair<double, double> computeShortestRoute();
    static const QString kShortestRouteKey;

    // Timeline layout (DIDizeZoziDocumentTimeline.cpp): the active layer's objects with a "year"
    // go to the grid column of their year, stacked upward without overlaps, each joined to the
    // axis by one gray leader line; one undo step "Timeline Layout". The axis stays where the
    // drawing's first run put it, so running it again changes nothing.
    void timelineAction();
    // False (with a message) when nothing was laid out.
    bool performTimelineLayoutWithLayer(VRObjectDrawingLayer *layer, bool showAsYouGo);
    static VRStyleRef leaderLineStyle();
    // Moves to a, runs vertically to b's height, then horizontally to b.
    static QPainterPath leaderLinePathFromPoint(QPointF a, QPointF b);
    static VRObjectRef leaderLineFromPoint(QPointF a, QPointF b);
    // Drawing metadata: the axis of the drawing's timeline; object metadata: a leader line.
    static const QString kTimelineBaseLineKey;
    static const QString kTimelineLeaderLineKey;

    // Section builders.
    void addStyleInspectorView();
    void addSmartConnectoresView();
    void addSeqView();
    void insertObjectMenu(VRDrawingView *view);
    void setupLayoutView();
    void setupTableView();

    // ---- Mermaid commands pane (shown for the "Command Driven Style" notation) ----
    QPlainTextEdit *commandEditor() const { return m_commandEditor; }
    QPlainTextEdit *stylesheetEditor() const { return m_stylesheetEditor; }
    QWidget *commandView() const { return _commandView; }
    QTabBar *commandsOrStyleControl() const { return m_commandsOrStyleControl; }
    QPushButton *buildButton() const { return m_buildButton; }
    QPushButton *restoreStylesheetButton() const { return m_restoreStylesheetButton; }
    QPushButton *helpButton() const { return m_helpButton; }
    // The renderer of Mermaid text; made on the first build, never with the document.
    QntMermaidRenderer *webView() const { return m_webView.get(); }
    CommandsHelpWindowController *commandsHelpWindowController() const;
    void setCommandsHelpWindowController(CommandsHelpWindowController *controller);
    // Build: stores the command text in the drawing and renders it; the drawing changes when
    // the picture arrives (webView with the result).
    void reload();
    // The rendered picture arrives: it replaces the objects of the previous build as one undo
    // step "Build Diagram", or a message says why nothing changed.
    void webView(const QntMermaidRenderer::Result &result);
    // The objects of a rendered picture in a container of no drawing, connectors attached; a
    // picture wrapped in one "rootGroup" group gives the group's members.
    static std::unique_ptr<VRObjectOwnerLayer> buildTree(const SVGKImage &image);
    // Puts the tree's objects, marked "GENERATED", into the drawing's active object layer in
    // place of the previous build's, as one undo step "Build Diagram"; the tree is left empty.
    // A page too small for the build grows in the same step to hold it, with the build's margin
    // on the far sides. Answers the bounds of the built objects.
    static QRectF replaceBuild(VRDrawing &drawing, VRObjectOwnerLayer &tree);
    // Brings the built objects, within the bounds, into sight (fitted when larger than the
    // window), unless the user moved the view since the last build and some of them show there.
    void revealBuild(const QRectF &bounds);
    // Brings a new result into sight once the view has taken the drawing's new size.
    void revealWhenLaidOut(const QRectF &bounds, bool build);
    // Attaches each connector to the elements its "from" and "to" name and sends subgraph
    // boxes behind everything else.
    static void connectElements(VRObjectOwnerLayer &layer);
    // The first element whose "name" or "uid" is the name; null for an empty name.
    static std::shared_ptr<QntElement> findObjectWithName(const QString &name,
                                                          const VRObjectOwnerLayer &layer);
    // An edit in one of the two editors. The command text reaches the drawing at once, so
    // autosave and Save keep it built or not; a burst of edits, until a pause of
    // kCommandEditingPauseMs, another step or a build, is one undo step "Edit Mermaid Text".
    void textDidChange(QObject *editor);
    static constexpr int kCommandEditingPauseMs = 1000;
    // Where Mermaid found the text's error: the line (1 for the first) is marked in the command
    // editor, with the message as its tooltip, until the text changes; line 0 when none is.
    int commandErrorLine() const { return m_commandError.line; }
    QString commandErrorToolTip() const;
    // Segment 0 shows the command editor, any other the stylesheet editor and Restore.
    void commandsOrStyleAction(int segment);
    void loadCSSFromFile();
    void restoreDefaultCSSAction();
    // A short message over the commands pane; a second call while one shows ends it.
    void showMessageInOverlay(const QString &message);
    void commandsHelp();
    void openCommandsHelp();
    // Where the objects of a build start in the drawing.
    static constexpr double kBuildMargin = 36.0;

    // Duration of the column and pane switches (tests use 0 for immediate).
    static void setSwitchAnimationScale(double scale);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    QWidget *makeSequenceSectionView();
    QWidget *makeCommandView();
    void setUpCommandView();
    QWidget *makeSectionView(Section section);
    QWidget *selectionColourPicker(QWidget *parent, bool fill);
    QWidget *selectionSchemePicker(QWidget *parent);
    QWidget *placeholderSection(const QString &title, const QString &text, int height);
    CXCollapsibleView *addSection(Section section, int row = -1);
    bool isCollapsed(Section section) const;
    bool isCustomizableNotation() const;
    QString notationName() const;
    void layoutContent();
    void observeNotifications();
    void postCloseAttachedAndHideInfo();
    // Places the window so that its frame fills the first screen's available area.
    void fitWindowToAvailableArea();
    void storeSectionCollapse(const Notification &notification, bool collapsed);
    void updateTitle();
    void updateToolbarSelection();
    void prepareToolMatrix();
    // Settles the router's shape buffer distance, segment penalty and nudging between the
    // drawing's stored values and the router, and keeps the settled values.
    void mirrorRouterSettings();
    void showRouterSettings();
    // Layout section plumbing (DIDizeZoziDocumentLayout.cpp).
    void connectLayoutControls();
    void addLayoutMenuItems(QMenu *menu);
    // A message of the layouts over the drawing, as wide as its text needs.
    void showLayoutMessage(const QString &message);
    static constexpr int kLayoutMessageDuration = 2500; // milliseconds
    // Fills the Layout section from the active layer's parameters (the defaults where unset).
    void showLayoutParameters();
    void connectSmartConnectorsControls();
    bool storeLayoutField(QLineEdit *field, const QString &key, bool zeroAllowed);
    void storeEdgeRouting();
    void layOutActiveLayer();
    void runLayoutWithProgress(std::shared_ptr<VRAutomaticLayout> layout);
    void finishLayout(VRAutomaticLayout &layout);
    static constexpr int kRouterSegmentPenalty = 0;
    static constexpr int kRouterShapeBufferDistance = 6;
    static constexpr int kRouterNudgeOrthogonalSegments = 0;

    QPointer<QMainWindow> m_window;
    QWidget *_contentView = nullptr;
    QSplitter *_splitView = nullptr;
    QScrollArea *_scrollView = nullptr;
    QScrollArea *_inspectorView = nullptr;
    CXAnimatingOutlineView *_inspectorOutlineView = nullptr;
    QWidget *_sequenceView = nullptr;
    QWidget *_commandView = nullptr;
    QWidget *_sequenceScrollView = nullptr;
    QScrollArea *_elementMatrixScrollView = nullptr;
    QToolBar *_toolbar = nullptr;
    QWidget *_toolMatrix = nullptr;
    QWidget *_undoRedoMatrix = nullptr;
    QHash<QToolButton *, VRDrawingTool *> m_toolMatrixTools;
    QActionGroup *m_toolActions = nullptr;
    QAction *_inspectorSwitchToolbarItem = nullptr;
    QAction *m_switchSequenceDiagramMenuItem = nullptr;
    QLabel *_infoLabel = nullptr;
    QSlider *_zoomSlider = nullptr;
    QLabel *_zoomLabel = nullptr;
    QComboBox *_edgeRoutingType = nullptr;
    QLineEdit *_layoutOffsetTextfield = nullptr;
    QLineEdit *_layerDistanceTextfield = nullptr;
    QLineEdit *_vertexDistanceTextfield = nullptr;
    QDoubleSpinBox *m_bufferDistanceField = nullptr;
    QDoubleSpinBox *m_segmentPenaltyField = nullptr;
    QCheckBox *m_nudgeCheckBox = nullptr;
    QntSequenceDiagramController *m_sequenceController = nullptr;
    QHash<QString, QLineEdit *> m_sequenceParameterFields;
    QLineEdit *_fontSizeTextField = nullptr;
    QComboBox *_fontFamilyPopUp = nullptr;
    QToolButton *_fontSizeMenuButton = nullptr;
    QMenu *_fontSizeMenu = nullptr;
    std::map<Section, QPointer<QWidget>> m_sectionViews;
    // The group inspector's colour list inside the colours section, shown for a single directly
    // drawn element.
    QPointer<QWidget> m_colorListHolder;
    QPointer<CXCollapsibleView> _insertedColorsSection;
    QPointer<CXCollapsibleView> _insertedCustomElementStyleSection;
    bool _addedElementColorsSection = false;
    bool _addedCustomElementStyleSection = false;
    bool _inspectorSwitchedOff = false;
    bool _sequenceViewSwitchedOff = true;
    bool _commandViewSwitchedOff = true;
    bool m_keepAttachedWindowWhenScrolling = false;
    quint64 m_zoomValue = 0;
    double _toolbarAndTitleHeight = 0.0;
    double _shapeBufferDistance = 0.0;
    double _segmentPenalty = 0.0;
    bool _nudgeOrthogonalSegments = false;
    bool m_layoutRunning = false;
    // Where the last build left the view (visible rectangle, scale): a view moved since then
    // was placed by the user.
    std::optional<std::pair<QRectF, double>> m_revealedPlace;
    // The width the inspector column has now; the switch animates it between 0 and 300.
    double m_inspectorWidth = kInspectorWidth;
    double m_sequenceHeight = 0.0;
    QPointer<QVariantAnimation> m_switchAnimation;
    OXOverlayController *_overlayController = nullptr;
    QntDocumentCommands *m_commands = nullptr;
    std::vector<NotificationToken> m_observers;
    bool m_windowLoaded = false;
    // The first fit knew no frame; it is made again once the frame is known.
    bool m_fitPending = false;
    QPointer<QntNotationPalette> m_notationPalette;
    QPointer<QntGroupModeInspector> _groupModeInspector;
    QPlainTextEdit *m_commandEditor = nullptr;
    QPlainTextEdit *m_stylesheetEditor = nullptr;
    QTabBar *m_commandsOrStyleControl = nullptr;
    QPushButton *m_buildButton = nullptr;
    QPushButton *m_restoreStylesheetButton = nullptr;
    QPushButton *m_helpButton = nullptr;
    std::unique_ptr<QntMermaidRenderer> m_webView;
    QPointer<CommandsHelpWindowController> m_commandsHelpWindowController;
    // Set while the stylesheet editor is filled from the file, so the fill writes nothing.
    bool m_loadingStylesheet = false;
    // Runs while a burst of edits of the command text goes on.
    QTimer *m_commandEditing = nullptr;
    // Set while the command editor shows the drawing's text after an undo or redo.
    bool m_showingCommandText = false;
    struct CommandError {
        int line = 0;
        int column = 0;
        QString message;
    } m_commandError;
    void commandTextDidChange();
    void setCommandText(const QString &text, bool newUndoStep);
    void showCommandText();
    void markCommandError(const QntMermaidRenderer::Result &result);
    void clearCommandError();
    bool showCommandErrorToolTip(QHelpEvent *event);

    static bool s_defaultQualityModulation;
};
