#include "style/QntColorSchemeEditor.h"

#include "style/QntFlippedView.h"

#include "platform/OutlineViewAdditions.h"

#include "framework/base/SVGColourConverter.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntColorWell.h"
#include "platform/ColorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTextDocumentFragment>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kCellWidth = 70;
constexpr int kCellHeight = 35;
constexpr int kSpacing = 2;
const char *const kRepresented = "representedObject";
const char *const kMatrixType = "matrixType";
const char *const kPosition = "matrixPosition";

QString itemsTypeFor(const QString &type)
{
    const QString prefix = QStringLiteral("ColorSchemeItems");
    return type.startsWith(prefix) ? type : prefix + type;
}

QString hexOfCellColour(const QColor &colour)
{
    // A colour with nothing to show (fully clear) is written as "no colour".
    if (!colour.isValid() || colour.alpha() == 0)
        return QStringLiteral("#");
    return SVGColourConverter::hexadecimalValueOfAnNSColor(colour.toRgb());
}

QPixmap cellImage(const QColor &colour)
{
    QPixmap pixmap(kCellWidth, kCellHeight);
    if (!colour.isValid() || colour.alpha() == 0) {
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(QRectF(0.5, 0.5, kCellWidth - 1, kCellHeight - 1));
        return pixmap;
    }
    QColor opaque = colour;
    opaque.setAlpha(255);
    pixmap.fill(opaque);
    return pixmap;
}

} // namespace

const QStringList &QntColorSchemeEditor::itemTypes()
{
    static const QStringList types{QStringLiteral("Fill"), QStringLiteral("Stroke"),
                                   QStringLiteral("GradientStops"), QStringLiteral("Text")};
    return types;
}

QntColorSchemeEditor::QntColorSchemeEditor(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("QntColorSchemeEditor"));
    setWindowTitle(tr("Colour Scheme Editor"));
    auto *layout = new QHBoxLayout(this);
    auto *splitter = new QSplitter(this);
    layout->addWidget(splitter);

    auto *left = new QWidget(splitter);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    mNotationsGroups = new QTreeWidget(left);
    mNotationsGroups->setObjectName(QStringLiteral("notationsOutline"));
    mNotationsGroups->setHeaderLabel(tr("Notation databases"));
    leftLayout->addWidget(mNotationsGroups, 2);
    leftLayout->addWidget(new QLabel(tr("Schemes (drag to reorder)"), left));
    _colorSchemesTableViewObj = new QListWidget(left);
    _colorSchemesTableViewObj->setObjectName(QStringLiteral("colorSchemesList"));
    _colorSchemesTableViewObj->setDragDropMode(QAbstractItemView::InternalMove);
    leftLayout->addWidget(_colorSchemesTableViewObj, 1);
    _exportButton = new QPushButton(tr("Export…"), left);
    _exportButton->setObjectName(QStringLiteral("exportButton"));
    _exportButton->setToolTip(
        tr("Write the schemes as %1 beside the database").arg(exportFileName()));
    _exportButton->setEnabled(false);
    leftLayout->addWidget(_exportButton);
    splitter->addWidget(left);

    auto *right = new QWidget(splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(right);
    const QStringList titles{tr("Fill"), tr("Stroke"), tr("Gradient Stops"), tr("Text")};
    for (int i = 0; i < itemTypes().size(); ++i) {
        auto *scroll = new QScrollArea(m_tabs);
        scroll->setObjectName(itemTypes().at(i) + QStringLiteral("View"));
        // The matrix is laid out in rows from the top; its host keeps them there.
        auto *host = new QntFlippedView;
        host->setObjectName(itemTypes().at(i) + QStringLiteral("Host"));
        scroll->setWidget(host);
        scroll->setWidgetResizable(false);
        m_matrixHosts.insert(itemTypes().at(i), host);
        m_tabs->addTab(scroll, titles.at(i));
    }
    // The preview: the notation's test shapes, arrowheads and arrows in every scheme.
    auto *preview = new QWidget(m_tabs);
    auto *previewLayout = new QVBoxLayout(preview);
    auto *previewControls = new QHBoxLayout;
    _shapesCheckbox = new QCheckBox(tr("Shapes"), preview);
    _shapesCheckbox->setChecked(true);
    _numberTestShapesPopupButton = new QComboBox(preview);
    for (int n : {1, 2, 3, 5, 10, 20})
        _numberTestShapesPopupButton->addItem(QString::number(n));
    _numberTestShapesPopupButton->setCurrentText(QStringLiteral("3"));
    _arrowheadsCheckbox = new QCheckBox(tr("Arrowheads"), preview);
    _arrowsCheckbox = new QCheckBox(tr("Arrows"), preview);
    previewControls->addWidget(_shapesCheckbox);
    previewControls->addWidget(_numberTestShapesPopupButton);
    previewControls->addWidget(_arrowheadsCheckbox);
    previewControls->addWidget(_arrowsCheckbox);
    previewControls->addStretch(1);
    previewLayout->addLayout(previewControls);
    m_previewDrawing = std::make_unique<VRDrawing>();
    auto *previewScroll = new QScrollArea(preview);
    previewScroll->setObjectName(QStringLiteral("previewDrawingScrollView"));
    _previewDrawingView = new VRDrawingView(m_previewDrawing.get());
    _previewDrawingView->setObjectName(QStringLiteral("previewDrawingView"));
    previewScroll->setWidget(_previewDrawingView);
    previewLayout->addWidget(previewScroll, 1);
    m_tabs->addTab(preview, tr("Preview"));
    for (QCheckBox *box : {_shapesCheckbox, _arrowheadsCheckbox, _arrowsCheckbox})
        connect(box, &QCheckBox::toggled, this, &QntColorSchemeEditor::rebuildPreview);
    connect(_numberTestShapesPopupButton, &QComboBox::currentIndexChanged, this,
            &QntColorSchemeEditor::rebuildPreview);
    rightLayout->addWidget(m_tabs, 1);
    m_windowStatus = new QLabel(right);
    m_windowStatus->setObjectName(QStringLiteral("editorStatus"));
    rightLayout->addWidget(m_windowStatus);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    resize(980, 600);

    connect(mNotationsGroups, &QTreeWidget::itemSelectionChanged, this,
            &QntColorSchemeEditor::outlineViewAction);
    connect(_exportButton, &QPushButton::clicked, this, &QntColorSchemeEditor::exportAction);
    connect(_colorSchemesTableViewObj->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int start, int, const QModelIndex &, int row) {
                if (m_reordering)
                    return;
                // The model reports the row before which the scheme was dropped.
                moveScheme(start, row > start ? row - 1 : row);
            });
    m_closeToken = NotificationCenter::defaultCenter().addObserver(
        kQntCloseAttachedWindowsNotification, nullptr,
        [this](const Notification &) { closeAttachedEditorWindow(); });
    reloadNotations();
}

