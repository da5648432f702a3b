// VRDrawingView: mouse, keyboard, wheel and widget events, turned into tool calls.
#include "framework/view/VRDrawingView.h"

#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRScrollBarStyle.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/view/VRViewController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QWheelEvent>

#include <cmath>

VRToolEvent VRDrawingView::toolEvent(QMouseEvent *event) const
{
    VRToolEvent e;
    e.rawPoint = mapToDrawing(event->position());
    e.point = snapToGrid(e.rawPoint);
    e.viewPosition = event->position().toPoint();
    e.globalPosition = event->globalPosition();
    e.button = event->button();
    e.modifiers = event->modifiers();
    return e;
}

void VRDrawingView::mousePressEvent(QMouseEvent *event)
{
    VRViewController::setCurrent(m_controller);
    if (m_inlineEditor)
        endInlineEditing(true);
    setFocus();
    m_pressButton = event->button();
    if (event->button() == Qt::RightButton)
        return;
    if (event->button() != Qt::LeftButton)
        return;
    // A press on the group element holding the highlighted member keeps the highlight, so that a
    // double-click on another member moves it there; a press anywhere else ends it.
    if (m_highlighted) {
        const VRObjectRef hit = objectAtPoint(toolEvent(event).rawPoint);
        if (!hit || !hit->parts().contains(m_highlighted))
            setHighlightedObject(nullptr);
    }
    m_pressed = true;
    drawingTool()->mousePressed(*this, toolEvent(event));
}

void VRDrawingView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        drawingTool()->mouseDragged(*this, toolEvent(event));
        return;
    }
    drawingTool()->mouseMoved(*this, toolEvent(event));
}

void VRDrawingView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && m_pressButton == Qt::RightButton) {
        m_pressButton = Qt::NoButton;
        rightMouseUp(mapToDrawing(event->position()));
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    // The tool may change (auto-revert) during the release; hold the one that got the press.
    VRDrawingTool *tool = drawingTool();
    tool->mouseReleased(*this, toolEvent(event));
    if (m_fullRepaintAfterGesture) {
        m_fullRepaintAfterGesture = false;
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    drawingTool()->mouseDoubleClicked(*this, toolEvent(event));
}

void VRDrawingView::nudgeSelection(QPointF delta)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->isLocked())
        return;
    const VRObjectList objects = layer->selectedAvailableObjects();
    if (objects.isEmpty())
        return;
    if (m_drawing->refusesObjectsTooFarOut(objects, delta))
        return;
    VRUndoManager *undo = m_drawing->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    QRectF dirty;
    for (const VRObjectRef &o : objects) {
        dirty |= o->bounds();
        o->setLocation(o->location() + delta);
        dirty |= o->bounds();
    }
    QntElement::carryHeldObjects(objects, delta);
    QntElement::fitHoldersAcross(objects, delta);
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(QStringLiteral("Move"));
    }
    updateDrawingRect(dirty);
    postObjectsMoved(objects);
    if (objects.size() == 1)
        postShapeInfo(objects.first());
}

void VRDrawingView::keyPressEvent(QKeyEvent *event)
{
    VRDrawingTool *tool = drawingTool();
    if (tool->keyPressed(*this, event))
        return;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const double step = (mods & Qt::ShiftModifier) ? 10.0 : 1.0;
    switch (key) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace: deleteSelection(); return;
    case Qt::Key_Left: nudgeSelection({-step, 0}); return;
    case Qt::Key_Right: nudgeSelection({step, 0}); return;
    case Qt::Key_Up: nudgeSelection({0, -step}); return;
    case Qt::Key_Down: nudgeSelection({0, step}); return;
    case Qt::Key_Escape:
        m_controller->setDrawingTool(nullptr);
        setHighlightedObject(nullptr);
        return;
    default: break;
    }
    if (key == Qt::Key_I && mods == Qt::ControlModifier) {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        NotificationCenter::defaultCenter().post(kQntShowContextObjectPropertiesNotification, this,
                                                 single ? objectInfo(single) : QVariantMap());
        return;
    }
    if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
        // Tool shortcuts; the connector key on one selected element arms it for the connector.
        VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
        for (const QString &name : registry.toolNames()) {
            VRDrawingTool *candidate = registry.drawingToolWithName(name);
            if (!candidate || candidate->qtKey() == 0 || candidate->qtKey() != key)
                continue;
            if (name == kVRQntConnectorToolName) {
                VRObjectDrawingLayer *layer = activeObjectLayer();
                VRObjectRef single = layer ? layer->singleSelection() : nullptr;
                if (single && isKindOfNamed(*single, u"QntElement"))
                    single->setState(6);
            }
            m_controller->setDrawingTool(candidate);
            return;
        }
        if (key == Qt::Key_T) {
            // The text of the single selection: in place or in the text bar.
            VRObjectDrawingLayer *layer = activeObjectLayer();
            VRObjectRef single = layer ? layer->singleSelection() : nullptr;
            if (single)
                editTextOfObject(single);
            else
                NotificationCenter::defaultCenter().post(kQntShowTextEditorNotification, this, {});
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void VRDrawingView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore(); // the scroll area scrolls
        return;
    }
    const QPointF anchor = mapToDrawing(event->position());
    const double factor = std::pow(1.0015, event->angleDelta().y());
    const QPointF viewportOffset = event->position() + QPointF(pos());
    setScale(m_scale * factor);
    // Keep the point under the pointer where it was.
    if (QScrollArea *area = scrollArea()) {
        const QPointF v = mapFromDrawing(anchor);
        area->horizontalScrollBar()->setValue(int(std::lround(v.x() - viewportOffset.x())));
        area->verticalScrollBar()->setValue(int(std::lround(v.y() - viewportOffset.y())));
    }
    event->accept();
}

void VRDrawingView::focusInEvent(QFocusEvent *event)
{
    VRViewController::setCurrent(m_controller);
    QWidget::focusInEvent(event);
}

void VRDrawingView::showEvent(QShowEvent *event)
{
    VRViewController::setCurrent(m_controller);
    // Every step of a pan repaints the scroll bars: each draws within its own rectangle.
    if (QScrollArea *area = scrollArea()) {
        if (VRScrollBarStyle *style = VRScrollBarStyle::forApplicationStyle()) {
            for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
                if (bar->style() == QApplication::style())
                    bar->setStyle(style);
        }
    }
    QWidget::showEvent(event);
}

void VRDrawingView::hideEvent(QHideEvent *event)
{
    // A hidden view (its window minimised or closed) keeps no picture: it is drawn again when
    // shown.
    releasePicture();
    QWidget::hideEvent(event);
}

void VRDrawingView::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    emit visibleRectChanged();
}

void VRDrawingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit visibleRectChanged();
}
