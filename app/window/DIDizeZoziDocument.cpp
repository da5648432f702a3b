#include "app/window/DIDizeZoziDocument.h"

#include "app/panels/VKLayersPaletteController.h"
#include "style/ColorSchemeController.h"
#include "style/QntColorPicker.h"
#include "style/QntGradientView.h"
#include "style/VKStyleInspector.h"
#include "app/launch/QntWindowAnimation.h"
#include "app/launch/VOReruRerAppDelegate.h"

#include "app/window/QntDocumentCommands.h"

#include "app/window/CXAnimatingOutlineView.h"
#include "app/window/CXCollapsibleView.h"
#include "app/window/CXDisclosureBar.h"
#include "app/window/OXOverlayController.h"
#include "app/common/QntConstants.h"
#include "app/window/QntDocumentConstants.h"
#include "inspectors/QntGroupModeInspector.h"
#include "app/common/ToolbarIcons.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntText.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "library/QntNotationPalette.h"
#include "platform/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QHelpEvent>
#include <QButtonGroup>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWindow>

#include <functional>
#include <map>

bool DIDizeZoziDocument::s_defaultQualityModulation = false;

namespace {

double g_autosaveDelay = 10.0;
double g_switchAnimationScale = 1.0;
double g_elementMatrixViewWidth = 0.0;

std::map<DIDizeZoziDocument::Section, DIDizeZoziDocument::SectionViewFactory> &sectionFactories()
{
    static std::map<DIDizeZoziDocument::Section, DIDizeZoziDocument::SectionViewFactory> factories;
    return factories;
}

// How a toolbar tool item asks for its tool.
enum class ToolAction { Select, StickySpot, Zoom, ZoomOut, Pan, Table, Connector };

struct ToolItem {
    const char *identifier;
    const char *title;
    const char *icon;
    const char *toolName;
    ToolAction action;
};

// The toolbar's tools, by the framework's tool names.
constexpr ToolItem kToolItems[] = {
    {"SelectToolbarItemId", "Select", "Select", "Select", ToolAction::Select},
    {"MoveStickySpotToolbarItemId", "Sticky Spot", "Sticky Spot", "Select Sticky Spot",
     ToolAction::StickySpot},
    {"TextToolbarItemId", "Text", "Text", "Text", ToolAction::Select},
    {"RectangleToolbarItemId", "Rectangle", "Rectangle", "Rectangle", ToolAction::Select},
    {"OvalToolbarItemId", "Oval", "Oval", "Oval", ToolAction::Select},
    {"LineToolbarItemId", "Line", "Line", "Line", ToolAction::Select},
    {"TableToolbarItemId", "Table", "Table", "e100TABLE", ToolAction::Table},
    {"ConnectorToolItemId", "Connector", "Connector", "Connector", ToolAction::Connector},
    {"ConnectorDoubleToolItemId", "Double Connector", "Double Connector", "Double Text Connector",
     ToolAction::Connector},
    {"PanToolbarItemId", "Pan", "Pan", "Pan", ToolAction::Pan},
    {"ZoomToolbarItemId", "Zoom", "Zoom", "Zoom", ToolAction::Zoom},
    {"ZoomOutToolbarItemId", "Zoom Out", "Zoom Out", "Zoom Out", ToolAction::ZoomOut},
};

struct MatrixCell {
    const char *title; // the tool name, or "Zoom In" / "Zoom Out"
    const char *label;
};

// The tool matrix under the drawing.
constexpr MatrixCell kToolMatrixCells[] = {
    {"Select", "Select"},   {"Select Sticky Spot", "Spots"}, {"Pan", "Pan"},
    {"Zoom In", "Zoom In"}, {"Zoom Out", "Zoom Out"},        {"Style Copy Tool", "Copy Style"},
};

const char *const kCellTitleProperty = "cellTitle";

QLabel *captionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("QLabel { color: #444444; }"));
    return label;
}

// Calls `shown` once, as soon as any part of a widget comes into view: when it is shown, or
// when it, one of its ancestors or the scroll area's viewport around it moves or changes size.
// It acts while the move is handled, before the widget is painted.
class FirstSightWatcher : public QObject
{
public:
    FirstSightWatcher(QWidget *widget, std::function<void()> shown)
        : QObject(widget)
        , m_widget(widget)
        , m_shown(std::move(shown))
    {
        for (QWidget *w = widget; w; w = w->parentWidget())
            w->installEventFilter(this);
    }

    void check()
    {
        if (m_done || !m_widget->isVisible() || m_widget->visibleRegion().isEmpty())
            return;
        m_done = true;
        for (QWidget *w = m_widget; w; w = w->parentWidget())
            w->removeEventFilter(this);
        m_shown();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize: check(); break;
        default: break;
        }
        return false;
    }

private:
    QWidget *m_widget;
    std::function<void()> m_shown;
    bool m_done = false;
};

} // namespace

DIDizeZoziDocument::DIDizeZoziDocument(QObject *parent)
    : VRDrawingDocument(parent)
{
    drawing()->setDynamicQualityModulationEnabled(s_defaultQualityModulation);
}

void DIDizeZoziDocument::setDrawing(std::unique_ptr<VRDrawing> drawing)
{
    VRDrawingDocument::setDrawing(std::move(drawing));
    this->drawing()->setDynamicQualityModulationEnabled(s_defaultQualityModulation);
    if (m_windowLoaded) {
        // The new drawing's router takes its stored settings as in a new window.
        _shapeBufferDistance = 0.0;
        _segmentPenalty = 0.0;
        mirrorRouterSettings();
        showRouterSettings();
        // The sequence outline shows the outline the new drawing keeps.
        if (m_sequenceController)
            m_sequenceController->setupWithDrawing(this->drawing());
        showLayoutParameters();
    }
}

DIDizeZoziDocument::~DIDizeZoziDocument()
{
    // Observations end with the document.
    m_observers.clear();
    // The outline's undo steps name the controller; both go before the drawing does.
    delete m_sequenceController;
    m_sequenceController = nullptr;
    if (_inspectorOutlineView)
        _inspectorOutlineView->setDelegate(nullptr);
    // The window's children die one by one inside the window's destructor and still send events
    // (resizes, child removals); this object must not hear them once its members are gone.
    // The content and inspector views live inside the window, so they exist only while it does.
    if (m_window) {
        m_window->removeEventFilter(this);
        if (_contentView)
            _contentView->removeEventFilter(this);
        if (_inspectorView)
            _inspectorView->viewport()->removeEventFilter(this);
    }
    if (!QCoreApplication::closingDown())
        delete m_window;
}

void DIDizeZoziDocument::setDefaultQualityModulation(bool enabled)
{
    s_defaultQualityModulation = enabled;
    for (Document *document : DocumentController::sharedDocumentController().documents()) {
        if (auto *drawingDocument = qobject_cast<VRDrawingDocument *>(document))
            drawingDocument->drawing()->setDynamicQualityModulationEnabled(enabled);
    }
}

bool DIDizeZoziDocument::defaultQualityModulation()
{
    return s_defaultQualityModulation;
}

void DIDizeZoziDocument::setAutosaveDelayForNewWindows(double seconds)
{
    g_autosaveDelay = seconds;
}

double DIDizeZoziDocument::autosaveDelayForNewWindows()
{
    return g_autosaveDelay;
}

void DIDizeZoziDocument::setSwitchAnimationScale(double scale)
{
    g_switchAnimationScale = std::max(0.0, scale);
}

void DIDizeZoziDocument::setSectionViewFactory(Section section, SectionViewFactory factory)
{
    sectionFactories()[section] = std::move(factory);
}

double DIDizeZoziDocument::elementMatrixViewWidth()
{
    return g_elementMatrixViewWidth;
}

QStringList DIDizeZoziDocument::toolbarSelectableItemIdentifiers()
{
    return {QStringLiteral("InspectorToolbarItem"), QStringLiteral("InspectorOffToolbarItem")};
}

QString DIDizeZoziDocument::sectionLabel(Section section)
{
    switch (section) {
    case Section::Text: return QStringLiteral("Text");
    case Section::Geometry: return QStringLiteral("Geometry");
    case Section::CustomElement:
    case Section::NoncustomElement: return QStringLiteral("Element");
    case Section::CustomConnector:
    case Section::NoncustomConnector: return QStringLiteral("Connector");
    case Section::Layers: return QStringLiteral("Layers");
    case Section::ColorScheme: return QStringLiteral("Color Scheme");
    case Section::Layout: return QStringLiteral("Layout");
    case Section::Table: return QStringLiteral("Table");
    case Section::Style: return QStringLiteral("Style");
    case Section::SmartConnectors: return QStringLiteral("Smart Connectors");
    case Section::Sequence: return QStringLiteral("Sequence Diagram");
    }
    return {};
}

