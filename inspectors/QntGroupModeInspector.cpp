#include "inspectors/QntGroupModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntSegmentedCell.h"

#include "connectors/QntConnectorModeInspector.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextShape.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/undo/VRUndoRegistrationOff.h"
#include "framework/undo/VRUndoStep.h"
#include "framework/view/VRDrawingView.h"
#include "platform/ColorPanel.h"
#include "style/VKSpecialColorWell.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

constexpr double kRoomAbovePanes = 76.0;

const char *const kPaneNames[] = {"ElementText", "ElementColor", "ConnectorText", "ConnectorStyle",
                                  "TableStyle"};

} // namespace

QString QntGroupModeInspector::paneName(int tag)
{
    return tag >= 0 && tag < 5 ? QString::fromLatin1(kPaneNames[tag]) : QString();
}

QntGroupModeInspector::QntGroupModeInspector(QObject *parent)
    : VRInspectorBase(QStringLiteral("GroupModeInspector"), parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(
        QStringLiteral("QXPopoverDidClose"), nullptr, [this](const Notification &n) {
            if (m_waiting && n.object == m_waiting.data())
                m_waitingLostFocus = m_waiting->closedOnLosingFocus();
            if (!_attachedWindow || n.object != _attachedWindow.data())
                return;
            _lastAttachedPoint = _attachedWindow->point();
            closeColorPanelWithPanel();
            // The panel's view outlives the window that showed it.
            if (_viewMain)
                _viewMain->setParent(nullptr);
            _attachedWindow = nullptr;
        }));
    m_observers.push_back(
        center.addObserver(kQntCloseAttachedWindowsNotification, nullptr,
                           [this](const Notification &) { closeAttachedWindows(); }));
    m_observers.push_back(center.addObserver(kVRDrawingUnitsDidChange, nullptr,
                                             [this](const Notification &) { refreshControls(); }));
    m_observers.push_back(center.addObserver(kQntHighlightChangedNotification, nullptr,
                                             [this](const Notification &) { refreshControls(); }));
    m_observers.push_back(
        center.addObserver(kQntInlineEditingStartedNotification, nullptr,
                           [this](const Notification &n) { inlineEditingStartedNotification(n); }));
    m_observers.push_back(
        center.addObserver(kVRColorWellWillActivate, nullptr,
                           [this](const Notification &n) { waitForColorPanel(n.object); }));
    observeUndoAndRedo();
}

QntGroupModeInspector::QntGroupModeInspector(VREmbedded, QWidget *hostWindow, VRDrawing *drawing)
    : VRInspectorBase(VREmbedded{}, hostWindow)
    , m_drawing(drawing)
    , m_embedded(true)
{
    setTargetDrawing(drawing);
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRLayerSelectionDidChange, nullptr, [this](const Notification &) { refreshControls(); }));
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRDrawingUnitsDidChange, nullptr, [this](const Notification &) { refreshControls(); }));
    // The contour controls and the table switches show the drawing again after each change,
    // undo or redo.
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kQntUndoRedoChangedNotification, nullptr, [this](const Notification &n) {
            if (n.userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>()
                != undoManager())
                return;
            if (m_contourStyleView && m_contourStyleView->isVisible())
                populateSimpleStyleToolbar();
            if (m_tablePane)
                showTableSwitches();
        }));
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kQntInlineEditingStartedNotification, nullptr,
        [this](const Notification &n) { inlineEditingStartedNotification(n); }));
    observeUndoAndRedo();
}

void QntGroupModeInspector::observeUndoAndRedo()
{
    // An undo or a redo changes the objects without a word to the controls: every control that
    // shows the selection's state reads it again.
    for (const QString &name :
         {kVRUndoManagerDidUndoChangeNotification, kVRUndoManagerDidRedoChangeNotification}) {
        m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [this](const Notification &n) {
                if (n.object && n.object == undoManager())
                    showSelectionAgain();
            }));
    }
}

void QntGroupModeInspector::showSelectionAgain()
{
    // Reading the objects into the controls is no change of the user's.
    const VRUndoRegistrationOff off(undoManager());
    refreshControls();
    if (m_contourStyleView && m_contourStyleView->isVisible())
        populateSimpleStyleToolbar();
}

VRDrawing *QntGroupModeInspector::targetDrawing() const
{
    return m_drawing ? m_drawing.data() : currentDrawing();
}

QWidget *QntGroupModeInspector::textSectionView()
{
    mainView();
    return _panes[ElementText];
}

