#include "style/ColorSchemeController.h"

#include "framework/base/SVGColourConverter.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/ColorPanel.h"
#include "platform/UserDefaults.h"
#include "style/ColorSchemeTreeNode.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

const QString kQntReloadColorSchemeOutlineNotification =
    QStringLiteral("kQntReloadColorSchemeOutlineNotification");
const QString kQntColorSchemesKey = QStringLiteral("ColorSchemes");

namespace {

const QString kChildren = QStringLiteral("Children");
const QString kId = QStringLiteral("Id");
const QString kName = QStringLiteral("Name");
constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kAlphaSteps = 1000;

std::optional<QVariantMap> &liveSlot()
{
    static std::optional<QVariantMap> live;
    return live;
}

bool isGroupName(const QString &name)
{
    return name == QLatin1String("Fill") || name == QLatin1String("Stroke")
           || name == QLatin1String("Text") || name == QLatin1String("GradientStops");
}

QPixmap swatch(const QString &hex)
{
    QPixmap pixmap(36, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(1, 1, 34, 10), SVGColourConverter::colorWithHexRGB(hex));
    painter.setPen(Qt::darkGray);
    painter.drawRect(QRect(0, 0, 35, 11));
    return pixmap;
}

} // namespace

ColorSchemeController::ColorSchemeController(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("colorSchemeSection"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);

    _outlineView = new QTreeWidget(this);
    _outlineView->setObjectName(QStringLiteral("colorSchemeOutline"));
    _outlineView->setColumnCount(3);
    _outlineView->setHeaderLabels({tr("Name"), tr("Colour"), tr("Default")});
    _outlineView->header()->setStretchLastSection(false);
    _outlineView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    _outlineView->setColumnWidth(1, 56);
    _outlineView->setColumnWidth(2, 52);
    _outlineView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    _outlineView->setMinimumHeight(200);
    layout->addWidget(_outlineView, 1);

    selectionOutput_ = new QLabel(this);
    selectionOutput_->setObjectName(QStringLiteral("selectionOutput"));
    QFont bold = selectionOutput_->font();
    bold.setBold(true);
    selectionOutput_->setFont(bold);
    layout->addWidget(selectionOutput_);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->addWidget(new QLabel(tr("Comment"), this), 0, 0);
    commentTextField_ = new QLineEdit(this);
    commentTextField_->setObjectName(QStringLiteral("commentTextField"));
    grid->addWidget(commentTextField_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Opacity"), this), 1, 0);
    alphaSlider_ = new QSlider(Qt::Horizontal, this);
    alphaSlider_->setObjectName(QStringLiteral("alphaSlider"));
    alphaSlider_->setRange(0, kAlphaSteps);
    grid->addWidget(alphaSlider_, 1, 1);
    alphaTextbox_ = new QLineEdit(this);
    alphaTextbox_->setObjectName(QStringLiteral("alphaTextbox"));
    alphaTextbox_->setMaximumWidth(48);
    grid->addWidget(alphaTextbox_, 1, 2);
    layout->addLayout(grid);

    useAsDefaultColorSchemeCheckbox_ = new QCheckBox(tr("Use as default"), this);
    useAsDefaultColorSchemeCheckbox_->setObjectName(QStringLiteral("useAsDefaultCheckbox"));
    useAsTableCellBackgroundCheckbox_ = new QCheckBox(tr("Table cell background"), this);
    useAsTableCellBackgroundCheckbox_->setObjectName(QStringLiteral("tableCellCheckbox"));
    useAsTableGridColorCheckbox_ = new QCheckBox(tr("Table grid colour"), this);
    useAsTableGridColorCheckbox_->setObjectName(QStringLiteral("tableGridCheckbox"));
    layout->addWidget(useAsDefaultColorSchemeCheckbox_);
    layout->addWidget(useAsTableCellBackgroundCheckbox_);
    layout->addWidget(useAsTableGridColorCheckbox_);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    addNewColorSchemeButton_ = new QPushButton(tr("New"), this);
    addNewColorSchemeButton_->setObjectName(QStringLiteral("newColorSchemeButton"));
    addNewColorSchemeButton_->setToolTip(tr("Make a new scheme from the selected one"));
    removeColorSchemeButton_ = new QPushButton(tr("Remove"), this);
    removeColorSchemeButton_->setObjectName(QStringLiteral("removeColorSchemeButton"));
    restoreDefaultsButton_ = new QPushButton(tr("Restore"), this);
    restoreDefaultsButton_->setObjectName(QStringLiteral("restoreDefaultsButton"));
    restoreDefaultsButton_->setToolTip(tr("Restore the notation's built-in schemes"));
    applyButton_ = new QPushButton(tr("Apply"), this);
    applyButton_->setObjectName(QStringLiteral("applyColorSchemeButton"));
    applyButton_->setToolTip(tr("Give the selected objects this scheme"));
    for (QPushButton *button :
         {addNewColorSchemeButton_, removeColorSchemeButton_, restoreDefaultsButton_, applyButton_})
        buttons->addWidget(button);
    layout->addLayout(buttons);

    noteLabel_ = new QLabel(this);
    noteLabel_->setObjectName(QStringLiteral("noteLabel"));
    noteLabel_->setStyleSheet(QStringLiteral("QLabel { color: #777777; }"));
    layout->addWidget(noteLabel_);

    connect(_outlineView, &QTreeWidget::itemSelectionChanged, this,
            &ColorSchemeController::outlineViewSelectionDidChange);
    connect(_outlineView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int col) {
        if (col == 1)
            editColourOfNode(nodeOfItem(item));
    });
    connect(_outlineView, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item, int col) {
                if (col == 0) {
                    ColorSchemeTreeNode *node = nodeOfItem(item);
                    if (node && node->isScheme())
                        _outlineView->editItem(item, 0);
                }
            });
    connect(_outlineView, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int col) {
        ColorSchemeTreeNode *node = nodeOfItem(item);
        if (col != 0 || !node || !node->isScheme())
            return;
        const QString text = item->text(0).trimmed();
        if (!text.isEmpty() && text != node->name())
            node->setName(text);
        else if (text.isEmpty())
            refreshItem(item);
    });
    connect(commentTextField_, &QLineEdit::editingFinished, this,
            &ColorSchemeController::commentTextFieldAction);
    connect(alphaSlider_, &QSlider::valueChanged, this, [this] {
        if (alphaSlider_->isEnabled() && !alphaSlider_->signalsBlocked())
            alphaSliderAction();
    });
    connect(alphaTextbox_, &QLineEdit::editingFinished, this,
            &ColorSchemeController::alphaTextboxAction);
    connect(useAsDefaultColorSchemeCheckbox_, &QCheckBox::clicked, this,
            &ColorSchemeController::useAsDefaultColorSchemeCheckboxAction);
    connect(useAsTableCellBackgroundCheckbox_, &QCheckBox::clicked, this,
            &ColorSchemeController::useAsTableCellBackgroundCheckboxAction);
    connect(useAsTableGridColorCheckbox_, &QCheckBox::clicked, this,
            &ColorSchemeController::useAsTableGridColorCheckboxAction);
    connect(addNewColorSchemeButton_, &QPushButton::clicked, this,
            &ColorSchemeController::newColorSchemeAction);
    connect(removeColorSchemeButton_, &QPushButton::clicked, this,
            &ColorSchemeController::removeColorSchemeAction);
    connect(restoreDefaultsButton_, &QPushButton::clicked, this,
            &ColorSchemeController::restoreDefaultsAction);
    connect(applyButton_, &QPushButton::clicked, this,
            &ColorSchemeController::applyToSelectionAction);

    m_reloadToken = NotificationCenter::defaultCenter().addObserver(
        kQntReloadColorSchemeOutlineNotification, nullptr,
        [this](const Notification &n) { reloadNotification(n); });
    outlineViewSelectionDidChange();
}

