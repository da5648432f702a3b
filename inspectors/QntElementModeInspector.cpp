#include "inspectors/QntElementModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntEscapedView.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingView.h"
#include "platform/DelayedPerform.h"

#include <QCheckBox>
#include <QVBoxLayout>

QntElementModeInspector::QntElementModeInspector(const QString &windowNibName, QObject *parent)
    : QntContextMenu(windowNibName, parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_elementObservers.push_back(
        center.addObserver(kQntElementRightMouseUpNotification, nullptr,
                           [this](const Notification &n) { rightMouseUpOnElement(n); }));
    m_elementObservers.push_back(
        center.addObserver(kQntShowContextObjectPropertiesNotification, nullptr,
                           [this](const Notification &n) { openStylePropertiesPanel(n); }));
    m_elementObservers.push_back(
        center.addObserver(kQntShowTextEditorNotification, nullptr,
                           [this](const Notification &n) { openTextEditor(n); }));
    m_elementObservers.push_back(
        center.addObserver(kQntHighlightChangedNotification, nullptr,
                           [this](const Notification &n) { highlightElementInGroupChanged(n); }));
    m_elementObservers.push_back(
        center.addObserver(kQntNoHighlightNotification, nullptr,
                           [this](const Notification &n) { noHighlightElementInGroup(n); }));
    m_elementObservers.push_back(center.addObserver(
        kQntTextCellSelectionChangedNotification, nullptr,
        [this](const Notification &n) { elementTableTextCellSelectionChanged(n); }));
    const std::pair<const QString *, void (QntElementModeInspector::*)(const Notification &)>
        verbs[] = {
            {&kQntSaveElementDefaultsNotification,
             &QntElementModeInspector::saveAsDefaultsNotification},
            {&kQntApplyElementDefaultsNotification,
             &QntElementModeInspector::applyDefaultsNotification},
            {&kQntResetDefaultsForElementNotification,
             &QntElementModeInspector::resetDefaultsNotification},
            {&kQntResetDefaultsForCurrentOnlyElementNotification,
             &QntElementModeInspector::resetDefaultsForCurrentOnlyNotification},
            {&kQntStyleShouldBeAppliedNotification,
             &QntElementModeInspector::styleShouldBeAppliedNotification},
            {&kQntElementAddedToLayerNotification, &QntElementModeInspector::applyDefaults},
        };
    for (const auto &[name, handler] : verbs)
        m_elementObservers.push_back(center.addObserver(
            *name, nullptr, [this, verb = handler](const Notification &n) { (this->*verb)(n); }));
}

QntElementModeInspector::QntElementModeInspector(VREmbedded, QWidget *hostWindow)
    : QntContextMenu(VREmbedded{}, hostWindow)
{
}

QntElementModeInspector::~QntElementModeInspector()
{
    m_elementObservers.clear();
    closeAttachedWindows();
    delete _viewTableStyleHorizontal;
    delete _viewCellStyleHorizontal;
    delete _viewImageShapeStyleHorizontal;
    delete _viewStickyPointToolbar;
}

std::shared_ptr<QntElement> QntElementModeInspector::contextElement() const
{
    if (!_contextObject || !_contextObject->isKindOf<QntElement>())
        return {};
    return std::static_pointer_cast<QntElement>(_contextObject);
}

void QntElementModeInspector::setContextObject(const VRObjectRef &object)
{
    _contextObject = object;
}

const VRClassInfo *QntElementModeInspector::contextObjectClass() const
{
    const std::shared_ptr<QntElement> element = contextElement();
    return element ? &element->classInfo() : nullptr;
}

QString QntElementModeInspector::contextObjectID() const
{
    const std::shared_ptr<QntElement> element = contextElement();
    return element ? element->ID() : QString();
}

