// QntGroupModeInspector: the simple style of the selected elements (contour, fill kinds, shadow,
// transparency, all parts at once) and the thin and thick connector sets (arrowhead pictures,
// colours, line and lengths), each worked through an embedded inspector in group mode.
#include "inspectors/QntGroupModeInspector.h"

#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/undo/VRUndoStep.h"
#include "platform/ColorPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

VRFill *lastFillOf(const VRStyle *style)
{
    if (!style)
        return nullptr;
    const auto fills = style->renderersOfClass(VRFill::staticClass());
    return fills.isEmpty() ? nullptr : static_cast<VRFill *>(fills.last().get());
}

QString degrees(double value)
{
    return QLocale().toString(value, 'f', 0) + QStringLiteral("°");
}

// The connectors that routing changes: plain and free connectors in mode 0 that are not
// thick-line connectors.
bool isThinPlainConnector(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return false;
    const auto &c = static_cast<const QntConnector &>(*object);
    return c.mode() == 0 && !c.ID().endsWith(QStringLiteral("Thick"))
           && (object->isMemberOfClass(QntConnector::staticClass())
               || object->isKindOf<QntFreeConnector>());
}

} // namespace

void QntGroupModeInspector::ensureEmbeddedInspectors()
{
    elementModeInspector();
    if (!m_connectorInspector) {
        m_connectorInspector = std::make_unique<QntConnectorModeInspector>(VREmbedded{}, nullptr);
        m_connectorInspector->setPartOfGroupModeInspector(true);
        bindToDrawing(*m_connectorInspector);
    }
    for (auto *slot : {&m_thinConnectorInspector, &m_thickConnectorInspector}) {
        if (*slot)
            continue;
        *slot = std::make_unique<QntConnectorModeInspector>(VREmbedded{}, nullptr);
        bindToDrawing(**slot);
        (*slot)->setMultipleSelectionMode(1);
        // The thin set's line menu leaves thick-line connectors and element arrows to their
        // own controls.
        (*slot)->setConnectorKindToWork(slot == &m_thinConnectorInspector
                                            ? QntConnectorModeInspector::kThinConnectors
                                            : QntConnectorModeInspector::kThickConnectors);
    }
}

QntConnectorModeInspector *QntGroupModeInspector::connectorInspector(ConnectorSet set)
{
    mainView();
    ensureEmbeddedInspectors();
    return set == ThinSet ? m_thinConnectorInspector.get() : m_thickConnectorInspector.get();
}

// ---------------------------------------------------------------- element simple style