ColorSchemeController::~ColorSchemeController()
{
    m_reloadToken.reset();
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    if (panel.target() == this)
        panel.setTarget(nullptr, {});
}

QString ColorSchemeController::notationName() const
{
    if (!m_drawing || !m_drawing->currentNotation())
        return {};
    return m_drawing->currentNotation()->notationName();
}

// ---- the store --------------------------------------------------------------------------------

QVariantMap &ColorSchemeController::liveCopy()
{
    std::optional<QVariantMap> &live = liveSlot();
    if (!live)
        live.emplace();
    return *live;
}

bool ColorSchemeController::hasLiveCopy()
{
    return liveSlot().has_value();
}

void ColorSchemeController::releaseLiveCopy()
{
    liveSlot().reset();
}

void ColorSchemeController::handLiveCopyToFramework()
{
    // The framework gets its own snapshot: readers on other threads never see a half-made
    // change.
    QntColorScheme::setCustomColorSchemePropsRef(std::make_shared<QVariantMap>(liveCopy()));
}

QVariantMap ColorSchemeController::rootDictionaryForNotation(const QntNotation &notation)
{
    const QString name = notation.notationName();
    if (name.isEmpty())
        return {};
    QVariantMap &live = liveCopy();
    QntColorScheme::releaseColorSchemeCache();
    if (!live.contains(name)) {
        const QVariantMap stored =
            UserDefaults::standardUserDefaults().dictionaryForKey(kQntColorSchemesKey);
        if (stored.value(name).typeId() == QMetaType::QVariantMap)
            live.insert(name, stored.value(name));
        else
            live.insert(name, notation.colorSchemes());
    }
    handLiveCopyToFramework();
    return live.value(name).toMap();
}

