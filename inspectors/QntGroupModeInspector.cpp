#include "inspectors/QntGroupModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntSegmentedCell.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextBlock.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"

#include <QApplication>
#include <QCheckBox>
#include <QToolTip>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr double kRoomAbovePanes = 76.0;

// The largest length a size or position field takes, in points.
constexpr double kLargestLength = 1.0e6;

const char *const kPaneNames[] = {"ElementText", "ElementColor", "ConnectorText", "ConnectorStyle",
                                  "TableStyle"};

QString arrowIdAt(const QntConnector &connector, bool start)
{
    const QntConnectorEndPoint *end = start ? connector.startEndPoint() : connector.endEndPoint();
    const QntConnectorArrow *arrow = end ? end->arrow() : nullptr;
    return arrow ? arrow->ID() : QString();
}

bool isThinPlainConnector(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return false;
    const auto &c = static_cast<const QntConnector &>(*object);
    return c.mode() == 0 && !c.ID().endsWith(QStringLiteral("Thick"))
           && (object->isMemberOfClass(QntConnector::staticClass())
               || object->isKindOf<QntFreeConnector>());
}

// Every run of a cell's text takes the changed format, and the block its font.
void changeCellText(QntTextCell &cell, const std::function<void(QFont &)> &changeFont)
{
    VRTextBlock block = cell.textBlock();
    QFont font = block.font();
    changeFont(font);
    block.setFont(font);
    if (!block.isEmpty()) {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertFragment(block.fragment());
        cursor.select(QTextCursor::Document);
        QTextCharFormat format;
        format.setFontFamilies(QStringList{font.family()});
        format.setFontPointSize(font.pointSizeF());
        cursor.mergeCharFormat(format);
        block.setFragment(QTextDocumentFragment(&document));
    }
    cell.setTextBlock(block);
}

// Every run of a text takes `format` over its own; a run's own size or family would otherwise
// hide a change of the text's font.
void mergeRuns(VRTextBlock &block, const QTextCharFormat &format)
{
    if (block.isEmpty())
        return;
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertFragment(block.fragment());
    cursor.select(QTextCursor::Document);
    cursor.mergeCharFormat(format);
    block.setFragment(QTextDocumentFragment(&document));
}

void mergeTextRuns(const VRObjectRef &object, const QTextCharFormat &format)
{
    if (object->isKindOf<QntElement>()) {
        if (QntTextShape *text = static_cast<QntElement &>(*object).text()) {
            VRTextBlock block = text->textBlock();
            mergeRuns(block, format);
            text->setTextBlock(block);
        }
    } else if (object->isKindOf<QntConnector>()) {
        auto &connector = static_cast<QntConnector &>(*object);
        VRTextBlock block = connector.label();
        mergeRuns(block, format);
        connector.setLabel(block);
    }
}

QLineEdit *lengthField(const QString &name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setMaximumWidth(80);
    return field;
}

} // namespace

QString QntGroupModeInspector::paneName(int tag)
{
    return tag >= 0 && tag < 5 ? QString::fromLatin1(kPaneNames[tag]) : QString();
}

QntGroupModeInspector::QntGroupModeInspector(QObject *parent)
    : VRInspectorBase(QStringLiteral("GroupModeInspector"), parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(
        QStringLiteral("QXPopoverDidClose"), nullptr, [this](const Notification &n) {
            if (!_attachedWindow || n.object != _attachedWindow.data())
                return;
            _lastAttachedPoint = _attachedWindow->point();
            // The panel's view outlives the window that showed it.
            if (_viewMain)
                _viewMain->setParent(nullptr);
            _attachedWindow = nullptr;
        }));
    m_observers.push_back(
        center.addObserver(kQntCloseAttachedWindowsNotification, nullptr,
                           [this](const Notification &) { closeAttachedWindows(); }));
    m_observers.push_back(center.addObserver(kVRDrawingUnitsDidChange, nullptr,
                                             [this](const Notification &) { refreshControls(); }));
}

QntGroupModeInspector::QntGroupModeInspector(VREmbedded, QWidget *hostWindow, VRDrawing *drawing)
    : VRInspectorBase(VREmbedded{}, hostWindow)
    , m_drawing(drawing)
{
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRLayerSelectionDidChange, nullptr, [this](const Notification &) { refreshControls(); }));
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kVRDrawingUnitsDidChange, nullptr, [this](const Notification &) { refreshControls(); }));
}

VRDrawing *QntGroupModeInspector::targetDrawing() const
{
    return m_drawing ? m_drawing.data() : currentDrawing();
}

QWidget *QntGroupModeInspector::textSectionView()
{
    mainView();
    return _panes[ElementText];
}

QWidget *QntGroupModeInspector::geometrySectionView()
{
    mainView();
    return _geometryView;
}

QntGroupModeInspector::~QntGroupModeInspector()
{
    m_observers.clear();
    if (_attachedWindow) {
        if (_viewMain)
            _viewMain->setParent(nullptr);
        delete _attachedWindow.data();
    }
    delete _viewMain.data();
}

