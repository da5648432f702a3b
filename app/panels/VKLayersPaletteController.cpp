#include "app/panels/VKLayersPaletteController.h"

#include "app/panels/VKCheckboxCell.h"
#include "app/panels/VKTableView.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRViewController.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kRowDragType = QStringLiteral("kVRTableRowInternalDragPasteboardType");
const QString kNameColumn = QStringLiteral("name");
const QString kColourColumn = QStringLiteral("selectionColour");
constexpr int kMaxDraggedRows = 1000;

// The table's model: every question goes to the controller by column identifier.
class LayersTableModel : public QAbstractTableModel
{
public:
    explicit LayersTableModel(VKLayersPaletteController &controller)
        : QAbstractTableModel(&controller)
        , m_controller(controller)
    {
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : m_controller.numberOfRows();
    }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(VKLayersPaletteController::columnIdentifiers().size());
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QStringList titles{QObject::tr("Show"), QObject::tr("Lock"),
                                        QObject::tr("Print"), QObject::tr("Name"),
                                        QObject::tr("Colour")};
        return titles.value(section);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QString key = VKLayersPaletteController::columnIdentifiers().value(index.column());
        if (role == Qt::DisplayRole || role == Qt::EditRole) {
            const QVariant value = m_controller.objectValue(key, index.row());
            if (value.typeId() == QMetaType::Bool)
                return role == Qt::EditRole ? QVariant(value.toBool() ? 1 : 0) : QVariant();
            if (value.typeId() == QMetaType::QColor && role == Qt::DisplayRole)
                return {};
            return value;
        }
        if (key != kNameColumn)
            return {};
        // The selected row's name is drawn bold and white over the selection gradient.
        const bool selected =
            m_controller.layersTable() && m_controller.layersTable()->selectionModel()
            && m_controller.layersTable()->selectionModel()->isRowSelected(index.row());
        if (role == Qt::ForegroundRole)
            return QColor(selected ? Qt::white : Qt::black);
        if (role == Qt::FontRole && m_controller.layersTable()) {
            QFont font = m_controller.layersTable()->font();
            font.setBold(selected);
            return font;
        }
        return {};
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (role != Qt::EditRole)
            return false;
        m_controller.setObjectValue(
            value, VKLayersPaletteController::columnIdentifiers().value(index.column()),
            index.row());
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                              | Qt::ItemIsDropEnabled;
        if (VKLayersPaletteController::columnIdentifiers().value(index.column()) == kNameColumn)
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    QStringList mimeTypes() const override { return {kRowDragType}; }

    QMimeData *mimeData(const QModelIndexList &indexes) const override
    {
        QList<int> rows;
        for (const QModelIndex &index : indexes) {
            if (!rows.contains(index.row()))
                rows.append(index.row());
        }
        std::sort(rows.begin(), rows.end());
        QStringList text;
        for (int row : std::as_const(rows))
            text.append(QString::number(row));
        auto *data = new QMimeData;
        data->setData(kRowDragType, text.join(QLatin1Char(',')).toLatin1());
        return data;
    }

    bool canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                         const QModelIndex &) const override
    {
        return data && data->hasFormat(kRowDragType);
    }

    bool dropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                      const QModelIndex &parent) override
    {
        if (!data || !data->hasFormat(kRowDragType))
            return false;
        QList<int> rows;
        const QList<QByteArray> parts = data->data(kRowDragType).split(',');
        if (parts.size() > kMaxDraggedRows)
            return false;
        for (const QByteArray &part : parts) {
            bool ok = false;
            const int r = part.trimmed().toInt(&ok);
            if (!ok)
                return false;
            rows.append(r);
        }
        if (rows.isEmpty())
            return false;
        int target = row;
        if (target < 0)
            target = parent.isValid() ? parent.row() : rowCount({}) - 1;
        else if (rows.first() < target)
            target -= 1; // dropped above the row: the rows below move up by one
        return m_controller.acceptDrop(rows, target);
    }

private:
    VKLayersPaletteController &m_controller;
};
} // namespace

VKLayersPaletteController::VKLayersPaletteController(QObject *parent)
    : VRInspectorBase(QStringLiteral("LayersPalette"), parent)
{
    m_model = new LayersTableModel(*this);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name : {kVRLayerVisibleStateDidChange, kVRLayerLockStateDidChange}) {
        m_layerTokens.push_back(center.addObserver(
            name, nullptr, [this](const Notification &n) { layerDidChange(n); }));
    }
}

