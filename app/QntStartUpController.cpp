#include "app/QntStartUpController.h"

#include "framework/VRConstants.h"
#include "framework/notations/QntNotation.h"
#include "platform/DocumentController.h"
#include "platform/Document.h"
#include "platform/NotificationCenter.h"
#include "platform/QntPaths.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kLastNotationItemKey = QStringLiteral("QntLastNotationItem");
const QString kLastNotationCategoryKey = QStringLiteral("QntLastNotationCategory");
constexpr int kPathRole = Qt::UserRole + 1;

bool holdsNotations(const QString &folder)
{
    return !QDir(folder).entryList({QStringLiteral("*.db")}, QDir::Files).isEmpty();
}

} // namespace

QntStartUpController::QntStartUpController(QObject *parent)
    : QObject(parent)
{
    buildWindow();
}

QntStartUpController::~QntStartUpController()
{
    delete m_window;
}

QWidget *QntStartUpController::window() const
{
    return m_window;
}

QString QntStartUpController::notationsRootFolder()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Notations");
}

void QntStartUpController::buildWindow()
{
    auto *window = new QMainWindow;
    window->setObjectName(QStringLiteral("QntStartUp"));
    window->setWindowTitle(tr("Quintora — Choose a Notation"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);

    QMenu *fileMenu = window->menuBar()->addMenu(tr("&File"));
    QAction *open = fileMenu->addAction(tr("&Open…"), this, &QntStartUpController::openExistingFileAction);
    open->setShortcut(QKeySequence::Open);
    fileMenu->addSeparator();
    QAction *quit = fileMenu->addAction(tr("&Quit Quintora"), qApp, &QCoreApplication::quit);
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    auto *central = new QWidget(window);
    auto *layout = new QVBoxLayout(central);
    auto *title = new QLabel(tr("Choose a notation for the new drawing"), central);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);

    auto *splitter = new QSplitter(central);
    mNotationsGroups = new QTreeWidget(splitter);
    mNotationsGroups->setObjectName(QStringLiteral("notationsGroups"));
    mNotationsGroups->setHeaderHidden(true);
    mNotationsGroups->setSelectionMode(QAbstractItemView::SingleSelection);
    notationsItemsView = new QListWidget(splitter);
    notationsItemsView->setObjectName(QStringLiteral("notationsItems"));
    notationsItemsView->setViewMode(QListView::IconMode);
    notationsItemsView->setResizeMode(QListView::Adjust);
    notationsItemsView->setGridSize(QSize(150, 90));
    notationsItemsView->setIconSize(QSize(48, 48));
    notationsItemsView->setMovement(QListView::Static);
    notationsItemsView->setWordWrap(true);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    auto *buttons = new QHBoxLayout;
    _openRecentPopupButton = new QComboBox(central);
    _openRecentPopupButton->setObjectName(QStringLiteral("openRecent"));
    buttons->addWidget(_openRecentPopupButton);
    auto *openButton = new QPushButton(tr("Open Existing File…"), central);
    buttons->addWidget(openButton);
    buttons->addStretch(1);
    auto *cancelButton = new QPushButton(tr("Cancel"), central);
    buttons->addWidget(cancelButton);
    m_okButton = new QPushButton(tr("Choose"), central);
    m_okButton->setDefault(true);
    buttons->addWidget(m_okButton);
    layout->addLayout(buttons);
    window->setCentralWidget(central);
    window->resize(760, 480);

    connect(mNotationsGroups, &QTreeWidget::itemSelectionChanged, this,
            &QntStartUpController::outlineViewAction);
    connect(notationsItemsView, &QListWidget::itemSelectionChanged, this, &QntStartUpController::updateButtons);
    connect(notationsItemsView, &QListWidget::itemActivated, this, [this] { okAction(); });
    connect(openButton, &QPushButton::clicked, this, &QntStartUpController::openExistingFileAction);
    connect(cancelButton, &QPushButton::clicked, this, &QntStartUpController::cancelAction);
    connect(m_okButton, &QPushButton::clicked, this, &QntStartUpController::okAction);
    connect(_openRecentPopupButton, &QComboBox::activated, this, &QntStartUpController::openRecentAction);

    // Centred on the first screen's visible area.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        window->move(visible.x() + (visible.width() - window->width()) / 2,
                     visible.y() + (visible.height() - window->height()) / 2);
    }
    m_window = window;
}

