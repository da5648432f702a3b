// QntContextMenu: the simple-style toolbar: its controls, reading a style into them, the setter
// walk over the target objects, fill kinds and gradients, and the dash pop-up.
#include "inspectors/QntContextMenu.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntViewForAXAttachedWindow.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorShape.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/ColorPanel.h"
#include "platform/NotificationCenter.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kMaxStrokeWidth = 1000.0;

QColor greyWithAlpha(double grey, double alpha)
{
    return QColor::fromRgbF(float(grey), float(grey), float(grey), float(alpha));
}

VRFill *lastFillOf(const VRStyle *style)
{
    if (!style)
        return nullptr;
    const auto fills = style->renderersOfClass(VRFill::staticClass());
    return fills.isEmpty() ? nullptr : static_cast<VRFill *>(fills.last().get());
}

void replaceFill(VRStyle &style, const std::shared_ptr<VRFill> &fill)
{
    style.notifyClientsBeforeChange();
    style.removeRenderersOfClass(VRFill::staticClass(), true);
    style.addRenderer(fill);
    style.notifyClientsAfterChange();
}

// Keeps a continuous control's changes in one undo step while it is dragged.
void connectSliderUndo(QntDoubleSlider *slider, QntContextMenu *menu,
                       void (QntContextMenu::*begin)(), void (QntContextMenu::*end)())
{
    QObject::connect(slider, &QSlider::sliderPressed, menu, [menu, begin] { (menu->*begin)(); });
    QObject::connect(slider, &QSlider::sliderReleased, menu, [menu, end] { (menu->*end)(); });
}
} // namespace

bool QntContextMenu::isElementOrElementArrow(const VRDrawableObject &object) const
{
    return object.isKindOf<QntElement>() || object.isKindOf<QntElementArrow>();
}

bool QntContextMenu::isMemberOfElementsOrElementArrow(const VRDrawableObject &object) const
{
    return isMemberOfElements(object) || object.isMemberOf<QntElementArrow>();
}

VRObjectList QntContextMenu::partList(const VRDrawableObject &object,
                                      const std::vector<PartSource> &sources) const
{
    VRObjectList list;
    const auto *element = dynamic_cast<const QntElement *>(&object);
    const bool allParts = element && isMemberOfElements(object) && element->editAllPartsAtOnce();
    for (PartSource source : sources) {
        switch (source) {
        case PartSource::Decor: list += object.objectsWithPrefixId(QStringLiteral("decor")); break;
        case PartSource::AllShapes:
        case PartSource::AllShapesAndFreeConnectors:
            if (!allParts)
                break;
            list += object.allPartsOfClass(VRDrawableShape::staticClass());
            if (source == PartSource::AllShapesAndFreeConnectors)
                list += object.allPartsOfClass(QntFreeConnector::staticClass());
            break;
        case PartSource::Contour:
            if (element) {
                if (VRObjectRef contour = element->contourObject())
                    list.append(contour);
            }
            break;
        case PartSource::Named: list += object.objectsWithPrefixId(QStringLiteral("p")); break;
        }
    }
    return list;
}

VRStyle *QntContextMenu::styleOfPart(const VRDrawableObject &part)
{
    if (!part.isKindOf<QntFreeConnector>())
        return part.style().get();
    // A free connector inside an element is drawn with its shaft style: the skin's own, else
    // the connector's style, which the connector reaches whether or not that style is shared.
    return static_cast<const QntFreeConnector &>(part).shaftStyle().get();
}

void QntContextMenu::walkTargets(const Walk &walk)
{
    const VRObjectList targets = selectedObjectForCurrentTarget();
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    for (const VRObjectRef &object : targets) {
        if (!object)
            continue;
        if (walk.elementTest(*object) && shapePartsEditingMode() == 0) {
            for (const VRObjectRef &part : partList(*object, walk.sources)) {
                if (VRStyle *style = part ? styleOfPart(*part) : nullptr)
                    walk.change(*style, *part, *object);
            }
            if (walk.followUp)
                walk.followUp(*object);
            object->notifyVisualChange();
            continue;
        }
        const bool plainShape =
            object->isMemberOf<VRDrawableShape>() || object->isMemberOf<QntConnectorShape>();
        if (!plainShape && !object->isKindOf<VRDrawablePath>())
            continue;
        const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        if (!plainShape && walk.pathsOnlyWithoutConnectorSelection && single
            && single->isMemberOf<QntConnector>())
            continue;
        VRStyle *style = object->style().get();
        if (!style || !walk.change(*style, *object, *object))
            continue;
        NotificationCenter::defaultCenter().post(kQntUpdateSubGroupItemNotification, object.get());
        object->notifyVisualChange();
        if (single
            && (single->isMemberOf<QntConnector>()
                || (walk.separatorSelectionUpdates && single->isMemberOf<QntDecoratedSeparator>())))
            single->updateStyle();
    }
}

QWidget *QntContextMenu::simpleStyleView()
{
    if (!_viewSimpleStyle)
        buildSimpleStyleView();
    return _viewSimpleStyle;
}

const QntContextMenu::SimpleStyleControls &QntContextMenu::simpleStyleControls()
{
    simpleStyleView();
    return m_simple;
}

