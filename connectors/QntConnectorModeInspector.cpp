#include "connectors/QntConnectorModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/styles/VRStyle.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "platform/DelayedPerform.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListView>

#include <cmath>
#include <numbers>

namespace {
bool isExactlyThinClass(const VRDrawableObject &o)
{
    return o.isMemberOf<QntConnector>() || o.isMemberOf<QntDecoratedSeparator>()
           || o.isMemberOf<QntFreeConnector>();
}
} // namespace

QntConnectorModeInspector::QntConnectorModeInspector(const QString &windowNibName, QObject *parent)
    : QntContextMenu(windowNibName, parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_connectorObservers.push_back(
        center.addObserver(kQntConnectorRightMouseUpNotification, nullptr,
                           [this](const Notification &n) { rightMouseUpOnConnector(n); }));
    m_connectorObservers.push_back(
        center.addObserver(kQntShowContextObjectPropertiesNotification, nullptr,
                           [this](const Notification &n) { openStylePropertiesPanel(n); }));
    // Undo and redo show in the open toolbars.
    for (const QString &name :
         {kVRUndoManagerDidUndoChangeNotification, kVRUndoManagerDidRedoChangeNotification}) {
        m_connectorObservers.push_back(
            center.addObserver(name, nullptr, [this](const Notification &) {
                if (!contextConnector())
                    return;
                if (_attachedConnectorStyleWindow)
                    populateConnectorSkinToolbar();
                if (_attachedConnectorSimpleStyleWindow)
                    populateConnectorSimpleStyleToolbar();
            }));
    }
    m_connectorObservers.push_back(
        center.addObserver(kQntShowTextEditorNotification, nullptr,
                           [this](const Notification &n) { openTextEditor(n); }));
    m_connectorObservers.push_back(
        center.addObserver(kQXPopoverDidCloseNotification, nullptr, [this](const Notification &n) {
            if (n.object && n.object == m_arrowheadMatrixWindow.data())
                m_arrowheadMatrixWindow = nullptr;
        }));
    const std::pair<const QString *, void (QntConnectorModeInspector::*)(const Notification &)>
        verbs[] = {
            {&kQntSaveConnectorDefaultsNotification,
             &QntConnectorModeInspector::saveAsDefaultsNotification},
            {&kQntApplyConnectorDefaultsNotification,
             &QntConnectorModeInspector::applyDefaultsNotification},
            {&kQntResetDefaultsForCurrentOnlyConnectorNotification,
             &QntConnectorModeInspector::resetDefaultsForCurrentOnlyNotification},
            {&kQntResetDefaultsForConnectorNotification,
             &QntConnectorModeInspector::resetDefaultsNotification},
            {&kQntElementAddedToLayerNotification, &QntConnectorModeInspector::applyDefaults},
            {&kQntStyleShouldBeAppliedNotification,
             &QntConnectorModeInspector::styleShouldBeAppliedNotification},
            {&kQntDidCreateConnectorNotification,
             &QntConnectorModeInspector::connectorCreatedNotification},
        };
    for (const auto &[name, handler] : verbs)
        m_connectorObservers.push_back(center.addObserver(
            *name, nullptr, [this, verb = handler](const Notification &n) { (this->*verb)(n); }));
}

QntConnectorModeInspector::QntConnectorModeInspector(VREmbedded, QWidget *hostWindow)
    : QntContextMenu(VREmbedded{}, hostWindow)
{
}

QntConnectorModeInspector::~QntConnectorModeInspector()
{
    m_connectorObservers.clear();
    closeAttachedWindows();
    for (QWidget *view : {static_cast<QWidget *>(_viewConnectorStyleHorizontal.data()),
                          static_cast<QWidget *>(_viewConnectorSimpleStyleHorizontal.data()),
                          static_cast<QWidget *>(_viewDecoratedSeparatorHorizontal.data())}) {
        if (view && !view->parent())
            delete view;
    }
}

bool QntConnectorModeInspector::isThick(const VRDrawableObject &object)
{
    return object.ID().endsWith(QStringLiteral("Thick"));
}

