// QntImagesBankController: the window, its browser's data source, search, renaming and drops.
#include "library/QntImagesBankController.h"

#include "library/ImageBrowserCell.h"
#include "library/ImagesBankItem.h"
#include "library/QntImageCellTitleEditor.h"

#include "app/common/QntConstants.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "platform/DocumentController.h"
#include "platform/UserDefaults.h"
#include "platform/WindowFrameAutosave.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcImageBank)

namespace {

const QString kFrameAutosaveName = QStringLiteral("ImageManager");

} // namespace

QntImagesBankController::QntImagesBankController(const QString &windowNibName, QObject *parent)
    : QObject(parent)
    , m_windowNibName(windowNibName)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(kQntElementWillBeAddedToImageBankNotification, nullptr,
                                             [](const Notification &) {}));
    for (const QString &name :
         {kQntElementAddedToImageBankNotification, kQntImageBankReloadNeededNotification})
        m_observers.push_back(center.addObserver(name, nullptr, [this](const Notification &n) {
            elementAddedToImageBankNotification(n);
        }));
}

QntImagesBankController::~QntImagesBankController()
{
    m_observers.clear();
    delete m_window.data();
    forgetLoadedRows();
}

QString QntImagesBankController::windowNibName() const
{
    return m_windowNibName;
}

QWidget *QntImagesBankController::window()
{
    loadWindow();
    return m_window;
}

bool QntImagesBankController::isWindowVisible() const
{
    return m_window && m_window->isVisible();
}

void QntImagesBankController::showWindow()
{
    loadWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QntImagesBankController::loadWindow()
{
    if (m_window)
        return;
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("imageBankWindow"));
    window->setWindowTitle(tr("Image Bank"));
    window->resize(720, 520);
    // Where the user left it, unless that is off every screen: then where the window manager
    // puts a new window.
    WindowFrameAutosave::attach(window, kFrameAutosaveName)->restore();
    m_window = window;

    auto *layout = new QVBoxLayout(window);
    auto *top = new QHBoxLayout;
    _searchField = new QLineEdit(window);
    _searchField->setObjectName(QStringLiteral("searchField"));
    _searchField->setPlaceholderText(tr("Search"));
    _searchField->setClearButtonEnabled(true);
    connect(_searchField, &QLineEdit::textChanged, this, [this] { searchFieldChanged(); });
    top->addWidget(_searchField, 1);
    m_showAllImportedCheckbox = new QCheckBox(tr("Imported shapes"), window);
    m_showAllImportedCheckbox->setObjectName(QStringLiteral("showAllImportedCheckbox"));
    m_showAllImportedCheckbox->setChecked(false);
    connect(m_showAllImportedCheckbox, &QCheckBox::clicked, this,
            [this] { showAllImportedCheckboxAction(); });
    top->addWidget(m_showAllImportedCheckbox);
    m_showCustomCheckbox = new QCheckBox(tr("My pictures"), window);
    m_showCustomCheckbox->setObjectName(QStringLiteral("showCustomCheckbox"));
    m_showCustomCheckbox->setChecked(true);
    connect(m_showCustomCheckbox, &QCheckBox::clicked, this,
            [this] { showCustomCheckboxAction(); });
    top->addWidget(m_showCustomCheckbox);
    layout->addLayout(top);

    m_imageBrowser = new ImageBrowserView(window);
    m_imageBrowser->setDataSource(this);
    m_imageBrowser->setParentController(this);
    layout->addWidget(m_imageBrowser, 1);

    auto *bottom = new QHBoxLayout;
    m_addButton = new QPushButton(QStringLiteral("+"), window);
    m_addButton->setObjectName(QStringLiteral("addImageButton"));
    m_addButton->setToolTip(tr("Add pictures to the image bank"));
    m_addButton->setFixedWidth(36);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addImageButtonClicked(); });
    bottom->addWidget(m_addButton);
    m_removeButton = new QPushButton(QStringLiteral("−"), window);
    m_removeButton->setObjectName(QStringLiteral("removeImageButton"));
    m_removeButton->setToolTip(tr("Remove the selected pictures"));
    m_removeButton->setFixedWidth(36);
    connect(m_removeButton, &QPushButton::clicked, this, [this] { removeImageButtonClicked(); });
    bottom->addWidget(m_removeButton);
    m_countLabel = new QLabel(window);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    bottom->addWidget(m_countLabel, 1);
    m_zoomSlider = new QSlider(Qt::Horizontal, window);
    m_zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    m_zoomSlider->setRange(0, 100);
    m_zoomSlider->setValue(int(m_imageBrowser->zoomValue() * 100));
    m_zoomSlider->setFixedWidth(160);
    connect(m_zoomSlider, &QSlider::valueChanged, this,
            [this](int value) { zoomSliderDidChange(value); });
    bottom->addWidget(m_zoomSlider);
    layout->addLayout(bottom);

    _titleEditController = new QntImageCellTitleEditor(window);
    connect(_titleEditController, &QntImageCellTitleEditor::sheetDidEnd, this,
            [this](int code) { sheetDidEnd(code); });
}

