// QntNotationPalette: drops onto the palette (new and replaced Custom shapes, reordering),
// deletion, renaming and double-click insertion.
#include "library/QntNotationPalette.h"

#include "library/QntImagesBankController.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"
#include "library/ShapeImageCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/base/VRUniqueID.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "platform/NotificationCenter.h"

#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace {

VRObjectCreationTool *creationTool(const QntNotationSubGroupItem *item)
{
    return item ? dynamic_cast<VRObjectCreationTool *>(item->drawingTool()) : nullptr;
}

VRObjectRef prototypeOf(const QntNotationSubGroupItem *item)
{
    VRObjectCreationTool *tool = creationTool(item);
    return tool ? tool->prototype() : nullptr;
}

QSizeF originalSizeOf(const VRDrawableObject &object)
{
    if (object.isKindOf<QntElement>()) {
        const QSizeF size = static_cast<const QntElement &>(object).originalSize();
        if (!size.isEmpty())
            return size;
    }
    return object.size();
}

} // namespace

// ---- lookups ---------------------------------------------------------------------------------

std::shared_ptr<QntNotationSubGroupItem>
QntNotationPalette::itemRef(const QntNotationSubGroupItem *item) const
{
    if (!item)
        return nullptr;
    for (const GroupRef &group : _notationSubgroups)
        for (const auto &child : group->children())
            if (child.get() == item)
                return child;
    return nullptr;
}

QntNotationPalette::GroupRef QntNotationPalette::groupRef(const QntNotationSubgroup *group) const
{
    for (const GroupRef &candidate : _notationSubgroups)
        if (candidate.get() == group)
            return candidate;
    if (m_subgroupCustom && m_subgroupCustom.get() == group)
        return m_subgroupCustom;
    return nullptr;
}

QTreeWidgetItem *QntNotationPalette::rowForItem(const QntNotationSubGroupItem *item) const
{
    for (int i = 0; i < _notationOutline->topLevelItemCount(); ++i) {
        QTreeWidgetItem *groupRow = _notationOutline->topLevelItem(i);
        for (int j = 0; j < groupRow->childCount(); ++j)
            if (groupRow->child(j)->data(0, ShapeImageCell::itemRole).value<quintptr>()
                == quintptr(item))
                return groupRow->child(j);
    }
    return nullptr;
}

QTreeWidgetItem *QntNotationPalette::rowForGroup(const QntNotationSubgroup *group) const
{
    for (int i = 0; i < _notationOutline->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = _notationOutline->topLevelItem(i);
        if (row->data(0, ShapeImageCell::groupRole).value<quintptr>() == quintptr(group))
            return row;
    }
    return nullptr;
}

QntNotationRef QntNotationPalette::notationOfGroup(const QntNotationSubgroup *group) const
{
    if (group && !group->notationPath().isEmpty()) {
        QntNotationRef notation = QntNotation::notationWithPath(group->notationPath());
        if (notation && notation->isValid())
            return notation;
    }
    VRDrawing *d = drawing();
    return d ? d->currentNotation() : QntNotationRef();
}

// ---- drops -----------------------------------------------------------------------------------

QntNotationPalette::DropTarget QntNotationPalette::dropTargetAt(QPoint point) const
{
    DropTarget target;
    QTreeWidgetItem *row = _notationOutline->itemAt(point);
    if (!row)
        return target; // the top level
    const QModelIndex index = _notationOutline->indexFromItem(row);
    if (QntNotationSubgroup *group = ShapeImageCell::groupForIndex(index)) {
        target.group = group;
        target.childIndex = -1;
        return target;
    }
    QntNotationSubGroupItem *item = ShapeImageCell::itemForIndex(index);
    if (!item)
        return target;
    const QRect rect = _notationOutline->visualItemRect(row);
    const int band = std::max(4, rect.height() / 4);
    const int position = row->parent() ? row->parent()->indexOfChild(row) : 0;
    if (point.y() < rect.top() + band) {
        target.group = item->parent();
        target.childIndex = position;
    } else if (point.y() > rect.bottom() - band) {
        target.group = item->parent();
        target.childIndex = position + 1;
    } else {
        target.item = item;
        target.group = item->parent();
        target.childIndex = -1;
    }
    return target;
}