QColor QntConnectorModeInspector::schemeIconColour(const QntNotation &notation, qint64 schemeId)
{
    const QColor colour = notation.iconColor(schemeId);
    if (colour.isValid())
        return colour;
    const QList<QntColorSchemeData> schemes = notation.colorSchemesList();
    return schemes.isEmpty() ? QColor() : notation.iconColor(schemes.first().schemeId);
}

std::shared_ptr<QntConnector> QntConnectorModeInspector::contextConnector() const
{
    if (!_contextPath || !_contextPath->isKindOf<QntConnector>())
        return {};
    return std::static_pointer_cast<QntConnector>(_contextPath);
}

void QntConnectorModeInspector::setContextObject(const VRObjectRef &object)
{
    _contextPath = object;
}

const VRClassInfo *QntConnectorModeInspector::contextObjectClass() const
{
    return _contextPath ? &_contextPath->classInfo() : nullptr;
}

QString QntConnectorModeInspector::contextObjectID() const
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    return connector ? connector->ID() : QString();
}

QPointF QntConnectorModeInspector::menuPosition()
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!connector || !view) {
        _contextMenuPositionOnScreen = QPointF();
        return _contextMenuPositionOnScreen;
    }
    QPointF p = _contextMenuPosition;
    if (p.isNull())
        p = connector->endPoint();
    const QPointF inView = view->mapFromDrawing(p);
    const QPointF screen = AXScreen::fromGlobal(QPointF(view->mapToGlobal(inView)));
    _contextMenuPositionOnScreen = screen;

    double a = connector->lastSegmentAngle();
    if (a < 0)
        a = 2 * std::numbers::pi - std::abs(a);
    setArrowPosition(AXAttachedWindow::kRight);
    const QRectF s = AXScreen::frameForPoint(screen);
    // The column's size: the open one's, else what its cells will take (three at least).
    QSizeF t;
    if (_viewVertical) {
        t = _viewVertical->size();
    } else {
        const int rows = std::max(3, mToolMatrix->numberOfRows());
        t = QSizeF(mToolMatrix->cellSize().width() + 12,
                   rows * (mToolMatrix->cellSize().height() + 2) + 10);
    }
    constexpr double pi = std::numbers::pi;
    // With y up, QRectF's bottom() is the top edge of the screen.
    if ((a >= 0 && a <= 3 * pi / 8) || (a > 5 * pi / 8 && a <= pi)) {
        setArrowPosition(AXAttachedWindow::kAbove);
        if (screen.y() + 30 + t.height() > s.bottom())
            setArrowPosition(AXAttachedWindow::kBelow);
    } else if ((a > 3 * pi / 8 && a <= 5 * pi / 8) || (a > 11 * pi / 8 && a <= 13 * pi / 8)) {
        setArrowPosition(AXAttachedWindow::kRight);
        if (screen.x() + 30 + t.width() > s.right())
            setArrowPosition(AXAttachedWindow::kLeft);
    } else if ((a > pi && a <= 11 * pi / 8) || (a > 13 * pi / 8 && a < 2 * pi)) {
        setArrowPosition(AXAttachedWindow::kBelow);
        if (screen.y() - 30 - t.height() < s.top())
            setArrowPosition(AXAttachedWindow::kAbove);
    }
    return _contextMenuPositionOnScreen;
}

void QntConnectorModeInspector::createVerticalToolbarAtPoint(QPointF point)
{
    if (_attachedWindow)
        return;
    closeAttachedTextEditorWindow();
    closeAttachedConnectorSimpleStyleWindow();
    closeAttachedSimpleStyleWindow();
    closeAttachedConnectorStyleWindow();
    _viewVertical = parentMatrixbarView();
    mToolMatrix->setParent(_viewVertical);
    mToolMatrix->move(6, 5);
    mToolMatrix->show();
    AXAttachedWindow *window = AXAttachedWindow::create(_viewVertical, point, arrowPosition(), 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("connectorToolColumn"));
    window->setAttachedToolbarLook(30.0);
    window->addToParentWindow(attachedWindowsHost());
    _attachedWindow = window;
    window->orderFront(true);
    mToolMatrix->setFocus(Qt::ActiveWindowFocusReason);
}