QntColorSchemeEditor::~QntColorSchemeEditor()
{
    m_closeToken.reset();
    closeAttachedEditorWindow();
    // The view goes before the drawing it shows.
    delete _previewDrawingView;
    _previewDrawingView = nullptr;
}

void QntColorSchemeEditor::showWindow()
{
    if (!isVisible()) {
        reloadNotations();
        if (QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

void QntColorSchemeEditor::reloadNotations()
{
    const QSignalBlocker block(mNotationsGroups);
    mNotationsGroups->clear();
    QMap<QString, QTreeWidgetItem *> groups;
    for (const QVariantMap &entry : QntNotation::notations()) {
        const QString path =
            QntNotation::absolutePathForNotationPath(entry.value("notationPath").toString());
        const QString group = QFileInfo(path).dir().dirName();
        QTreeWidgetItem *&parent = groups[group];
        if (!parent) {
            parent = new QTreeWidgetItem(mNotationsGroups, {group});
            parent->setFlags(Qt::ItemIsEnabled);
        }
        auto *item = new QTreeWidgetItem(parent, {QFileInfo(path).completeBaseName()});
        item->setData(0, Qt::UserRole, path);
        item->setToolTip(0, path);
    }
    if (mNotationsGroups->topLevelItemCount() > 0)
        mNotationsGroups->topLevelItem(0)->setExpanded(true);
}

void QntColorSchemeEditor::outlineViewAction()
{
    const QList<QTreeWidgetItem *> selected = OutlineViewAdditions::selectedItems(mNotationsGroups);
    if (selected.size() != 1)
        return;
    openNotationAtPath(selected.first()->data(0, Qt::UserRole).toString());
}

bool QntColorSchemeEditor::openNotationAtPath(const QString &path)
{
    if (!path.endsWith(QLatin1String(".db")) || !QFileInfo(path).isFile())
        return false;
    QntNotationRef notation = QntNotation::notationWithPath(path);
    if (!notation || !notation->isValid()) {
        setStatus(notation ? notation->errorMessage() : tr("The notation cannot be opened."));
        return false;
    }
    closeAttachedEditorWindow();
    _notation = notation;
    _exportButton->setEnabled(true);
    setStatus(QString());
    rebuild();
    return true;
}

void QntColorSchemeEditor::rebuild()
{
    if (!_notation)
        return;
    _colorSchemes = _notation->colorSchemesDic();
    m_reordering = true;
    _colorSchemesTableViewObj->clear();
    for (const QVariant &scheme : _colorSchemes)
        _colorSchemesTableViewObj->addItem(scheme.toMap().value(QStringLiteral("Name")).toString());
    m_reordering = false;
    m_colorCache.clear();
    for (const QString &type : itemTypes())
        _notation->populateCache(m_colorCache, type);
    for (const QString &type : itemTypes())
        populateMatrix(type);
    rebuildPreview();
}

void QntColorSchemeEditor::rebuildPreview()
{
    if (!_notation || !m_previewDrawing)
        return;
    VRDrawing &drawing = *m_previewDrawing;
    drawing.setCurrentNotation(_notation);
    drawing.setDrawingSize(QSizeF(2000, 2000));
    m_previewWidth = 0;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return;
    // The preview is never undone: its changes are not recorded.
    VRUndoManager *undo = drawing.undoManager();
    if (undo)
        undo->disableUndoRegistration();
    layer->selectAll();
    layer->deleteSelection();
    double y = 100;
    if (_shapesCheckbox->isChecked())
        y = put(_numberTestShapesPopupButton->currentText().toInt(), _notation->shapeElementsList(),
                QPointF(100, 100), true)
                .y();
    if (_arrowheadsCheckbox->isChecked()) {
        for (const QntConnectorRecord &connector : _notation->connectorsList(0)) {
            QList<QntElementRecord> heads;
            for (const QntArrowheadRecord &head : _notation->arrowheadsList(connector.connectorId))
                heads.append(QntElementRecord{head.elementId, {}, {}, {}, nullptr, -1});
            y = put(int(heads.size()), heads, QPointF(100, y + 100), false).y();
        }
    }
    if (_arrowsCheckbox->isChecked())
        put(1, _notation->arrowElementsList(), QPointF(100, y + 100), false);
    if (undo)
        undo->enableUndoRegistration();
    drawing.setNeedsDisplay(true);
    _previewDrawingView->update();
}

QPointF QntColorSchemeEditor::put(int count, const QList<QntElementRecord> &list, QPointF start,
                                  bool optionName)
{
    VRDrawing &drawing = *m_previewDrawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    QPointF next = start;
    const QList<QntColorSchemeData> schemes = _notation->colorSchemesList();
    VRUndoManager *undo = drawing.undoManager();
    if (undo)
        undo->disableUndoRegistration();
    for (int i = 0; i < count && i < list.size() && layer; ++i) {
        const double y = start.y() + 100.0 * i;
        double x = start.x();
        for (const QntColorSchemeData &scheme : schemes) {
            const VRObjectRef made =
                QntElement::createWithElementId(list.at(i).elementId, _notation->notationPath());
            auto element = std::dynamic_pointer_cast<QntElement>(made);
            if (!element)
                break;
            const QSizeF size =
                element->originalSize().isEmpty() ? QSizeF(60, 40) : element->originalSize();
            element->setSize(size);
            element->setLocation(QPointF(x + size.width() / 2, y + size.height() / 2));
            element->setString(
                QStringLiteral("%1.%2").arg(list.at(i).elementId).arg(scheme.schemeId),
                QStringLiteral("ID"));
            if (optionName) {
                element->addTextShape();
                element->setTextContent(QTextDocumentFragment::fromPlainText(scheme.name));
            }
            layer->addObject(element);
            element->replaceColorScheme(scheme.schemeId);
            x += size.width() + 25;
            m_previewWidth = std::max(m_previewWidth, x + size.width() / 2 + 25);
            drawing.setDrawingSize(QSizeF(m_previewWidth, drawing.drawingSize().height()));
        }
        next = QPointF(x, y);
    }
    if (undo) {
        undo->enableUndoRegistration();
        undo->removeAllActions(); // nothing of the preview is for undoing
    }
    return next;
}

QList<QVariantMap> QntColorSchemeEditor::colorColumnForType(const QString &type,
                                                            qint64 schemeId) const
{
    const QString itemsType = itemsTypeFor(type);
    const QString prefix =
        QStringLiteral("%1.%2.%3.").arg(_notation->notationName()).arg(schemeId).arg(itemsType);
    QList<std::pair<qint64, QString>> keys;
    for (auto it = m_colorCache.cbegin(); it != m_colorCache.cend(); ++it) {
        if (!it.key().startsWith(prefix, Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint64 index = it.key().mid(prefix.size()).toLongLong(&ok);
        if (ok)
            keys.append({index, it.key()});
    }
    std::sort(keys.begin(), keys.end());
    QList<QVariantMap> column;
    for (const auto &[index, key] : keys) {
        column.append({{QStringLiteral("Color"), m_colorCache.value(key)},
                       {QStringLiteral("colorSchemeId"), QString::number(schemeId)},
                       {QStringLiteral("ColorSchemeItemsType"), itemsType},
                       {QStringLiteral("index"), QString::number(index)}});
    }
    return column;
}

void QntColorSchemeEditor::populateMatrix(const QString &type)
{
    const QList<QntColorSchemeData> schemes = _notation->colorSchemesList();
    QList<QList<QVariantMap>> columns;
    int rows = 0;
    for (const QntColorSchemeData &scheme : schemes) {
        columns.append(colorColumnForType(type, scheme.schemeId));
        rows = std::max(rows, int(columns.last().size()));
    }
    QWidget *host = m_matrixHosts.value(type);
    if (columns.isEmpty() || columns.first().isEmpty()) {
        // A group without colours keeps what it showed; a new notation shows an empty matrix.
        if (QWidget *old = m_matrices.value(type);
            old && old->property("notation") != _notation->absolutePath()) {
            delete old;
            m_matrices.remove(type);
            m_cells.remove(type);
            host->resize(0, 0);
        }
        return;
    }
    const QString itemsType = itemsTypeFor(type);
    auto *matrix = new QWidget(host);
    matrix->setObjectName(type + QStringLiteral("Matrix"));
    matrix->setProperty("notation", _notation->absolutePath());
    QList<QList<QAbstractButton *>> cells(rows + 1);
    auto makeCell = [&](int row, int column) {
        auto *button = new QToolButton(matrix);
        button->setFixedSize(kCellWidth, kCellHeight);
        button->setAutoRaise(true);
        button->setProperty(kMatrixType, type);
        button->setProperty(kPosition, QPoint(column, row));
        // The colours lie 2 apart; the header row and the comment column sit right beside them.
        const int x = column == 0 ? 0 : kCellWidth + (column - 1) * (kCellWidth + kSpacing);
        const int y = row == 0 ? 0 : kCellHeight + (row - 1) * (kCellHeight + kSpacing);
        button->move(x, y);
        cells[row].append(button);
        return button;
    };
    // Row 0: a blank corner, then one header per scheme.
    makeCell(0, 0)->setEnabled(false);
    for (int c = 0; c < schemes.size(); ++c) {
        const QntColorSchemeData &scheme = schemes.at(c);
        QAbstractButton *header = makeCell(0, c + 1);
        header->setText(scheme.name);
        header->setToolTip(scheme.name);
        const QColor background = scheme.colour.isValid() ? scheme.colour : QColor(Qt::white);
        header->setStyleSheet(
            QStringLiteral("QToolButton { background: %1; color: %2; border: none; }")
                .arg(background.name(), background.lightnessF() > 0.55 ? QStringLiteral("black")
                                                                       : QStringLiteral("white")));
        header->setProperty(kRepresented,
                            QVariantMap{{QStringLiteral("colorSchemeId"), scheme.schemeId},
                                        {QStringLiteral("Name"), scheme.name},
                                        {QStringLiteral("Color"), scheme.colour}});
        connect(header, &QAbstractButton::clicked, this,
                [this, header] { schemeMatrixAction(header); });
    }
    // Column 0: the comments of the first scheme's items.
    const QList<QntColorSchemeItemRecord> items =
        _notation->colorSchemesItems(itemsType, schemes.first().schemeId);
    for (int r = 0; r < rows; ++r) {
        QAbstractButton *comment = makeCell(r + 1, 0);
        const QntColorSchemeItemRecord record =
            r < items.size() ? items.at(r) : QntColorSchemeItemRecord{};
        comment->setText(record.comment);
        comment->setToolTip(record.comment);
        comment->setProperty(kRepresented,
                             QVariantMap{{QStringLiteral("colorSchemeItemId"), record.itemId},
                                         {QStringLiteral("comment"), record.comment},
                                         {QStringLiteral("ColorSchemeItemsType"), itemsType},
                                         {QStringLiteral("row"), r}});
        connect(comment, &QAbstractButton::clicked, this,
                [this, comment] { schemeItemMatrixAction(comment); });
    }
    for (int c = 0; c < columns.size(); ++c) {
        for (int r = 0; r < rows; ++r) {
            QAbstractButton *cell = makeCell(r + 1, c + 1);
            if (r >= columns.at(c).size()) {
                cell->setEnabled(false);
                continue;
            }
            const QVariantMap represented = columns.at(c).at(r);
            const QColor colour = represented.value(QStringLiteral("Color")).value<QColor>();
            cell->setIcon(QIcon(cellImage(colour)));
            cell->setIconSize(QSize(kCellWidth, kCellHeight));
            cell->setCheckable(true);
            cell->setToolTip(hexOfCellColour(colour));
            cell->setProperty(kRepresented, represented);
            connect(cell, &QAbstractButton::clicked, this,
                    [this, cell] { colorMatrixAction(cell); });
        }
    }
    const int schemeColumns = int(columns.size());
    matrix->setFixedSize(kCellWidth + schemeColumns * kCellWidth + (schemeColumns - 1) * kSpacing,
                         kCellHeight + rows * kCellHeight + (rows - 1) * kSpacing);
    delete m_matrices.value(type);
    m_matrices.insert(type, matrix);
    m_cells.insert(type, cells);
    matrix->move(0, 0);
    host->resize(matrix->size());
    matrix->show();
}

QWidget *QntColorSchemeEditor::matrix(const QString &type) const
{
    return m_matrices.value(type);
}

QAbstractButton *QntColorSchemeEditor::cell(const QString &type, int row, int column) const
{
    const QList<QList<QAbstractButton *>> cells = m_cells.value(type);
    if (row < 0 || row >= cells.size() || column < 0 || column >= cells.at(row).size())
        return nullptr;
    return cells.at(row).at(column);
}

int QntColorSchemeEditor::rowCount(const QString &type) const
{
    return int(m_cells.value(type).size());
}

int QntColorSchemeEditor::columnCount(const QString &type) const
{
    const auto cells = m_cells.value(type);
    return cells.isEmpty() ? 0 : int(cells.first().size());
}

AXAttachedWindow *QntColorSchemeEditor::attachedEditorWindow() const
{
    return _attachedEditorWindow;
}

QString QntColorSchemeEditor::matrixTypeOf(const QAbstractButton *cell) const
{
    return cell ? cell->property(kMatrixType).toString() : QString();
}

QPoint QntColorSchemeEditor::positionOf(const QAbstractButton *cell) const
{
    return cell ? cell->property(kPosition).toPoint() : QPoint(-1, -1);
}

// ---- attached editors ---------------------------------------------------------------------------

void QntColorSchemeEditor::createEditorWithView(QWidget *view, QAbstractButton *cell)
{
    closeAttachedEditorWindow();
    _selectedCell = cell;
    view->adjustSize();
    const QPoint anchor = cell->mapTo(this, QPoint(cell->width(), cell->height() / 2));
    AXAttachedWindow *window =
        AXAttachedWindow::create(view, anchor, this, AXAttachedWindow::kRight, 0.0);
    if (!window)
        return;
    window->setBorderColor(Qt::white);
    window->setBackgroundColor(palette().color(QPalette::Window));
    window->setViewMargin(1);
    window->setBorderWidth(1);
    window->setCornerRadius(5);
    window->setHasArrow(1.0);
    window->setDrawsRoundCornerBesideArrow(1.0);
    window->setArrowBaseWidth(10);
    window->setArrowHeight(10);
    window->addToParentWindow(this);
    window->orderFront(true);
    _attachedEditorWindow = window;
}

void QntColorSchemeEditor::closeAttachedEditorWindow()
{
    if (_attachedEditorWindow) {
        AXAttachedWindow *window = _attachedEditorWindow;
        _attachedEditorWindow = nullptr;
        window->hide();
        window->deleteLater();
    }
    if (_selectedCell && _selectedCell->isCheckable())
        _selectedCell->setChecked(false);
    _selectedCell = nullptr;
}

void QntColorSchemeEditor::setStatus(const QString &status)
{
    m_status = status;
    if (_statusLabel)
        _statusLabel->setText(status);
    m_windowStatus->setText(status);
}

bool QntColorSchemeEditor::written(const VRResult<void> &result)
{
    if (result)
        return true;
    const QString message =
        tr("The notation database was not changed: %1").arg(result.errorMessage());
    setStatus(message);
    if (m_alert)
        m_alert(message);
    else
        QMessageBox::warning(this, windowTitle(), message);
    return false;
}

bool QntColorSchemeEditor::confirm(const QString &question)
{
    if (m_confirm)
        return m_confirm(question);
    return QMessageBox::question(this, windowTitle(), question,
                                 QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
           == QMessageBox::Yes;
}

QWidget *QntColorSchemeEditor::makeColorEditor(const QVariantMap &cell, const QString &type)
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("viewColorEditor"));
    auto *form = new QFormLayout(view);
    const QColor colour = cell.value(QStringLiteral("Color")).value<QColor>();
    _colorWell = new QntColorWell(view);
    _colorWell->setColor(colour);
    _colorHexTextField = new QLineEdit(hexOfCellColour(colour), view);
    _colorHexTextField->setObjectName(QStringLiteral("colorHexTextField"));
    auto *row = new QHBoxLayout;
    row->addWidget(_colorWell);
    row->addWidget(_colorHexTextField);
    form->addRow(tr("Colour"), row);
    form->addRow(tr("Scheme"), new QLabel(cell.value(QStringLiteral("colorSchemeId")).toString()));
    form->addRow(tr("Group"),
                 new QLabel(cell.value(QStringLiteral("ColorSchemeItemsType")).toString()));
    form->addRow(tr("Index"), new QLabel(cell.value(QStringLiteral("index")).toString()));
    _TableCellBackgroundColorCheckbox = new QCheckBox(tr("Table cell background"), view);
    _TableGridColorCheckbox = new QCheckBox(tr("Table grid"), view);
    _DefaultCheckbox = new QCheckBox(tr("Default text colour"), view);
    for (QCheckBox *box : {_TableCellBackgroundColorCheckbox.data(), _TableGridColorCheckbox.data(),
                           _DefaultCheckbox.data()}) {
        box->setEnabled(false);
        form->addRow(box);
        connect(box, &QCheckBox::clicked, this, [this, box] { checkboxAction(box); });
    }
    const QString hex = hexOfCellColour(colour);
    const qint64 schemeId = cell.value(QStringLiteral("colorSchemeId")).toLongLong();
    if (type == QLatin1String("Fill")) {
        _TableCellBackgroundColorCheckbox->setEnabled(true);
        _TableCellBackgroundColorCheckbox->setChecked(
            _notation->isFillTableCellBackgroundColor(hex, schemeId));
    } else if (type == QLatin1String("Stroke")) {
        _TableGridColorCheckbox->setEnabled(true);
        _TableGridColorCheckbox->setChecked(_notation->isStrokeTableGridColor(hex, schemeId));
    } else if (type == QLatin1String("Text")) {
        _DefaultCheckbox->setEnabled(true);
        _DefaultCheckbox->setChecked(hexOfCellColour(_notation->defaultColorText(schemeId)) == hex);
    }
    auto *apply = new QPushButton(tr("Apply"), view);
    apply->setObjectName(QStringLiteral("applyColorButton"));
    form->addRow(apply);
    _statusLabel = new QLabel(view);
    _statusLabel->setObjectName(QStringLiteral("statusLabel"));
    form->addRow(_statusLabel);
    connect(apply, &QPushButton::clicked, this, &QntColorSchemeEditor::applyColorAction);
    connect(_colorHexTextField, &QLineEdit::returnPressed, this,
            &QntColorSchemeEditor::applyColorAction);
    connect(_colorWell, &QntColorWell::colorChanged, this, [this](const QColor &picked) {
        if (_colorHexTextField)
            _colorHexTextField->setText(hexOfCellColour(picked));
    });
    return view;
}

QWidget *QntColorSchemeEditor::makeSchemeEditor(const QVariantMap &cell)
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("viewSchemeEditor"));
    auto *form = new QFormLayout(view);
    form->addRow(tr("Scheme"), new QLabel(cell.value(QStringLiteral("colorSchemeId")).toString()));
    _csColorSchemeNameTextField =
        new QLineEdit(cell.value(QStringLiteral("Name")).toString(), view);
    form->addRow(tr("Name"), _csColorSchemeNameTextField);
    const QColor colour = cell.value(QStringLiteral("Color")).value<QColor>();
    auto *well = new QntColorWell(view);
    well->setColor(colour);
    _csColorSchemeColorHexTextField = new QLineEdit(hexOfCellColour(colour), view);
    auto *row = new QHBoxLayout;
    row->addWidget(well);
    row->addWidget(_csColorSchemeColorHexTextField);
    form->addRow(tr("Colour"), row);
    auto *buttons = new QHBoxLayout;
    auto *apply = new QPushButton(tr("Apply"), view);
    auto *add = new QPushButton(tr("Duplicate"), view);
    auto *remove = new QPushButton(tr("Remove"), view);
    buttons->addWidget(apply);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    form->addRow(buttons);
    _statusLabel = new QLabel(view);
    form->addRow(_statusLabel);
    connect(well, &QntColorWell::colorChanged, this, [this](const QColor &picked) {
        if (_csColorSchemeColorHexTextField)
            _csColorSchemeColorHexTextField->setText(hexOfCellColour(picked));
    });
    connect(apply, &QPushButton::clicked, this, &QntColorSchemeEditor::csApplyAction);
    connect(add, &QPushButton::clicked, this, &QntColorSchemeEditor::addSchemeAction);
    connect(remove, &QPushButton::clicked, this, &QntColorSchemeEditor::removeSchemeAction);
    return view;
}

QWidget *QntColorSchemeEditor::makeSchemeItemEditor(const QVariantMap &cell)
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("viewSchemeItemEditor"));
    auto *form = new QFormLayout(view);
    form->addRow(tr("Item"),
                 new QLabel(cell.value(QStringLiteral("colorSchemeItemId")).toString()));
    _siSchemeItemCommentTextField =
        new QLineEdit(cell.value(QStringLiteral("comment")).toString(), view);
    form->addRow(tr("Comment"), _siSchemeItemCommentTextField);
    auto *buttons = new QHBoxLayout;
    auto *apply = new QPushButton(tr("Apply"), view);
    auto *add = new QPushButton(tr("Add Item"), view);
    auto *remove = new QPushButton(tr("Remove Item"), view);
    buttons->addWidget(apply);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    form->addRow(buttons);
    _statusLabel = new QLabel(view);
    form->addRow(_statusLabel);
    connect(apply, &QPushButton::clicked, this, &QntColorSchemeEditor::siApplyAction);
    connect(add, &QPushButton::clicked, this, &QntColorSchemeEditor::addSchemeItemAction);
    connect(remove, &QPushButton::clicked, this, &QntColorSchemeEditor::removeSchemeItemAction);
    return view;
}