QWidget *QntGroupModeInspector::geometrySectionView()
{
    mainView();
    return _geometryView;
}

QWidget *QntGroupModeInspector::colorListSectionView()
{
    mainView();
    return m_schemeRow;
}

QWidget *QntGroupModeInspector::connectorSectionView()
{
    mainView();
    keepDarkGround(m_customConnectorView);
    return _panes[ConnectorStyle];
}

QWidget *QntGroupModeInspector::tableSectionView()
{
    mainView();
    return _panes[TableStyle];
}

QntGroupModeInspector::~QntGroupModeInspector()
{
    m_observers.clear();
    if (_attachedWindow) {
        if (_viewMain)
            _viewMain->setParent(nullptr);
        delete _attachedWindow.data();
    }
    delete _viewMain.data();
}

QWidget *QntGroupModeInspector::mainView()
{
    if (!_viewMain)
        buildViews();
    return _viewMain;
}

// ---------------------------------------------------------------- views

void QntGroupModeInspector::buildViews()
{
    auto *main = new QntEscapedView;
    main->setObjectName(QStringLiteral("groupModeInspector"));
    _viewMain = main;
    auto *column = new QVBoxLayout(main);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    _segControl = new QntSegmentedCell(main);
    _segControl->setObjectName(QStringLiteral("groupModeSegments"));
    const QString titles[] = {tr("Text"), tr("Colours"), tr("Connector Text"), tr("Connectors"),
                              tr("Tables")};
    for (int tag = 0; tag < 5; ++tag)
        _segControl->addSegment(titles[tag], tag);
    column->addWidget(_segControl);
    _messageLabel = new QLabel(main);
    _messageLabel->setObjectName(QStringLiteral("groupModeMessage"));
    _messageLabel->setStyleSheet(QStringLiteral("color: #ffb0b0;"));
    _messageLabel->setWordWrap(true);
    _messageLabel->hide();
    column->addWidget(_messageLabel);
    _viewBase = new QStackedWidget(main);
    column->addWidget(_viewBase, 1);
    _panes[ElementText] = buildTextPane(paneName(ElementText), false);
    // Its controls change text being edited in place, which stays in its editor meanwhile.
    _panes[ElementText]->setProperty(VRDrawingView::kKeepsInlineEditingProperty, true);
    _panes[ElementColor] = buildColorPane();
    _panes[ConnectorText] = buildTextPane(paneName(ConnectorText), true);
    _panes[ConnectorStyle] = buildConnectorStylePane();
    _panes[TableStyle] = buildTablePane();
    m_tablePane = _panes[TableStyle];
    for (QWidget *pane : _panes)
        _viewBase->addWidget(pane);
    // Light text on the floating panel's dark ground. A document window shows the panes in its
    // own sections on a light ground instead, and a style sheet over the whole tree would cost
    // each of its widgets style rules of its own.
    if (!m_embedded)
        main->setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: white; }"));
    connect(_segControl, &QntSegmentedCell::segmentClicked, this,
            [this](int tag) { selectPaneWithTag(tag); });
    m_shownTag = -1;
    selectPaneWithTag(-1);
}

// ---------------------------------------------------------------- opening and panes

QPointF QntGroupModeInspector::positionParentWindow()
{
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!view)
        return {};
    const QPointF centre = view->centredPointInDocView();
    const QPoint global = view->mapToGlobal(centre.toPoint());
    return AXScreen::fromGlobal(QPointF(global));
}

void QntGroupModeInspector::createGroupModeInspectorAtPoint(QPointF point)
{
    if (_attachedWindow)
        return;
    QWidget *view = mainView();
    const QPointF at = _lastAttachedPoint.isNull() ? point : _lastAttachedPoint;
    view->adjustSize();
    AXAttachedWindow *window = AXAttachedWindow::create(view, at, AXAttachedWindow::kBelow, 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("groupModeInspectorWindow"));
    window->setBorderColor(Qt::white);
    window->setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
    window->setViewMargin(1.0);
    window->setBorderWidth(1.0);
    window->setCornerRadius(5.0);
    window->setHasArrow(0.0);
    window->setIsArrowlessMode(true);
    window->setIsSimpleReposition(true);
    window->setCloseOnResignKeyWindow(true);
    VRDrawingDocument *document = currentDocument();
    window->addToParentWindow(document ? document->windowForSheet() : nullptr);
    _attachedWindow = window;
    selectPaneWithTag(-1);
    populateControlsForDrawing(targetDrawing());
}