// ---- setting up --------------------------------------------------------------------------------

void QntImagesBankController::setupBrowsing()
{
    if (m_loading) {
        // A change arrived while loading: load again once this load is over.
        m_reloadPending = true;
        return;
    }
    loadWindow();
    if (!initImageBank()) {
        if (isWindowVisible())
            showMessage(tr("The image bank cannot be opened."), m_imageBankProblem);
        return;
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (defaults.objectForKey(kQntImageBankShowAllImportedImages).isValid())
        m_showAllImportedCheckbox->setChecked(
            defaults.boolForKey(kQntImageBankShowAllImportedImages));
    if (defaults.objectForKey(kQntImageBankShowCustomImages).isValid())
        m_showCustomCheckbox->setChecked(defaults.boolForKey(kQntImageBankShowCustomImages));

    // The hidden entries of an earlier search belong to the list being replaced.
    m_images.emplace();
    m_filteredOutImages.clear();
    m_filteredOutIndexes.clear();
    m_loadedKeys.clear();
    m_loading = true;
    if (isWindowVisible()) {
        auto *progress = new QProgressDialog(tr("Loading pictures…"), QString(), 0, 0, m_window);
        progress->setObjectName(QStringLiteral("progressPanel"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setCancelButton(nullptr);
        progress->setAttribute(Qt::WA_DeleteOnClose);
        _progressPanel = progress;
        progress->show();
        progress->repaint();
    }
    if (m_showAllImportedCheckbox->isChecked())
        addImportedFromDirectory(importedFolderPath());
    if (m_showCustomCheckbox->isChecked())
        addImportedFromDirectory(imageBankFolderPath());
    m_imageBrowser->setAllowsReordering(true);
    m_imageBrowser->setAnimates(true);
    m_loading = false;
    forgetUnloadedRows();
    finishLoading();
    if (m_reloadPending) {
        m_reloadPending = false;
        QTimer::singleShot(0, this, [this] {
            if (!isWindowVisible()) {
                m_images.reset();
                return;
            }
            setupBrowsing();
        });
    }
}

void QntImagesBankController::updateCount()
{
    if (m_countLabel)
        m_countLabel->setText(tr("%n picture(s)", nullptr, numberOfItemsInImageBrowser()));
}

void QntImagesBankController::finishLoading()
{
    if (_searchField && !_searchField->text().isEmpty())
        searchFieldChanged();
    if (!m_loading && _progressPanel)
        _progressPanel->close();
    if (m_imageBrowser)
        m_imageBrowser->reloadData();
    updateCount();
}

void QntImagesBankController::elementAddedToImageBankNotification(const Notification &)
{
    // Our own additions update the list themselves.
    if (m_storing)
        return;
    // A hidden window is loaded again when it is next shown.
    if (!isWindowVisible()) {
        m_images.reset();
        m_filteredOutImages.clear();
        m_filteredOutIndexes.clear();
        return;
    }
    m_images.reset();
    setupBrowsing();
    if (m_imageBrowser)
        m_imageBrowser->reloadData();
}

void QntImagesBankController::showAllImportedCheckboxAction()
{
    UserDefaults::standardUserDefaults().setBool(m_showAllImportedCheckbox->isChecked(),
                                                 kQntImageBankShowAllImportedImages);
    m_images.reset();
    setupBrowsing();
    m_imageBrowser->reloadData();
}

void QntImagesBankController::showCustomCheckboxAction()
{
    UserDefaults::standardUserDefaults().setBool(m_showCustomCheckbox->isChecked(),
                                                 kQntImageBankShowCustomImages);
    m_images.reset();
    setupBrowsing();
    m_imageBrowser->reloadData();
}

void QntImagesBankController::zoomSliderDidChange(int value)
{
    if (m_imageBrowser)
        m_imageBrowser->setZoomValue(float(value) / 100.0f);
}

// ---- search ------------------------------------------------------------------------------------

bool QntImagesBankController::keywordMatchSearch(const QString &keyword, const QString &search)
{
    if (keyword.isNull())
        return false;
    return keyword.contains(search, Qt::CaseInsensitive);
}

void QntImagesBankController::searchFieldChanged()
{
    if (!m_images)
        m_images.emplace();
    if (!m_filteredOutImages.isEmpty()) {
        const qsizetype total = m_images->size() + m_filteredOutImages.size();
        if (m_filteredOutIndexes.last() >= total) {
            for (qsizetype i = 0; i < m_filteredOutImages.size(); ++i)
                m_images->insert(i, m_filteredOutImages.at(i));
        } else {
            for (qsizetype i = 0; i < m_filteredOutImages.size(); ++i)
                m_images->insert(std::min<qsizetype>(m_filteredOutIndexes.at(i), m_images->size()),
                                 m_filteredOutImages.at(i));
        }
    }
    m_filteredOutImages.clear();
    m_filteredOutIndexes.clear();
    m_searchMade = true;

    const QString text = _searchField ? _searchField->text() : QString();
    if (!text.isEmpty()) {
        const bool imported = m_showAllImportedCheckbox && m_showAllImportedCheckbox->isChecked();
        const bool custom = m_showCustomCheckbox && m_showCustomCheckbox->isChecked();
        QList<ItemRef> kept;
        kept.reserve(m_images->size());
        for (qsizetype i = 0; i < m_images->size(); ++i) {
            const ItemRef &item = m_images->at(i);
            const bool hide = !keywordMatchSearch(item->imageTitle(), text)
                              || (item->sourceName() == QLatin1String("Imported") && !imported)
                              || (item->sourceName() == QLatin1String("ImageBank") && !custom);
            if (hide) {
                m_filteredOutImages.push_back(item);
                m_filteredOutIndexes.push_back(int(i));
            } else {
                kept.push_back(item);
            }
        }
        *m_images = kept;
    }
    if (m_imageBrowser)
        m_imageBrowser->reloadData();
    updateCount();
}

// ---- data source -----------------------------------------------------------------------------

int QntImagesBankController::numberOfItemsInImageBrowser() const
{
    return m_images ? int(m_images->size()) : 0;
}

QntImagesBankController::ItemRef QntImagesBankController::imageBrowserItemAtIndex(int index) const
{
    if (!m_images || index < 0 || index >= m_images->size())
        return nullptr;
    return m_images->at(index);
}

bool QntImagesBankController::imageBrowserMoveItemsAtIndexes(const QList<int> &indexes, int toIndex)
{
    if (!m_images || indexes.isEmpty())
        return false;
    QList<int> rows = indexes;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<ItemRef> moved;
    int below = 0;
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= m_images->size())
            return false;
        moved.push_back(m_images->at(row));
        if (row < toIndex)
            ++below;
    }
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        m_images->removeAt(*it);
    const int at = std::clamp(toIndex - below, 0, int(m_images->size()));
    for (qsizetype i = 0; i < moved.size(); ++i)
        m_images->insert(at + i, moved.at(i));
    storeOrder();
    if (m_imageBrowser) {
        m_imageBrowser->reloadData();
        QList<int> selection;
        for (qsizetype i = 0; i < moved.size(); ++i)
            selection.push_back(at + int(i));
        m_imageBrowser->setSelectionIndexes(selection);
    }
    return true;
}

void QntImagesBankController::storeOrder()
{
    // The bank keeps the order its pictures are shown in, and so does the Custom group; during
    // a search only part of the pictures is shown, so nothing is stored then.
    if (!m_images || !m_filteredOutImages.isEmpty())
        return;
    QStringList order;
    for (const ItemRef &item : std::as_const(*m_images))
        if (item->sourceName() == QLatin1String("ImageBank"))
            order.push_back(item->id());
    const QntNotationRef bank = QntNotation::notationWithPath(imageBankFilePath());
    if (!bank || !bank->isValid())
        return;
    if (const VRResult<void> stored = bank->reorderImportedElements(order); !stored) {
        qCWarning(lcImageBank).noquote() << stored.errorMessage();
        return;
    }
    postCustomSubgroupReload();
}

int QntImagesBankController::imageBrowserWriteItemsAtIndexes(const QList<int> &indexes,
                                                             QMimeData *data)
{
    if (!m_images || !data)
        return 0;
    QList<int> rows = indexes;
    std::sort(rows.begin(), rows.end());
    QJsonArray identifiers;
    VRObjectList elements;
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= m_images->size())
            continue;
        const ItemRef &item = m_images->at(row);
        if (!item->element())
            continue;
        identifiers.append(item->id());
        elements.push_back(item->element()->copy());
    }
    if (elements.isEmpty())
        return 0;
    data->setData(kQntImageBankDragPasteboardType,
                  QJsonDocument(identifiers).toJson(QJsonDocument::Compact));
    data->setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(elements));
    return int(elements.size());
}