QWidget *QntGroupModeInspector::buildElementStyleSection(QWidget *parent)
{
    auto *section = new QGroupBox(tr("Shape style"), parent);
    section->setObjectName(QStringLiteral("groupSimpleStyle"));
    section->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
    auto *grid = new QGridLayout(section);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    SimpleStyleControls &c = m_simpleStyle;
    c.section = section;
    int row = 0;
    const auto label = [section](const QString &text) { return new QLabel(text, section); };

    c.contourWidthSlider = QntDoubleSlider::create(
        section, QStringLiteral("simpleStyleContourWidthSlider"), 0.0, 16.0);
    grid->addWidget(label(tr("Contour width")), row, 0);
    grid->addWidget(c.contourWidthSlider, row++, 1, 1, 3);
    c.contourColorWell =
        QntColorWell::create(section, QStringLiteral("simpleStyleContourColorWell"));
    // The contour's opacity is the opacity slider's (see simpleStyleContourColorAction).
    c.contourColorWell->setShowsAlpha(false);
    c.contourShadowCheckbox = new QCheckBox(tr("Shadow"), section);
    c.contourShadowCheckbox->setObjectName(QStringLiteral("simpleStyleContourShadow"));
    grid->addWidget(label(tr("Contour colour")), row, 0);
    grid->addWidget(c.contourColorWell, row, 1);
    grid->addWidget(c.contourShadowCheckbox, row++, 2, 1, 2);
    c.contourTransparencySlider = QntDoubleSlider::create(
        section, QStringLiteral("simpleStyleContourTransparencySlider"), 0.0, 1.0);
    c.contourTransparencySlider->setDoubleValue(1.0);
    grid->addWidget(label(tr("Contour opacity")), row, 0);
    grid->addWidget(c.contourTransparencySlider, row++, 1, 1, 3);

    c.fillTypesCombobox = new QComboBox(section);
    c.fillTypesCombobox->setObjectName(QStringLiteral("simpleStyleFillTypes"));
    c.fillTypesCombobox->addItem(tr("Flat colour"), QntContextMenu::kFlatFill);
    c.fillTypesCombobox->addItem(tr("Linear, two colours"), QntContextMenu::kLinearTwoColourFill);
    c.fillTypesCombobox->addItem(tr("Linear, three colours"),
                                 QntContextMenu::kLinearThreeColourFill);
    c.fillTypesCombobox->addItem(tr("Elliptical"), QntContextMenu::kEllipticalFill);
    grid->addWidget(label(tr("Fill")), row, 0);
    grid->addWidget(c.fillTypesCombobox, row++, 1, 1, 3);
    c.fillColorWell = QntColorWell::create(section, QStringLiteral("simpleStyleFillColorWell"));
    // A flat fill's opacity is the opacity slider's (see showFillControlsForKind).
    c.fillColorWell->setShowsAlpha(false);
    c.gradientMiddleColorWell =
        QntColorWell::create(section, QStringLiteral("simpleStyleGradientMiddleColorWell"));
    c.gradientEndColorWell =
        QntColorWell::create(section, QStringLiteral("simpleStyleGradientEndColorWell"));
    c.fillColorWell->setColor(Qt::white);
    c.gradientMiddleColorWell->setColor(Qt::gray);
    c.gradientEndColorWell->setColor(Qt::black);
    grid->addWidget(label(tr("Fill colours")), row, 0);
    grid->addWidget(c.fillColorWell, row, 1);
    grid->addWidget(c.gradientMiddleColorWell, row, 2);
    grid->addWidget(c.gradientEndColorWell, row++, 3);
    c.gradientAngleSlider = QntDoubleSlider::create(
        section, QStringLiteral("simpleStyleGradientAngleSlider"), 0.0, 360.0);
    c.gradientAngleLabel = label(degrees(0));
    c.gradientAngleLabel->setObjectName(QStringLiteral("simpleStyleGradientAngleLabel"));
    grid->addWidget(c.gradientAngleLabel, row, 0);
    grid->addWidget(c.gradientAngleSlider, row++, 1, 1, 3);
    c.gradientColorStopPositionSlider = QntDoubleSlider::create(
        section, QStringLiteral("simpleStyleGradientColorStopPositionSlider"), 0.0, 1.0);
    c.gradientColorStopPositionSlider->setDoubleValue(0.5);
    c.gradientColorStopPositionLabel = label(tr("Middle"));
    grid->addWidget(c.gradientColorStopPositionLabel, row, 0);
    grid->addWidget(c.gradientColorStopPositionSlider, row++, 1, 1, 3);
    c.backgroundTransparencySlider = QntDoubleSlider::create(
        section, QStringLiteral("simpleStyleBackgroundTransparencySlider"), 0.0, 1.0);
    c.backgroundTransparencySlider->setDoubleValue(1.0);
    c.backgroundTransparencyLabel = label(tr("Fill opacity"));
    grid->addWidget(c.backgroundTransparencyLabel, row, 0);
    grid->addWidget(c.backgroundTransparencySlider, row++, 1, 1, 3);
    c.editAllPartsAtOnce = new QCheckBox(tr("Edit all parts at once"), section);
    c.editAllPartsAtOnce->setObjectName(QStringLiteral("simpleEditAllPartsAtOnce"));
    grid->addWidget(c.editAllPartsAtOnce, row++, 0, 1, 4);

    // Sliders act once, on release, for the whole selection.
    connect(c.contourWidthSlider, &QSlider::sliderReleased, this, [this] {
        simpleStyleContourWidthAction(m_simpleStyle.contourWidthSlider->doubleValue());
    });
    connect(c.contourTransparencySlider, &QSlider::sliderReleased, this, [this] {
        simpleStyleContourTransparencyAction(
            m_simpleStyle.contourTransparencySlider->doubleValue());
    });
    connect(c.backgroundTransparencySlider, &QSlider::sliderReleased, this, [this] {
        simpleStyleBackgroundTransparencyAction(
            m_simpleStyle.backgroundTransparencySlider->doubleValue());
    });
    for (QntDoubleSlider *slider : {c.gradientAngleSlider, c.gradientColorStopPositionSlider})
        connect(slider, &QSlider::sliderReleased, this, [this] { simpleStyleFillColorAction(); });
    connect(c.gradientAngleSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double value) { m_simpleStyle.gradientAngleLabel->setText(degrees(value)); });
    connect(c.contourColorWell, &QntColorWell::colorChanged, this,
            [this] { simpleStyleContourColorAction(m_simpleStyle.contourColorWell->color()); });
    for (QntColorWell *well : {c.fillColorWell, c.gradientMiddleColorWell, c.gradientEndColorWell})
        connect(well, &QntColorWell::colorChanged, this, [this] { simpleStyleFillColorAction(); });
    connect(c.contourShadowCheckbox, &QCheckBox::clicked, this,
            [this](bool on) { simpleStyleContourShadowAction(on); });
    connect(c.editAllPartsAtOnce, &QCheckBox::clicked, this,
            [this](bool on) { simpleStyleEditAllPartsAtOnce(on); });
    connect(c.fillTypesCombobox, &QComboBox::activated, this, [this](int index) {
        simpleStyleFillTypeAction(m_simpleStyle.fillTypesCombobox->itemData(index).toInt());
    });
    showFillControlsForKind(QntContextMenu::kFlatFill);
    return section;
}

void QntGroupModeInspector::switchControlsForCustomNotation()
{
    if (!m_simpleStyle.section)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool custom = notation && notation->isCustomizable();
    m_simpleStyle.section->setVisible(custom);
    if (m_schemeRow)
        m_schemeRow->setVisible(!custom);
    if (m_connectorSetsView)
        m_connectorSetsView->setVisible(!custom);
    if (m_customConnectorView)
        m_customConnectorView->setVisible(custom);
}