QWidget *QntGroupModeInspector::mainView()
{
    if (!_viewMain)
        buildViews();
    return _viewMain;
}

// ---------------------------------------------------------------- views

void QntGroupModeInspector::buildViews()
{
    auto *main = new QntEscapedView;
    main->setObjectName(QStringLiteral("groupModeInspector"));
    _viewMain = main;
    auto *column = new QVBoxLayout(main);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    _segControl = new QntSegmentedCell(main);
    _segControl->setObjectName(QStringLiteral("groupModeSegments"));
    const QString titles[] = {tr("Text"), tr("Colours"), tr("Connector Text"), tr("Connectors"),
                              tr("Tables")};
    for (int tag = 0; tag < 5; ++tag)
        _segControl->addSegment(titles[tag], tag);
    column->addWidget(_segControl);
    _messageLabel = new QLabel(main);
    _messageLabel->setObjectName(QStringLiteral("groupModeMessage"));
    _messageLabel->setStyleSheet(QStringLiteral("color: #ffb0b0;"));
    _messageLabel->setWordWrap(true);
    _messageLabel->hide();
    column->addWidget(_messageLabel);
    _viewBase = new QStackedWidget(main);
    column->addWidget(_viewBase, 1);
    _panes[ElementText] = buildTextPane(paneName(ElementText), false);
    _panes[ElementColor] = buildColorPane();
    _panes[ConnectorText] = buildTextPane(paneName(ConnectorText), true);
    _panes[ConnectorStyle] = buildConnectorStylePane();
    _panes[TableStyle] = buildTablePane();
    for (QWidget *pane : _panes)
        _viewBase->addWidget(pane);
    main->setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: white; }"));
    connect(_segControl, &QntSegmentedCell::segmentClicked, this,
            [this](int tag) { selectPaneWithTag(tag); });
    m_shownTag = -1;
    selectPaneWithTag(-1);
}

QWidget *QntGroupModeInspector::buildTextPane(const QString &name, bool connectors)
{
    auto *pane = new QWidget;
    pane->setObjectName(name);
    auto *form = new QFormLayout(pane);
    form->setContentsMargins(12, 8, 12, 8);
    auto *family = new QFontComboBox(pane);
    family->setObjectName(connectors ? QStringLiteral("connFontFamily")
                                     : QStringLiteral("elemFontFamily"));
    auto *size = new QLineEdit(pane);
    size->setObjectName(connectors ? QStringLiteral("connFontSize")
                                   : QStringLiteral("elemFontSize"));
    size->setMaximumWidth(80);
    form->addRow(tr("Font"), family);
    form->addRow(tr("Size"), size);
    auto *faces = new QWidget(pane);
    auto *row = new QHBoxLayout(faces);
    row->setContentsMargins(0, 0, 0, 0);
    QCheckBox **boxes = connectors ? _connTypeface : _elemTypeface;
    const QString faceTitles[] = {tr("Bold"), tr("Italic"), tr("Underline")};
    for (int k = 0; k < 3; ++k) {
        boxes[k] = new QCheckBox(faceTitles[k], faces);
        boxes[k]->setObjectName((connectors ? QStringLiteral("conn") : QStringLiteral("elem"))
                                + faceTitles[k]);
        row->addWidget(boxes[k]);
    }
    form->addRow(tr("Typeface"), faces);
    if (connectors) {
        _connFontFamilyPopUpButton = family;
        _connFontSizeTextField = size;
        connect(family, &QFontComboBox::textActivated, this,
                [this](const QString &f) { connectorFontFamilyAction(f); });
        connect(size, &QLineEdit::returnPressed, this,
                [this, size] { connectorFontSizeAction(size->text()); });
    } else {
        _elemFontFamilyPopUpButton = family;
        _elemFontSizeTextField = size;
        connect(family, &QFontComboBox::textActivated, this,
                [this](const QString &f) { elementFontFamilyAction(f); });
        connect(size, &QLineEdit::returnPressed, this,
                [this, size] { elementFontSizeAction(size->text()); });
    }
    for (int k = 0; k < 3; ++k) {
        connect(boxes[k], &QCheckBox::clicked, this, [this, boxes, connectors] {
            const bool b = boxes[0]->isChecked(), i = boxes[1]->isChecked(),
                       u = boxes[2]->isChecked();
            if (connectors)
                connectorFontTypefaceAction(b, i, u);
            else
                elementFontTypefaceAction(b, i, u);
        });
    }
    return pane;
}