void QntContextMenu::buildSimpleStyleView()
{
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("simpleStyleView"));
    view->setStyleSheet(
        QStringLiteral("QLabel, QCheckBox { color: white; }QLabel#heading { font-weight: bold; }")
        + QntEscapedView::darkPopUpStyleSheet());
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    const auto label = [view](const QString &text) {
        auto *l = new QLabel(text, view);
        return l;
    };
    const auto heading = [view](const QString &text) {
        auto *l = new QLabel(text, view);
        l->setObjectName(QStringLiteral("heading"));
        return l;
    };
    const auto field = [view](const QString &name) {
        return QntTextFieldCell::numberField(view, name);
    };
    const auto slider = [view](const QString &name, double min, double max) {
        return QntDoubleSlider::create(view, name, min, max);
    };
    const auto well = [view](const QString &name) { return QntColorWell::create(view, name); };
    SimpleStyleControls &c = m_simple;
    int row = 0;
    grid->addWidget(heading(tr("Contour")), row++, 0, 1, 4);

    c.contourWidthSlider = slider(QStringLiteral("contourWidthSlider"), 0.0, 32.0);
    c.contourWidthTextbox = field(QStringLiteral("contourWidthTextbox"));
    c.contourWidthLabel = label(QStringLiteral("pt"));
    grid->addWidget(label(tr("Width")), row, 0);
    grid->addWidget(c.contourWidthSlider, row, 1);
    grid->addWidget(c.contourWidthTextbox, row, 2);
    grid->addWidget(c.contourWidthLabel, row++, 3);

    c.contourColorWell = well(QStringLiteral("contourColorWell"));
    // The contour's opacity is the opacity slider's (see simpleStyleContourColorAction).
    c.contourColorWell->setShowsAlpha(false);
    c.contourShadowCheckbox = new QCheckBox(tr("Shadow"), view);
    c.contourShadowCheckbox->setObjectName(QStringLiteral("contourShadowCheckbox"));
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(c.contourColorWell);
    colourRow->addStretch(1);
    colourRow->addWidget(c.contourShadowCheckbox);
    grid->addWidget(label(tr("Colour")), row, 0);
    grid->addLayout(colourRow, row++, 1, 1, 3);

    c.contourTransparencySlider = slider(QStringLiteral("contourTransparencySlider"), 0.0, 1.0);
    c.contourTransparencyTextbox = field(QStringLiteral("contourTransparencyTextbox"));
    grid->addWidget(label(tr("Opacity")), row, 0);
    grid->addWidget(c.contourTransparencySlider, row, 1);
    grid->addWidget(c.contourTransparencyTextbox, row, 2);
    grid->addWidget(label(QStringLiteral("%")), row++, 3);

    c.contourLineTypeCombobox = new QComboBox(view);
    c.contourLineTypeCombobox->setObjectName(QStringLiteral("contourLineTypeCombobox"));
    c.contourLineTypeCombobox->setIconSize(QSize(80, 12));
    grid->addWidget(label(tr("Line")), row, 0);
    grid->addWidget(c.contourLineTypeCombobox, row++, 1, 1, 3);

    c.onlyContourModeCheckbox = new QCheckBox(tr("Contour only"), view);
    c.onlyContourModeCheckbox->setObjectName(QStringLiteral("onlyContourModeCheckbox"));
    c.onlyContourModeCheckbox->hide();
    grid->addWidget(c.onlyContourModeCheckbox, row++, 1, 1, 3);

    grid->addWidget(heading(tr("Fill")), row++, 0, 1, 4);
    c.fillTypesCombobox = new QComboBox(view);
    c.fillTypesCombobox->setObjectName(QStringLiteral("fillTypesCombobox"));
    c.fillTypesCombobox->addItem(tr("Flat colour"), kFlatFill);
    c.fillTypesCombobox->addItem(tr("Linear, two colours"), kLinearTwoColourFill);
    c.fillTypesCombobox->addItem(tr("Linear, three colours"), kLinearThreeColourFill);
    c.fillTypesCombobox->addItem(tr("Elliptical"), kEllipticalFill);
    grid->addWidget(label(tr("Kind")), row, 0);
    grid->addWidget(c.fillTypesCombobox, row++, 1, 1, 3);

    c.fillColorWell = well(QStringLiteral("fillColorWell"));
    // A flat fill's opacity is the opacity slider's (see showFillControlsForKind).
    c.fillColorWell->setShowsAlpha(false);
    c.gradientMiddleColorWell = well(QStringLiteral("gradientMiddleColorWell"));
    c.gradientEndColorWell = well(QStringLiteral("gradientEndColorWell"));
    c.gradientEndColorWell->setColor(Qt::white);
    c.gradientMiddleColorWell->setColor(Qt::gray);
    auto *wells = new QHBoxLayout;
    wells->addWidget(c.fillColorWell);
    wells->addWidget(c.gradientMiddleColorWell);
    wells->addWidget(c.gradientEndColorWell);
    wells->addStretch(1);
    grid->addWidget(label(tr("Colours")), row, 0);
    grid->addLayout(wells, row++, 1, 1, 3);

    c.gradientAngleSlider = slider(QStringLiteral("gradientAngleSlider"), 0.0, 360.0);
    c.gradientAngleLabel = label(QStringLiteral("0°"));
    c.gradientAngleLabel->setObjectName(QStringLiteral("gradientAngleLabel"));
    auto *angleName = label(tr("Angle"));
    grid->addWidget(angleName, row, 0);
    grid->addWidget(c.gradientAngleSlider, row, 1);
    grid->addWidget(c.gradientAngleLabel, row++, 2, 1, 2);
    m_angleNameLabel = angleName;

    c.gradientColorStopPositionSlider =
        slider(QStringLiteral("gradientColorStopPositionSlider"), 0.0, 1.0);
    c.gradientColorStopPositionTextbox = field(QStringLiteral("gradientColorStopPositionTextbox"));
    c.gradientColorStopPositionLabel = label(tr("Middle"));
    c.gradientColorStopPositionTextboxLabel = label(QStringLiteral("%"));
    grid->addWidget(c.gradientColorStopPositionLabel, row, 0);
    grid->addWidget(c.gradientColorStopPositionSlider, row, 1);
    grid->addWidget(c.gradientColorStopPositionTextbox, row, 2);
    grid->addWidget(c.gradientColorStopPositionTextboxLabel, row++, 3);

    c.backgroundTransparencySlider =
        slider(QStringLiteral("backgroundTransparencySlider"), 0.0, 1.0);
    c.backgroundTransparencyTextbox = field(QStringLiteral("backgroundTransparencyTextbox"));
    c.backgroundTransparencyLabel = label(tr("Opacity"));
    c.backgroundTransparencyTextboxLabel = label(QStringLiteral("%"));
    grid->addWidget(c.backgroundTransparencyLabel, row, 0);
    grid->addWidget(c.backgroundTransparencySlider, row, 1);
    grid->addWidget(c.backgroundTransparencyTextbox, row, 2);
    grid->addWidget(c.backgroundTransparencyTextboxLabel, row++, 3);
    c.saveAsDefaultsPopupButton = makeDefaultsPopUp(view);
    grid->addWidget(c.saveAsDefaultsPopupButton, row++, 0, 1, 4, Qt::AlignLeft);

    for (PairedControl pair :
         {PairedControl::ContourWidth, PairedControl::ContourTransparency,
          PairedControl::GradientStopPosition, PairedControl::BackgroundTransparency})
        connectSliderField(pair);
    connect(c.contourColorWell, &QntColorWell::colorChanged, this,
            [this] { simpleStyleContourColorAction(); });
    connect(c.contourShadowCheckbox, &QCheckBox::clicked, this,
            [this] { simpleStyleContourShadowAction(); });
    connect(c.contourLineTypeCombobox, &QComboBox::activated, this,
            [this] { simpleStyleContourLineTypeComboboxAction(); });
    connect(c.onlyContourModeCheckbox, &QCheckBox::clicked, this,
            [this] { onlyContourModeAction(); });
    connect(c.fillTypesCombobox, &QComboBox::activated, this,
            [this] { simpleStyleFillTypeAction(); });
    for (QntColorWell *w : {c.fillColorWell, c.gradientMiddleColorWell, c.gradientEndColorWell})
        connect(w, &QntColorWell::colorChanged, this, [this] { simpleStyleFillColorAction(); });
    connect(c.gradientAngleSlider, &QntDoubleSlider::doubleValueChanged, this, [this] {
        m_simple.gradientAngleLabel->setText(
            formattedNumber(m_simple.gradientAngleSlider->doubleValue()) + QStringLiteral("°"));
        simpleStyleFillColorAction();
    });
    connectSliderUndo(c.gradientAngleSlider, this, &QntContextMenu::beginContinuousChange,
                      &QntContextMenu::endContinuousChange);
    QntViewForAXAttachedWindow::fillBehind(view);
    _viewSimpleStyle = view;
    showFillControlsForKind(kFlatFill, false);
}