void QntConnectorModeInspector::contextMenuDidClose()
{
    const VRObjectRef object = _contextPath;
    _contextPath.reset();
    mStyle.reset();
    mSelectedRendererRef = nullptr;
    // Only a connector of the current drawing is taken out of its selection; a selection
    // change elsewhere (another document) leaves it alone.
    VRDrawing *drawing = currentDrawing();
    if (!object || !drawing || object->drawing() != drawing)
        return;
    if (auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
        layer && layer->isSelectedObject(*object)) {
        layer->removeObjectFromSelection(object);
        layer->setSelectionVisible(true);
    }
}

void QntConnectorModeInspector::populateToolMatrix()
{
    populateMatrix(mToolMatrix);
}

void QntConnectorModeInspector::populateMatrix(QntButtonMatrix *matrix)
{
    matrix->removeAllRows();
    const std::shared_ptr<QntConnector> connector = contextConnector();
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool customizable = notation && notation->isCustomizable();
    const int mode = connector ? connector->mode() : 0;
    const auto add = [matrix](const QString &title, const QString &image, int tag,
                              const QString &toolName, const QColor &background = QColor()) {
        QntButtonMatrix::Cell entry;
        entry.button = columnCell(new QntButtonCell, title, image, title);
        if (background.isValid())
            entry.button->setQntBackgroundColor(background);
        entry.title = title;
        entry.tag = tag;
        entry.representedObject =
            toolName.isEmpty() ? nullptr : VRDrawingTool::drawingToolWithName(toolName);
        matrix->addRow(entry);
    };
    const QString insert = QStringLiteral("Insert Path Point");
    const QString remove = QStringLiteral("Delete Path Point");
    if (mode == 0 || mode == 2) {
        add(QStringLiteral("Connector Style"), QStringLiteral("Qnt Connector Style"), 11, {});
        add(insert, QStringLiteral("Qnt Insert Path Point"), 0, insert);
        add(remove, QStringLiteral("Qnt Delete Path Point"), 0, remove);
    }
    {
        QntButtonMatrix::Cell entry;
        entry.button = columnCell(new TextEditorButtonCell, QStringLiteral("Text Editor"),
                                  QStringLiteral("Qnt Text Editor"), tr("Text Editor (t)"));
        entry.title = QStringLiteral("Text Editor");
        matrix->addRow(entry);
    }
    if (mode == 1 && connector) {
        const bool free = connector->isKindOf<QntFreeConnector>();
        if (free) {
            const QString title = QStringLiteral("Decorated Separator Properties");
            if (customizable)
                add(title, QStringLiteral("DecoratedSeparator"), 0, {});
            else
                add(title, QStringLiteral("DecoratedSeparator"), 11, {},
                    QColor::fromRgbF(0, 0, 0, 0.5));
            add(insert, QStringLiteral("Qnt Insert Path Point"), 0, insert);
            add(remove, QStringLiteral("Qnt Delete Path Point"), 0, remove);
        }
        if (connector->isMemberOf<QntElementArrow>() || free)
            add(QStringLiteral("Replace Element"), QStringLiteral("ReplaceElement"), 0, {});
        if (customizable && !free)
            add(QStringLiteral("Element Style"), QStringLiteral("CustomElementStyle"), 11, {});
        if (!customizable) {
            // The colour cell: the object's scheme colour, opening the scheme popover.
            QntButtonMatrix::Cell entry;
            entry.button = new QntButtonCell;
            entry.button->setObjectName(QStringLiteral("Color Palette"));
            entry.button->setToolTip(tr("Color Palette"));
            entry.button->setBordered(false);
            entry.button->setQntBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5));
            entry.button->setIconSize(QSize(26, 26));
            if (notation)
                entry.button->setIcon(QIcon(QPixmap::fromImage(
                    imageForColor(schemeIconColour(*notation, connector->colorSchemeId())))));
            matrix->addRow(entry);
        }
    }
    matrix->sizeToCells();
}