Qt::DropAction QntImagesBankController::draggingEntered(const QMimeData *data, bool fromBrowser)
{
    if (fromBrowser)
        return Qt::MoveAction;
    if (!data)
        return Qt::IgnoreAction;
    // Picture files are taken; bare picture data has no name to keep and is refused.
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return Qt::CopyAction;
    return Qt::IgnoreAction;
}

bool QntImagesBankController::performDragOperation(const QMimeData *data, int dropIndex,
                                                   bool fromBrowser)
{
    if (fromBrowser || !data)
        return false;
    QStringList paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile());
    if (!paths.isEmpty()) {
        addImagesFromPaths(paths, dropIndex);
        return true;
    }
    return false;
}

void QntImagesBankController::imageBrowserSelectionDidChange()
{
    if (m_removeButton && m_imageBrowser)
        m_removeButton->setEnabled(!m_imageBrowser->selectionIndexes().isEmpty());
    auto *document = qobject_cast<VRDrawingDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
    VRDrawing *drawing = document ? document->drawing() : nullptr;
    if (!drawing || drawing->activeLayerOfClass<VRObjectDrawingLayer>())
        return;
    // A picture dragged out later needs an object layer to land in.
    if (VRLayer *layer =
            drawing->firstActivateableLayerOfClass(VRObjectDrawingLayer::staticClass()))
        drawing->setActiveLayer(layer);
}