VKLayersPaletteController::VKLayersPaletteController(VREmbedded embedded, QWidget *host,
                                                     VRDrawing *drawing)
    : VRInspectorBase(embedded, host)
    , m_embedded(true)
{
    m_model = new LayersTableModel(*this);
    _drawing = drawing;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name : {kVRLayerVisibleStateDidChange, kVRLayerLockStateDidChange}) {
        m_layerTokens.push_back(center.addObserver(
            name, nullptr, [this](const Notification &n) { layerDidChange(n); }));
    }
    m_layerTokens.push_back(
        center.addObserver(kVRDrawingActiveLayerDidChange, drawing,
                           [this](const Notification &n) { layerDidChange(n); }));
    observeDrawing();
}

VKLayersPaletteController::~VKLayersPaletteController() = default;

QStringList VKLayersPaletteController::columnIdentifiers()
{
    return {QStringLiteral("visible"), QStringLiteral("locked"),
            QStringLiteral("shouldDrawToPrinter"), kNameColumn, kColourColumn};
}

QString VKLayersPaletteController::actionNameWithLayer(const QString &action,
                                                       const QString &layerName)
{
    return QStringLiteral("%1 %2%3%4").arg(action, QChar(0x201C), layerName, QChar(0x201D));
}

QWidget *VKLayersPaletteController::contentView()
{
    if (m_content)
        return m_content;
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("layersPaletteView"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    mLayersTable = new VKTableView(view);
    mLayersTable->setObjectName(QStringLiteral("layersTable"));
    mLayersTable->setModel(m_model);
    layout->addWidget(mLayersTable, 1);
    auto *buttons = new QHBoxLayout;
    m_addButton = new QPushButton(QStringLiteral("+"), view);
    m_addButton->setObjectName(QStringLiteral("addLayerButton"));
    m_addButton->setToolTip(tr("Add a layer"));
    m_addButton->setFixedWidth(32);
    m_removeButton = new QPushButton(QStringLiteral("\u2212"), view);
    m_removeButton->setObjectName(QStringLiteral("removeLayerButton"));
    m_removeButton->setToolTip(tr("Delete the active layer"));
    m_removeButton->setFixedWidth(32);
    mAutoActivateCheckbox = new QCheckBox(tr("Auto-activate"), view);
    mAutoActivateCheckbox->setToolTip(tr("Clicking an object makes its layer the active layer"));
    mAutoActivateCheckbox->setObjectName(QStringLiteral("autoActivateCheckbox"));
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_removeButton);
    buttons->addSpacing(8);
    buttons->addWidget(mAutoActivateCheckbox, 1);
    layout->addLayout(buttons);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addLayerButtonAction(); });
    connect(m_removeButton, &QPushButton::clicked, this, [this] { removeLayerButtonAction(); });
    connect(mAutoActivateCheckbox, &QCheckBox::clicked, this, [this] { autoActivationAction(); });
    m_content = view;
    setupControls();
    if (VRViewController *controller = viewController())
        mAutoActivateCheckbox->setChecked(controller->activatesLayersAutomatically());
    return view;
}

