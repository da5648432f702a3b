#include "library/QntSequenceDiagramController.h"

#include "library/QntSeqOutlineView.h"
#include "library/QntSeqTableViewHeaderView.h"

#include "framework/base/VRUniqueID.h"
#include "framework/model/VRDrawing.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

const QString QntSequenceDiagramController::kPboardType =
    QStringLiteral("MyCustomOutlineViewPboardType");

namespace {

const QString kTimelinePrefix = QStringLiteral("TimelineColumn");
constexpr int kMaximumDepth = 64;

QString roleKey(int role)
{
    switch (role) {
    case SimpleNodeData::Source: return QStringLiteral("Source");
    case SimpleNodeData::Target: return QStringLiteral("Target");
    case SimpleNodeData::Self: return QStringLiteral("Self");
    default: return QStringLiteral("None");
    }
}

QString roleTitle(int role)
{
    switch (role) {
    case SimpleNodeData::Source: return QCoreApplication::translate("SimpleNodeData", "Source");
    case SimpleNodeData::Target: return QCoreApplication::translate("SimpleNodeData", "Target");
    case SimpleNodeData::Self: return QCoreApplication::translate("SimpleNodeData", "Self");
    default: return QStringLiteral(" ");
    }
}

QString containerDefaultName(int kind)
{
    switch (kind) {
    case SimpleNodeData::Option: return QStringLiteral("Option");
    case SimpleNodeData::Alternative: return QStringLiteral("Alternatives");
    default: return QStringLiteral("Loop");
    }
}

// Pop-up editors for the kind and role columns, offering exactly what the row may take.
class QntSeqItemDelegate : public QStyledItemDelegate
{
public:
    QntSeqItemDelegate(QntSequenceDiagramController *controller, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_controller(controller)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QntSeqTreeNode *node = m_controller->nodeForIndex(index);
        if (!node || index.column() == QntSequenceDiagramController::NameColumn
            || index.column() == QntSequenceDiagramController::TextColumn)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto *combo = new QComboBox(parent);
        if (index.column() == QntSequenceDiagramController::NodeKindColumn) {
            combo->setObjectName(QStringLiteral("Kind"));
            for (int kind : m_controller->allowedKinds(*node))
                combo->addItem(SimpleNodeData::defaultNameForKind(kind), kind);
        } else {
            combo->setObjectName(QStringLiteral("Timeline"));
            for (int role = 0; role <= SimpleNodeData::Self; ++role)
                combo->addItem(roleTitle(role), role);
        }
        // A chosen item is the edit: no second click needed.
        connect(combo, &QComboBox::activated, combo, [this, combo] {
            auto *self = const_cast<QntSeqItemDelegate *>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = qobject_cast<QComboBox *>(editor);
        if (!combo)
            return QStyledItemDelegate::setEditorData(editor, index);
        combo->setCurrentIndex(std::max(0, combo->findData(index.data(Qt::EditRole).toInt())));
        QPointer<QComboBox> guarded(combo);
        QTimer::singleShot(0, combo, [guarded] {
            if (guarded && guarded->isVisible())
                guarded->showPopup();
        });
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // Rows tall enough to click and to hold a pop-up editor.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 22));
        size.rwidth() += nestingIndent(option, index);
        return size;
    }

    // The kind column shows how deep a row is nested: a message or response leaves the name
    // column empty, so without it one inside a loop would look like one at the top.
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int indent = nestingIndent(option, index);
        if (indent <= 0)
            return QStyledItemDelegate::paint(painter, option, index);
        // The cell's background (a selection included) across the whole cell, then the kind
        // moved in by its depth.
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = QIcon();
        background.state &= ~QStyle::State_HasFocus;
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
        QStyleOptionViewItem moved = option;
        moved.rect.setLeft(option.rect.left() + indent);
        QStyledItemDelegate::paint(painter, moved, index);
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override
    {
        QStyleOptionViewItem moved = option;
        moved.rect.setLeft(option.rect.left() + nestingIndent(option, index));
        QStyledItemDelegate::updateEditorGeometry(editor, moved, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        auto *combo = qobject_cast<QComboBox *>(editor);
        if (!combo)
            return QStyledItemDelegate::setModelData(editor, model, index);
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentData(), Qt::EditRole);
    }

private:
    // The outline's indentation per level for each container above the row, in the kind
    // column; nothing elsewhere.
    static int nestingIndent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        if (index.column() != QntSequenceDiagramController::NodeKindColumn)
            return 0;
        int depth = 0;
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            ++depth;
        const auto *tree = qobject_cast<const QTreeView *>(option.widget);
        return depth * (tree ? tree->indentation() : 20);
    }

    QntSequenceDiagramController *m_controller;
};

} // namespace

QntSequenceDiagramController::QntSequenceDiagramController(QObject *parent)
    : QAbstractItemModel(parent)
    , m_root(treeNodeFromDictionary({{QStringLiteral("Name"), QStringLiteral("OVRoot")},
                                     {QStringLiteral("Children"), QVariantList()}}))
{
}

QntSequenceDiagramController::~QntSequenceDiagramController()
{
    if (m_drawing && m_drawing->undoManager())
        m_drawing->undoManager()->removeAllActionsWithTarget(this);
}

QWidget *QntSequenceDiagramController::createPane(QWidget *parent)
{
    auto *pane = new QWidget(parent);
    pane->setObjectName(QStringLiteral("sequenceOutlinePane"));
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto *bar = new QHBoxLayout;
    bar->setSpacing(4);
    const auto button = [pane, bar](const QString &title, const QString &name, auto action) {
        auto *b = new QPushButton(title, pane);
        b->setObjectName(name);
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, pane, action);
        bar->addWidget(b);
        return b;
    };
    button(tr("Add Timeline"), QStringLiteral("addTimelineButton"), [this] { addTimeline(); });
    bar->addSpacing(8);
    button(tr("Message"), QStringLiteral("addMessageButton"), [this] { addMessage(); });
    button(tr("Response"), QStringLiteral("addResponseButton"), [this] { addResponse(); });
    button(tr("Option"), QStringLiteral("addOptionButton"), [this] { addOptionContainer(); });
    button(tr("Alternative"), QStringLiteral("addAlternativeButton"),
           [this] { addAlternativeContainer(); });
    button(tr("Condition"), QStringLiteral("addConditionButton"),
           [this] { addAlternativeCondition(); });
    button(tr("Loop"), QStringLiteral("addLoopButton"), [this] { addLoopContainer(); });
    bar->addStretch(1);
    m_selectionField = new QLabel(tr("Nothing Selected"), pane);
    m_selectionField->setObjectName(QStringLiteral("selectionTextField"));
    bar->addWidget(m_selectionField);
    bar->addSpacing(8);
    auto *build = button(tr("Build Diagram"), QStringLiteral("buildSequenceButton"),
                         [this] { emit layoutRequested(); });
    build->setDefault(false);
    column->addLayout(bar);