void QntColorSchemeEditor::colorMatrixAction(QAbstractButton *cell)
{
    if (openCellEditor(cell,
                       [this, cell](const QVariantMap &represented) {
                           return makeColorEditor(represented, matrixTypeOf(cell));
                       })
        && cell->isCheckable())
        cell->setChecked(true);
}

void QntColorSchemeEditor::schemeMatrixAction(QAbstractButton *cell)
{
    openCellEditor(
        cell, [this](const QVariantMap &represented) { return makeSchemeEditor(represented); });
}

void QntColorSchemeEditor::schemeItemMatrixAction(QAbstractButton *cell)
{
    openCellEditor(
        cell, [this](const QVariantMap &represented) { return makeSchemeItemEditor(represented); });
}

bool QntColorSchemeEditor::openCellEditor(
    QAbstractButton *cell, const std::function<QWidget *(const QVariantMap &)> &makeEditor)
{
    const QVariantMap represented = cell ? cell->property(kRepresented).toMap() : QVariantMap();
    if (represented.isEmpty() || !_notation)
        return false;
    createEditorWithView(makeEditor(represented), cell);
    return true;
}

QList<QVariantMap> QntColorSchemeEditor::rowOfSelectedCell() const
{
    QList<QVariantMap> row;
    const QString type = matrixTypeOf(_selectedCell);
    const int y = positionOf(_selectedCell).y();
    for (int column = 1; column < columnCount(type); ++column) {
        const QAbstractButton *target = cell(type, y, column);
        const QVariantMap represented =
            target ? target->property(kRepresented).toMap() : QVariantMap();
        if (!represented.isEmpty())
            row << represented;
    }
    return row;
}