QStringList QntStartUpController::groupPaths() const
{
    QStringList groups;
    const QString root = notationsRootFolder();
    if (holdsNotations(root))
        groups.append(root);
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString folder = it.next();
        if (holdsNotations(folder))
            groups.append(folder);
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

void QntStartUpController::populateControls()
{
    const QString root = notationsRootFolder();
    mNotationsGroups->clear();
    QTreeWidgetItem *misc = nullptr;
    for (const QString &folder : groupPaths()) {
        const QString relative = QDir(root).relativeFilePath(folder);
        auto *item = new QTreeWidgetItem(mNotationsGroups,
                                         {relative == QLatin1String(".") ? tr("Notations") : relative});
        item->setData(0, kPathRole, folder);
        if (QFileInfo(folder).fileName() == QLatin1String("Misc"))
            misc = item;
    }
    QTreeWidgetItem *initial = misc ? misc : mNotationsGroups->topLevelItem(0);
    if (initial)
        initial->setSelected(true);
    outlineViewAction();
    populateRecentMenu();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    notationsItemsView->setFocus();
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification, this);
}

void QntStartUpController::populateRecentMenu()
{
    _openRecentPopupButton->clear();
    _openRecentPopupButton->addItem(tr("Open Recent"));
    for (const QString &path : DocumentController::sharedDocumentController().recentDocumentURLs())
        _openRecentPopupButton->addItem(QFileInfo(path).fileName(), path);
    _openRecentPopupButton->setEnabled(_openRecentPopupButton->count() > 1);
}

QStringList QntStartUpController::notationsItems() const
{
    return m_notationsItems;
}

void QntStartUpController::outlineViewAction()
{
    const QList<QTreeWidgetItem *> selected = mNotationsGroups->selectedItems();
    if (selected.size() != 1) {
        updateButtons();
        return;
    }
    const QString folder = selected.first()->data(0, kPathRole).toString();
    m_notationsItems.clear();
    notationsItemsView->clear();
    const QIcon fallback = QIcon::fromTheme(QStringLiteral("x-office-drawing"),
                                            notationsItemsView->style()->standardIcon(QStyle::SP_FileIcon));
    for (const QntNotationRef &notation : QntNotation::notationsFromPath(folder)) {
        if (!notation || !notation->isValid())
            continue;
        const QImage image = notation->icon();
        const QIcon icon = image.isNull() ? fallback : QIcon(QPixmap::fromImage(image));
        m_notationsItems.append(notation->notationPath());
        auto *item = new QListWidgetItem(icon, notation->notationName(), notationsItemsView);
        item->setData(kPathRole, notation->notationPath());
    }
    const QVariant last = UserDefaults::standardUserDefaults().objectForKey(kLastNotationItemKey);
    if (last.isValid()) {
        const qint64 index = UserDefaults::standardUserDefaults().integerForKey(kLastNotationItemKey);
        if (index >= 0 && index < notationsItemsView->count())
            notationsItemsView->item(int(index))->setSelected(true);
    }
    updateButtons();
}

void QntStartUpController::okAction()
{
    const QList<QListWidgetItem *> selected = notationsItemsView->selectedItems();
    DocumentController &controller = DocumentController::sharedDocumentController();
    if (selected.size() != 1 || controller.defaultType().isEmpty())
        return;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QList<QTreeWidgetItem *> groups = mNotationsGroups->selectedItems();
    if (!groups.isEmpty()) {
        defaults.setObject(QString::number(mNotationsGroups->indexOfTopLevelItem(groups.first())),
                           kLastNotationCategoryKey);
    }
    defaults.setObject(QString::number(notationsItemsView->row(selected.first())), kLastNotationItemKey);
    QString error;
    Document *document = controller.makeUntitledDocumentOfType(controller.defaultType(), &error);
    if (!document) {
        controller.presentError(error, m_window);
        return;
    }
    document->makeWindowControllers();
    controller.addDocument(document);
    document->showWindows();
}

void QntStartUpController::cancelAction()
{
    m_window->hide();
}

void QntStartUpController::openExistingFileAction()
{
    DocumentController::sharedDocumentController().openDocument(m_window);
}

void QntStartUpController::openRecentAction(int index)
{
    if (index < 1)
        return;
    const QString path = _openRecentPopupButton->itemData(index).toString();
    _openRecentPopupButton->setCurrentIndex(0);
    DocumentController &controller = DocumentController::sharedDocumentController();
    QString error;
    if (controller.openDocumentWithContentsOfURL(path, true, &error))
        m_window->hide();
    else
        controller.presentError(error, m_window);
}

void QntStartUpController::updateButtons()
{
    // A new drawing needs a document type, which the document window brings.
    const bool canMake = !DocumentController::sharedDocumentController().defaultType().isEmpty();
    m_okButton->setEnabled(canMake && notationsItemsView->selectedItems().size() == 1);
}