    // Where drops may land and how the rows look and select.
    auto *boxes = new QHBoxLayout;
    boxes->setSpacing(12);
    const auto box = [this, pane, boxes](const QString &title, const QString &name,
                                         const QString &tip,
                                         void (QntSequenceDiagramController::*set)(bool)) {
        auto *b = new QCheckBox(title, pane);
        b->setObjectName(name);
        b->setToolTip(tip);
        QObject::connect(b, &QCheckBox::toggled, this, [this, set](bool on) { (this->*set)(on); });
        boxes->addWidget(b);
        m_checkBoxes << b;
    };
    box(tr("Drop on Container"), QStringLiteral("allowDropOnContainerCheckbox"),
        tr("Rows dropped on an option, alternative or loop go inside it"),
        &QntSequenceDiagramController::setAllowsDropOnContainer);
    box(tr("Drop on Leaf"), QStringLiteral("allowDropOnLeafCheckbox"),
        tr("Rows dropped on a message or response go right after it: it cannot hold entities, "
           "and any it held would be lost when the outline is saved"),
        &QntSequenceDiagramController::setAllowsDropOnLeaf);
    box(tr("Only on Root"), QStringLiteral("onlyAcceptDropOnRootCheckbox"),
        tr("Every drop goes to the end of the outline's top level"),
        &QntSequenceDiagramController::setOnlyAcceptsDropOnRoot);
    box(tr("Group Row Look"), QStringLiteral("useGroupRowLookCheckbox"),
        tr("Options, alternatives and loops show as group rows across the outline"),
        &QntSequenceDiagramController::setUsesGroupRowLook);
    box(tr("Check Boxes Select"), QStringLiteral("buttonCellsChangeSelectionCheckbox"),
        tr("Clicking a row's check box also selects the row"),
        &QntSequenceDiagramController::setAllowsButtonCellsToChangeSelection);
    boxes->addStretch(1);
    column->addLayout(boxes);
    syncCheckBoxes();

    m_outlineView = new QntSeqOutlineView(this, pane);
    m_outlineView->setObjectName(QStringLiteral("sequenceOutlineView"));
    auto *header = new QntSeqTableViewHeaderView(this, m_outlineView);
    m_outlineView->setHeader(header);
    m_outlineView->setModel(this);
    m_outlineView->setItemDelegate(new QntSeqItemDelegate(this, m_outlineView));
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->resizeSection(NameColumn, 170);
    header->resizeSection(NodeKindColumn, 150);
    header->resizeSection(TextColumn, 220);
    header->resizeSection(expandableColumn(), 80);
    header->resizeSection(selectableColumn(), 80);
    // A row that is not expandable does not stay open.
    connect(m_outlineView, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        const QntSeqTreeNode *node = nodeForIndex(index);
        if (node && !node->representedObject()->isExpandable())
            m_outlineView->collapse(index);
    });
    connect(this, &QAbstractItemModel::rowsInserted, this, [this] { updateGroupRows(); });
    connect(this, &QAbstractItemModel::rowsMoved, this, [this] { updateGroupRows(); });
    connect(this, &QAbstractItemModel::modelReset, this, [this] { updateGroupRows(); });
    connect(this, &QAbstractItemModel::layoutChanged, this, [this] { updateGroupRows(); });
    connect(this, &QAbstractItemModel::dataChanged, this, [this] { updateGroupRows(); });
    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateSelectionField(); });
    connect(this, &QAbstractItemModel::columnsInserted, header,
            [this, header](const QModelIndex &, int first, int last) {
                for (int c = first; c <= last; ++c)
                    header->resizeSection(c, c < numberOfColumns() ? 100 : 80);
            });
    column->addWidget(m_outlineView, 1);
    return pane;
}

void QntSequenceDiagramController::setupWithDrawing(VRDrawing *drawing)
{
    beginResetModel();
    m_drawing = drawing;
    m_timelines.clear();
    m_root = treeNodeFromDictionary({{QStringLiteral("Name"), QStringLiteral("OVRoot")}});
    const QVariantMap stored = drawing ? drawing->sequenceDic() : QVariantMap();
    if (!stored.isEmpty()) {
        const QVariantMap titles =
            stored.value(QStringLiteral("TimelineIdentifiersAndNames")).toMap();
        QSet<QString> seen;
        const QVariantList ordered =
            stored.value(QStringLiteral("TimelineIdentifiersOrdered")).toList();
        for (const QVariant &v : ordered) {
            const QString id = v.metaType().id() == QMetaType::QString ? v.toString() : QString();
            if (id.isEmpty() || seen.contains(id))
                continue;
            seen.insert(id);
            const QVariant title = titles.value(id);
            m_timelines.push_back({id, title.metaType().id() == QMetaType::QString
                                           ? title.toString()
                                           : QStringLiteral("Timeline")});
        }
        m_root = treeNodeFromDictionary(stored);
    }
    endResetModel();
    if (m_outlineView) {
        for (int c = kFixedColumns; c < numberOfColumns(); ++c)
            m_outlineView->header()->resizeSection(c, 100);
        m_outlineView->expandAll();
    }
    updateSelectionField();
}

QString QntSequenceDiagramController::columnIdentifier(int column) const
{
    switch (column) {
    case NameColumn: return QStringLiteral("NameColumn");
    case NodeKindColumn: return QStringLiteral("NodeKindColumn");
    case TextColumn: return QStringLiteral("TextColumn");
    default: break;
    }
    if (column == expandableColumn())
        return QStringLiteral("IsExpandableColumn");
    if (column == selectableColumn())
        return QStringLiteral("IsSelectableColumn");
    const int t = column - kFixedColumns;
    if (t < 0 || t >= m_timelines.size())
        return {};
    return kTimelinePrefix + m_timelines[t].identifier;
}

bool QntSequenceDiagramController::canBuildSeqDiagram() const
{
    // The three fixed columns are always there: a diagram needs a timeline beside them.
    return !m_timelines.isEmpty() && !m_root->childNodes().isEmpty();
}

QVariantMap QntSequenceDiagramController::timelineIdentifiersAndNames() const
{
    QVariantMap map;
    for (const Timeline &t : m_timelines)
        map.insert(t.identifier, t.title);
    return map;
}

QStringList QntSequenceDiagramController::timelineIdentifiersOrdered() const
{
    QStringList ids;
    for (const Timeline &t : m_timelines)
        ids << t.identifier;
    return ids;
}

QString QntSequenceDiagramController::timelineTitle(int column) const
{
    const int t = column - kFixedColumns;
    return t >= 0 && t < m_timelines.size() ? m_timelines[t].title : QString();
}

