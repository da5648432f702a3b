#pragma once

#include "framework/document/VRDrawingDocument.h"
#include "framework/notations/QntNotation.h"
#include "platform/NotificationCenter.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <memory>
#include <vector>

class QMenu;
#include <QMessageBox>
class QMimeData;
class QScrollArea;
class QToolButton;
class QTreeWidgetItem;
class QntNotationSubGroupItem;
class QntNotationSubgroup;
class QntOutlineView;
class VRDrawing;

// The notation palette of one document window: the drawing's notation, the built-in libraries
// and the extra databases as titled groups of shapes, with a filter menu that shows and hides
// whole groups. Which groups are hidden belongs to the drawing (seeded from the defaults).
class QntNotationPalette : public QWidget
{
    Q_OBJECT
public:
    using GroupRef = std::shared_ptr<QntNotationSubgroup>;

    // Group tags, one per filter entry (entry index = tag - 1).
    enum Tag {
        ShapesTag = 1,
        ArrowsTag,
        LinesTag,
        FlowChartTag,
        OfficeTag,
        NetworkTag,
        CiscoTag,
        PeopleTag,
        MiscTag,
        AppleTag,
        CustomTag
    };
    static constexpr int kTagCount = 11;

    explicit QntNotationPalette(VRDrawingDocument *document, QWidget *parent = nullptr);
    ~QntNotationPalette() override;

    // Puts the palette into the document window's library area and sizes its items to it.
    void installInScrollArea(QScrollArea *scrollArea);

    // Rebuilds the whole palette from the drawing's current notation.
    void loadNotationElements();
    void manageSubgroups();
    // Shows or hides the groups of a tag, as the filter menu does.
    void paletteFilterAction(int tag);
    void reloadCustomSubgroup();

    void addShapesSubgroup(bool rebuild = false);
    void addArrowsSubgroup();
    void addLinesSubgroup();
    void addTextSubgroup();
    void addFlowchartSubgroup();
    void addOfficeSubgroup();
    void addNetworkSubgroup();
    void addCiscoSubgroup();
    void addPeopleSubgroup();
    void addMiscSubgroup();
    void addAppleSubgroup();
    void addCustomSubgroup();

    // Notification handlers.
    void notationScrollbarNotification(const Notification &notification);
    void notationScrollbarBackgroundNotification(const Notification &notification);
    void reloadNotationNotification(const Notification &notification);

    VRDrawing *drawing() const;
    QntOutlineView *outlineView() const { return _notationOutline; }
    QToolButton *paletteFilter() const { return _paletteFilter; }
    QMenu *paletteFilterMenu() const { return m_filterMenu; }
    const QList<GroupRef> &notationSubgroups() const { return _notationSubgroups; }
    const QList<GroupRef> &hiddenNotationSubgroups() const { return _hiddenNotationSubgroups; }
    QStringList shownGroupTitles() const;
    bool isGroupExpanded(const QntNotationSubgroup *group) const;
    // The filter entry of a tag: visible, and on (shown) or off.
    bool isFilterEntryVisible(int tag) const;
    bool isFilterEntryOn(int tag) const;
    QColor backgroundColour() const { return m_background; }
    double notationOutlineHeight() const { return _notationOutlineHeight; }
    QString toolTipForItem(const QTreeWidgetItem *row) const;
    // The Custom group's tooltip: an invitation to drop shapes once the image bank exists,
    // else that the group is empty.
    static QString customGroupToolTip();

    GroupRef subgroupShapes() const { return m_subgroupShapes; }
    GroupRef subgroupArrows() const { return m_subgroupArrows; }
    GroupRef subgroupLongArrows() const { return m_subgroupLongArrows; }
    GroupRef subgroupLines() const { return m_subgroupLines; }
    GroupRef subgroupText() const { return m_subgroupText; }
    GroupRef subgroupFlowchart() const { return m_subgroupFlowchart; }
    GroupRef subgroupOffice() const { return m_subgroupOffice; }
    GroupRef subgroupNetwork() const { return m_subgroupNetwork; }
    GroupRef subgroupCisco() const { return m_subgroupCisco; }
    GroupRef subgroupPeople() const { return m_subgroupPeople; }
    GroupRef subgroupMisc() const { return m_subgroupMisc; }
    GroupRef subgroupApple() const { return m_subgroupApple; }
    GroupRef subgroupCustom() const { return m_subgroupCustom; }
    GroupRef subgroupImported() const { return m_subgroupImported; }

    static QString filterEntryTitle(int tag);

