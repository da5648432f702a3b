// QntConnectorModeInspector: the simple-style connector toolbar of customizable notations: line
// colour, width, shadow, arrowhead kinds, dash, line cap and routing of the connector's shaft.
#include "connectors/QntConnectorModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/VRDrawing.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/ColorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {
constexpr double kMaxConnectorWidth = 1000.0;

template <class R> R *lastRendererOf(VRStyle &style)
{
    const auto found = style.renderersOfClass(R::staticClass());
    return found.isEmpty() ? nullptr : static_cast<R *>(found.last().get());
}

QIcon lineCapIcon(int cap)
{
    QPixmap pixmap(36, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::white, 8);
    pen.setCapStyle(cap == 1 ? Qt::RoundCap : cap == 2 ? Qt::SquareCap : Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(QPointF(8, 10), QPointF(26, 10));
    p.setPen(QPen(QColor(250, 210, 90), 1));
    p.drawLine(QPointF(26, 2), QPointF(26, 18));
    return QIcon(pixmap);
}
} // namespace

const QntConnectorModeInspector::ConnectorSimpleStyleControls &
QntConnectorModeInspector::connectorSimpleStyleControls()
{
    if (!_viewConnectorSimpleStyleHorizontal)
        buildConnectorSimpleStyleView();
    return m_connectorSimple;
}

