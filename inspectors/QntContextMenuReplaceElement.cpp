// QntContextMenu: the replace-element window, an outline of the notation's shapes grouped
// under titled headings; choosing a shape replaces the selected object by it.
#include "inspectors/QntContextMenu.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntEscapedView.h"

#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/ShapeImageCell.h"
#include "platform/UserDefaults.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr double kOutlineWidth = 112.0;
constexpr double kOutlineMaxHeight = 380.0;
constexpr int kItemRole = Qt::UserRole + 7;

QColor outlineBackgroundColour()
{
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(
        QStringLiteral("QntPaletteBackgroundColorKey"));
    const QColor colour = stored.value<QColor>();
    if (colour.isValid())
        return colour;
    return QColor::fromRgbF(0.8359375f, 0.86328125f, 0.89453125f, 1.0f);
}

// Group rows as the palette draws them (a bold title after a disclosure triangle); shape rows
// as plain rows, with their pictures as icons.
class GroupRowCell : public ShapeImageCell
{
public:
    using ShapeImageCell::ShapeImageCell;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        if (groupForIndex(index))
            paintGroupRow(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (groupForIndex(index))
            return ShapeImageCell::sizeHint(option, index);
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

bool showsScrollBar()
{
    const QVariant stored =
        UserDefaults::standardUserDefaults().objectForKey(QStringLiteral("QntShowScrollBarKey"));
    return !stored.isValid() || stored.toBool();
}
} // namespace

QTreeWidget *QntContextMenu::notationOutline() const
{
    return _notationOutline;
}

void QntContextMenu::createReplaceElementToolbar(QntButtonMatrix *sender)
{
    if (_attachedReplaceElementWindow) {
        closeAttachedReplaceElementWindow();
        return;
    }
    if (!sender)
        return;
    populateReplaceElementToolbar();
    _attachedReplaceElementWindow = openToolbarBesideSelectedCell(sender, _viewReplaceElement);
}

void QntContextMenu::populateReplaceElementToolbar()
{
    if (!_viewReplaceElement) {
        auto *view = new QntEscapedView;
        view->setObjectName(QStringLiteral("replaceElementView"));
        auto *layout = new QVBoxLayout(view);
        layout->setContentsMargins(4, 4, 4, 4);
        _viewReplaceElement = view;
    }
    if (_notationOutline)
        delete _notationOutline;
    _notationSubgroups.clear();
    auto *outline = new QTreeWidget(_viewReplaceElement);
    outline->setObjectName(QStringLiteral("notationOutline"));
    outline->setHeaderHidden(true);
    outline->setColumnCount(1);
    outline->setIndentation(0);
    outline->setRootIsDecorated(false);
    // The outline has no indentation: the shape cell draws each group row with its own
    // disclosure triangle, and a press on a group row opens or closes it.
    outline->setItemDelegate(new GroupRowCell(outline));
    outline->setExpandsOnDoubleClick(false);
    outline->setFocusPolicy(Qt::StrongFocus);
    outline->setIconSize(QSize(int(kOutlineWidth) - 12, 44));
    outline->setVerticalScrollBarPolicy(showsScrollBar() ? Qt::ScrollBarAsNeeded
                                                         : Qt::ScrollBarAlwaysOff);
    outline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = outline->palette();
    palette.setColor(QPalette::Base, outlineBackgroundColour());
    outline->setPalette(palette);
    outline->setStyleSheet(QStringLiteral("QTreeWidget { border: none; }"));
    _viewReplaceElement->layout()->addWidget(outline);
    _notationOutline = outline;
    addReplaceGroups();
    connect(outline, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem *item) {
        if (item && !item->parent() && item->childCount() > 0) {
            item->setSelected(false);
            item->setExpanded(!item->isExpanded());
            return;
        }
        if (!outlineShouldSelectItem(item) && item)
            item->setSelected(false);
    });
    connect(outline, &QTreeWidget::itemExpanded, this, [this] { resizeOutlineContent(); });
    connect(outline, &QTreeWidget::itemCollapsed, this, [this] { resizeOutlineContent(); });
    outline->expandAll();
    resizeOutlineContent();
}