QString DIDizeZoziDocument::collapseKey(Section section)
{
    switch (section) {
    case Section::Text: return kQntElementTextViewCollapsed;
    case Section::Geometry: return kQntGeometryViewCollapsed;
    case Section::CustomElement: return kQntCustomElementStyleViewCollapsed;
    case Section::CustomConnector: return kQntCustomConnectorStyleViewCollapsed;
    case Section::NoncustomElement: return kQntNoncustomElementStyleViewCollapsed;
    case Section::NoncustomConnector: return kQntNoncustomConnectorStyleViewCollapsed;
    case Section::Layers: return kQntLayersViewCollapsed;
    case Section::ColorScheme: return kQntColorSchemeViewCollapsed;
    case Section::Layout: return kQntLayoutViewCollapsed;
    case Section::Table: return kQntTableViewCollapsed;
    case Section::Style: return kQntStyleViewCollapsed;
    case Section::SmartConnectors: return kQntSmartConnectorsViewCollapsed;
    case Section::Sequence: return kQntSeqViewCollapsed;
    }
    return {};
}

void DIDizeZoziDocument::makeWindowControllers()
{
    if (m_window)
        return;
    buildWindow();
    addWindow(m_window);
    windowControllerDidLoadNib();
    updateTitle();
}

QScrollArea *DIDizeZoziDocument::drawingScrollArea()
{
    return _scrollView;
}

QWidget *DIDizeZoziDocument::inspectorView() const
{
    return _inspectorView;
}

QMainWindow *DIDizeZoziDocument::window() const
{
    return m_window;
}

QWidget *DIDizeZoziDocument::splitView() const
{
    return _splitView;
}

QWidget *DIDizeZoziDocument::libraryView() const
{
    return _elementMatrixScrollView;
}

QntDocumentCommands *DIDizeZoziDocument::commands()
{
    if (!m_commands) {
        m_commands = new QntDocumentCommands(*this, this);
        // A stencil imported into this drawing shows up in its shape library at once.
        connect(m_commands, &QntDocumentCommands::notationElementsImported, this,
                [this] { loadNotationElements(); });
    }
    return m_commands;
}

void DIDizeZoziDocument::addOpenRecentMenu(QMenu *fileMenu)
{
    QMenu *recent = fileMenu->addMenu(tr("Open &Recent"));
    recent->setObjectName(QStringLiteral("openRecentMenu"));
    // Filled as it opens, newest first, from the list the document controller keeps.
    const auto fill = [this, recent] {
        recent->clear();
        DocumentController &controller = DocumentController::sharedDocumentController();
        const QStringList paths = controller.recentDocumentURLs();
        for (const QString &path : paths) {
            QAction *item = recent->addAction(QFileInfo(path).fileName());
            item->setData(path);
            item->setToolTip(path);
            connect(item, &QAction::triggered, this, [this, path] {
                DocumentController &controller = DocumentController::sharedDocumentController();
                QString error;
                if (!controller.openDocumentWithContentsOfURL(path, true, &error))
                    controller.presentError(error, m_window);
            });
        }
        if (!paths.isEmpty())
            recent->addSeparator();
        QAction *clear = recent->addAction(tr("Clear Menu"), this, [] {
            DocumentController::sharedDocumentController().clearRecentDocuments();
        });
        clear->setObjectName(QStringLiteral("clearRecentMenuAction"));
        clear->setEnabled(!paths.isEmpty());
    };
    recent->setToolTipsVisible(true);
    connect(recent, &QMenu::aboutToShow, this, fill);
    fill();
}