Qt::DropAction QntNotationPalette::validateDrop(const QMimeData *data, DropTarget &target,
                                                const QObject *source) const
{
    VRDrawing *d = drawing();
    const bool notationEditable = d && d->currentNotation() && d->currentNotation()->isEditable();
    const bool fromPalette = source == _notationOutline;
    if (target.item && !notationEditable && !(target.group && target.group->isEditable()))
        return Qt::IgnoreAction;
    if (!data || !data->hasFormat(kVRDrawableObjectPasteboardType))
        return Qt::IgnoreAction;
    const VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    if (objects.isEmpty())
        return Qt::IgnoreAction;
    if (target.childIndex < 0) {
        if (target.item) {
            // A shape from the palette itself never replaces one.
            if (objects.size() == 1 && fromPalette)
                return Qt::IgnoreAction;
            return objects.size() == 1 ? Qt::CopyAction : Qt::IgnoreAction;
        }
        if (!target.group) {
            // The top level: the start of the Custom group, shown or not.
            if (!m_subgroupCustom)
                return Qt::IgnoreAction;
            target.group = m_subgroupCustom.get();
            target.childIndex = 0;
            return Qt::CopyAction;
        }
        // Onto a group row: only a group that may be written to takes a shape.
        return target.group->isEditable() || notationEditable ? Qt::CopyAction : Qt::IgnoreAction;
    }
    if (!target.group)
        return Qt::IgnoreAction;
    return target.group->isEditable() ? Qt::MoveAction : Qt::IgnoreAction;
}

bool QntNotationPalette::acceptDrop(const QMimeData *data, DropTarget target, const QObject *source)
{
    if (validateDrop(data, target, source) == Qt::IgnoreAction)
        return false;
    const VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    if (objects.isEmpty())
        return false;

    if (target.item) {
        // Replacement: asked first; the dropped objects are kept with the question.
        delete m_replaceAlert.data();
        m_replaceObjects = objects;
        m_replaceItem = itemRef(target.item);
        m_replacePendingDrag = false;
        if (qobject_cast<const VRDrawingView *>(source)) {
            if (VRDrawing *d = drawing())
                if (auto *layer = d->activeLayerOfClass<VRObjectDrawingLayer>()) {
                    layer->removeDragPendingObjects();
                    m_replacePendingDrag = true;
                    repaintDrawing();
                }
        }
        auto *alert = new QMessageBox(QMessageBox::Question, tr("Replace"),
                                      tr("Replace this item?"), QMessageBox::NoButton, window());
        alert->setObjectName(QStringLiteral("replaceAlert"));
        alert->setInformativeText(QString());
        QPushButton *replace = alert->addButton(tr("Replace"), QMessageBox::AcceptRole);
        alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
        alert->setDefaultButton(replace);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        connect(alert, &QMessageBox::buttonClicked, this,
                [this, replace](auto *button) { alertDidEnd(button == replace ? 1 : 0); });
        m_replaceAlert = alert;
        alert->open();
        return true;
    }

    const GroupRef group = groupRef(target.group);
    if (!group)
        return false;
    const int index = group->children().isEmpty() || target.childIndex < 0
                          ? int(group->children().size())
                          : std::min(target.childIndex, int(group->children().size()));
    // A shape of this very group dragged to another place in it: the group is reordered.
    if (source == _notationOutline && group->isEditable() && objects.size() == 1) {
        const QString id = objects.first()->ID();
        for (const auto &child : group->children())
            if (child->title() == id)
                return moveShapeWithinGroup(group, id, index);
    }
    const VRObjectRef object = objects.first();
    if (!object->isKindOf<QntElement>())
        return true; // taken, but only diagram elements become shapes
    if (!insertNewShape(object, group, index))
        return false;
    removePendingDragObjects(source);
    NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
    return true;
}