void QntColorSchemeEditor::showWritten(bool closeColourPanel)
{
    setStatus(tr("Updated"));
    closeAttachedEditorWindow();
    if (closeColourPanel)
        ColorPanel::sharedColorPanel().orderOut();
    QntColorScheme::releaseColorSchemeCache();
    rebuild();
}

// ---- writers ------------------------------------------------------------------------------------

void QntColorSchemeEditor::applyColorAction()
{
    if (!_selectedCell || !_colorHexTextField || !_notation)
        return;
    const QVariantMap cell = _selectedCell->property(kRepresented).toMap();
    const QString typed = _colorHexTextField->text().trimmed();
    const QColor parsed = SVGColourConverter::colorWithHexRGB(typed);
    if (typed != QLatin1String("#") && !parsed.isValid()) {
        setStatus(tr("“%1” is not a colour (#RRGGBB).").arg(typed));
        return;
    }
    const QString wanted = typed == QLatin1String("#") ? typed : hexOfCellColour(parsed);
    const QString type = matrixTypeOf(_selectedCell);
    const qint64 schemeId = cell.value(QStringLiteral("colorSchemeId")).toLongLong();
    for (const QVariantMap &other : colorColumnForType(type, schemeId)) {
        if (hexOfCellColour(other.value(QStringLiteral("Color")).value<QColor>())
                .compare(wanted, Qt::CaseInsensitive)
            == 0) {
            setStatus(tr("Color exists"));
            return;
        }
    }
    const VRResult<void> result = _notation->updateColorSchemesItemsTable(
        {{QStringLiteral("tableName"), cell.value(QStringLiteral("ColorSchemeItemsType"))},
         {QStringLiteral("index"), cell.value(QStringLiteral("index"))},
         {QStringLiteral("colorSchemeId"), cell.value(QStringLiteral("colorSchemeId"))},
         {QStringLiteral("Color"),
          hexOfCellColour(cell.value(QStringLiteral("Color")).value<QColor>())},
         {QStringLiteral("paramColor"), wanted}});
    if (!written(result))
        return;
    showWritten(true);
}