void QntGroupModeInspector::showFillControlsForKind(int kind)
{
    SimpleStyleControls &c = m_simpleStyle;
    const bool gradient = kind != QntContextMenu::kFlatFill;
    const bool linear = kind == QntContextMenu::kLinearTwoColourFill
                        || kind == QntContextMenu::kLinearThreeColourFill;
    const bool middle = kind == QntContextMenu::kLinearThreeColourFill;
    c.fillColorWell->setVisible(true);
    c.gradientEndColorWell->setVisible(gradient);
    c.gradientMiddleColorWell->setVisible(middle);
    c.gradientAngleSlider->setVisible(linear);
    c.gradientAngleLabel->setVisible(linear);
    c.gradientColorStopPositionSlider->setVisible(middle);
    c.gradientColorStopPositionLabel->setVisible(middle);
    // The colour panel offers opacity for the first colour of a gradient only: a flat fill
    // takes its opacity from the slider, which would overrule the panel's.
    c.fillColorWell->setShowsAlpha(gradient);
    c.backgroundTransparencySlider->setVisible(!gradient);
    c.backgroundTransparencyLabel->setVisible(!gradient);
}

void QntGroupModeInspector::simpleStyleContourWidthAction(double width)
{
    if (!std::isfinite(width) || width < 0)
        return;
    elementsInspector();
    vrInOneUndoStep(undoManager(), tr("Contour Width"),
                    [&] { m_elementInspector->simpleStyleContourSetWidth(width); });
}

void QntGroupModeInspector::simpleStyleContourColorAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    elementsInspector();
    // The colour's opacity is the contour opacity slider's.
    QColor withOpacity = colour.toRgb();
    withOpacity.setAlphaF(
        float(std::clamp(m_simpleStyle.contourTransparencySlider->doubleValue(), 0.0, 1.0)));
    vrInOneUndoStep(undoManager(), tr("Contour Colour"),
                    [&] { m_elementInspector->contourColorChanged(withOpacity); });
}

void QntGroupModeInspector::simpleStyleContourTransparencyAction(double alpha)
{
    if (!std::isfinite(alpha))
        return;
    elementsInspector();
    vrInOneUndoStep(undoManager(), tr("Contour Opacity"), [&] {
        m_elementInspector->simpleStyleContourSetTransparency(std::clamp(alpha, 0.0, 1.0));
    });
}

void QntGroupModeInspector::simpleStyleBackgroundTransparencyAction(double alpha)
{
    if (!std::isfinite(alpha))
        return;
    elementsInspector();
    vrInOneUndoStep(undoManager(), tr("Fill Opacity"), [&] {
        m_elementInspector->simpleStyleContourSetBackgroundTransparency(
            std::clamp(alpha, 0.0, 1.0));
    });
}

void QntGroupModeInspector::simpleStyleContourShadowAction(bool on)
{
    elementsInspector();
    m_elementInspector->simpleStyleControls().contourShadowCheckbox->setChecked(on);
    vrInOneUndoStep(undoManager(), tr("Shadow"),
                    [&] { m_elementInspector->simpleStyleContourShadowAction(); });
}

void QntGroupModeInspector::simpleStyleFillTypeAction(int kind)
{
    mainView();
    if (kind < QntContextMenu::kFlatFill || kind > QntContextMenu::kEllipticalFill)
        return;
    SimpleStyleControls &c = m_simpleStyle;
    // The last selected element decides: its named parts, then its contour.
    VRObjectList reference;
    for (const VRObjectRef &object : selection()) {
        if (!object || !(object->isKindOf<QntElement>() || object->isKindOf<QntElementArrow>()))
            continue;
        reference = object->objectsWithPrefixId(QStringLiteral("p"));
        if (object->isKindOf<QntElement>()) {
            if (VRObjectRef contour = static_cast<QntElement &>(*object).contourObject())
                reference.append(contour);
        }
    }
    const VRStyleRef style =
        reference.isEmpty() || !reference.first() ? nullptr : reference.first()->style();
    const int index = c.fillTypesCombobox->findData(kind);
    if (index >= 0)
        c.fillTypesCombobox->setCurrentIndex(index);
    showFillControlsForKind(kind);
    if (const VRFill *fill = lastFillOf(style.get())) {
        const VRGradientRef gradient = fill->gradient();
        if (kind == QntContextMenu::kFlatFill) {
            QColor colour = gradient && gradient->countOfColorStops() > 0
                                ? gradient->colorStops().first()->color()
                                : fill->colour();
            colour = colour.toRgb();
            if (colour.isValid()) {
                c.fillColorWell->setColor(colour);
                c.backgroundTransparencySlider->setDoubleValue(colour.alphaF());
            }
        } else if (gradient) {
            const auto stops = gradient->colorStops();
            if (stops.size() == 2) {
                c.fillColorWell->setColor(stops.at(0)->color());
                c.gradientEndColorWell->setColor(stops.at(1)->color());
            } else if (stops.size() == 3 && kind == QntContextMenu::kLinearThreeColourFill) {
                c.fillColorWell->setColor(stops.at(0)->color());
                c.gradientMiddleColorWell->setColor(stops.at(1)->color());
                c.gradientEndColorWell->setColor(stops.at(2)->color());
            }
            c.gradientAngleSlider->setDoubleValue(gradient->angleInDegrees());
            c.gradientAngleLabel->setText(degrees(c.gradientAngleSlider->doubleValue()));
        } else if (fill->colour().isValid()) {
            c.fillColorWell->setColor(fill->colour());
        }
    }
    if (QWidget *pane = _panes[ElementColor]; pane && m_shownTag == ElementColor)
        selectPaneWithTag(ElementColor);
    simpleStyleFillColorAction();
}