bool QntNotationPalette::insertNewShape(const VRObjectRef &object, const GroupRef &group, int index)
{
    const QString id = VRUniqueID::uniqueKey();
    object->setID(id);
    object->setString(id, QStringLiteral("ID"));
    const bool customGroup = group == m_subgroupCustom;
    if (customGroup && !QntImagesBankController::ensureImageBank()) {
        showEditingError(tr("The shape could not be added."),
                         tr("The image bank that keeps your shapes cannot be opened."));
        return false;
    }
    QString path = group->notationPath();
    if (path.isEmpty() && customGroup)
        path = QntImagesBankController::imageBankFilePath();
    const QntNotationRef notation = QntNotation::notationWithPath(path);
    if (path.isEmpty() || !notation || !notation->isValid()) {
        showEditingError(tr("The shape could not be added."),
                         tr("The group's shapes cannot be changed."));
        return false;
    }
    if (const VRResult<void> stored = QntNotation::insertIntoDB(notation->absolutePath(), object);
        !stored) {
        showEditingError(tr("The shape could not be added."), stored.errorMessage());
        return false;
    }
    // The stored order is the group's order.
    QStringList order;
    for (const auto &child : group->children())
        order.push_back(child->title());
    order.insert(std::clamp<qsizetype>(index, 0, order.size()), id);
    if (const QntNotationRef written = QntNotation::notationWithPath(notation->absolutePath()))
        (void)written->reorderImportedElements(order);

    object->setIsPrototype(true);
    auto tool = std::make_shared<VRObjectCreationTool>(object);
    VRToolRegistry::sharedToolRegistry().registerDrawingTool(tool, id);
    auto item = std::make_shared<QntNotationSubGroupItem>(group.get());
    item->setTitle(id);
    item->setTooltip(object->stringForKey(QStringLiteral("TITLE")));
    item->setDrawingTool(tool, notation.get());
    item->setSize(QSizeF(QntNotationSubgroup::itemWidth(), QntNotationSubGroupItem::kItemHeight));
    group->insertItem(item, std::clamp<qsizetype>(index, 0, group->children().size()));
    m_customReloadScheduled = false; // the group is current
    reloadOutline();
    expandShownGroups();
    return true;
}

bool QntNotationPalette::moveShapeWithinGroup(const GroupRef &group, const QString &elementId,
                                              int index)
{
    QList<QntNotationSubgroup::ItemRef> children = group->children();
    qsizetype from = -1;
    for (qsizetype i = 0; i < children.size(); ++i)
        if (children.at(i)->title() == elementId)
            from = i;
    if (from < 0)
        return false;
    const auto moving = children.takeAt(from);
    const qsizetype to =
        std::clamp<qsizetype>(index > from ? index - 1 : index, 0, children.size());
    children.insert(to, moving);
    QStringList order;
    for (const auto &child : std::as_const(children))
        order.push_back(child->title());
    const QntNotationRef notation = notationOfGroup(group.get());
    if (!notation || !notation->reorderImportedElements(order)) {
        showEditingError(tr("The shapes could not be reordered."), QString());
        return false;
    }
    group->setChildren(children);
    reloadOutline();
    expandShownGroups();
    NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
    return true;
}

void QntNotationPalette::removePendingDragObjects(const QObject *source)
{
    // Only objects dragged out of this palette's drawing leave it.
    if (!qobject_cast<const VRDrawingView *>(source))
        return;
    if (VRDrawing *d = drawing())
        if (auto *layer = d->activeLayerOfClass<VRObjectDrawingLayer>())
            layer->removeDragPendingObjects();
    repaintDrawing();
}

