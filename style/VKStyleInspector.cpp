#include "style/VKStyleInspector.h"

#include "app/sheets/VKBasicDialogController.h"
#include "platform/MenuAdditions.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRFillPattern.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRImageAdornment.h"
#include "framework/styles/VRPathDecorator.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRRastGroup.h"
#include "framework/styles/VRRoughStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/styles/VRZigZagFill.h"
#include "framework/styles/VRZigZagStroke.h"
#include "framework/undo/VRUndoManager.h"
#include "style/VKDashEditor.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// ---- the outline's model ------------------------------------------------------------------

// The style's renderer tree: one top row (the style), a group's children in drawing order.
// Column 0 shows the renderer's kind, column 1 its "enabled" check box.
class VKStyleInspectorModel : public QAbstractItemModel
{
public:
    explicit VKStyleInspectorModel(VKStyleInspector &inspector)
        : QAbstractItemModel(&inspector)
        , m_inspector(inspector)
    {
    }

    static VRRasterizer *itemOf(const QModelIndex &index)
    {
        return index.isValid() ? static_cast<VRRasterizer *>(index.internalPointer()) : nullptr;
    }

    QModelIndex indexForItem(const VRRasterizer *item, int column = 0) const
    {
        const VRStyle *style = m_inspector.mStyle.get();
        if (!item || !style)
            return {};
        if (item == style)
            return createIndex(0, column, const_cast<VRRasterizer *>(item));
        const VRRastGroup *container = item->container();
        if (!container)
            return {};
        const int row = container->indexOfRenderer(item);
        if (row < 0)
            return {};
        return createIndex(row, column, const_cast<VRRasterizer *>(item));
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    QModelIndex index(int row, int column, const QModelIndex &parent) const override
    {
        if (row < 0 || column < 0 || column > 1)
            return {};
        if (!parent.isValid()) {
            if (row == 0 && m_inspector.mStyle)
                return createIndex(0, column, m_inspector.mStyle.get());
            return {};
        }
        VRRasterizer *item = itemOf(parent);
        if (!item || !item->isKindOf<VRRastGroup>())
            return {};
        const VRRendererRef child = static_cast<VRRastGroup *>(item)->rendererAtIndex(row);
        return child ? createIndex(row, column, child.get()) : QModelIndex();
    }

    QModelIndex parent(const QModelIndex &child) const override
    {
        VRRasterizer *item = itemOf(child);
        if (!item || item == m_inspector.mStyle.get())
            return {};
        return indexForItem(item->container());
    }

    int rowCount(const QModelIndex &parent) const override
    {
        if (!parent.isValid())
            return m_inspector.mStyle ? 1 : 0;
        if (parent.column() > 0)
            return 0;
        VRRasterizer *item = itemOf(parent);
        if (!item || !item->isKindOf<VRRastGroup>())
            return 0;
        return static_cast<VRRastGroup *>(item)->countOfRenderList();
    }

    int columnCount(const QModelIndex &) const override { return 2; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? VKStyleInspector::tr("Component") : VKStyleInspector::tr("On");
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        VRRasterizer *item = itemOf(index);
        if (!item)
            return {};
        const bool locked = m_inspector.mStyle && m_inspector.mStyle->isLocked();
        if (index.column() == 0) {
            if (role == Qt::DisplayRole)
                return item->uiName();
            if (role == Qt::ForegroundRole)
                return QColor(locked ? Qt::lightGray : Qt::black);
            if (role == Qt::ToolTipRole)
                return QString();
            return {};
        }
        if (role == Qt::CheckStateRole)
            return item->valueForKey(QStringLiteral("enabled")).toBool() ? Qt::Checked
                                                                         : Qt::Unchecked;
        return {};
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        VRRasterizer *item = itemOf(index);
        if (!item || index.column() != 1 || role != Qt::CheckStateRole)
            return false;
        m_inspector.setEnabledAction(item, value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        VRRasterizer *item = itemOf(index);
        if (!item)
            return Qt::ItemIsDropEnabled;
        const bool locked = m_inspector.mStyle && m_inspector.mStyle->isLocked();
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (index.column() == 1) {
            flags |= Qt::ItemIsUserCheckable;
            if (locked)
                flags &= ~Qt::ItemIsEnabled;
        }
        if (item != m_inspector.mStyle.get() && !locked)
            flags |= Qt::ItemIsDragEnabled;
        if (item->isKindOf<VRRastGroup>())
            flags |= Qt::ItemIsDropEnabled;
        return flags;
    }

    Qt::DropActions supportedDropActions() const override
    {
        return Qt::MoveAction | Qt::CopyAction;
    }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {kVRTableRowInternalDragPasteboardType}; }

    QMimeData *mimeData(const QModelIndexList &indexes) const override
    {
        VRRasterizer *item = indexes.isEmpty() ? nullptr : itemOf(indexes.first());
        m_inspector.mDragItem = item;
        if (!item || item == m_inspector.mStyle.get())
            return nullptr;
        auto *data = new QMimeData;
        data->setData(kVRTableRowInternalDragPasteboardType, QByteArray());
        return data;
    }

    bool canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                         const QModelIndex &parent) const override
    {
        if (!data || !data->hasFormat(kVRTableRowInternalDragPasteboardType))
            return false;
        VRRasterizer *target = parent.isValid() ? itemOf(parent) : m_inspector.mStyle.get();
        return m_inspector.validateDrop(m_inspector.mDragItem, target);
    }

    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override
    {
        if (!canDropMimeData(data, action, row, column, parent))
            return false;
        VRRasterizer *target = parent.isValid() ? itemOf(parent) : m_inspector.mStyle.get();
        // The view's own removal after a move finds nothing to remove: the drop moved it.
        return m_inspector.acceptDrop(m_inspector.mDragItem, target, row);
    }

private:
    VKStyleInspector &m_inspector;
};

// ---- number control --------------------------------------------------------------------------