void QntConnectorModeInspector::toolButtonMatrixAction(QntButtonMatrix *matrix)
{
    const QntButtonMatrix::Cell *cell = matrix ? matrix->selectedCell() : nullptr;
    if (!cell)
        return;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool customizable = notation && notation->isCustomizable();
    const QString title = cell->title;
    if (title == QStringLiteral("Connector Style")) {
        closeAttachedShapePartsWindow();
        if (customizable)
            createConnectorSimpleStyleToolbar(matrix);
        else
            createConnectorStyleToolbar(matrix);
    } else if (title == QStringLiteral("Delete Path Point")
               || title == QStringLiteral("Insert Path Point")) {
        if (cell->representedObject)
            cell->representedObject->set();
        const VRObjectRef object = _contextPath;
        VRDrawing *objectDrawing = object ? object->drawing() : nullptr;
        if (auto *layer = objectDrawing ? objectDrawing->activeLayerOfClass<VRObjectDrawingLayer>()
                                        : nullptr) {
            layer->replaceSelectionWithObject(object);
            layer->setSelectionVisible(true);
        }
        closeAttachedWindows();
        _contextPath.reset();
        return;
    } else if (title == QStringLiteral("Text Editor")) {
        closeAttachedShapePartsWindow();
        // The text bar takes the style windows' place beside the connector.
        closeAttachedConnectorStyleWindow();
        closeAttachedConnectorSimpleStyleWindow();
        if (contextConnector())
            openConnectorTextEditor();
        return;
    } else if (title == QStringLiteral("Element Style")) {
        closeAttachedTextEditorWindow();
        createSimpleStyleToolbar(matrix);
    } else if (title == QStringLiteral("Decorated Separator Properties")) {
        closeAttachedTextEditorWindow();
        closeAttachedReplaceElementWindow();
        if (customizable)
            createConnectorSimpleStyleToolbar(matrix);
        else
            createDecoratedSeparatorToolbar(matrix);
    } else if (title.isEmpty()) {
        closeAttachedDecoratedSeparatorWindow();
        closeAttachedReplaceElementWindow();
        closeAttachedShapePartsWindow();
        createColorToolbar(matrix);
    } else if (title == QStringLiteral("Replace Element")) {
        closeAttachedDecoratedSeparatorWindow();
        closeAttachedConnectorSimpleStyleWindow();
        closeAttachedShapePartsWindow();
        createReplaceElementToolbar(matrix);
    }
    if (cell->representedObject)
        cell->representedObject->set();
}

void QntConnectorModeInspector::rightMouseUpOnConnector(const Notification &notification)
{
    const VRObjectRef object =
        notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    if (!object || !object->isKindOf<QntConnector>())
        return;
    const auto *connector = static_cast<const QntConnector *>(object.get());
    _contextMenuPosition = connector->lastClickedPointAtAdornment() + QPointF(1.0, 0.0);
    redisplayContentForSelection({object});
}

void QntConnectorModeInspector::openStylePropertiesPanel(const Notification &)
{
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef object = layer ? layer->singleSelection() : nullptr;
    if (!object || !object->isKindOf<QntConnector>())
        return;
    _contextMenuPosition = QPointF();
    redisplayContentForSelection({object});
    if (!_attachedWindow || !mToolMatrix->selectCellWithTag(11))
        return;
    const QntNotationRef notation = drawing->currentNotation();
    const bool customizable = notation && notation->isCustomizable();
    if (object->isKindOf<QntElementArrow>()) {
        if (customizable)
            createSimpleStyleToolbar(mToolMatrix);
    } else if (customizable) {
        createConnectorSimpleStyleToolbar(mToolMatrix);
    } else {
        createConnectorStyleToolbar(mToolMatrix);
    }
}