void QntNotationPalette::repaintDrawing()
{
    // Objects left or came back without the view being told: the whole drawing is drawn again.
    if (m_document && m_document->mainView() && drawing())
        m_document->mainView()->updateDrawingRect(QRectF(QPointF(0, 0), drawing()->drawingSize()));
}

void QntNotationPalette::alertDidEnd(int returnCode)
{
    // Whatever the answer, the drawing shows its objects as they now are.
    struct Repaint {
        QntNotationPalette *palette;
        ~Repaint() { palette->repaintDrawing(); }
    } repaint{this};
    const VRObjectList objects = m_replaceObjects;
    const auto item = m_replaceItem.lock();
    const bool pending = m_replacePendingDrag;
    m_replaceObjects.clear();
    m_replaceItem.reset();
    m_replacePendingDrag = false;
    VRObjectDrawingLayer *layer =
        drawing() ? drawing()->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (returnCode != 1) {
        if (pending && layer)
            layer->restoreAfterRemovingPengingDrag();
        return;
    }
    VRObjectCreationTool *tool = creationTool(item.get());
    if (objects.isEmpty() || !item || !tool || !tool->prototype()) {
        // The shape went away meanwhile: nothing to replace, the drawing keeps its objects.
        if (pending && layer)
            layer->restoreAfterRemovingPengingDrag();
        return;
    }
    const QString id = tool->prototype()->stringForKey(QStringLiteral("ID")).isEmpty()
                           ? tool->prototype()->ID()
                           : tool->prototype()->stringForKey(QStringLiteral("ID"));
    VRObjectRef object = objects.first();
    if (!object->isKindOf<QntElement>()
        && (object->isKindOf<VRDrawableShape>() || object->isMemberOf<VRDrawablePath>())) {
        auto element = QntElement::createWithObjects({object}, id, object->size());
        element->setCanUngroup(true);
        element->setSize(object->size());
        object = element;
    }
    object->setString(id, QStringLiteral("ID"));
    object->setID(id);
    const QString title = tool->prototype()->stringForKey(QStringLiteral("TITLE"));
    if (!title.isEmpty())
        object->setString(title, QStringLiteral("TITLE"));
    const QntNotationSubgroup *group = item->parent();
    const QntNotationRef notation =
        group && group->isEditable() ? notationOfGroup(group) : drawing()->currentNotation();
    if (!notation) {
        if (pending && layer)
            layer->restoreAfterRemovingPengingDrag();
        return;
    }
    const VRObjectRef old = tool->prototype();
    object->setIsPrototype(true);
    tool->setPrototype(object);
    if (const VRResult<void> stored = notation->updateImportedElement(object); !stored) {
        tool->setPrototype(old);
        if (pending && layer)
            layer->restoreAfterRemovingPengingDrag();
        showEditingError(tr("The shape could not be replaced."), stored.errorMessage());
        return;
    }
    tool->setCachedImage(item->updateImageWithNotation(notation.get()));
    if (QTreeWidgetItem *row = rowForItem(item.get()))
        _notationOutline->update(_notationOutline->indexFromItem(row));
    _notationOutline->viewport()->update();
    NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
}

// ---- context menu, deletion and renaming -------------------------------------------------------

void QntNotationPalette::setClickedRow(QTreeWidgetItem *row)
{
    m_clickedItem.reset();
    m_clickedGroup.reset();
    if (!row)
        return;
    const QModelIndex index = _notationOutline->indexFromItem(row);
    if (QntNotationSubGroupItem *item = ShapeImageCell::itemForIndex(index))
        m_clickedItem = itemRef(item);
    else if (QntNotationSubgroup *group = ShapeImageCell::groupForIndex(index))
        m_clickedGroup = groupRef(group);
}