QPointF QntElementModeInspector::menuPosition()
{
    // The outline's bounds, so that the arrow touches the drawn shape and not its shadow.
    const QRectF bounds = _contextObject ? _contextObject->logicalBounds() : QRectF();
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!view) {
        _contextMenuPositionOnScreen = QPointF();
        return _contextMenuPositionOnScreen;
    }
    const QPointF centre = view->mapFromDrawing(bounds.center());
    _contextMenuPositionOnScreen = AXScreen::fromGlobal(QPointF(view->mapToGlobal(centre)));
    const double scale = view->scale();
    _contextMenuPositionOnScreen.rx() += scale * bounds.width() * 0.5;
    setArrowPosition(AXAttachedWindow::kRight);
    const double columnWidth = _viewVertical ? _viewVertical->width() : 34 + 2 * 6;
    const QRectF screen = AXScreen::frameForPoint(_contextMenuPositionOnScreen);
    if (_contextMenuPositionOnScreen.x() + 10 + columnWidth > screen.right()) {
        setArrowPosition(AXAttachedWindow::kLeft);
        _contextMenuPositionOnScreen.rx() -= scale * bounds.width();
    }
    return _contextMenuPositionOnScreen;
}

void QntElementModeInspector::createVerticalToolbarAtPoint(QPointF point)
{
    // A second right-click on the element opens its text bar.
    if (_attachedWindow) {
        openElementTextEditor();
        return;
    }
    closeAttachedTextEditorWindow();
    _viewVertical = parentMatrixbarView();
    mToolMatrix->setParent(_viewVertical);
    mToolMatrix->move(6, 5);
    mToolMatrix->show();
    int side = arrowPosition();
    // A column that would pass the top or the bottom of the screen extends the other way.
    const QRectF visible = AXScreen::visibleFrameForPoint(point);
    const double height = _viewVertical->height() + 2.0;
    if (!visible.isEmpty()) {
        const bool left = side == AXAttachedWindow::kLeft;
        if (point.y() + height / 2 > visible.bottom())
            side = left ? 5 : 7;
        else if (point.y() - height / 2 < visible.top())
            side = left ? 4 : 6;
    }
    AXAttachedWindow *window = AXAttachedWindow::create(_viewVertical, point, side, 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("elementToolColumn"));
    window->setAttachedToolbarLook(10.0);
    window->addToParentWindow(attachedWindowsHost());
    placeAttachedWindowInScreenFrame(window, point, side);
    _attachedWindow = window;
    window->orderFront(true);
    mToolMatrix->setFocus(Qt::ActiveWindowFocusReason);
}

void QntElementModeInspector::contextMenuDidClose()
{
    if (const std::shared_ptr<QntElement> element = contextElement()) {
        element->setHighlightedForConnectorSnapping(false);
        element->notifyVisualChange();
    }
    _contextObject.reset();
}

void QntElementModeInspector::closeAttachedWindows()
{
    closeAttachedStickyPointWindow();
    closeAttachedTextEditorWindow();
    closeAttachedTableStyleWindow();
    closeAttachedCellStyleWindow();
    closeAttachedImageShapeStyleWindow();
    closeAttachedSimpleStyleWindow();
    QntContextMenu::closeAttachedWindows();
}

void QntElementModeInspector::closeAttachedWindowsWithKind(int mask)
{
    if (mask & kStickySpotWindowKind)
        closeAttachedStickyPointWindow();
    if (mask & kTableStyleWindowKind)
        closeAttachedTableStyleWindow();
    if (mask & kCellStyleWindowKind)
        closeAttachedCellStyleWindow();
    if (mask & kImageShapeStyleWindowKind)
        closeAttachedImageShapeStyleWindow();
    if (mask & kSimpleStyleWindowKind)
        closeAttachedSimpleStyleWindow();
    if (mask & kTextEditorWindowKind)
        closeAttachedTextEditorWindow();
    QntContextMenu::closeAttachedWindowsWithKind(mask);
}