void VKLayersPaletteController::setupControls()
{
    QHeaderView *header = mLayersTable->horizontalHeader();
    const QStringList keys = columnIdentifiers();
    auto *box = new VKCheckboxCell(mLayersTable);
    for (int c = 0; c < keys.size(); ++c) {
        if (keys.at(c) == kNameColumn) {
            header->setSectionResizeMode(c, QHeaderView::Stretch);
            continue;
        }
        header->setSectionResizeMode(c, QHeaderView::Fixed);
        mLayersTable->setColumnWidth(c, keys.at(c) == kColourColumn ? 54 : 40);
        if (keys.at(c) != kColourColumn)
            mLayersTable->setItemDelegateForColumn(c, box);
    }
    m_colourCell = new VKColourCell(mLayersTable);
    m_colourCell->setDataSource(this);
    mLayersTable->setItemDelegateForColumn(int(keys.indexOf(kColourColumn)), m_colourCell);
    mLayersTable->verticalHeader()->setDefaultSectionSize(26);
    mLayersTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mLayersTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mLayersTable->setEditTriggers(QAbstractItemView::DoubleClicked
                                  | QAbstractItemView::EditKeyPressed);
    mLayersTable->setDragEnabled(true);
    mLayersTable->setAcceptDrops(true);
    mLayersTable->setDropIndicatorShown(true);
    mLayersTable->setDragDropMode(QAbstractItemView::DragDrop);
    mLayersTable->setDefaultDropAction(Qt::CopyAction);
    connect(mLayersTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
    selectActiveLayerRow();
}

QWidget *VKLayersPaletteController::createWindow()
{
    QWidget *view = contentView();
    view->setParent(nullptr, Qt::Tool);
    view->setWindowTitle(tr("Layers"));
    view->resize(380, 220);
    return view;
}

void VKLayersPaletteController::windowDidLoad()
{
    // Against the main document window's right edge, below its toolbar.
    if (VRDrawingDocument *document = currentDocument()) {
        if (QWidget *documentWindow = document->windowForSheet()) {
            const QRect frame = documentWindow->frameGeometry();
            window()->move(frame.right() - 20 - window()->width(), frame.top() + 80);
            window()->setWindowTitle(
                QStringLiteral("%1 - Layers").arg(documentWindow->windowTitle()));
        }
    }
    setDrawing(currentDrawing());
}

void VKLayersPaletteController::observeDrawing()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name :
         {kVRLayerGroupDidReorderLayers, kVRLayerGroupDidAddLayer, kVRLayerGroupDidRemoveLayer}) {
        m_layerTokens.push_back(
            center.addObserver(name, _drawing.data(), [this](const Notification &n) {
                drawingDidReorderLayersNotification(n);
            }));
    }
    // Undo and redo of any layer change show at once.
    m_layerTokens.push_back(center.addObserver(kQntUndoRedoChangedNotification, nullptr,
                                               [this](const Notification &) { reloadLater(); }));
}

void VKLayersPaletteController::setDrawing(VRDrawing *drawing)
{
    const bool changed = drawing != _drawing;
    _drawing = drawing;
    if (changed && !m_embedded) {
        m_layerTokens.erase(m_layerTokens.begin() + std::min<size_t>(2, m_layerTokens.size()),
                            m_layerTokens.end());
        observeDrawing();
    }
    static_cast<LayersTableModel *>(m_model)->reload();
    selectActiveLayerRow();
}

void VKLayersPaletteController::selectActiveLayerRow()
{
    if (!mLayersTable)
        return;
    if (!_drawing) {
        m_removeButton->setEnabled(false);
        return;
    }
    const int row = _drawing->indexOfActiveLayer();
    VRLayer *active = _drawing->activeLayer();
    m_removeButton->setEnabled(active && active->layerMayBeDeleted());
    // The drawing's view may come after the table.
    if (VRViewController *controller = viewController())
        mAutoActivateCheckbox->setChecked(controller->activatesLayersAutomatically());
    m_settingSelection = true;
    if (row >= 0) {
        mLayersTable->selectRow(row);
        mLayersTable->scrollTo(m_model->index(row, 0));
    } else {
        mLayersTable->clearSelection();
    }
    m_settingSelection = false;
}

void VKLayersPaletteController::reloadLater()
{
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reloadPending = false;
            if (mLayersTable && mLayersTable->isEditing())
                return;
            setDrawing(_drawing);
        },
        Qt::QueuedConnection);
}

void VKLayersPaletteController::drawingDidReorderLayersNotification(const Notification &)
{
    setDrawing(_drawing);
}

void VKLayersPaletteController::layerDidChange(const Notification &notification)
{
    if (notification.name == kVRDrawingActiveLayerDidChange)
        selectActiveLayerRow();
    else
        reloadLater();
}

void VKLayersPaletteController::documentDidChange(const Notification &notification)
{
    if (m_embedded)
        return;
    if (notification.name == QLatin1String("NSWindowDidResignMainNotification")) {
        setDrawing(nullptr);
        return;
    }
    VRDrawingDocument *document = currentDocument();
    QWidget *documentWindow = document ? document->windowForSheet() : nullptr;
    setDrawing(documentWindow ? drawingForTargetWindow(documentWindow) : currentDrawing());
    if (documentWindow && m_content && m_content->isWindow())
        window()->setWindowTitle(QStringLiteral("%1 - Layers").arg(documentWindow->windowTitle()));
    if (mAutoActivateCheckbox) {
        if (VRViewController *controller = viewController())
            mAutoActivateCheckbox->setChecked(controller->activatesLayersAutomatically());
    }
}

void VKLayersPaletteController::redisplayContentForSelection(const VRObjectList &)
{
    if (!m_embedded)
        setDrawing(currentDrawing());
}

VRViewController *VKLayersPaletteController::viewController() const
{
    return _drawing ? _drawing->owner() : nullptr;
}