void DIDizeZoziDocument::buildWindow()
{
    auto *window = new QMainWindow;
    window->setObjectName(windowNibName());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(1200, 800);

    // Menus: the commands of this window.
    QMenu *fileMenu = window->menuBar()->addMenu(tr("&File"));
    QAction *newAction = fileMenu->addAction(
        tr("&New…"), this, [] { DocumentController::sharedDocumentController().newDocument(); });
    newAction->setShortcut(QKeySequence::New);
    QAction *openAction = fileMenu->addAction(tr("&Open…"), this, [this] {
        DocumentController::sharedDocumentController().openDocument(m_window);
    });
    openAction->setShortcut(QKeySequence::Open);
    addOpenRecentMenu(fileMenu);
    fileMenu->addSeparator();
    QAction *saveAction = fileMenu->addAction(tr("&Save"), this, [this] { save(m_window); });
    saveAction->setObjectName(QStringLiteral("saveAction"));
    saveAction->setShortcut(QKeySequence::Save);
    QAction *saveAsAction =
        fileMenu->addAction(tr("Save &As…"), this, [this] { saveAs(m_window); });
    saveAsAction->setObjectName(QStringLiteral("saveAsAction"));
    // Spelled out: the generic desktop theme binds no key to the standard Save As.
    saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    fileMenu->addSeparator();
    QAction *closeAction = fileMenu->addAction(tr("&Close"), this, [this] {
        if (m_window)
            m_window->close();
    });
    closeAction->setObjectName(QStringLiteral("closeAction"));
    closeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QAction *quitAction = fileMenu->addAction(tr("&Quit Quintora"), this, [] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            delegate->terminate();
    });
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setMenuRole(QAction::QuitRole);
    QMenu *editMenu = window->menuBar()->addMenu(tr("&Edit"));
    editMenu->setObjectName(QStringLiteral("editMenu"));
    using Commands = QntDocumentCommands;
    Commands::addDocumentAction(editMenu, *this, tr("&Undo"), "undo",
                                QKeySequence::keyBindings(QKeySequence::Undo));
    Commands::addDocumentAction(editMenu, *this, tr("&Redo"), "redo",
                                QKeySequence::keyBindings(QKeySequence::Redo));
    editMenu->addSeparator();
    Commands::addDocumentAction(editMenu, *this, tr("Cu&t"), "cut",
                                QKeySequence::keyBindings(QKeySequence::Cut));
    Commands::addDocumentAction(editMenu, *this, tr("&Copy"), "copy",
                                QKeySequence::keyBindings(QKeySequence::Copy));
    Commands::addDocumentAction(editMenu, *this, tr("&Paste"), "paste",
                                QKeySequence::keyBindings(QKeySequence::Paste));
    Commands::addDocumentAction(editMenu, *this, tr("&Duplicate"), "duplicate",
                                {QKeySequence(Qt::CTRL | Qt::Key_D)});
    Commands::addDocumentAction(editMenu, *this, tr("&Delete"), "deleteSelection",
                                {QKeySequence(Qt::Key_Delete)});
    editMenu->addSeparator();
    Commands::addDocumentAction(editMenu, *this, tr("Select &All"), "selectAll",
                                QKeySequence::keyBindings(QKeySequence::SelectAll));
    Commands::validateItemsWhenShown(editMenu, *this);
    QMenu *viewMenu = window->menuBar()->addMenu(tr("&View"));
    viewMenu->setObjectName(QStringLiteral("viewMenu"));
    Commands::addDocumentAction(
        viewMenu, *this, tr("Zoom &In"), "zoomIn",
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    Commands::addDocumentAction(viewMenu, *this, tr("Zoom &Out"), "zoomOut",
                                {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    Commands::addDocumentAction(viewMenu, *this, tr("Actual &Size"), "zoomToActualSize",
                                {QKeySequence(Qt::CTRL | Qt::Key_0)});
    Commands::addDocumentAction(viewMenu, *this, tr("Zoom to &Fit"), "zoomToFit",
                                {QKeySequence(Qt::CTRL | Qt::Key_1)});
    viewMenu->addSeparator();
    viewMenu->addAction(tr("Show/Hide &Inspector"), this, &DIDizeZoziDocument::switchInspector);
    m_switchSequenceDiagramMenuItem = viewMenu->addAction(
        tr("Sequence Diagram"), this, &DIDizeZoziDocument::switchSequenceInspector);
    m_switchSequenceDiagramMenuItem->setObjectName(QStringLiteral("switchSequenceDiagramMenuItem"));
    m_switchSequenceDiagramMenuItem->setVisible(false);
    viewMenu->addAction(tr("Scroll to &Selection"), this, &DIDizeZoziDocument::scrollToSelection);
    commands()->addMenus(window->menuBar());
    addLayoutMenuItems(window->menuBar()->findChild<QMenu *>(QStringLiteral("arrangeMenu")));
    if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
        delegate->installApplicationMenus(window->menuBar());
    // Quit ends the File menu, below the commands the other parts add to it.
    fileMenu->removeAction(quitAction);
    fileMenu->addSeparator();
    fileMenu->addAction(quitAction);

    // Toolbar: the tools, then the inspector switch on the right.
    _toolbar = window->addToolBar(tr("Tools"));
    _toolbar->setObjectName(QStringLiteral("toolbar"));
    _toolbar->setMovable(false);
    _toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    _toolbar->setIconSize(QSize(20, 20));
    m_toolActions = new QActionGroup(window);
    m_toolActions->setExclusive(true);
    for (const ToolItem &item : kToolItems) {
        QAction *action =
            _toolbar->addAction(ToolbarIcons::icon(QString::fromLatin1(item.icon)), tr(item.title));
        action->setObjectName(QString::fromLatin1(item.identifier));
        action->setData(QString::fromLatin1(item.toolName));
        action->setCheckable(true);
        m_toolActions->addAction(action);
        const QString toolName = QString::fromLatin1(item.toolName);
        const QString identifier = QString::fromLatin1(item.identifier);
        const ToolAction kind = item.action;
        connect(action, &QAction::triggered, this, [this, action, toolName, identifier, kind] {
            QntDocumentCommands *c = commands();
            switch (kind) {
            case ToolAction::Select: c->selectToolAction(toolName, action); break;
            case ToolAction::StickySpot: c->moveStickySpotToolAction(action); break;
            case ToolAction::Zoom: c->zoomToolAction(action); break;
            case ToolAction::ZoomOut:
                c->toolButtonMatrixAction(QStringLiteral("Zoom Out"),
                                          VRDrawingTool::drawingToolWithName(toolName), action);
                break;
            case ToolAction::Pan: c->panToolAction(toolName, action); break;
            case ToolAction::Table: c->tableToolAction(action); break;
            case ToolAction::Connector: c->connectorToolAction(identifier, action); break;
            }
            updateToolbarSelection();
        });
    }
    m_toolActions->actions().first()->setChecked(true);
    auto *spacer = new QWidget(_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    _toolbar->addWidget(spacer);
    _inspectorSwitchToolbarItem =
        _toolbar->addAction(ToolbarIcons::icon(QStringLiteral("Inspector")), tr("Inspector"));
    _inspectorSwitchToolbarItem->setObjectName(QStringLiteral("InspectorToolbarItem"));
    _inspectorSwitchToolbarItem->setCheckable(true);
    _inspectorSwitchToolbarItem->setChecked(true);
    connect(_inspectorSwitchToolbarItem, &QAction::triggered, this,
            &DIDizeZoziDocument::switchInspector);

    // Content: the drawing side (library + drawing), the sequence pane below it and the
    // inspector column on the right; laid out by hand so the switches can slide them.
    _contentView = new QWidget(window);
    _contentView->setObjectName(QStringLiteral("contentView"));
    _splitView = new QSplitter(Qt::Horizontal, _contentView);
    _splitView->setObjectName(QStringLiteral("splitView"));
    _splitView->setChildrenCollapsible(false);
    _elementMatrixScrollView = new QScrollArea(_splitView);
    _elementMatrixScrollView->setObjectName(QStringLiteral("elementMatrixScrollView"));
    _elementMatrixScrollView->setMinimumWidth(180);
    _scrollView = new QScrollArea(_splitView);
    _scrollView->setObjectName(QStringLiteral("scrollView"));
    _scrollView->setAlignment(Qt::AlignCenter);
    _scrollView->setBackgroundRole(QPalette::Dark);
    _splitView->addWidget(_elementMatrixScrollView);
    _splitView->addWidget(_scrollView);
    _splitView->setStretchFactor(0, 0);
    _splitView->setStretchFactor(1, 1);
    _splitView->setSizes({210, 700});

    _sequenceView = new QWidget(_contentView);
    _sequenceView->setObjectName(QStringLiteral("sequenceView"));
    auto *sequenceLayout = new QVBoxLayout(_sequenceView);
    sequenceLayout->setContentsMargins(6, 6, 6, 6);
    _commandView = makeCommandView();
    _commandView->setParent(_sequenceView);
    _commandView->setObjectName(QStringLiteral("commandView"));
    m_sequenceController = new QntSequenceDiagramController(this);
    _sequenceScrollView = m_sequenceController->createPane(_sequenceView);
    connect(m_sequenceController, &QntSequenceDiagramController::layoutRequested, this,
            &DIDizeZoziDocument::sequenceLayoutAction);
    _sequenceScrollView->setObjectName(QStringLiteral("sequenceScrollView"));
    sequenceLayout->addWidget(_commandView);
    sequenceLayout->addWidget(_sequenceScrollView);
    _sequenceView->hide();

    _inspectorView = new QScrollArea(_contentView);
    _inspectorView->setObjectName(QStringLiteral("inspectorView"));
    _inspectorView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _inspectorView->setFrameShape(QFrame::NoFrame);
    _inspectorView->setBackgroundRole(QPalette::Window);
    _inspectorView->viewport()->installEventFilter(this);
    _contentView->installEventFilter(this);
    window->setCentralWidget(_contentView);

    // Status line: the selection's size and position, and the zoom.
    _infoLabel = new QLabel(window);
    _infoLabel->setObjectName(QStringLiteral("infoLabel"));
    _infoLabel->setMinimumWidth(300);
    _infoLabel->setToolTip(
        tr("Width and height of the selection, and X0, Y0: its top left corner"));
    window->statusBar()->addWidget(_infoLabel, 1);
    _zoomSlider = new QSlider(Qt::Horizontal, window);
    _zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    _zoomSlider->setRange(10, 400);
    _zoomSlider->setFixedWidth(160);
    _zoomLabel = new QLabel(window);
    _zoomLabel->setObjectName(QStringLiteral("zoomLabel"));
    _zoomLabel->setMinimumWidth(56);
    _toolMatrix = new QWidget(window);
    _toolMatrix->setObjectName(QStringLiteral("toolMatrix"));
    auto *matrixLayout = new QHBoxLayout(_toolMatrix);
    matrixLayout->setContentsMargins(0, 0, 0, 0);
    matrixLayout->setSpacing(2);
    auto *cells = new QButtonGroup(_toolMatrix);
    cells->setExclusive(true);
    for (const MatrixCell &cell : kToolMatrixCells) {
        auto *button = new QToolButton(_toolMatrix);
        button->setText(tr(cell.label));
        button->setToolTip(QString::fromLatin1(cell.title));
        button->setProperty(kCellTitleProperty, QString::fromLatin1(cell.title));
        button->setCheckable(true);
        button->setAutoRaise(true);
        cells->addButton(button);
        matrixLayout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, button] {
            commands()->toolButtonMatrixAction(button->property(kCellTitleProperty).toString(),
                                               m_toolMatrixTools.value(button), button);
            updateToolbarSelection();
        });
    }
    window->statusBar()->addPermanentWidget(_toolMatrix);
    // Undo and Redo beside the tools, each on while there is a step to take.
    _undoRedoMatrix = new QWidget(window);
    _undoRedoMatrix->setObjectName(QStringLiteral("undoRedoMatrix"));
    auto *undoRedoLayout = new QHBoxLayout(_undoRedoMatrix);
    undoRedoLayout->setContentsMargins(0, 0, 0, 0);
    undoRedoLayout->setSpacing(2);
    for (const char *title : {"Undo", "Redo"}) {
        auto *button = new QToolButton(_undoRedoMatrix);
        button->setObjectName(QString::fromLatin1(title).toLower() + QStringLiteral("Cell"));
        button->setText(tr(title));
        button->setToolTip(tr(title));
        button->setProperty(kCellTitleProperty, QString::fromLatin1(title));
        button->setAutoRaise(true);
        button->setEnabled(false);
        undoRedoLayout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, button] {
            commands()->undoredoButtonMatrixAction(button->property(kCellTitleProperty).toString(),
                                                   button);
            updateUndoRedoMatrix();
        });
    }
    window->statusBar()->addPermanentWidget(_undoRedoMatrix);
    window->statusBar()->addPermanentWidget(new QLabel(tr("Zoom"), window));
    window->statusBar()->addPermanentWidget(_zoomSlider);
    window->statusBar()->addPermanentWidget(_zoomLabel);
    connect(_zoomSlider, &QSlider::sliderMoved, this,
            [this](int value) { zoomToPercentageWithTag(value); });

    window->installEventFilter(this);
    m_window = window;
}