void QntColorSchemeEditor::checkboxAction(QCheckBox *box)
{
    if (!_selectedCell || !_notation || !box)
        return;
    const QVariantMap cell = _selectedCell->property(kRepresented).toMap();
    QVariantMap params{
        {QStringLiteral("tableName"), cell.value(QStringLiteral("ColorSchemeItemsType"))},
        {QStringLiteral("index"), cell.value(QStringLiteral("index"))},
        {QStringLiteral("colorSchemeId"), cell.value(QStringLiteral("colorSchemeId"))},
        {QStringLiteral("Color"),
         hexOfCellColour(cell.value(QStringLiteral("Color")).value<QColor>())}};
    const QString value = box->isChecked() ? QStringLiteral("YES") : QStringLiteral("NO");
    if (box == _TableCellBackgroundColorCheckbox)
        params.insert(QStringLiteral("paramTableCellBackgroundColor"), value);
    else if (box == _TableGridColorCheckbox)
        params.insert(QStringLiteral("paramTableGridColor"), value);
    else
        params.insert(QStringLiteral("paramDefault"), value);
    if (!written(_notation->updateColorSchemesItemsTable(params))) {
        const QSignalBlocker block(box);
        box->setChecked(!box->isChecked());
        return;
    }
    QntColorScheme::releaseColorSchemeCache();
    setStatus(tr("Updated"));
}