std::unique_ptr<ColorSchemeTreeNode>
ColorSchemeController::treeNodeFromDictionary(const QVariantMap &dictionary)
{
    const QString name = dictionary.value(kName).toString();
    auto node = ColorSchemeTreeNode::nodeDataWithName(
        name, dictionary.value(QStringLiteral("Default")).toBool(),
        dictionary.value(QStringLiteral("IconColor")).toString());
    node->setProps(dictionary);
    node->setBackControllerRef(this);
    for (const QVariant &entry : dictionary.value(kChildren).toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap child = entry.toMap();
        if (!child.contains(QStringLiteral("HexColorValue"))) {
            node->appendChild(treeNodeFromDictionary(child));
            continue;
        }
        auto item = std::make_unique<ColorSchemeItemTreeNode>(
            child.value(QStringLiteral("HexColorValue")).toString());
        item->setProps(child);
        item->setContainer(false);
        item->setParentName(name);
        item->setBackControllerRef(this);
        node->appendChild(std::move(item));
    }
    return node;
}

std::unique_ptr<ColorSchemeTreeNode>
ColorSchemeController::cleanedTreeNodeFromDictionary(const QVariantMap &dictionary,
                                                     bool doCleanHexColor)
{
    const QString storedName = dictionary.value(kName).toString();
    const QString name = isGroupName(storedName) ? storedName : QString(QLatin1String(""));
    auto node = ColorSchemeTreeNode::nodeDataWithName(
        name, dictionary.value(QStringLiteral("Default")).toBool(),
        doCleanHexColor ? QStringLiteral("#")
                        : dictionary.value(QStringLiteral("IconColor")).toString());
    if (doCleanHexColor)
        node->setCleanProps(dictionary);
    else
        node->setProps(dictionary);
    node->setBackControllerRef(this);
    for (const QVariant &entry : dictionary.value(kChildren).toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap child = entry.toMap();
        if (!child.contains(QStringLiteral("HexColorValue"))) {
            ColorSchemeTreeNode *built =
                node->appendChild(cleanedTreeNodeFromDictionary(child, doCleanHexColor));
            built->setName(child.value(kName).toString());
            continue;
        }
        auto item = std::make_unique<ColorSchemeItemTreeNode>(QStringLiteral("#"));
        if (doCleanHexColor)
            item->setCleanProps(child);
        else
            item->setProps(child);
        item->setComment(child.value(QStringLiteral("Comment")).toString());
        item->setContainer(false);
        item->setParentName(storedName);
        item->setBackControllerRef(this);
        node->appendChild(std::move(item));
    }
    return node;
}