VKStyleNumberControl::VKStyleNumberControl(double minimum, double maximum, int decimals,
                                           QWidget *parent)
    : QWidget(parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, 1000);
    m_field = new QDoubleSpinBox(this);
    m_field->setRange(minimum, maximum);
    m_field->setDecimals(decimals);
    m_field->setKeyboardTracking(false);
    m_field->setFixedWidth(64);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_field);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        const double v = m_minimum + (m_maximum - m_minimum) * position / 1000.0;
        m_field->blockSignals(true);
        m_field->setValue(v);
        m_field->blockSignals(false);
        emit valueEdited(m_field->value());
    });
    connect(m_field, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        m_slider->blockSignals(true);
        m_slider->setValue(int(std::lround((v - m_minimum) / (m_maximum - m_minimum) * 1000.0)));
        m_slider->blockSignals(false);
        emit valueEdited(v);
    });
}

double VKStyleNumberControl::value() const
{
    return m_field->value();
}

void VKStyleNumberControl::setValue(double value)
{
    if (!std::isfinite(value))
        return;
    m_field->blockSignals(true);
    m_slider->blockSignals(true);
    m_field->setValue(value);
    const double clamped = std::clamp(value, m_minimum, m_maximum);
    m_slider->setValue(int(std::lround((clamped - m_minimum) / (m_maximum - m_minimum) * 1000.0)));
    m_slider->blockSignals(false);
    m_field->blockSignals(false);
}

// ---- the inspector ---------------------------------------------------------------------------

VKStyleInspector::VKStyleInspector(QObject *parent)
    : VRInspectorBase(QStringLiteral("StyleInspector"), parent)
{
    m_model = new VKStyleInspectorModel(*this);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_tokens.push_back(center.addObserver(kVRDrawableStyleWillBeDetachedNotification, nullptr,
                                          [this](const Notification &n) { styleAttached(n); }));
    m_tokens.push_back(center.addObserver(kVRStyleRegistryDidFlagPossibleUIChange, nullptr,
                                          [this](const Notification &n) { styleRegistered(n); }));
}

VKStyleInspector::VKStyleInspector(VREmbedded embedded, QWidget *host, VRDrawing *drawing)
    : VRInspectorBase(embedded, host)
    , m_drawing(drawing)
    , m_embedded(true)
{
    m_model = new VKStyleInspectorModel(*this);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_tokens.push_back(center.addObserver(kVRDrawableStyleWillBeDetachedNotification, nullptr,
                                          [this](const Notification &n) { styleAttached(n); }));
    m_tokens.push_back(center.addObserver(kVRStyleRegistryDidFlagPossibleUIChange, nullptr,
                                          [this](const Notification &n) { styleRegistered(n); }));
    // The section follows its own drawing's selection, whichever window is main.
    m_tokens.push_back(
        center.addObserver(kVRLayerSelectionDidChange, nullptr, [this](const Notification &n) {
            if (!m_drawing)
                return;
            for (int i = 0; i < m_drawing->countOfLayers(); ++i) {
                if (m_drawing->objectInLayersAtIndex(i) == n.object) {
                    redisplayContentForSelection(selectedObjectForCurrentTarget());
                    return;
                }
            }
        }));
    m_tokens.push_back(
        center.addObserver(kVRDrawingActiveLayerDidChange, drawing, [this](const Notification &) {
            redisplayContentForSelection(selectedObjectForCurrentTarget());
        }));
}

VKStyleInspector::~VKStyleInspector()
{
    m_styleToken.reset();
    m_tokens.clear();
    if (!m_mainView)
        return;
    // A view that owns this inspector (a document's section) is being deleted already.
    for (QObject *owner = parent(); owner; owner = owner->parent()) {
        if (owner == m_mainView)
            return;
    }
    QWidget *top = m_mainView->window();
    if (top == m_mainView || top->objectName() == QLatin1String("styleInspectorWindow"))
        delete top;
}

VRDrawing *VKStyleInspector::targetDrawing() const
{
    return m_embedded ? m_drawing.data() : currentDrawing();
}

VRUndoManager *VKStyleInspector::undoManager() const
{
    VRDrawing *drawing = targetDrawing();
    return drawing ? drawing->undoManager() : nullptr;
}

void VKStyleInspector::setActionName(const QString &name)
{
    if (VRUndoManager *undo = undoManager())
        undo->setActionName(tr(name.toUtf8().constData()));
}

VRObjectList VKStyleInspector::selectedObjectForCurrentTarget() const
{
    if (!m_embedded)
        return VRInspectorBase::selectedObjectForCurrentTarget();
    auto *layer = m_drawing ? m_drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    return layer ? layer->selection() : VRObjectList();
}

QWidget *VKStyleInspector::createWindow()
{
    auto *window = new QWidget(nullptr, Qt::Tool);
    window->setObjectName(QStringLiteral("styleInspectorWindow"));
    window->setWindowTitle(tr("Style"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mainView());
    window->resize(320, 760);
    return window;
}

void VKStyleInspector::windowDidLoad()
{
    QWidget *w = VRInspectorBase::window();
    if (!w)
        return;
    // At the right edge of the first screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        w->move(visible.x() + visible.width() - w->width() - 20, w->y());
    }
    redisplayContentForSelection(selectedObjectForCurrentTarget());
}