void QntColorSchemeEditor::csApplyAction()
{
    if (!_selectedCell || !_notation || !_csColorSchemeNameTextField)
        return;
    const QVariantMap cell = _selectedCell->property(kRepresented).toMap();
    const QString name = _csColorSchemeNameTextField->text().trimmed();
    if (name.isEmpty()) {
        setStatus(tr("A scheme needs a name."));
        return;
    }
    const QString hex = _csColorSchemeColorHexTextField->text().trimmed();
    if (hex != QLatin1String("#") && !SVGColourConverter::colorWithHexRGB(hex).isValid()) {
        setStatus(tr("“%1” is not a colour (#RRGGBB).").arg(hex));
        return;
    }
    if (!written(_notation->updateColorSchemesTable(
            {{QStringLiteral("colorSchemeId"), cell.value(QStringLiteral("colorSchemeId"))},
             {QStringLiteral("paramName"), name},
             {QStringLiteral("paramIconColor"), hex}})))
        return;
    showWritten(true);
}

void QntColorSchemeEditor::addSchemeAction()
{
    if (!_selectedCell || !_notation)
        return;
    const qint64 schemeId =
        _selectedCell->property(kRepresented).toMap().value("colorSchemeId").toLongLong();
    const VRResult<qint64> made = _notation->duplicateColorScheme(schemeId);
    if (!made) {
        written(VRResult<void>(VRError{made.errorMessage()}));
        return;
    }
    showWritten(false);
}

