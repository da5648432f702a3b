#pragma once

#include "library/QntSeqOutlineView.h"
#include "library/QntSeqTreeNode.h"

#include "framework/model/VRDrawing.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QVariantMap>

#include <memory>

class ISContainer;
class ISDiagram;
class ISTimeline;
class QCheckBox;
class QMenu;

// What the sequence outline tells its document.
class QntSequenceDiagramControllerDelegate
{
public:
    virtual ~QntSequenceDiagramControllerDelegate() = default;
    virtual void onTreeNodeDeleted(QntSeqTreeNode &node) = 0;
    virtual void onTableColumnDeleted(const QString &columnIdentifier) = 0;
};

// The sequence pane: an outline of entities (rows) with three fixed columns (name, kind, text)
// followed by one role column per timeline. Adds, removes, reorders and edits entities and
// timelines, each change undoable through the drawing's undo manager; keeps the outline in the
// drawing (sequenceDic) and builds the diagram model from it.
class QntSequenceDiagramController : public QAbstractItemModel
{
    Q_OBJECT
public:
    static const QString kPboardType;
    static constexpr int kFixedColumns = 3;
    enum Column { NameColumn = 0, NodeKindColumn = 1, TextColumn = 2 };

    explicit QntSequenceDiagramController(QObject *parent = nullptr);
    ~QntSequenceDiagramController() override;

    // The pane: the command buttons and the outline view. Made once.
    QWidget *createPane(QWidget *parent);
    QntSeqOutlineView *outlineView() const { return m_outlineView; }
    QLabel *selectionTextField() const { return m_selectionField; }

    void setDelegate(QntSequenceDiagramControllerDelegate *delegate) { m_delegate = delegate; }
    // Takes the drawing and shows the outline it stores.
    void setupWithDrawing(VRDrawing *drawing);
    VRDrawing *drawing() const { return m_drawing; }
    std::shared_ptr<QntSeqTreeNode> rootNode() const { return m_root; }

    // Columns: the fixed ones and a column per timeline; after them the two check-box columns
    // of each row's expandable and selectable flags.
    int numberOfColumns() const { return kFixedColumns + int(m_timelines.size()); }
    int expandableColumn() const { return numberOfColumns(); }
    int selectableColumn() const { return numberOfColumns() + 1; }
    QString columnIdentifier(int column) const;
    int clickedColumn() const { return m_clickedColumn; }
    void setClickedColumn(int column) { m_clickedColumn = column; }
    // At least one timeline and one entity.
    bool canBuildSeqDiagram() const;
    QVariantMap timelineIdentifiersAndNames() const;
    QStringList timelineIdentifiersOrdered() const;
    QString timelineTitle(int column) const;
    void setTimelineTitle(int column, const QString &title);

    // The diagram model of the outline, and the recursive step that fills one container.
    std::shared_ptr<ISDiagram> sequenceDiagram() const;
    ISContainer *sequenceContainer(const QntSeqTreeNode &node, ISContainer *parentContainer,
                                   const QHash<QString, ISTimeline *> &timelines) const;
    // Stores the outline in the drawing.
    void saveSequenceToDrawing(VRDrawing *drawing) const;
    QVariantMap sequenceDictionary() const;
    static void sequenceDic(const QntSeqTreeNode &node, QVariantList &parentChildren);
    // Reads a stored node (the root dictionary included); what cannot be read is left out.
    static std::shared_ptr<QntSeqTreeNode> treeNodeFromDictionary(const QVariantMap &dictionary);

    // Entity commands.
    void addMessage() { addKind(SimpleNodeData::Message); }
    void addResponse() { addKind(SimpleNodeData::Response); }
    void addOptionContainer() { addKind(SimpleNodeData::Option); }
    void addAlternativeContainer() { addKind(SimpleNodeData::Alternative); }
    void addAlternativeCondition() { addKind(SimpleNodeData::AlternativeCondition); }
    void addLoopContainer() { addKind(SimpleNodeData::Loop); }
    void addNewDataToSelection(std::shared_ptr<SimpleNodeData> data);
    // Inserts a node (made for the data when none is given) under the parent at the index
    // (−1 appends; a leaf parent puts it after the leaf). Returns the inserted node.
    std::shared_ptr<QntSeqTreeNode> addNewData(std::shared_ptr<SimpleNodeData> data,
                                               std::shared_ptr<QntSeqTreeNode> node,
                                               QntSeqTreeNode *parent, int childIndex);
    void deleteSelections();
    void deleteNodes(QList<std::shared_ptr<QntSeqTreeNode>> nodes);
    void deleteSequencePropertiesOfNode(const QntSeqTreeNode &node);
    void removeConnectorPropertiesForConnectorID(const QString &identifier);
    void removeConnectorStyleForConnectorID(const QString &identifier);
    void sortData();

