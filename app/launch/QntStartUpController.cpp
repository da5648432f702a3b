#include "app/launch/QntStartUpController.h"

#include "app/launch/FileSystemItem.h"

#include "platform/OutlineViewAdditions.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntWindowAnimation.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/common/QntConstants.h"
#include "app/panels/VKLayersPaletteController.h"
#include "app/window/DIDizeZoziDocument.h"
#include "framework/base/VRConstants.h"
#include "framework/notations/QntNotation.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include "framework/notations/QntImportFromGraffle.h"

#include <QAction>
#include <QApplication>
#include <QBackingStore>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMessageBox>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

Q_LOGGING_CATEGORY(lcStartUpWindow, "quintora.startup.window")

struct QntStartUpController::ImportResult {
    bool ok = false;
    QString lastImportedFilename;
    VRObjectList shapes;
    QString error;
};

namespace {

const QString kLastNotationItemKey = QStringLiteral("QntLastNotationItem");
const QString kLastNotationCategoryKey = QStringLiteral("QntLastNotationCategory");
const QString kLastFolderForInsertingImage = QStringLiteral("kQntLastFolderForInsertingImage");
constexpr int kPathRole = Qt::UserRole + 1;

std::shared_ptr<QntNotation> g_selectedNotation;
std::optional<VRObjectList> g_importedShapes;
QntStartUpController::OpenPanel g_openPanel;
QntStartUpController::Confirmation g_confirmation;
double g_failureMessageDelay = 2.0;

QIcon notationIcon(const QntNotation &notation, const QStyle *style)
{
    const QImage image = notation.icon();
    if (!image.isNull())
        return QIcon(QPixmap::fromImage(image));
    return style->standardIcon(QStyle::SP_FileDialogDetailedView);
}

QString importedFolder()
{
    return QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/Imported");
}

} // namespace

QntStartUpController::QntStartUpController(QObject *parent)
    : QObject(parent)
{
    buildWindow();
    m_animationObserver = NotificationCenter::defaultCenter().addObserver(
        QntWindowAnimation::kAnimationFromFrameDidFinishedNotification, nullptr,
        [this](const Notification &notification) {
            newDocumentWindowAnimationFinished(notification);
        });
}

QntStartUpController::~QntStartUpController()
{
    // While the application object itself is going away, widgets can no longer be deleted.
    if (!QCoreApplication::closingDown())
        delete m_window;
}

QWidget *QntStartUpController::window() const
{
    return m_window;
}

std::shared_ptr<QntNotation> QntStartUpController::selectedNotation()
{
    return g_selectedNotation;
}

void QntStartUpController::setSelectedNotation(std::shared_ptr<QntNotation> notation)
{
    g_selectedNotation = std::move(notation);
}

std::optional<VRObjectList> QntStartUpController::importedShapes()
{
    return g_importedShapes;
}

void QntStartUpController::setImportedShapes(std::optional<VRObjectList> shapes)
{
    g_importedShapes = std::move(shapes);
}

void QntStartUpController::cleanImportedShapes()
{
    g_importedShapes.reset();
}

void QntStartUpController::setOpenPanel(OpenPanel panel)
{
    g_openPanel = std::move(panel);
}

void QntStartUpController::setConfirmation(Confirmation confirmation)
{
    g_confirmation = std::move(confirmation);
}

void QntStartUpController::setFailureMessageDelay(double seconds)
{
    g_failureMessageDelay = seconds;
}

double QntStartUpController::failureMessageDelay()
{
    return g_failureMessageDelay;
}