void QntGroupModeInspector::simpleStyleFillColorAction()
{
    mainView();
    ensureEmbeddedInspectors();
    const SimpleStyleControls &c = m_simpleStyle;
    const int kind = c.fillTypesCombobox->currentData().toInt();
    elementsInspector();
    vrInOneUndoStep(undoManager(), tr("Fill"), [&] {
        m_elementInspector->simpleStyleSetFillKind(
            kind, c.fillColorWell->color(), c.gradientEndColorWell->color(),
            c.gradientMiddleColorWell->color(), c.gradientColorStopPositionSlider->doubleValue(),
            c.backgroundTransparencySlider->doubleValue(), c.gradientAngleSlider->doubleValue());
    });
}

void QntGroupModeInspector::simpleStyleEditAllPartsAtOnce(bool on)
{
    for (const VRObjectRef &object : selection()) {
        if (object && isMemberOfElements(*object) && object->isKindOf<QntElement>())
            static_cast<QntElement &>(*object).setEditAllPartsAtOnce(on);
    }
}

// ---------------------------------------------------------------- contour style section

namespace {

// Keeps a column section as tall as its content while its rows show and hide.
class FitHeightToContent : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            auto *view = static_cast<QWidget *>(watched);
            if (QLayout *layout = view->layout()) {
                layout->activate();
                const int height = layout->sizeHint().height();
                if (height != view->height())
                    view->resize(view->width(), height);
            }
        }
        return false;
    }
};

} // namespace

void QntGroupModeInspector::keepDarkGround(QWidget *view)
{
    if (!view || view->testAttribute(Qt::WA_StyledBackground))
        return;
    view->setAttribute(Qt::WA_StyledBackground);
    view->setStyleSheet(view->styleSheet() + QLatin1Char('#') + view->objectName()
                        + QStringLiteral(" { background: rgb(64, 64, 66); border-radius: 6px; }"));
}

QntElementModeInspector *QntGroupModeInspector::contourStyleInspector()
{
    if (!m_contourInspector) {
        m_contourInspector = std::make_unique<QntElementModeInspector>(VREmbedded{}, nullptr);
        bindToDrawing(*m_contourInspector);
    }
    return m_contourInspector.get();
}

QWidget *QntGroupModeInspector::contourStyleSectionView()
{
    if (m_contourStyleView)
        return m_contourStyleView;
    QntElementModeInspector *inspector = contourStyleInspector();
    QWidget *controls = inspector->simpleStyleView();
    auto *section = new QWidget(mainView());
    section->setObjectName(QStringLiteral("contourStyleSection"));
    section->hide();
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(8, 4, 8, 4);
    controls->setParent(section);
    keepDarkGround(controls);
    layout->addWidget(controls);
    controls->show();
    // As the Contour Style toolbar: the contour-only switch, no defaults menu.
    const QntContextMenu::SimpleStyleControls &c = inspector->simpleStyleControls();
    c.onlyContourModeCheckbox->show();
    if (QWidget *defaults = controls->findChild<QWidget *>(QStringLiteral("defaultsPopUp")))
        defaults->hide();
    section->installEventFilter(new FitHeightToContent(section));
    m_contourStyleView = section;
    populateSimpleStyleToolbar();
    section->resize(section->width(), layout->sizeHint().height());
    return section;
}

void QntGroupModeInspector::populateShapeStyleBox()
{
    SimpleStyleControls &c = m_simpleStyle;
    // Only customizable notations show the box.
    if (!c.section || c.section->isHidden())
        return;
    // The element the box is read from is the one the fill kinds are read from: the only one
    // selected, or the last selected one. Without one the controls keep what they show.
    VRObjectRef element;
    for (const VRObjectRef &object : selection()) {
        if (object && (object->isKindOf<QntElement>() || object->isKindOf<QntElementArrow>()))
            element = object;
    }
    if (!element)
        return;
    const bool styled = element->isKindOf<QntElement>()
                            ? static_cast<const QntElement &>(*element).contourObject()
                                  || !element->objectsWithPrefixId(QStringLiteral("p")).isEmpty()
                            : element->objectWithId(QStringLiteral("p")) != nullptr;
    if (!styled)
        return;
    // The element-mode inspector reads the style into its own controls; the box shows the same.
    QntElementModeInspector *reader = elementModeInspector();
    const VRObjectRef context = reader->contextObject();
    reader->setContextObject(element);
    reader->populateSimpleStyleToolbar();
    if (selection().size() != 1)
        reader->setContextObject(context);
    const QntContextMenu::SimpleStyleControls &r = reader->simpleStyleControls();
    c.contourWidthSlider->setMaxValue(r.contourWidthSlider->maxValue());
    c.contourWidthSlider->setDoubleValue(r.contourWidthSlider->doubleValue());
    c.contourColorWell->setColor(r.contourColorWell->color());
    c.contourTransparencySlider->setDoubleValue(r.contourTransparencySlider->doubleValue());
    c.contourShadowCheckbox->setChecked(r.contourShadowCheckbox->isChecked());
    const int kind = r.fillTypesCombobox->currentData().toInt();
    if (const int index = c.fillTypesCombobox->findData(kind); index >= 0)
        c.fillTypesCombobox->setCurrentIndex(index);
    showFillControlsForKind(kind);
    c.fillColorWell->setColor(r.fillColorWell->color());
    c.gradientMiddleColorWell->setColor(r.gradientMiddleColorWell->color());
    c.gradientEndColorWell->setColor(r.gradientEndColorWell->color());
    c.gradientAngleSlider->setDoubleValue(r.gradientAngleSlider->doubleValue());
    c.gradientAngleLabel->setText(degrees(c.gradientAngleSlider->doubleValue()));
    c.gradientColorStopPositionSlider->setDoubleValue(
        r.gradientColorStopPositionSlider->doubleValue());
    c.backgroundTransparencySlider->setDoubleValue(r.backgroundTransparencySlider->doubleValue());
    if (selection().size() == 1 && element->isKindOf<QntElement>())
        c.editAllPartsAtOnce->setChecked(
            static_cast<const QntElement &>(*element).editAllPartsAtOnce());
}