void QntConnectorModeInspector::closeAttachedWindows()
{
    closeAttachedConnectorStyleWindow();
    closeAttachedConnectorSimpleStyleWindow();
    closeAttachedDecoratedSeparatorWindow();
    closeAttachedSimpleStyleWindow();
    closeAttachedTextEditorWindow();
    closeAttachedShapePartsWindow();
    QntContextMenu::closeAttachedWindows();
}

void QntConnectorModeInspector::closeAttachedWindowsWithKind(int mask)
{
    if (mask & kConnectorStyleWindowKind)
        closeAttachedConnectorStyleWindow();
    if (mask & kConnectorSimpleStyleWindowKind)
        closeAttachedConnectorSimpleStyleWindow();
    if (mask & kSeparatorWindowKind)
        closeAttachedDecoratedSeparatorWindow();
    if (mask & kSimpleStyleWindowKind)
        closeAttachedSimpleStyleWindow();
    if (mask & kTextEditorWindowKind)
        closeAttachedTextEditorWindow();
    QntContextMenu::closeAttachedWindowsWithKind(mask);
}

namespace {
void closeToolbarWindow(QPointer<AXAttachedWindow> &window, QWidget *view)
{
    if (!window)
        return;
    if (view) {
        view->hide();
        view->setParent(nullptr);
    }
    window->hide();
    window->deleteLater();
    window = nullptr;
}
} // namespace

void QntConnectorModeInspector::closeAttachedConnectorStyleWindow()
{
    if (m_arrowheadMatrixWindow) {
        m_arrowheadMatrixWindow->hide();
        m_arrowheadMatrixWindow->deleteLater();
        m_arrowheadMatrixWindow = nullptr;
    }
    closeToolbarWindow(_attachedConnectorStyleWindow, _viewConnectorStyleHorizontal);
}

void QntConnectorModeInspector::closeAttachedDecoratedSeparatorWindow()
{
    closeToolbarWindow(_attachedDecoratedSeparatorWindow, _viewDecoratedSeparatorHorizontal);
}

void QntConnectorModeInspector::openToolbar(QntButtonMatrix *sender, QWidget *view,
                                            QPointer<AXAttachedWindow> &window, const QString &name,
                                            bool makeRoom)
{
    window = openToolbarBesideSelectedCell(sender, view, makeRoom);
    if (window)
        window->setObjectName(name);
}

void QntConnectorModeInspector::redisplayToolColumnLater()
{
    if (_attachedWindow)
        _attachedWindow->redisplayLater();
}

// ---------------------------------------------------------------- kinds

VRObjectList QntConnectorModeInspector::connectorsInSelectionOfKind(int kind) const
{
    VRObjectList result;
    if (multipleSelectionMode() != 1) {
        if (contextConnector())
            result.append(_contextPath);
        return result;
    }
    const auto addOnce = [&result](const VRObjectRef &o) {
        if (!result.contains(o))
            result.append(o);
    };
    for (const VRObjectRef &o : selectedObjectForCurrentTarget()) {
        if (!o)
            continue;
        bool collected = false;
        switch (kind) {
        case kThinConnectors: collected = isExactlyThinClass(*o) && !isThick(*o); break;
        case kThickConnectors: collected = o->isMemberOf<QntConnector>() && isThick(*o); break;
        case kElementArrows: collected = o->isMemberOf<QntElementArrow>(); break;
        case kDecoratedSeparators: collected = o->isMemberOf<QntDecoratedSeparator>(); break;
        default: break;
        }
        if (collected)
            addOnce(o);
        if (!(kind == kDecoratedSeparators && collected) && o->isMemberOf<QntFreeConnector>())
            addOnce(o);
        if (kind == kAllConnectors && o->isKindOf<QntConnector>())
            addOnce(o);
        if (kind == kPlainConnectors
            && (o->isMemberOf<QntConnector>() || o->isKindOf<QntFreeConnector>()))
            addOnce(o);
    }
    return result;
}