QWidget *QntGroupModeInspector::buildColorPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ElementColor));
    auto *form = new QFormLayout(pane);
    _schemePopUpButton = new QComboBox(pane);
    _schemePopUpButton->setObjectName(QStringLiteral("colorScheme"));
    form->addRow(tr("Colour scheme"), _schemePopUpButton);
    connect(_schemePopUpButton, &QComboBox::activated, this, [this](int index) {
        const QVariant id = _schemePopUpButton->itemData(index);
        if (id.isValid())
            colorMatrixAction(id.toLongLong());
    });
    _transparencySlider = new QSlider(Qt::Horizontal, pane);
    _transparencySlider->setObjectName(QStringLiteral("transparency"));
    _transparencySlider->setRange(0, 100);
    _transparencySlider->setValue(100);
    _transparencySlider->setTracking(false);
    form->addRow(tr("Opacity"), _transparencySlider);
    connect(_transparencySlider, &QSlider::valueChanged, this,
            [this](int value) { transparencyAction(value / 100.0); });

    _geometryView = new QWidget(pane);
    _geometryView->setObjectName(QStringLiteral("groupGeometry"));
    auto *geometryForm = new QFormLayout(_geometryView);
    geometryForm->setContentsMargins(12, 4, 12, 4);
    auto *geometry = new QWidget(_geometryView);
    auto *grid = new QGridLayout(geometry);
    grid->setContentsMargins(0, 0, 0, 0);
    _widthTextbox = lengthField(QStringLiteral("widthTextbox"), geometry);
    _heightTextbox = lengthField(QStringLiteral("heightTextbox"), geometry);
    _xCenterTextbox = lengthField(QStringLiteral("xCenterTextbox"), geometry);
    _yCenterTextbox = lengthField(QStringLiteral("yCenterTextbox"), geometry);
    const QString captions[] = {tr("Width"), tr("Height"), tr("X"), tr("Y")};
    QLineEdit *fields[] = {_widthTextbox, _heightTextbox, _xCenterTextbox, _yCenterTextbox};
    for (int k = 0; k < 4; ++k) {
        grid->addWidget(new QLabel(captions[k], geometry), k / 2, (k % 2) * 3);
        grid->addWidget(fields[k], k / 2, (k % 2) * 3 + 1);
        _unitLabels[k] = new QLabel(geometry);
        grid->addWidget(_unitLabels[k], k / 2, (k % 2) * 3 + 2);
    }
    geometryForm->addRow(geometry);
    connect(_widthTextbox, &QLineEdit::returnPressed, this,
            [this] { widthAction(_widthTextbox->text()); });
    connect(_heightTextbox, &QLineEdit::returnPressed, this,
            [this] { heightAction(_heightTextbox->text()); });
    connect(_xCenterTextbox, &QLineEdit::returnPressed, this,
            [this] { xCenterAction(_xCenterTextbox->text()); });
    connect(_yCenterTextbox, &QLineEdit::returnPressed, this,
            [this] { yCenterAction(_yCenterTextbox->text()); });
    auto *buttons = new QWidget(_geometryView);
    auto *row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    auto *dimension = new QPushButton(tr("Apply Size"), buttons);
    dimension->setObjectName(QStringLiteral("applyDimension"));
    auto *location = new QPushButton(tr("Apply Position"), buttons);
    location->setObjectName(QStringLiteral("applyLocation"));
    auto *largest = new QPushButton(tr("Resize to Largest"), _geometryView);
    largest->setObjectName(QStringLiteral("resizeToLargest"));
    row->addWidget(dimension);
    row->addWidget(location);
    geometryForm->addRow(buttons);
    connect(dimension, &QPushButton::clicked, this, [this] { applyDimensionAction(); });
    connect(location, &QPushButton::clicked, this, [this] { applyLocationAction(); });
    connect(largest, &QPushButton::clicked, this, [this] { resizeToLargest(); });
    _elemResizeEachElementSlider = new QSlider(Qt::Horizontal, _geometryView);
    _elemResizeEachElementSlider->setObjectName(QStringLiteral("resizeEachElement"));
    // Tenths of the shapes' original size, from a tenth to four times.
    _elemResizeEachElementSlider->setRange(1, 40);
    _elemResizeEachElementSlider->setValue(10);
    _elemResizeEachElementSlider->setTracking(false);
    geometryForm->addRow(largest, _elemResizeEachElementSlider);
    auto *defaults = new QPushButton(tr("Apply Defaults"), _geometryView);
    defaults->setObjectName(QStringLiteral("applyDefaults"));
    defaults->setToolTip(tr("Give every selected object its stored defaults"));
    geometryForm->addRow(defaults);
    connect(defaults, &QPushButton::clicked, this, [this] { applyDefaultsAction(); });
    _elemResizeEachElementSlider->setToolTip(tr("Scale each shape from its original size"));
    form->addRow(_geometryView);
    connect(_elemResizeEachElementSlider, &QSlider::valueChanged, this,
            [this](int value) { resizeEachElement(value / 10.0); });
    return pane;
}