void QntGroupModeInspector::populateSimpleStyleToolbar()
{
    populateShapeStyleBox();
    if (!m_contourStyleView)
        return;
    QntElementModeInspector *inspector = contourStyleInspector();
    const VRObjectList objects = selection();
    // A locked element keeps its look: the controls stay greyed.
    const VRObjectRef element = objects.size() == 1 && objects.first()
                                        && objects.first()->isKindOf<QntElement>()
                                        && !objects.first()->isLocked()
                                    ? objects.first()
                                    : VRObjectRef();
    inspector->setContextObject(element);
    // An element without a contour or parts (a plain text) has no style these controls change.
    const bool styled = element
                        && (static_cast<const QntElement &>(*element).contourObject()
                            || !element->objectsWithPrefixId(QStringLiteral("p")).isEmpty()
                            || !element->objectsWithPrefixId(QStringLiteral("decor")).isEmpty());
    const QntContextMenu::SimpleStyleControls &c = inspector->simpleStyleControls();
    if (styled) {
        inspector->populateSimpleStyleToolbar();
        c.onlyContourModeCheckbox->setChecked(
            static_cast<const QntElement &>(*element).onlyContourMode());
    }
    inspector->simpleStyleView()->setEnabled(styled);
}

// ---------------------------------------------------------------- connector sets

QWidget *QntGroupModeInspector::buildConnectorSets(QWidget *parent)
{
    auto *holder = new QWidget(parent);
    holder->setObjectName(QStringLiteral("groupConnectorSets"));
    auto *column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(buildConnectorSet(ThinSet, holder));
    column->addWidget(buildConnectorSet(ThickSet, holder));
    return holder;
}