void QntStartUpController::buildWindow()
{
    auto *window = new QMainWindow;
    window->setObjectName(QStringLiteral("QntStartUp"));
    window->setWindowTitle(tr("New Drawing — Quintora"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);

    QMenu *fileMenu = window->menuBar()->addMenu(tr("&File"));
    QAction *open =
        fileMenu->addAction(tr("&Open…"), this, &QntStartUpController::openExistingFileAction);
    open->setShortcut(QKeySequence::Open);
    fileMenu->addAction(tr("&Import Stencil as Notation…"), this,
                        &QntStartUpController::importStencil);
    fileMenu->addSeparator();
    QAction *close = fileMenu->addAction(tr("&Close"), this, [this] {
        if (m_window)
            m_window->close();
    });
    close->setObjectName(QStringLiteral("closeAction"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QAction *quit = fileMenu->addAction(tr("&Quit Quintora"), this, [] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            delegate->terminate();
    });
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    // Filled by the application with what needs no drawing, as a drawing window's menus are.
    window->menuBar()->addMenu(tr("&Edit"))->setObjectName(QStringLiteral("editMenu"));
    window->menuBar()->addMenu(tr("&Window"))->setObjectName(QStringLiteral("panelsMenu"));

    auto *central = new QWidget(window);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    auto *title = new QLabel(tr("Choose a notation for the new drawing"), central);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    auto *subtitle = new QLabel(
        tr("A notation brings its shape library, connectors and colour schemes."), central);
    subtitle->setStyleSheet(QStringLiteral("QLabel { color: #666666; }"));
    layout->addWidget(subtitle);

    auto *splitter = new QSplitter(central);
    mNotationsGroups = new QTreeWidget(splitter);
    mNotationsGroups->setObjectName(QStringLiteral("notationsGroups"));
    mNotationsGroups->setHeaderHidden(true);
    mNotationsGroups->setSelectionMode(QAbstractItemView::SingleSelection);
    mNotationsGroups->setIndentation(14);
    mNotationsGroups->setMinimumWidth(170);
    m_notationsItemsView = new QListWidget(splitter);
    m_notationsItemsView->setObjectName(QStringLiteral("notationsItems"));
    m_notationsItemsView->setViewMode(QListView::IconMode);
    m_notationsItemsView->setResizeMode(QListView::Adjust);
    m_notationsItemsView->setGridSize(QSize(150, 110));
    m_notationsItemsView->setIconSize(QSize(64, 64));
    m_notationsItemsView->setMovement(QListView::Static);
    m_notationsItemsView->setWordWrap(true);
    m_notationsItemsView->setSpacing(6);
    splitter->addWidget(mNotationsGroups);
    splitter->addWidget(m_notationsItemsView);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({190, 570});
    layout->addWidget(splitter, 1);

    auto *buttons = new QHBoxLayout;
    _openRecentPopupButton = new QComboBox(central);
    _openRecentPopupButton->setObjectName(QStringLiteral("openRecent"));
    _openRecentPopupButton->setMinimumWidth(160);
    buttons->addWidget(_openRecentPopupButton);
    auto *openButton = new QPushButton(tr("Open Existing File…"), central);
    buttons->addWidget(openButton);
    auto *importButton = new QPushButton(tr("Import Stencil…"), central);
    importButton->setObjectName(QStringLiteral("importStencil"));
    buttons->addWidget(importButton);
    buttons->addStretch(1);
    auto *cancelButton = new QPushButton(tr("Cancel"), central);
    buttons->addWidget(cancelButton);
    m_okButton = new QPushButton(tr("Choose"), central);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    buttons->addWidget(m_okButton);
    layout->addLayout(buttons);
    window->setCentralWidget(central);
    window->resize(820, 540);

    connect(mNotationsGroups, &QTreeWidget::itemSelectionChanged, this,
            &QntStartUpController::outlineViewAction);
    connect(m_notationsItemsView, &QListWidget::itemSelectionChanged, this,
            &QntStartUpController::updateButtons);
    // Double-click, Return and Enter act as OK.
    connect(m_notationsItemsView, &QListWidget::itemActivated, this, [this] { okAction(); });
    connect(openButton, &QPushButton::clicked, this, &QntStartUpController::openExistingFileAction);
    connect(importButton, &QPushButton::clicked, this, &QntStartUpController::importStencil);
    connect(cancelButton, &QPushButton::clicked, this, &QntStartUpController::cancelAction);
    connect(m_okButton, &QPushButton::clicked, this, &QntStartUpController::okAction);
    connect(_openRecentPopupButton, &QComboBox::activated, this,
            &QntStartUpController::openRecentAction);
    m_notationsItemsView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_notationsItemsView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) {
                QMenu menu(m_notationsItemsView);
                QAction *remove = menu.addAction(
                    tr("Delete"), this, &QntStartUpController::deleteSelectedCollectionItem);
                remove->setObjectName(QStringLiteral("deleteSelectedItemMenuItem"));
                // Only the user's own imported notations can be deleted.
                remove->setVisible(canDeleteSelectedCollectionItem());
                if (!remove->isVisible())
                    return;
                menu.exec(m_notationsItemsView->viewport()->mapToGlobal(at));
            });

    // Centred in the first screen's work area (its origin included, for multi-screen set-ups).
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        window->move(visible.x() + (visible.width() - window->width()) / 2,
                     visible.y() + (visible.height() - window->height()) / 2);
    }
    window->installEventFilter(this);
    m_window = window;
}