QWidget *QntGroupModeInspector::buildConnectorStylePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ConnectorStyle));
    auto *form = new QFormLayout(pane);
    _thinStartArrowheadPopupButton = new QComboBox(pane);
    _thinStartArrowheadPopupButton->setObjectName(QStringLiteral("thinStartArrowhead"));
    _thinEndArrowheadPopupButton = new QComboBox(pane);
    _thinEndArrowheadPopupButton->setObjectName(QStringLiteral("thinEndArrowhead"));
    form->addRow(tr("Start arrowhead"), _thinStartArrowheadPopupButton);
    form->addRow(tr("End arrowhead"), _thinEndArrowheadPopupButton);
    connect(_thinStartArrowheadPopupButton, &QComboBox::activated, this, [this](int index) {
        startArrowheadAction(_thinStartArrowheadPopupButton->itemData(index).toString());
    });
    connect(_thinEndArrowheadPopupButton, &QComboBox::activated, this, [this](int index) {
        endArrowheadAction(_thinEndArrowheadPopupButton->itemData(index).toString());
    });
    _connectorTypePopupButton = new QComboBox(pane);
    _connectorTypePopupButton->setObjectName(QStringLiteral("connectorType"));
    _connectorTypePopupButton->addItem(tr("Choose…"), 0);
    _connectorTypePopupButton->addItem(tr("Zig-zag"), 1);
    _connectorTypePopupButton->addItem(tr("Curve"), 2);
    _connectorTypePopupButton->addItem(tr("Orthogonal"), 3);
    _connectorTypePopupButton->addItem(tr("Straight"), 4);
    _connectorTypePopupButton->addItem(tr("Smart polyline"), 11);
    _connectorTypePopupButton->addItem(tr("Smart orthogonal"), 13);
    form->addRow(tr("Routing"), _connectorTypePopupButton);
    connect(_connectorTypePopupButton, &QComboBox::activated, this, [this](int index) {
        changeConnectorTypeAction(_connectorTypePopupButton->itemData(index).toInt());
        _connectorTypePopupButton->setCurrentIndex(0);
    });
    return pane;
}

QWidget *QntGroupModeInspector::buildTablePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(TableStyle));
    auto *form = new QFormLayout(pane);
    _tableFontFamilyPopUpButton = new QFontComboBox(pane);
    _tableFontFamilyPopUpButton->setObjectName(QStringLiteral("tableFontFamily"));
    _tableFontSizeTextField = new QLineEdit(pane);
    _tableFontSizeTextField->setObjectName(QStringLiteral("tableFontSize"));
    _tableFontSizeTextField->setMaximumWidth(80);
    form->addRow(tr("Cell font"), _tableFontFamilyPopUpButton);
    form->addRow(tr("Cell size"), _tableFontSizeTextField);
    connect(_tableFontFamilyPopUpButton, &QFontComboBox::textActivated, this,
            [this](const QString &f) { tableFontFamilyAction(f); });
    connect(_tableFontSizeTextField, &QLineEdit::returnPressed, this,
            [this] { tableFontSizeAction(_tableFontSizeTextField->text()); });
    return pane;
}

// ---------------------------------------------------------------- opening and panes

QPointF QntGroupModeInspector::positionParentWindow()
{
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!view)
        return {};
    const QPointF centre = view->centredPointInDocView();
    const QPoint global = view->mapToGlobal(centre.toPoint());
    return AXScreen::fromGlobal(QPointF(global));
}

void QntGroupModeInspector::createGroupModeInspectorAtPoint(QPointF point)
{
    if (_attachedWindow)
        return;
    QWidget *view = mainView();
    const QPointF at = _lastAttachedPoint.isNull() ? point : _lastAttachedPoint;
    view->adjustSize();
    AXAttachedWindow *window = AXAttachedWindow::create(view, at, AXAttachedWindow::kBelow, 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("groupModeInspectorWindow"));
    window->setBorderColor(Qt::white);
    window->setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
    window->setViewMargin(1.0);
    window->setBorderWidth(1.0);
    window->setCornerRadius(5.0);
    window->setHasArrow(0.0);
    window->setIsArrowlessMode(true);
    window->setIsSimpleReposition(true);
    window->setCloseOnResignKeyWindow(true);
    VRDrawingDocument *document = currentDocument();
    window->addToParentWindow(document ? document->windowForSheet() : nullptr);
    _attachedWindow = window;
    selectPaneWithTag(-1);
    populateControlsForDrawing(targetDrawing());
}

void QntGroupModeInspector::showGroupModeInspector()
{
    if (!_attachedWindow)
        return;
    _attachedWindow->orderFront(true);
    _attachedWindow->redisplayLater();
}

void QntGroupModeInspector::closeAttachedWindows()
{
    if (!_attachedWindow)
        return;
    _lastAttachedPoint = _attachedWindow->point();
    _attachedWindow->hide();
}

void QntGroupModeInspector::selectPaneWithTag(int tag)
{
    if (!_viewBase)
        return;
    if (tag < 0)
        tag = _segControl->selectedTag();
    if (tag < 0 || tag > 4)
        return;
    _segControl->selectSegmentWithTag(tag);
    _messageLabel->clear();
    _messageLabel->hide();
    const bool first = m_shownTag < 0;
    m_shownTag = tag;
    _viewBase->setCurrentIndex(tag);
    QWidget *pane = _panes[tag];
    const int height = int(kRoomAbovePanes) + pane->sizeHint().height();
    const int width = std::max(_segControl->sizeHint().width() + 16, pane->sizeHint().width() + 16);
    if (!_attachedWindow) {
        _viewMain->resize(width, height);
        return;
    }
    // The panel keeps its top edge where it is.
    const QRect before = _attachedWindow->geometry();
    _viewMain->resize(width, height);
    _attachedWindow->redisplay();
    if (!first && _attachedWindow->isVisible())
        _attachedWindow->move(_attachedWindow->x(), before.top());
}