void QntSequenceDiagramController::setTimelineTitle(int column, const QString &title)
{
    const int t = column - kFixedColumns;
    if (t < 0 || t >= m_timelines.size() || m_timelines[t].title == title)
        return;
    const QString old = m_timelines[t].title;
    const QString id = m_timelines[t].identifier;
    m_timelines[t].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "setTimelineTitle:", [this, id, old] {
            for (int c = kFixedColumns; c < numberOfColumns(); ++c)
                if (m_timelines[c - kFixedColumns].identifier == id)
                    setTimelineTitle(c, old);
        });
        um->setActionName(tr("Rename Timeline"));
    }
    changed();
}

// Model building --------------------------------------------------------------------------

std::shared_ptr<ISDiagram> QntSequenceDiagramController::sequenceDiagram() const
{
    auto diagram = std::make_shared<ISDiagram>(QStringLiteral("SequenceDiagram"));
    QHash<QString, ISTimeline *> timelines;
    for (const QString &id : timelineIdentifiersOrdered()) {
        ISTimeline *timeline = diagram->timelineWithName(id);
        timeline->setID(id);
        timelines.insert(id, timeline);
    }
    sequenceContainer(*m_root, diagram.get(), timelines);
    return diagram;
}

ISContainer *
QntSequenceDiagramController::sequenceContainer(const QntSeqTreeNode &node,
                                                ISContainer *parentContainer,
                                                const QHash<QString, ISTimeline *> &timelines) const
{
    const SimpleNodeData &data = *node.representedObject();
    if (!data.isContainer() || !parentContainer)
        return nullptr;
    ISContainer *container = parentContainer;
    switch (data.nodeKind()) {
    case SimpleNodeData::Option: container = parentContainer->optionWithName(data.name()); break;
    case SimpleNodeData::Loop:
        container = parentContainer->loopWithName(data.name(), data.text().trimmed().toInt());
        break;
    case SimpleNodeData::Alternative:
        container = parentContainer->alternativeWithName(data.name());
        break;
    default: break;
    }
    container->setID(data.ID());
    for (const auto &child : node.childNodes()) {
        const SimpleNodeData &c = *child->representedObject();
        if (c.isContainer()) {
            sequenceContainer(*child, container, timelines);
            continue;
        }
        switch (c.nodeKind()) {
        case SimpleNodeData::Message:
        case SimpleNodeData::Response: {
            ISTimeline *from = nullptr;
            ISTimeline *to = nullptr;
            const QString self = c.selfTimelineName();
            if (!self.isEmpty()) {
                from = to = timelines.value(self);
            } else {
                from = timelines.value(c.sourceTimelineName());
                to = timelines.value(c.targetTimelineName());
            }
            if (!from || !to)
                break;
            ISMessage *message = container->messageFromTimeline(from, to, c.text());
            message->setID(c.ID());
            if (c.nodeKind() == SimpleNodeData::Response)
                message->setLineType(1);
            break;
        }
        case SimpleNodeData::AlternativeCondition:
            if (container->kind() == ISElement::Kind::Alternatives) {
                auto *alternatives = static_cast<ISAlternatives *>(container);
                alternatives->alternativeConditionWithName(c.text())->setID(c.ID());
            }
            break;
        default: break;
        }
    }
    return container;
}

// Storage ---------------------------------------------------------------------------------

QVariantMap QntSequenceDiagramController::sequenceDictionary() const
{
    QVariantList children;
    sequenceDic(*m_root, children);
    QVariantList ordered;
    for (const QString &id : timelineIdentifiersOrdered())
        ordered << id;
    return {{QStringLiteral("Name"), QStringLiteral("OVRoot")},
            {QStringLiteral("Children"), children},
            {QStringLiteral("TimelineIdentifiersAndNames"), timelineIdentifiersAndNames()},
            {QStringLiteral("TimelineIdentifiersOrdered"), ordered}};
}

void QntSequenceDiagramController::saveSequenceToDrawing(VRDrawing *drawing) const
{
    if (drawing)
        drawing->setSequenceDic(sequenceDictionary());
}

void QntSequenceDiagramController::sequenceDic(const QntSeqTreeNode &node,
                                               QVariantList &parentChildren)
{
    const SimpleNodeData &data = *node.representedObject();
    if (!data.isContainer())
        return;
    const int kind = data.nodeKind();
    const bool ownDictionary = SimpleNodeData::isContainerKind(kind);
    QVariantList ownChildren;
    QVariantList &children = ownDictionary ? ownChildren : parentChildren;
    for (const auto &child : node.childNodes()) {
        const SimpleNodeData &c = *child->representedObject();
        if (c.isContainer()) {
            sequenceDic(*child, children);
            continue;
        }
        QVariantMap leaf{{QStringLiteral("Kind"), c.nodeKind()},
                         {QStringLiteral("Name"), c.name()},
                         {QStringLiteral("ID"), c.ID()}};
        if (!c.text().isEmpty())
            leaf.insert(QStringLiteral("Text"), c.text());
        for (auto it = c.timelines().constBegin(); it != c.timelines().constEnd(); ++it)
            leaf.insert(roleKey(it.value()), it.key());
        children << leaf;
    }
    if (!ownDictionary)
        return;
    QVariantMap dictionary{
        {QStringLiteral("Kind"), kind},
        {QStringLiteral("Name"), data.name().isEmpty() ? containerDefaultName(kind) : data.name()},
        {QStringLiteral("Children"), ownChildren},
        {QStringLiteral("ID"), data.ID()}};
    if (!data.text().isEmpty())
        dictionary.insert(QStringLiteral("Text"), data.text());
    parentChildren << dictionary;
}

namespace {

void readChildren(QntSeqTreeNode &parent, const QVariantMap &dictionary, QSet<QString> &ids,
                  int depth)
{
    // Every entity gets an identifier of its own: a missing or repeated one is replaced, so
    // the looks of two entities never share a key.
    const auto identify = [&ids](SimpleNodeData &data) {
        if (data.ID().isEmpty() || ids.contains(data.ID()))
            data.setID(VRUniqueID::uniqueKey());
        ids.insert(data.ID());
    };
    const QVariantList children = dictionary.value(QStringLiteral("Children")).toList();
    for (const QVariant &element : children) {
        if (element.metaType().id() != QMetaType::QVariantMap)
            continue;
        const QVariantMap map = element.toMap();
        auto data = SimpleNodeData::nodeDataWithDictionary(map);
        identify(*data);
        auto node = std::make_shared<QntSeqTreeNode>(data);
        if (map.contains(QStringLiteral("Children"))) {
            if (!SimpleNodeData::isContainerKind(data->nodeKind())
                && map.value(QStringLiteral("Kind")).toInt() != data->nodeKind())
                data->setNodeKind(SimpleNodeData::Message);
            if (depth < kMaximumDepth)
                readChildren(*node, map, ids, depth + 1);
        } else {
            data->setContainer(false);
        }
        parent.insertChild(node, int(parent.childNodes().size()));
    }
}

} // namespace