    // Timeline commands; "before", "after" and "delete" work on the clicked column.
    void addTimeline();
    void addTimelineBefore();
    void addTimelineAfter();
    void deleteTimeline();
    void insertTableColumn(const QString &identifier, const QString &title, int index);
    void removeTableColumnFromIndex(int index);

    // Editing.
    void setKind(QntSeqTreeNode &node, int kind);
    // Role rule: Source keeps a Target, Target keeps a Source, Self and a repeated role clear.
    void setRole(QntSeqTreeNode &node, const QString &timeline, int role);
    void setName(QntSeqTreeNode &node, const QString &name);
    void setText(QntSeqTreeNode &node, const QString &text);
    // The kinds the kind pop-up offers for a node.
    QList<int> allowedKinds(const QntSeqTreeNode &node) const;

    QntSeqTreeNode *nodeForIndex(const QModelIndex &index) const;
    QModelIndex indexForNode(const QntSeqTreeNode *node, int column = 0) const;

    // The row flags of the check-box columns. A row that is not expandable stays collapsed;
    // one that is not selectable cannot be selected.
    void setExpandable(QntSeqTreeNode &node, bool expandable);
    void setSelectable(QntSeqTreeNode &node, bool selectable);
    // Flips the expandable flag of the row the expandable column's menu was opened on.
    void expandableMenuItemAction();

    // The pane's check boxes: where drops may land and how the rows look and select.
    bool allowsDropOnContainer() const { return m_allowDropOnContainer; }
    void setAllowsDropOnContainer(bool allow);
    bool allowsDropOnLeaf() const { return m_allowDropOnLeaf; }
    void setAllowsDropOnLeaf(bool allow);
    bool onlyAcceptsDropOnRoot() const { return m_onlyAcceptDropOnRoot; }
    void setOnlyAcceptsDropOnRoot(bool only);
    bool usesGroupRowLook() const { return m_useGroupRowLook; }
    void setUsesGroupRowLook(bool use);
    bool allowsButtonCellsToChangeSelection() const { return m_buttonCellsChangeSelection; }
    void setAllowsButtonCellsToChangeSelection(bool allow);
    // A container shown as a group row: one cell across the row with its name.
    bool isGroupItem(const QntSeqTreeNode &node) const;

    // Menus, prepared as they open.
    void prepareOutlineMenu(QMenu &menu, const QModelIndex &clicked);
    void prepareHeaderMenu(QMenu &menu);
    void prepareExpandableMenu(QMenu &menu, const QModelIndex &clicked);

    // Drag and drop.
    bool dragIsLocalReorder(const QMimeData *data) const;
    void draggingSessionEnded();
    bool validateDrop(const QMimeData *data, const QModelIndex &item, int childIndex) const;
    bool acceptDrop(const QMimeData *data, const QModelIndex &item, int childIndex);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

signals:
    // The outline changed (the drawing already holds the new outline).
    void outlineChanged();
    // The pane's build button.
    void layoutRequested();

private:
    struct Timeline {
        QString identifier;
        QString title;
    };
    struct NodeState {
        QString name, text;
        int kind = 0;
        QMap<QString, int> timelines;
    };
    void addKind(int kind);
    void restoreNodeState(const std::shared_ptr<QntSeqTreeNode> &node, const NodeState &state,
                          const QString &actionName);
    static NodeState stateOf(const SimpleNodeData &data);
    void moveNode(const std::shared_ptr<QntSeqTreeNode> &node, QntSeqTreeNode *target, int index);
    void registerUndoWhenDeletingNode(const std::shared_ptr<QntSeqTreeNode> &node);
    void changed();
    void undoName(const QString &name);
    QList<std::shared_ptr<QntSeqTreeNode>> selectedNodes() const;
    std::shared_ptr<QntSeqTreeNode> sharedNode(const QntSeqTreeNode *node) const;
    void updateSelectionField();
    void updateGroupRows();
    void updateGroupRows(const QntSeqTreeNode &parent, const QModelIndex &parentIndex);
    void syncCheckBoxes();

    QntSequenceDiagramControllerDelegate *m_delegate = nullptr;
    QPointer<VRDrawing> m_drawing;
    std::shared_ptr<QntSeqTreeNode> m_root;
    QList<Timeline> m_timelines;
    mutable QList<std::shared_ptr<QntSeqTreeNode>> m_draggedNodes;
    QPointer<QntSeqOutlineView> m_outlineView;
    QPointer<QLabel> m_selectionField;
    int m_clickedColumn = -1;
    std::weak_ptr<QntSeqTreeNode> m_expandableMenuNode;
    bool m_allowDropOnContainer = true;
    bool m_allowDropOnLeaf = false;
    bool m_onlyAcceptDropOnRoot = false;
    bool m_useGroupRowLook = false;
    bool m_buttonCellsChangeSelection = false;
    QList<QPointer<QCheckBox>> m_checkBoxes;
};