// ---------------------------------------------------------------- refresh

void QntGroupModeInspector::populateControlsForDrawing(VRDrawing *drawing)
{
    if (!_viewMain || !drawing)
        return;
    if (_schemePopUpButton) {
        _schemePopUpButton->clear();
        _schemePopUpButton->addItem(tr("Choose…"));
        if (const QntNotationRef notation = drawing->currentNotation()) {
            for (const QntColorSchemeData &scheme : notation->colorSchemesList()) {
                QPixmap swatch(14, 14);
                swatch.fill(scheme.colour);
                _schemePopUpButton->addItem(QIcon(swatch), scheme.name, scheme.schemeId);
            }
        }
    }
    for (QCheckBox **boxes : {_elemTypeface, _connTypeface})
        for (int k = 0; k < 3; ++k)
            boxes[k]->setChecked(false);
    fillArrowheadMenus();
    refreshControls();
}

void QntGroupModeInspector::fillArrowheadMenus()
{
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    VRObjectRef first;
    for (const VRObjectRef &object : selection()) {
        if (isThinPlainConnector(object)) {
            first = object;
            break;
        }
    }
    for (QComboBox *menu : {_thinStartArrowheadPopupButton.data(), _thinEndArrowheadPopupButton}) {
        const bool start = menu == _thinStartArrowheadPopupButton;
        menu->clear();
        menu->addItem(tr("None"), QString());
        if (!notation || !first)
            continue;
        const auto &connector = static_cast<const QntConnector &>(*first);
        const QString body =
            connector.ID().isEmpty() ? notation->defaultConnectorId() : connector.ID();
        for (const QntArrowheadRecord &record : notation->arrowheadsList(body)) {
            if (!record.present)
                continue;
            if (record.placement
                == (start ? QStringLiteral("EndOnly") : QStringLiteral("StartOnly")))
                continue;
            menu->addItem(record.elementId, record.elementId);
        }
        const int current = menu->findData(arrowIdAt(connector, start));
        menu->setCurrentIndex(std::max(0, current));
    }
}

void QntGroupModeInspector::refreshControls()
{
    // A document window may be taking its sections down.
    if (!_viewMain || !_geometryView || !_thinStartArrowheadPopupButton)
        return;
    VRDrawing *drawing = targetDrawing();
    const QString units = drawing ? drawing->abbreviatedDrawingUnits() : QString();
    for (QLabel *label : _unitLabels)
        label->setText(units);
    const VRObjectList objects = selection();
    // Values are read only from a single selection; several objects leave the fields alone.
    if (objects.size() == 1 && objects.first()->isKindOf<QntElement>()) {
        const QntTextShape *text = static_cast<const QntElement &>(*objects.first()).text();
        if (text && _elemFontSizeTextField)
            _elemFontSizeTextField->setText(QLocale().toString(text->fontSize(), 'g', 4));
    }
    if (objects.size() == 1 && objects.first()->isKindOf<VRDrawableShape>()) {
        const double f = unitConversionFactor();
        const VRObjectRef &o = objects.first();
        _widthTextbox->setText(QLocale().toString(o->size().width() / f, 'f', 2));
        _heightTextbox->setText(QLocale().toString(o->size().height() / f, 'f', 2));
        _xCenterTextbox->setText(
            QLocale().toString((o->location().x() - drawing->leftMargin()) / f, 'f', 2));
        _yCenterTextbox->setText(
            QLocale().toString((o->location().y() - drawing->topMargin()) / f, 'f', 2));
    }
    fillArrowheadMenus();
}

void QntGroupModeInspector::selectedObjectDidChange(const Notification &notification)
{
    VRInspectorBase::selectedObjectDidChange(notification);
    refreshControls();
}

// ---------------------------------------------------------------- helpers

VRObjectList QntGroupModeInspector::selection() const
{
    VRDrawing *drawing = targetDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    return layer ? layer->selection() : VRObjectList();
}

VRUndoManager *QntGroupModeInspector::undoManager() const
{
    VRDrawing *drawing = targetDrawing();
    return drawing ? drawing->undoManager() : nullptr;
}

bool QntGroupModeInspector::changeSelection(const QString &name,
                                            const std::function<bool(const VRObjectRef &)> &change)
{
    if (_messageLabel) {
        _messageLabel->clear();
        _messageLabel->hide();
    }
    const VRObjectList objects = selection();
    VRUndoManager *undo = undoManager();
    if (undo)
        undo->beginUndoGrouping();
    bool changed = false;
    for (const VRObjectRef &object : objects) {
        if (object && change(object)) {
            object->notifyVisualChange();
            changed = true;
        }
    }
    if (undo) {
        if (changed)
            undo->setActionName(name);
        undo->endUndoGrouping();
    }
    return changed;
}