void QntContextMenu::createSimpleStyleToolbar(QntButtonMatrix *sender)
{
    if (_attachedSimpleStyleWindow || !sender)
        return;
    populateSimpleStyleToolbar();
    _attachedSimpleStyleWindow = openToolbarBesideSelectedCell(sender, simpleStyleView());
}

void QntContextMenu::closeAttachedSimpleStyleWindow()
{
    if (!_attachedSimpleStyleWindow)
        return;
    endContinuousChange();
    if (_viewSimpleStyle) {
        _viewSimpleStyle->hide();
        _viewSimpleStyle->setParent(nullptr);
    }
    _attachedSimpleStyleWindow->hide();
    _attachedSimpleStyleWindow->deleteLater();
    _attachedSimpleStyleWindow = nullptr;
    for (QntColorWell *w : {m_simple.contourColorWell, m_simple.fillColorWell,
                            m_simple.gradientMiddleColorWell, m_simple.gradientEndColorWell}) {
        if (w)
            w->deactivate();
    }
    ColorPanel::sharedColorPanel().orderOut();
    setShapePartsEditingMode(0);
}

void QntContextMenu::populateSimpleStyleToolbar()
{
    simpleStyleView();
    SimpleStyleControls &c = m_simple;
    const std::shared_ptr<QntElement> element = contextElement();
    const VRObjectRef context = contextObject();
    VRUndoManager *undo = element ? element->undoManager() : nullptr;
    const bool wasEnabled = undo && undo->isUndoRegistrationEnabled();
    if (wasEnabled)
        undo->disableUndoRegistration();

    VRObjectRef reference = element ? element->contourObject() : nullptr;
    if (shapePartsEditingMode() == 1)
        reference = context;
    if (!reference && context && context->isKindOf<QntElementArrow>())
        reference = context->objectWithId(QStringLiteral("p"));
    if (element && element->isMemberOf<QntElement>() && element->editAllPartsAtOnce()) {
        const VRObjectList shapes = element->allPartsOfClass(VRDrawableShape::staticClass());
        if (!shapes.isEmpty())
            reference = shapes.first();
    }
    const VRStyleRef style = reference ? reference->style() : nullptr;
    if (style) {
        const QColor stroke = style->hasStroke() ? style->strokeColour().toRgb() : QColor();
        c.contourColorWell->setColor(stroke.isValid() ? stroke : QColor(Qt::gray));
        const double alpha = stroke.isValid() ? stroke.alphaF() : 1.0;
        c.contourTransparencySlider->setDoubleValue(alpha);
        c.contourTransparencyTextbox->setText(formattedNumber(alpha * 100));

        if (VRFill *fill = lastFillOf(style.get())) {
            const VRGradientRef gradient = fill->gradient();
            int tag = -1;
            if (!gradient) {
                tag = kFlatFill;
            } else if (gradient->gradientType() == 0 && gradient->countOfColorStops() == 2) {
                tag = kLinearTwoColourFill;
            } else if (gradient->gradientType() == 0 && gradient->countOfColorStops() == 3) {
                tag = kLinearThreeColourFill;
                const double position = gradient->colorStops().at(1)->position();
                c.gradientColorStopPositionSlider->setDoubleValue(position);
                c.gradientColorStopPositionTextbox->setText(formattedNumber(position * 100));
            } else if (gradient->gradientType() == 4 && gradient->countOfColorStops() == 2) {
                tag = kEllipticalFill;
            }
            const int index = c.fillTypesCombobox->findData(tag);
            if (index >= 0)
                c.fillTypesCombobox->setCurrentIndex(index);
        }
        _supressActions = true;
        simpleStyleFillTypeAction();
        _supressActions = false;

        const double maxWidth =
            context && context->isKindOf<QntElement>() ? context->size().width() * 0.25 : 32.0;
        c.contourWidthSlider->setMaxValue(std::max(maxWidth, 1.0));
        const double width = style->strokeWidth();
        c.contourWidthSlider->setDoubleValue(width);
        VRDrawing *drawing = currentDrawing();
        c.contourWidthTextbox->setText(
            formattedNumber(drawing ? drawing->convertLength(width) : width));
        c.contourWidthLabel->setText(drawing ? drawing->abbreviatedDrawingUnits()
                                             : QStringLiteral("pt"));
        c.backgroundTransparencySlider->setMaxValue(1.0);
        c.contourTransparencySlider->setMaxValue(1.0);
        const VRStroke *strokeRenderer = style->stroke();
        c.contourShadowCheckbox->setChecked(strokeRenderer && strokeRenderer->shadow().has_value());
        populateMenuWithDashes(c.contourLineTypeCombobox);
        updateContourLineTypeMenuWithDashes(c.contourLineTypeCombobox);
    }
    for (QntTextFieldCell *f :
         {c.contourWidthTextbox, c.contourTransparencyTextbox, c.gradientColorStopPositionTextbox,
          c.backgroundTransparencyTextbox})
        f->setModified(false);

    if (wasEnabled && !undo->isUndoRegistrationEnabled())
        undo->enableUndoRegistration();
}