std::shared_ptr<QntSeqTreeNode>
QntSequenceDiagramController::treeNodeFromDictionary(const QVariantMap &dictionary)
{
    auto data = SimpleNodeData::nodeDataWithDictionary(dictionary);
    data->setName(QStringLiteral("OVRoot"));
    data->setNodeKind(SimpleNodeData::Message);
    data->setID(QString());
    data->setTimelines({});
    auto root = std::make_shared<QntSeqTreeNode>(data);
    QSet<QString> ids;
    readChildren(*root, dictionary, ids, 0);
    return root;
}

// Entity commands -------------------------------------------------------------------------

void QntSequenceDiagramController::addKind(int kind)
{
    auto data = SimpleNodeData::nodeDataWithName(SimpleNodeData::defaultNameForKind(kind));
    data->setNodeKind(kind);
    data->setContainer(SimpleNodeData::isContainerKind(kind));
    if (kind == SimpleNodeData::Loop)
        data->setText(QStringLiteral("1"));
    addNewDataToSelection(data);
}

QList<std::shared_ptr<QntSeqTreeNode>> QntSequenceDiagramController::selectedNodes() const
{
    QList<std::shared_ptr<QntSeqTreeNode>> nodes;
    if (!m_outlineView || !m_outlineView->selectionModel())
        return nodes;
    QModelIndexList rows = m_outlineView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex &a, const QModelIndex &b) {
        return m_outlineView->visualRect(a).top() < m_outlineView->visualRect(b).top();
    });
    for (const QModelIndex &row : std::as_const(rows))
        if (auto node = sharedNode(nodeForIndex(row)))
            nodes << node;
    return nodes;
}

std::shared_ptr<QntSeqTreeNode>
QntSequenceDiagramController::sharedNode(const QntSeqTreeNode *node) const
{
    if (!node)
        return nullptr;
    if (node == m_root.get())
        return m_root;
    QntSeqTreeNode *parent = node->parentNode();
    if (!parent)
        return nullptr;
    const int i = node->indexInParent();
    return i >= 0 ? parent->childNodes().at(i) : nullptr;
}

void QntSequenceDiagramController::addNewDataToSelection(std::shared_ptr<SimpleNodeData> data)
{
    QntSeqTreeNode *parent = m_root.get();
    if (m_outlineView && m_outlineView->selectionModel()) {
        const QModelIndexList rows = m_outlineView->selectionModel()->selectedRows();
        if (rows.size() == 1)
            if (QntSeqTreeNode *selected = nodeForIndex(rows.first()))
                parent = selected;
    }
    addNewData(std::move(data), nullptr, parent, -1);
}

std::shared_ptr<QntSeqTreeNode>
QntSequenceDiagramController::addNewData(std::shared_ptr<SimpleNodeData> data,
                                         std::shared_ptr<QntSeqTreeNode> node,
                                         QntSeqTreeNode *parent, int childIndex)
{
    if (!parent)
        parent = m_root.get();
    QntSeqTreeNode *target = parent;
    int index = childIndex;
    if (!target->representedObject()->isContainer() && target->parentNode()) {
        if (index < 0)
            index = target->indexInParent() + 1;
        target = target->parentNode();
    }
    if (index < 0 || index > target->childNodes().size())
        index = int(target->childNodes().size());
    if (!node)
        node = std::make_shared<QntSeqTreeNode>(data);
    const QModelIndex parentIndex = target == m_root.get() ? QModelIndex() : indexForNode(target);
    beginInsertRows(parentIndex, index, index);
    target->insertChild(node, index);
    endInsertRows();
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "deleteRowsWithIndexes:", [this, node] { deleteNodes({node}); });
        um->setActionName(tr("Add Entity"));
    }
    changed();
    if (m_outlineView) {
        if (target != m_root.get())
            m_outlineView->expandRecursively(indexForNode(target));
        const bool container = node->representedObject()->isContainer();
        const QModelIndex row = indexForNode(node.get(), container ? NameColumn : TextColumn);
        VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr;
        const bool replaying = um && (um->isUndoing() || um->isRedoing());
        if (row.isValid() && !replaying) {
            m_outlineView->selectionModel()->setCurrentIndex(
                row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_outlineView->scrollTo(row);
            if (m_outlineView->isVisible())
                m_outlineView->edit(row);
        }
    }
    return node;
}

void QntSequenceDiagramController::deleteSelections()
{
    deleteNodes(selectedNodes());
}

void QntSequenceDiagramController::registerUndoWhenDeletingNode(
    const std::shared_ptr<QntSeqTreeNode> &node)
{
    VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr;
    QntSeqTreeNode *parent = node->parentNode();
    if (!um || !parent)
        return;
    const std::shared_ptr<QntSeqTreeNode> parentRef = sharedNode(parent);
    const int index = node->indexInParent();
    um->registerUndo(
        this, "addNewData:inChildTreeNode:toParentNode:childIndex:",
        [this, node, parentRef, index] { addNewData(node->data(), node, parentRef.get(), index); });
}

void QntSequenceDiagramController::deleteNodes(QList<std::shared_ptr<QntSeqTreeNode>> nodes)
{
    // A node inside another deleted node goes with it.
    nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                               [&nodes](const std::shared_ptr<QntSeqTreeNode> &n) {
                                   if (!n || !n->parentNode())
                                       return true;
                                   return std::any_of(
                                       nodes.begin(), nodes.end(), [&n](const auto &o) {
                                           return o && o != n && o->contains(n.get());
                                       });
                               }),
                nodes.end());
    if (nodes.isEmpty())
        return;
    VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr;
    const bool coalescing = um && um->isUndoTaskCoalescingEnabled();
    if (coalescing)
        um->disableUndoTaskCoalescing();
    for (int i = int(nodes.size()) - 1; i >= 0; --i) {
        const std::shared_ptr<QntSeqTreeNode> &node = nodes[i];
        if (m_delegate)
            m_delegate->onTreeNodeDeleted(*node);
        registerUndoWhenDeletingNode(node);
        deleteSequencePropertiesOfNode(*node);
        QntSeqTreeNode *parent = node->parentNode();
        const int row = node->indexInParent();
        beginRemoveRows(parent == m_root.get() ? QModelIndex() : indexForNode(parent), row, row);
        parent->removeChildAt(row);
        endRemoveRows();
    }
    if (um) {
        um->setActionName(tr("Remove Entity"));
        if (coalescing)
            um->enableUndoTaskCoalescing();
    }
    changed();
}

void QntSequenceDiagramController::deleteSequencePropertiesOfNode(const QntSeqTreeNode &node)
{
    if (!m_drawing)
        return;
    QVariantMap &looks = m_drawing->sequenceStyleDic();
    const QString id = node.representedObject()->ID();
    if (!id.isEmpty()) {
        looks.remove(id);
        looks.remove(id + QStringLiteral("-CONNECTOR_PROPERTIES"));
        // The paddings of the entity's frame would otherwise stay in the document for good.
        looks.remove(id + QStringLiteral("_PROPERTIES"));
    }
    for (const auto &child : node.childNodes())
        deleteSequencePropertiesOfNode(*child);
}