void QntConnectorModeInspector::buildConnectorSimpleStyleView()
{
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("connectorSimpleStyleView"));
    view->setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: white; }")
                        + QntEscapedView::darkPopUpStyleSheet());
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    ConnectorSimpleStyleControls &c = m_connectorSimple;
    const auto combo = [view](const QString &name) {
        auto *box = new QComboBox(view);
        box->setObjectName(name);
        return box;
    };

    c.colorWell = QntColorWell::create(view, QStringLiteral("simpleStyleColorWell"));
    c.shadowCheckbox = new QCheckBox(tr("Shadow"), view);
    c.shadowCheckbox->setObjectName(QStringLiteral("simpleStyleShadowCheckbox"));
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(c.colorWell);
    colourRow->addStretch(1);
    colourRow->addWidget(c.shadowCheckbox);
    grid->addWidget(new QLabel(tr("Colour"), view), 0, 0);
    grid->addLayout(colourRow, 0, 1, 1, 3);

    c.widthSlider =
        QntDoubleSlider::create(view, QStringLiteral("simpleStyleWidthSlider"), 0.0, 20.0);
    c.widthTextbox = QntTextFieldCell::numberField(view, QStringLiteral("simpleStyleWidthTextbox"));
    c.widthLabel = new QLabel(QStringLiteral("pt"), view);
    grid->addWidget(new QLabel(tr("Width"), view), 1, 0);
    grid->addWidget(c.widthSlider, 1, 1);
    grid->addWidget(c.widthTextbox, 1, 2);
    grid->addWidget(c.widthLabel, 1, 3);

    c.startArrowheadsPopUpButton = combo(QStringLiteral("simpleStyleStartArrowheadsPopUpButton"));
    c.endArrowheadsPopUpButton = combo(QStringLiteral("simpleStyleEndArrowheadsPopUpButton"));
    for (QComboBox *box : {c.startArrowheadsPopUpButton, c.endArrowheadsPopUpButton})
        box->setIconSize(QSize(36, 16));
    auto *arrowRow = new QHBoxLayout;
    arrowRow->addWidget(c.startArrowheadsPopUpButton);
    arrowRow->addWidget(c.endArrowheadsPopUpButton);
    grid->addWidget(new QLabel(tr("Arrows"), view), 2, 0);
    grid->addLayout(arrowRow, 2, 1, 1, 3);

    c.strokeDashPopUpButton = combo(QStringLiteral("simpleStyleStrokeDashPopUpButton"));
    c.strokeDashPopUpButton->setIconSize(QSize(80, 12));
    grid->addWidget(new QLabel(tr("Line"), view), 3, 0);
    grid->addWidget(c.strokeDashPopUpButton, 3, 1, 1, 3);

    auto *capRow = new QHBoxLayout;
    capRow->setSpacing(2);
    const QStringList capNames{tr("Butt cap"), tr("Round cap"), tr("Square cap")};
    for (int cap = 0; cap < 3; ++cap) {
        auto *segment = new QntButtonCell(view);
        segment->setObjectName(QStringLiteral("lineCap%1").arg(cap));
        segment->setToolTip(capNames.at(cap));
        segment->setIcon(lineCapIcon(cap));
        segment->setIconSize(QSize(36, 20));
        segment->setFixedSize(44, 26);
        segment->setCheckable(true);
        segment->setBordered(true);
        capRow->addWidget(segment);
        c.lineCapSelector.append(segment);
        connect(segment, &QAbstractButton::clicked, this,
                [this, cap] { simpleStyleStrokeLineCapStyleAction(cap); });
    }
    capRow->addStretch(1);
    grid->addWidget(new QLabel(tr("Cap"), view), 4, 0);
    grid->addLayout(capRow, 4, 1, 1, 3);

    c.connectorTypePopupButton = combo(QStringLiteral("simpleStyleConnectorTypePopupButton"));
    c.connectorTypePopupButton->addItem(tr("Zig-zag"), kZigZagRouting);
    c.connectorTypePopupButton->addItem(tr("Curve"), kCurveRouting);
    c.connectorTypePopupButton->addItem(tr("Orthogonal"), kOrthogonalRouting);
    c.connectorTypePopupButton->addItem(tr("Straight"), kStraightRouting);
    c.connectorTypePopupButton->addItem(tr("Smart polyline"), kAutomaticPolylineRouting);
    c.connectorTypePopupButton->addItem(tr("Smart orthogonal"), kAutomaticOrthogonalRouting);
    grid->addWidget(new QLabel(tr("Routing"), view), 5, 0);
    grid->addWidget(c.connectorTypePopupButton, 5, 1, 1, 3);
    grid->addWidget(makeDefaultsPopUp(view), 6, 0, 1, 4, Qt::AlignLeft);

    connect(c.colorWell, &QntColorWell::colorChanged, this,
            [this] { simpleStyleColorWellAction(); });
    connect(c.shadowCheckbox, &QCheckBox::clicked, this,
            [this] { simpleStyleShadowCheckboxAction(); });
    connect(c.widthSlider, &QntDoubleSlider::doubleValueChanged, this, [this] {
        if (!m_filling)
            simpleStyleWidthSliderAction();
    });
    connect(c.widthSlider, &QSlider::sliderPressed, this, [this] { beginContinuousChange(); });
    connect(c.widthSlider, &QSlider::sliderReleased, this, [this] { endContinuousChange(); });
    connect(c.widthTextbox, &QLineEdit::editingFinished, this, [this] {
        if (!m_connectorSimple.widthTextbox->isModified())
            return;
        m_connectorSimple.widthTextbox->setModified(false);
        simpleStyleWidthTextboxAction();
    });
    connect(c.startArrowheadsPopUpButton, &QComboBox::activated, this,
            [this] { simpleStyleStartArrowheadsMenuItemAction(); });
    connect(c.endArrowheadsPopUpButton, &QComboBox::activated, this,
            [this] { simpleStyleEndArrowheadsMenuItemAction(); });
    connect(c.strokeDashPopUpButton, &QComboBox::activated, this,
            [this] { simpleStyleStrokeDashMenuItemAction(); });
    connect(c.connectorTypePopupButton, &QComboBox::activated, this,
            [this] { changeConnectorTypeAction(m_connectorSimple.connectorTypePopupButton); });
    _viewConnectorSimpleStyleHorizontal = view;
}

void QntConnectorModeInspector::createConnectorSimpleStyleToolbar(QntButtonMatrix *sender)
{
    if (_attachedConnectorSimpleStyleWindow || !sender)
        return;
    connectorSimpleStyleControls();
    populateConnectorSimpleStyleToolbar();
    openToolbar(sender, _viewConnectorSimpleStyleHorizontal, _attachedConnectorSimpleStyleWindow,
                QStringLiteral("connectorSimpleStyleWindow"));
}