void QntContextMenu::simpleStyleContourSetWidth(double width)
{
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) {
        return isMemberOfElementsOrElementArrow(o);
    };
    walk.sources = {PartSource::Decor, PartSource::AllShapesAndFreeConnectors, PartSource::Contour,
                    PartSource::Named};
    walk.change = [width](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        if (!style.hasStroke())
            return false;
        style.setStrokeWidth(width);
        return true;
    };
    walk.followUp = [](VRDrawableObject &o) {
        if (auto *element = dynamic_cast<QntElement *>(&o))
            element->updateConnectedConnectors();
        else if (o.isKindOf<QntElementArrow>())
            o.updateStyle();
    };
    walkTargets(walk);
    if (_attachedSimpleStyleWindow)
        _attachedSimpleStyleWindow->redisplayLater();
}

void QntContextMenu::simpleStyleContourSetTransparency(double alpha)
{
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) {
        return isMemberOfElementsOrElementArrow(o);
    };
    walk.sources = {PartSource::Decor, PartSource::AllShapes, PartSource::Contour,
                    PartSource::Named};
    walk.change = [alpha](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        // A style without a contour colour has no red, green and blue to keep.
        QColor colour = style.hasStroke() ? style.strokeColour().toRgb() : QColor();
        if (!colour.isValid())
            return false;
        colour.setAlphaF(float(alpha));
        style.setStrokeColour(colour);
        return true;
    };
    walkTargets(walk);
}