void QntColorSchemeEditor::removeSchemeAction()
{
    if (!_selectedCell || !_notation)
        return;
    const QVariantMap cell = _selectedCell->property(kRepresented).toMap();
    if (!confirm(tr("Remove the scheme “%1” from the notation database?")
                     .arg(cell.value(QStringLiteral("Name")).toString())))
        return;
    if (!written(_notation->removeColorScheme(cell.value("colorSchemeId").toLongLong())))
        return;
    showWritten(false);
}

void QntColorSchemeEditor::siApplyAction()
{
    if (!_selectedCell || !_notation || !_siSchemeItemCommentTextField)
        return;
    const QString comment = _siSchemeItemCommentTextField->text();
    for (const QVariantMap &represented : rowOfSelectedCell()) {
        if (!written(_notation->updateColorSchemesItemsTable(
                {{QStringLiteral("colorSchemeId"), represented.value("colorSchemeId")},
                 {QStringLiteral("index"), represented.value("index")},
                 {QStringLiteral("paramComment"), comment},
                 {QStringLiteral("Color"),
                  hexOfCellColour(represented.value("Color").value<QColor>())},
                 {QStringLiteral("tableName"), represented.value("ColorSchemeItemsType")}})))
            return;
    }
    setStatus(tr("Updated"));
    closeAttachedEditorWindow();
    ColorPanel::sharedColorPanel().orderOut();
    rebuild();
}