void QntConnectorModeInspector::closeAttachedConnectorSimpleStyleWindow()
{
    if (!_attachedConnectorSimpleStyleWindow)
        return;
    endContinuousChange();
    if (m_connectorSimple.colorWell)
        m_connectorSimple.colorWell->deactivate();
    if (_viewConnectorSimpleStyleHorizontal) {
        _viewConnectorSimpleStyleHorizontal->hide();
        _viewConnectorSimpleStyleHorizontal->setParent(nullptr);
    }
    _attachedConnectorSimpleStyleWindow->hide();
    _attachedConnectorSimpleStyleWindow->deleteLater();
    _attachedConnectorSimpleStyleWindow = nullptr;
    ColorPanel::sharedColorPanel().orderOut();
}

void QntConnectorModeInspector::populateConnectorSimpleStyleToolbar()
{
    connectorSimpleStyleControls();
    ConnectorSimpleStyleControls &c = m_connectorSimple;
    populateMenuWithDashes(c.strokeDashPopUpButton);
    // A customizable connector is drawn by its own line: the skin bodies are not offered.
    for (int i = c.strokeDashPopUpButton->count() - 1; i >= 0; --i) {
        const QVariant tag = c.strokeDashPopUpButton->itemData(i);
        if (!tag.isValid() || tag.toInt() >= kFirstThickLineTag)
            c.strokeDashPopUpButton->removeItem(i);
    }
    updateMenuWithDashes(c.strokeDashPopUpButton);
    populateMenuWithArrowheads(c.startArrowheadsPopUpButton);
    populateMenuWithArrowheads(c.endArrowheadsPopUpButton);
    if (multipleSelectionMode() != 1) {
        for (QWidget *w :
             {static_cast<QWidget *>(c.startArrowheadsPopUpButton),
              static_cast<QWidget *>(c.endArrowheadsPopUpButton),
              static_cast<QWidget *>(c.colorWell), static_cast<QWidget *>(c.widthSlider),
              static_cast<QWidget *>(c.widthTextbox), static_cast<QWidget *>(c.shadowCheckbox)})
            w->setEnabled(true);
    }
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!connector)
        return;
    setLastAppliedAdornmentId(connector->ID());
    setLastAppliedStartArrowheadId(QString());
    setLastAppliedEndArrowheadId(QString());
    const VRStyleRef shaft = connector->shaftStyle();
    if (!shaft)
        return;
    m_filling = true;
    const QColor colour = shaft->hasStroke() ? shaft->strokeColour() : QColor();
    c.colorWell->setColor(colour.isValid() ? colour : QColor(Qt::gray));
    const double width = shaft->strokeWidth();
    c.widthSlider->setMaxValue(std::max(20.0, width));
    c.widthSlider->setDoubleValue(width);
    VRDrawing *drawing = currentDrawing();
    c.widthTextbox->setText(formattedNumber(drawing ? drawing->convertLength(width) : width));
    c.widthTextbox->setModified(false);
    c.widthLabel->setText(drawing ? drawing->abbreviatedDrawingUnits() : QStringLiteral("pt"));
    const VRStroke *stroke = shaft->stroke();
    c.shadowCheckbox->setChecked(stroke && stroke->shadow().has_value());
    if (VRArrowStroke *arrows = lastRendererOf<VRArrowStroke>(*shaft)) {
        selectRoutingTag(c.startArrowheadsPopUpButton, arrows->arrowHeadAtStart());
        selectRoutingTag(c.endArrowheadsPopUpButton, arrows->arrowHeadAtEnd());
    }
    const int cap = stroke ? stroke->lineCapStyle() : 0;
    for (int i = 0; i < c.lineCapSelector.size(); ++i)
        c.lineCapSelector.at(i)->setChecked(i == cap);
    selectRoutingTag(c.connectorTypePopupButton, routingTagForConnector(*connector));
    m_filling = false;
}

void QntConnectorModeInspector::editShaftStyle(const std::function<bool(VRStyle &)> &change)
{
    const VRObjectRef remembered = _contextPath;
    const int kind = multipleSelectionMode() == 1 ? kThinConnectors : kPlainConnectors;
    // Every connector's change is one undo step together.
    const QPointer<VRUndoManager> undo = currentUndoManager();
    if (undo)
        undo->beginUndoGrouping();
    for (const VRObjectRef &object : connectorsInSelectionOfKind(kind)) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        connector->changeShaftStyle(change);
        connector->notifyVisualChange();
    }
    if (undo)
        undo->endUndoGrouping();
    setContextObject(remembered);
    redisplayToolColumnLater();
}