void QntGroupModeInspector::refuse(const QString &message)
{
    if (!_messageLabel)
        return;
    _messageLabel->setText(message);
    // Shown in the panel, or as a tool tip where the controls sit in a document window.
    if (_attachedWindow)
        _messageLabel->show();
    if (QWidget *focus = QApplication::focusWidget())
        QToolTip::showText(focus->mapToGlobal(QPoint(0, focus->height())), message, focus);
}

bool QntGroupModeInspector::readLength(const QString &typed, bool positive, double *points)
{
    bool ok = false;
    const double value = QLocale().toDouble(typed.trimmed(), &ok);
    const double v = ok ? value : QLocale::c().toDouble(typed.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        refuse(tr("\"%1\" is not a number.").arg(typed));
        return false;
    }
    const double p = v * unitConversionFactor();
    if (positive && !(p > 0)) {
        refuse(tr("The size must be greater than 0."));
        return false;
    }
    if (!std::isfinite(p) || std::abs(p) > kLargestLength) {
        refuse(tr("\"%1\" is too large.").arg(typed));
        return false;
    }
    *points = p;
    return true;
}

// ---------------------------------------------------------------- text

namespace {

bool setFontSizeOf(const VRObjectRef &object, double size, bool elements, bool connectors)
{
    if (elements && object->isKindOf<QntElementTable>()) {
        auto &table = static_cast<QntElementTable &>(*object);
        for (const VRObjectRef &cell : table.cells())
            changeCellText(static_cast<QntTextCell &>(*cell),
                           [size](QFont &f) { f.setPointSizeF(size); });
        return true;
    }
    QTextCharFormat format;
    format.setFontPointSize(size);
    if (elements && object->isKindOf<QntElement>()) {
        static_cast<QntElement &>(*object).setTextFontSize(size);
        mergeTextRuns(object, format);
        return true;
    }
    if (connectors && object->isKindOf<QntConnector>()) {
        auto &c = static_cast<QntConnector &>(*object);
        c.setFontSize(size);
        mergeTextRuns(object, format);
        c.textDidChange();
        return true;
    }
    return false;
}

bool setFamilyOf(const VRObjectRef &object, const QString &family, bool elements, bool connectors)
{
    if (elements && object->isKindOf<QntElementTable>()) {
        auto &table = static_cast<QntElementTable &>(*object);
        for (const VRObjectRef &cell : table.cells())
            changeCellText(static_cast<QntTextCell &>(*cell),
                           [family](QFont &f) { f.setFamily(family); });
        return true;
    }
    QTextCharFormat format;
    format.setFontFamilies(QStringList{family});
    if (elements && object->isKindOf<QntElement>()) {
        static_cast<QntElement &>(*object).setTextFontFamily(family);
        mergeTextRuns(object, format);
        return true;
    }
    if (connectors && object->isKindOf<QntConnector>()) {
        static_cast<QntConnector &>(*object).setTextFontFamily(family);
        mergeTextRuns(object, format);
        return true;
    }
    return false;
}

int traitMask(bool bold, bool italic)
{
    // Bold 2 / unbold 4, italic 1 / unitalic 16777216: the font manager's trait bits.
    return (bold ? 0x2 : 0x4) | (italic ? 0x1 : 0x01000000);
}

QTextCharFormat typefaceFormat(bool bold, bool italic, bool underlined)
{
    QTextCharFormat format;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(italic);
    format.setFontUnderline(underlined);
    return format;
}

bool readFontSize(const QString &typed, double *size)
{
    bool ok = false;
    double v = QLocale().toDouble(typed.trimmed(), &ok);
    if (!ok)
        v = QLocale::c().toDouble(typed.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return false;
    *size = std::clamp(v, 1.0, 1000.0);
    return true;
}

} // namespace

void QntGroupModeInspector::elementFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    changeSelection(tr("Changing text attributes"),
                    [&family](const VRObjectRef &o) { return setFamilyOf(o, family, true, true); });
}

bool QntGroupModeInspector::elementFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, true, true);
    });
}

void QntGroupModeInspector::elementFontTypefaceAction(bool bold, bool italic, bool underlined)
{
    const int mask = traitMask(bold, italic);
    const QTextCharFormat format = typefaceFormat(bold, italic, underlined);
    changeSelection(tr("Changing text attributes"), [=](const VRObjectRef &o) {
        if (o->isKindOf<QntElement>() && !o->isKindOf<QntElementTable>()) {
            static_cast<QntElement &>(*o).setTextFontTypeface(mask, underlined);
            mergeTextRuns(o, format);
            return true;
        }
        if (o->isKindOf<QntConnector>()) {
            static_cast<QntConnector &>(*o).setTextFontTypeface(mask, underlined);
            mergeTextRuns(o, format);
            return true;
        }
        return false;
    });
}

void QntGroupModeInspector::connectorFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    changeSelection(tr("Changing text attributes"), [&family](const VRObjectRef &o) {
        return setFamilyOf(o, family, false, true);
    });
}

bool QntGroupModeInspector::connectorFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, false, true);
    });
}