QWidget *VKStyleInspector::mainView()
{
    if (m_mainView)
        return m_mainView;
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("styleInspectorView"));
    m_mainView = view;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    buildStyleControls(view);

    mOutlineView = new QTreeView(view);
    mOutlineView->setObjectName(QStringLiteral("styleOutlineView"));
    mOutlineView->setModel(m_model);
    mOutlineView->setSelectionMode(QAbstractItemView::SingleSelection);
    mOutlineView->setDragEnabled(true);
    mOutlineView->setAcceptDrops(true);
    mOutlineView->setDropIndicatorShown(true);
    mOutlineView->setDragDropMode(QAbstractItemView::DragDrop);
    mOutlineView->setDefaultDropAction(Qt::MoveAction);
    mOutlineView->setMinimumHeight(110);
    mOutlineView->header()->setStretchLastSection(false);
    mOutlineView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    mOutlineView->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    mOutlineView->setColumnWidth(1, 32);
    layout->addWidget(mOutlineView, 1);
    connect(mOutlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_updating)
            return;
        const int row = selectedRow();
        if (row < 0) {
            selectTabPaneForObject(nullptr);
            return;
        }
        if (mStyle && mStyle->isLocked())
            selectTabPaneForObject(mStyle.get());
        else
            selectTabPaneForObject(itemAtRow(row));
        if (mStyle)
            mStyle->setLastSelectedRowInInspector(row);
    });

    auto *treeButtons = new QHBoxLayout;
    treeButtons->setSpacing(4);
    mAddRendererPopUpButton = new QToolButton(view);
    mAddRendererPopUpButton->setObjectName(QStringLiteral("addRendererButton"));
    mAddRendererPopUpButton->setText(tr("Add"));
    mAddRendererPopUpButton->setPopupMode(QToolButton::InstantPopup);
    m_addMenu = new QMenu(mAddRendererPopUpButton);
    m_addMenu->setObjectName(QStringLiteral("addRendererMenu"));
    const std::pair<int, const char *> addItems[] = {
        {AddStroke, "Stroke"},
        {AddArrowStroke, "Arrow Stroke"},
        {AddZigZagStroke, "Zig-Zag Stroke"},
        {AddRoughStroke, "Rough Stroke"},
        {-99, nullptr},
        {AddFill, "Fill"},
        {AddZigZagFill, "Zig-Zag Fill"},
        {AddHatch, "Hatch"},
        {AddFillPattern, "Fill Pattern"},
        {-99, nullptr},
        {AddImage, "Image"},
        {AddText, "Text Label"},
        {AddPathDecorator, "Path Decorator"},
        {AddElementDecorator, "Element Decorator"},
        {-99, nullptr},
        {AddGroup, "Group"},
        {AddEffect, "Effect Group"},
        {AddBlend, "Blend Group"},
    };
    for (const auto &[tag, title] : addItems) {
        if (!title) {
            MenuAdditions::setTag(m_addMenu->addSeparator(), tag);
            continue;
        }
        QAction *item = m_addMenu->addAction(tr(title));
        item->setData(tag);
        MenuAdditions::setTag(item, tag);
        item->setObjectName(QStringLiteral("addRenderer%1").arg(tag));
        connect(item, &QAction::triggered, this,
                [this, tag = tag] { addRendererElementAction(tag); });
    }
    // Dividers carry the tag -99 and never take a click; no item shows a check mark.
    MenuAdditions::disableItemsWithTag(m_addMenu, -99);
    MenuAdditions::uncheckAllItems(m_addMenu);
    mAddRendererPopUpButton->setMenu(m_addMenu);
    mRemoveRendererButton = new QPushButton(QStringLiteral("\u2212"), view);
    mRemoveRendererButton->setObjectName(QStringLiteral("removeRendererButton"));
    mRemoveRendererButton->setToolTip(tr("Delete the selected component"));
    mRemoveRendererButton->setFixedWidth(32);
    connect(mRemoveRendererButton, &QPushButton::clicked, this,
            [this] { removeRendererElementAction(); });
    mActionsPopUpButton = new QToolButton(view);
    mActionsPopUpButton->setObjectName(QStringLiteral("rendererActionsButton"));
    mActionsPopUpButton->setText(tr("Actions"));
    mActionsPopUpButton->setPopupMode(QToolButton::InstantPopup);
    m_actionsMenu = new QMenu(mActionsPopUpButton);
    m_copyItem = m_actionsMenu->addAction(tr("Copy Component"), this,
                                          [this] { copyRendererElementAction(); });
    m_pasteItem = m_actionsMenu->addAction(tr("Paste Component"), this,
                                           [this] { pasteRendererElementAction(); });
    m_duplicateItem = m_actionsMenu->addAction(tr("Duplicate Component"), this,
                                               [this] { duplicateRendererElementAction(); });
    m_removeItem = m_actionsMenu->addAction(tr("Delete Component"), this,
                                            [this] { removeRendererElementAction(); });
    m_actionsMenu->addSeparator();
    m_removeTextAttributesItem = m_actionsMenu->addAction(tr("Remove Text Attributes"), this,
                                                          [this] { removeTextAttributesAction(); });
    connect(m_actionsMenu, &QMenu::aboutToShow, this, [this] { validateMenus(); });
    MenuAdditions::uncheckAllItems(m_actionsMenu);
    mActionsPopUpButton->setMenu(m_actionsMenu);
    QFont small = mAddRendererPopUpButton->font();
    small.setPointSize(9);
    mAddRendererPopUpButton->setFont(small);
    mActionsPopUpButton->setFont(small);
    treeButtons->addWidget(mAddRendererPopUpButton);
    treeButtons->addWidget(mRemoveRendererButton);
    treeButtons->addStretch(1);
    treeButtons->addWidget(mActionsPopUpButton);
    layout->addLayout(treeButtons);

    mTabView = new QStackedWidget(view);
    mTabView->setObjectName(QStringLiteral("styleTabView"));
    buildPanes();
    layout->addWidget(mTabView);

    mDashEditController = new VKDashEditor(view);
    connect(mDashEditController, &VKDashEditor::dashChanged, this,
            [this] { dashDidChange(mDashEditController); });
    connect(mDashEditController, &VKDashEditor::sheetEnded, this,
            [this](int code) { sheetDidEnd(mDashEditController, code); });

    populatePopUpButtonWithLibraryStyles();
    mStyle.reset();
    updateUIForStyle();
    showPane(NoStylePane);
    return view;
}