    // ---- editing: drops onto the palette, replacement, deletion, renaming, insertion ----
    // Where a drop goes: onto an item (childIndex -1), onto a group row (-1), into a group's
    // gap (childIndex ≥ 0), or the top level (no group, no item).
    struct DropTarget {
        QntNotationSubgroup *group = nullptr;
        QntNotationSubGroupItem *item = nullptr;
        int childIndex = -1;
    };
    DropTarget dropTargetAt(QPoint viewportPoint) const;
    // The drag operation a drop would get: Qt::IgnoreAction (refused), Qt::CopyAction (a new or
    // replaced shape) or Qt::MoveAction (into or within an editable group). A top-level drop is
    // retargeted to the start of the Custom group. source is the drag's source widget.
    Qt::DropAction validateDrop(const QMimeData *data, DropTarget &target,
                                const QObject *source) const;
    // Takes the drop; true when the drop was taken.
    bool acceptDrop(const QMimeData *data, DropTarget target, const QObject *source);
    // The replacement question's answer (1 Replace, else Cancel).
    void alertDidEnd(int returnCode);
    QMessageBox *replaceAlert() const { return m_replaceAlert; }
    // The outline's context menu for a row (null when nothing applies to it).
    QMenu *contextMenuForRow(QTreeWidgetItem *row);
    // The entries of the context menu shown for the clicked row.
    void menuNeedsUpdate(QMenu *menu);
    // Asks first, then deletes the clicked row's shape or imported group.
    void deleteOutlineSelections();
    // The deletion itself, once agreed.
    bool deleteClickedRow();
    QMessageBox *deleteAlert() const { return m_deleteAlert; }
    // Renames the clicked row's shape of an editable group (its "TITLE").
    bool renameClickedItem(const QString &title);
    void setClickedRow(QTreeWidgetItem *row);
    // Places a copy of the row's shape in the middle of the visible drawing and selects it.
    void notationOutlineDoubleClick(QTreeWidgetItem *row);
    QTreeWidgetItem *rowForItem(const QntNotationSubGroupItem *item) const;
    QTreeWidgetItem *rowForGroup(const QntNotationSubgroup *group) const;

private:
    QSet<int> &hiddenTags();
    void buildGroupsOfTag(int tag);
    GroupRef appendGroup(const QString &title, const QList<QntElementRecord> &elements,
                         const QntNotation *notation, quint64 orderValue);
    GroupRef makeExtraGroup(const QString &databasePath, const QString &name, const QString &title,
                            quint64 orderValue);
    VRObjectList builtinLibraryPrototypes(const QString &library) const;
    void reloadOutline();
    void expandShownGroups();
    void updateFilterStates();
    void applyBackground(const QColor &colour);
    void applyScroller(bool shown);
    void outlineItemExpandedOrCollapsed(QTreeWidgetItem *row, bool expanded);
    void observeNotifications();
    std::shared_ptr<QntNotationSubGroupItem> itemRef(const QntNotationSubGroupItem *item) const;
    GroupRef groupRef(const QntNotationSubgroup *group) const;
    QntNotationRef notationOfGroup(const QntNotationSubgroup *group) const;
    bool insertNewShape(const VRObjectRef &object, const GroupRef &group, int index);
    bool moveShapeWithinGroup(const GroupRef &group, const QString &elementId, int index);
    void removePendingDragObjects(const QObject *source);
    void showEditingError(const QString &text, const QString &informative);
    void scheduleCustomReload();
    void repaintDrawing();

    QPointer<VRDrawingDocument> m_document;
    QntOutlineView *_notationOutline = nullptr;
    QToolButton *_paletteFilter = nullptr;
    QMenu *m_filterMenu = nullptr;
    QPointer<QScrollArea> _elementMatrixScrollView;
    QList<GroupRef> _notationSubgroups;
    QList<GroupRef> _hiddenNotationSubgroups;
    bool m_hiddenListMade = false;
    double _notationOutlineHeight = 0.0;
    QColor m_background;
    QntNotationRef m_notation;
    GroupRef m_subgroupShapes, m_subgroupArrows, m_subgroupLongArrows, m_subgroupLines,
        m_subgroupText, m_subgroupFlowchart, m_subgroupOffice, m_subgroupNetwork, m_subgroupCisco,
        m_subgroupPeople, m_subgroupMisc, m_subgroupApple, m_subgroupCustom, m_subgroupImported;
    std::vector<NotificationToken> m_observers;
    // The row the context menu was opened on.
    std::weak_ptr<QntNotationSubGroupItem> m_clickedItem;
    std::weak_ptr<QntNotationSubgroup> m_clickedGroup;
    // The replacement question's context: the objects dropped (read at the drop), the item
    // dropped on and whether the drawing's objects wait for the answer.
    QPointer<QMessageBox> m_replaceAlert;
    QPointer<QMessageBox> m_deleteAlert;
    VRObjectList m_replaceObjects;
    std::weak_ptr<QntNotationSubGroupItem> m_replaceItem;
    bool m_replacePendingDrag = false;
    bool m_customReloadScheduled = false;
};
