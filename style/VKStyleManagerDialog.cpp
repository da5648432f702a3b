#include "style/VKStyleManagerDialog.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {
int g_newCategoryCounter = 0;
constexpr int kKeyInCatColumn = 0;
constexpr int kCatNameColumn = 1;
constexpr int kStyleKeyRole = Qt::UserRole;
constexpr QSize kCellSize(64, 64);

QPixmap swatchOf(const VRStyleRef &style, const QSize &size)
{
    return QPixmap::fromImage(
        style->standardStyleSwatch().scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
} // namespace

VKStyleManagerDialog::VKStyleManagerDialog(QObject *parent)
    : QObject(parent)
{
    m_registryToken = NotificationCenter::defaultCenter().addObserver(
        kVRStyleRegistryDidFlagPossibleUIChange, nullptr,
        [this](const Notification &) { registryChangedElsewhere(); });
}

VKStyleManagerDialog::~VKStyleManagerDialog()
{
    m_registryToken.reset();
    delete m_window.data();
}

int VKStyleManagerDialog::newCategoryCounter()
{
    return g_newCategoryCounter;
}

VRStyleRegistry &VKStyleManagerDialog::styles() const
{
    return VRStyleRegistry::sharedStyleRegistry();
}

QWidget *VKStyleManagerDialog::window()
{
    if (!m_window) {
        createWindow();
        // Opening: the default category unless one is chosen.
        if (mStyleCategoryList->selectedItems().isEmpty())
            updateUIForCategory(kVRDefaultCategoryName);
    }
    return m_window;
}

void VKStyleManagerDialog::showWindow()
{
    QWidget *w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void VKStyleManagerDialog::createWindow()
{
    auto *w = new QWidget(nullptr, Qt::Window);
    w->setObjectName(QStringLiteral("styleManagerWindow"));
    w->setWindowTitle(tr("Style Manager"));
    m_window = w;
    auto *layout = new QHBoxLayout(w);

    auto *left = new QVBoxLayout;
    mStyleCategoryList = new QTableWidget(0, 2, w);
    mStyleCategoryList->setObjectName(QStringLiteral("styleCategoryList"));
    mStyleCategoryList->setHorizontalHeaderLabels({tr("In"), tr("Category")});
    mStyleCategoryList->horizontalHeader()->setSectionResizeMode(kKeyInCatColumn,
                                                                 QHeaderView::Fixed);
    mStyleCategoryList->setColumnWidth(kKeyInCatColumn, 32);
    mStyleCategoryList->horizontalHeader()->setSectionResizeMode(kCatNameColumn,
                                                                 QHeaderView::Stretch);
    mStyleCategoryList->verticalHeader()->hide();
    mStyleCategoryList->setSelectionBehavior(QAbstractItemView::SelectRows);
    mStyleCategoryList->setSelectionMode(QAbstractItemView::SingleSelection);
    mStyleCategoryList->setEditTriggers(QAbstractItemView::DoubleClicked
                                        | QAbstractItemView::EditKeyPressed);
    left->addWidget(mStyleCategoryList, 1);
    auto *categoryButtons = new QHBoxLayout;
    mAddCategoryButton = new QPushButton(QStringLiteral("+"), w);
    mAddCategoryButton->setObjectName(QStringLiteral("addCategoryButton"));
    mAddCategoryButton->setToolTip(tr("New category"));
    mDeleteCategoryButton = new QPushButton(QStringLiteral("\u2212"), w);
    mDeleteCategoryButton->setObjectName(QStringLiteral("deleteCategoryButton"));
    mDeleteCategoryButton->setToolTip(tr("Delete the category"));
    categoryButtons->addWidget(mAddCategoryButton);
    categoryButtons->addWidget(mDeleteCategoryButton);
    categoryButtons->addStretch(1);
    left->addLayout(categoryButtons);
    layout->addLayout(left, 2);

    auto *right = new QVBoxLayout;
    mStyleListTabView = new QTabWidget(w);
    mStyleIconMatrix = new QTableWidget(0, kGridColumns, w);
    mStyleIconMatrix->setObjectName(QStringLiteral("styleIconMatrix"));
    mStyleIconMatrix->horizontalHeader()->hide();
    mStyleIconMatrix->verticalHeader()->hide();
    mStyleIconMatrix->setIconSize(kCellSize);
    mStyleIconMatrix->horizontalHeader()->setDefaultSectionSize(kCellSize.width() + 8);
    mStyleIconMatrix->verticalHeader()->setDefaultSectionSize(kCellSize.height() + 8);
    mStyleIconMatrix->setSelectionMode(QAbstractItemView::SingleSelection);
    mStyleIconMatrix->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mStyleIconMatrix->setShowGrid(false);
    mStyleListTabView->addTab(mStyleIconMatrix, tr("Swatches"));
    mStyleBrowserList = new QTableWidget(0, 2, w);
    mStyleBrowserList->setObjectName(QStringLiteral("styleBrowserList"));
    mStyleBrowserList->setHorizontalHeaderLabels({tr("Name"), tr("Look")});
    mStyleBrowserList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    mStyleBrowserList->verticalHeader()->hide();
    mStyleBrowserList->setIconSize(QSize(22, 22));
    mStyleBrowserList->setSelectionBehavior(QAbstractItemView::SelectRows);
    mStyleBrowserList->setSelectionMode(QAbstractItemView::SingleSelection);
    mStyleBrowserList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mStyleListTabView->addTab(mStyleBrowserList, tr("List"));
    right->addWidget(mStyleListTabView, 1);
    auto *styleRow = new QHBoxLayout;
    mPreviewImageWell = new QLabel(w);
    mPreviewImageWell->setObjectName(QStringLiteral("styleManagerPreview"));
    mPreviewImageWell->setFixedSize(kCellSize + QSize(4, 4));
    mPreviewImageWell->setFrameShape(QFrame::StyledPanel);
    mStyleNameTextField = new QLineEdit(w);
    mStyleNameTextField->setReadOnly(true);
    mStyleNameTextField->setObjectName(QStringLiteral("styleManagerName"));
    mDeleteStyleButton = new QPushButton(tr("Remove From Library…"), w);
    mDeleteStyleButton->setObjectName(QStringLiteral("deleteStyleButton"));
    styleRow->addWidget(mPreviewImageWell);
    auto *nameColumn = new QVBoxLayout;
    nameColumn->addWidget(mStyleNameTextField);
    nameColumn->addWidget(mDeleteStyleButton);
    styleRow->addLayout(nameColumn, 1);
    right->addLayout(styleRow);
    auto *fileRow = new QHBoxLayout;
    auto *clear = new QPushButton(tr("Clear Library…"), w);
    clear->setObjectName(QStringLiteral("clearRegistryButton"));
    auto *save = new QPushButton(tr("Save…"), w);
    save->setObjectName(QStringLiteral("saveStylesButton"));
    auto *load = new QPushButton(tr("Load…"), w);
    load->setObjectName(QStringLiteral("loadStylesButton"));
    fileRow->addWidget(clear);
    fileRow->addStretch(1);
    fileRow->addWidget(save);
    fileRow->addWidget(load);
    right->addLayout(fileRow);
    layout->addLayout(right, 3);
    w->resize(640, 420);

    connect(mAddCategoryButton, &QPushButton::clicked, this, [this] { addCategoryAction(); });
    connect(mDeleteCategoryButton, &QPushButton::clicked, this, [this] { deleteCategoryAction(); });
    connect(mDeleteStyleButton, &QPushButton::clicked, this, [this] { styleDeleteAction(); });
    connect(clear, &QPushButton::clicked, this, [this] { registryResetAction(); });
    connect(save, &QPushButton::clicked, this, [this] { saveStylesToFileAction(); });
    connect(load, &QPushButton::clicked, this, [this] { loadStylesFromFileAction(); });
    connect(mStyleCategoryList, &QTableWidget::itemSelectionChanged, this, [this] {
        if (m_updating)
            return;
        const QList<QTableWidgetItem *> items = mStyleCategoryList->selectedItems();
        if (!items.isEmpty())
            updateUIForCategory(
                mStyleCategoryList->item(items.first()->row(), kCatNameColumn)->text());
    });
    connect(mStyleCategoryList, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (m_updating)
            return;
        if (item->column() == kCatNameColumn)
            renameCategory(item->row(), item->text());
        else if (item->column() == kKeyInCatColumn)
            setStyleInCategory(item->row(), item->checkState() == Qt::Checked);
    });
    connect(mStyleIconMatrix, &QTableWidget::cellClicked, this,
            [this](int row, int column) { styleIconMatrixAction(row, column); });
    connect(mStyleBrowserList, &QTableWidget::itemSelectionChanged, this, [this] {
        if (m_updating)
            return;
        const QList<QTableWidgetItem *> items = mStyleBrowserList->selectedItems();
        if (items.isEmpty())
            return;
        const QStringList keys = styles().allSortedKeysInCategory(mSelectedCategory);
        const int row = items.first()->row();
        if (row >= 0 && row < keys.size()) {
            mSelectedStyleKey = keys.at(row);
            updateUIForStyle(styles().objectForKey(mSelectedStyleKey));
        }
    });
    reloadCategories();
}

VRStyleRef VKStyleManagerDialog::selectedStyle() const
{
    return mSelectedStyleKey.isEmpty() ? nullptr : styles().objectForKey(mSelectedStyleKey);
}

int VKStyleManagerDialog::rowOfCategory(const QString &category) const
{
    return int(styles().allCategories().indexOf(category));
}

void VKStyleManagerDialog::reloadCategories()
{
    if (!mStyleCategoryList)
        return;
    m_updating = true;
    const QStringList categories = styles().allCategories();
    const VRStyleRef style = selectedStyle();
    mStyleCategoryList->setRowCount(int(categories.size()));
    for (int row = 0; row < categories.size(); ++row) {
        const QString &name = categories.at(row);
        const bool isDefault = name == kVRDefaultCategoryName;
        auto *box = new QTableWidgetItem;
        Qt::ItemFlags boxFlags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
        if (!isDefault && style)
            boxFlags |= Qt::ItemIsEnabled;
        box->setFlags(boxFlags);
        box->setCheckState(style && styles().keyExistsInCategory(style->uniqueKey(), name)
                               ? Qt::Checked
                               : Qt::Unchecked);
        mStyleCategoryList->setItem(row, kKeyInCatColumn, box);
        auto *title = new QTableWidgetItem(name);
        Qt::ItemFlags titleFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (!isDefault)
            titleFlags |= Qt::ItemIsEditable;
        else
            title->setForeground(QColor(Qt::gray));
        title->setFlags(titleFlags);
        mStyleCategoryList->setItem(row, kCatNameColumn, title);
    }
    const int selectedRow = categories.indexOf(mSelectedCategory);
    if (selectedRow >= 0)
        mStyleCategoryList->selectRow(selectedRow);
    else
        mStyleCategoryList->clearSelection();
    m_updating = false;
}

void VKStyleManagerDialog::updateUIForCategory(const QString &category)
{
    window();
    mSelectedCategory = category;
    populateMatrixWithStyleInCategory(category);
    reloadStyleList();
    const QStringList keys = styles().allKeysInCategory(category);
    if (!keys.isEmpty()) {
        mStyleIconMatrix->setCurrentCell(0, 0);
        styleIconMatrixAction(0, 0);
    } else {
        // An empty category stays chosen; it simply shows no style.
        mSelectedStyleKey.clear();
        updateUIForStyle(nullptr);
    }
    mDeleteCategoryButton->setEnabled(category != kVRDefaultCategoryName);
}

void VKStyleManagerDialog::reloadStyleList()
{
    m_updating = true;
    const QStringList keys = styles().allSortedKeysInCategory(mSelectedCategory);
    mStyleBrowserList->setRowCount(int(keys.size()));
    for (int row = 0; row < keys.size(); ++row) {
        const VRStyleRef style = styles().objectForKey(keys.at(row));
        auto *name = new QTableWidgetItem(styles().styleNameForKey(keys.at(row)));
        mStyleBrowserList->setItem(row, 0, name);
        auto *image = new QTableWidgetItem;
        if (style)
            image->setIcon(QIcon(swatchOf(style, QSize(22, 22))));
        mStyleBrowserList->setItem(row, 1, image);
    }
    if (!keys.isEmpty())
        mStyleBrowserList->selectRow(0);
    m_updating = false;
}

void VKStyleManagerDialog::populateMatrixWithStyleInCategory(const QString &category)
{
    window();
    const QList<VRStyleRef> list = styles().objectsInCategory(category);
    const int n = int(list.size());
    const int rows = (n + kGridColumns - 1) / kGridColumns;
    mStyleIconMatrix->clearContents();
    mStyleIconMatrix->setRowCount(rows);
    for (int i = 0; i < rows * kGridColumns; ++i) {
        auto *cell = new QTableWidgetItem;
        if (i < n) {
            const VRStyleRef &style = list.at(i);
            cell->setIcon(QIcon(swatchOf(style, kCellSize)));
            cell->setData(kStyleKeyRole, style->uniqueKey());
            cell->setToolTip(style->name());
            cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        } else {
            cell->setFlags(Qt::NoItemFlags);
        }
        mStyleIconMatrix->setItem(i / kGridColumns, i % kGridColumns, cell);
    }
}

void VKStyleManagerDialog::styleIconMatrixAction(int row, int column)
{
    QTableWidgetItem *cell = mStyleIconMatrix->item(row, column);
    if (!cell || !(cell->flags() & Qt::ItemIsEnabled))
        return;
    mSelectedStyleKey = cell->data(kStyleKeyRole).toString();
    updateUIForStyle(selectedStyle());
}

void VKStyleManagerDialog::updateUIForStyle(const VRStyleRef &style)
{
    window();
    mStyleNameTextField->setText(style ? style->name() : QString());
    mStyleNameTextField->setEnabled(style != nullptr);
    if (style)
        mPreviewImageWell->setPixmap(swatchOf(style, kCellSize));
    else
        mPreviewImageWell->clear();
    mDeleteStyleButton->setEnabled(style != nullptr);
    reloadCategories();
}

void VKStyleManagerDialog::renameCategory(int row, const QString &name)
{
    const QStringList categories = styles().allCategories();
    if (row < 0 || row >= categories.size())
        return;
    const QString old = categories.at(row);
    const QString trimmed = name.trimmed();
    if (old != kVRDefaultCategoryName && !trimmed.isEmpty() && !categories.contains(trimmed)) {
        styles().renameCategory(old, trimmed);
        if (mSelectedCategory == old)
            mSelectedCategory = trimmed;
    }
    reloadCategories();
    reloadStyleList();
}

void VKStyleManagerDialog::setStyleInCategory(int row, bool inCategory)
{
    const QStringList categories = styles().allCategories();
    const VRStyleRef style = selectedStyle();
    if (row < 0 || row >= categories.size() || !style
        || categories.at(row) == kVRDefaultCategoryName)
        return;
    const QString category = categories.at(row);
    if (inCategory)
        styles().addKey(style->uniqueKey(), category, false);
    else
        styles().removeKey(style->uniqueKey(), category);
    reloadCategories();
    if (category == mSelectedCategory) {
        populateMatrixWithStyleInCategory(category);
        reloadStyleList();
    }
}

void VKStyleManagerDialog::addCategoryAction()
{
    window();
    ++g_newCategoryCounter;
    const QString name = tr("untitled category %1").arg(g_newCategoryCounter);
    styles().addCategory(name);
    mSelectedCategory = name;
    reloadCategories();
    const int row = rowOfCategory(name);
    if (row < 0)
        return;
    updateUIForCategory(name);
    QTableWidgetItem *item = mStyleCategoryList->item(row, kCatNameColumn);
    if (item && mStyleCategoryList->isVisible()) {
        mStyleCategoryList->editItem(item);
        // The new name is typed over the made-up one.
        for (QLineEdit *editor : mStyleCategoryList->viewport()->findChildren<QLineEdit *>())
            editor->selectAll();
    }
}

void VKStyleManagerDialog::deleteCategoryAction()
{
    if (mSelectedCategory.isEmpty() || mSelectedCategory == kVRDefaultCategoryName)
        return;
    styles().removeCategory(mSelectedCategory);
    updateUIForCategory(kVRDefaultCategoryName);
}

void VKStyleManagerDialog::ask(const QString &message, const QString &informative,
                               const QString &defaultTitle, const QString &context)
{
    if (m_question) {
        alertDidEnd(context, m_question(message, context) ? 1 : 0);
        return;
    }
    auto *alert = new QMessageBox(QMessageBox::Warning, tr("Style Manager"), message,
                                  QMessageBox::NoButton, window());
    alert->setObjectName(QStringLiteral("styleManagerAlert"));
    alert->setInformativeText(informative);
    QPushButton *act = alert->addButton(defaultTitle, QMessageBox::AcceptRole);
    alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(act);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::finished, this, [this, alert, act, context] {
        alertDidEnd(context, alert->clickedButton() == act ? 1 : 0);
    });
    alert->open();
}