QWidget *DIDizeZoziDocument::placeholderSection(const QString &title, const QString &text,
                                                int height)
{
    auto *view = new QWidget;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(12, 8, 12, 8);
    auto *heading = new QLabel(title, view);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    auto *body = new QLabel(text, view);
    body->setWordWrap(true);
    body->setStyleSheet(QStringLiteral("QLabel { color: #777777; }"));
    layout->addWidget(body);
    layout->addStretch(1);
    view->resize(int(kInspectorWidth), height);
    return view;
}

namespace {
// The Element section's fill and stroke buttons: they show the selected objects' colour and
// give them each colour picked from the scheme's Text colours.
// Calls `show` after each change recorded in the drawing's undo manager and after each undo and
// redo of it, so a control showing the selection's state shows it as it is then.
NotificationToken observeChangesOf(VRDrawing *drawing, std::function<void()> show)
{
    return NotificationCenter::defaultCenter().addObserver(
        kQntUndoRedoChangedNotification, nullptr,
        [drawing = QPointer<VRDrawing>(drawing), show = std::move(show)](const Notification &n) {
            if (drawing
                && n.userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>()
                       == drawing->undoManager())
                show();
        });
}

class SelectionColourDelegate : public QObject, public QntColorPickerDelegate
{
public:
    SelectionColourDelegate(QntColorPicker *button, VRDrawing *drawing, bool fill)
        : QObject(button)
        , m_button(button)
        , m_drawing(drawing)
        , m_fill(fill)
    {
        m_token = NotificationCenter::defaultCenter().addObserver(
            kVRLayerSelectionDidChange, nullptr, [this](const Notification &) { showColour(); });
        m_undoToken = observeChangesOf(m_drawing, [this] { showColour(); });
        showColour();
    }
    VRDrawing *currentDrawing() const override { return m_drawing; }
    // The selected objects whose styles these buttons show and change: the unlocked ones with a
    // style, connectors left out (their line colour is the Connector section's).
    VRObjectList targets() const
    {
        auto *layer = m_drawing ? m_drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        VRObjectList found;
        if (!layer || layer->isLocked())
            return found;
        for (const VRObjectRef &object : layer->selection())
            if (object && !object->isLocked() && !object->isKindOf<QntConnector>()
                && object->editableStyle())
                found.append(object);
        return found;
    }
    VRObjectRef contextObject() const override { return targets().value(0); }
    bool respondsToChangeColor() const override { return true; }
    void changeColor(QntColorPicker &picker) override
    {
        const VRObjectList objects = targets();
        for (const VRObjectRef &object : objects) {
            const VRStyleRef style = object->editableStyle();
            if (m_fill)
                style->setFillColour(picker.color());
            else
                style->setStrokeColour(picker.color());
        }
        VRUndoManager *undo = m_drawing->undoManager();
        if (undo && !objects.isEmpty())
            undo->setActionName(m_fill ? QObject::tr("Fill Colour") : QObject::tr("Stroke Colour"));
    }

private:
    void showColour()
    {
        // The colour the objects have in common. None, or several different ones: an empty
        // swatch, never a colour the objects do not have.
        const VRObjectList objects = targets();
        QColor common;
        bool same = !objects.isEmpty();
        for (qsizetype k = 0; k < objects.size(); ++k) {
            const VRStyleRef style = objects[k]->editableStyle();
            const QColor colour = m_fill ? style->fillColour() : style->strokeColour();
            if (k == 0)
                common = colour;
            else if (colour != common)
                same = false;
        }
        m_button->setEnabled(!objects.isEmpty());
        m_button->setColor(same && common.isValid() ? common : QColor(Qt::transparent));
        m_button->setToolTip(objects.size() > 1 && !same ? QObject::tr("Several") : QString());
    }

    QntColorPicker *m_button;
    QPointer<VRDrawing> m_drawing;
    bool m_fill;
    NotificationToken m_token;
    NotificationToken m_undoToken;
};
// The Element section's scheme button: it shows the selected element's colour scheme and gives
// it the scheme picked.
class SelectionSchemeDelegate : public QObject, public QntColorPickerDelegate
{
public:
    SelectionSchemeDelegate(QntColorSchemePicker *button, VRDrawing *drawing)
        : QObject(button)
        , m_button(button)
        , m_drawing(drawing)
    {
        m_token = NotificationCenter::defaultCenter().addObserver(
            kVRLayerSelectionDidChange, nullptr, [this](const Notification &) { showScheme(); });
        m_undoToken = observeChangesOf(m_drawing, [this] { showScheme(); });
        showScheme();
    }
    VRDrawing *currentDrawing() const override { return m_drawing; }
    VRObjectRef contextObject() const override
    {
        auto *layer = m_drawing ? m_drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        const VRObjectRef object = layer && !layer->isLocked() ? layer->singleSelection() : nullptr;
        return object && !object->isLocked() && object->colorSchemeId() != 0 ? object : nullptr;
    }
    bool respondsToChangeColorScheme() const override { return true; }
    void changeColorScheme(QntColorSchemePicker &, qint64 schemeId) override
    {
        if (const VRObjectRef object = contextObject())
            object->replaceColorScheme(schemeId);
    }

private:
    void showScheme()
    {
        const VRObjectRef object = contextObject();
        m_button->setEnabled(object != nullptr);
        if (!object || !m_drawing || !m_drawing->currentNotation())
            return;
        for (const QntColorSchemeData &scheme : m_drawing->currentNotation()->colorSchemesList()) {
            if (scheme.schemeId == object->colorSchemeId())
                m_button->setColor(scheme.colour);
        }
    }

    QntColorSchemePicker *m_button;
    QPointer<VRDrawing> m_drawing;
    NotificationToken m_token;
    NotificationToken m_undoToken;
};
} // namespace

QWidget *DIDizeZoziDocument::selectionSchemePicker(QWidget *parent)
{
    auto *button = new QntColorSchemePicker(parent);
    button->setObjectName(QStringLiteral("schemePicker"));
    button->setFixedSize(44, 20);
    button->setDelegate(new SelectionSchemeDelegate(button, drawing()));
    return button;
}

QWidget *DIDizeZoziDocument::selectionColourPicker(QWidget *parent, bool fill)
{
    auto *button = new QntColorPicker(parent);
    button->setObjectName(fill ? QStringLiteral("fillColourPicker")
                               : QStringLiteral("strokeColourPicker"));
    button->setFixedSize(44, 20);
    button->setDelegate(new SelectionColourDelegate(button, drawing(), fill));
    return button;
}

QntGroupModeInspector *DIDizeZoziDocument::groupModeInspector()
{
    if (!_groupModeInspector) {
        _groupModeInspector = new QntGroupModeInspector(VREmbedded{}, m_window.data(), drawing());
        // Its controls are made first, so they are filled (and those of the notation shown)
        // before the sections take their sizes.
        _groupModeInspector->mainView();
        _groupModeInspector->populateControlsForDrawing(drawing());
    }
    return _groupModeInspector;
}

