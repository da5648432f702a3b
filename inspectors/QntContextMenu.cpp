#include "inspectors/QntContextMenu.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "app/window/DIDizeZoziDocument.h"
#include "framework/base/VRConstants.h"
#include "framework/base/VRNumberFormat.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "framework/view/VRViewController.h"
#include "library/QntNotationSubgroup.h"

#include <QLocale>
#include <QTreeWidget>

#include <cmath>

QntContextMenu::QntContextMenu(const QString &windowNibName, QObject *parent)
    : VRInspectorBase(windowNibName, parent)
    , mToolMatrix(new QntButtonMatrix)
{
    mToolMatrix->setAction([this](QntButtonMatrix *matrix) { toolButtonMatrixAction(matrix); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(
        kQntCloseAttachedWindowsWithKindNotification, nullptr, [this](const Notification &n) {
            closeAttachedWindowsWithKind(
                static_cast<int>(n.userInfo.value(QStringLiteral("mask")).toLongLong()));
        }));
    m_observers.push_back(
        center.addObserver(kQntElementMovedNotification, nullptr,
                           [this](const Notification &) { closeAttachedWindows(); }));
    m_observers.push_back(
        center.addObserver(kQntCloseAttachedWindowsNotification, nullptr,
                           [this](const Notification &) { closeAttachedWindows(); }));
    m_observers.push_back(
        center.addObserver(kQXPopoverDidCloseNotification, nullptr, [this](const Notification &n) {
            if (n.object && n.object == _attachedWindowMatrixbar.data())
                _attachedWindowMatrixbar = nullptr;
        }));
    m_observers.push_back(
        center.addObserver(kQntStyleShouldBeCopiedNotification, nullptr,
                           [this](const Notification &n) { styleShouldBeCopiedNotification(n); }));
}

QntContextMenu::QntContextMenu(VREmbedded, QWidget *hostWindow)
    : VRInspectorBase(VREmbedded{}, hostWindow)
    , mToolMatrix(new QntButtonMatrix)
{
}

QntContextMenu::~QntContextMenu()
{
    m_observers.clear();
    // The persistent views live outside their windows while no window shows them.
    for (QWidget *view : {static_cast<QWidget *>(_viewSimpleStyle.data()),
                          static_cast<QWidget *>(_viewReplaceElement.data()),
                          static_cast<QWidget *>(_viewShapeParts.data()),
                          static_cast<QWidget *>(_viewVertical.data())}) {
        if (view && !view->parent())
            delete view;
    }
    if (mToolMatrix && !mToolMatrix->parent())
        delete mToolMatrix;
}

QWidget *QntContextMenu::attachedWindowsHost() const
{
    VRDrawingDocument *document = currentDocument();
    return document ? document->windowForSheet() : nullptr;
}

QntEscapedView *QntContextMenu::parentMatrixbarView()
{
    mToolMatrix->setCellSize(QSize(34, 34));
    mToolMatrix->setIntercellSpacing(QSize(4, 2));
    mToolMatrix->sizeToCells();
    mToolMatrix->move(6, 5);
    // The matrix keeps the size its 2-point spacing gave it.
    mToolMatrix->setIntercellSpacing(QSize(0, 0));
    auto *view = new QntEscapedView(
        QRect(0, 0, mToolMatrix->width() + 2 * 6, mToolMatrix->height() + 2 * 5));
    return view;
}

void QntContextMenu::redisplayContentForSelection(const VRObjectList &selection)
{
    if (m_documentChanged) {
        // Another document became main: what this inspector showed belongs to the old one. A
        // right-click in a window that was not the active one shows the column first and makes
        // that window's document main after it; the column is then the new document's and stays.
        m_documentChanged = false;
        const VRObjectRef shown = contextObject();
        if (shown && shown->drawing() && shown->drawing() == currentDrawing())
            return;
        closeAttachedWindows();
        contextMenuDidClose();
        return;
    }
    if (selection.size() != 1) {
        closeAttachedWindows();
        contextMenuDidClose();
        return;
    }
    const VRObjectRef object = selection.first();
    if (!object)
        return;
    if ((object->isKindOf<QntElement>() && object->state() == 4)
        || (object->isKindOf<QntConnector>() && object->state() == 11)) {
        object->setState(0);
        return;
    }
    setContextObject(object);
    if (VRDrawing *drawing = object->drawing()) {
        VRViewController *controller = drawing->owner();
        auto *tool =
            controller ? dynamic_cast<VRSelectAndEditTool *>(controller->drawingTool()) : nullptr;
        if (tool && tool->operationMode() == 1)
            return;
    }
    const VRClassInfo *cls = contextObjectClass();
    if (!cls || !object->isKindOfClass(*cls)) {
        closeAttachedWindows();
        contextMenuDidClose();
        return;
    }
    const QPointF p = menuPosition();
    populateToolMatrix();
    createVerticalToolbarAtPoint(p);
    extractStyleForObject(object);
    updateSelectColorButton();
    if (_attachedWindow)
        _attachedWindow->redisplayLater();
}

void QntContextMenu::documentDidChange(const Notification &)
{
    m_documentChanged = true;
}

void QntContextMenu::selectedObjectDidChange(const Notification &notification)
{
    const VRObjectRef object = contextObject();
    VRDrawing *drawing = currentDrawing();
    if (!drawing)
        return;
    VRObjectDrawingLayer *layer = nullptr;
    for (int i = 0; i < drawing->countOfLayers(); ++i) {
        VRLayer *candidate = drawing->objectInLayersAtIndex(i);
        if (candidate == notification.object) {
            layer = dynamic_cast<VRObjectDrawingLayer *>(candidate);
            break;
        }
    }
    if (object && layer && layer->isSelectedObject(*object))
        return;
    closeAttachedWindows();
    contextMenuDidClose();
    if (object)
        object->setDblClickCount(0);
}

void QntContextMenu::closeAttachedWindow()
{
    if (!_attachedWindow)
        return;
    mToolMatrix->hide();
    mToolMatrix->setParent(nullptr);
    _attachedWindow->hide();
    _attachedWindow->deleteLater();
    _attachedWindow = nullptr;
    _viewVertical = nullptr;
}

void QntContextMenu::closeAttachedWindowsImpl()
{
    closeAttachedWindow();
    closeAttachedReplaceElementWindow();
    // A popover left open would outlive the column it was chosen from.
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->closePopover();
    closeAttachedShapePartsWindow();
}

void QntContextMenu::closeAttachedWindows()
{
    closeAttachedWindowsImpl();
}

void QntContextMenu::closeAttachedWindowsWithKind(int)
{
    closeAttachedWindowsImpl();
}

void QntContextMenu::placeAttachedWindowInScreenFrame(AXAttachedWindow *window, QPointF point,
                                                      int arrowPos)
{
    if (!window)
        return;
    QPointF start;
    switch (arrowPos) {
    case 0: start = {5, 0}; break;
    case 1: start = {0, -5}; break;
    case 2: start = {-5, 0}; break;
    case 3: start = {0, 5}; break;
    default: break;
    }
    // The screen that holds the attach point, not the first screen: on several monitors the
    // window stays on the monitor of its object.
    const QRectF visible = AXScreen::visibleFrameForPoint(point);
    if (visible.isEmpty())
        return;
    const auto dragBy = [&](QPointF correction) {
        window->prepareMovingFromPoint(point + start);
        window->moveToPoint(point + correction);
    };
    // With y up, QRectF's bottom() is the top edge and top() the bottom edge.
    const QRectF frame = window->frame();
    if (frame.right() > visible.right())
        dragBy({visible.right() - frame.right(), 0});
    const QRectF afterRight = window->frame();
    if (afterRight.bottom() > visible.bottom())
        dragBy({0, visible.bottom() - afterRight.bottom()});
    const QRectF afterTop = window->frame();
    if (afterTop.top() < visible.top())
        dragBy({0, visible.top() - afterTop.top()});
    const QRectF afterBottom = window->frame();
    if (afterBottom.left() < visible.left())
        dragBy({visible.left() - afterBottom.left(), 0});
}

namespace {
// The right middle of the column's selected cell, on screen.
QPointF rightMiddleOfSelectedCell(QntButtonMatrix *sender)
{
    const QRect cell = sender->cellFrameAtRow(std::max(0, sender->selectedRow()));
    const QPoint rightMiddle(cell.x() + cell.width(), cell.y() + cell.height() / 2);
    return AXScreen::fromGlobal(QPointF(sender->mapToGlobal(rightMiddle)));
}
} // namespace

void QntContextMenu::attachPointBesideSelectedCell(QntButtonMatrix *sender, QPointF *point,
                                                   int *side) const
{
    sideBesideCell(sender, rightMiddleOfSelectedCell(sender), point, side);
}

void QntContextMenu::sideBesideCell(QntButtonMatrix *sender, QPointF p, QPointF *point,
                                    int *side) const
{
    int chosen = AXAttachedWindow::kRight;
    const double right = std::min(totalScreensWidth(), AXScreen::visibleFrameForPoint(p).right());
    if (p.x() + sender->width() + 10.0 > right) {
        chosen = AXAttachedWindow::kLeft;
        p.rx() -= sender->cellFrameAtRow(std::max(0, sender->selectedRow())).width();
    }
    *point = p;
    *side = chosen;
}

QPointF QntContextMenu::pointOfAttachedWindow(AXAttachedWindow *window, QWidget *view,
                                              QPointF point)
{
    if (!view)
        return point;
    // The toolbar's window is wider than its view by the arrow and the two margins of the
    // standard look.
    const double needed = view->width() + 10.0 + 2.0;
    const double right =
        std::min(totalScreensWidth(), AXScreen::visibleFrameForPoint(point).right());
    const double excess = point.x() + needed - right;
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *mainView = document ? document->mainView() : nullptr;
    if (excess <= 0 || !mainView)
        return point;
    auto *windowDocument = dynamic_cast<DIDizeZoziDocument *>(document);
    if (windowDocument)
        windowDocument->setKeepAttachedWindowWhenScrolling(true);
    const QPointF centre = mainView->centredPointInDocView();
    const QPointF before = QPointF(mainView->mapToGlobal(mainView->mapFromDrawing(centre)));
    const double scale = mainView->scale() > 0 ? mainView->scale() : 1.0;
    mainView->scrollPointToCentre(centre + QPointF(excess / scale, 0));
    const QPointF after = QPointF(mainView->mapToGlobal(mainView->mapFromDrawing(centre)));
    if (windowDocument)
        windowDocument->setKeepAttachedWindowWhenScrolling(false);
    // Near the end of the drawing it may scroll less than asked: everything moves by what it
    // really scrolled, so the column keeps pointing at its element.
    const double moved = before.x() - after.x();
    if (std::abs(moved) < 0.5)
        return point;
    if (window)
        window->moveWithAttachPoint({-moved, 0});
    return {point.x() - moved, point.y()};
}

AXAttachedWindow *QntContextMenu::openToolbarBesideSelectedCell(QntButtonMatrix *sender,
                                                                QWidget *content, bool makeRoom)
{
    // The size its layout asks for (adjustSize would widen a parentless view to a window's
    // minimum).
    content->resize(content->sizeHint());
    QPointF anchor = rightMiddleOfSelectedCell(sender);
    if (makeRoom)
        anchor = pointOfAttachedWindow(_attachedWindow, content, anchor);
    QPointF point;
    int side = AXAttachedWindow::kRight;
    sideBesideCell(sender, anchor, &point, &side);
    AXAttachedWindow *window = AXAttachedWindow::create(content, point, side, 0.0);
    if (!window)
        return nullptr;
    window->setAttachedToolbarLook(10.0);
    window->addToParentWindow(attachedWindowsHost());
    placeAttachedWindowInScreenFrame(window, point, side);
    window->orderFront(true);
    return window;
}

VRUndoManager *QntContextMenu::currentUndoManager() const
{
    VRDrawing *drawing = currentDrawing();
    return drawing ? drawing->undoManager() : nullptr;
}

void QntContextMenu::beginContinuousChange()
{
    endContinuousChange();
    m_continuousUndoManager = currentUndoManager();
    if (m_continuousUndoManager)
        m_continuousUndoManager->beginUndoGrouping();
}

void QntContextMenu::endContinuousChange()
{
    if (m_continuousUndoManager)
        m_continuousUndoManager->endUndoGrouping();
    m_continuousUndoManager = nullptr;
}

std::optional<double> QntContextMenu::numberFromField(QntTextFieldCell *field, double previous)
{
    bool ok = false;
    const QString text = field->text().trimmed();
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) {
        field->setText(formattedNumber(previous));
        return std::nullopt;
    }
    return value;
}

QString QntContextMenu::formattedNumber(double value)
{
    return vrFormattedNumber(value);
}
