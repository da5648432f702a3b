#include "app/panels/QntPreferenceController.h"

#include "app/common/QntConstants.h"
#include "app/panels/SRRecorderControl.h"
#include "app/panels/SUUpdater.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/view/VRDrawingTool.h"
#include "inspectors/QntColorWell.h"
#include "platform/DocumentController.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"
#include "platform/WindowFrameAutosave.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

struct Switch {
    QString key;
    const char *title;
    bool posted;
};

UserDefaults &store()
{
    return UserDefaults::standardUserDefaults();
}

} // namespace

const QStringList &QntPreferenceController::paneIdentifiers()
{
    static const QStringList ids{QStringLiteral("PreferenceGeneral"),
                                 QStringLiteral("PreferenceUnits"),
                                 QStringLiteral("PreferenceUpdate")};
    return ids;
}

const std::vector<QntPreferenceController::Shortcut> &QntPreferenceController::shortcuts()
{
    static const std::vector<Shortcut> table{
        {8, QT_TRANSLATE_NOOP("QntPreferenceController", "Connector tool"),
         QStringLiteral("kQntConnectorToolShortcutKeyCode"), kVRQntConnectorToolName},
        {17, QT_TRANSLATE_NOOP("QntPreferenceController", "Text editor"),
         QStringLiteral("kQntTextEditorShortcutKeyCode"), QString()},
        {35, QT_TRANSLATE_NOOP("QntPreferenceController", "Properties"),
         QStringLiteral("kQntPropertiesShortcutKeyCode"), QString()},
        {1, QT_TRANSLATE_NOOP("QntPreferenceController", "Sticky spot selection tool"),
         QStringLiteral("kQntSelectStickySpotToolShortcutKeyCode"), kVRQntSelectStickySpotToolName},
        {6, QT_TRANSLATE_NOOP("QntPreferenceController", "Zoom in"),
         QStringLiteral("kQntZoomInShortcutKeyCode"), kVRStandardZoomToolName},
        {7, QT_TRANSLATE_NOOP("QntPreferenceController", "Zoom out"),
         QStringLiteral("kQntZoomOutShortcutKeyCode"), kVRQntStandardZoomOutToolName},
    };
    return table;
}

int QntPreferenceController::shortcutCode(int tag)
{
    for (const Shortcut &s : shortcuts()) {
        if (s.tag == tag) {
            const QVariant stored = store().objectForKey(s.key);
            return stored.isValid() ? int(stored.toLongLong()) : tag;
        }
    }
    return tag;
}

void QntPreferenceController::applyStoredShortcuts()
{
    for (const Shortcut &s : shortcuts()) {
        if (s.toolName.isEmpty())
            continue;
        if (VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(s.toolName))
            tool->setKeyCode(shortcutCode(s.tag));
    }
}

