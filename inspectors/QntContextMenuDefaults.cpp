// QntContextMenu: putting a stored simple style onto an element through the simple-style
// toolbar's controls, and reading the controls back into such a dictionary.
#include "inspectors/QntContextMenu.h"

#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "platform/KeyedArchiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QToolButton>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>

#include <cmath>

const QString kQntCustomNotationElementContourColor =
    QStringLiteral("kQntCustomNotationElementContourColor");
const QString kQntCustomNotationElementContouWidth =
    QStringLiteral("kQntCustomNotationElementContouWidth");
const QString kQntCustomNotationElementContourOpacity =
    QStringLiteral("kQntCustomNotationElementContourOpacity");
const QString kQntCustomNotationElementContourShadow =
    QStringLiteral("kQntCustomNotationElementContourShadow");
const QString kQntCustomNotationElementBackgroundFill =
    QStringLiteral("kQntCustomNotationElementBackgroundFill");
const QString kQntCustomNotationElementLineType =
    QStringLiteral("kQntCustomNotationElementLineType");
const QString kQntCustomNotationElementBackgroundColor1 =
    QStringLiteral("kQntCustomNotationElementBackgroundColor1");
const QString kQntCustomNotationElementBackgroundColor2 =
    QStringLiteral("kQntCustomNotationElementBackgroundColor2");
const QString kQntCustomNotationElementBackgroundColor3 =
    QStringLiteral("kQntCustomNotationElementBackgroundColor3");
const QString kQntCustomNotationElementBackgroundOpacity =
    QStringLiteral("kQntCustomNotationElementBackgroundOpacity");
const QString kQntCustomNotationElementBackgroundGradientPosition =
    QStringLiteral("kQntCustomNotationElementBackgroundGradientPosition");
const QString kQntCustomNotationElementBackgroundGradientAngle =
    QStringLiteral("kQntCustomNotationElementBackgroundGradientAngle");

namespace {

std::optional<QColor> colourFor(const QVariantMap &dictionary, const QString &key)
{
    const QVariant value = dictionary.value(key);
    if (!value.isValid())
        return std::nullopt;
    return KeyedArchiver::unarchiveColor(value.toByteArray());
}

} // namespace

