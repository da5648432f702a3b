#include "library/QntNotationPalette.h"

#include "library/DraggableImageCell.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"
#include "library/ShapeImageCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor kFallbackBackground = QColor::fromRgbF(0.8359375f, 0.86328125f, 0.89453125f, 1.0f);

// Every element of a list gets a creation tool under its identifier. A tool that exists is
// kept, so the picture it has cached stays valid across rebuilds.
void ensureCreationTools(const QList<QntElementRecord> &records)
{
    VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    for (const QntElementRecord &record : records) {
        if (record.elementId.isEmpty() || !record.prototype)
            continue;
        if (VRDrawingTool *existing = registry.drawingToolWithName(record.elementId)) {
            if (existing->givenTitle().isEmpty())
                existing->setTitle(record.title);
            continue;
        }
        auto tool = std::make_shared<VRObjectCreationTool>(record.prototype);
        // Menus show the element's title, never its identifier.
        tool->setTitle(record.title);
        registry.registerDrawingTool(std::move(tool), record.elementId);
    }
}

// Shapes the user named (pictures of the image bank, Custom shapes) show their name.
void showTitlesAsTooltips(QList<QntElementRecord> &records)
{
    for (QntElementRecord &record : records)
        if (record.tooltip.isEmpty() && record.prototype)
            record.tooltip = record.prototype->stringForKey(QStringLiteral("TITLE"));
}

QColor colourFromDefaults()
{
    const QVariant value =
        UserDefaults::standardUserDefaults().objectForKey(QntPaletteBackgroundColorKey);
    if (!value.isValid())
        return kFallbackBackground;
    if (value.canConvert<QColor>() && value.typeId() == QMetaType::QColor)
        return value.value<QColor>();
    if (const auto colour = KeyedArchiver::unarchiveColor(value.toByteArray()))
        return *colour;
    return kFallbackBackground;
}

} // namespace

QntNotationPalette::QntNotationPalette(VRDrawingDocument *document, QWidget *parent)
    : QWidget(parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("notationPalette"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    _paletteFilter = new QToolButton(this);
    _paletteFilter->setObjectName(QStringLiteral("paletteFilter"));
    _paletteFilter->setText(tr("Show Groups"));
    _paletteFilter->setPopupMode(QToolButton::InstantPopup);
    _paletteFilter->setToolButtonStyle(Qt::ToolButtonTextOnly);
    _paletteFilter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_filterMenu = new QMenu(_paletteFilter);
    for (int tag = 1; tag <= kTagCount; ++tag) {
        QAction *entry = m_filterMenu->addAction(filterEntryTitle(tag));
        entry->setCheckable(true);
        entry->setData(tag);
        connect(entry, &QAction::triggered, this, [this, tag] { paletteFilterAction(tag); });
    }
    _paletteFilter->setMenu(m_filterMenu);
    layout->addWidget(_paletteFilter);

    _notationOutline = new QntOutlineView(this);
    _notationOutline->cell()->setDocument(document);
    connect(_notationOutline, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *row) { outlineItemExpandedOrCollapsed(row, true); });
    connect(_notationOutline, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem *row) { outlineItemExpandedOrCollapsed(row, false); });
    layout->addWidget(_notationOutline, 1);

    // Editing: drops of drawing objects, the rows' context menu and double-click insertion.
    _notationOutline->setAcceptDrops(true);
    _notationOutline->viewport()->setAcceptDrops(true);
    _notationOutline->setDropHandler(
        [this](const QMimeData *data, QPoint point, const QObject *source, bool perform) {
            DropTarget target = dropTargetAt(point);
            const Qt::DropAction action = validateDrop(data, target, source);
            if (!perform || action == Qt::IgnoreAction)
                return action;
            return acceptDrop(data, dropTargetAt(point), source) ? action : Qt::IgnoreAction;
        });
    _notationOutline->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(_notationOutline, &QWidget::customContextMenuRequested, this, [this](QPoint point) {
        QMenu *menu = contextMenuForRow(_notationOutline->itemAt(point));
        bool any = false;
        for (QAction *entry : menu->actions())
            any = any || entry->isVisible();
        if (!any) {
            menu->deleteLater();
            return;
        }
        menu->popup(_notationOutline->viewport()->mapToGlobal(point));
    });
    connect(_notationOutline, &QntOutlineView::itemDoubleClicked, this,
            [this](QTreeWidgetItem *row) { notationOutlineDoubleClick(row); });

    observeNotifications();
}