// ---- adding and removing -----------------------------------------------------------------------

void QntImagesBankController::addImageButtonClicked()
{
    loadWindow();
    delete m_openPanel.data();
    auto *panel = new QFileDialog(m_window, tr("Add Pictures"));
    panel->setObjectName(QStringLiteral("addPicturesPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setNameFilter(tr("Pictures (*.pdf *.tiff *.tif *.jpg *.jpeg *.png *.gif *.ico *.bmp)"));
    panel->setLabelText(QFileDialog::Accept, tr("Add"));
    panel->setWindowModality(Qt::ApplicationModal);
    connect(panel, &QFileDialog::filesSelected, this,
            [this](const QStringList &paths) { addImagesFromPaths(paths); });
    connect(panel, &QFileDialog::rejected, this,
            [] { qCInfo(lcImageBank) << "No path selected, return..."; });
    m_openPanel = panel;
    panel->open();
}

void QntImagesBankController::removeImageButtonClicked()
{
    if (!m_imageBrowser || !m_images)
        return;
    const QList<int> rows = m_imageBrowser->selectionIndexes();
    if (rows.isEmpty())
        return;
    QList<std::weak_ptr<ImagesBankItem>> chosen;
    for (int row : rows)
        if (row < m_images->size())
            chosen.push_back(m_images->at(row));
    delete m_alert.data();
    auto *question = new QMessageBox(
        QMessageBox::Question, tr("Remove Pictures"),
        chosen.size() == 1 ? tr("Remove “%1” from the image bank?")
                                 .arg(m_images->at(rows.first())->imageTitle().isEmpty()
                                          ? m_images->at(rows.first())->id()
                                          : m_images->at(rows.first())->imageTitle())
                           : tr("Remove %1 pictures from the image bank?").arg(chosen.size()),
        QMessageBox::NoButton, m_window);
    question->setObjectName(QStringLiteral("removeQuestion"));
    question->setInformativeText(
        chosen.size() == 1
            ? tr("It leaves the Custom group of the shape library too. This cannot be undone.")
            : tr("They leave the Custom group of the shape library too. This cannot be undone."));
    QPushButton *remove = question->addButton(tr("Remove"), QMessageBox::DestructiveRole);
    question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(remove);
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    connect(question, &QMessageBox::buttonClicked, this, [this, remove, chosen](auto *button) {
        if (button != remove || !m_images)
            return;
        // The list may have changed while the question was open: the entries are found again.
        QList<int> now;
        for (const auto &weak : chosen)
            if (const ItemRef item = weak.lock())
                if (const qsizetype at = m_images->indexOf(item); at >= 0)
                    now.push_back(int(at));
        imageBrowserRemoveItemsAtIndexes(now);
    });
    m_alert = question;
    question->open();
}

bool QntImagesBankController::imageBrowserRemoveItemsAtIndexes(const QList<int> &indexes)
{
    if (!m_images)
        return false;
    QList<ItemRef> removed;
    QStringList failures;
    for (int row : indexes) {
        if (row < 0 || row >= m_images->size())
            continue;
        const ItemRef item = m_images->at(row);
        if (removeElementFromImageBankDB(*item))
            removed.push_back(item);
        else
            failures.push_back(item->imageTitle().isEmpty() ? item->id() : item->imageTitle());
    }
    if (!removed.isEmpty()) {
        // Positions saved by a search refer to the list before the removal: put the hidden
        // entries back, take the removed ones out, then search again.
        const bool searching = !m_filteredOutImages.isEmpty();
        if (searching) {
            const QString text = _searchField ? _searchField->text() : QString();
            if (_searchField)
                _searchField->blockSignals(true);
            if (_searchField)
                _searchField->clear();
            searchFieldChanged();
            if (_searchField) {
                _searchField->setText(text);
                _searchField->blockSignals(false);
            }
        }
        for (const ItemRef &item : std::as_const(removed))
            m_images->removeAll(item);
        if (searching)
            searchFieldChanged();
        postCustomSubgroupReload();
    }
    if (m_imageBrowser)
        m_imageBrowser->reloadData();
    updateCount();
    if (!failures.isEmpty())
        showMessage(tr("Some pictures could not be removed."), failures.join(QLatin1Char('\n')));
    return failures.isEmpty();
}

// ---- renaming ----------------------------------------------------------------------------------

void QntImagesBankController::openImageTitleEditorForCellAtIndex(int index)
{
    const ItemRef item = imageBrowserItemAtIndex(index);
    if (!item || !m_window)
        return;
    m_editedId = item->id();
    m_editedDatabase = item->sourceDatabase();
    const QString title = item->imageTitle();
    _titleEditController->titleTextField()->setText(title.isNull() ? QString() : title);
    _titleEditController->openImageCellEditorInParentWindow(m_window, this);
}

int QntImagesBankController::indexOfItem(const QString &identifier,
                                         const QString &sourceDatabase) const
{
    if (!m_images)
        return -1;
    for (qsizetype i = 0; i < m_images->size(); ++i)
        if (m_images->at(i)->id() == identifier
            && m_images->at(i)->sourceDatabase() == sourceDatabase)
            return int(i);
    return -1;
}

void QntImagesBankController::sheetDidEnd(int returnCode)
{
    const QString identifier = m_editedId;
    const QString database = m_editedDatabase;
    m_editedId.clear();
    m_editedDatabase.clear();
    if (returnCode != 1 || identifier.isEmpty())
        return;
    ItemRef item = imageBrowserItemAtIndex(indexOfItem(identifier, database));
    if (!item) {
        for (const ItemRef &hidden : std::as_const(m_filteredOutImages))
            if (hidden->id() == identifier && hidden->sourceDatabase() == database)
                item = hidden;
    }
    // The entry went away while the editor was open.
    if (!item)
        return;
    const QString old = item->imageTitle();
    item->setImageTitle(_titleEditController->titleTextField()->text());
    if (!updateElementInImageBankDB(*item)) {
        item->setImageTitle(old);
        showMessage(tr("The picture could not be renamed."),
                    tr("Its database could not be changed."));
    }
    if (m_imageBrowser)
        m_imageBrowser->viewport()->update();
}

// ---- messages ----------------------------------------------------------------------------------

void QntImagesBankController::showRefusals(const QStringList &refusals)
{
    showMessage(refusals.size() == 1
                    ? tr("A file was not added to the image bank.")
                    : tr("%1 files were not added to the image bank.").arg(refusals.size()),
                refusals.join(QLatin1Char('\n')));
}

void QntImagesBankController::showMessage(const QString &text, const QString &informative)
{
    qCWarning(lcImageBank).noquote() << text << informative;
    delete m_alert.data();
    auto *alert = new QMessageBox(QMessageBox::Warning, tr("Image Bank"), text, QMessageBox::Ok,
                                  m_window && m_window->isVisible() ? m_window.data() : nullptr);
    alert->setObjectName(QStringLiteral("imageBankMessage"));
    alert->setInformativeText(informative);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(m_window && m_window->isVisible() ? Qt::WindowModal
                                                               : Qt::ApplicationModal);
    m_alert = alert;
    alert->open();
}