void VKStyleManagerDialog::styleDeleteAction()
{
    const VRStyleRef style = selectedStyle();
    if (!style)
        return;
    ask(tr("Really Remove '%1' From Registry?").arg(style->name()),
        tr("Removing the style from the registry does not affect any object that might be using "
           "the style, but it may prevent the style being used in another document later."),
        tr("Remove"), QStringLiteral("remove"));
}

void VKStyleManagerDialog::registryResetAction()
{
    ask(tr("Really Remove All Styles From Registry?"),
        tr("Removing styles from the registry does not affect any object that might be using "
           "them, but it may prevent the styles being used in another document later."),
        tr("Clear"), QStringLiteral("reset"));
}

void VKStyleManagerDialog::alertDidEnd(const QString &context, int returnCode)
{
    if (returnCode != 1)
        return;
    if (context == QLatin1String("remove")) {
        if (const VRStyleRef style = selectedStyle())
            VRStyleRegistry::unregisterStyle(style);
        mSelectedStyleKey.clear();
        const QString category = styles().allCategories().contains(mSelectedCategory)
                                     ? mSelectedCategory
                                     : kVRDefaultCategoryName;
        updateUIForCategory(category);
    } else if (context == QLatin1String("reset")) {
        VRStyleRegistry::resetRegistry();
        mSelectedStyleKey.clear();
        mSelectedCategory = kVRDefaultCategoryName;
        reloadCategories();
        updateUIForCategory(kVRDefaultCategoryName);
    }
}