std::optional<double> QntContextMenu::finiteNumber(const QVariantMap &dictionary,
                                                   const QString &key)
{
    const QVariant value = dictionary.value(key);
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

void QntContextMenu::applyDefaultsToSimpleElement(const QVariantMap &dictionary,
                                                  const VRObjectRef &element)
{
    if (!element)
        return;
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    setContextObject(element);
    const std::optional<QVariantMap> before = styleForContextObject();
    VRUndoManager *undo = element->undoManager();
    if (!undo) {
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
        setLimitSelectedObjectForCurrentTargetToContextObject(false);
        return;
    }
    if (!before) {
        // Without a snapshot to go back to, the framework's own records make the one step.
        undo->beginUndoGrouping();
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
        undo->endUndoGrouping();
        setLimitSelectedObjectForCurrentTargetToContextObject(false);
        return;
    }
    const bool coalescing = undo->isUndoTaskCoalescingEnabled();
    undo->disableUndoTaskCoalescing();
    const QPointer<QntContextMenu> self(this);
    undo->registerUndo(this, "applyDefaults:toSimpleElement:", [self, style = *before, element] {
        if (self)
            self->applyDefaultsToSimpleElement(style, element);
    });
    if (coalescing)
        undo->enableUndoTaskCoalescing();
    if (undo->isUndoRegistrationEnabled()) {
        undo->disableUndoRegistration();
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
        if (!undo->isUndoRegistrationEnabled())
            undo->enableUndoRegistration();
    } else {
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
    }
    setLimitSelectedObjectForCurrentTargetToContextObject(false);
}

void QntContextMenu::applyDefaultsToSimpleElement(const std::optional<QVariantMap> &dictionary)
{
    if (!dictionary)
        return;
    const QVariantMap &d = *dictionary;
    simpleStyleView();
    SimpleStyleControls &c = m_simple;
    VRDrawing *drawing = currentDrawing();

    if (const std::optional<QColor> colour = colourFor(d, kQntCustomNotationElementContourColor)) {
        // A stored colour keeps its own opacity (a stored opacity below overrules it).
        contourColorChanged(*colour);
    }
    if (const std::optional<double> width = finiteNumber(d, kQntCustomNotationElementContouWidth)) {
        c.contourWidthSlider->setDoubleValue(*width);
        c.contourWidthLabel->setText(drawing ? drawing->abbreviatedDrawingUnits()
                                             : QStringLiteral("pt"));
        simpleStyleContourWidthAction();
    }
    {
        // An absent line type is the first item, "Solid Line"; an index outside the menu (a
        // stored dictionary of another build, or edited by hand) leaves the dash alone.
        const long long index =
            std::llround(finiteNumber(d, kQntCustomNotationElementLineType).value_or(0.0));
        if (index >= 0 && index < c.contourLineTypeCombobox->count()) {
            c.contourLineTypeCombobox->setCurrentIndex(int(index));
            simpleStyleContourLineTypeComboboxAction();
        }
    }
    if (const std::optional<double> alpha =
            finiteNumber(d, kQntCustomNotationElementContourOpacity)) {
        c.contourTransparencySlider->setDoubleValue(*alpha);
        simpleStyleContourTransparencyAction();
    }
    if (const std::optional<double> shadow =
            finiteNumber(d, kQntCustomNotationElementContourShadow)) {
        c.contourShadowCheckbox->setChecked(std::llround(*shadow) != 0);
        simpleStyleContourShadowAction();
    }
    const std::optional<double> kind = finiteNumber(d, kQntCustomNotationElementBackgroundFill);
    if (!kind)
        return;
    const int index = c.fillTypesCombobox->findData(int(std::llround(*kind)));
    if (index < 0)
        return;
    c.fillTypesCombobox->setCurrentIndex(index);
    // The kind's controls are shown here; the fill itself is applied once, below, from the
    // dictionary's values.
    _supressActions = true;
    simpleStyleFillTypeAction();
    _supressActions = false;
    const auto setWell = [&](QntColorWell *well, const QString &key) {
        if (const std::optional<QColor> colour = colourFor(d, key))
            well->setColor(*colour);
    };
    const auto setSlider = [&](QntDoubleSlider *slider, const QString &key) {
        if (const std::optional<double> value = finiteNumber(d, key))
            slider->setDoubleValue(*value);
    };
    switch (c.fillTypesCombobox->currentData().toInt()) {
    case kFlatFill:
        setWell(c.fillColorWell, kQntCustomNotationElementBackgroundColor1);
        setSlider(c.backgroundTransparencySlider, kQntCustomNotationElementBackgroundOpacity);
        break;
    case kLinearThreeColourFill:
        setWell(c.gradientMiddleColorWell, kQntCustomNotationElementBackgroundColor2);
        setSlider(c.gradientColorStopPositionSlider,
                  kQntCustomNotationElementBackgroundGradientPosition);
        c.gradientColorStopPositionTextbox->setText(
            formattedNumber(c.gradientColorStopPositionSlider->doubleValue() * 100));
        [[fallthrough]];
    case kLinearTwoColourFill:
        setWell(c.fillColorWell, kQntCustomNotationElementBackgroundColor1);
        setWell(c.gradientEndColorWell, kQntCustomNotationElementBackgroundColor3);
        {
            const QSignalBlocker blocker(c.gradientAngleSlider);
            setSlider(c.gradientAngleSlider, kQntCustomNotationElementBackgroundGradientAngle);
        }
        c.gradientAngleLabel->setText(formattedNumber(c.gradientAngleSlider->doubleValue())
                                      + QStringLiteral("°"));
        break;
    case kEllipticalFill:
        setWell(c.fillColorWell, kQntCustomNotationElementBackgroundColor1);
        setWell(c.gradientEndColorWell, kQntCustomNotationElementBackgroundColor3);
        break;
    default: return;
    }
    simpleStyleFillColorAction();
}

QVariantMap QntContextMenu::simpleStyleDictionaryFromControls()
{
    simpleStyleView();
    const SimpleStyleControls &c = m_simple;
    const auto colour = [](const QntColorWell *well) {
        return QVariant(KeyedArchiver::archivedDataWithColor(well->color()));
    };
    return {
        {kQntCustomNotationElementContourColor, colour(c.contourColorWell)},
        {kQntCustomNotationElementContouWidth, c.contourWidthSlider->doubleValue()},
        {kQntCustomNotationElementContourOpacity, c.contourTransparencySlider->doubleValue()},
        {kQntCustomNotationElementContourShadow, c.contourShadowCheckbox->isChecked() ? 1 : 0},
        {kQntCustomNotationElementBackgroundFill, c.fillTypesCombobox->currentData().toInt()},
        {kQntCustomNotationElementLineType, c.contourLineTypeCombobox->currentIndex()},
        {kQntCustomNotationElementBackgroundColor1, colour(c.fillColorWell)},
        {kQntCustomNotationElementBackgroundColor2, colour(c.gradientMiddleColorWell)},
        {kQntCustomNotationElementBackgroundColor3, colour(c.gradientEndColorWell)},
        {kQntCustomNotationElementBackgroundOpacity, c.backgroundTransparencySlider->doubleValue()},
        {kQntCustomNotationElementBackgroundGradientPosition,
         c.gradientColorStopPositionSlider->doubleValue()},
        {kQntCustomNotationElementBackgroundGradientAngle, c.gradientAngleSlider->doubleValue()},
    };
}

QToolButton *QntContextMenu::makeDefaultsMenuButton(QWidget *parent, const QString &title,
                                                    QObject *context,
                                                    const std::function<void(int tag)> &choose)
{
    auto *button = new QToolButton(parent);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; background: rgba(80, 80, 80, 230);"
        " border: 1px solid rgba(150, 150, 150, 200); border-radius: 3px; padding: 2px 8px; }"
        "QToolButton::menu-indicator { image: none; }"));
    button->setText(title + QStringLiteral(" \u25BE"));
    auto *menu = new QMenu(button);
    const struct {
        const char *title;
        int tag;
    } items[] = {
        {QT_TR_NOOP("Save as Defaults"), 0},
        {QT_TR_NOOP("Apply Defaults"), 3},
        {QT_TR_NOOP("Reset Defaults"), 1},
        {QT_TR_NOOP("Reset This Only"), 2},
    };
    for (const auto &item : items) {
        QAction *action = menu->addAction(tr(item.title));
        action->setData(item.tag);
        connect(action, &QAction::triggered, context, [choose, tag = item.tag] { choose(tag); });
    }
    button->setMenu(menu);
    return button;
}