QWidget *DIDizeZoziDocument::makeSectionView(Section section)
{
    auto found = sectionFactories().find(section);
    if (found != sectionFactories().end() && found->second) {
        if (QWidget *view = found->second(*this))
            return view;
    }
    const int width = int(kInspectorWidth);
    // The element sections' colour buttons stand on a white-to-grey ground.
    const bool colourButtons =
        section == Section::CustomElement || section == Section::NoncustomElement;
    QWidget *view = colourButtons ? new QntGradientView : new QWidget;
    view->setObjectName(QStringLiteral("section") + sectionLabel(section).remove(QLatin1Char(' ')));
    auto *form = new QFormLayout(view);
    form->setContentsMargins(12, 8, 12, 8);
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(6);
    form->setLabelAlignment(Qt::AlignRight);
    switch (section) {
    case Section::Text:
    case Section::Geometry:
    case Section::CustomConnector:
    case Section::NoncustomConnector:
    case Section::Table: {
        // The text, size-and-position, connector (line, arrowheads, colours, routing) and table
        // and cell controls of the window's group inspector: they change every selected object
        // at once.
        delete view;
        QntGroupModeInspector *group = groupModeInspector();
        QWidget *content = section == Section::Text       ? group->textSectionView()
                           : section == Section::Geometry ? group->geometrySectionView()
                           : section == Section::Table    ? group->tableSectionView()
                                                          : group->connectorSectionView();
        content->setParent(nullptr);
        content->setObjectName(QStringLiteral("section")
                               + sectionLabel(section).remove(QLatin1Char(' ')));
        content->setStyleSheet(QString());
        content->resize(width, content->sizeHint().height());
        return content;
    }
    case Section::CustomElement:
    case Section::NoncustomElement:
        form->addRow(captionLabel(tr("Fill"), view), selectionColourPicker(view, true));
        form->addRow(captionLabel(tr("Stroke"), view), selectionColourPicker(view, false));
        form->addRow(captionLabel(tr("Scheme"), view), selectionSchemePicker(view));
        if (section == Section::NoncustomElement) {
            // The colour list of a single selected directly drawn element, from the window's
            // group inspector; hidden for anything else.
            auto *holder = new QWidget(view);
            holder->setObjectName(QStringLiteral("elementColorListHolder"));
            auto *column = new QVBoxLayout(holder);
            column->setContentsMargins(0, 0, 0, 0);
            if (QWidget *list = groupModeInspector()->colorListSectionView()) {
                list->setParent(holder);
                list->setStyleSheet(QString());
                column->addWidget(list);
            }
            holder->hide();
            form->addRow(holder);
            m_colorListHolder = holder;
        }
        view->resize(width, form->sizeHint().height());
        break;
    case Section::Layers: {
        delete view;
        auto *palette = new VKLayersPaletteController(VREmbedded{}, m_window.data(), drawing());
        QWidget *content = palette->contentView();
        content->setObjectName(QStringLiteral("sectionLayers"));
        // The section's view owns its controller.
        palette->setParent(content);
        content->resize(width, 170);
        return content;
    }
    case Section::ColorScheme: {
        delete view;
        auto *schemes = new ColorSchemeController;
        schemes->setObjectName(QStringLiteral("sectionColorScheme"));
        schemes->setupWithDrawing(drawing());
        // Tall enough for every control under the outline.
        schemes->resize(width, std::max(380, schemes->minimumSizeHint().height()));
        return schemes;
    }
    case Section::Layout: {
        _vertexDistanceTextfield = new QLineEdit(view);
        _layerDistanceTextfield = new QLineEdit(view);
        _layoutOffsetTextfield = new QLineEdit(view);
        _edgeRoutingType = new QComboBox(view);
        // Each item's tag is its index.
        _edgeRoutingType->addItem(tr("Straight"), 0);
        _edgeRoutingType->addItem(tr("Orthogonal"), 1);
        _edgeRoutingType->addItem(tr("Polyline"), 2);
        _edgeRoutingType->addItem(tr("Curved"), 3);
        form->addRow(captionLabel(tr("Vertex distance"), view), _vertexDistanceTextfield);
        form->addRow(captionLabel(tr("Layer distance"), view), _layerDistanceTextfield);
        form->addRow(captionLabel(tr("Edge routing"), view), _edgeRoutingType);
        form->addRow(captionLabel(tr("Offset"), view), _layoutOffsetTextfield);
        auto *layoutButton = new QPushButton(tr("Layout"), view);
        layoutButton->setObjectName(QStringLiteral("layoutButton"));
        form->addRow(QString(), layoutButton);
        connectLayoutControls();
        connect(layoutButton, &QPushButton::clicked, this, [this] { layoutAction(); });
        view->resize(width, 160);
        break;
    }
    case Section::Style: {
        delete view;
        // The column's largest section, below what the column shows at first in most windows:
        // its inspector is built when the section first comes into view (or is asked for), so
        // a window whose Style section is never looked at does not carry it.
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("sectionStyleHolder"));
        auto *column = new QVBoxLayout(holder);
        column->setContentsMargins(0, 0, 0, 0);
        holder->resize(width, 640);
        return holder;
    }
    case Section::Sequence: {
        delete view;
        return makeSequenceSectionView();
    }
    case Section::SmartConnectors: {
        m_bufferDistanceField = new QDoubleSpinBox(view);
        m_bufferDistanceField->setObjectName(QStringLiteral("bufferDistanceField"));
        // The router takes only values above 0; 0 would silently mean its default.
        m_bufferDistanceField->setRange(1, 500);
        m_bufferDistanceField->setKeyboardTracking(false);
        m_segmentPenaltyField = new QDoubleSpinBox(view);
        m_segmentPenaltyField->setObjectName(QStringLiteral("segmentPenaltyField"));
        m_segmentPenaltyField->setRange(0.1, 1000);
        m_segmentPenaltyField->setKeyboardTracking(false);
        m_nudgeCheckBox = new QCheckBox(tr("Nudge orthogonal segments"), view);
        form->addRow(captionLabel(tr("Buffer distance"), view), m_bufferDistanceField);
        form->addRow(captionLabel(tr("Segment penalty"), view), m_segmentPenaltyField);
        form->addRow(m_nudgeCheckBox);
        connectSmartConnectorsControls();
        view->resize(width, 96);
        break;
    }
    }
    return view;
}

bool DIDizeZoziDocument::isCollapsed(Section section) const
{
    return UserDefaults::standardUserDefaults().boolForKey(collapseKey(section));
}

bool DIDizeZoziDocument::isCustomizableNotation() const
{
    const QntNotationRef notation = drawing()->currentNotation();
    return notation && notation->isCustomizable();
}

QString DIDizeZoziDocument::notationName() const
{
    const QntNotationRef notation = drawing()->currentNotation();
    return notation ? notation->notationName() : drawing()->currentNotationName();
}

CXCollapsibleView *DIDizeZoziDocument::addSection(Section section, int row)
{
    QWidget *view = m_sectionViews[section];
    if (!view) {
        view = makeSectionView(section);
        m_sectionViews[section] = view;
    }
    const QString label = QCoreApplication::translate("DIDizeZoziDocument",
                                                      sectionLabel(section).toUtf8().constData());
    if (row >= 0)
        return _inspectorOutlineView->insertView(view, row, QIcon(), label, !isCollapsed(section));
    return _inspectorOutlineView->addView(view, QIcon(), label, !isCollapsed(section));
}

VKStyleInspector *DIDizeZoziDocument::styleInspector()
{
    QWidget *holder = sectionView(Section::Style);
    if (!holder)
        return nullptr;
    if (auto *built = holder->findChild<VKStyleInspector *>())
        return built;
    // The style inspector of this window's drawing; its fill pane holds the gradient editor.
    auto *inspector = new VKStyleInspector(VREmbedded{}, m_window.data(), drawing());
    QWidget *content = inspector->mainView();
    content->setObjectName(QStringLiteral("sectionStyle"));
    // The section's view owns its inspector.
    inspector->setParent(content);
    holder->layout()->addWidget(content);
    content->show();
    inspector->redisplayContentForSelection(inspector->selectedObjectForCurrentTarget());
    return inspector;
}

QWidget *DIDizeZoziDocument::sectionView(Section section) const
{
    auto found = m_sectionViews.find(section);
    return found == m_sectionViews.end() ? nullptr : found->second.data();
}

CXCollapsibleView *DIDizeZoziDocument::sectionForView(Section section) const
{
    if (!_inspectorOutlineView)
        return nullptr;
    return _inspectorOutlineView->itemAtRow(
        _inspectorOutlineView->rowForDetailView(sectionView(section)));
}

QStringList DIDizeZoziDocument::inspectorSectionLabels() const
{
    QStringList labels;
    if (!_inspectorOutlineView)
        return labels;
    for (CXCollapsibleView *item : _inspectorOutlineView->items())
        labels << item->disclosureBar()->label();
    return labels;
}