QntPreferenceController::QntPreferenceController(VRDrawing *drawing, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , mDrawing(drawing)
{
    setObjectName(QStringLiteral("PreferencesWindow"));
    m_frameAutosave = WindowFrameAutosave::attach(this, QStringLiteral("PreferencesWindow"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("QntPrefsToolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setMovable(false);
    layout->addWidget(m_toolbar);
    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack, 1);

    m_panes = {makeGeneralPane(), makeUnitsPane(), makeUpdatePane()};
    const QStringList labels{tr("General"), tr("Units & Grid"), tr("Update")};
    const QList<QStyle::StandardPixmap> icons{
        QStyle::SP_FileDialogDetailedView, QStyle::SP_FileDialogListView, QStyle::SP_BrowserReload};
    for (int i = 0; i < 3; ++i) {
        m_stack->addWidget(m_panes[size_t(i)]);
        // The toolbar would take "&" for a mnemonic.
        QAction *item = m_toolbar->addAction(
            style()->standardIcon(icons.at(i)),
            QString(labels.at(i)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setData(labels.at(i));
        item->setObjectName(paneIdentifiers().at(i));
        item->setCheckable(true);
        m_paneActions.append(item);
        const QString id = paneIdentifiers().at(i);
        connect(item, &QAction::triggered, this, [this, id] {
            selectPaneWithIdentifier(id);
            store().setObject(id, kPreferencePane);
        });
    }

    initGeneralPane();
    initUpdatePane();
    QString pane = store().stringForKey(kPreferencePane);
    if (!paneIdentifiers().contains(pane))
        pane = paneIdentifiers().first();
    selectPaneWithIdentifier(pane);
    prepareDialogWithDrawing(drawing);

    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(QStringLiteral("kQntNewDocumentCreatedNotification"),
                                             nullptr,
                                             [this](const Notification &n) { applyDefaults(n); }));
    m_observers.push_back(center.addObserver(kQntDrawingDestroyedNotification, nullptr,
                                             [this](const Notification &n) { resetDrawing(n); }));
}

QntPreferenceController::~QntPreferenceController()
{
    m_observers.clear();
    store().synchronize();
}

void QntPreferenceController::closeEvent(QCloseEvent *event)
{
    store().synchronize();
    QWidget::closeEvent(event);
}

void QntPreferenceController::selectPaneWithIdentifier(const QString &identifier)
{
    const int index = std::max(0, int(paneIdentifiers().indexOf(identifier)));
    const bool first = m_pane.isEmpty() || !isVisible();
    m_pane = paneIdentifiers().at(index);
    const QRect old = geometry();
    m_stack->setCurrentIndex(index);
    for (int i = 0; i < m_paneActions.size(); ++i)
        m_paneActions.at(i)->setChecked(i == index);
    setWindowTitle(m_paneActions.at(index)->data().toString());
    QWidget *pane = m_panes[size_t(index)];
    const QSize wanted(pane->sizeHint().width(),
                       pane->sizeHint().height() + m_toolbar->sizeHint().height());
    if (first) {
        resize(wanted);
        return;
    }
    // Switching keeps the top edge and the horizontal centre where they are.
    QRect frame(old.topLeft(), wanted);
    frame.moveLeft(old.left() - (wanted.width() - old.width()) / 2);
    setGeometry(frame);
}

void QntPreferenceController::showWindow()
{
    VRDrawingDocument *document = currentDocument();
    prepareDialogWithDrawing(document ? document->drawing() : nullptr);
    if (!document)
        mDrawing = nullptr;
    // The pane chooses the size; the place is where the user left the window, or else the
    // middle of the screen.
    if (!isVisible() && !m_frameAutosave->restore(WindowFrameAutosave::Restore::PlaceOnly)) {
        if (QScreen *screen = this->screen()) {
            QRect frame = geometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

VRDrawingDocument *QntPreferenceController::currentDocument() const
{
    return qobject_cast<VRDrawingDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
}

void QntPreferenceController::alert(const QString &text)
{
    if (m_alert) {
        m_alert(text);
        return;
    }
    QMessageBox::warning(this, windowTitle(), text);
}

// ---- General ------------------------------------------------------------------------------------

void QntPreferenceController::addSwitch(QWidget *parent, QGridLayout *grid, int row, int column,
                                        const QString &key, const QString &title, bool posted)
{
    auto *box = new QCheckBox(title, parent);
    box->setObjectName(key);
    grid->addWidget(box, row, column);
    m_switches.emplace_back(key, box);
    connect(box, &QCheckBox::clicked, this, [key, posted](bool on) {
        store().setBool(on, key);
        if (posted)
            NotificationCenter::defaultCenter().post(key, nullptr,
                                                     {{QStringLiteral("object"), on}});
    });
}

QWidget *QntPreferenceController::makeGeneralPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("generalPane"));
    auto *layout = new QVBoxLayout(pane);

    auto *app = new QGroupBox(tr("Application"), pane);
    auto *grid = new QGridLayout(app);
    _displayDragInfoButton = new QCheckBox(tr("Show size while dragging (this session)"), app);
    _displayDragInfoButton->setObjectName(QStringLiteral("displayDragInfoButton"));
    grid->addWidget(_displayDragInfoButton, 0, 0);
    connect(_displayDragInfoButton, &QCheckBox::clicked, this,
            [](bool on) { VRDrawableObject::setDisplaysSizeInfoWhenDragging(on); });
    _showSmartGuidesButton = new QCheckBox(tr("Smart guides"), app);
    _showSmartGuidesButton->setObjectName(QStringLiteral("showSmartGuidesButton"));
    grid->addWidget(_showSmartGuidesButton, 0, 1);
    connect(_showSmartGuidesButton, &QCheckBox::clicked, this,
            [](bool on) { VRGuideLayer::setShowSmartGuides(on); });
    const std::vector<Switch> switches{
        {QntDisplayHelpMessagesKey, QT_TR_NOOP("Help messages"), false},
        {QntShowLayersPaletteKey, QT_TR_NOOP("Layers palette with a new document"), false},
        {QntShowStyleSchooserAfterStart, QT_TR_NOOP("Start-up window at launch"), false},
        {QntApplyDefaultsKey, QT_TR_NOOP("Apply saved defaults to new documents"), false},
        {kQntEnableInlineEditor, QT_TR_NOOP("Inline text editor"), false},
        {QntShowConnectorPopupMenuKey, QT_TR_NOOP("Connector menu after drawing"), false},
        {QntGlobalAutosizeElementsKey, QT_TR_NOOP("Autosize elements"), false},
        {QntShapeAutosizeKey, QT_TR_NOOP("Autosize shapes to their text"), false},
        {QntAllowAutosizeToMinSizeKey, QT_TR_NOOP("Allow autosize to minimum size"), false},
        {QntAutoEnlargeKey, QT_TR_NOOP("Enlarge the drawing automatically"), false},
        {QntFilenameForImagesKey, QT_TR_NOOP("File name as image title"), false},
        {QntUseImageInsteadOfPDFKey, QT_TR_NOOP("Images instead of PDF"), false},
        {QntDrawBorderLinesOnSlideInfoLayerKey, QT_TR_NOOP("Border lines on slide info"), true},
    };
    int row = 1;
    int column = 0;
    for (const Switch &s : switches) {
        addSwitch(app, grid, row, column, s.key, tr(s.title), s.posted);
        if (++column == 2) {
            column = 0;
            ++row;
        }
    }
    row += column ? 1 : 0;
    grid->addWidget(new QLabel(tr("Slide caption"), app), row, 0);
    _slideCaptionPlacementCombobox = new QComboBox(app);
    _slideCaptionPlacementCombobox->setObjectName(QStringLiteral("slideCaptionPlacement"));
    const QStringList placements{tr("None"), tr("Top"), tr("Bottom"), tr("Top and bottom")};
    for (int tag = 0; tag < placements.size(); ++tag)
        _slideCaptionPlacementCombobox->addItem(placements.at(tag), tag);
    grid->addWidget(_slideCaptionPlacementCombobox, row, 1);
    connect(_slideCaptionPlacementCombobox, &QComboBox::activated, this,
            &QntPreferenceController::slideCaptionPlacementComboboxAction);
    ++row;
    grid->addWidget(new QLabel(tr("Element scale"), app), row, 0);
    _elementScaleSlider = new QSlider(Qt::Horizontal, app);
    _elementScaleSlider->setObjectName(QStringLiteral("elementScaleSlider"));
    _elementScaleSlider->setRange(25, 400); // per cent
    grid->addWidget(_elementScaleSlider, row, 1);
    connect(_elementScaleSlider, &QSlider::sliderReleased, this,
            &QntPreferenceController::elementScaleAction);
    connect(_elementScaleSlider, &QSlider::valueChanged, this, [this] {
        if (!_elementScaleSlider->isSliderDown())
            elementScaleAction();
    });
    layout->addWidget(app);

    auto *palette = new QGroupBox(tr("Shape library"), pane);
    auto *pgrid = new QGridLayout(palette);
    addSwitch(palette, pgrid, 0, 0, QntShowScrollBarKey, tr("Scroller"), true);
    addSwitch(palette, pgrid, 0, 1, QntShowBuiltInClipartKey, tr("Built-in clip art"), true);
    pgrid->addWidget(new QLabel(tr("Background colour"), palette), 1, 0);
    _paletteBackgroundColorWell = new QntColorWell(palette);
    _paletteBackgroundColorWell->setObjectName(QStringLiteral("paletteBackgroundColorWell"));
    pgrid->addWidget(_paletteBackgroundColorWell, 1, 1, Qt::AlignLeft);
    connect(_paletteBackgroundColorWell, &QntColorWell::colorChanged, this,
            &QntPreferenceController::paletteBackgroundColorWellAction);
    layout->addWidget(palette);

    auto *keys = new QGroupBox(tr("Tool shortcuts"), pane);
    auto *kgrid = new QGridLayout(keys);
    _toolNamePopupButton = new QComboBox(keys);
    _toolNamePopupButton->setObjectName(QStringLiteral("toolNamePopupButton"));
    for (const Shortcut &s : shortcuts())
        _toolNamePopupButton->addItem(tr(s.title), s.tag);
    kgrid->addWidget(_toolNamePopupButton, 0, 0);
    shortcutRecorder_ = new SRRecorderControl(keys);
    shortcutRecorder_->setObjectName(QStringLiteral("shortcutRecorder"));
    kgrid->addWidget(shortcutRecorder_, 0, 1);
    auto *restore = new QPushButton(tr("Restore Defaults"), keys);
    restore->setObjectName(QStringLiteral("restoreDefaultShortcutsButton"));
    kgrid->addWidget(restore, 0, 2);
    _shortcutMessage = new QLabel(keys);
    _shortcutMessage->setObjectName(QStringLiteral("shortcutMessage"));
    _shortcutMessage->setWordWrap(true);
    kgrid->addWidget(_shortcutMessage, 1, 0, 1, 3);
    connect(_toolNamePopupButton, &QComboBox::activated, this,
            &QntPreferenceController::toolNamePopupButtonAction);
    connect(shortcutRecorder_, &SRRecorderControl::keyComboDidChange, this,
            &QntPreferenceController::shortcutRecorderKeyComboDidChange);
    connect(restore, &QPushButton::clicked, this,
            &QntPreferenceController::restoreDefaultShortcutsButtonAction);
    layout->addWidget(keys);
    layout->addStretch(1);
    return pane;
}

QCheckBox *QntPreferenceController::checkBox(const QString &key) const
{
    for (const auto &[k, box] : m_switches) {
        if (k == key)
            return box;
    }
    return nullptr;
}

void QntPreferenceController::initGeneralPane()
{
    _displayDragInfoButton->setChecked(VRDrawableObject::displaysSizeInfoWhenDragging());
    _showSmartGuidesButton->setChecked(VRGuideLayer::showSmartGuides());
    for (const auto &[key, box] : m_switches)
        box->setChecked(store().boolForKey(key));
    {
        const QSignalBlocker block(_elementScaleSlider);
        double scale = store().doubleForKey(QntElementScaleKey);
        if (!(scale > 0))
            scale = 1.0;
        _elementScaleSlider->setValue(int(std::lround(scale * 100)));
    }
    const int placement = int(store().integerForKey(QntSlideCaptionPlacementKey));
    const int index = _slideCaptionPlacementCombobox->findData(placement);
    _slideCaptionPlacementCombobox->setCurrentIndex(std::max(0, index));
    if (const auto colour =
            KeyedArchiver::unarchiveColor(store().dataForKey(QntPaletteBackgroundColorKey)))
        _paletteBackgroundColorWell->setColor(*colour);
    _toolNamePopupButton->setCurrentIndex(_toolNamePopupButton->findData(8));
    shortcutRecorder_->setKeyCombo(shortcutCode(8));
}

void QntPreferenceController::elementScaleAction()
{
    // Single precision, as the element scale is read.
    const float scale = float(_elementScaleSlider->value()) / 100.0f;
    store().setDouble(double(scale), QntElementScaleKey);
}

void QntPreferenceController::slideCaptionPlacementComboboxAction()
{
    const qint64 tag = _slideCaptionPlacementCombobox->currentData().toLongLong();
    store().setInteger(tag, QntSlideCaptionPlacementKey);
    NotificationCenter::defaultCenter().post(QntSlideCaptionPlacementKey, nullptr,
                                             {{QStringLiteral("object"), tag}});
}

void QntPreferenceController::paletteBackgroundColorWellAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    store().setObject(KeyedArchiver::archivedDataWithColor(colour), QntPaletteBackgroundColorKey);
    NotificationCenter::defaultCenter().post(QntPaletteBackgroundColorKey, nullptr,
                                             {{QStringLiteral("object"), colour}});
}

void QntPreferenceController::toolNamePopupButtonAction()
{
    _shortcutMessage->clear();
    shortcutRecorder_->setKeyCombo(shortcutCode(_toolNamePopupButton->currentData().toInt()));
}

bool QntPreferenceController::shortcutRecorderKeyComboDidChange(int keyCode)
{
    const int tag = _toolNamePopupButton->currentData().toInt();
    auto mine = std::find_if(shortcuts().cbegin(), shortcuts().cend(),
                             [tag](const Shortcut &s) { return s.tag == tag; });
    if (mine == shortcuts().cend())
        return false;
    const QString keyText = SRRecorderControl::keyName(keyCode);
    // A key already given to another command or tool is refused.
    QString holder;
    for (const Shortcut &s : shortcuts()) {
        if (s.tag != tag && shortcutCode(s.tag) == keyCode)
            holder = tr(s.title);
    }
    if (holder.isEmpty()) {
        VRDrawingTool *own =
            mine->toolName.isEmpty() ? nullptr : VRDrawingTool::drawingToolWithName(mine->toolName);
        for (const QString &name : VRDrawingTool::toolNames()) {
            VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(name);
            if (!tool || tool == own || tool->keyCode() != keyCode || keyCode == 0)
                continue;
            bool ours = false;
            for (const Shortcut &s : shortcuts())
                ours = ours || s.toolName == name;
            if (!ours)
                holder = tool->title();
        }
    }
    if (!holder.isEmpty()) {
        shortcutRecorder_->setKeyCombo(shortcutCode(tag));
        _shortcutMessage->setText(
            tr("“%1” is already the shortcut of %2. Choose another key.").arg(keyText, holder));
        return false;
    }
    _shortcutMessage->clear();
    store().setInteger(keyCode, mine->key);
    store().synchronize();
    shortcutRecorder_->setKeyCombo(keyCode);
    if (!mine->toolName.isEmpty()) {
        if (VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(mine->toolName))
            tool->setKeyCode(keyCode);
    }
    return true;
}

void QntPreferenceController::restoreDefaultShortcutsButtonAction()
{
    for (auto it = shortcuts().crbegin(); it != shortcuts().crend(); ++it) {
        store().removeObjectForKey(it->key);
        if (!it->toolName.isEmpty()) {
            if (VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(it->toolName))
                tool->setKeyCode(it->tag);
        }
    }
    store().synchronize();
    _toolNamePopupButton->setCurrentIndex(_toolNamePopupButton->findData(8));
    shortcutRecorder_->setKeyCombo(8);
    _shortcutMessage->clear();
}

// ---- Update -------------------------------------------------------------------------------------

QWidget *QntPreferenceController::makeUpdatePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("updatePane"));
    auto *grid = new QGridLayout(pane);
    _autoCheckUpdates = new QCheckBox(tr("Check for updates automatically"), pane);
    _autoCheckUpdates->setObjectName(QStringLiteral("autoCheckUpdates"));
    grid->addWidget(_autoCheckUpdates, 0, 0, 1, 2);
    grid->addWidget(new QLabel(tr("Check"), pane), 1, 0);
    _checkInterval = new QComboBox(pane);
    _checkInterval->setObjectName(QStringLiteral("checkInterval"));
    _checkInterval->addItem(tr("Daily"), 86400);
    _checkInterval->addItem(tr("Weekly"), 604800);
    _checkInterval->addItem(tr("Monthly"), 2629800);
    grid->addWidget(_checkInterval, 1, 1);
    grid->addWidget(new QLabel(tr("Last check"), pane), 2, 0);
    _lastUpdateCheckDate = new QLabel(tr("Never"), pane);
    _lastUpdateCheckDate->setObjectName(QStringLiteral("lastUpdateCheckDate"));
    grid->addWidget(_lastUpdateCheckDate, 2, 1);
    auto *now = new QPushButton(tr("Check Now"), pane);
    now->setObjectName(QStringLiteral("checkForUpdatesButton"));
    grid->addWidget(now, 3, 1, Qt::AlignRight);
    grid->setRowStretch(4, 1);
    grid->setColumnMinimumWidth(1, 260);
    connect(_autoCheckUpdates, &QCheckBox::clicked, this,
            &QntPreferenceController::autoCheckUpdatesAction);
    connect(_checkInterval, &QComboBox::activated, this,
            &QntPreferenceController::checkIntervalAction);
    connect(now, &QPushButton::clicked, this, &QntPreferenceController::checkForUpdatesAction);
    return pane;
}

void QntPreferenceController::initUpdatePane()
{
    SUUpdater &updater = SUUpdater::sharedUpdater();
    _autoCheckUpdates->setChecked(updater.automaticallyChecksForUpdates());
    _checkInterval->setEnabled(updater.automaticallyChecksForUpdates());
    const int index = _checkInterval->findData(qint64(updater.updateCheckInterval()));
    if (index >= 0)
        _checkInterval->setCurrentIndex(index);
    const QDateTime last = updater.lastUpdateCheckDate();
    if (last.isValid())
        _lastUpdateCheckDate->setText(QLocale().toString(last, QLocale::LongFormat));
}

void QntPreferenceController::autoCheckUpdatesAction()
{
    SUUpdater::sharedUpdater().setAutomaticallyChecksForUpdates(_autoCheckUpdates->isChecked());
    _checkInterval->setEnabled(_autoCheckUpdates->isChecked());
}

void QntPreferenceController::checkIntervalAction()
{
    SUUpdater::sharedUpdater().setUpdateCheckInterval(_checkInterval->currentData().toDouble());
}

void QntPreferenceController::checkForUpdatesAction()
{
    SUUpdater::sharedUpdater().checkForUpdates(this);
    initUpdatePane();
    raise();
    activateWindow();
}