int VKLayersPaletteController::numberOfRows() const
{
    return _drawing ? _drawing->countOfLayers() : 0;
}

QVariant VKLayersPaletteController::objectValue(const QString &identifier, int row) const
{
    VRLayer *layer = _drawing ? _drawing->objectInLayersAtIndex(row) : nullptr;
    if (!layer)
        return {};
    if (identifier == kColourColumn) {
        if (row == mTemporaryColourRow && mTemporaryColour.isValid())
            return mTemporaryColour;
        if (layer->isKindOf<VRObjectDrawingLayer>()) {
            const QColor colour = static_cast<VRObjectDrawingLayer *>(layer)->selectionColour();
            return colour.isValid() ? colour : VRObjectDrawingLayer::defaultSelectionColour();
        }
        return {};
    }
    return layer->valueForKey(identifier);
}

void VKLayersPaletteController::setObjectValue(const QVariant &value, const QString &identifier,
                                               int row)
{
    if (!_drawing || row < 0 || row >= _drawing->countOfLayers())
        return;
    VRLayer *layer = _drawing->objectInLayersAtIndex(row);
    if (identifier == kColourColumn) {
        if (!mTemporaryColour.isValid())
            return;
        const QColor colour = mTemporaryColour;
        mTemporaryColour = QColor();
        mTemporaryColourRow = -1;
        layer->setValueForKey(colour, identifier);
        reloadLater();
        return;
    }
    if (identifier == kNameColumn) {
        // A layer keeps a name: an empty one is refused.
        const QString name = value.toString().trimmed();
        if (name.isEmpty())
            return;
        layer->setValueForKey(name, identifier);
        return;
    }
    if (!layer->valueForKey(identifier).isValid())
        return;
    layer->setValueForKey(value.toInt() != 0, identifier);
}

void VKLayersPaletteController::setTemporaryColour(const QColor &colour, QTableView *, int row)
{
    mTemporaryColour = colour;
    mTemporaryColourRow = colour.isValid() ? row : -1;
}

void VKLayersPaletteController::tableViewSelectionDidChange()
{
    if (m_settingSelection || !_drawing || !mLayersTable)
        return;
    const QModelIndexList rows = mLayersTable->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const int row = rows.first().row();
    if (row == _drawing->indexOfActiveLayer())
        return;
    if (!_drawing->setActiveLayer(_drawing->objectInLayersAtIndex(row)))
        reloadLater(); // grid and guides cannot be active: show the active layer again
}

void VKLayersPaletteController::addLayerButtonAction()
{
    if (!_drawing)
        return;
    auto layer = std::make_shared<VRObjectDrawingLayer>();
    // The first free "Layer n".
    QStringList names;
    for (int i = 0; i < _drawing->countOfLayers(); ++i)
        names.append(_drawing->objectInLayersAtIndex(i)->name());
    int n = int(_drawing->layersOfClass(VRObjectOwnerLayer::staticClass()).size()) + 1;
    while (names.contains(QStringLiteral("Layer %1").arg(n)))
        ++n;
    layer->setName(QStringLiteral("Layer %1").arg(n));
    _drawing->addLayer(layer, true);
    if (VRUndoManager *undo = _drawing->undoManager())
        undo->setActionName(actionNameWithLayer(tr("Add Layer"), layer->name()));
}

void VKLayersPaletteController::removeLayerButtonAction()
{
    if (!_drawing)
        return;
    VRLayer *layer = _drawing->activeLayer();
    if (!layer || !layer->layerMayBeDeleted())
        return;
    const QString actionName = actionNameWithLayer(tr("Delete Layer"), layer->name());
    if (!_drawing->removeLayer(layer, nullptr))
        return;
    if (VRUndoManager *undo = _drawing->undoManager())
        undo->setActionName(actionName);
}

void VKLayersPaletteController::autoActivationAction()
{
    if (VRViewController *controller = viewController())
        controller->setActivatesLayersAutomatically(mAutoActivateCheckbox->isChecked());
}

bool VKLayersPaletteController::acceptDrop(const QList<int> &rows, int row)
{
    if (!_drawing || rows.isEmpty())
        return false;
    VRLayer *layer = _drawing->objectInLayersAtIndex(rows.first());
    if (!layer)
        return false;
    _drawing->moveLayer(layer, row);
    if (VRUndoManager *undo = _drawing->undoManager())
        undo->setActionName(tr("Reorder Layers"));
    return true;
}