void QntContextMenu::simpleStyleContourSetBackgroundTransparency(double alpha)
{
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) { return isElementOrElementArrow(o); };
    walk.sources = {PartSource::Named, PartSource::Contour};
    walk.pathsOnlyWithoutConnectorSelection = true;
    walk.change = [alpha](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        QColor colour = style.fill() ? style.fillColour().toRgb() : QColor();
        if (!colour.isValid())
            return false;
        colour.setAlphaF(float(alpha));
        style.setFillColour(colour);
        return true;
    };
    walkTargets(walk);
}

QntContextMenu::SliderField QntContextMenu::sliderField(PairedControl pair)
{
    const SimpleStyleControls &c = m_simple;
    const auto percent = [](double value) { return value * 100; };
    // Percentages are held to 0-100.
    const auto fromPercent = [](double typed) -> std::optional<double> {
        return std::clamp(typed / 100.0, 0.0, 1.0);
    };
    switch (pair) {
    case PairedControl::ContourWidth:
        return {c.contourWidthSlider, c.contourWidthTextbox,
                [this](double width) {
                    VRDrawing *drawing = currentDrawing();
                    return drawing ? drawing->convertLength(width) : width;
                },
                [this](double typed) -> std::optional<double> {
                    VRDrawing *drawing = currentDrawing();
                    const double width =
                        drawing ? drawing->convertLengthFromDrawingToBase(typed) : typed;
                    // A negative width is refused; a huge one is held at the largest a contour
                    // can be.
                    if (width < 0)
                        return std::nullopt;
                    return std::min(width, kMaxStrokeWidth);
                },
                [this](double width) { simpleStyleContourSetWidth(width); }};
    case PairedControl::ContourTransparency:
        return {c.contourTransparencySlider, c.contourTransparencyTextbox, percent, fromPercent,
                [this](double alpha) { simpleStyleContourSetTransparency(alpha); }};
    case PairedControl::BackgroundTransparency:
        return {c.backgroundTransparencySlider, c.backgroundTransparencyTextbox, percent,
                fromPercent,
                [this](double alpha) { simpleStyleContourSetBackgroundTransparency(alpha); }};
    case PairedControl::GradientStopPosition:
        // The fill reads the position from the slider.
        return {c.gradientColorStopPositionSlider, c.gradientColorStopPositionTextbox, percent,
                fromPercent, [this](double) { applyFill(); }};
    }
    return {};
}

void QntContextMenu::connectSliderField(PairedControl pair)
{
    const SliderField controls = sliderField(pair);
    connect(controls.slider, &QntDoubleSlider::doubleValueChanged, this,
            [this, pair] { sliderFieldSliderAction(pair); });
    connectSliderUndo(controls.slider, this, &QntContextMenu::beginContinuousChange,
                      &QntContextMenu::endContinuousChange);
    QntTextFieldCell *field = controls.field;
    connect(field, &QLineEdit::editingFinished, this, [this, pair, field] {
        if (field->isModified())
            sliderFieldTextboxAction(pair);
    });
}

void QntContextMenu::sliderFieldSliderAction(PairedControl pair)
{
    simpleStyleView();
    const SliderField controls = sliderField(pair);
    const double value = controls.slider->doubleValue();
    controls.apply(value);
    controls.field->setText(formattedNumber(controls.shown(value)));
}

void QntContextMenu::sliderFieldTextboxAction(PairedControl pair)
{
    simpleStyleView();
    const SliderField controls = sliderField(pair);
    controls.field->setModified(false);
    const double previousShown = controls.shown(controls.slider->doubleValue());
    const std::optional<double> typed = numberFromField(controls.field, previousShown);
    if (!typed)
        return;
    const std::optional<double> value = controls.fromShown(*typed);
    if (!value) {
        controls.field->setText(formattedNumber(previousShown));
        return;
    }
    controls.slider->setDoubleValue(*value);
    controls.apply(*value);
    controls.field->setText(formattedNumber(controls.shown(*value)));
}

void QntContextMenu::simpleStyleContourWidthAction()
{
    sliderFieldSliderAction(PairedControl::ContourWidth);
}

void QntContextMenu::simpleStyleContourWidthTextboxAction()
{
    sliderFieldTextboxAction(PairedControl::ContourWidth);
}

void QntContextMenu::simpleStyleContourTransparencyAction()
{
    sliderFieldSliderAction(PairedControl::ContourTransparency);
}

void QntContextMenu::simpleStyleContourTransparencyTextboxAction()
{
    sliderFieldTextboxAction(PairedControl::ContourTransparency);
}

void QntContextMenu::simpleStyleBackgroundTransparencyAction()
{
    sliderFieldSliderAction(PairedControl::BackgroundTransparency);
}

void QntContextMenu::simpleStyleBackgroundTransparencyTextboxAction()
{
    sliderFieldTextboxAction(PairedControl::BackgroundTransparency);
}

void QntContextMenu::simpleStyleContourColorAction()
{
    // The well gives the colour, the opacity slider beside it its opacity.
    const SimpleStyleControls &c = m_simple;
    QColor colour = c.contourColorWell->color().toRgb();
    colour.setAlphaF(float(std::clamp(c.contourTransparencySlider->doubleValue(), 0.0, 1.0)));
    contourColorChanged(colour);
}