QntNotationPalette::~QntNotationPalette() = default;

QString QntNotationPalette::filterEntryTitle(int tag)
{
    switch (tag) {
    case ShapesTag: return tr("Shapes and Text");
    case ArrowsTag: return tr("Arrows");
    case LinesTag: return tr("Lines");
    case FlowChartTag: return tr("Flow Chart");
    case OfficeTag: return tr("Office");
    case NetworkTag: return tr("Network");
    case CiscoTag: return tr("Ext. Network");
    case PeopleTag: return tr("People");
    case MiscTag: return tr("Misc");
    case AppleTag: return QStringLiteral("Apple");
    case CustomTag: return tr("Custom");
    default: return {};
    }
}

void QntNotationPalette::installInScrollArea(QScrollArea *scrollArea)
{
    _elementMatrixScrollView = scrollArea;
    if (!scrollArea)
        return;
    if (scrollArea->width() > 0)
        QntNotationSubgroup::setItemWidth(scrollArea->width());
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The outline scrolls itself; the area only hosts it.
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setWidget(this);
}

VRDrawing *QntNotationPalette::drawing() const
{
    return m_document ? m_document->drawing() : nullptr;
}

void QntNotationPalette::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(QntShowScrollBarKey, nullptr,
                           [this](const Notification &n) { notationScrollbarNotification(n); }));
    m_observers.push_back(
        center.addObserver(QntPaletteBackgroundColorKey, nullptr, [this](const Notification &n) {
            notationScrollbarBackgroundNotification(n);
        }));
    m_observers.push_back(
        center.addObserver(QntShowBuiltInClipartKey, nullptr,
                           [this](const Notification &n) { reloadNotationNotification(n); }));
    m_observers.push_back(center.addObserver(
        kQntDocumentStateRestoredNotification, nullptr, [this](const Notification &n) {
            // Only this palette's document was restored.
            if (!n.object || n.object == m_document.data() || n.object == drawing())
                loadNotationElements();
        }));
    // Added one by one, pictures would rebuild the group once each: once is enough.
    m_observers.push_back(
        center.addObserver(kQntElementAddedToImageBankNotification, nullptr,
                           [this](const Notification &) { scheduleCustomReload(); }));
    m_observers.push_back(
        center.addObserver(QStringLiteral("kQntCustomSubgroupReloadNeededNotification"), nullptr,
                           [this](const Notification &) { reloadCustomSubgroup(); }));
}

// ---- rebuild ----------------------------------------------------------------------------------

void QntNotationPalette::loadNotationElements()
{
    const QVariant scroller =
        UserDefaults::standardUserDefaults().objectForKey(QntShowScrollBarKey);
    applyScroller(!scroller.isValid() || scroller.toBool());
    if (_elementMatrixScrollView && _elementMatrixScrollView->width() > 0)
        QntNotationSubgroup::setItemWidth(_elementMatrixScrollView->width());
    if (VRDrawing *d = drawing())
        _notationOutline->registerDraggedTypes(d->activeLayerOfClass<VRObjectDrawingLayer>());
    applyBackground(colourFromDefaults());
    _notationSubgroups.clear();
    manageSubgroups();
    _notationOutlineHeight = 0.0;
    for (const GroupRef &group : std::as_const(_notationSubgroups))
        _notationOutlineHeight +=
            22.0 + (isGroupExpanded(group.get()) ? group->childrenHeight() : 0.0);
}