void VKStyleInspector::buildStyleControls(QWidget *view)
{
    auto *layout = static_cast<QVBoxLayout *>(view->layout());
    auto *top = new QHBoxLayout;
    top->setSpacing(6);
    mStylePreviewImageWell = new QLabel(view);
    mStylePreviewImageWell->setObjectName(QStringLiteral("stylePreview"));
    mStylePreviewImageWell->setFixedSize(64, 64);
    mStylePreviewImageWell->setFrameShape(QFrame::StyledPanel);
    mStylePreviewImageWell->setAlignment(Qt::AlignCenter);
    top->addWidget(mStylePreviewImageWell);
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    mStyleNameTextField = new QLineEdit(view);
    mStyleNameTextField->setObjectName(QStringLiteral("styleNameField"));
    mStyleNameTextField->setPlaceholderText(tr("Style name"));
    connect(mStyleNameTextField, &QLineEdit::editingFinished, this, [this] {
        if (mStyle && mStyleNameTextField->text() != mStyle->name())
            styleNameAction();
    });
    column->addWidget(mStyleNameTextField);
    auto *boxes = new QHBoxLayout;
    mStyleLockCheckbox = new QCheckBox(tr("Locked"), view);
    mStyleLockCheckbox->setObjectName(QStringLiteral("styleLockCheckbox"));
    connect(mStyleLockCheckbox, &QCheckBox::clicked, this, [this] { unlockStyleAction(); });
    mStyleSharedCheckbox = new QCheckBox(tr("Shared"), view);
    mStyleSharedCheckbox->setObjectName(QStringLiteral("styleSharedCheckbox"));
    connect(mStyleSharedCheckbox, &QCheckBox::clicked, this,
            [this] { sharedStyleCheckboxAction(); });
    boxes->addWidget(mStyleLockCheckbox);
    boxes->addWidget(mStyleSharedCheckbox);
    boxes->addStretch(1);
    column->addLayout(boxes);
    auto *counts = new QHBoxLayout;
    mStyleClientCountText = new QLabel(view);
    mStyleClientCountText->setObjectName(QStringLiteral("styleClientCount"));
    mStyleRegisteredIndicatorText = new QLabel(tr("Registered"), view);
    mStyleRegisteredIndicatorText->setObjectName(QStringLiteral("styleRegisteredIndicator"));
    mStyleRegisteredIndicatorText->setStyleSheet(QStringLiteral("color: #2060c0;"));
    counts->addWidget(mStyleClientCountText);
    counts->addStretch(1);
    counts->addWidget(mStyleRegisteredIndicatorText);
    column->addLayout(counts);
    top->addLayout(column, 1);
    layout->addLayout(top);

    auto *library = new QHBoxLayout;
    library->setSpacing(4);
    mStyleLibraryPopUpButton = new QToolButton(view);
    mStyleLibraryPopUpButton->setObjectName(QStringLiteral("styleLibraryButton"));
    mStyleLibraryPopUpButton->setText(tr("Style Library"));
    mStyleLibraryPopUpButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    mStyleLibraryPopUpButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    mStyleLibraryPopUpButton->setToolTip(tr("Apply a style of the library to the selection"));
    mStyleLibraryPopUpButton->setPopupMode(QToolButton::InstantPopup);
    mStyleAddToLibraryButton = new QPushButton(tr("Add"), view);
    mStyleAddToLibraryButton->setObjectName(QStringLiteral("styleAddToLibraryButton"));
    mStyleAddToLibraryButton->setToolTip(tr("Add the style to the library"));
    connect(mStyleAddToLibraryButton, &QPushButton::clicked, this,
            [this] { libraryMenuAction(kAddToLibraryTag); });
    mStyleRemoveFromLibraryButton = new QPushButton(tr("Remove"), view);
    mStyleRemoveFromLibraryButton->setObjectName(QStringLiteral("styleRemoveFromLibraryButton"));
    mStyleRemoveFromLibraryButton->setToolTip(tr("Remove the style from the library"));
    connect(mStyleRemoveFromLibraryButton, &QPushButton::clicked, this,
            [this] { libraryMenuAction(kRemoveFromLibraryTag); });
    mStyleCloneButton = new QPushButton(tr("Clone"), view);
    mStyleCloneButton->setObjectName(QStringLiteral("styleCloneButton"));
    mStyleCloneButton->setToolTip(tr("Give the selected objects a copy of the style of their own"));
    connect(mStyleCloneButton, &QPushButton::clicked, this, [this] { cloneStyleAction(); });
    library->addWidget(mStyleLibraryPopUpButton, 1);
    library->addWidget(mStyleCloneButton);
    mStyleScriptButton = new QPushButton(tr("Script\u2026"), view);
    mStyleScriptButton->setObjectName(QStringLiteral("styleScriptButton"));
    mStyleScriptButton->setToolTip(tr("Write a script for the style"));
    connect(mStyleScriptButton, &QPushButton::clicked, this, [this] { scriptButtonAction(); });
    library->addWidget(mStyleScriptButton);
    layout->addLayout(library);
    auto *membership = new QHBoxLayout;
    membership->setSpacing(4);
    membership->addWidget(new QLabel(tr("Library:"), view));
    membership->addWidget(mStyleAddToLibraryButton);
    membership->addWidget(mStyleRemoveFromLibraryButton);
    membership->addStretch(1);
    layout->addLayout(membership);
}

void VKStyleInspector::scriptButtonAction()
{
    if (!mScriptEditController) {
        mScriptEditController = new VKBasicDialogController(window());
        mScriptEditController->setObjectName(QStringLiteral("styleScriptSheet"));
        mScriptEditController->setWindowTitle(tr("Style Script"));
        auto *editor = new QPlainTextEdit(mScriptEditController);
        editor->setObjectName(QStringLiteral("styleScriptEditor"));
        editor->setPlaceholderText(tr("Script"));
        editor->setMinimumSize(360, 200);
        mScriptEditController->contentLayout()->addWidget(editor);
        mScriptEditController->setPrimaryItem(editor);
    }
    mScriptEditController->runAsSheetInParentWindow(window(),
                                                    [](int, VKBasicDialogController *) {});
}

// ---- style under edit ------------------------------------------------------------------------

void VKStyleInspector::setStyle(const VRStyleRef &style)
{
    if (style == mStyle)
        return;
    m_styleToken.reset();
    mStyle = style;
    if (mStyle)
        m_styleToken = NotificationCenter::defaultCenter().addObserver(
            kVRStyleDidChangeNotification, mStyle.get(),
            [this](const Notification &n) { styleChanged(n); });
    updateUIForStyle();
}

void VKStyleInspector::reloadOutline()
{
    if (!mOutlineView)
        return;
    // The selected renderer stays selected when it is still in the tree.
    const VRRendererRef selected = selectedRenderer();
    m_updating = true;
    m_model->reload();
    mOutlineView->expandAll();
    if (selected) {
        const QModelIndex index = m_model->indexForItem(selected.get());
        if (index.isValid())
            mOutlineView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect
                                                              | QItemSelectionModel::Rows);
    }
    m_updating = false;
}