void QntContextMenu::contourColorChanged(const QColor &colour)
{
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) {
        return isMemberOfElementsOrElementArrow(o);
    };
    walk.sources = {PartSource::Decor, PartSource::AllShapesAndFreeConnectors, PartSource::Contour,
                    PartSource::Named};
    walk.separatorSelectionUpdates = true;
    walk.change = [colour](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        const VRStroke *stroke = style.stroke();
        if (stroke && stroke->isMemberOf<VRArrowStroke>())
            return false;
        style.setStrokeColour(colour);
        return true;
    };
    walkTargets(walk);
    simpleStyleView();
    SimpleStyleControls &c = m_simple;
    const QColor rgb = colour.toRgb();
    c.contourColorWell->setColor(rgb);
    c.contourTransparencySlider->setDoubleValue(rgb.alphaF());
    c.contourTransparencyTextbox->setText(formattedNumber(rgb.alphaF() * 100));
}

void QntContextMenu::simpleStyleContourShadowAction()
{
    const bool on = m_simple.contourShadowCheckbox->isChecked();
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) { return isElementOrElementArrow(o); };
    walk.sources = {PartSource::Named, PartSource::Contour};
    walk.change = [on](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        VRStroke *stroke = style.stroke();
        if (!stroke)
            return false;
        stroke->setShadow(on ? std::optional<VRShadow>(VRStyle::defaultShadow()) : std::nullopt);
        if (style.countOfRenderList() > 0) {
            if (VRFill *fill = lastFillOf(&style)) {
                const int index = style.indexOfRenderer(fill);
                if (index >= 0 && fill->container() == &style)
                    style.moveRendererAtIndex(index, style.countOfRenderList() - 1);
            }
        }
        return true;
    };
    walkTargets(walk);
    if (_attachedSimpleStyleWindow)
        _attachedSimpleStyleWindow->redisplayLater();
}

void QntContextMenu::showFillControlsForKind(int kind, bool elementArrow)
{
    SimpleStyleControls &c = m_simple;
    const bool gradient = kind >= kLinearTwoColourFill && kind <= kEllipticalFill;
    const bool linear = kind == kLinearTwoColourFill || kind == kLinearThreeColourFill;
    c.fillColorWell->setVisible(true);
    c.gradientEndColorWell->setVisible(gradient);
    c.gradientMiddleColorWell->setVisible(kind == kLinearThreeColourFill);
    c.gradientAngleSlider->setVisible(linear && !elementArrow);
    c.gradientAngleLabel->setVisible(linear && !elementArrow);
    if (m_angleNameLabel)
        m_angleNameLabel->setVisible(linear && !elementArrow);
    const bool stop = kind == kLinearThreeColourFill;
    c.gradientColorStopPositionSlider->setVisible(stop);
    c.gradientColorStopPositionTextbox->setVisible(stop);
    c.gradientColorStopPositionTextboxLabel->setVisible(stop);
    c.gradientColorStopPositionLabel->setVisible(stop);
    const bool flat = kind == kFlatFill;
    // The colour panel offers opacity for the first colour of a gradient only: a flat fill
    // takes its opacity from the slider, which would overrule the panel's.
    c.fillColorWell->setShowsAlpha(!flat);
    c.backgroundTransparencySlider->setVisible(flat);
    c.backgroundTransparencyTextbox->setVisible(flat);
    c.backgroundTransparencyTextboxLabel->setVisible(flat);
    c.backgroundTransparencyLabel->setVisible(flat);
}