bool QntStartUpController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close)
        QTimer::singleShot(0, this, &QntStartUpController::windowWasPutAway);
    // Put away (a document opened, or the user closed it), not minimised: the picture the
    // window was drawn into is given back once it is off the screen.
    if (watched == m_window && event->type() == QEvent::Hide && !event->spontaneous())
        QTimer::singleShot(0, this, &QntStartUpController::releaseHiddenWindowPicture);
    return QObject::eventFilter(watched, event);
}

void QntStartUpController::releaseHiddenWindowPicture()
{
    if (!m_window || m_window->isVisible())
        return;
    // A picture of another size than the window's makes the window be drawn whole again the
    // next time it is shown.
    if (QBackingStore *store = m_window->backingStore())
        store->resize(QSize(1, 1));
}

void QntStartUpController::windowWasPutAway()
{
    // Put away by the user with no document open, the last window a user could reach is
    // gone: the application quits, as closing its last window does on this desktop.
    VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
    if (!delegate || !delegate->applicationHasStarted() || (m_window && m_window->isVisible())
        || !DocumentController::sharedDocumentController().documents().isEmpty())
        return;
    delegate->terminate();
}

void QntStartUpController::beginStartUpDialog(VRDrawing *drawing)
{
    mDrawing = drawing;
    populateControls();
}

void QntStartUpController::addGroupItems(QTreeWidgetItem *parent, FileSystemItem *node)
{
    const int count = node->numberOfChildren();
    for (int i = 0; i < count; ++i) {
        FileSystemItem *child = node->childAtIndex(i);
        if (!child)
            continue;
        auto *item = parent ? new QTreeWidgetItem(parent, {child->lastPathComponent()})
                            : new QTreeWidgetItem(mNotationsGroups, {child->lastPathComponent()});
        item->setData(0, kPathRole, child->fullPath());
        if (m_folderIcon.isNull())
            m_folderIcon = m_window->style()->standardIcon(QStyle::SP_DirIcon);
        item->setIcon(0, m_folderIcon);
        addGroupItems(item, child);
    }
}

QStringList QntStartUpController::groupTitles() const
{
    QStringList titles;
    for (QTreeWidgetItemIterator it(mNotationsGroups); *it; ++it)
        titles << (*it)->text(0);
    return titles;
}

void QntStartUpController::populateControls()
{
    reloadNotations();
    populateRecentMenu(); // The application's menus that need no drawing (preferences, its editors
                          // and libraries,
    // help), as a drawing window has them.
    auto *mainWindow = qobject_cast<QMainWindow *>(m_window.data());
    VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
    if (delegate && mainWindow) {
        delegate->installApplicationMenus(mainWindow->menuBar(),
                                          VOReruRerAppDelegate::ApplicationMenus::WithoutDrawing);
    }
    ++m_showings;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_notationsItemsView->setFocus();
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification, this);
}

void QntStartUpController::reloadNotations()
{
    {
        // Read the folders afresh: notations may have been imported or installed meanwhile.
        const QSignalBlocker blocker(mNotationsGroups);
        mNotationsGroups->clear();
        FileSystemItem::rootItem()->clean();
        addGroupItems(nullptr, FileSystemItem::rootItem());
        mNotationsGroups->expandAll();
    }
    if (!selectGroupNamed(QStringLiteral("Misc"))) {
        if (QTreeWidgetItem *first = mNotationsGroups->topLevelItem(0))
            first->setSelected(true);
    }
    outlineViewAction();
}

bool QntStartUpController::selectGroupNamed(const QString &name)
{
    QTreeWidgetItem *match = nullptr;
    for (QTreeWidgetItemIterator it(mNotationsGroups); *it; ++it) {
        if ((*it)->text(0) == name)
            match = *it;
    }
    if (!match)
        return false;
    const QSignalBlocker blocker(mNotationsGroups);
    mNotationsGroups->clearSelection();
    match->setSelected(true);
    mNotationsGroups->setCurrentItem(match);
    return true;
}