void VKStyleManagerDialog::reportError(const QString &title, const QString &message)
{
    m_lastError = message;
    if (m_question)
        return; // tests read lastErrorMessage()
    auto *alert = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::Ok, window());
    alert->setObjectName(QStringLiteral("styleManagerError"));
    alert->setInformativeText(message);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

bool VKStyleManagerDialog::saveStylesToFile(const QString &path)
{
    const VRResult<void> written = styles().writeToFile(path, true);
    if (!written.ok()) {
        reportError(tr("The Style Library Was Not Saved"), written.errorMessage());
        return false;
    }
    m_lastError.clear();
    return true;
}

bool VKStyleManagerDialog::loadStylesFromFile(const QString &path)
{
    const VRResult<void> read = styles().readFromFile(path, VRStyleRegistry::KeepExisting, this);
    if (!read.ok()) {
        reportError(tr("The Style Library Was Not Loaded"), read.errorMessage());
        return false;
    }
    m_lastError.clear();
    mSelectedCategory = kVRDefaultCategoryName;
    reloadCategories();
    updateUIForCategory(kVRDefaultCategoryName);
    return true;
}

void VKStyleManagerDialog::saveStylesToFileAction()
{
    auto *panel = new QFileDialog(window(), tr("Save Style Library"));
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setNameFilter(tr("Style libraries (*.styles)"));
    panel->setDefaultSuffix(QStringLiteral("styles"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this,
            [this](const QString &path) { saveStylesToFile(path); });
    panel->open();
}

void VKStyleManagerDialog::loadStylesFromFileAction()
{
    auto *panel = new QFileDialog(window(), tr("Load Style Library"));
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setNameFilter(tr("Style libraries (*.styles)"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this,
            [this](const QString &path) { loadStylesFromFile(path); });
    panel->open();
}

void VKStyleManagerDialog::registryChangedElsewhere()
{
    // Styles registered or removed in the style inspector show here too, on the next turn.
    if (!m_window || m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshPending = false;
            if (!m_window || m_updating)
                return;
            if (!styles().allCategories().contains(mSelectedCategory))
                mSelectedCategory = kVRDefaultCategoryName;
            const QString keep = mSelectedStyleKey;
            populateMatrixWithStyleInCategory(mSelectedCategory);
            reloadStyleList();
            if (!keep.isEmpty() && styles().objectForKey(keep))
                mSelectedStyleKey = keep;
            updateUIForStyle(selectedStyle());
        },
        Qt::QueuedConnection);
}