VRObjectRef QntConnectorModeInspector::firstConnectorInSelectionOfKind(int kind) const
{
    for (const VRObjectRef &o : selectedObjectForCurrentTarget()) {
        if (!o)
            continue;
        switch (kind) {
        case kAllConnectors:
            if (o->isKindOf<QntConnector>())
                return o;
            break;
        case kThinConnectors:
            if (isExactlyThinClass(*o) && !isThick(*o))
                return o;
            break;
        case kThickConnectors:
            if (o->isMemberOf<QntConnector>() && isThick(*o))
                return o;
            break;
        case kElementArrows:
            if (o->isMemberOf<QntElementArrow>())
                return o;
            break;
        case kPlainConnectors:
            if (o->isMemberOf<QntConnector>())
                return o;
            break;
        default: return nullptr;
        }
    }
    return nullptr;
}

QString QntConnectorModeInspector::connectorId() const
{
    if (multipleSelectionMode() == 1) {
        const std::shared_ptr<QntConnector> connector = contextConnector();
        return connector ? connector->ID() : QString();
    }
    const QVariant id = lastAppliedAdornmentId();
    return id.metaType().id() == QMetaType::QString ? id.toString() : QString();
}

VRObjectList QntConnectorModeInspector::selectedObjectForCurrentTarget() const
{
    const VRObjectList base = VRInspectorBase::selectedObjectForCurrentTarget();
    if (base.size() == 1 && shapePartsEditingMode() == 1 && _contextPath)
        return {_contextPath};
    if (limitSelectedObjectForCurrentTargetToContextObject() && _contextPath)
        return {_contextPath};
    return base;
}

void QntConnectorModeInspector::createShapePartsToolbar(QntButtonMatrix *sender)
{
    closeAttachedConnectorStyleWindow();
    QntContextMenu::createShapePartsToolbar(sender);
}

// ---------------------------------------------------------------- routing

int QntConnectorModeInspector::routingTagForConnector(const QntConnector &connector)
{
    if (connector.isCurve())
        return kCurveRouting;
    if (connector.routing() == 1)
        return kOrthogonalRouting;
    if (connector.routing() == 3)
        return kAutomaticOrthogonalRouting;
    // An automatic polyline that found a straight way is still an automatic polyline: the
    // routing is asked before the number of points, so that defaults keep it.
    if (connector.routing() == 4)
        return kAutomaticPolylineRouting;
    if (connector.path().elementCount() == 2)
        return kStraightRouting;
    return kZigZagRouting;
}

void QntConnectorModeInspector::selectRoutingTag(QComboBox *popUp, int tag)
{
    if (!popUp)
        return;
    const int index = popUp->findData(tag);
    if (index >= 0)
        popUp->setCurrentIndex(index);
}

void QntConnectorModeInspector::changeConnectorTypeAction(QComboBox *sender)
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!sender || !connector)
        return;
    switch (sender->currentData().toInt()) {
    case kZigZagRouting: connector->makeZigZag(); break;
    case kCurveRouting: connector->makeCurve(); break;
    case kOrthogonalRouting: connector->routeOrthogonal(); break;
    case kStraightRouting: connector->makeStraight(); break;
    case kAutomaticPolylineRouting: connector->makeRoutingColaPolyline(); break;
    case kAutomaticOrthogonalRouting: connector->makeRoutingColaOrthogonal(); break;
    default: return;
    }
    connector->notifyVisualChange();
}

// ---------------------------------------------------------------- decorated separators

const QntConnectorModeInspector::SeparatorControls &QntConnectorModeInspector::separatorControls()
{
    if (!_viewDecoratedSeparatorHorizontal)
        buildDecoratedSeparatorView();
    return m_separator;
}