void DIDizeZoziDocument::windowControllerDidLoadNib()
{
    if (m_windowLoaded || !m_window)
        return;
    m_windowLoaded = true;

    // 1-2: the inspector column and its sections, each expanded unless its key says so.
    _inspectorOutlineView = new CXAnimatingOutlineView(QRect(0, 0, int(kInspectorWidth), 10));
    _inspectorOutlineView->setObjectName(QStringLiteral("inspectorOutlineView"));
    _inspectorOutlineView->setDelegate(this);
    _inspectorView->setWidget(_inspectorOutlineView);
    _inspectorView->setWidgetResizable(false);
    const bool customizable = isCustomizableNotation();
    addSection(Section::Text);
    addSection(Section::Geometry);
    if (customizable) {
        addSection(Section::CustomElement);
        addSection(Section::CustomConnector);
    } else {
        _insertedColorsSection = addSection(Section::NoncustomElement);
        if (_insertedColorsSection)
            _insertedColorsSection->setViewID(kColorsSectionViewID);
        addSection(Section::NoncustomConnector);
    }
    addSection(Section::Layers);
    if (!customizable)
        addSection(Section::ColorScheme);
    setupLayoutView();
    setupTableView();
    addStyleInspectorView();
    addSmartConnectoresView();

    // 3-4: the framework connects the drawing and its view.
    setIsLoadingFromNib(true);
    VRDrawingDocument::windowControllerDidLoadNib();
    if (!mainView()) {
        auto *view = new VRDrawingView(drawing());
        view->setObjectName(QStringLiteral("mainView"));
        _scrollView->setWidget(view);
        setMainView(view, view);
    }
    if (VRDrawingView *view = mainView()) {
        connect(view, &VRDrawingView::visibleRectChanged, this,
                &DIDizeZoziDocument::scrollingInProgressNotification);
        drawing()->setDynamicQualityModulationEnabled(s_defaultQualityModulation);
        insertObjectMenu(view);
    }

    // 7: each matrix cell gets the tool its title names.
    prepareToolMatrix();

    // 5: fill the work area of the first screen, frame included; the frame's size is known
    // only once the window manager framed the window, so the fit is made again then.
    fitWindowToAvailableArea();
    m_fitPending = true;
    _toolbarAndTitleHeight =
        _toolbar && _toolbar->isVisibleTo(m_window) ? _toolbar->sizeHint().height() : 0.0;

    // 6: zoom controls.
    const double scale = mainView() ? mainView()->scale() : 1.0;
    _zoomSlider->setValue(int(std::lround(scale * 100.0)));
    _zoomLabel->setText(QString::asprintf("%.1f%%", double(_zoomSlider->value())));

    // 8, 10: observers.
    observeNotifications();
    // 9: autosave.
    setAutosavingDelay(g_autosaveDelay);
    // 11: the element-matrix width, shared by every document.
    g_elementMatrixViewWidth = _elementMatrixScrollView ? _elementMatrixScrollView->width() : 0.0;
    // 13: the shape library.
    loadNotationElements();

    // 14: the column's switch.
    _inspectorSwitchedOff =
        UserDefaults::standardUserDefaults().boolForKey(kQntInspectorSwitchedOff);
    m_inspectorWidth = _inspectorSwitchedOff ? 0.0 : kInspectorWidth;
    _inspectorSwitchToolbarItem->setChecked(!_inspectorSwitchedOff);

    // 15: the pane chosen by the notation.
    const QString name = notationName();
    if (name == QLatin1String("UML Sequence Diagram")) {
        _sequenceViewSwitchedOff = false;
        _commandViewSwitchedOff = true;
        m_switchSequenceDiagramMenuItem->setVisible(true);
        addSeqView();
    } else if (name == QLatin1String("Command Driven Style")) {
        _sequenceViewSwitchedOff = false;
        _commandViewSwitchedOff = false;
        m_switchSequenceDiagramMenuItem->setVisible(true);
        m_switchSequenceDiagramMenuItem->setText(tr("Commands editor"));
    } else {
        _sequenceViewSwitchedOff = true;
        _commandViewSwitchedOff = true;
        m_switchSequenceDiagramMenuItem->setVisible(false);
    }
    if (!_sequenceViewSwitchedOff) {
        m_sequenceHeight = kSequencePaneHeight;
        _sequenceView->show();
        _commandView->setVisible(!_commandViewSwitchedOff);
        _sequenceScrollView->setVisible(_commandViewSwitchedOff);
    }

    // 16: the sequence outline gets its delegate and the drawing it keeps its outline in.
    m_sequenceController->setDelegate(this);
    m_sequenceController->setupWithDrawing(drawing());

    // 18: the message overlay.
    _overlayController = new OXOverlayController(this);
    setUpCommandView();
    layoutContent();
    setIsLoadingFromNib(false);
}

void DIDizeZoziDocument::insertObjectMenu(VRDrawingView *view)
{
    // The view's verbs on the one selected object (defaults, style copy, properties), placed
    // before the Window menu.
    QMenuBar *bar = m_window ? m_window->menuBar() : nullptr;
    if (!bar)
        return;
    QMenu *menu = view->objectMenu();
    menu->setTitle(tr("&Object"));
    menu->setObjectName(QStringLiteral("objectMenu"));
    QAction *before = nullptr;
    if (auto *panels = bar->findChild<QMenu *>(QStringLiteral("panelsMenu")))
        before = panels->menuAction();
    bar->insertMenu(before, menu);
}

void DIDizeZoziDocument::setupLayoutView()
{
    addSection(Section::Layout);
    showLayoutParameters();
}

void DIDizeZoziDocument::setupTableView()
{
    addSection(Section::Table);
    QntGroupModeInspector *group = groupModeInspector();
    group->populateTableStyleToolbar();
    group->populateCellStyleToolbar();
}

void DIDizeZoziDocument::addStyleInspectorView()
{
    if (sectionView(Section::Style))
        return;
    addSection(Section::Style);
    if (QWidget *holder = sectionView(Section::Style)) {
        auto *watcher = new FirstSightWatcher(holder, [this] { styleInspector(); });
        watcher->check();
    }
}

void DIDizeZoziDocument::addSmartConnectoresView()
{
    mirrorRouterSettings();
    addSection(Section::SmartConnectors);
    showRouterSettings();
}

void DIDizeZoziDocument::mirrorRouterSettings()
{
    VRDrawing *d = drawing();
    VRAvoidRouter *router = d->avoidRouter();
    // The router's value stands unless the drawing stores its own; a stored value goes to the
    // router, so a drawing read from a file routes with the settings it was saved with.
    const auto mirror = [router](double &property, int parameter, double stored) {
        const double r = router->routingParameter(parameter);
        if (r > 0 && property != r) {
            property = stored;
            if (stored > 0) {
                router->setRoutingParameter(parameter, stored);
            } else {
                router->setRoutingParameter(parameter, r);
                property = r;
            }
        } else {
            property = r;
        }
    };
    mirror(_shapeBufferDistance, kRouterShapeBufferDistance, d->shapeBufferDistance());
    mirror(_segmentPenalty, kRouterSegmentPenalty, d->segmentPenalty());
    if (d->wasChangedFromDefaultNudgeOrthogonalSegments()) {
        _nudgeOrthogonalSegments = d->nudgeOrthogonalSegments();
        router->setRoutingOption(kRouterNudgeOrthogonalSegments, _nudgeOrthogonalSegments);
    } else {
        _nudgeOrthogonalSegments = router->routingOption(kRouterNudgeOrthogonalSegments);
    }
}

void DIDizeZoziDocument::showRouterSettings()
{
    if (!m_bufferDistanceField)
        return;
    const QSignalBlocker blockBuffer(m_bufferDistanceField);
    const QSignalBlocker blockPenalty(m_segmentPenaltyField);
    const QSignalBlocker blockNudge(m_nudgeCheckBox);
    m_bufferDistanceField->setValue(_shapeBufferDistance);
    m_segmentPenaltyField->setValue(_segmentPenalty);
    m_nudgeCheckBox->setChecked(_nudgeOrthogonalSegments);
}

void DIDizeZoziDocument::addSeqView()
{
    if (sectionView(Section::Sequence))
        return;
    addSection(Section::Sequence, 0);
}

void DIDizeZoziDocument::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(kVRDidChangeToolNotification, nullptr,
                           [this](const Notification &n) { toolChangedNotification(n); }));
    m_observers.push_back(
        center.addObserver(kVRDrawingViewDidChangeScale, nullptr,
                           [this](const Notification &n) { updateZoomSlider(n); }));
    m_observers.push_back(
        center.addObserver(kVRLayerSelectionDidChange, nullptr,
                           [this](const Notification &n) { selectedObjectDidChange(n); }));
    m_observers.push_back(
        center.addObserver(kQntShapeInfoUpdated, nullptr,
                           [this](const Notification &n) { selectedShapeInfoDidChange(n); }));
    m_observers.push_back(
        center.addObserver(kQntUndoRedoChangedNotification, nullptr,
                           [this](const Notification &n) { undoRedoChangedNotification(n); }));
    m_observers.push_back(center.addObserver(kVRUndoManagerDidUndoChangeNotification, nullptr,
                                             [this](const Notification &n) { didUndo(n); }));
    // A change refused by this window's drawing (an object typed, moved or copied too far out)
    // is told over the drawing, whichever window or panel it was asked in.
    m_observers.push_back(center.addObserver(
        kVRDrawingRefusedChangeNotification, nullptr, [this](const Notification &n) {
            if (drawing() && n.object == drawing())
                showLayoutMessage(n.userInfo.value(QStringLiteral("message")).toString());
        }));
    // A window grown out of the start-up window ends where its animation started from,
    // which may predate the frame: it is fitted again.
    m_observers.push_back(
        center.addObserver(QntWindowAnimation::kAnimationFromFrameDidFinishedNotification, nullptr,
                           [this](const Notification &n) {
                               if (m_window && n.object == m_window.data())
                                   fitWindowToAvailableArea();
                           }));
    connect(this, &Document::editedChanged, this, [this](bool) { updateTitle(); });
    connect(this, &Document::filePathChanged, this, [this](const QString &) { updateTitle(); });
    connect(this, &Document::readOnlyChanged, this, [this](bool) { updateTitle(); });
}