VRObjectList QntElementModeInspector::selectedObjectForCurrentTarget() const
{
    const VRObjectList base = VRInspectorBase::selectedObjectForCurrentTarget();
    if (base.size() == 1 && shapePartsEditingMode() == 1 && _contextObject)
        return {_contextObject};
    if (limitSelectedObjectForCurrentTargetToContextObject() && _contextObject)
        return {_contextObject};
    if (base.size() == 1) {
        if (const std::shared_ptr<QntElement> element = contextElement();
            element && element->onlyContourMode()) {
            const VRObjectRef contour = element->contourObject();
            return contour ? VRObjectList{contour} : VRObjectList{};
        }
    }
    if (multipleTextCellsSelectionMode() != 1)
        return base;
    VRObjectList cells;
    for (const VRObjectRef &object : base) {
        if (object && object->isKindOf<QntElementTable>())
            cells += static_cast<QntElementTable *>(object.get())->cells();
    }
    return cells;
}

void QntElementModeInspector::rightMouseUpOnElement(const Notification &notification)
{
    const VRObjectRef object =
        notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    if (!object)
        return;
    redisplayContentForSelection({object});
}

void QntElementModeInspector::openStylePropertiesPanel(const Notification &)
{
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef object = layer ? layer->singleSelection() : nullptr;
    if (!object || !object->isKindOf<QntElement>())
        return;
    redisplayContentForSelection({object});
    if (!mToolMatrix->selectCellWithTag(11))
        return;
    if (object->isKindOf<QntImageShape>()) {
        createImageShapeStyleToolbar(mToolMatrix);
        return;
    }
    const QntNotationRef notation = drawing->currentNotation();
    if (notation && notation->isCustomizable())
        createSimpleStyleToolbar(mToolMatrix);
}

void QntElementModeInspector::closeAction()
{
    closeAttachedWindows();
}

void QntElementModeInspector::onlyContourModeAction()
{
    if (const std::shared_ptr<QntElement> element = contextElement()) {
        element->setOnlyContourMode(simpleStyleControls().onlyContourModeCheckbox->isChecked());
        element->notifyVisualChange();
    }
}

QWidget *QntElementModeInspector::makeSimpleStyleSection(VRDrawingDocument *document)
{
    auto *section = new QWidget;
    section->setObjectName(QStringLiteral("sectionContourStyle"));
    auto *inspector = new QntElementModeInspector(VREmbedded{}, section);
    QWidget *view = inspector->simpleStyleView();
    // The dark controls keep their look on a dark panel inside the light column.
    view->setAttribute(Qt::WA_StyledBackground);
    view->setStyleSheet(view->styleSheet()
                        + QStringLiteral("QntEscapedView#simpleStyleView { background: "
                                         "rgb(64, 64, 66); border-radius: 6px; }"));
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(view);
    view->show();
    inspector->followSelection(document);
    section->adjustSize();
    return section;
}

void QntElementModeInspector::followSelection(VRDrawingDocument *document)
{
    m_followedDocument = document;
    setTargetDrawing(document ? document->drawing() : nullptr);
    m_elementObservers.clear();
    if (!document)
        return;
    const auto refresh = [this] {
        VRDrawingDocument *followed = m_followedDocument;
        VRDrawing *drawing = followed ? followed->drawing() : nullptr;
        auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        const bool element = single && single->isKindOf<QntElement>();
        setContextObject(element ? single : VRObjectRef());
        if (element)
            populateSimpleStyleToolbar();
        simpleStyleView()->setEnabled(element);
    };
    m_elementObservers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRLayerSelectionDidChange, nullptr, [this, refresh](const Notification &n) {
            VRDrawingDocument *followed = m_followedDocument;
            VRDrawing *drawing = followed ? followed->drawing() : nullptr;
            if (!drawing)
                return;
            for (int i = 0; i < drawing->countOfLayers(); ++i) {
                if (drawing->objectInLayersAtIndex(i) == n.object) {
                    refresh();
                    return;
                }
            }
        }));
    // Edits made elsewhere (the attached toolbar, undo) show here too, once per turn.
    m_elementObservers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRStyleDidChangeNotification, nullptr, [this, refresh](const Notification &) {
            if (!_contextObject || m_refreshPending)
                return;
            m_refreshPending = true;
            DelayedPerform::performLater(this, [this, refresh] {
                m_refreshPending = false;
                refresh();
            });
        }));
    refresh();
}