QWidget *QntGroupModeInspector::buildConnectorSet(ConnectorSet set, QWidget *parent)
{
    const bool thin = set == ThinSet;
    auto *box = new QntEscapedView(parent);
    box->setObjectName(thin ? QStringLiteral("thinConnectors") : QStringLiteral("thickConnectors"));
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setVerticalSpacing(4);
    ConnectorSetControls &c = m_sets[set];
    c.box = box;
    const QString prefix = thin ? QStringLiteral("thin") : QStringLiteral("thick");
    auto *title = new QLabel(thin ? tr("Connectors") : tr("Thick connectors"), box);
    title->setStyleSheet(QStringLiteral("font-weight: bold;"));
    grid->addWidget(title, 0, 0, 1, 6);

    c.strokeDashPopUpButton =
        QntConnectorModeInspector::makeSkinDashMenu(box, prefix + QStringLiteral("StrokeDash"));
    grid->addWidget(new QLabel(thin ? tr("Line") : tr("Body"), box), 1, 0);
    grid->addWidget(c.strokeDashPopUpButton, 1, 1, 1, 5);

    const auto arrowButton = [box](const QString &name, const QString &tip) {
        return QntConnectorModeInspector::makeArrowheadButton(box, name, tip);
    };
    const auto colourButton = [box](const QString &name, const QString &tip) {
        return QntConnectorModeInspector::makeSkinColourButton(box, name, tip);
    };
    c.startArrowheadPopupButton =
        arrowButton(prefix + QStringLiteral("StartArrowhead"), tr("Start arrowhead"));
    c.endArrowheadPopupButton =
        arrowButton(prefix + QStringLiteral("EndArrowhead"), tr("End arrowhead"));
    c.showColorMatrixStartArrowButton =
        colourButton(prefix + QStringLiteral("StartArrowColour"), tr("Start arrowhead colour"));
    c.showColorMatrixEndArrowButton =
        colourButton(prefix + QStringLiteral("EndArrowColour"), tr("End arrowhead colour"));
    c.showColorMatrixConnectorButton =
        colourButton(prefix + QStringLiteral("LineColour"), tr("Line colour"));
    c.startArrowheadLengthSlider =
        QntDoubleSlider::create(box, prefix + QStringLiteral("StartArrowheadLength"), 0.0, 60.0);
    c.endArrowheadLengthSlider =
        QntDoubleSlider::create(box, prefix + QStringLiteral("EndArrowheadLength"), 0.0, 60.0);
    c.startArrowheadLengthTextbox =
        QntTextFieldCell::numberField(box, prefix + QStringLiteral("StartLengthTextbox"));
    c.endArrowheadLengthTextbox =
        QntTextFieldCell::numberField(box, prefix + QStringLiteral("EndLengthTextbox"));
    // The lengths are in the drawing's units.
    VRDrawing *drawing = targetDrawing();
    const QString units = drawing ? drawing->abbreviatedDrawingUnits() : QString();
    auto *startUnit = new QLabel(units.isEmpty() ? QStringLiteral("pt") : units, box);
    auto *endUnit = new QLabel(startUnit->text(), box);
    c.startArrowheadLengthUnitLabel = startUnit;
    c.endArrowheadLengthUnitLabel = endUnit;
    grid->addWidget(new QLabel(tr("Start"), box), 2, 0);
    grid->addWidget(c.startArrowheadPopupButton, 2, 1);
    grid->addWidget(c.showColorMatrixStartArrowButton, 2, 2);
    grid->addWidget(c.startArrowheadLengthSlider, 2, 3);
    grid->addWidget(c.startArrowheadLengthTextbox, 2, 4);
    grid->addWidget(startUnit, 2, 5);
    grid->addWidget(new QLabel(tr("End"), box), 3, 0);
    grid->addWidget(c.endArrowheadPopupButton, 3, 1);
    grid->addWidget(c.showColorMatrixEndArrowButton, 3, 2);
    grid->addWidget(c.endArrowheadLengthSlider, 3, 3);
    grid->addWidget(c.endArrowheadLengthTextbox, 3, 4);
    grid->addWidget(endUnit, 3, 5);
    c.applyLengthToBothArrowsCheckbox = new QCheckBox(tr("Same length at both ends"), box);
    c.applyLengthToBothArrowsCheckbox->setObjectName(prefix + QStringLiteral("SameLength"));
    c.applyColorsToBothArrowsCheckbox = new QCheckBox(tr("Colours to both ends"), box);
    c.applyColorsToBothArrowsCheckbox->setObjectName(prefix + QStringLiteral("SameColours"));
    auto *lineRow = new QHBoxLayout;
    auto *lineLabel = new QLabel(tr("Line colour"), box);
    lineRow->addWidget(lineLabel);
    lineRow->addWidget(c.showColorMatrixConnectorButton);
    lineRow->addStretch(1);
    lineRow->addWidget(c.applyColorsToBothArrowsCheckbox);
    grid->addLayout(lineRow, 4, 0, 1, 6);
    grid->addWidget(c.applyLengthToBothArrowsCheckbox, 5, 0, 1, 6);
    // Thick bodies take no line colour of their own.
    lineLabel->setVisible(thin);
    c.showColorMatrixConnectorButton->setVisible(thin);

    // The connector inspector also reads a routing pop-up; the panel routes through its own, so
    // this one stays out of sight.
    auto *routing = new QComboBox(box);
    for (int tag :
         {QntConnectorModeInspector::kZigZagRouting, QntConnectorModeInspector::kCurveRouting,
          QntConnectorModeInspector::kOrthogonalRouting,
          QntConnectorModeInspector::kStraightRouting,
          QntConnectorModeInspector::kAutomaticPolylineRouting,
          QntConnectorModeInspector::kAutomaticOrthogonalRouting})
        routing->addItem(QString::number(tag), tag);
    routing->hide();

    QntConnectorModeInspector *inspector = connectorInspector(set);
    QntConnectorModeInspector::SkinControls skin;
    skin.strokeDashPopUpButton = c.strokeDashPopUpButton;
    skin.startArrowheadPopupButton = c.startArrowheadPopupButton;
    skin.endArrowheadPopupButton = c.endArrowheadPopupButton;
    skin.startArrowheadLengthSlider = c.startArrowheadLengthSlider;
    skin.startArrowheadLengthTextbox = c.startArrowheadLengthTextbox;
    skin.startArrowheadLengthTextboxLabel = startUnit;
    skin.endArrowheadLengthSlider = c.endArrowheadLengthSlider;
    skin.endArrowheadLengthTextbox = c.endArrowheadLengthTextbox;
    skin.endArrowheadLengthTextboxLabel = endUnit;
    skin.applyLengthToBothArrowsCheckbox = c.applyLengthToBothArrowsCheckbox;
    skin.connectorTypePopupButton = routing;
    skin.applyColorsToBothArrowsCheckbox = c.applyColorsToBothArrowsCheckbox;
    skin.showColorMatrixStartArrowButton = c.showColorMatrixStartArrowButton;
    skin.showColorMatrixEndArrowButton = c.showColorMatrixEndArrowButton;
    skin.showColorMatrixConnectorButton = c.showColorMatrixConnectorButton;
    inspector->useSkinControls(box, skin);

    connect(c.startArrowheadPopupButton, &QAbstractButton::clicked, this,
            [this, set] { arrowheadPopupButtonAction(set, true); });
    connect(c.endArrowheadPopupButton, &QAbstractButton::clicked, this,
            [this, set] { arrowheadPopupButtonAction(set, false); });
    connect(c.showColorMatrixStartArrowButton, &QAbstractButton::clicked, this,
            [this, set] { showColorMatrixButtonAction(set, 0); });
    connect(c.showColorMatrixEndArrowButton, &QAbstractButton::clicked, this,
            [this, set] { showColorMatrixButtonAction(set, 1); });
    connect(c.showColorMatrixConnectorButton, &QAbstractButton::clicked, this,
            [this, set] { showColorMatrixButtonAction(set, 2); });
    connect(c.strokeDashPopUpButton, &QComboBox::activated, this,
            [this, set] { strokeDashAction(set); });
    connect(c.startArrowheadLengthSlider, &QSlider::sliderReleased, this,
            [this, set] { arrowheadLengthAction(set, true); });
    connect(c.endArrowheadLengthSlider, &QSlider::sliderReleased, this,
            [this, set] { arrowheadLengthAction(set, false); });
    for (QntTextFieldCell *field : {c.startArrowheadLengthTextbox, c.endArrowheadLengthTextbox}) {
        const bool start = field == c.startArrowheadLengthTextbox;
        connect(field, &QLineEdit::editingFinished, this, [this, field, set, start] {
            if (!field->isModified())
                return;
            field->setModified(false);
            arrowheadLengthTextboxAction(set, start);
        });
    }
    return box;
}