bool ColorSchemeController::updateKey(const QVariantList &path, const QString &key,
                                      const QVariant &value)
{
    const QString notation = notationName();
    if (!value.isValid() || key.isEmpty() || path.isEmpty() || notation.isEmpty())
        return false;
    QVariantMap &live = liveCopy();
    if (!live.contains(notation))
        return false;
    const qint64 schemeId = path.at(0).toLongLong();
    const QString group = path.size() >= 2 ? path.at(1).toString() : QString();
    const qint64 colourId = path.size() >= 3 ? path.at(2).toLongLong() : -1;
    QVariantMap root = live.value(notation).toMap();
    QVariantList schemes = root.value(kChildren).toList();
    for (QVariant &schemeValue : schemes) {
        QVariantMap scheme = schemeValue.toMap();
        if (scheme.value(kId).toLongLong() != schemeId)
            continue;
        if (path.size() == 1) {
            scheme.insert(key, value);
            schemeValue = scheme;
            root.insert(kChildren, schemes);
            live.insert(notation, root);
            return true;
        }
        QVariantList groups = scheme.value(kChildren).toList();
        for (QVariant &groupValue : groups) {
            QVariantMap groupMap = groupValue.toMap();
            if (groupMap.value(kName).toString() != group)
                continue;
            QVariantList colours = groupMap.value(kChildren).toList();
            for (QVariant &colourValue : colours) {
                QVariantMap colour = colourValue.toMap();
                if (!colour.contains(QStringLiteral("HexColorValue"))
                    || colour.value(kId).toLongLong() != colourId)
                    continue;
                colour.insert(key, value);
                colourValue = colour;
                groupMap.insert(kChildren, colours);
                groupValue = groupMap;
                scheme.insert(kChildren, groups);
                schemeValue = scheme;
                root.insert(kChildren, schemes);
                live.insert(notation, root);
                return true;
            }
        }
    }
    return false;
}

void ColorSchemeController::saveColorSchemesRegistry()
{
    if (m_disableSaving)
        return;
    const QString notation = notationName();
    const QVariantMap &live = liveCopy();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    // The stored value keeps every notation's customisation: the live copy only holds the
    // notations opened since it was made, so it is merged in rather than written over it.
    QVariantMap stored = defaults.dictionaryForKey(kQntColorSchemesKey);
    for (auto it = live.cbegin(); it != live.cend(); ++it)
        stored.insert(it.key(), it.value());
    if (!notation.isEmpty() && !live.contains(notation))
        stored.remove(notation);
    defaults.setObject(stored, kQntColorSchemesKey);
    if (!defaults.synchronize())
        setNote(tr("The colour schemes could not be saved."));
    _outlineView->viewport()->update();
    QntColorScheme::releaseColorSchemeCache();
    handLiveCopyToFramework();
    QVariantMap info;
    info.insert(QStringLiteral("object"), notation);
    info.insert(QStringLiteral("ColorSchemeController"),
                QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    NotificationCenter::defaultCenter().post(kQntReloadColorSchemeOutlineNotification, nullptr,
                                             info);
}

bool ColorSchemeController::removeColorSchemeWithId(qint64 schemeId)
{
    const QString notation = notationName();
    QVariantMap &live = liveCopy();
    if (notation.isEmpty() || !live.contains(notation))
        return false;
    QVariantMap root = live.value(notation).toMap();
    QVariantList schemes = root.value(kChildren).toList();
    for (qsizetype i = 0; i < schemes.size(); ++i) {
        if (schemes.at(i).toMap().value(kId).toLongLong() == schemeId) {
            schemes.removeAt(i);
            root.insert(kChildren, schemes);
            live.insert(notation, root);
            return true;
        }
    }
    return false;
}

// ---- set-up and the outline -------------------------------------------------------------------

void ColorSchemeController::setupWithDrawing(VRDrawing *drawing)
{
    m_drawing = drawing;
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || notation->notationName().isEmpty())
        return;
    m_disableSaving = true;
    const QVariantMap root = rootDictionaryForNotation(*notation);
    m_currentNode = nullptr;
    m_currentRootNode = nullptr;
    m_editedNode = nullptr;
    m_rootNode = treeNodeFromDictionary(root);
    reloadOutline();
    if (_outlineView->topLevelItemCount() > 0)
        _outlineView->setCurrentItem(_outlineView->topLevelItem(0));
    m_disableSaving = false;
    outlineViewSelectionDidChange();
}