bool QntStartUpController::selectNotationNamed(const QString &name)
{
    for (int i = 0; i < m_notationsItems.size(); ++i) {
        if (m_notationsItems.at(i)->notationName() == name
            || QFileInfo(m_notationsItems.at(i)->absolutePath()).completeBaseName() == name) {
            m_notationsItemsView->clearSelection();
            m_notationsItemsView->item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}

void QntStartUpController::populateRecentMenu()
{
    _openRecentPopupButton->clear();
    _openRecentPopupButton->addItem(tr("Open Recent"));
    for (const QString &path : DocumentController::sharedDocumentController().recentDocumentURLs())
        _openRecentPopupButton->addItem(QFileInfo(path).fileName(), path);
    _openRecentPopupButton->setEnabled(_openRecentPopupButton->count() > 1);
}

void QntStartUpController::outlineViewAction()
{
    const QList<QTreeWidgetItem *> selected = OutlineViewAdditions::selectedItems(mNotationsGroups);
    if (selected.size() != 1) {
        updateButtons();
        return;
    }
    const QString folder = selected.first()->data(0, kPathRole).toString();
    m_notationsItems.clear();
    m_notationsItemsView->clear();
    // At launch the window lists its notations before they are read through for damage: a
    // damaged one is set aside just after the first paint, and the list is then read again.
    VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
    std::optional<QntNotation::ReadThroughDeferred> deferred;
    if (delegate && delegate->applicationHasStarted() && !delegate->launchIsComplete())
        deferred.emplace();
    for (const auto &notation : QntNotation::notationsFromPath(folder)) {
        if (!notation || !notation->isValid())
            continue;
        m_notationsItems.append(notation);
        auto *item = new QListWidgetItem(notationIcon(*notation, m_window->style()),
                                         notation->notationName(), m_notationsItemsView);
        item->setData(kPathRole, notation->absolutePath());
        item->setToolTip(notation->notationPath());
    }
    // The last chosen index applies to every group, as far as the group reaches.
    if (UserDefaults::standardUserDefaults().objectForKey(kLastNotationItemKey).isValid()) {
        const qint64 index =
            UserDefaults::standardUserDefaults().integerForKey(kLastNotationItemKey);
        if (index >= 0 && index < m_notationsItemsView->count())
            m_notationsItemsView->item(int(index))->setSelected(true);
    }
    updateButtons();
}

void QntStartUpController::okAction()
{
    const QList<QListWidgetItem *> selected = m_notationsItemsView->selectedItems();
    DocumentController &controller = DocumentController::sharedDocumentController();
    if (selected.size() != 1 || controller.defaultType().isEmpty())
        return;
    const int index = m_notationsItemsView->row(selected.last());
    if (index < 0 || index >= m_notationsItems.size())
        return;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QList<QTreeWidgetItem *> groups = OutlineViewAdditions::selectedItems(mNotationsGroups);
    if (!groups.isEmpty())
        defaults.setObject(QString::number(mNotationsGroups->indexOfTopLevelItem(groups.first())),
                           kLastNotationCategoryKey);
    defaults.setObject(QString::number(index), kLastNotationItemKey);
    setSelectedNotation(m_notationsItems.at(index));
    QString error;
    Document *document = controller.makeUntitledDocumentOfType(controller.defaultType(), &error);
    setSelectedNotation(nullptr);
    if (!document) {
        controller.presentError(error, m_window);
        return;
    }
    document->makeWindowControllers();
    controller.addDocument(document);
    document->showWindows();
    m_window->hide();
}

void QntStartUpController::cancelAction()
{
    m_window->hide();
    windowWasPutAway();
}

void QntStartUpController::openExistingFileAction()
{
    _isOpeningExistingFile = true;
    DocumentController &controller = DocumentController::sharedDocumentController();
    const QList<Document *> before = controller.documents();
    Document *last = before.isEmpty() ? nullptr : before.last();
    controller.openDocument(m_window);
    const QList<Document *> after = controller.documents();
    // A file that was open already brings no new window, and no animation.
    if (!after.isEmpty() && after.last() != last)
        startNewDocumentWindowAnimation(after.last());
    _isOpeningExistingFile = false;
}

void QntStartUpController::startNewDocumentWindowAnimation(Document *document)
{
    QWidget *target = document ? document->windowForSheet() : nullptr;
    if (!target)
        return;
    // From the chosen notation's cell, in screen coordinates, to the document window's frame.
    QRect from;
    if (QListWidgetItem *item = m_notationsItemsView->currentItem()) {
        const QRect cell = m_notationsItemsView->visualItemRect(item);
        from = QRect(m_notationsItemsView->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    m_showingsWhenGrown = m_showings;
    QntWindowAnimation::animateFromFrame(target, from, target->geometry());
    // The start-up window fades away meanwhile, unless it was asked for again (File ▸ New at
    // once).
    QPointer<QWidget> window = m_window;
    QTimer::singleShot(500, this, [this, window, showings = m_showings] {
        if (window && showings == m_showings)
            window->hide();
    });
}

void QntStartUpController::newDocumentWindowAnimationFinished(const Notification &)
{
    // Shown again since the growing began: the user wants it.
    const bool askedForAgain = m_showingsWhenGrown >= 0 && m_showings != m_showingsWhenGrown;
    m_showingsWhenGrown = -1;
    if (askedForAgain)
        return;
    if (m_window)
        m_window->hide();
    auto *document = qobject_cast<DIDizeZoziDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
    if (!document)
        return;
    document->loadNotationElements();
    if (QWidget *view = document->mainViewWidget())
        view->setFocus(Qt::OtherFocusReason);
    // The preference "Layers palette with a new document": the palette comes up beside the
    // window that has just appeared (one already up stays up).
    if (UserDefaults::standardUserDefaults().boolForKey(QntShowLayersPaletteKey)) {
        VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
        VKLayersPaletteController *palette = delegate ? delegate->layersPalette() : nullptr;
        if (delegate && !(palette && palette->window() && palette->window()->isVisible()))
            delegate->showLayersPalette();
    }
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
    m_okButton->setEnabled(canMake && m_notationsItemsView->selectedItems().size() == 1);
}

QString QntStartUpController::progressLabelText() const
{
    return _progressPanelLabel ? _progressPanelLabel->text() : QString();
}

void QntStartUpController::importStencil()
{
    if (m_importing)
        return;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QString folder = defaults.stringForKey(kLastFolderForInsertingImage);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QString path;
    if (g_openPanel) {
        path = g_openPanel(m_window, folder);
    } else {
        path = QFileDialog::getOpenFileName(m_window, tr("Import Stencil"), folder,
                                            tr("Stencils (*.gstencil *.graffle *.plist)"));
    }
    if (path.isEmpty())
        return;
    importStencilFromPath(path);
}

void QntStartUpController::importStencilFromPath(const QString &path)
{
    if (m_importing)
        return;
    qCInfo(lcStartUpWindow) << "Importing from the file" << path;
    UserDefaults::standardUserDefaults().setObject(QFileInfo(path).absolutePath(),
                                                   kLastFolderForInsertingImage);
    m_importing = true;

    // The progress sheet keeps the user from starting a second import meanwhile.
    auto *sheet = new QDialog(m_window, Qt::Sheet);
    sheet->setObjectName(QStringLiteral("importProgressPanel"));
    sheet->setWindowTitle(tr("Importing"));
    sheet->setModal(true);
    auto *layout = new QVBoxLayout(sheet);
    _progressPanelLabel = new QLabel(tr("Importing..."), sheet);
    _progressPanelIndicator = new QProgressBar(sheet);
    _progressPanelIndicator->setRange(0, 0);
    layout->addWidget(_progressPanelLabel);
    layout->addWidget(_progressPanelIndicator);
    sheet->resize(320, 90);
    sheet->show();
    _progressPanel = sheet;

    QPointer<QntStartUpController> self(this);
    QThread *worker = QThread::create([self, path] {
        auto result = std::make_shared<ImportResult>();
        result->lastImportedFilename = QFileInfo(path).completeBaseName();
        QntImportFromGraffle::setImportedFilepath(path);
        QntImportFromGraffle importer;
        const VRResult<QVariantMap> reply = importer.readStencil();
        if (!reply)
            result->error = reply.errorMessage();
        if (reply) {
            result->lastImportedFilename =
                reply->value(QStringLiteral("LastImportedFilename"), result->lastImportedFilename)
                    .toString();
            const QVariant sheets = reply->value(QStringLiteral("Sheets"));
            if (sheets.isValid()) {
                for (const QVariant &sheetValue : sheets.toList()) {
                    QVariantMap sheetMap = sheetValue.toMap();
                    if (reply->contains(QStringLiteral("ImageList")))
                        sheetMap.insert(QStringLiteral("ImageList"),
                                        reply->value(QStringLiteral("ImageList")));
                    result->shapes += importer.all(sheetMap);
                }
            } else {
                result->shapes += importer.all(*reply);
            }
            const VRObjectList elements = importer.all2Elements(result->shapes);
            const QByteArray icon = importer.imageData(result->shapes);
            if (!result->shapes.isEmpty()) {
                const auto written =
                    QntNotation::importIntoDB(result->lastImportedFilename + QStringLiteral(".db"),
                                              elements, icon, QString());
                result->ok = written.ok();
                if (written.ok())
                    result->lastImportedFilename = QFileInfo(written.value()).completeBaseName();
                else
                    result->error = written.errorMessage();
            }
            result->ok = result->ok || result->shapes.isEmpty();
        }
        // Widgets are touched on the GUI thread only.
        QMetaObject::invokeMethod(
            qApp,
            [self, result] {
                if (!self)
                    return;
                if (!result->ok) {
                    self->m_importError = result->error;
                    self->showMessageAndFinish(tr("Could not import this file."));
                    return;
                }
                self->_lastImportedFilename = result->lastImportedFilename;
                setImportedShapes(result->shapes);
                self->finishImport();
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void QntStartUpController::showMessageAndFinish(const QString &message)
{
    if (_progressPanelLabel) {
        _progressPanelLabel->setText(message);
        _progressPanelLabel->repaint();
    }
    QPointer<QntStartUpController> self(this);
    QTimer::singleShot(int(g_failureMessageDelay * 1000), this, [self] {
        if (self)
            self->finishImport();
    });
}

void QntStartUpController::endProgressSheet()
{
    if (_progressPanel) {
        _progressPanel->hide();
        _progressPanel->deleteLater();
    }
    _progressPanel = nullptr;
    m_importing = false;
}

QMessageBox *QntStartUpController::importErrorAlert() const
{
    return m_importErrorAlert;
}

void QntStartUpController::finishImport()
{
    endProgressSheet();
    // A refused file: the user reads what was wrong with it and which files can be imported.
    if (!m_importError.isEmpty()) {
        delete m_importErrorAlert.data();
        auto *alert = new QMessageBox(QMessageBox::Warning, tr("Import failed"),
                                      tr("Could not import this file."), QMessageBox::Ok, m_window);
        alert->setObjectName(QStringLiteral("importErrorAlert"));
        alert->setInformativeText(m_importError);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        m_importErrorAlert = alert;
        m_importError.clear();
        alert->open();
    }
    populateControls();
    selectGroupNamed(QStringLiteral("Imported"));
    outlineViewAction();
    const auto shapes = importedShapes();
    if (!shapes || shapes->isEmpty()) {
        cleanImportedShapes();
        return;
    }
    if (!selectNotationNamed(_lastImportedFilename))
        return;
    okAction();
}

bool QntStartUpController::canDeleteSelectedCollectionItem() const
{
    const QList<QListWidgetItem *> selected = m_notationsItemsView->selectedItems();
    if (selected.size() != 1)
        return false;
    const int index = m_notationsItemsView->row(selected.first());
    if (index < 0 || index >= m_notationsItems.size())
        return false;
    // The canonical folder, so a link or ".." cannot reach a shipped library.
    const QString folder = QFileInfo(importedFolder()).canonicalFilePath();
    const QString file = QFileInfo(m_notationsItems.at(index)->absolutePath()).canonicalFilePath();
    return !folder.isEmpty() && file.startsWith(folder + QLatin1Char('/'));
}

void QntStartUpController::deleteSelectedCollectionItem()
{
    if (!canDeleteSelectedCollectionItem())
        return;
    const int index = m_notationsItemsView->row(m_notationsItemsView->selectedItems().first());
    const std::shared_ptr<QntNotation> notation = m_notationsItems.at(index);
    const QString question =
        tr("Delete the imported notation “%1”? Its file is moved to the trash.")
            .arg(notation->notationName());
    const bool confirmed =
        g_confirmation
            ? g_confirmation(m_window, question)
            : QMessageBox::question(m_window, tr("Delete Notation"), question) == QMessageBox::Yes;
    if (!confirmed)
        return;
    const QString path = notation->absolutePath();
    if (!QFile::moveToTrash(path) && !QFile::remove(path)) {
        QMessageBox::warning(m_window, tr("Delete Notation"),
                             tr("The notation “%1” could not be deleted.").arg(path));
        return;
    }
    populateControls();
    selectGroupNamed(QStringLiteral("Imported"));
    outlineViewAction();
}