void QntGroupModeInspector::showGroupModeInspector()
{
    if (!_attachedWindow)
        return;
    _attachedWindow->orderFront(true);
    _attachedWindow->redisplayLater();
}

void QntGroupModeInspector::closeAttachedWindows()
{
    // A popover opened for the panel closes with it, so its owner forgets it and the panel
    // closes on losing focus again.
    if (m_waiting)
        m_waiting->closePopover();
    if (!_attachedWindow)
        return;
    _lastAttachedPoint = _attachedWindow->point();
    _attachedWindow->hide();
    closeColorPanelWithPanel();
}

void QntGroupModeInspector::waitForColorPanel(const void *well)
{
    if (!_attachedWindow || !_attachedWindow->isVisible())
        return;
    const QList<VKSpecialColorWell *> wells = _attachedWindow->findChildren<VKSpecialColorWell *>();
    if (std::find(wells.begin(), wells.end(), well) == wells.end())
        return;
    // The colour panel takes the focus as it opens; the panel survives that and waits until
    // the colour panel goes away.
    _attachedWindow->setCloseOnResignKeyWindow(false);
    QObject::disconnect(m_focusReclaim);
    if (m_waitingForColorPanel)
        return;
    m_waitingForColorPanel = true;
    ColorPanel::sharedColorPanel().dialog()->installEventFilter(this);
}

void QntGroupModeInspector::closeColorPanelWithPanel()
{
    if (!m_waitingForColorPanel)
        return;
    VKSpecialColorWell::deactivateCurrentWell();
    ColorPanel::sharedColorPanel().orderOut();
}

void QntGroupModeInspector::reclaimFocusAfterColorPanel()
{
    QObject::disconnect(m_focusReclaim);
    AXAttachedWindow *panel = _attachedWindow;
    if (!panel || m_waiting)
        return;
    if (!panel->isVisible()) {
        panel->setCloseOnResignKeyWindow(true);
        return;
    }
    // The panel closes on losing the focus again once it has it back. The window system first
    // gives the focus to another window (the document's), so the panel asks for it after that.
    const auto settle = [this](QWindow *focus) {
        AXAttachedWindow *shown = _attachedWindow;
        if (!shown || !focus) {
            return;
        }
        if (focus == shown->windowHandle()) {
            QObject::disconnect(m_focusReclaim);
            shown->setCloseOnResignKeyWindow(true);
        } else if (focus != ColorPanel::sharedColorPanel().dialog()->windowHandle()) {
            shown->activateWindow();
        }
    };
    m_focusReclaim = connect(qApp, &QGuiApplication::focusWindowChanged, this, settle);
    settle(QGuiApplication::focusWindow());
}

bool QntGroupModeInspector::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && m_waitingForColorPanel
        && watched == ColorPanel::sharedColorPanel().dialog()) {
        m_waitingForColorPanel = false;
        watched->removeEventFilter(this);
        reclaimFocusAfterColorPanel();
    }
    return VRInspectorBase::eventFilter(watched, event);
}

void QntGroupModeInspector::selectPaneWithTag(int tag)
{
    if (!_viewBase)
        return;
    if (tag < 0)
        tag = _segControl->selectedTag();
    if (tag < 0 || tag > 4)
        return;
    _segControl->selectSegmentWithTag(tag);
    _messageLabel->clear();
    _messageLabel->hide();
    const bool first = m_shownTag < 0;
    m_shownTag = tag;
    _viewBase->setCurrentIndex(tag);
    QWidget *pane = _panes[tag];
    const int height = int(kRoomAbovePanes) + pane->sizeHint().height();
    const int width = std::max(_segControl->sizeHint().width() + 16, pane->sizeHint().width() + 16);
    if (!_attachedWindow) {
        _viewMain->resize(width, height);
        return;
    }
    // The panel keeps its top edge where it is.
    const QRect before = _attachedWindow->geometry();
    _viewMain->resize(width, height);
    _attachedWindow->redisplay();
    if (!first && _attachedWindow->isVisible())
        _attachedWindow->move(_attachedWindow->x(), before.top());
}

// ---------------------------------------------------------------- refresh