QMenu *QntNotationPalette::contextMenuForRow(QTreeWidgetItem *row)
{
    setClickedRow(row);
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("outlineViewContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *rename = menu->addAction(tr("Rename…"));
    rename->setObjectName(QStringLiteral("renameItem"));
    connect(rename, &QAction::triggered, this, [this] {
        const auto item = m_clickedItem.lock();
        const VRObjectRef prototype = prototypeOf(item.get());
        if (!prototype)
            return;
        bool ok = false;
        const QString title =
            QInputDialog::getText(window(), tr("Rename Shape"), tr("Title:"), QLineEdit::Normal,
                                  prototype->stringForKey(QStringLiteral("TITLE")), &ok);
        if (ok)
            renameClickedItem(title);
    });
    QAction *remove = menu->addAction(tr("Delete"));
    remove->setObjectName(QStringLiteral("deleteSelectedItemsMenuItem"));
    connect(remove, &QAction::triggered, this, [this] { deleteOutlineSelections(); });
    menuNeedsUpdate(menu);
    return menu;
}

void QntNotationPalette::menuNeedsUpdate(QMenu *menu)
{
    QAction *remove = menu->findChild<QAction *>(QStringLiteral("deleteSelectedItemsMenuItem"));
    QAction *rename = menu->findChild<QAction *>(QStringLiteral("renameItem"));
    for (QAction *entry : {remove, rename})
        if (entry) {
            entry->setEnabled(false);
            entry->setVisible(false);
        }
    VRDrawing *d = drawing();
    const bool notationEditable = d && d->currentNotation() && d->currentNotation()->isEditable();
    const auto item = m_clickedItem.lock();
    const auto group = m_clickedGroup.lock();
    const bool editableItem = item && item->parent() && item->parent()->isEditable();
    const bool deletable =
        (notationEditable && item) || (group && group->isImported()) || editableItem;
    if (remove && deletable) {
        remove->setEnabled(true);
        remove->setVisible(true);
    }
    if (rename && editableItem && prototypeOf(item.get())) {
        rename->setEnabled(true);
        rename->setVisible(true);
    }
}

void QntNotationPalette::deleteOutlineSelections()
{
    const auto item = m_clickedItem.lock();
    const auto group = m_clickedGroup.lock();
    if (!item && !(group && group->isImported()))
        return;
    delete m_deleteAlert.data();
    const QString what =
        item ? tr("Delete this shape from “%1”?")
                   .arg(item->parent() ? item->parent()->title() : QString())
             : tr("Delete the imported group “%1” from this drawing?").arg(group->title());
    auto *alert =
        new QMessageBox(QMessageBox::Question, tr("Delete"), what, QMessageBox::NoButton, window());
    alert->setObjectName(QStringLiteral("deleteAlert"));
    alert->setInformativeText(tr("This cannot be undone."));
    QPushButton *confirm = alert->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(confirm);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    connect(alert, &QMessageBox::buttonClicked, this, [this, confirm](auto *button) {
        if (button == confirm)
            deleteClickedRow();
    });
    m_deleteAlert = alert;
    alert->open();
}

bool QntNotationPalette::deleteClickedRow()
{
    // The row decides once: the shape or group clicked, wherever it is now.
    const auto item = m_clickedItem.lock();
    const auto group = m_clickedGroup.lock();
    if (item) {
        QntNotationSubgroup *parent = item->parent();
        const QntNotationRef notation = notationOfGroup(parent);
        const VRObjectRef prototype = prototypeOf(item.get());
        if (!notation || !prototype) {
            showEditingError(tr("The shape could not be deleted."), QString());
            return false;
        }
        if (const VRResult<void> removed = notation->removeImportedElement(prototype); !removed) {
            showEditingError(tr("The shape could not be deleted."), removed.errorMessage());
            return false;
        }
        if (const GroupRef owner = groupRef(parent))
            owner->removeItem(item);
        m_clickedItem.reset();
        reloadOutline();
        expandShownGroups();
        NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
        return true;
    }
    if (group && group->isImported()) {
        if (VRDrawing *d = drawing())
            d->removeImportedElementsForKey(group->title());
        _notationSubgroups.removeAll(group);
        _hiddenNotationSubgroups.removeAll(group);
        if (m_subgroupImported == group)
            m_subgroupImported.reset();
        m_clickedGroup.reset();
        reloadOutline();
        expandShownGroups();
        return true;
    }
    return false;
}

bool QntNotationPalette::renameClickedItem(const QString &title)
{
    const auto item = m_clickedItem.lock();
    const VRObjectRef prototype = prototypeOf(item.get());
    if (!prototype || !item->parent() || !item->parent()->isEditable())
        return false;
    const QntNotationRef notation = notationOfGroup(item->parent());
    if (!notation)
        return false;
    const QString old = prototype->stringForKey(QStringLiteral("TITLE"));
    prototype->setString(title, QStringLiteral("TITLE"));
    if (const VRResult<void> stored = notation->updateImportedElement(prototype); !stored) {
        prototype->setString(old, QStringLiteral("TITLE"));
        showEditingError(tr("The shape could not be renamed."), stored.errorMessage());
        return false;
    }
    item->setTooltip(title);
    if (QTreeWidgetItem *row = rowForItem(item.get()))
        row->setToolTip(0, title);
    NotificationCenter::defaultCenter().post(kQntImageBankReloadNeededNotification, nullptr);
    return true;
}

void QntNotationPalette::showEditingError(const QString &text, const QString &informative)
{
    auto *alert =
        new QMessageBox(QMessageBox::Warning, tr("Shapes"), text, QMessageBox::Ok, window());
    alert->setObjectName(QStringLiteral("paletteEditingError"));
    alert->setInformativeText(informative);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
}

void QntNotationPalette::scheduleCustomReload()
{
    if (m_customReloadScheduled)
        return;
    m_customReloadScheduled = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_customReloadScheduled)
            return;
        m_customReloadScheduled = false;
        reloadCustomSubgroup();
    });
}