void QntSequenceDiagramController::removeConnectorPropertiesForConnectorID(
    const QString &identifier)
{
    if (!m_drawing || identifier.isEmpty())
        return;
    QVariantMap &looks = m_drawing->sequenceStyleDic();
    const QString key = identifier + QStringLiteral("-CONNECTOR_PROPERTIES");
    if (!looks.contains(key))
        return;
    QVariantMap properties = looks.value(key).toMap();
    properties.remove(QStringLiteral("LayoutMode"));
    looks.insert(key, properties);
}

void QntSequenceDiagramController::removeConnectorStyleForConnectorID(const QString &identifier)
{
    if (m_drawing && !identifier.isEmpty())
        m_drawing->sequenceStyleDic().insert(identifier, QStringLiteral("REMOVE"));
}

void QntSequenceDiagramController::sortData()
{
    const QList<std::shared_ptr<QntSeqTreeNode>> selected = selectedNodes();
    beginResetModel();
    m_root->sortRecursively();
    endResetModel();
    if (m_outlineView) {
        m_outlineView->expandAll();
        for (const auto &node : selected)
            m_outlineView->selectionModel()->select(
                indexForNode(node.get()), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    changed();
}

// Timeline commands -----------------------------------------------------------------------

void QntSequenceDiagramController::addTimeline()
{
    insertTableColumn(VRUniqueID::uniqueKey(), tr("Timeline"), numberOfColumns());
}

void QntSequenceDiagramController::addTimelineBefore()
{
    if (m_clickedColumn < kFixedColumns || m_clickedColumn >= numberOfColumns())
        return;
    insertTableColumn(VRUniqueID::uniqueKey(), tr("Timeline"), m_clickedColumn);
}

void QntSequenceDiagramController::addTimelineAfter()
{
    if (m_clickedColumn < kFixedColumns - 1 || m_clickedColumn >= numberOfColumns())
        return;
    insertTableColumn(VRUniqueID::uniqueKey(), tr("Timeline"), m_clickedColumn + 1);
}

void QntSequenceDiagramController::deleteTimeline()
{
    if (m_clickedColumn < kFixedColumns || m_clickedColumn >= numberOfColumns())
        return;
    const QString id = m_timelines[m_clickedColumn - kFixedColumns].identifier;
    if (m_drawing) {
        m_drawing->sequenceStyleDic().remove(id);
        m_drawing->sequenceStyleDic().remove(id + QStringLiteral("-TIMELINE_HEADER"));
        m_drawing->sequenceStyleDic().remove(id + QStringLiteral("-TIMELINE_HEADER_PROPERTIES"));
    }
    removeTableColumnFromIndex(m_clickedColumn);
}

void QntSequenceDiagramController::insertTableColumn(const QString &identifier,
                                                     const QString &title, int index)
{
    index = std::clamp(index, int(kFixedColumns), numberOfColumns());
    beginInsertColumns({}, index, index);
    m_timelines.insert(index - kFixedColumns, {identifier, title});
    endInsertColumns();
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "removeTableColumnFromIndex:", [this, index] {
            removeTableColumnFromIndex(index);
        });
        um->setActionName(tr("Insert Timeline"));
    }
    changed();
}

void QntSequenceDiagramController::removeTableColumnFromIndex(int index)
{
    if (index < kFixedColumns || index >= numberOfColumns())
        return;
    const Timeline timeline = m_timelines[index - kFixedColumns];
    if (m_delegate)
        m_delegate->onTableColumnDeleted(kTimelinePrefix + timeline.identifier);
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "insertTableColumn:atIndex:", [this, timeline, index] {
            insertTableColumn(timeline.identifier, timeline.title, index);
        });
        um->setActionName(tr("Remove Timeline"));
    }
    beginRemoveColumns({}, index, index);
    m_timelines.removeAt(index - kFixedColumns);
    endRemoveColumns();
    changed();
}

// Editing ---------------------------------------------------------------------------------

QntSequenceDiagramController::NodeState
QntSequenceDiagramController::stateOf(const SimpleNodeData &data)
{
    return {data.name(), data.text(), data.nodeKind(), data.timelines()};
}

void QntSequenceDiagramController::restoreNodeState(const std::shared_ptr<QntSeqTreeNode> &node,
                                                    const NodeState &state,
                                                    const QString &actionName)
{
    SimpleNodeData &data = *node->representedObject();
    const NodeState old = stateOf(data);
    data.setName(state.name);
    data.setText(state.text);
    data.setNodeKind(state.kind);
    data.setTimelines(state.timelines);
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "editEntity:", [this, node, old, actionName] {
            restoreNodeState(node, old, actionName);
        });
        um->setActionName(actionName);
    }
    if (node->parentNode()) {
        const QModelIndex first = indexForNode(node.get(), 0);
        emit dataChanged(first, first.siblingAtColumn(columnCount() - 1));
    }
    changed();
}

void QntSequenceDiagramController::setKind(QntSeqTreeNode &node, int kind)
{
    SimpleNodeData &data = *node.representedObject();
    if (kind == data.nodeKind() || !allowedKinds(node).contains(kind))
        return;
    NodeState state = stateOf(data);
    state.kind = kind;
    // The connector drawn for the old kind starts again from the defaults.
    removeConnectorStyleForConnectorID(data.ID());
    removeConnectorPropertiesForConnectorID(data.ID());
    restoreNodeState(sharedNode(&node), state, tr("Change Kind"));
}

void QntSequenceDiagramController::setRole(QntSeqTreeNode &node, const QString &timeline, int role)
{
    SimpleNodeData &data = *node.representedObject();
    if (data.isContainer() || role < SimpleNodeData::None || role > SimpleNodeData::Self)
        return;
    NodeState state = stateOf(data);
    if (!timeline.isEmpty())
        state.timelines.insert(timeline, role);
    if (role != SimpleNodeData::None) {
        for (auto it = state.timelines.begin(); it != state.timelines.end(); ++it) {
            if (it.key() == timeline)
                continue;
            const bool clear =
                role == SimpleNodeData::Self
                || (role == SimpleNodeData::Source && it.value() != SimpleNodeData::Target)
                || (role == SimpleNodeData::Target && it.value() != SimpleNodeData::Source);
            if (clear)
                it.value() = SimpleNodeData::None;
        }
    }
    removeConnectorPropertiesForConnectorID(data.ID());
    if (state.timelines != data.timelines())
        restoreNodeState(sharedNode(&node), state, tr("Change Role"));
}