void QntGroupModeInspector::populateControlsForDrawing(VRDrawing *drawing)
{
    if (!_viewMain || !drawing)
        return;
    for (QCheckBox **boxes : {_elemTypeface, _connTypeface})
        for (int k = 0; k < 3; ++k)
            boxes[k]->setChecked(false);
    elementModeInspector()->setMultipleSelectionMode(1);
    elementTextEditor()->setMultipleSelectionMode(1);
    const VRObjectList objects = selection();
    // Paddings show the one selected element's; otherwise they start at 0.
    if (objects.size() == 1 && objects.first()->isKindOf<QntElement>()) {
        updatePaddingModeControl(static_cast<const QntElement *>(objects.first().get()));
    } else {
        showPadding(_elemTopBottomPaddingSlider, _elemTopBottomPaddingTextbox, 0);
        showPadding(_elemLeftRightPaddingSlider, _elemLeftRightPaddingTextbox, 0);
    }
    // "Resize each" scales from the size before this round of changes.
    for (const VRObjectRef &object : objects) {
        if (object && isMemberOfElements(*object) && object->isKindOf<QntElement>())
            static_cast<QntElement &>(*object).setSizeBeforeChanging(object->size());
    }
    populateTableStyleToolbar();
    populateCellStyleToolbar();
    updateTextColorButton();
    refreshControls();
}

void QntGroupModeInspector::refreshControls()
{
    // A document window may be taking its sections down.
    if (!_viewMain || !_geometryView || !m_connectorSetsView || !m_schemeRow || !m_tablePane)
        return;
    VRDrawing *drawing = targetDrawing();
    const QString units = drawing ? drawing->abbreviatedDrawingUnits() : QString();
    if (!units.isEmpty()) {
        for (QLabel *label : _unitLabels)
            label->setText(units);
        for (QLabel *label : {_tableGridLineWidthLabel, _tableRectangleCornerRaduisLabel})
            if (label)
                label->setText(units);
        for (const ConnectorSetControls &set : m_sets)
            for (QLabel *label :
                 {set.startArrowheadLengthUnitLabel, set.endArrowheadLengthUnitLabel})
                if (label)
                    label->setText(units);
    }
    const VRObjectList objects = selection();
    const bool single = objects.size() == 1;
    // With several objects the sliders act once, when they are let go.
    for (QSlider *slider : std::initializer_list<QSlider *>{
             _elemTopBottomPaddingSlider, _elemLeftRightPaddingSlider, _tableTopBottomPaddingSlider,
             _tableLeftRightPaddingSlider, _tableTextAngleSlider})
        if (slider)
            slider->setTracking(single);
    _elemResizeEachElementSlider->setEnabled(true);
    if (_elemResizeToLargestButton)
        _elemResizeToLargestButton->setEnabled(true);
    // Values are read only from a single selection; several objects leave the fields alone.
    const QntTextShape *singleText = nullptr;
    const bool singleElement = single && objects.first()->isKindOf<QntElement>();
    if (singleElement) {
        const auto *element = static_cast<const QntElement *>(objects.first().get());
        singleText = element->text();
        updatePaddingModeControl(element);
        populateTableStyleToolbar();
        populateCellStyleToolbar();
    }
    // The size field shows one element's text size only: a size typed for several objects goes
    // to each of them, and the last single element's is not theirs.
    const QString several = objects.size() > 1 ? tr("Several") : QString();
    if (_elemFontSizeTextField) {
        // The one element's text: its font, typeface, size and alignment as its first character
        // has them (an element without text shows no typeface).
        const bool inPlace = inlineTextEditor();
        if (singleElement && !inPlace)
            showTextAttributesOf(elementTextEditor());
        if (singleText && inPlace)
            _elemFontSizeTextField->setText(QLocale().toString(singleText->fontSize(), 'g', 4));
        else if (single && objects.first()->isKindOf<VRTextShape>() && inPlace)
            showInlineTextAttributes();
        else if (single && objects.first()->isKindOf<VRTextShape>())
            showTextAttributesOf(static_cast<const VRTextShape &>(*objects.first()));
        else if (!singleText)
            _elemFontSizeTextField->clear();
        _elemFontSizeTextField->setPlaceholderText(several);
    }
    if (single && objects.first()->isKindOf<VRDrawableShape>()) {
        const double f = unitConversionFactor();
        const VRObjectRef &o = objects.first();
        _widthTextbox->setText(QLocale().toString(o->size().width() / f, 'f', 2));
        _heightTextbox->setText(QLocale().toString(o->size().height() / f, 'f', 2));
        _xCenterTextbox->setText(
            QLocale().toString((o->location().x() - drawing->leftMargin()) / f, 'f', 2));
        _yCenterTextbox->setText(
            QLocale().toString((o->location().y() - drawing->topMargin()) / f, 'f', 2));
    } else {
        // No one shape: the fields name no size or position. Several objects show none of theirs
        // (a value typed goes to every selected shape); a connector has no size of its own.
        for (QLineEdit *field : {_widthTextbox, _heightTextbox, _xCenterTextbox, _yCenterTextbox})
            field->clear();
        if (single && objects.first()->isKindOf<QntConnector>()) {
            _elemResizeEachElementSlider->setEnabled(false);
            if (_elemResizeToLargestButton)
                _elemResizeToLargestButton->setEnabled(false);
        }
    }
    for (QLineEdit *field : {_widthTextbox, _heightTextbox, _xCenterTextbox, _yCenterTextbox})
        field->setPlaceholderText(several);
    showTableSwitches();
    switchControlsForCustomNotation();
    populateShapeStyleBox();
    populateTextColorButtons();
    populateConnectorSets();
    if (single && objects.first()->isKindOf<QntDirectlyDrawedElement>())
        populateColorPaletteForElement(objects.first());
    else
        populateColorPalette();
}