QWidget *QntGroupModeInspector::buildCustomConnectorStyle(QWidget *parent)
{
    // Connectors of customizable notations are drawn by their own line: the thin connector
    // inspector's simple-style controls work on every thin connector of the selection.
    QntConnectorModeInspector *thin = connectorInspector(ThinSet);
    const QntConnectorModeInspector::ConnectorSimpleStyleControls &controls =
        thin->connectorSimpleStyleControls();
    QWidget *view = controls.colorWell->parentWidget();
    view->setParent(parent);
    // The panel routes and keeps defaults through its own controls.
    controls.connectorTypePopupButton->hide();
    for (QLabel *label : view->findChildren<QLabel *>()) {
        if (label->text() == QntConnectorModeInspector::tr("Routing"))
            label->hide();
    }
    if (QWidget *defaults = view->findChild<QWidget *>(QStringLiteral("defaultsPopUp")))
        defaults->hide();
    m_customConnectorView = view;
    return view;
}

void QntGroupModeInspector::populateConnectorSets()
{
    if (!m_sets[ThinSet].box)
        return;
    populateRoutingPopUp();
    if (m_customConnectorView && !m_customConnectorView->isHidden()) {
        QntConnectorModeInspector *thin = connectorInspector(ThinSet);
        const VRObjectRef first =
            thin->firstConnectorInSelectionOfKind(QntConnectorModeInspector::kThinConnectors);
        thin->setContextObject(first);
        thin->populateConnectorSimpleStyleToolbar();
        if (!first) {
            // No connector, no width: the last one shown is not what a change would replace.
            const QntConnectorModeInspector::ConnectorSimpleStyleControls &c =
                thin->connectorSimpleStyleControls();
            c.widthTextbox->clear();
            c.widthSlider->setDoubleValue(0.0);
        }
        m_customConnectorView->setEnabled(bool(first));
        return;
    }
    for (ConnectorSet set : {ThinSet, ThickSet}) {
        QntConnectorModeInspector *inspector = connectorInspector(set);
        ConnectorSetControls &c = m_sets[set];
        inspector->populateMenuWithDashes(c.strokeDashPopUpButton);
        const VRObjectRef first = inspector->firstConnectorInSelectionOfKind(
            set == ThinSet ? QntConnectorModeInspector::kThinConnectors
                           : QntConnectorModeInspector::kThickConnectors);
        inspector->setContextObject(first);
        if (first) {
            inspector->populateConnectorSkinToolbar();
        } else {
            c.startArrowheadLengthTextbox->clear();
            c.endArrowheadLengthTextbox->clear();
        }
        if (set == ThickSet || !first) {
            // The thick set works on thick-line bodies whatever its connector shows.
            const int thickIndex = c.strokeDashPopUpButton->findData(
                QntConnectorModeInspector::kFirstThickLineTag, Qt::UserRole);
            if (set == ThickSet && thickIndex >= 0
                && c.strokeDashPopUpButton->currentData(Qt::UserRole).toInt()
                       < QntConnectorModeInspector::kFirstThickLineTag)
                c.strokeDashPopUpButton->setCurrentIndex(thickIndex);
        }
        c.box->setEnabled(bool(first));
    }
}

void QntGroupModeInspector::waitForPopover(AXAttachedWindow *popover)
{
    if (m_waiting == popover)
        return;
    m_waiting = popover;
    m_waitingLostFocus = false;
    if (!popover) {
        if (_attachedWindow)
            _attachedWindow->setCloseOnResignKeyWindow(true);
        return;
    }
    connect(popover, &QObject::destroyed, this, [this] {
        m_waiting = nullptr;
        if (!_attachedWindow || m_waitingForColorPanel)
            return;
        _attachedWindow->setCloseOnResignKeyWindow(true);
        if (!_attachedWindow->isVisible())
            return;
        // A click in a document window or in another program closed the popover: the panel
        // goes with it, as it goes on losing the focus itself. Taking the focus back would
        // leave it open until a second click.
        QWidget *active = QApplication::activeWindow();
        const auto *attached = dynamic_cast<AXAttachedWindow *>(active);
        const bool toAttachedWindow = attached && attached->isVisible() && !attached->isReleased();
        if (m_waitingLostFocus && !toAttachedWindow
            && active != ColorPanel::sharedColorPanel().dialog()) {
            _attachedWindow->closePopover();
            return;
        }
        // The panel takes the focus back, so that a click elsewhere closes it again.
        _attachedWindow->activateWindow();
    });
}