void QntSequenceDiagramController::setName(QntSeqTreeNode &node, const QString &name)
{
    NodeState state = stateOf(*node.representedObject());
    if (state.name == name)
        return;
    state.name = name;
    restoreNodeState(sharedNode(&node), state, tr("Rename Entity"));
}

void QntSequenceDiagramController::setText(QntSeqTreeNode &node, const QString &text)
{
    NodeState state = stateOf(*node.representedObject());
    if (state.text == text)
        return;
    state.text = text;
    restoreNodeState(sharedNode(&node), state, tr("Change Text"));
}

QList<int> QntSequenceDiagramController::allowedKinds(const QntSeqTreeNode &node) const
{
    if (node.representedObject()->isContainer())
        return {SimpleNodeData::Option, SimpleNodeData::Alternative, SimpleNodeData::Loop};
    QList<int> kinds{SimpleNodeData::Message, SimpleNodeData::Response};
    const QntSeqTreeNode *parent = node.parentNode();
    if (parent && parent->representedObject()->isContainer()
        && parent->representedObject()->nodeKind() == SimpleNodeData::Alternative
        && parent != m_root.get())
        kinds << SimpleNodeData::AlternativeCondition;
    return kinds;
}

void QntSequenceDiagramController::changed()
{
    saveSequenceToDrawing(m_drawing);
    emit outlineChanged();
}

void QntSequenceDiagramController::updateSelectionField()
{
    if (!m_selectionField || !m_outlineView || !m_outlineView->selectionModel())
        return;
    const QModelIndexList rows = m_outlineView->selectionModel()->selectedRows();
    if (rows.size() > 1)
        m_selectionField->setText(tr("Multiple Rows Selected"));
    else if (rows.size() == 1 && nodeForIndex(rows.first()))
        m_selectionField->setText(nodeForIndex(rows.first())->representedObject()->name());
    else
        m_selectionField->setText(tr("Nothing Selected"));
}

// Row flags and the pane's check boxes ----------------------------------------------------

void QntSequenceDiagramController::setExpandable(QntSeqTreeNode &node, bool expandable)
{
    SimpleNodeData &d = *node.representedObject();
    if (d.isExpandable() == expandable)
        return;
    d.setExpandable(expandable);
    const QModelIndex row = indexForNode(&node);
    if (!row.isValid())
        return;
    emit dataChanged(row.siblingAtColumn(expandableColumn()),
                     row.siblingAtColumn(expandableColumn()));
    if (m_outlineView && !expandable && m_outlineView->isExpanded(row))
        m_outlineView->collapse(row);
}

void QntSequenceDiagramController::setSelectable(QntSeqTreeNode &node, bool selectable)
{
    SimpleNodeData &d = *node.representedObject();
    if (d.isSelectable() == selectable)
        return;
    d.setSelectable(selectable);
    const QModelIndex row = indexForNode(&node);
    if (!row.isValid())
        return;
    emit dataChanged(row, row.siblingAtColumn(columnCount() - 1));
    if (!selectable && m_outlineView && m_outlineView->selectionModel())
        m_outlineView->selectionModel()->select(row, QItemSelectionModel::Deselect
                                                         | QItemSelectionModel::Rows);
}

void QntSequenceDiagramController::expandableMenuItemAction()
{
    const std::shared_ptr<QntSeqTreeNode> node = m_expandableMenuNode.lock();
    if (node && node->parentNode())
        setExpandable(*node, !node->representedObject()->isExpandable());
}

void QntSequenceDiagramController::setAllowsDropOnContainer(bool allow)
{
    m_allowDropOnContainer = allow;
    syncCheckBoxes();
}

void QntSequenceDiagramController::setAllowsDropOnLeaf(bool allow)
{
    if (m_allowDropOnLeaf == allow)
        return;
    // Whether a leaf takes drops is in the rows' flags.
    emit layoutAboutToBeChanged();
    m_allowDropOnLeaf = allow;
    emit layoutChanged();
    syncCheckBoxes();
}

void QntSequenceDiagramController::setOnlyAcceptsDropOnRoot(bool only)
{
    m_onlyAcceptDropOnRoot = only;
    syncCheckBoxes();
}

void QntSequenceDiagramController::setUsesGroupRowLook(bool use)
{
    if (m_useGroupRowLook == use)
        return;
    m_useGroupRowLook = use;
    syncCheckBoxes();
    updateGroupRows();
    if (m_outlineView)
        m_outlineView->viewport()->update();
}

void QntSequenceDiagramController::setAllowsButtonCellsToChangeSelection(bool allow)
{
    m_buttonCellsChangeSelection = allow;
    syncCheckBoxes();
}

bool QntSequenceDiagramController::isGroupItem(const QntSeqTreeNode &node) const
{
    return m_useGroupRowLook && node.representedObject()->isContainer();
}

void QntSequenceDiagramController::syncCheckBoxes()
{
    const bool states[] = {m_allowDropOnContainer, m_allowDropOnLeaf, m_onlyAcceptDropOnRoot,
                           m_useGroupRowLook, m_buttonCellsChangeSelection};
    for (int i = 0; i < m_checkBoxes.size() && i < int(std::size(states)); ++i) {
        if (QCheckBox *b = m_checkBoxes[i]; b && b->isChecked() != states[i]) {
            const QSignalBlocker block(b);
            b->setChecked(states[i]);
        }
    }
}

void QntSequenceDiagramController::updateGroupRows()
{
    if (m_outlineView)
        updateGroupRows(*m_root, {});
}

void QntSequenceDiagramController::updateGroupRows(const QntSeqTreeNode &parent,
                                                   const QModelIndex &parentIndex)
{
    const auto &children = parent.childNodes();
    for (int row = 0; row < children.size(); ++row) {
        const QntSeqTreeNode &child = *children.at(row);
        const bool group = isGroupItem(child);
        if (m_outlineView->isFirstColumnSpanned(row, parentIndex) != group)
            m_outlineView->setFirstColumnSpanned(row, parentIndex, group);
        if (!child.childNodes().isEmpty())
            updateGroupRows(child, index(row, 0, parentIndex));
    }
}

// Menus -----------------------------------------------------------------------------------

void QntSequenceDiagramController::prepareOutlineMenu(QMenu &menu, const QModelIndex &clicked)
{
    menu.clear();
    const int selected =
        m_outlineView ? int(m_outlineView->selectionModel()->selectedRows().size()) : 0;
    QntSeqTreeNode *node = nodeForIndex(clicked);
    QAction *info = nullptr;
    if (!node) {
        info = menu.addAction(tr("You didn't click on any rows..."));
        info->setEnabled(false);
    } else if (selected > 1
               && m_outlineView->selectionModel()->isRowSelected(clicked.row(), clicked.parent())) {
        info = menu.addAction(tr("You clicked on %1 items!").arg(selected));
    } else {
        info = menu.addAction(tr("You clicked on: '%1'").arg(node->representedObject()->name()));
    }
    menu.addSeparator();
    QAction *remove =
        menu.addAction(tr("Delete Selected Items"), this, [this] { deleteSelections(); });
    remove->setObjectName(QStringLiteral("deleteSelectedItemsMenuItem"));
    remove->setEnabled(selected > 0);
    menu.addAction(tr("Sort by Name"), this, [this] { sortData(); });
}