void ColorSchemeController::reloadOutline()
{
    const QSignalBlocker block(_outlineView);
    _outlineView->clear();
    if (m_rootNode) {
        for (int i = 0; i < m_rootNode->childCount(); ++i)
            addItems(nullptr, m_rootNode->child(i));
    }
}

void ColorSchemeController::addItems(QTreeWidgetItem *parentItem, ColorSchemeTreeNode *node)
{
    auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(_outlineView);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    if (node->isScheme())
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    refreshItem(item);
    for (int i = 0; i < node->childCount(); ++i)
        addItems(item, node->child(i));
}

void ColorSchemeController::refreshItem(QTreeWidgetItem *item)
{
    ColorSchemeTreeNode *node = nodeOfItem(item);
    if (!node)
        return;
    const QSignalBlocker block(_outlineView);
    item->setText(0, node->name());
    item->setToolTip(0, node->isItem() ? static_cast<ColorSchemeItemTreeNode *>(node)->comment()
                                       : QString());
    if (!node->isGroup()) {
        item->setData(1, Qt::DecorationRole, swatch(node->hexColor()));
        item->setToolTip(1, node->hexColor());
        item->setText(2, node->isDefault() ? QStringLiteral("✓") : QString());
    }
    item->setTextAlignment(2, Qt::AlignCenter);
}

ColorSchemeTreeNode *ColorSchemeController::nodeOfItem(const QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    return reinterpret_cast<ColorSchemeTreeNode *>(item->data(0, kNodeRole).value<quintptr>());
}

QTreeWidgetItem *ColorSchemeController::itemOfNode(const ColorSchemeTreeNode *node) const
{
    if (!node)
        return nullptr;
    for (QTreeWidgetItemIterator it(_outlineView); *it; ++it) {
        if (nodeOfItem(*it) == node)
            return *it;
    }
    return nullptr;
}

void ColorSchemeController::selectNode(const ColorSchemeTreeNode *node)
{
    QTreeWidgetItem *item = itemOfNode(node);
    _outlineView->clearSelection();
    if (item) {
        _outlineView->setCurrentItem(item);
        _outlineView->scrollToItem(item);
    }
}

QString ColorSchemeController::formattedAlpha(double alpha) const
{
    return QLocale().toString(alpha, 'f', 2).remove(QRegularExpression(QStringLiteral("\\D?0+$")));
}