// ---- double-click insertion
// ----------------------------------------------------------------------

void QntNotationPalette::notationOutlineDoubleClick(QTreeWidgetItem *row)
{
    if (!row || !m_document)
        return;
    QntNotationSubGroupItem *item =
        ShapeImageCell::itemForIndex(_notationOutline->indexFromItem(row));
    const VRObjectRef prototype = prototypeOf(item);
    VRDrawing *d = drawing();
    if (!item || !prototype || !d)
        return;
    auto *layer = d->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer) {
        layer = static_cast<VRObjectDrawingLayer *>(
            d->firstActivateableLayerOfClass(VRObjectDrawingLayer::staticClass()));
        if (!layer)
            return;
    }
    d->setActiveLayer(layer);
    const VRObjectRef copy =
        QntNotation::vrObjectWithData(QntNotation::vrObject(prototype, QStringLiteral("root")));
    if (!copy)
        return;
    const QSizeF size = originalSizeOf(*prototype);
    if (!size.isEmpty())
        copy->setSize(size);
    QPointF centre(d->drawingSize().width() * 0.5, d->drawingSize().height() * 0.5);
    if (VRDrawingView *view = m_document->mainView())
        centre = view->centredPointInDocView();
    copy->setLocation(QPointF(std::min(centre.x(), d->drawingSize().width() * 0.5),
                              std::min(centre.y(), d->drawingSize().height() * 0.5)));
    VRUndoManager *undo = d->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer->addObject(copy);
    copy->objectWasAddedToLayer(layer);
    if (copy->isKindOf<QntText>())
        static_cast<QntText &>(*copy).addTextShape();
    copy->notifyVisualChange();
    layer->exchangeSelectionWithObjectsFromArray({copy});
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(tr("Insert Shape"));
    }
    if (VRDrawingView *view = m_document->mainView()) {
        view->postShapeInfo(copy);
        view->updateDrawingRect(copy->bounds());
    }
    NotificationCenter::defaultCenter().post(kQntElementAddedToLayerNotification, nullptr, {});
}