void VKStyleInspector::updateUIForStyle()
{
    if (!mOutlineView)
        return;
    mSelectedRendererRef.reset();
    reloadOutline();
    if (mStyle) {
        mOutlineView->expandAll();
        int row = mStyle->lastSelectedRowInInspector();
        if (row >= 0 && row < rowCount()) {
            selectRow(row);
            selectTabPaneForObject(itemAtRow(row));
        } else {
            m_updating = true;
            selectRow(0);
            m_updating = false;
            // No stale pane of a renderer that has gone: the style's own pane.
            mSelectedRendererRef = mStyle->weak_from_this();
            showPane(GroupPane);
        }
        const bool locked = mStyle->isLocked();
        mStyleLockCheckbox->setEnabled(true);
        mStyleSharedCheckbox->setChecked(mStyle->isStyleSharable());
        mStyleLockCheckbox->setChecked(locked);
        mStyleClientCountText->setText(tr("Clients: %1").arg(mStyle->countOfClients()));
        mStyleNameTextField->setText(mStyle->name());
        mAddRendererPopUpButton->setEnabled(!locked);
        mRemoveRendererButton->setEnabled(!locked);
        mStyleNameTextField->setEnabled(!locked);
        mStyleSharedCheckbox->setEnabled(!locked);
        const bool registered = mStyle->isStyleRegistered();
        mStyleRegisteredIndicatorText->setVisible(registered);
        mStyleAddToLibraryButton->setEnabled(!registered);
        mStyleRemoveFromLibraryButton->setEnabled(registered);
        mStyleCloneButton->setEnabled(true);
        mActionsPopUpButton->setEnabled(true);
        updateStylePreview();
        return;
    }
    mOutlineView->clearSelection();
    mAddRendererPopUpButton->setEnabled(false);
    mRemoveRendererButton->setEnabled(false);
    mStyleNameTextField->setEnabled(false);
    mStyleNameTextField->setText(QString());
    mStyleSharedCheckbox->setEnabled(false);
    mStyleSharedCheckbox->setChecked(false);
    mStyleAddToLibraryButton->setEnabled(false);
    mStyleRemoveFromLibraryButton->setEnabled(false);
    mStyleCloneButton->setEnabled(false);
    mStyleLockCheckbox->setEnabled(false);
    mStyleLockCheckbox->setChecked(false);
    mStyleRegisteredIndicatorText->setVisible(false);
    mStyleClientCountText->setText(QString());
    mActionsPopUpButton->setEnabled(false);
    mStylePreviewImageWell->clear();
}