void QntContextMenu::simpleStyleFillTypeAction()
{
    simpleStyleView();
    SimpleStyleControls &c = m_simple;
    VRObjectList reference;
    bool elementArrow = false;
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (!object)
            continue;
        if (isElementOrElementArrow(*object) && shapePartsEditingMode() == 0) {
            reference =
                partList(*object, {PartSource::Named, PartSource::AllShapes, PartSource::Contour});
            if (object->isKindOf<QntElementArrow>())
                elementArrow = true;
        } else if (object->isMemberOf<VRDrawableShape>() || object->isMemberOf<QntConnectorShape>()
                   || object->isKindOf<VRDrawablePath>()) {
            reference = {object};
        }
    }
    const VRStyleRef style =
        reference.isEmpty() || !reference.first() ? nullptr : reference.first()->style();
    const int tag = c.fillTypesCombobox->currentData().toInt();
    if (tag >= kFlatFill && tag <= kEllipticalFill) {
        showFillControlsForKind(tag, elementArrow);
        VRFill *fill = lastFillOf(style.get());
        if (tag == kFlatFill) {
            QColor colour;
            if (fill)
                colour = fill->gradient() && fill->gradient()->countOfColorStops() > 0
                             ? fill->gradient()->colorStops().first()->color()
                             : fill->colour();
            colour = colour.toRgb();
            if (!colour.isValid())
                colour = greyWithAlpha(0.5, 0.0);
            c.fillColorWell->setColor(colour);
            c.backgroundTransparencySlider->setDoubleValue(colour.alphaF());
            c.backgroundTransparencyTextbox->setText(formattedNumber(colour.alphaF() * 100));
        } else if (fill && fill->gradient()) {
            const VRGradientRef gradient = fill->gradient();
            const auto stops = gradient->colorStops();
            if (stops.size() == 2) {
                c.fillColorWell->setColor(stops.at(0)->color());
                c.gradientEndColorWell->setColor(stops.at(1)->color());
            } else if (stops.size() == 3 && tag == kLinearThreeColourFill) {
                c.fillColorWell->setColor(stops.at(0)->color());
                c.gradientMiddleColorWell->setColor(stops.at(1)->color());
                c.gradientEndColorWell->setColor(stops.at(2)->color());
            }
            // The flat colour a gradient stands for is its first stop: its alpha is the
            // background opacity (not what the last object shown left in the slider).
            if (!stops.isEmpty()) {
                const double alpha = stops.first()->color().toRgb().alphaF();
                c.backgroundTransparencySlider->setDoubleValue(alpha);
                c.backgroundTransparencyTextbox->setText(formattedNumber(alpha * 100));
            }
            c.gradientAngleSlider->setDoubleValue(gradient->angleInDegrees());
            c.gradientAngleLabel->setText(formattedNumber(c.gradientAngleSlider->doubleValue())
                                          + QStringLiteral("°"));
        } else {
            c.fillColorWell->setColor(fill ? fill->colour() : QColor(Qt::gray));
        }
        c.gradientColorStopPositionTextbox->setText(
            formattedNumber(c.gradientColorStopPositionSlider->doubleValue() * 100));
        if (!_supressActions)
            applyFill();
    }
    if (_viewSimpleStyle)
        _viewSimpleStyle->resize(_viewSimpleStyle->sizeHint());
    if (_attachedSimpleStyleWindow)
        _attachedSimpleStyleWindow->redisplayLater();
}

void QntContextMenu::applyFill()
{
    const SimpleStyleControls &c = m_simple;
    simpleStyleSetFillKind(c.fillTypesCombobox->currentData().toInt(), c.fillColorWell->color(),
                           c.gradientEndColorWell->color(), c.gradientMiddleColorWell->color(),
                           c.gradientColorStopPositionSlider->doubleValue(),
                           c.backgroundTransparencySlider->doubleValue(),
                           c.gradientAngleSlider->doubleValue());
}

void QntContextMenu::simpleStyleFillColorAction()
{
    applyFill();
}

void QntContextMenu::simpleStyleGradientColorStopPositionSliderAction()
{
    sliderFieldSliderAction(PairedControl::GradientStopPosition);
}

void QntContextMenu::simpleStyleGradientColorStopPositionTextboxAction()
{
    sliderFieldTextboxAction(PairedControl::GradientStopPosition);
}

void QntContextMenu::simpleStyleSetFillKind(int kind, const QColor &startColor,
                                            const QColor &endColor, const QColor &midColor,
                                            double midColorPosition, double transparency,
                                            double angle)
{
    if (kind < kFlatFill || kind > kEllipticalFill)
        return;
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) { return isElementOrElementArrow(o); };
    walk.sources = {PartSource::Named, PartSource::AllShapes, PartSource::Contour};
    walk.pathsOnlyWithoutConnectorSelection = true;
    walk.change = [&](VRStyle &, VRDrawableObject &part, VRDrawableObject &target) {
        VRObjectRef partRef = part.shared_from_this();
        VRObjectRef targetRef = target.shared_from_this();
        simpleStyleSetFillKindBody(kind, startColor, endColor, midColor, midColorPosition,
                                   transparency, angle, {partRef}, targetRef);
        return true;
    };
    walkTargets(walk);
}

void QntContextMenu::simpleStyleSetFillKindBody(int kind, const QColor &startColor,
                                                const QColor &endColor, const QColor &midColor,
                                                double midColorPosition, double transparency,
                                                double angle, const VRObjectList &array,
                                                const VRObjectRef &object)
{
    for (const VRObjectRef &part : array) {
        VRStyle *style = part ? styleOfPart(*part) : nullptr;
        if (!style)
            continue;
        switch (kind) {
        case kFlatFill: {
            QColor colour = startColor.toRgb();
            colour.setAlphaF(float(std::clamp(transparency, 0.0, 1.0)));
            replaceFill(*style, VRFill::fillWithColour(colour));
            simpleStyleView();
            m_simple.fillColorWell->setColor(colour);
            m_simple.backgroundTransparencySlider->setDoubleValue(transparency);
            m_simple.backgroundTransparencyTextbox->setText(formattedNumber(transparency * 100));
            break;
        }
        case kLinearTwoColourFill:
        case kLinearThreeColourFill: {
            const auto *arrow =
                object ? dynamic_cast<const QntElementArrow *>(object.get()) : nullptr;
            const double degrees = arrow ? 0.0 : angle;
            VRGradientRef gradient =
                VRGradient::gradientWithStartingColor(startColor, endColor, 0, degrees);
            if (kind == kLinearThreeColourFill) {
                gradient->addColor(midColor, std::clamp(midColorPosition, 0.0, 1.0));
                // Stops in order of position: the middle one is stop 1 when read back.
                gradient->sortColorStops();
            }
            QPointF a(-0.5, 0.0), b(0.5, 0.0);
            if (arrow && arrow->direction() == 1) {
                a = {0.0, -0.5};
                b = {0.0, 0.5};
            }
            const double radians = degrees * kDegreesToRadians;
            const auto rotated = [radians](QPointF p) {
                return QPointF(p.x() * std::cos(radians) - p.y() * std::sin(radians),
                               p.x() * std::sin(radians) + p.y() * std::cos(radians));
            };
            gradient->setLinearStartingPoint(rotated(a));
            gradient->setLinearEndingPoint(rotated(b));
            replaceFill(*style, VRFill::fillWithGradient(gradient));
            part->setHasManuallyAssignedGradient(true);
            break;
        }
        case kEllipticalFill: {
            VRGradientRef gradient =
                VRGradient::gradientWithStartingColor(startColor, endColor, 4, 0.0);
            // The framework measures gradient points from the centre of the object.
            gradient->setRadialStartingPoint(QPointF(0.0, 0.0));
            gradient->setRadialEndingPoint(QPointF(0.0, 0.0));
            gradient->setRadialStartingRadius(0.0);
            gradient->setRadialEndingRadius(1.0);
            gradient->setQntEllipticalGradientParams(QntEllipticalGradientParams{});
            replaceFill(*style, VRFill::fillWithGradient(gradient));
            part->setHasManuallyAssignedGradient(true);
            break;
        }
        default: break;
        }
    }
}