void ColorSchemeController::outlineViewSelectionDidChange()
{
    setNote(QString());
    const QList<QTreeWidgetItem *> selected = _outlineView->selectedItems();
    if (selected.size() != 1) {
        selectionOutput_->setText(selected.isEmpty() ? tr("Nothing Selected")
                                                     : tr("Multiple Rows Selected"));
    } else {
        m_currentNode = nodeOfItem(selected.first());
        if (m_currentNode) {
            if (const ColorSchemeTreeNode *scheme = m_currentNode->owningScheme())
                m_currentRootNode = const_cast<ColorSchemeTreeNode *>(scheme);
        }
    }
    const QSignalBlocker b1(alphaSlider_), b2(commentTextField_), b3(alphaTextbox_);
    commentTextField_->clear();
    commentTextField_->setEnabled(false);
    alphaSlider_->setEnabled(false);
    alphaTextbox_->setEnabled(false);
    for (QCheckBox *box : {useAsDefaultColorSchemeCheckbox_, useAsTableCellBackgroundCheckbox_,
                           useAsTableGridColorCheckbox_}) {
        box->setChecked(false);
        box->setEnabled(false);
    }
    addNewColorSchemeButton_->setEnabled(m_rootNode && m_rootNode->childCount() == 0 && m_drawing);
    removeColorSchemeButton_->setEnabled(false);
    restoreDefaultsButton_->setEnabled(m_drawing && m_drawing->currentNotation());
    applyButton_->setEnabled(m_currentRootNode != nullptr);
    if (selected.size() != 1 || !m_currentNode)
        return;
    selectionOutput_->setText(m_currentNode->name());
    if (m_currentNode->isScheme()) {
        addNewColorSchemeButton_->setEnabled(true);
        removeColorSchemeButton_->setEnabled(true);
        useAsDefaultColorSchemeCheckbox_->setEnabled(true);
        useAsDefaultColorSchemeCheckbox_->setChecked(m_currentNode->isDefault());
    } else if (m_currentNode->isItem()) {
        auto *colour = static_cast<ColorSchemeItemTreeNode *>(m_currentNode);
        commentTextField_->setEnabled(true);
        commentTextField_->setText(colour->comment());
        const QString group = colour->parentName();
        if (group != QLatin1String("Text")) {
            alphaSlider_->setEnabled(true);
            alphaTextbox_->setEnabled(true);
            alphaSlider_->setValue(int(std::lround(colour->alpha() * kAlphaSteps)));
            alphaTextbox_->setText(formattedAlpha(colour->alpha()));
        }
        if (group == QLatin1String("Fill") || group == QLatin1String("GradientStops")) {
            useAsTableCellBackgroundCheckbox_->setEnabled(true);
            useAsTableCellBackgroundCheckbox_->setChecked(colour->tableCellBackgroundColor()
                                                          == QLatin1String("YES"));
        } else if (group == QLatin1String("Stroke")) {
            useAsTableGridColorCheckbox_->setEnabled(true);
            useAsTableGridColorCheckbox_->setChecked(colour->tableGridColor()
                                                     == QLatin1String("YES"));
        } else if (group == QLatin1String("Text")) {
            useAsDefaultColorSchemeCheckbox_->setEnabled(true);
            useAsDefaultColorSchemeCheckbox_->setChecked(colour->isDefault());
        }
    }
}

void ColorSchemeController::setNote(const QString &note)
{
    noteLabel_->setText(note);
}