QSet<int> &QntNotationPalette::hiddenTags()
{
    static QSet<int> detached;
    VRDrawing *d = drawing();
    if (!d)
        return detached;
    if (QSet<int> *tags = d->hiddenGroupTags())
        return *tags;
    QSet<int> seeded;
    for (const QVariant &tag : UserDefaults::standardUserDefaults().arrayForKey(QntHiddenGroupsKey))
        seeded.insert(int(tag.toLongLong()));
    d->setHiddenGroupTags(seeded);
    return *d->hiddenGroupTags();
}

void QntNotationPalette::manageSubgroups()
{
    VRDrawing *d = drawing();
    m_notation = d ? d->currentNotation() : QntNotationRef();
    const QntNotation *notation = m_notation.get();

    // Entries of groups the notation cannot have.
    if (notation && notation->flowChartElementsList().isEmpty())
        m_filterMenu->actions().at(FlowChartTag - 1)->setVisible(false);
    if (notation && notation->arrowElementsList().isEmpty()
        && notation->shortArrowElementsList().isEmpty())
        m_filterMenu->actions().at(ArrowsTag - 1)->setVisible(false);

    const QSet<int> hidden = hiddenTags();
    updateFilterStates();

    if (!hidden.contains(ShapesTag))
        addShapesSubgroup(false);
    if (!hidden.contains(ArrowsTag))
        addArrowsSubgroup();
    if (!hidden.contains(LinesTag))
        addLinesSubgroup();
    if (!hidden.contains(ShapesTag))
        addTextSubgroup();
    m_subgroupFlowchart.reset();
    if (!hidden.contains(FlowChartTag))
        addFlowchartSubgroup();
    m_subgroupApple.reset();
    m_subgroupOffice.reset();
    m_subgroupNetwork.reset();
    m_subgroupPeople.reset();
    m_subgroupMisc.reset();
    m_subgroupCisco.reset();
    if (!hidden.contains(OfficeTag))
        addOfficeSubgroup();
    if (!hidden.contains(NetworkTag))
        addNetworkSubgroup();
    if (!hidden.contains(CiscoTag))
        addCiscoSubgroup();
    if (!hidden.contains(PeopleTag))
        addPeopleSubgroup();
    if (!hidden.contains(MiscTag))
        addMiscSubgroup();
    if (!hidden.contains(AppleTag))
        addAppleSubgroup();
    if (!hidden.contains(CustomTag))
        addCustomSubgroup();

    m_subgroupImported.reset();
    if (notation) {
        const QList<QntElementRecord> imported =
            notation->importedElementsListWithSheet(nullptr, window(), this);
        if (!imported.isEmpty()) {
            ensureCreationTools(imported);
            GroupRef group =
                std::make_shared<QntNotationSubgroup>(tr("Imported"), imported, notation);
            group->setIsImported(true);
            group->setOrderValue(quint64(_notationSubgroups.size()));
            m_subgroupImported = group;
            _notationSubgroups.push_back(group);
        }
    }
    if (d) {
        for (const QString &key : d->importedElementsKeys()) {
            const VRObjectList elements = d->importedElementsForKey(key);
            VRToolRegistry::sharedToolRegistry().registerCreationToolsForPrototypes(elements);
            GroupRef group = std::make_shared<QntNotationSubgroup>(key, elements, notation);
            group->setIsImported(true);
            group->setOrderValue(quint64(_notationSubgroups.size()));
            m_subgroupImported = group;
            _notationSubgroups.push_back(group);
        }
    }
    reloadOutline();
    expandShownGroups();
}

QntNotationPalette::GroupRef
QntNotationPalette::appendGroup(const QString &title, const QList<QntElementRecord> &elements,
                                const QntNotation *notation, quint64 orderValue)
{
    ensureCreationTools(elements);
    GroupRef group = std::make_shared<QntNotationSubgroup>(title, elements, notation);
    group->setOrderValue(orderValue);
    _notationSubgroups.push_back(group);
    return group;
}