void QntSequenceDiagramController::prepareExpandableMenu(QMenu &menu, const QModelIndex &clicked)
{
    menu.clear();
    QntSeqTreeNode *node = nodeForIndex(clicked);
    m_expandableMenuNode = sharedNode(node);
    QAction *item = menu.addAction(tr("Expandable"), this, [this] { expandableMenuItemAction(); });
    item->setObjectName(QStringLiteral("expandableMenuItem"));
    item->setCheckable(true);
    const int selected =
        m_outlineView ? int(m_outlineView->selectionModel()->selectedRows().size()) : 0;
    const bool container = node && node->representedObject()->isContainer();
    item->setEnabled(node && selected < 2 && container);
    item->setChecked(container && node->representedObject()->isExpandable());
}

void QntSequenceDiagramController::prepareHeaderMenu(QMenu &menu)
{
    menu.clear();
    const bool timeline = m_clickedColumn >= kFixedColumns && m_clickedColumn < numberOfColumns();
    QAction *info =
        menu.addAction(timeline ? tr("You clicked on: '%1'").arg(timelineTitle(m_clickedColumn))
                                : tr("You didn't click on any timeline..."));
    info->setEnabled(false);
    menu.addSeparator();
    const QList<QAction *> actions{
        menu.addAction(tr("Add Timeline Before"), this, [this] { addTimelineBefore(); }),
        menu.addAction(tr("Add Timeline After"), this, [this] { addTimelineAfter(); }),
        menu.addAction(tr("Delete Timeline"), this, [this] { deleteTimeline(); })};
    for (QAction *a : actions)
        a->setEnabled(timeline);
}

// Drag and drop ---------------------------------------------------------------------------

bool QntSequenceDiagramController::dragIsLocalReorder(const QMimeData *data) const
{
    return data && data->hasFormat(kPboardType) && !m_draggedNodes.isEmpty();
}

void QntSequenceDiagramController::draggingSessionEnded()
{
    m_draggedNodes.clear();
}

bool QntSequenceDiagramController::validateDrop(const QMimeData *data, const QModelIndex &item,
                                                int childIndex) const
{
    if (!data)
        return false;
    QntSeqTreeNode *target = item.isValid() ? nodeForIndex(item) : m_root.get();
    if (!target)
        return false;
    if (m_onlyAcceptDropOnRoot) {
        // Every drop goes to the end of the top level.
        target = m_root.get();
        childIndex = -1;
    } else if (childIndex < 0 && target != m_root.get()) {
        if (target->representedObject()->isContainer() ? !m_allowDropOnContainer
                                                       : !m_allowDropOnLeaf)
            return false;
        // A leaf cannot hold entities (saving the outline would lose them): what is dropped
        // on one goes right after it.
        if (!target->representedObject()->isContainer())
            target = target->parentNode();
    }
    if (!target)
        return false;
    if (dragIsLocalReorder(data)) {
        for (const auto &dragged : m_draggedNodes)
            if (dragged->contains(target))
                return false;
        return true;
    }
    return !SimpleNodeData::nodesFromMimeData(*data).isEmpty();
}

void QntSequenceDiagramController::moveNode(const std::shared_ptr<QntSeqTreeNode> &node,
                                            QntSeqTreeNode *target, int index)
{
    QntSeqTreeNode *oldParent = node->parentNode();
    if (!oldParent || !target || node->contains(target))
        return;
    const int oldIndex = node->indexInParent();
    const std::shared_ptr<QntSeqTreeNode> oldParentRef = sharedNode(oldParent);
    beginRemoveRows(oldParent == m_root.get() ? QModelIndex() : indexForNode(oldParent), oldIndex,
                    oldIndex);
    oldParent->removeChildAt(oldIndex);
    endRemoveRows();
    index = std::clamp(index, 0, int(target->childNodes().size()));
    beginInsertRows(target == m_root.get() ? QModelIndex() : indexForNode(target), index, index);
    target->insertChild(node, index);
    endInsertRows();
    if (VRUndoManager *um = m_drawing ? m_drawing->undoManager() : nullptr) {
        um->registerUndo(this, "moveEntity:", [this, node, oldParentRef, oldIndex] {
            moveNode(node, oldParentRef.get(), oldIndex);
        });
        um->setActionName(tr("Move Entity"));
    }
    changed();
}

bool QntSequenceDiagramController::acceptDrop(const QMimeData *data, const QModelIndex &item,
                                              int childIndex)
{
    if (!validateDrop(data, item, childIndex))
        return false;
    QntSeqTreeNode *target = item.isValid() ? nodeForIndex(item) : m_root.get();
    if (m_onlyAcceptDropOnRoot) {
        target = m_root.get();
        childIndex = -1;
    } else if (childIndex < 0 && target != m_root.get()
               && !target->representedObject()->isContainer()) {
        childIndex = target->indexInParent() + 1;
        target = target->parentNode();
    }
    int index = childIndex < 0 ? (target == m_root.get() ? int(target->childNodes().size()) : 0)
                               : childIndex;
    if (dragIsLocalReorder(data)) {
        const QList<std::shared_ptr<QntSeqTreeNode>> dragged = m_draggedNodes;
        for (const auto &node : dragged) {
            if (node->parentNode() == target && index > node->indexInParent())
                --index;
            moveNode(node, target, index);
            ++index;
        }
    } else {
        for (const auto &data : SimpleNodeData::nodesFromMimeData(*data)) {
            addNewData(data, nullptr, target, index);
            ++index;
        }
    }
    if (m_outlineView && target != m_root.get())
        m_outlineView->expand(indexForNode(target));
    return true;
}

// QAbstractItemModel ----------------------------------------------------------------------

QntSeqTreeNode *QntSequenceDiagramController::nodeForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<QntSeqTreeNode *>(index.internalPointer());
}

QModelIndex QntSequenceDiagramController::indexForNode(const QntSeqTreeNode *node, int column) const
{
    if (!node || node == m_root.get() || !node->parentNode())
        return {};
    const int row = node->indexInParent();
    return row < 0 ? QModelIndex() : createIndex(row, column, const_cast<QntSeqTreeNode *>(node));
}

QModelIndex QntSequenceDiagramController::index(int row, int column,
                                                const QModelIndex &parent) const
{
    const QntSeqTreeNode *p = parent.isValid() ? nodeForIndex(parent) : m_root.get();
    if (!p || row < 0 || row >= p->childNodes().size() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column, p->childNodes().at(row).get());
}