void QntConnectorModeInspector::buildDecoratedSeparatorView()
{
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("decoratedSeparatorView"));
    view->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    const auto row = [this, view, grid](int r, const QString &title, const QString &name,
                                        double min, double max,
                                        void (QntConnectorModeInspector::*action)()) {
        QntDoubleSlider *slider = QntDoubleSlider::create(view, name, min, max, 140);
        grid->addWidget(new QLabel(title, view), r, 0);
        grid->addWidget(slider, r, 1);
        connect(slider, &QntDoubleSlider::doubleValueChanged, this, [this, action] {
            if (!m_filling)
                (this->*action)();
        });
        connect(slider, &QSlider::sliderPressed, this, [this] { beginContinuousChange(); });
        connect(slider, &QSlider::sliderReleased, this, [this] { endContinuousChange(); });
        return slider;
    };
    m_separator.intervalSlider =
        row(0, tr("Interval"), QStringLiteral("intervalSlider"), 2.0, 100.0,
            &QntConnectorModeInspector::decoratedSeparatorIntervalAction);
    m_separator.scaleSlider = row(1, tr("Scale"), QStringLiteral("scaleSlider"), 0.1, 4.0,
                                  &QntConnectorModeInspector::decoratedSeparatorScaleAction);
    m_separator.leaderSlider = row(2, tr("Leader"), QStringLiteral("leaderSlider"), 0.0, 100.0,
                                   &QntConnectorModeInspector::decoratedSeparatorLeaderAction);
    _viewDecoratedSeparatorHorizontal = view;
}

namespace {
QntPathDecorator *decoratorOf(const VRDrawableObject &object)
{
    const VRStyleRef style = object.style();
    if (!style)
        return nullptr;
    const auto found = style->renderersOfClass(QntPathDecorator::staticClass());
    return found.isEmpty() ? nullptr : static_cast<QntPathDecorator *>(found.last().get());
}
} // namespace

void QntConnectorModeInspector::createDecoratedSeparatorToolbar(QntButtonMatrix *sender)
{
    if (_attachedDecoratedSeparatorWindow || !sender)
        return;
    populateDecoratedSeparatorToolbar();
    openToolbar(sender, _viewDecoratedSeparatorHorizontal, _attachedDecoratedSeparatorWindow,
                QStringLiteral("decoratedSeparatorWindow"), true);
}

void QntConnectorModeInspector::populateDecoratedSeparatorToolbar()
{
    separatorControls();
    QntPathDecorator *decorator = _contextPath ? decoratorOf(*_contextPath) : nullptr;
    m_filling = true;
    m_separator.leaderSlider->setDoubleValue(decorator ? decorator->leaderDistance() : 0.0);
    m_separator.scaleSlider->setDoubleValue(decorator ? decorator->scale() : 0.0);
    m_separator.intervalSlider->setDoubleValue(decorator ? decorator->interval() : 0.0);
    m_filling = false;
}

namespace {
template <typename Setter>
void setOnSeparators(QntConnectorModeInspector &inspector, const VRObjectList &list, Setter setter)
{
    const VRObjectRef remembered = inspector.contextObject();
    for (const VRObjectRef &s : list) {
        inspector.setContextObject(s);
        if (QntPathDecorator *decorator = decoratorOf(*s)) {
            setter(*decorator);
            s->notifyVisualChange();
        }
    }
    inspector.setContextObject(remembered);
}
} // namespace

void QntConnectorModeInspector::decoratedSeparatorIntervalAction()
{
    const double value = m_separator.intervalSlider->doubleValue();
    setOnSeparators(*this, connectorsInSelectionOfKind(kDecoratedSeparators),
                    [value](QntPathDecorator &d) { d.setInterval(value); });
    redisplayToolColumnLater();
}

void QntConnectorModeInspector::decoratedSeparatorScaleAction()
{
    const double value = m_separator.scaleSlider->doubleValue();
    setOnSeparators(*this, connectorsInSelectionOfKind(kDecoratedSeparators),
                    [value](QntPathDecorator &d) { d.setScale(value); });
    redisplayToolColumnLater();
}

void QntConnectorModeInspector::decoratedSeparatorLeaderAction()
{
    const double value = m_separator.leaderSlider->doubleValue();
    setOnSeparators(*this, connectorsInSelectionOfKind(kDecoratedSeparators),
                    [value](QntPathDecorator &d) { d.setLeaderDistance(value); });
    redisplayToolColumnLater();
}