void VKStyleInspector::updateStylePreview()
{
    if (!mStylePreviewImageWell)
        return;
    if (!mStyle) {
        mStylePreviewImageWell->clear();
        return;
    }
    const QImage swatch = mStyle->styleSwatchWithSize(QSizeF(128, 128), -1);
    mStylePreviewImageWell->setPixmap(
        QPixmap::fromImage(swatch.scaled(mStylePreviewImageWell->size() - QSize(4, 4),
                                         Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

int VKStyleInspector::selectedPane() const
{
    return mTabView ? mTabView->currentIndex() : NoStylePane;
}

void VKStyleInspector::showPane(int pane)
{
    if (mTabView)
        mTabView->setCurrentIndex(pane);
}

VRRendererRef VKStyleInspector::selectedRenderer() const
{
    VRRendererRef renderer = mSelectedRendererRef.lock();
    if (!renderer || !mStyle)
        return nullptr;
    // Another inspector may have taken it out of the style meanwhile.
    if (renderer.get() != mStyle.get() && renderer->style() != mStyle.get())
        return nullptr;
    return renderer;
}

void VKStyleInspector::selectTabPaneForObject(VRRasterizer *renderer)
{
    if (!mTabView)
        return;
    if (renderer)
        mSelectedRendererRef = renderer->weak_from_this();
    else
        mSelectedRendererRef.reset();
    if (!renderer) {
        showPane(NoStylePane);
        return;
    }
    if (renderer->isKindOf<VRStroke>()) {
        updateSettingsForStroke(static_cast<VRStroke *>(renderer));
        showPane(StrokePane);
    } else if (renderer->isKindOf<VRFill>()) {
        updateSettingsForFill(static_cast<VRFill *>(renderer));
        showPane(FillPane);
    } else if (renderer->isKindOf<VRCIFilterRastGroup>()) {
        updateSettingsForCoreImageEffect(static_cast<VRCIFilterRastGroup *>(renderer));
        showPane(EffectPane);
    } else if (renderer->isKindOf<VRQuartzBlendRastGroup>()) {
        updateSettingsForBlendEffect(static_cast<VRQuartzBlendRastGroup *>(renderer));
        showPane(BlendPane);
    } else if (renderer->isKindOf<VRRastGroup>()) {
        updateStylePreview();
        showPane(GroupPane);
    } else if (renderer->isKindOf<VRImageAdornment>()) {
        updateSettingsForImage(static_cast<VRImageAdornment *>(renderer));
        showPane(ImagePane);
    } else if (renderer->isKindOf<VRHatching>()) {
        updateSettingsForHatch(static_cast<VRHatching *>(renderer));
        showPane(HatchPane);
    } else if (renderer->isKindOf<VRTextAdornment>()) {
        updateSettingsForTextLabel(static_cast<VRTextAdornment *>(renderer));
        showPane(TextPane);
    } else if (renderer->isKindOf<VRPathDecorator>()) {
        updateSettingsForPathDecorator(static_cast<VRPathDecorator *>(renderer));
        showPane(DecoratorPane);
    } else {
        showPane(NoStylePane);
    }
}

// ---- rows ------------------------------------------------------------------------------------

namespace {
void flatten(VRRasterizer *item, QList<VRRasterizer *> &rows)
{
    rows.append(item);
    if (!item->isKindOf<VRRastGroup>())
        return;
    for (const VRRendererRef &child : static_cast<VRRastGroup *>(item)->renderList())
        flatten(child.get(), rows);
}

QList<VRRasterizer *> rowsOf(const VRStyleRef &style)
{
    QList<VRRasterizer *> rows;
    if (style)
        flatten(style.get(), rows);
    return rows;
}
} // namespace

int VKStyleInspector::rowCount() const
{
    return int(rowsOf(mStyle).size());
}

VRRasterizer *VKStyleInspector::itemAtRow(int row) const
{
    const QList<VRRasterizer *> rows = rowsOf(mStyle);
    return row >= 0 && row < rows.size() ? rows.at(row) : nullptr;
}

int VKStyleInspector::rowForItem(const VRRasterizer *item) const
{
    return int(rowsOf(mStyle).indexOf(const_cast<VRRasterizer *>(item)));
}

int VKStyleInspector::selectedRow() const
{
    if (!mOutlineView)
        return -1;
    const QModelIndexList rows = mOutlineView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    return rowForItem(VKStyleInspectorModel::itemOf(rows.first()));
}

void VKStyleInspector::selectRow(int row)
{
    if (!mOutlineView)
        return;
    const QModelIndex index = m_model->indexForItem(itemAtRow(row));
    if (!index.isValid()) {
        mOutlineView->clearSelection();
        return;
    }
    mOutlineView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect
                                                      | QItemSelectionModel::Rows);
    mOutlineView->setCurrentIndex(index);
}

// ---- selection road --------------------------------------------------------------------------

void VKStyleInspector::redisplayContentForSelection(const VRObjectList &selection)
{
    if (!mTabView)
        return;
    if (selection.isEmpty()) {
        setStyle(nullptr);
        showPane(NoStylePane);
        return;
    }
    if (selection.size() == 1) {
        const VRObjectRef &object = selection.first();
        if (!object || object->isKindOf<QntElementTable>() || object->isKindOf<QntConnector>()
            || !object->editableStyle()) {
            setStyle(nullptr);
            showPane(NoStylePane);
            return;
        }
        setStyle(object->editableStyle());
        const int row = mStyle->lastSelectedRowInInspector();
        if (row < 0) {
            showPane(GroupPane);
        } else if (row < rowCount()) {
            m_updating = true;
            selectRow(row);
            m_updating = false;
            selectTabPaneForObject(itemAtRow(row));
        } else {
            showPane(GroupPane);
        }
        mStyleClientCountText->setText(tr("Clients: %1").arg(mStyle->countOfClients()));
        return;
    }
    VRStyleRef common;
    for (const VRObjectRef &object : selection) {
        const VRStyleRef style = object ? object->editableStyle() : nullptr;
        if (!common)
            common = style;
        if (!style || style != common) {
            setStyle(nullptr);
            showPane(MixedStylesPane);
            return;
        }
    }
    setStyle(common);
    m_updating = true;
    selectRow(0);
    m_updating = false;
    mSelectedRendererRef = common->weak_from_this();
    showPane(GroupPane);
    mStyleClientCountText->setText(tr("Clients: %1").arg(mStyle->countOfClients()));
}

// ---- notifications ---------------------------------------------------------------------------

void VKStyleInspector::styleChanged(const Notification &notification)
{
    if (!mStyle || notification.object != mStyle.get())
        return;
    if (const VRRendererRef renderer = selectedRenderer()) {
        selectTabPaneForObject(renderer.get());
    } else {
        updateUIForStyle();
    }
    reloadOutline();
    updateStylePreview();
    if (mStyleClientCountText)
        mStyleClientCountText->setText(tr("Clients: %1").arg(mStyle->countOfClients()));
}

void VKStyleInspector::styleAttached(const Notification &notification)
{
    if (!mStyle)
        return;
    const VRStyleRef old = notification.userInfo.value(kVRDrawableOldStyleKey).value<VRStyleRef>();
    if (old != mStyle)
        return;
    // Follows the object: later in this turn the object holds its new style.
    setStyle(notification.userInfo.value(kVRDrawableNewStyleKey).value<VRStyleRef>());
}

void VKStyleInspector::styleRegistered(const Notification &)
{
    populatePopUpButtonWithLibraryStyles();
    if (mStyle && mStyleRegisteredIndicatorText) {
        const bool registered = mStyle->isStyleRegistered();
        mStyleRegisteredIndicatorText->setVisible(registered);
        mStyleAddToLibraryButton->setEnabled(!registered);
        mStyleRemoveFromLibraryButton->setEnabled(registered);
    }
}

// ---- library ---------------------------------------------------------------------------------

void VKStyleInspector::populatePopUpButtonWithLibraryStyles()
{
    if (!mStyleLibraryPopUpButton)
        return;
    QPointer<VKStyleInspector> self(this);
    QMenu *menu = VRStyleRegistry::sharedStyleRegistry().managedStylesMenu(
        mStyleLibraryPopUpButton, [self](QAction *item) {
            if (self)
                self->libraryItemAction(item->data().toString());
        });
    menu->setObjectName(QStringLiteral("styleLibraryMenu"));
    QAction *title = new QAction(tr("Style Library"), menu);
    title->setEnabled(false);
    menu->insertAction(menu->actions().value(0), title);
    connect(menu, &QMenu::aboutToShow, this, [this] { validateMenus(); });
    QMenu *old = m_libraryMenu;
    m_libraryMenu = menu;
    mStyleLibraryPopUpButton->setMenu(menu);
    mStyleLibraryPopUpButton->setText(tr("Style Library"));
    if (old)
        old->deleteLater();
}

void VKStyleInspector::libraryItemAction(const QString &styleKey)
{
    const VRObjectList selection = selectedObjectForCurrentTarget();
    if (selection.isEmpty())
        return;
    const VRStyleRef style = VRStyleRegistry::styleForKeyAddingToRecentlyUsed(styleKey);
    if (!style)
        return;
    for (const VRObjectRef &object : selection)
        object->setEditableStyle(style);
    redisplayContentForSelection(selection);
    setActionName(QStringLiteral("Apply Style"));
}

void VKStyleInspector::libraryMenuAction(int tag)
{
    if (!mStyle)
        return;
    if (tag == kAddToLibraryTag) {
        VRStyleRegistry::registerStyle(mStyle);
    } else if (tag == kRemoveFromLibraryTag) {
        VRStyleRegistry::unregisterStyle(mStyle);
        populatePopUpButtonWithLibraryStyles();
    } else {
        return;
    }
    const VRResult<void> saved = VRStyleRegistry::saveDefaults();
    if (!saved.ok())
        qWarning("The style library could not be saved: %s", qPrintable(saved.errorMessage()));
    updateUIForStyle();
}

// ---- style-level actions ---------------------------------------------------------------------

void VKStyleInspector::sharedStyleCheckboxAction()
{
    if (!mStyle || mStyle->isLocked())
        return;
    mStyle->setStyleSharable(mStyleSharedCheckbox->isChecked());
}

void VKStyleInspector::styleNameAction()
{
    if (!mStyle || mStyle->isLocked())
        return;
    mStyle->setName(mStyleNameTextField->text());
    if (mStyle->isStyleRegistered())
        populatePopUpButtonWithLibraryStyles();
    setActionName(QStringLiteral("Change Style Name"));
}

void VKStyleInspector::cloneStyleAction()
{
    if (!mStyle)
        return;
    VRStyleRef copy = mStyle->copy();
    copy->setName(QString());
    if (copy->hasTextAttributes()) {
        const QVariant font = copy->textAttributes().value(QStringLiteral("font"));
        if (font.canConvert<QFont>())
            copy->setName(VRStyle::styleNameForFont(font.value<QFont>()));
    }
    const VRObjectList selection = selectedObjectForCurrentTarget();
    if (!selection.isEmpty()) {
        for (const VRObjectRef &object : selection)
            object->setEditableStyle(copy);
        redisplayContentForSelection(selection);
    }
    setActionName(QStringLiteral("Clone Style"));
}

void VKStyleInspector::unlockStyleAction()
{
    if (!mStyle)
        return;
    const bool wantLocked = mStyleLockCheckbox->isChecked();
    if (mStyle->isStyleRegistered() && !wantLocked) {
        bool unlock = false;
        if (m_unlockQuestion) {
            unlock = m_unlockQuestion(mStyle->name());
        } else {
            QMessageBox alert(QMessageBox::Warning, tr("Caution: Registered Style"),
                              tr("Caution: Registered Style"), QMessageBox::NoButton,
                              mainView()->window());
            alert.setInformativeText(
                tr("Editing a registered style can have unforseen consequences as such styles "
                   "may become permanently changed. Are you sure you want to unlock the style "
                   "'%1' for editing?")
                    .arg(mStyle->name()));
            QPushButton *cancel = alert.addButton(tr("Cancel"), QMessageBox::RejectRole);
            QPushButton *unlockButton =
                alert.addButton(tr("Unlock Anyway"), QMessageBox::AcceptRole);
            alert.setDefaultButton(cancel);
            alert.setWindowModality(Qt::ApplicationModal);
            alert.exec();
            unlock = alert.clickedButton() == unlockButton;
        }
        if (unlock)
            mStyle->setLocked(false);
    } else {
        mStyle->setLocked(wantLocked);
    }
    updateUIForStyle();
    if (mStyle->isStyleRegistered() && mStyleLockCheckbox->isChecked())
        populatePopUpButtonWithLibraryStyles();
    setActionName(mStyle->isLocked() ? QStringLiteral("Lock Style")
                                     : QStringLiteral("Unlock Style"));
}

void VKStyleInspector::removeTextAttributesAction()
{
    if (!mStyle || mStyle->isLocked() || !mStyle->hasTextAttributes())
        return;
    mStyle->removeTextAttributes();
    setActionName(QStringLiteral("Remove Text Attributes"));
}

// ---- tree actions ----------------------------------------------------------------------------

void VKStyleInspector::addRendererElementAction(int tag)
{
    if (!mStyle || mStyle->isLocked())
        return;
    VRRendererRef renderer;
    switch (tag) {
    case AddStroke: renderer = std::make_shared<VRStroke>(); break;
    case AddFill: renderer = std::make_shared<VRFill>(); break;
    case AddGroup: renderer = std::make_shared<VRRastGroup>(); break;
    case AddImage: renderer = std::make_shared<VRImageAdornment>(); break;
    case AddEffect: renderer = std::make_shared<VRCIFilterRastGroup>(); break;
    case AddText: renderer = std::make_shared<VRTextAdornment>(); break;
    case AddHatch: renderer = std::make_shared<VRHatching>(); break;
    case AddArrowStroke: {
        auto arrow = std::make_shared<VRArrowStroke>();
        arrow->setWidth(std::max(mStyle->maxStrokeWidth(), 1.0));
        renderer = arrow;
        break;
    }
    case AddPathDecorator: renderer = std::make_shared<VRPathDecorator>(); break;
    case AddFillPattern: renderer = std::make_shared<VRFillPattern>(); break;
    case AddBlend: renderer = std::make_shared<VRQuartzBlendRastGroup>(); break;
    case AddZigZagStroke: renderer = std::make_shared<VRZigZagStroke>(); break;
    case AddZigZagFill: renderer = std::make_shared<VRZigZagFill>(); break;
    case AddRoughStroke: renderer = std::make_shared<VRRoughStroke>(); break;
    case AddElementDecorator: {
        VRDrawing *drawing = targetDrawing();
        if (!drawing)
            return;
        const VRObjectRef object =
            QntElement::createWithElementId(QStringLiteral("e52"), drawing->currentNotationPath());
        auto element = std::dynamic_pointer_cast<QntElement>(object);
        if (!element) {
            QApplication::beep();
            return;
        }
        if (element->originalSize().isValid() && !element->originalSize().isEmpty())
            element->setSize(element->originalSize());
        renderer = std::make_shared<QntPathDecorator>(element);
        break;
    }
    default: return;
    }
    addAndSelectNewRenderer(renderer);
    setActionName(QStringLiteral("Add Style Component"));
}

void VKStyleInspector::addAndSelectNewRenderer(const VRRendererRef &renderer)
{
    if (!mStyle || !renderer)
        return;
    VRRastGroup *target = mStyle.get();
    if (VRRasterizer *item = itemAtRow(selectedRow())) {
        if (item->isKindOf<VRRastGroup>())
            target = static_cast<VRRastGroup *>(item);
        else if (item->container())
            target = item->container();
    }
    mSelectedRendererRef.reset();
    mStyle->notifyClientsBeforeChange();
    target->addRenderer(renderer);
    mStyle->notifyClientsAfterChange();
    reloadOutline();
    const int row = rowForItem(renderer.get());
    if (row >= 0)
        selectRow(row);
}

void VKStyleInspector::removeRendererElementAction()
{
    if (!mStyle || mStyle->isLocked())
        return;
    VRRasterizer *item = itemAtRow(selectedRow());
    if (!item || item == mStyle.get() || !item->container())
        return;
    VRRastGroup *container = item->container();
    mSelectedRendererRef.reset();
    mStyle->notifyClientsBeforeChange();
    container->removeRenderer(item);
    mStyle->notifyClientsAfterChange();
    reloadOutline();
    const int row = rowForItem(container);
    if (row >= 0)
        selectRow(row);
    setActionName(QStringLiteral("Delete Style Component"));
}

void VKStyleInspector::duplicateRendererElementAction()
{
    if (!mStyle || mStyle->isLocked())
        return;
    VRRasterizer *item = itemAtRow(selectedRow());
    if (!item || item == mStyle.get())
        return;
    const VRRendererRef copy = item->copy();
    if (!copy)
        return;
    addAndSelectNewRenderer(copy);
    setActionName(QStringLiteral("Duplicate Style Component"));
}

void VKStyleInspector::copyRendererElementAction()
{
    VRRasterizer *item = itemAtRow(selectedRow());
    if (!item || item == mStyle.get())
        return;
    auto *data = new QMimeData;
    item->copyToPasteboard(data);
    QGuiApplication::clipboard()->setMimeData(data);
}

void VKStyleInspector::pasteRendererElementAction()
{
    if (!mStyle || mStyle->isLocked())
        return;
    const VRRendererRef renderer =
        VRRasterizer::rasterizerFromPasteboard(QGuiApplication::clipboard()->mimeData());
    if (!renderer) {
        QApplication::beep();
        return;
    }
    addAndSelectNewRenderer(renderer);
    setActionName(QStringLiteral("Paste Style Component"));
}

bool VKStyleInspector::validateAction(const QString &action) const
{
    VRRasterizer *item = itemAtRow(selectedRow());
    const bool renderer = item && item != mStyle.get();
    const bool locked = mStyle && mStyle->isLocked();
    if (action == QLatin1String("copy"))
        return renderer;
    if (action == QLatin1String("duplicate") || action == QLatin1String("remove"))
        return renderer && !locked;
    if (action == QLatin1String("paste")) {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return mStyle && !locked && data && data->hasFormat(kVRRasterizerPasteboardType);
    }
    if (action == QLatin1String("removeTextAttributes"))
        return mStyle && !locked && mStyle->hasTextAttributes();
    return true;
}

void VKStyleInspector::validateMenus()
{
    if (m_copyItem) {
        m_copyItem->setEnabled(validateAction(QStringLiteral("copy")));
        m_pasteItem->setEnabled(validateAction(QStringLiteral("paste")));
        m_duplicateItem->setEnabled(validateAction(QStringLiteral("duplicate")));
        m_removeItem->setEnabled(validateAction(QStringLiteral("remove")));
        m_removeTextAttributesItem->setEnabled(
            validateAction(QStringLiteral("removeTextAttributes")));
    }
    if (m_libraryMenu) {
        const QString key = mStyle ? mStyle->uniqueKey() : QString();
        for (QAction *category : m_libraryMenu->actions()) {
            if (!category->menu())
                continue;
            for (QAction *item : category->menu()->actions()) {
                item->setCheckable(true);
                item->setChecked(!key.isEmpty() && item->data().toString() == key);
            }
        }
    }
}

void VKStyleInspector::setEnabledAction(VRRasterizer *renderer, bool enabled)
{
    if (!renderer || !mStyle || mStyle->isLocked())
        return;
    renderer->setValueForKey(enabled, QStringLiteral("enabled"));
}

// ---- drag and drop ---------------------------------------------------------------------------

bool VKStyleInspector::validateDrop(const VRRasterizer *item, const VRRasterizer *target) const
{
    if (!mStyle || mStyle->isLocked() || !item || item == mStyle.get() || !target)
        return false;
    if (!target->isKindOf<VRRastGroup>())
        return false;
    // Both must be in this style, and a group cannot go into itself.
    if (item->style() != mStyle.get()
        || (target != mStyle.get() && target->style() != mStyle.get()))
        return false;
    for (const VRRasterizer *node = target; node; node = node->container()) {
        if (node == item)
            return false;
    }
    return true;
}

bool VKStyleInspector::acceptDrop(VRRasterizer *item, VRRasterizer *target, int childIndex)
{
    if (!validateDrop(item, target))
        return false;
    auto *group = static_cast<VRRastGroup *>(target);
    if (childIndex < 0)
        childIndex = 0;
    const VRRendererRef kept = item->shared_from_this();
    const int from = group->indexOfRenderer(item);
    if (from >= 0) {
        // The drop index counts the rows before the item's removal.
        int to = from < childIndex ? childIndex - 1 : childIndex;
        to = std::clamp(to, 0, group->countOfRenderList() - 1);
        if (to == from)
            return false;
        mStyle->notifyClientsBeforeChange();
        group->moveRendererAtIndex(from, to);
        mStyle->notifyClientsAfterChange();
        reloadOutline();
        selectRow(0);
        selectRow(rowForItem(item));
        setActionName(QStringLiteral("Reorder Style Component"));
        return true;
    }
    mStyle->notifyClientsBeforeChange();
    if (VRRastGroup *old = item->container())
        old->removeRenderer(item);
    group->addRenderer(kept);
    group->moveRendererAtIndex(group->countOfRenderList() - 1,
                               std::clamp(childIndex, 0, group->countOfRenderList() - 1));
    mStyle->notifyClientsAfterChange();
    reloadOutline();
    selectRow(0);
    selectRow(rowForItem(item));
    setActionName(QStringLiteral("Move Style Component To Group"));
    return true;
}
