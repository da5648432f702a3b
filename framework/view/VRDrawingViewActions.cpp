// VRDrawingView: the menu and toolbar actions and the object menu.
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRDrawingTool.h"

#include "framework/view/VRViewController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QAction>
#include <QMenu>

#include <iterator>

void VRDrawingView::deleteSelection(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->countOfSelection() == 0)
        return;
    const QRectF dirty = layer->selectionBounds();
    layer->deleteSelection();
    updateDrawingRect(dirty);
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsWithKindNotification, this,
                                             {{QStringLiteral("mask"), 0x1FF}});
}

void VRDrawingView::selectAll(QObject *)
{
    // Nothing of a locked layer can be selected.
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (layer && !layer->isLocked())
        layer->selectAll();
}

void VRDrawingView::zoomToActualSize(QObject *)
{
    setScale(1.0);
}

namespace {
constexpr int kZoomLevels[] = {5, 10, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 800, 1600};
}

void VRDrawingView::zoomIn(QObject *)
{
    const double percent = m_scale * 100.0;
    for (int level : kZoomLevels) {
        if (level > percent + 0.5) {
            zoomToPercentageWithTag(level, centredPointInDocView());
            return;
        }
    }
}

void VRDrawingView::zoomOut(QObject *)
{
    const double percent = m_scale * 100.0;
    for (auto it = std::rbegin(kZoomLevels); it != std::rend(kZoomLevels); ++it) {
        if (*it < percent - 0.5) {
            zoomToPercentageWithTag(*it, centredPointInDocView());
            return;
        }
    }
}

void VRDrawingView::zoomToFit(QObject *)
{
    if (m_drawing)
        zoomToRect(QRectF(QPointF(0, 0), m_drawing->drawingSize()));
}

void VRDrawingView::toggleGridVisible(QObject *)
{
    if (VRGridLayer *grid = m_drawing ? m_drawing->gridLayer() : nullptr) {
        grid->setVisible(!grid->isVisible());
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::setShowPageBreaks(QObject *sender)
{
    if (auto *action = qobject_cast<QAction *>(sender); action && action->isCheckable())
        setPageBreaksVisible(action->isChecked());
    else
        setPageBreaksVisible(!pageBreaksVisible());
}

void VRDrawingView::selectDrawingTool(QObject *sender)
{
    // A menu item shows the tool's title and may carry its registered name as data.
    if (auto *action = qobject_cast<QAction *>(sender)) {
        const QString name = action->data().toString();
        m_controller->selectDrawingToolWithName(name.isEmpty() ? action->text() : name);
    }
}

void VRDrawingView::undo(QObject *)
{
    if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr) {
        undo->closeOpenGroups();
        undo->undo();
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::redo(QObject *)
{
    if (VRUndoManager *undo = m_drawing ? m_drawing->undoManager() : nullptr) {
        undo->closeOpenGroups();
        undo->redo();
        invalidateAllContent();
        update();
    }
}

void VRDrawingView::bringToFront(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || !layer->restackSelection(VRObjectDrawingLayer::Restacking::ToFront))
        return;
    invalidateAllContent();
    update();
}

void VRDrawingView::sendToBack(QObject *)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || !layer->restackSelection(VRObjectDrawingLayer::Restacking::ToBack))
        return;
    invalidateAllContent();
    update();
}

void VRDrawingView::switchOnAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(true);
}

void VRDrawingView::switchOffAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(false);
}

void VRDrawingView::toggleAutoRevertAction(QObject *)
{
    m_controller->setAutoRevert(!m_controller->autoRevert());
}

QMenu *VRDrawingView::objectMenu()
{
    if (m_objectMenu)
        return m_objectMenu;
    auto *menu = new QMenu(tr("Object"), this);
    struct Verb {
        QString title;
        QString element;
        QString connector;
    };
    const QList<Verb> verbs{
        {tr("Save Defaults"), kQntSaveElementDefaultsNotification,
         kQntSaveConnectorDefaultsNotification},
        {tr("Apply Defaults"), kQntApplyElementDefaultsNotification,
         kQntApplyConnectorDefaultsNotification},
        {tr("Reset Defaults"), kQntResetDefaultsForElementNotification,
         kQntResetDefaultsForConnectorNotification},
        {tr("Reset This Only"), kQntResetDefaultsForCurrentOnlyElementNotification,
         kQntResetDefaultsForCurrentOnlyConnectorNotification},
    };
    for (const Verb &verb : verbs) {
        menu->addAction(verb.title, this, [this, verb] {
            VRObjectDrawingLayer *layer = activeObjectLayer();
            VRObjectRef single = layer ? layer->singleSelection() : nullptr;
            if (!single)
                return;
            const QString &name =
                isKindOfNamed(*single, u"QntConnector") ? verb.connector : verb.element;
            NotificationCenter::defaultCenter().post(name, single.get(), objectInfo(single));
        });
    }
    menu->addSeparator();
    menu->addAction(tr("Copy Style"), this, [this] {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        // The style-copy tool takes the style and waits for the objects to apply it to.
        if (single) {
            if (VRDrawingTool *tool =
                    VRDrawingTool::drawingToolWithName(QStringLiteral("Style Copy Tool")))
                m_controller->setDrawingTool(tool);
        }
        NotificationCenter::defaultCenter().post(kQntStyleShouldBeCopiedNotification, single.get(),
                                                 single ? objectInfo(single) : QVariantMap());
    });
    menu->addAction(tr("Properties…"), this, [this] {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        NotificationCenter::defaultCenter().post(kQntShowContextObjectPropertiesNotification, this,
                                                 single ? objectInfo(single) : QVariantMap());
    });
    // Every verb acts on the one selected object: without one, none of them can run.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        VRObjectDrawingLayer *layer = activeObjectLayer();
        const bool single = layer && layer->singleSelection();
        for (QAction *item : menu->actions()) {
            if (!item->isSeparator())
                item->setEnabled(single);
        }
    });
    m_objectMenu = menu;
    return menu;
}