int QntContextMenu::populateMenuWithDashes(QComboBox *popUp)
{
    if (!popUp)
        return 0;
    popUp->clear();
    popUp->addItem(tr("Solid Line"), kSolidLineTag);
    // The pictures take the list's text colour: black dashes vanish on a dark list.
    // The list's style sheet reaches its palette once the list is polished.
    popUp->view()->ensurePolished();
    const QColor ink = popUp->view()->palette().color(QPalette::Text);
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    for (int i = 0; i < dashes.size(); ++i) {
        popUp->addItem(QIcon(QPixmap::fromImage(dashes.at(i)->standardDashSwatchImage(ink))),
                       QString(), 0);
        popUp->setItemData(popUp->count() - 1, i, Qt::UserRole + 1);
    }
    return popUp->count();
}

bool QntContextMenu::hasStroke(const VRStroke *stroke, const VRStrokeDash *dash)
{
    QList<double> mine;
    if (stroke && stroke->dash())
        mine = stroke->dash()->dashPattern().mid(0, 8);
    const QList<double> theirs = dash ? dash->dashPattern().mid(0, 8) : QList<double>();
    if (mine.size() != theirs.size())
        return false;
    for (int i = 0; i < mine.size(); ++i) {
        // NaN never equals anything.
        if (!(mine.at(i) == theirs.at(i)))
            return false;
    }
    return true;
}

void QntContextMenu::updateContourLineTypeMenuWithDashes(QComboBox *popUp)
{
    if (!popUp)
        return;
    const VRObjectRef context = contextObject();
    VRObjectRef contour;
    if (const std::shared_ptr<QntElement> element = contextElement())
        contour = element->contourObject();
    if (!contour && context && context->isKindOf<QntElementArrow>())
        contour = context->objectWithId(QStringLiteral("p"));
    if (!contour || !contour->style())
        return;
    const VRStroke *stroke = contour->style()->stroke();
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    for (int i = 0; i < popUp->count(); ++i) {
        const QVariant index = popUp->itemData(i, Qt::UserRole + 1);
        if (!index.isValid() || index.toInt() < 0 || index.toInt() >= dashes.size())
            continue;
        if (hasStroke(stroke, dashes.at(index.toInt()).get())) {
            popUp->setCurrentIndex(i);
            return;
        }
        popUp->setCurrentIndex(0);
    }
}

void QntContextMenu::simpleStyleContourLineTypeComboboxAction()
{
    QComboBox *popUp = m_simple.contourLineTypeCombobox;
    if (!popUp)
        return;
    const int tag = popUp->currentData().toInt();
    if (tag == kLeaveDashAloneTag)
        return;
    VRDashRef dash;
    if (tag != kSolidLineTag && tag != kAutomaticDashTag) {
        const QVariant index = popUp->currentData(Qt::UserRole + 1);
        const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
        if (!index.isValid() || index.toInt() < 0 || index.toInt() >= dashes.size())
            return;
        dash = dashes.at(index.toInt());
    }
    Walk walk;
    walk.elementTest = [this](const VRDrawableObject &o) {
        return isMemberOfElementsOrElementArrow(o);
    };
    walk.sources = {PartSource::Decor, PartSource::AllShapes, PartSource::Contour,
                    PartSource::Named};
    walk.change = [tag, dash](VRStyle &style, VRDrawableObject &, VRDrawableObject &) {
        VRStroke *stroke = style.stroke();
        if (!stroke)
            return false;
        if (tag == kAutomaticDashTag)
            stroke->setAutoDash();
        else
            stroke->setDash(dash);
        return true;
    };
    walk.followUp = [](VRDrawableObject &o) {
        if (auto *element = dynamic_cast<QntElement *>(&o))
            element->updateConnectedConnectors();
        else if (o.isKindOf<QntElementArrow>())
            o.updateStyle();
    };
    walkTargets(walk);
}