void QntGroupModeInspector::connectorFontTypefaceAction(bool bold, bool italic, bool underlined)
{
    const int mask = traitMask(bold, italic);
    const QTextCharFormat format = typefaceFormat(bold, italic, underlined);
    changeSelection(tr("Changing text attributes"), [=](const VRObjectRef &o) {
        if (!o->isKindOf<QntConnector>())
            return false;
        static_cast<QntConnector &>(*o).setTextFontTypeface(mask, underlined);
        mergeTextRuns(o, format);
        return true;
    });
}

void QntGroupModeInspector::tableFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    changeSelection(tr("Changing text attributes"), [&family](const VRObjectRef &o) {
        return o->isKindOf<QntElementTable>() && setFamilyOf(o, family, true, false);
    });
}

bool QntGroupModeInspector::tableFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return o->isKindOf<QntElementTable>() && setFontSizeOf(o, size, true, false);
    });
}

// ---------------------------------------------------------------- colours

void QntGroupModeInspector::colorMatrixAction(qint64 schemeId)
{
    // The placeholder swatches of a scheme grid carry no scheme.
    if (schemeId < 0)
        return;
    changeSelection(tr("Change Color Scheme"), [schemeId](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntConnector>())
            return false;
        o->replaceColorScheme(schemeId);
        return true;
    });
}

void QntGroupModeInspector::transparencyAction(double coefficient)
{
    if (!std::isfinite(coefficient))
        return;
    const double coef = std::clamp(coefficient, 0.0, 1.0);
    changeSelection(tr("Change Transparency"), [coef](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntElementArrow>())
            return false;
        o->changeTransparencyWithCoef(coef);
        return true;
    });
}

// ---------------------------------------------------------------- size and position

double QntGroupModeInspector::unitConversionFactor() const
{
    VRDrawing *drawing = targetDrawing();
    const QString units = drawing ? drawing->drawingUnits() : QString();
    static const std::pair<const char *, double> table[] = {{"Pixels", 1.0},
                                                            {"Picas", 12.0},
                                                            {"Inches", 72.0},
                                                            {"Millimetres", 2.8346456692913},
                                                            {"Centimetres", 28.346456692913},
                                                            {"Metres", 2834.6456692913},
                                                            {"Kilometres", 28346.456692913}};
    for (const auto &[name, factor] : table) {
        if (units == QLatin1String(name))
            return factor;
    }
    return 1.0;
}

bool QntGroupModeInspector::setGeometry(const QString &typed, int which)
{
    double v = 0;
    if (!readLength(typed, which < 2, &v))
        return false;
    VRDrawing *drawing = targetDrawing();
    const double left = drawing ? drawing->leftMargin() : 0.0;
    const double top = drawing ? drawing->topMargin() : 0.0;
    const QString names[] = {tr("Change Width"), tr("Change Height"), tr("Move"), tr("Move")};
    return changeSelection(names[which], [=, this](const VRObjectRef &o) {
        if (!o->isKindOf<VRDrawableShape>())
            return false;
        const QSizeF size = o->size();
        const QPointF at = o->location();
        switch (which) {
        case 0: o->setSize({v, size.height()}); break;
        case 1: o->setSize({size.width(), v}); break;
        case 2: o->setLocation({v + left, at.y()}); break;
        default: o->setLocation({at.x(), v + top}); break;
        }
        if (isMemberOfElements(*o) && o->isKindOf<QntElement>())
            static_cast<QntElement &>(*o).updateConnectedConnectors();
        return true;
    });
}

bool QntGroupModeInspector::widthAction(const QString &typed)
{
    return setGeometry(typed, 0);
}

bool QntGroupModeInspector::heightAction(const QString &typed)
{
    return setGeometry(typed, 1);
}

bool QntGroupModeInspector::xCenterAction(const QString &typed)
{
    return setGeometry(typed, 2);
}

bool QntGroupModeInspector::yCenterAction(const QString &typed)
{
    return setGeometry(typed, 3);
}

bool QntGroupModeInspector::applyDimensionAction()
{
    mainView();
    // Both fields are checked before either changes anything.
    double w = 0, h = 0;
    const QString wt = _widthTextbox->text(), ht = _heightTextbox->text();
    if ((!wt.isEmpty() && !readLength(wt, true, &w))
        || (!ht.isEmpty() && !readLength(ht, true, &h)))
        return false;
    VRUndoManager *undo = undoManager();
    if (undo)
        undo->beginUndoGrouping();
    bool changed = false;
    if (!wt.isEmpty())
        changed |= widthAction(wt);
    if (!ht.isEmpty())
        changed |= heightAction(ht);
    if (undo) {
        if (changed)
            undo->setActionName(tr("Change Size"));
        undo->endUndoGrouping();
    }
    return changed;
}

bool QntGroupModeInspector::applyLocationAction()
{
    mainView();
    double x = 0, y = 0;
    const QString xt = _xCenterTextbox->text(), yt = _yCenterTextbox->text();
    if ((!xt.isEmpty() && !readLength(xt, false, &x))
        || (!yt.isEmpty() && !readLength(yt, false, &y)))
        return false;
    VRUndoManager *undo = undoManager();
    if (undo)
        undo->beginUndoGrouping();
    bool changed = false;
    if (!xt.isEmpty())
        changed |= xCenterAction(xt);
    if (!yt.isEmpty())
        changed |= yCenterAction(yt);
    if (undo) {
        if (changed)
            undo->setActionName(tr("Move"));
        undo->endUndoGrouping();
    }
    return changed;
}