QWidget *QntContextMenu::makeDefaultsPopUp(QWidget *view)
{
    const QPointer<QWidget> owner(view);
    QToolButton *button = makeDefaultsMenuButton(
        view, tr("Defaults"), this, [this, owner](int tag) { saveAsDefaults(tag, owner); });
    button->setObjectName(QStringLiteral("defaultsPopUp"));
    return button;
}

namespace {
// The drawing tool of the current document's main view, when it is the style-copy tool.
QntStyleCopyingTool *currentStyleCopyingTool(const VRInspectorBase &inspector)
{
    VRDrawingDocument *document = inspector.currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    VRDrawingTool *tool = view && view->controller() ? view->controller()->drawingTool() : nullptr;
    return dynamic_cast<QntStyleCopyingTool *>(tool);
}
} // namespace

VRObjectRef QntContextMenu::copiedStyleTargetInSelection() const
{
    VRDrawing *drawing = currentDrawing();
    VRObjectDrawingLayer *layer =
        drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
    if (!single)
        return nullptr;
    QntStyleCopyingTool *copying = currentStyleCopyingTool(*this);
    if (!copying || copying->classOfTargetObject() != &single->classInfo())
        return nullptr;
    return single;
}

void QntContextMenu::styleShouldBeCopiedNotification(const Notification &notification)
{
    VRObjectRef object = notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
    VRDrawing *drawing = currentDrawing();
    if (!object) {
        VRObjectDrawingLayer *layer =
            drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        if (!layer || layer->countOfSelection() != 1)
            return;
        object = layer->singleSelection();
    }
    if (!object || !copiesStyleOf(object))
        return;
    setContextObject(object);
    const std::optional<QVariantMap> style = styleForContextObject();
    if (!style)
        return;
    QntStyleCopyingTool *copying = currentStyleCopyingTool(*this);
    if (!copying)
        return;
    copying->setCopiedStyleOptions(*style);
    copying->setClassOfTargetObject(&object->classInfo());
    copying->setLastSourceObject(object);
    copying->showInfoWindowForObject(object, QCursor::pos());
    copying->setMode(2);
}