void QntGroupModeInspector::arrowheadPopupButtonAction(ConnectorSet set, bool start)
{
    QntConnectorModeInspector *inspector = connectorInspector(set);
    const ConnectorSetControls &c = m_sets[set];
    // The matrix reads the first connector of the set as it is selected now.
    inspector->updateSelectColorButton();
    if (!inspector->contextConnector())
        return;
    if (_attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(false);
    if (start)
        inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
    else
        inspector->showEndArrowheadMatrixAction(c.endArrowheadPopupButton);
    AXAttachedWindow *matrix = inspector->arrowheadMatrixWindow();
    // A body that takes no arrowheads offers nothing to choose from.
    if (matrix && inspector->arrowheadMatrixIds().isEmpty()) {
        matrix->closePopover();
        matrix = nullptr;
    }
    if (!matrix && _attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(true);
    waitForPopover(matrix);
}

void QntGroupModeInspector::showColorMatrixButtonAction(ConnectorSet set, int which)
{
    QntConnectorModeInspector *inspector = connectorInspector(set);
    const ConnectorSetControls &c = m_sets[set];
    inspector->updateSelectColorButton();
    if (!inspector->contextConnector())
        return;
    if (set == ThinSet) {
        inspector->setPartOfGroupModeInspector(true);
        inspector->setObjectsClass(&QntConnector::staticClass());
    }
    if (_attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(false);
    switch (which) {
    case 0: inspector->showColorMatrixAction(c.showColorMatrixStartArrowButton); break;
    case 1: inspector->showColorMatrixAction(c.showColorMatrixEndArrowButton); break;
    default:
        if (set == ThinSet)
            inspector->showConnectorColorMatrixAction(c.showColorMatrixConnectorButton);
        break;
    }
    waitForPopover(inspector->attachedWindowMatrixbar());
}

void QntGroupModeInspector::strokeDashAction(ConnectorSet set)
{
    QntConnectorModeInspector *inspector = connectorInspector(set);
    inspector->menuItemSkinStrokeDashAction(m_sets[set].strokeDashPopUpButton);
    // A body change moves connectors between the sets.
    populateConnectorSets();
}

void QntGroupModeInspector::arrowheadLengthAction(ConnectorSet set, bool start)
{
    QntConnectorModeInspector *inspector = connectorInspector(set);
    if (start)
        inspector->startArrowheadLengthAction();
    else
        inspector->endArrowheadLengthAction();
}

void QntGroupModeInspector::arrowheadLengthTextboxAction(ConnectorSet set, bool start)
{
    QntConnectorModeInspector *inspector = connectorInspector(set);
    if (start)
        inspector->startArrowheadLengthTextboxAction();
    else
        inspector->endArrowheadLengthTextboxAction();
}

// ---------------------------------------------------------------- connector pane

QWidget *QntGroupModeInspector::buildConnectorStylePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ConnectorStyle));
    auto *form = new QFormLayout(pane);
    QWidget *sets = buildConnectorSets(pane);
    m_connectorSetsView = sets;
    form->addRow(sets);
    form->addRow(buildCustomConnectorStyle(pane));
    _connectorTypePopupButton = new QComboBox(pane);
    _connectorTypePopupButton->setObjectName(QStringLiteral("connectorType"));
    _connectorTypePopupButton->addItem(tr("Zig-zag"), 1);
    _connectorTypePopupButton->addItem(tr("Curve"), 2);
    _connectorTypePopupButton->addItem(tr("Orthogonal"), 3);
    _connectorTypePopupButton->addItem(tr("Straight"), 4);
    _connectorTypePopupButton->addItem(tr("Smart polyline"), 11);
    _connectorTypePopupButton->addItem(tr("Smart orthogonal"), 13);
    form->addRow(tr("Routing"), _connectorTypePopupButton);
    connect(_connectorTypePopupButton, &QComboBox::activated, this, [this](int index) {
        changeConnectorTypeAction(_connectorTypePopupButton->itemData(index).toInt());
        populateRoutingPopUp();
    });
    form->addRow(buildDefaultsMenu(QStringLiteral("connectorDefaults"), pane, true));
    return pane;
}

void QntGroupModeInspector::populateRoutingPopUp()
{
    if (!_connectorTypePopupButton)
        return;
    // The menu shows the routing of the first connector that a choice would change; with no
    // such connector it shows none and offers nothing.
    const VRObjectList objects = selection();
    const auto first = std::find_if(objects.begin(), objects.end(), isThinPlainConnector);
    _connectorTypePopupButton->setEnabled(first != objects.end());
    if (first == objects.end()) {
        _connectorTypePopupButton->setCurrentIndex(-1);
        return;
    }
    const int tag = QntConnectorModeInspector::routingTagForConnector(
        static_cast<const QntConnector &>(**first));
    _connectorTypePopupButton->setCurrentIndex(_connectorTypePopupButton->findData(tag));
}

void QntGroupModeInspector::startArrowheadAction(const QString &arrowId)
{
    QntConnectorModeInspector *thin = connectorInspector(ThinSet);
    thin->updateSelectColorButton();
    thin->menuItemSkinStartArrowheadAction(arrowId);
}

void QntGroupModeInspector::endArrowheadAction(const QString &arrowId)
{
    QntConnectorModeInspector *thin = connectorInspector(ThinSet);
    thin->updateSelectColorButton();
    thin->menuItemSkinEndArrowheadAction(arrowId);
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