void QntNotationPalette::addShapesSubgroup(bool)
{
    const QntNotation *notation = m_notation.get();
    m_subgroupShapes = appendGroup(
        tr("Shapes"), notation ? notation->shapeElementsList() : QList<QntElementRecord>{},
        notation, ShapesTag);
}

void QntNotationPalette::addTextSubgroup()
{
    const QntNotation *notation = m_notation.get();
    m_subgroupText =
        appendGroup(tr("Text"), notation ? notation->textElementsList() : QList<QntElementRecord>{},
                    notation, ShapesTag);
}

void QntNotationPalette::addArrowsSubgroup()
{
    const QntNotation *notation = m_notation.get();
    const QList<QntElementRecord> shortArrows =
        notation ? notation->shortArrowElementsList() : QList<QntElementRecord>{};
    const QList<QntElementRecord> longArrows =
        notation ? notation->arrowElementsList() : QList<QntElementRecord>{};
    ensureCreationTools(shortArrows);
    ensureCreationTools(longArrows);
    m_subgroupArrows = std::make_shared<QntNotationSubgroup>(tr("Arrows"), shortArrows, notation);
    m_subgroupArrows->setOrderValue(ArrowsTag);
    if (!m_subgroupArrows->children().isEmpty())
        _notationSubgroups.push_back(m_subgroupArrows);
    m_subgroupLongArrows =
        std::make_shared<QntNotationSubgroup>(tr("Long Arrows"), longArrows, notation);
    m_subgroupLongArrows->setOrderValue(ArrowsTag);
    if (m_subgroupArrows->children().isEmpty())
        m_subgroupLongArrows->setTitle(tr("Arrows"));
    if (!m_subgroupLongArrows->children().isEmpty())
        _notationSubgroups.push_back(m_subgroupLongArrows);
}

void QntNotationPalette::addLinesSubgroup()
{
    const QntNotation *notation = m_notation.get();
    m_subgroupLines = appendGroup(
        tr("Lines"), notation ? notation->separatorElementsList() : QList<QntElementRecord>{},
        notation, LinesTag);
}

void QntNotationPalette::addFlowchartSubgroup()
{
    const QntNotation *notation = m_notation.get();
    const QList<QntElementRecord> elements =
        notation ? notation->flowChartElementsList() : QList<QntElementRecord>{};
    if (elements.isEmpty())
        return;
    m_subgroupFlowchart = appendGroup(tr("Flow Chart"), elements, notation, FlowChartTag);
}