bool ColorSchemeController::confirm(const QString &question)
{
    if (m_confirm)
        return m_confirm(question);
    return QMessageBox::question(window(), tr("Color Scheme"), question,
                                 QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
           == QMessageBox::Yes;
}

// ---- editing ----------------------------------------------------------------------------------

void ColorSchemeController::commentTextFieldAction()
{
    if (m_currentNode && m_currentNode->isItem() && commentTextField_->isEnabled()) {
        static_cast<ColorSchemeItemTreeNode *>(m_currentNode)
            ->setComment(commentTextField_->text());
        refreshItem(itemOfNode(m_currentNode));
    }
}

void ColorSchemeController::alphaSliderAction()
{
    if (!m_currentNode || !m_currentNode->isItem())
        return;
    auto *colour = static_cast<ColorSchemeItemTreeNode *>(m_currentNode);
    colour->setAlpha(double(alphaSlider_->value()) / kAlphaSteps);
    alphaTextbox_->setText(formattedAlpha(colour->alpha()));
}

void ColorSchemeController::alphaTextboxAction()
{
    if (!m_currentNode || !m_currentNode->isItem() || !alphaTextbox_->isEnabled())
        return;
    auto *colour = static_cast<ColorSchemeItemTreeNode *>(m_currentNode);
    bool ok = false;
    double value = QLocale().toDouble(alphaTextbox_->text().trimmed(), &ok);
    if (!ok)
        value = alphaTextbox_->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(value))
        colour->setAlpha(value);
    else
        setNote(tr("The opacity is a number from 0 to 1."));
    const QSignalBlocker block(alphaSlider_);
    alphaSlider_->setValue(int(std::lround(colour->alpha() * kAlphaSteps)));
    alphaTextbox_->setText(formattedAlpha(colour->alpha()));
}

void ColorSchemeController::useAsDefaultColorSchemeCheckboxAction()
{
    if (!m_currentNode)
        return;
    m_currentNode->setIsDefault(useAsDefaultColorSchemeCheckbox_->isChecked());
    refreshItem(itemOfNode(m_currentNode));
}

void ColorSchemeController::useAsTableCellBackgroundCheckboxAction()
{
    if (m_currentNode && m_currentNode->isItem())
        static_cast<ColorSchemeItemTreeNode *>(m_currentNode)
            ->setTableCellBackgroundColor(useAsTableCellBackgroundCheckbox_->isChecked()
                                              ? QStringLiteral("YES")
                                              : QStringLiteral("NO"));
}

void ColorSchemeController::useAsTableGridColorCheckboxAction()
{
    if (m_currentNode && m_currentNode->isItem())
        static_cast<ColorSchemeItemTreeNode *>(m_currentNode)
            ->setTableGridColor(useAsTableGridColorCheckbox_->isChecked() ? QStringLiteral("YES")
                                                                          : QStringLiteral("NO"));
}

void ColorSchemeController::editColourOfNode(ColorSchemeTreeNode *node)
{
    if (!node)
        return;
    if (node->isGroup() || !(node->isItem() || node->isScheme())
        || (node->isScheme() && node->isDefault())) {
        setNote(tr("This item could not be edited"));
        return;
    }
    setNote(QString());
    m_editedNode = node;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    // A row's colour is kept as hexadecimal RGB; its opacity is the section's own control.
    panel.setShowsAlpha(false);
    panel.setColor(SVGColourConverter::colorWithHexRGB(node->hexColor()));
    panel.setTarget(this, [this](const QColor &colour) { colorWellAction(colour); });
    panel.orderFrontBeside(this);
}

void ColorSchemeController::colorWellAction(const QColor &colour)
{
    if (!m_editedNode || !colour.isValid())
        return;
    // Greys picked in any colour model are written as RGB, never as "no colour".
    m_editedNode->setHexColor(SVGColourConverter::hexadecimalValueOfAnNSColor(colour.toRgb()));
    refreshItem(itemOfNode(m_editedNode));
    if (m_editedNode == m_currentNode && _outlineView->selectedItems().size() == 1)
        selectionOutput_->setText(m_currentNode->name());
}

// ---- schemes ----------------------------------------------------------------------------------