QntElementModeInspector *QntGroupModeInspector::elementModeInspector()
{
    if (!m_elementInspector) {
        m_elementInspector = std::make_unique<QntElementModeInspector>(VREmbedded{}, nullptr);
        m_elementInspector->setMultipleSelectionMode(1);
        bindToDrawing(*m_elementInspector);
    }
    return m_elementInspector.get();
}

void QntGroupModeInspector::bindToDrawing(VRInspectorBase &embedded) const
{
    // The controls of a document window read and change that window's drawing, also while
    // another document is main.
    if (m_drawing)
        embedded.setTargetDrawing(m_drawing);
}

QntElementModeInspector *QntGroupModeInspector::elementsInspector()
{
    QntElementModeInspector *inspector = elementModeInspector();
    inspector->setMultipleSelectionMode(1);
    inspector->setObjectsClass(&QntElement::staticClass());
    // A table action before may have left it working on table cells.
    inspector->setMultipleTextCellsSelectionMode(0);
    return inspector;
}

QntElementTextEditor *QntGroupModeInspector::elementTextEditor()
{
    if (!m_elementTextEditor) {
        m_elementTextEditor = std::make_unique<QntElementTextEditor>();
        m_elementTextEditor->setMultipleSelectionMode(1);
        bindToDrawing(*m_elementTextEditor);
    }
    return m_elementTextEditor.get();
}

void QntGroupModeInspector::inOneStep(const QString &name, const std::function<void()> &change)
{
    if (_messageLabel) {
        _messageLabel->clear();
        _messageLabel->hide();
    }
    finishEditingInPlaceAmongSeveral();
    vrInOneUndoStep(undoManager(), name, change);
}

void QntGroupModeInspector::selectedObjectDidChange(const Notification &notification)
{
    VRInspectorBase::selectedObjectDidChange(notification);
    refreshControls();
}

// ---------------------------------------------------------------- helpers

VRObjectList QntGroupModeInspector::selection() const
{
    VRDrawing *drawing = targetDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    return layer ? layer->selection() : VRObjectList();
}

VRUndoManager *QntGroupModeInspector::undoManager() const
{
    VRDrawing *drawing = targetDrawing();
    return drawing ? drawing->undoManager() : nullptr;
}

bool QntGroupModeInspector::changeSelection(const QString &name,
                                            const std::function<bool(const VRObjectRef &)> &change)
{
    if (_messageLabel) {
        _messageLabel->clear();
        _messageLabel->hide();
    }
    finishEditingInPlaceAmongSeveral();
    const VRObjectList objects = selection();
    VRUndoManager *undo = undoManager();
    if (undo)
        undo->beginUndoGrouping();
    bool changed = false;
    for (const VRObjectRef &object : objects) {
        if (object && change(object)) {
            object->notifyVisualChange();
            changed = true;
        }
    }
    if (undo) {
        if (changed)
            undo->setActionName(name);
        undo->endUndoGrouping();
    }
    return changed;
}

void QntGroupModeInspector::refuse(const QString &message)
{
    if (!_messageLabel)
        return;
    _messageLabel->setText(message);
    // Shown in the panel, or as a tool tip where the controls sit in a document window.
    if (_attachedWindow)
        _messageLabel->show();
    if (QWidget *focus = QApplication::focusWidget())
        QToolTip::showText(focus->mapToGlobal(QPoint(0, focus->height())), message, focus);
}