void QntGroupModeInspector::resizeToLargest()
{
    // The largest width and the largest height of the elements, each taken on its own.
    double w = 0, h = 0;
    for (const VRObjectRef &o : selection()) {
        if (o && isMemberOfElements(*o)) {
            w = std::max(w, o->size().width());
            h = std::max(h, o->size().height());
        }
    }
    if (w <= 0 || h <= 0)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const double m = std::max(w, h);
    changeSelection(tr("Resize to Largest"), [&](const VRObjectRef &o) {
        if (!isMemberOfElements(*o))
            return false;
        const bool square = notation && notation->proportionalReziseForElementId(o->ID());
        o->setSize(square ? QSizeF(m, m) : QSizeF(w, h));
        if (o->isKindOf<QntElement>())
            static_cast<QntElement &>(*o).updateConnectedConnectors();
        return true;
    });
}

void QntGroupModeInspector::resizeEachElement(double factor)
{
    if (!std::isfinite(factor) || factor <= 0)
        return;
    changeSelection(tr("Resize"), [factor](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>())
            return false;
        auto &e = static_cast<QntElement &>(*o);
        const QSizeF original = e.originalSize().isEmpty() ? e.size() : e.originalSize();
        e.setSize({original.width() * factor, original.height() * factor});
        e.setResizedByUser(true);
        e.updateConnectedConnectors();
        return true;
    });
}

// ---------------------------------------------------------------- connectors

QString QntGroupModeInspector::bodyIdOf(const QntConnector &connector) const
{
    if (!connector.ID().isEmpty())
        return connector.ID();
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    return notation ? notation->defaultConnectorId() : QString();
}

void QntGroupModeInspector::arrowheadAction(const QString &arrowId, bool start)
{
    changeSelection(arrowId.isEmpty() ? tr("Remove Arrowhead") : tr("Change Arrowhead"),
                    [&](const VRObjectRef &o) {
                        if (!isThinPlainConnector(o))
                            return false;
                        auto &c = static_cast<QntConnector &>(*o);
                        QVariantMap options = c.skinOptions();
                        if (!options.contains(QStringLiteral("bodyID")))
                            options.insert(QStringLiteral("bodyID"), bodyIdOf(c));
                        options.insert(QStringLiteral("startArrowheadId"),
                                       start ? arrowId : arrowIdAt(c, true));
                        options.insert(QStringLiteral("endArrowheadId"),
                                       start ? arrowIdAt(c, false) : arrowId);
                        options.insert(QStringLiteral("colorSchemeId"), c.colorSchemeId());
                        if (!arrowId.isEmpty()) {
                            options.insert(QStringLiteral("startArrowheadSize"), QSizeF(0, 0));
                            options.insert(QStringLiteral("endArrowheadSize"), QSizeF(0, 0));
                        }
                        c.addSkin(options);
                        c.updateStyle();
                        return true;
                    });
}

void QntGroupModeInspector::startArrowheadAction(const QString &arrowId)
{
    arrowheadAction(arrowId, true);
}

void QntGroupModeInspector::endArrowheadAction(const QString &arrowId)
{
    arrowheadAction(arrowId, false);
}

void QntGroupModeInspector::changeConnectorTypeAction(int tag)
{
    if (tag != 1 && tag != 2 && tag != 3 && tag != 4 && tag != 11 && tag != 13)
        return;
    changeSelection(tr("Change Connector Type"), [tag](const VRObjectRef &o) {
        if (!isThinPlainConnector(o))
            return false;
        auto &c = static_cast<QntConnector &>(*o);
        switch (tag) {
        case 1: c.makeZigZag(); break;
        case 2: c.makeCurve(); break;
        case 3: c.routeOrthogonal(); break;
        case 4: c.makeStraight(); break;
        case 11: c.makeRoutingColaPolyline(); break;
        default: c.makeRoutingColaOrthogonal(); break;
        }
        return true;
    });
}

// ---------------------------------------------------------------- defaults

void QntGroupModeInspector::applyDefaultsAction()
{
    if (!m_elementInspector)
        m_elementInspector = std::make_unique<QntElementModeInspector>(VREmbedded{}, nullptr);
    if (!m_connectorInspector) {
        m_connectorInspector = std::make_unique<QntConnectorModeInspector>(VREmbedded{}, nullptr);
        m_connectorInspector->setPartOfGroupModeInspector(true);
    }
    const VRObjectList objects = selection();
    VRUndoManager *undo = undoManager();
    if (undo)
        undo->beginUndoGrouping();
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        if (object->isKindOf<QntConnector>())
            m_connectorInspector->applyDefaultsToObject(object);
        else if (object->isKindOf<QntElement>())
            m_elementInspector->applyDefaultsToObject(object);
    }
    if (undo) {
        undo->setActionName(tr("Applying defaults"));
        undo->endUndoGrouping();
    }
}