void QntContextMenu::addReplaceGroups()
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef selected = layer ? layer->singleSelection() : nullptr;
    const auto add = [this](const QString &title, const QList<QntElementRecord> &elements,
                            const QntNotation *from, bool evenWhenEmpty) {
        if (elements.isEmpty() && !evenWhenEmpty)
            return;
        _notationSubgroups.push_back(std::make_unique<QntNotationSubgroup>(title, elements, from));
    };
    if (drawing && notation)
        add(tr("Imported"),
            VRToolRegistry::sharedToolRegistry().importedElementsForNotation(*notation),
            notation.get(), false);
    if (selected && notation) {
        const bool plain = selected->isMemberOf<QntElement>() || selected->isMemberOf<QntText>();
        if (plain)
            add(tr("Shapes"), notation->shapeElementsList(), notation.get(), true);
        if (const auto *arrow = selected->isMemberOf<QntElementArrow>()
                                    ? static_cast<const QntElementArrow *>(selected.get())
                                    : nullptr) {
            const int direction = arrow->direction();
            const bool vertical = direction == 0 || direction == 1 || direction == 4;
            add(tr("Arrows"),
                vertical ? notation->shortVerticalArrowElementsListForDirection(direction)
                         : notation->shortHorizontalArrowElementsListForDirection(direction),
                notation.get(), false);
            add(tr("Long Arrows"),
                vertical ? notation->verticalArrowElementsListForDirection(direction)
                         : notation->horizontalArrowElementsListForDirection(direction),
                notation.get(), false);
        }
        if (selected->isMemberOf<QntDecoratedSeparator>())
            add(tr("Separators"), notation->separatorElementsList(), notation.get(), true);
        if (plain) {
            add(tr("Text"), notation->textElementsList(), notation.get(), true);
            add(tr("Flow Chart"), notation->flowChartElementsList(), notation.get(), false);
        }
    }
    QFont groupFont = _notationOutline->font();
    groupFont.setBold(true);
    for (const std::unique_ptr<QntNotationSubgroup> &group : _notationSubgroups) {
        auto *groupItem = new QTreeWidgetItem(_notationOutline, {group->title()});
        groupItem->setFlags(Qt::ItemIsEnabled);
        groupItem->setFont(0, groupFont);
        groupItem->setData(0, kItemRole, QVariant());
        groupItem->setData(0, ShapeImageCell::groupRole,
                           QVariant::fromValue(quintptr(group.get())));
        for (const QntNotationSubgroup::ItemRef &child : group->children()) {
            auto *row = new QTreeWidgetItem(groupItem);
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (!child->image().isNull())
                row->setIcon(0, QIcon(QPixmap::fromImage(child->image())));
            else
                row->setText(0, child->title());
            row->setToolTip(0, child->tooltip().isEmpty() ? child->title() : child->tooltip());
            row->setSizeHint(0, QSize(int(kOutlineWidth), int(child->size().height())));
            row->setData(0, kItemRole, QVariant::fromValue(static_cast<void *>(child.get())));
        }
    }
}

void QntContextMenu::resizeOutlineContent()
{
    if (!_notationOutline || !_viewReplaceElement)
        return;
    double height = 0;
    for (int i = 0; i < _notationOutline->topLevelItemCount(); ++i) {
        QTreeWidgetItem *group = _notationOutline->topLevelItem(i);
        height += _notationOutline->visualItemRect(group).height() > 0
                      ? _notationOutline->visualItemRect(group).height()
                      : _notationOutline->fontMetrics().height() + 6;
        if (group->isExpanded()) {
            for (int k = 0; k < group->childCount(); ++k)
                height += group->child(k)->sizeHint(0).height();
        }
    }
    _notationOutlineHeight = height;
    const double shown = std::min(std::max(height + 4, 60.0), kOutlineMaxHeight);
    const bool scroller = height + 4 > kOutlineMaxHeight && showsScrollBar();
    const int scrollerWidth =
        scroller ? _notationOutline->verticalScrollBar()->sizeHint().width() : 0;
    _notationOutline->setFixedSize(int(kOutlineWidth) + scrollerWidth, int(shown));
    _viewReplaceElement->resize(_viewReplaceElement->sizeHint());
    if (_attachedReplaceElementWindow)
        _attachedReplaceElementWindow->redisplayLater();
}

bool QntContextMenu::outlineShouldSelectItem(QTreeWidgetItem *item)
{
    if (!item)
        return false;
    auto *entry = static_cast<QntNotationSubGroupItem *>(item->data(0, kItemRole).value<void *>());
    if (!entry)
        return false;
    VRDrawingTool *tool = entry->drawingTool();
    auto *creation = tool && tool->isKindOf<VRObjectCreationTool>()
                         ? static_cast<VRObjectCreationTool *>(tool)
                         : nullptr;
    if (!creation || !creation->prototype())
        return false;
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef selected = layer ? layer->singleSelection() : nullptr;
    if (!selected)
        return true;
    if (selected->isMemberOf<QntElement>() || selected->isMemberOf<QntElementArrow>()
        || selected->isMemberOf<QntText>() || selected->isMemberOf<QntDecoratedSeparator>()) {
        const QntNotationRef notation = drawing->currentNotation();
        selected->replaceWithObject(creation->prototype()->ID(),
                                    notation ? notation->notationPath() : QString(), true);
    }
    return true;
}

void QntContextMenu::closeAttachedReplaceElementWindow()
{
    if (!_attachedReplaceElementWindow)
        return;
    if (_viewReplaceElement) {
        _viewReplaceElement->hide();
        _viewReplaceElement->setParent(nullptr);
    }
    _attachedReplaceElementWindow->hide();
    _attachedReplaceElementWindow->deleteLater();
    _attachedReplaceElementWindow = nullptr;
}