void DIDizeZoziDocument::updateTitle()
{
    if (!m_window)
        return;
    // A read-only document says so in its title, which is where the user looks for its name.
    m_window->setWindowTitle(displayName() + (isReadOnly() ? tr(" (Read-Only)") : QString())
                             + QStringLiteral("[*] — Quintora"));
    m_window->setWindowModified(isDocumentEdited());
}

void DIDizeZoziDocument::layoutContent()
{
    if (!_contentView)
        return;
    const int w = _contentView->width();
    const int h = _contentView->height();
    const int inspector = int(std::lround(m_inspectorWidth));
    const int sequence = int(std::lround(m_sequenceHeight));
    _splitView->setGeometry(0, 0, std::max(0, w - inspector), std::max(0, h - sequence));
    _sequenceView->setGeometry(0, h - sequence, std::max(0, w - inspector), sequence);
    _inspectorView->setGeometry(w - inspector, 0, inspector, h);
    _inspectorView->setVisible(inspector > 0);
    if (_inspectorOutlineView) {
        const int columnWidth =
            std::max(int(kInspectorWidth) - _inspectorView->verticalScrollBar()->sizeHint().width(),
                     _inspectorView->viewport()->width());
        if (_inspectorOutlineView->width() != columnWidth)
            _inspectorOutlineView->resize(std::min(columnWidth, int(kInspectorWidth)),
                                          _inspectorOutlineView->height());
    }
}

bool DIDizeZoziDocument::eventFilter(QObject *watched, QEvent *event)
{
    if (m_commandEditor && watched == m_commandEditor->viewport()
        && event->type() == QEvent::ToolTip)
        return showCommandErrorToolTip(static_cast<QHelpEvent *>(event));
    if (watched == _contentView && event->type() == QEvent::Resize)
        layoutContent();
    if (_inspectorView && watched == _inspectorView->viewport() && event->type() == QEvent::Resize)
        layoutContent();
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
        case QEvent::Expose:
            if (m_fitPending && m_window->windowHandle()
                && !m_window->windowHandle()->frameMargins().isNull()) {
                m_fitPending = false;
                fitWindowToAvailableArea();
            }
            windowDidMoveOrResize();
            break;
        case QEvent::Close:
            windowDidMoveOrResize();
            // A document that is closing (after its question was answered) is not asked again;
            // while the application quits keeping the unsaved changes, the window just goes
            // and the document keeps its recovery copy for the next launch.
            if (isClosing() || DocumentController::sharedDocumentController().isTerminating())
                break;
            if (!canClose(m_window)) {
                event->ignore();
                return true;
            }
            // The window goes with its document.
            QTimer::singleShot(0, this, [this] { close(); });
            break;
        default: break;
        }
    }
    return VRDrawingDocument::eventFilter(watched, event);
}

void DIDizeZoziDocument::fitWindowToAvailableArea()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        m_window->move(0, 0);
        return;
    }
    const QMargins frame =
        m_window->windowHandle() ? m_window->windowHandle()->frameMargins() : QMargins();
    const QRect content = screen->availableGeometry().marginsRemoved(frame);
    // A top-level widget's position is its frame's; its size is the content's.
    m_window->move(content.topLeft() - QPoint(frame.left(), frame.top()));
    m_window->resize(content.size());
}

void DIDizeZoziDocument::windowDidMoveOrResize()
{
    postCloseAttachedAndHideInfo();
}

void DIDizeZoziDocument::postCloseAttachedAndHideInfo()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(kQntCloseAttachedWindowsNotification, this);
    center.post(kQntHideInfoPanelNotification, this);
}

void DIDizeZoziDocument::scrollingInProgressNotification()
{
    if (m_keepAttachedWindowWhenScrolling)
        return;
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification, this);
}

void DIDizeZoziDocument::selectedShapeInfoDidChange(const Notification &notification)
{
    const QVariant sender = notification.userInfo.value(QStringLiteral("sender"));
    auto *view = sender.value<VRDrawingView *>();
    if (!view && notification.object)
        view = qobject_cast<VRDrawingView *>(
            static_cast<QObject *>(const_cast<void *>(notification.object)));
    if (!view || view->drawing() != drawing())
        return;
    _infoLabel->setText(notification.userInfo.value(QStringLiteral("info")).toString());
}

void DIDizeZoziDocument::selectedObjectDidChange(const Notification &)
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || !_inspectorOutlineView)
        return;
    const VRObjectList selection = layer->selection();
    if (selection.size() >= 2)
        showSelectionBounds(*layer);
    else if (selection.isEmpty())
        _infoLabel->clear();
    const VRObjectRef s = layer->singleSelection();
    const bool directlyDrawn = s && s->isKindOf<QntDirectlyDrawedElement>();
    const bool text = s && s->isKindOf<QntText>();
    showElementColorList(directlyDrawn ? s : nullptr);
    if (!isCustomizableNotation()) {
        QntGroupModeInspector *group = groupModeInspector();
        if (!text && !directlyDrawn && _insertedCustomElementStyleSection) {
            // The contour controls belong to the group inspector and outlive the section.
            if (QWidget *view = group->contourStyleSectionView()) {
                view->hide();
                view->setParent(group->mainView());
            }
            _inspectorOutlineView->removeItem(_insertedCustomElementStyleSection);
            _insertedCustomElementStyleSection = nullptr;
            _addedCustomElementStyleSection = false;
        }
        if (directlyDrawn || text) {
            if (_insertedColorsSection)
                _insertedColorsSection->disclosureBar()->setLabel(
                    QStringLiteral("Element Color Components"));
            if (!_insertedCustomElementStyleSection) {
                QWidget *view = group->contourStyleSectionView();
                view->resize(int(kInspectorWidth), view->height());
                _insertedCustomElementStyleSection = _inspectorOutlineView->insertView(
                    view, 2, QIcon(), QStringLiteral("Contour style"), true);
                _addedCustomElementStyleSection = true;
            }
            group->populateSimpleStyleToolbar();
            return;
        }
        if (s && (s->isKindOf<QntElement>() || s->isKindOf<QntElementArrow>())) {
            if (_insertedColorsSection)
                _insertedColorsSection->disclosureBar()->setLabel(
                    QStringLiteral("Element Color Presets"));
            return;
        }
        if (!selection.isEmpty() && _insertedColorsSection)
            _insertedColorsSection->disclosureBar()->setLabel(
                QStringLiteral("Element Color Components"));
        return;
    }
    if (!directlyDrawn) {
        if (_insertedColorsSection) {
            // The colour list belongs to the group inspector and outlives the section.
            if (QWidget *list = groupModeInspector()->colorListSectionView()) {
                list->hide();
                list->setParent(groupModeInspector()->mainView());
            }
            // The section goes with its view; the next one is made afresh.
            m_colorListHolder = nullptr;
            m_sectionViews.erase(Section::NoncustomElement);
            _inspectorOutlineView->removeItem(_insertedColorsSection);
            _insertedColorsSection = nullptr;
            _addedElementColorsSection = false;
        }
        return;
    }
    if (!_insertedColorsSection) {
        QWidget *view = m_sectionViews[Section::NoncustomElement];
        if (!view)
            view = m_sectionViews[Section::NoncustomElement] =
                makeSectionView(Section::NoncustomElement);
        _insertedColorsSection = _inspectorOutlineView->insertView(
            view, 2, QIcon(), QStringLiteral("Element Color Components"), true);
        if (_insertedColorsSection)
            _insertedColorsSection->setViewID(kColorsSectionViewID);
        _addedElementColorsSection = true;
        showElementColorList(s);
    }
}

void DIDizeZoziDocument::showSelectionBounds(VRObjectDrawingLayer &layer)
{
    // The selected objects' union, not the whole layer's; its origin: a coordinate pair, not
    // half its size.
    const QRectF r = layer.selectionBounds();
    const QStringList origin = drawing()->formattedConvertedPoint(r.topLeft());
    _infoLabel->setText(QStringLiteral("W:%1 H:%2 X0:%3 Y0:%4")
                            .arg(drawing()->formattedConvertedLength(r.width()),
                                 drawing()->formattedConvertedLength(r.height()), origin.value(0),
                                 origin.value(1)));
}

