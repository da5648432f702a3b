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
class QScrollArea;
class QToolButton;
class QTreeWidgetItem;
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
};