VRObjectList QntNotationPalette::builtinLibraryPrototypes(const QString &library) const
{
    VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    VRObjectList prototypes = registry.prototypesForGroup(library);
    if (!prototypes.isEmpty())
        return prototypes;
    // The registry fills its built-in libraries from their database the first time they are asked
    // for.
    const QntNotationRef libraries = QntNotation::notationWithPath(
        QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/Misc/BuiltinLibraries.db"));
    if (!libraries || !libraries->isValid())
        return {};
    for (const QntElementRecord &record : libraries->elementsList(library))
        if (record.prototype)
            prototypes.push_back(record.prototype);
    if (!prototypes.isEmpty())
        registry.setPrototypesForGroup(library, prototypes);
    return registry.prototypesForGroup(library);
}

void QntNotationPalette::addOfficeSubgroup()
{
    m_subgroupOffice = std::make_shared<QntNotationSubgroup>(
        tr("Office"), builtinLibraryPrototypes(QStringLiteral("Office")), m_notation.get());
    m_subgroupOffice->setOrderValue(OfficeTag);
    _notationSubgroups.push_back(m_subgroupOffice);
}

void QntNotationPalette::addNetworkSubgroup()
{
    m_subgroupNetwork = std::make_shared<QntNotationSubgroup>(
        tr("Network"), builtinLibraryPrototypes(QStringLiteral("Network")), m_notation.get());
    m_subgroupNetwork->setOrderValue(NetworkTag);
    _notationSubgroups.push_back(m_subgroupNetwork);
}

void QntNotationPalette::addMiscSubgroup()
{
    m_subgroupMisc = std::make_shared<QntNotationSubgroup>(
        tr("Misc"), builtinLibraryPrototypes(QStringLiteral("Misc")), m_notation.get());
    m_subgroupMisc->setOrderValue(MiscTag);
    _notationSubgroups.push_back(m_subgroupMisc);
}

void QntNotationPalette::addAppleSubgroup()
{
    m_subgroupApple = std::make_shared<QntNotationSubgroup>(
        QStringLiteral("Apple"), builtinLibraryPrototypes(QStringLiteral("Apple")),
        m_notation.get());
    m_subgroupApple->setOrderValue(AppleTag);
    _notationSubgroups.push_back(m_subgroupApple);
}

QntNotationPalette::GroupRef QntNotationPalette::makeExtraGroup(const QString &databasePath,
                                                                const QString &name,
                                                                const QString &title,
                                                                quint64 orderValue)
{
    const QntNotationRef notation =
        QntNotation::notationWithPath(QntNotation::rootNotationsSrcFolderPath() + databasePath);
    QList<QntElementRecord> elements;
    if (notation && notation->isValid()) {
        notation->setNotationName(name);
        elements = notation->importedElementsList();
        showTitlesAsTooltips(elements);
        ensureCreationTools(elements);
    }
    GroupRef group = std::make_shared<QntNotationSubgroup>(
        title, elements, notation && notation->isValid() ? notation.get() : nullptr);
    group->setOrderValue(orderValue);
    _notationSubgroups.push_back(group);
    return group;
}

void QntNotationPalette::addCiscoSubgroup()
{
    m_subgroupCisco =
        makeExtraGroup(QStringLiteral("/Misc/ExtraCisco.db"), QStringLiteral("Extended Network"),
                       tr("Ext. Network"), CiscoTag);
}

void QntNotationPalette::addPeopleSubgroup()
{
    m_subgroupPeople = makeExtraGroup(QStringLiteral("/Misc/ExtraPeople.db"),
                                      QStringLiteral("People"), tr("People"), PeopleTag);
}

void QntNotationPalette::addCustomSubgroup()
{
    m_subgroupCustom = makeExtraGroup(QStringLiteral("/ImageBank/imagebank.db"),
                                      QStringLiteral("Custom"), tr("Custom"), CustomTag);
    m_subgroupCustom->setIsEditable(true);
}

void QntNotationPalette::reloadCustomSubgroup()
{
    m_customReloadScheduled = false;
    const QntNotationRef notation = QntNotation::notationWithPath(
        QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/ImageBank/imagebank.db"));
    QList<QntElementRecord> elements;
    if (notation && notation->isValid()) {
        notation->setNotationName(QStringLiteral("Custom"));
        elements = notation->importedElementsList();
        showTitlesAsTooltips(elements);
        // The rows changed: their tools are made again from the database.
        VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
        for (const QntElementRecord &record : std::as_const(elements))
            if (!record.elementId.isEmpty() && record.prototype) {
                auto tool = std::make_shared<VRObjectCreationTool>(record.prototype);
                tool->setTitle(record.title);
                registry.registerDrawingTool(std::move(tool), record.elementId);
            }
    }
    if (!m_subgroupCustom)
        return;
    m_subgroupCustom->setElements(elements);
    if (_notationSubgroups.contains(m_subgroupCustom))
        reloadOutline();
    expandShownGroups();
}

// ---- filter -----------------------------------------------------------------------------------

void QntNotationPalette::buildGroupsOfTag(int tag)
{
    switch (tag) {
    case ShapesTag:
        addShapesSubgroup(false);
        addTextSubgroup();
        break;
    case ArrowsTag: addArrowsSubgroup(); break;
    case LinesTag: addLinesSubgroup(); break;
    case FlowChartTag: addFlowchartSubgroup(); break;
    case OfficeTag: addOfficeSubgroup(); break;
    case NetworkTag: addNetworkSubgroup(); break;
    case CiscoTag: addCiscoSubgroup(); break;
    case PeopleTag: addPeopleSubgroup(); break;
    case MiscTag: addMiscSubgroup(); break;
    case AppleTag: addAppleSubgroup(); break;
    case CustomTag: addCustomSubgroup(); break;
    default: break;
    }
}

void QntNotationPalette::paletteFilterAction(int tag)
{
    if (tag < 1 || tag > kTagCount)
        return;
    m_hiddenListMade = true;
    QSet<int> &hidden = hiddenTags();
    const bool show = hidden.contains(tag);
    if (show) {
        QList<GroupRef> comingBack;
        for (const GroupRef &group : std::as_const(_hiddenNotationSubgroups))
            if (group->orderValue() == quint64(tag))
                comingBack.push_back(group);
        if (!comingBack.isEmpty()) {
            for (const GroupRef &group : std::as_const(comingBack)) {
                _notationSubgroups.push_back(group);
                _hiddenNotationSubgroups.removeAll(group);
                hidden.remove(int(group->orderValue()));
            }
        } else {
            buildGroupsOfTag(tag);
            hidden.remove(tag);
        }
        std::stable_sort(
            _notationSubgroups.begin(), _notationSubgroups.end(),
            [](const GroupRef &a, const GroupRef &b) { return a->orderValue() < b->orderValue(); });
    } else {
        QList<GroupRef> leaving;
        for (const GroupRef &group : std::as_const(_notationSubgroups))
            if (group->orderValue() == quint64(tag))
                leaving.push_back(group);
        for (const GroupRef &group : std::as_const(leaving)) {
            _hiddenNotationSubgroups.push_back(group);
            _notationSubgroups.removeAll(group);
        }
        hidden.insert(tag);
    }
    for (const GroupRef &group : std::as_const(_hiddenNotationSubgroups))
        hidden.insert(int(group->orderValue()));
    reloadOutline();
    expandShownGroups();
    updateFilterStates();
}

void QntNotationPalette::updateFilterStates()
{
    const QSet<int> hidden = hiddenTags();
    for (QAction *entry : m_filterMenu->actions())
        entry->setChecked(!hidden.contains(entry->data().toInt()));
}

bool QntNotationPalette::isFilterEntryVisible(int tag) const
{
    return tag >= 1 && tag <= kTagCount && m_filterMenu->actions().at(tag - 1)->isVisible();
}

bool QntNotationPalette::isFilterEntryOn(int tag) const
{
    return tag >= 1 && tag <= kTagCount && m_filterMenu->actions().at(tag - 1)->isChecked();
}

// ---- outline ----------------------------------------------------------------------------------

void QntNotationPalette::reloadOutline()
{
    _notationOutline->clear();
    const double width = QntNotationSubgroup::itemWidth();
    for (const GroupRef &group : std::as_const(_notationSubgroups)) {
        auto *groupRow = new QTreeWidgetItem(_notationOutline);
        groupRow->setText(0, group->title());
        groupRow->setData(0, ShapeImageCell::groupRole, QVariant::fromValue(quintptr(group.get())));
        if (group->title() == QLatin1String("Custom") || group.get() == m_subgroupCustom.get())
            groupRow->setToolTip(0, customGroupToolTip());
        for (const QntNotationSubgroup::ItemRef &item : group->children()) {
            auto *row = new QTreeWidgetItem(groupRow);
            row->setText(0, item->title());
            row->setData(0, ShapeImageCell::itemRole, QVariant::fromValue(quintptr(item.get())));
            if (!item->tooltip().isEmpty())
                row->setToolTip(0, item->tooltip());
            row->setSizeHint(0, QSize(int(width), int(item->size().height())));
        }
    }
}

QString QntNotationPalette::customGroupToolTip()
{
    // Shapes reach the Custom group through the image bank; until its database exists the
    // group can only be empty.
    if (!QFileInfo::exists(QntNotation::rootNotationsSrcFolderPath()
                           + QStringLiteral("/ImageBank/imagebank.db")))
        return tr("Custom is empty: there is no image bank with your shapes yet.");
    return tr("Drag and drop your shapes here. You can also add them to Image Manager.");
}

void QntNotationPalette::expandShownGroups()
{
    for (int i = 0; i < _notationOutline->topLevelItemCount(); ++i)
        _notationOutline->topLevelItem(i)->setExpanded(true);
}

bool QntNotationPalette::isGroupExpanded(const QntNotationSubgroup *group) const
{
    for (int i = 0; i < _notationOutline->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = _notationOutline->topLevelItem(i);
        if (ShapeImageCell::groupForIndex(_notationOutline->model()->index(i, 0)) == group)
            return row->isExpanded();
    }
    return false;
}

QStringList QntNotationPalette::shownGroupTitles() const
{
    QStringList titles;
    for (const GroupRef &group : _notationSubgroups)
        titles.push_back(group->title());
    return titles;
}

QString QntNotationPalette::toolTipForItem(const QTreeWidgetItem *row) const
{
    return row ? row->toolTip(0) : QString();
}

void QntNotationPalette::outlineItemExpandedOrCollapsed(QTreeWidgetItem *row, bool expanded)
{
    const QntNotationSubgroup *group = reinterpret_cast<QntNotationSubgroup *>(
        row->data(0, ShapeImageCell::groupRole).value<quintptr>());
    if (!group || group->children().isEmpty())
        return;
    _notationOutlineHeight += expanded ? group->childrenHeight() : -group->childrenHeight();
}

// ---- preferences ------------------------------------------------------------------------------

void QntNotationPalette::applyScroller(bool shown)
{
    _notationOutline->setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded
                                                       : Qt::ScrollBarAlwaysOff);
}

void QntNotationPalette::applyBackground(const QColor &colour)
{
    m_background = colour;
    QPalette palette = _notationOutline->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    _notationOutline->setPalette(palette);
    _notationOutline->viewport()->setAutoFillBackground(true);
    QPalette own = this->palette();
    own.setColor(QPalette::Window, colour);
    setPalette(own);
    setAutoFillBackground(true);
    if (_elementMatrixScrollView) {
        QPalette area = _elementMatrixScrollView->palette();
        area.setColor(QPalette::Window, colour);
        _elementMatrixScrollView->setPalette(area);
    }
}

void QntNotationPalette::notationScrollbarNotification(const Notification &notification)
{
    QVariant value = notification.userInfo.value(QStringLiteral("object"));
    if (!value.isValid() && !notification.userInfo.isEmpty())
        value = notification.userInfo.first();
    if (!value.isValid())
        value = UserDefaults::standardUserDefaults().objectForKey(QntShowScrollBarKey);
    applyScroller(!value.isValid() || value.toBool());
    loadNotationElements();
}

void QntNotationPalette::notationScrollbarBackgroundNotification(const Notification &notification)
{
    QVariant value = notification.userInfo.value(QStringLiteral("object"));
    if (!value.isValid() && !notification.userInfo.isEmpty())
        value = notification.userInfo.first();
    QColor colour;
    if (value.typeId() == QMetaType::QColor)
        colour = value.value<QColor>();
    else if (const auto archived = KeyedArchiver::unarchiveColor(value.toByteArray()))
        colour = *archived;
    else
        colour = colourFromDefaults();
    applyBackground(colour);
}

void QntNotationPalette::reloadNotationNotification(const Notification &)
{
    loadNotationElements();
}