void DIDizeZoziDocument::showElementColorList(const VRObjectRef &element)
{
    QWidget *holder = m_colorListHolder;
    QWidget *view = sectionView(Section::NoncustomElement);
    if (!holder || !view)
        return;
    const bool drawn = element && element->isKindOf<QntDirectlyDrawedElement>();
    if (drawn) {
        QntGroupModeInspector *group = groupModeInspector();
        group->populateColorPaletteForElement(element);
        if (QWidget *list = group->colorListSectionView(); list && list->parent() != holder) {
            list->setParent(holder);
            holder->layout()->addWidget(list);
            list->show();
        }
    }
    holder->setVisible(drawn);
    // A locked element's colours are shown, not changed.
    holder->setEnabled(drawn && !element->isLocked());
    view->resize(view->width(), view->layout()->sizeHint().height());
}

void DIDizeZoziDocument::updateZoomSlider(const Notification &notification)
{
    VRDrawingView *view = mainView();
    if (!view || notification.object != view)
        return;
    _zoomSlider->setValue(int(std::lround(view->scale() * 100.0)));
    _zoomLabel->setText(QString::asprintf("%.1f%%", double(_zoomSlider->value())));
}

void DIDizeZoziDocument::zoomToPercentageWithTag(int percent)
{
    VRDrawingView *view = mainView();
    if (!view)
        return;
    view->zoomToPercentageWithTag(percent, view->centredPointInDocView());
    _zoomLabel->setText(QString::asprintf("%.1f%%", double(_zoomSlider->value())));
}

void DIDizeZoziDocument::scrollToSelection()
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!mainView() || !layer || layer->selection().isEmpty())
        return;
    QRectF bounds;
    for (const VRObjectRef &object : layer->selection())
        bounds = bounds.united(object->bounds());
    // The middle of the selection comes to the middle of the window.
    mainView()->scrollPointToCentre(bounds.center());
}

void DIDizeZoziDocument::undoRedoChangedNotification(const Notification &notification)
{
    // Only this document's own undo manager counts; the edited state itself follows that
    // manager's clean point (kept by the drawing document), so every recorded step counts,
    // whatever class of task recorded it.
    if (notification.userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>()
        != undoManager())
        return;
    if (isLoadingFromNib())
        return;
    // A change, undo or redo may have moved or resized the selected objects.
    if (auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        layer && _infoLabel && layer->selection().size() >= 2)
        showSelectionBounds(*layer);
    // Schedules the autosave and marks the window whatever task class recorded the step.
    noteEditedStateChanged();
    updateTitle();
    updateUndoRedoMatrix();
}

void DIDizeZoziDocument::didUndo(const Notification &notification)
{
    if (notification.object != undoManager())
        return;
    noteEditedStateChanged();
    updateTitle();
    updateUndoRedoMatrix();
}

void DIDizeZoziDocument::updateUndoRedoMatrix()
{
    if (!_undoRedoMatrix)
        return;
    VRUndoManager *undo = undoManager();
    for (QToolButton *cell : _undoRedoMatrix->findChildren<QToolButton *>()) {
        const bool isUndo = cell->property(kCellTitleProperty).toString() == QLatin1String("Undo");
        const bool can = undo && (isUndo ? undo->canUndo() : undo->canRedo());
        cell->setEnabled(can);
    }
}

void DIDizeZoziDocument::toolChangedNotification(const Notification &)
{
    updateToolbarSelection();
}

void DIDizeZoziDocument::selectToolNamed(const QString &name)
{
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(name);
    if (!tool || !mainView() || !mainView()->controller())
        return;
    mainView()->controller()->setDrawingTool(tool);
}

void DIDizeZoziDocument::prepareToolMatrix()
{
    m_toolMatrixTools.clear();
    if (!_toolMatrix)
        return;
    for (QToolButton *cell : _toolMatrix->findChildren<QToolButton *>()) {
        const QString title = cell->property(kCellTitleProperty).toString();
        if (title.isEmpty()) {
            cell->setEnabled(false);
            continue;
        }
        const QString toolName = title == QLatin1String("Zoom In") ? QStringLiteral("Zoom") : title;
        m_toolMatrixTools.insert(cell, VRDrawingTool::drawingToolWithName(toolName));
    }
}

VRDrawingTool *DIDizeZoziDocument::toolMatrixTool(const QString &cellTitle) const
{
    for (auto it = m_toolMatrixTools.cbegin(); it != m_toolMatrixTools.cend(); ++it) {
        if (it.key()->property(kCellTitleProperty).toString() == cellTitle)
            return it.value();
    }
    return nullptr;
}

QToolButton *DIDizeZoziDocument::toolMatrixCell(const QString &cellTitle) const
{
    if (!_toolMatrix)
        return nullptr;
    for (QToolButton *cell : _toolMatrix->findChildren<QToolButton *>()) {
        if (cell->property(kCellTitleProperty).toString() == cellTitle)
            return cell;
    }
    return nullptr;
}

void DIDizeZoziDocument::updateToolbarSelection()
{
    if (!m_toolActions || !mainView())
        return;
    VRDrawingTool *tool = mainView()->drawingTool();
    if (_toolMatrix) {
        for (auto it = m_toolMatrixTools.cbegin(); it != m_toolMatrixTools.cend(); ++it) {
            if (it.value() == tool) {
                it.key()->setChecked(true);
                break;
            }
        }
    }
    for (QAction *action : m_toolActions->actions()) {
        if (VRDrawingTool::drawingToolWithName(action->data().toString()) == tool) {
            action->setChecked(true);
            return;
        }
    }
}

QntNotationPalette *DIDizeZoziDocument::notationPalette() const
{
    return m_notationPalette;
}

void DIDizeZoziDocument::loadNotationElements()
{
    if (!_elementMatrixScrollView)
        return;
    if (!m_notationPalette) {
        m_notationPalette = new QntNotationPalette(this);
        m_notationPalette->installInScrollArea(_elementMatrixScrollView);
    }
    m_notationPalette->loadNotationElements();
}

void DIDizeZoziDocument::showOverlayMessage(const QString &message)
{
    if (!_overlayController || !mainView())
        return;
    _overlayController->endOverlay();
    _overlayController->beginOverlayToView(_scrollView, message, 4.0, QSizeF(200, 50));
}

void DIDizeZoziDocument::outlineViewItemDidExpand(const Notification &notification)
{
    storeSectionCollapse(notification, false);
}

void DIDizeZoziDocument::outlineViewItemDidCollapse(const Notification &notification)
{
    storeSectionCollapse(notification, true);
}

void DIDizeZoziDocument::storeSectionCollapse(const Notification &notification, bool collapsed)
{
    if (notification.object != _inspectorOutlineView)
        return;
    auto *item =
        notification.userInfo.value(QStringLiteral("NSObject")).value<CXCollapsibleView *>();
    if (!item)
        return;
    QWidget *detail = item->detailView();
    for (const auto &[section, view] : m_sectionViews) {
        if (view && view == detail) {
            UserDefaults &defaults = UserDefaults::standardUserDefaults();
            defaults.setBool(collapsed, collapseKey(section));
            defaults.synchronize();
            return;
        }
    }
}

void DIDizeZoziDocument::switchInspector()
{
    if (m_switchAnimation)
        return;
    const double from = m_inspectorWidth;
    const double to = _inspectorSwitchedOff ? kInspectorWidth : 0.0;
    _inspectorSwitchedOff = !_inspectorSwitchedOff;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(_inspectorSwitchedOff, kQntInspectorSwitchedOff);
    defaults.synchronize();
    _inspectorSwitchToolbarItem->setChecked(!_inspectorSwitchedOff);
    const int duration = int(500 * g_switchAnimationScale);
    if (duration <= 0) {
        m_inspectorWidth = to;
        layoutContent();
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(duration);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_inspectorWidth = value.toDouble();
        layoutContent();
    });
    m_switchAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void DIDizeZoziDocument::switchSequenceInspector()
{
    const bool switchingOff = _sequenceView->isVisible();
    _sequenceViewSwitchedOff = switchingOff;
    if (switchingOff)
        _sequenceView->hide();
    const double from = m_sequenceHeight;
    const double to = switchingOff ? 0.0 : kSequencePaneHeight;
    const int duration = int(250 * g_switchAnimationScale);
    auto finish = [this, switchingOff] {
        if (!switchingOff)
            _sequenceView->show();
        layoutContent();
    };
    if (duration <= 0) {
        m_sequenceHeight = to;
        finish();
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(duration);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_sequenceHeight = value.toDouble();
        layoutContent();
    });
    connect(animation, &QAbstractAnimation::finished, this, finish);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