void ColorSchemeController::newColorSchemeAction()
{
    const QString notation = notationName();
    if (notation.isEmpty() || !m_rootNode)
        return;
    QVariantMap &live = liveCopy();
    QVariantMap root = live.value(notation).toMap();
    QVariantList schemes = root.value(kChildren).toList();
    QVariantMap source;
    if (m_currentNode && m_currentNode->isScheme() && _outlineView->selectedItems().size() == 1) {
        for (const QVariant &scheme : schemes) {
            if (scheme.toMap().value(kId).toLongLong() == m_currentNode->Id())
                source = scheme.toMap();
        }
    } else if (schemes.isEmpty() && m_drawing && m_drawing->currentNotation()) {
        // With every scheme removed, a new one starts from the notation's first built-in one.
        const QVariantList builtIn =
            m_drawing->currentNotation()->colorSchemes().value(kChildren).toList();
        if (!builtIn.isEmpty())
            source = builtIn.first().toMap();
    }
    if (source.isEmpty())
        return;
    qint64 largest = 0;
    for (const QVariant &scheme : schemes)
        largest = std::max(largest, scheme.toMap().value(kId).toLongLong());
    const qint64 newId = largest + 1;
    QVariantMap made = source;
    made.insert(kId, newId);
    made.insert(QStringLiteral("Default"), false);
    schemes.append(made);
    root.insert(kChildren, schemes);
    live.insert(notation, root);

    m_disableSaving = true;
    std::unique_ptr<ColorSchemeTreeNode> node = cleanedTreeNodeFromDictionary(made, false);
    node->setId(newId);
    ColorSchemeTreeNode *added = m_rootNode->appendChild(std::move(node));
    added->setName(tr("Untitled"));
    m_disableSaving = false;
    reloadOutline();
    selectNode(added);
    saveColorSchemesRegistry();
}

void ColorSchemeController::removeColorSchemeAction()
{
    const QList<QTreeWidgetItem *> selected = _outlineView->selectedItems();
    if (selected.size() != 1)
        return;
    ColorSchemeTreeNode *node = nodeOfItem(selected.first());
    if (!node || !node->isScheme())
        return;
    if (!confirm(tr("Remove the colour scheme \"%1\"?").arg(node->name())))
        return;
    m_currentNode = node;
    if (!removeColorSchemeWithId(node->Id()))
        return;
    if (m_editedNode == node || (m_editedNode && m_editedNode->owningScheme() == node))
        m_editedNode = nullptr;
    if (m_currentRootNode == node)
        m_currentRootNode = nullptr;
    m_rootNode->takeChild(node);
    m_currentNode = nullptr;
    reloadOutline();
    outlineViewSelectionDidChange();
    saveColorSchemesRegistry();
}

void ColorSchemeController::restoreDefaultsAction()
{
    const QString notation = notationName();
    if (notation.isEmpty())
        return;
    if (!confirm(tr("Restore the built-in colour schemes of \"%1\"? Your changes to its schemes "
                    "are lost.")
                     .arg(notation)))
        return;
    liveCopy().remove(notation);
    saveColorSchemesRegistry();
    setupWithDrawing(m_drawing);
}

void ColorSchemeController::applyToSelectionAction()
{
    if (!m_currentRootNode || !m_drawing)
        return;
    auto *layer = m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || layer->isLocked())
        return;
    VRObjectList targets;
    for (const VRObjectRef &object : layer->selection()) {
        if (object && object->colorSchemeId() != 0)
            targets.push_back(object);
    }
    if (targets.empty()) {
        setNote(tr("Select the shapes to colour first."));
        return;
    }
    VRUndoManager *um = m_drawing->undoManager();
    if (um)
        um->beginUndoGrouping();
    for (const VRObjectRef &object : targets)
        object->replaceColorScheme(m_currentRootNode->Id());
    if (um) {
        um->endUndoGrouping();
        um->setActionName(tr("Apply Colour Scheme"));
    }
}

void ColorSchemeController::reloadNotification(const Notification &notification)
{
    if (notification.userInfo.value(QStringLiteral("object")).toString() != notationName())
        return;
    if (notification.userInfo.value(QStringLiteral("ColorSchemeController")).value<quintptr>()
        == reinterpret_cast<quintptr>(this))
        return;
    setupWithDrawing(m_drawing);
}