QModelIndex QntSequenceDiagramController::parent(const QModelIndex &child) const
{
    const QntSeqTreeNode *node = nodeForIndex(child);
    if (!node || !node->parentNode() || node->parentNode() == m_root.get())
        return {};
    return indexForNode(node->parentNode());
}

int QntSequenceDiagramController::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const QntSeqTreeNode *p = parent.isValid() ? nodeForIndex(parent) : m_root.get();
    return p ? int(p->childNodes().size()) : 0;
}

int QntSequenceDiagramController::columnCount(const QModelIndex &) const
{
    return numberOfColumns() + 2;
}

QVariant QntSequenceDiagramController::data(const QModelIndex &index, int role) const
{
    const QntSeqTreeNode *node = nodeForIndex(index);
    if (!node)
        return {};
    const SimpleNodeData &d = *node->representedObject();
    const bool edit = role == Qt::EditRole;
    if (index.column() == expandableColumn() || index.column() == selectableColumn()) {
        if (role != Qt::CheckStateRole)
            return {};
        const bool on = index.column() == selectableColumn() ? d.isSelectable()
                                                             : d.isContainer() && d.isExpandable();
        return on ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::FontRole && isGroupItem(*node)) {
        QFont font = m_outlineView ? m_outlineView->font() : QFont();
        font.setBold(true);
        return font;
    }
    if (role == Qt::BackgroundRole && isGroupItem(*node))
        return QApplication::palette().brush(QPalette::AlternateBase);
    if (role != Qt::DisplayRole && !edit) {
        if (role == Qt::DecorationRole && index.column() == NameColumn && !d.image().isNull())
            return d.image();
        if (role == Qt::ToolTipRole && index.column() >= kFixedColumns && !d.isContainer())
            return tr("The role of %1 in this entity").arg(timelineTitle(index.column()));
        return {};
    }
    switch (index.column()) {
    case NameColumn: return d.isContainer() || edit ? d.name() : QString();
    case NodeKindColumn:
        return edit ? QVariant(d.nodeKind())
                    : QVariant(SimpleNodeData::defaultNameForKind(d.nodeKind()));
    case TextColumn: return d.text();
    default: break;
    }
    if (d.isContainer())
        return edit ? QVariant(0) : QVariant(QString());
    const int t = index.column() - kFixedColumns;
    const int r =
        t >= 0 && t < m_timelines.size() ? d.timelines().value(m_timelines[t].identifier, 0) : 0;
    return edit ? QVariant(r) : QVariant(r ? roleTitle(r) : QString());
}

bool QntSequenceDiagramController::setData(const QModelIndex &index, const QVariant &value,
                                           int role)
{
    QntSeqTreeNode *node = nodeForIndex(index);
    if (node && role == Qt::CheckStateRole
        && (index.column() == expandableColumn() || index.column() == selectableColumn())) {
        const bool on = Qt::CheckState(value.toInt()) == Qt::Checked;
        if (index.column() == expandableColumn())
            setExpandable(*node, on);
        else
            setSelectable(*node, on);
        return true;
    }
    if (!node || role != Qt::EditRole)
        return false;
    switch (index.column()) {
    case NameColumn: setName(*node, value.toString()); return true;
    case NodeKindColumn: setKind(*node, value.toInt()); return true;
    case TextColumn: setText(*node, value.toString()); return true;
    default: break;
    }
    const int t = index.column() - kFixedColumns;
    if (t < 0 || t >= m_timelines.size())
        return false;
    setRole(*node, m_timelines[t].identifier, value.toInt());
    return true;
}

QVariant QntSequenceDiagramController::headerData(int section, Qt::Orientation orientation,
                                                  int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    switch (section) {
    case NameColumn: return tr("Name");
    case NodeKindColumn: return tr("Kind");
    case TextColumn:
        return role == Qt::ToolTipRole ? tr("Message text, condition, or a loop's count")
                                       : tr("Text");
    default: break;
    }
    if (section == expandableColumn())
        return role == Qt::ToolTipRole ? tr("Whether the option, alternative or loop opens")
                                       : tr("Expandable");
    if (section == selectableColumn())
        return role == Qt::ToolTipRole ? tr("Whether the row can be selected") : tr("Selectable");
    if (role == Qt::ToolTipRole)
        return tr("Double-click to rename; right-click for more");
    return timelineTitle(section);
}

Qt::ItemFlags QntSequenceDiagramController::flags(const QModelIndex &index) const
{
    const QntSeqTreeNode *node = nodeForIndex(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    const SimpleNodeData &d = *node->representedObject();
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    if (d.isSelectable())
        f |= Qt::ItemIsSelectable;
    if (d.isContainer() || m_allowDropOnLeaf)
        f |= Qt::ItemIsDropEnabled;
    if (index.column() == selectableColumn())
        return f | Qt::ItemIsUserCheckable;
    if (index.column() == expandableColumn()) {
        // Only an option, alternative or loop opens.
        f |= Qt::ItemIsUserCheckable;
        return d.isContainer() ? f : f & ~Qt::ItemIsEnabled;
    }
    const bool editable = index.column() == NameColumn      ? d.isContainer()
                          : index.column() >= kFixedColumns ? !d.isContainer()
                                                            : true;
    if (editable)
        f |= Qt::ItemIsEditable;
    return f;
}

QStringList QntSequenceDiagramController::mimeTypes() const
{
    return {kPboardType, QStringLiteral("text/plain"), QStringLiteral("text/uri-list")};
}

QMimeData *QntSequenceDiagramController::mimeData(const QModelIndexList &indexes) const
{
    m_draggedNodes.clear();
    QSet<const QntSeqTreeNode *> seen;
    QModelIndexList rows = indexes;
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex &a, const QModelIndex &b) {
        if (!m_outlineView)
            return a.row() < b.row();
        return m_outlineView->visualRect(a).top() < m_outlineView->visualRect(b).top();
    });
    for (const QModelIndex &index : std::as_const(rows)) {
        QntSeqTreeNode *node = nodeForIndex(index);
        if (!node || seen.contains(node))
            continue;
        seen.insert(node);
        if (auto shared = sharedNode(node))
            m_draggedNodes << shared;
    }
    auto *data = new QMimeData;
    data->setData(kPboardType, QByteArray());
    if (!m_draggedNodes.isEmpty())
        m_draggedNodes.first()->representedObject()->writeToMimeData(*data);
    return data;
}

bool QntSequenceDiagramController::canDropMimeData(const QMimeData *data, Qt::DropAction, int row,
                                                   int, const QModelIndex &parent) const
{
    return validateDrop(data, parent, row);
}

bool QntSequenceDiagramController::dropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                                                const QModelIndex &parent)
{
    return acceptDrop(data, parent.isValid() ? parent.siblingAtColumn(0) : parent, row);
}

Qt::DropActions QntSequenceDiagramController::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions QntSequenceDiagramController::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}