void QntColorSchemeEditor::addSchemeItemAction()
{
    if (!_selectedCell || !_notation)
        return;
    QList<qint64> ids;
    for (const QntColorSchemeData &scheme : _notation->colorSchemesList())
        ids << scheme.schemeId;
    const QString itemsType = _selectedCell->property(kRepresented)
                                  .toMap()
                                  .value(QStringLiteral("ColorSchemeItemsType"))
                                  .toString();
    if (!written(_notation->addColorSchemesItems(ids, itemsType)))
        return;
    showWritten(false);
}

void QntColorSchemeEditor::removeSchemeItemAction()
{
    if (!_selectedCell || !_notation)
        return;
    if (!confirm(tr("Remove this colour from every scheme of the notation database?")))
        return;
    for (const QVariantMap &represented : rowOfSelectedCell()) {
        if (!written(_notation->removeColorSchemesItems(
                represented.value("ColorSchemeItemsType").toString(),
                represented.value("colorSchemeId").toLongLong(),
                hexOfCellColour(represented.value("Color").value<QColor>()))))
            break;
    }
    closeAttachedEditorWindow();
    QntColorScheme::releaseColorSchemeCache();
    rebuild();
}

void QntColorSchemeEditor::moveScheme(int from, int to)
{
    if (!_notation || from < 0 || from >= _colorSchemes.size() || to < 0
        || to >= _colorSchemes.size() || from == to) {
        rebuild();
        return;
    }
    QVariantList ordered = _colorSchemes;
    ordered.move(from, to);
    if (written(_notation->updateColorSchemesOrderNumber(ordered)))
        setStatus(tr("Updated"));
    QntColorScheme::releaseColorSchemeCache();
    // Rebuilt after the list has finished its own move.
    QMetaObject::invokeMethod(this, &QntColorSchemeEditor::rebuild, Qt::QueuedConnection);
}

void QntColorSchemeEditor::exportAction()
{
    if (!_notation)
        return;
    const QString path =
        QFileInfo(_notation->absolutePath()).absolutePath() + QLatin1Char('/') + exportFileName();
    const VRResult<void> result = _notation->exportColorSchemes(path);
    if (!result) {
        const QString message =
            tr("The colour schemes could not be exported: %1").arg(result.errorMessage());
        setStatus(message);
        if (m_alert)
            m_alert(message);
        else
            QMessageBox::warning(this, windowTitle(), message);
        return;
    }
    setStatus(tr("Exported to %1").arg(QDir::toNativeSeparators(path)));
}