void QntConnectorModeInspector::simpleStyleColorWellAction()
{
    const QColor colour = m_connectorSimple.colorWell->color();
    editShaftStyle([colour](VRStyle &style) {
        VRStroke *stroke = lastRendererOf<VRStroke>(style);
        if (!stroke)
            return false;
        stroke->setColour(colour);
        return true;
    });
}

void QntConnectorModeInspector::simpleStyleSetWidth(double width)
{
    if (!std::isfinite(width) || width < 0)
        return;
    width = std::min(width, kMaxConnectorWidth);
    editShaftStyle([width](VRStyle &style) {
        VRStroke *stroke = lastRendererOf<VRStroke>(style);
        if (!stroke)
            return false;
        stroke->setWidth(width);
        return true;
    });
}

void QntConnectorModeInspector::simpleStyleWidthSliderAction()
{
    ConnectorSimpleStyleControls &c = m_connectorSimple;
    const double width = c.widthSlider->doubleValue();
    simpleStyleSetWidth(width);
    VRDrawing *drawing = currentDrawing();
    c.widthTextbox->setText(formattedNumber(drawing ? drawing->convertLength(width) : width));
}

void QntConnectorModeInspector::simpleStyleWidthTextboxAction()
{
    ConnectorSimpleStyleControls &c = m_connectorSimple;
    VRDrawing *drawing = currentDrawing();
    const double previous = c.widthSlider->doubleValue();
    const double shown = drawing ? drawing->convertLength(previous) : previous;
    const std::optional<double> typed = numberFromField(c.widthTextbox, shown);
    if (!typed)
        return;
    double width = drawing ? drawing->convertLengthFromDrawingToBase(*typed) : *typed;
    if (width < 0) {
        c.widthTextbox->setText(formattedNumber(shown));
        return;
    }
    width = std::min(width, kMaxConnectorWidth);
    if (width > c.widthSlider->maxValue())
        c.widthSlider->setMaxValue(width);
    simpleStyleSetWidth(width);
    m_filling = true;
    c.widthSlider->setDoubleValue(width);
    m_filling = false;
}

void QntConnectorModeInspector::simpleStyleShadowCheckboxAction()
{
    const bool on = m_connectorSimple.shadowCheckbox->isChecked();
    editShaftStyle([on](VRStyle &style) {
        VRStroke *stroke = lastRendererOf<VRStroke>(style);
        if (!stroke)
            return false;
        stroke->setShadow(on ? std::optional<VRShadow>(VRStyle::defaultShadow()) : std::nullopt);
        return true;
    });
}

void QntConnectorModeInspector::simpleStyleStartArrowheadsMenuItemAction()
{
    const int kind = m_connectorSimple.startArrowheadsPopUpButton->currentData().toInt();
    editShaftStyle([kind](VRStyle &style) {
        VRArrowStroke *arrows = lastRendererOf<VRArrowStroke>(style);
        if (!arrows)
            return false;
        arrows->setArrowHeadAtStart(kind);
        return true;
    });
}

void QntConnectorModeInspector::simpleStyleEndArrowheadsMenuItemAction()
{
    const int kind = m_connectorSimple.endArrowheadsPopUpButton->currentData().toInt();
    editShaftStyle([kind](VRStyle &style) {
        VRArrowStroke *arrows = lastRendererOf<VRArrowStroke>(style);
        if (!arrows)
            return false;
        arrows->setArrowHeadAtEnd(kind);
        return true;
    });
}

void QntConnectorModeInspector::simpleStyleStrokeDashMenuItemAction()
{
    strokeDashMenuAction(m_connectorSimple.strokeDashPopUpButton);
}

void QntConnectorModeInspector::simpleStyleStrokeLineCapStyleAction(int cap)
{
    ConnectorSimpleStyleControls &c = m_connectorSimple;
    for (int i = 0; i < c.lineCapSelector.size(); ++i)
        c.lineCapSelector.at(i)->setChecked(i == cap);
    editShaftStyle([cap](VRStyle &style) {
        VRStroke *stroke = lastRendererOf<VRStroke>(style);
        if (!stroke)
            return false;
        stroke->setLineCapStyle(cap);
        return true;
    });
}
