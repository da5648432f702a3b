// QntElementModeInspector: the element style dictionary, saving, applying and resetting element
// defaults, defaults for shapes added from the palette, and copied styles.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/undo/VRUndoRegistrationOff.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QDebug>
#include <QPointer>

#include <cmath>

const QString kQntCustomNotationDefaultElement = QStringLiteral("kQntCustomNotationDefaultElement");
const QString kQntDefaultImageShape = QStringLiteral("kQntDefaultImageShape");
const QString kQntDefaultImageShapeShowContour = QStringLiteral("kQntDefaultImageShapeShowContour");
const QString kQntDefaultImageShapeContourType = QStringLiteral("kQntDefaultImageShapeContourType");
const QString kQntDefaultImageShapeContourColor =
    QStringLiteral("kQntDefaultImageShapeContourColor");
const QString kQntDefaultImageShapeContourWidth =
    QStringLiteral("kQntDefaultImageShapeContourWidth");
const QString kQntDefaultImageShapeRectangleContourRadius =
    QStringLiteral("kQntDefaultImageShapeRectangleContourRadius");
const QString kQntNotationElementColorScheme = QStringLiteral("kQntNotationElementColorScheme");
const QString kQntNotationElementTextFont = QStringLiteral("kQntNotationElementTextFont");
const QString kQntNotationElementTextFontSize = QStringLiteral("kQntNotationElementTextFontSize");
const QString kQntNotationElementTextFontColor = QStringLiteral("kQntNotationElementTextFontColor");
const QString kQntNotationElementTextAlignment = QStringLiteral("kQntNotationElementTextAlignment");
const QString kQntNotationElementPaddingTopBottom =
    QStringLiteral("kQntNotationElementPaddingTopBottom");
const QString kQntNotationElementPaddingLeftRight =
    QStringLiteral("kQntNotationElementPaddingLeftRight");
const QString kQntNotationElementTextAngle = QStringLiteral("kQntNotationElementTextAngle");

namespace {

// A whole number of the dictionary, or the fallback when the key is absent or does not read.
long long wholeNumber(const QVariantMap &d, const QString &key, long long fallback)
{
    const std::optional<double> number = QntContextMenu::finiteNumber(d, key);
    if (!number || std::abs(*number) > 1e9)
        return fallback;
    return std::llround(*number);
}

} // namespace

std::optional<QVariantMap> QntElementModeInspector::styleForContextObject()
{
    return styleOfObject(_contextObject);
}

std::optional<QVariantMap> QntElementModeInspector::styleOfObject(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntElement>())
        return std::nullopt;
    const VRUndoRegistrationOff off(object->undoManager());
    const VRObjectRef previous = _contextObject;
    const bool limited = limitSelectedObjectForCurrentTargetToContextObject();
    _contextObject = object;
    // The toolbars are read from the object alone, whatever else is selected.
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    QVariantMap d;
    if (object->isKindOf<QntImageShape>()) {
        populateImageShapeStyleToolbar();
        const ImageControls &c = imageControls();
        int type = 0;
        for (int tag = 0; tag < 3; ++tag)
            if (c.contourType[tag]->isBordered())
                type = tag;
        d = {
            {kQntDefaultImageShapeShowContour, c.showContour->isChecked() ? 1 : 0},
            {kQntDefaultImageShapeContourType, type},
            {kQntDefaultImageShapeContourColor,
             KeyedArchiver::archivedDataWithColor(c.contourColorWell->color())},
            {kQntDefaultImageShapeContourWidth, c.contourWidthSlider->doubleValue()},
            {kQntDefaultImageShapeRectangleContourRadius, c.cornerRadiusSlider->doubleValue()},
        };
    } else {
        auto *element = static_cast<QntElement *>(object.get());
        if (isCustomizableNotation()) {
            populateSimpleStyleToolbar();
            d = simpleStyleDictionaryFromControls();
            // The controls of the parts that the element's fill kind does not use hold whatever
            // they last showed; the dictionary gives those parts their built-in values, so that
            // two elements that look the same have the same style.
            const QVariantMap builtIn = defaultsForElement();
            QStringList unused;
            switch (d.value(kQntCustomNotationElementBackgroundFill).toInt()) {
            case kFlatFill:
                unused = {kQntCustomNotationElementBackgroundColor2,
                          kQntCustomNotationElementBackgroundColor3,
                          kQntCustomNotationElementBackgroundGradientPosition,
                          kQntCustomNotationElementBackgroundGradientAngle};
                break;
            case kLinearTwoColourFill:
                unused = {kQntCustomNotationElementBackgroundColor2,
                          kQntCustomNotationElementBackgroundGradientPosition,
                          kQntCustomNotationElementBackgroundOpacity};
                break;
            case kLinearThreeColourFill:
                unused = {kQntCustomNotationElementBackgroundOpacity};
                break;
            default:
                unused = {kQntCustomNotationElementBackgroundColor2,
                          kQntCustomNotationElementBackgroundGradientPosition,
                          kQntCustomNotationElementBackgroundGradientAngle,
                          kQntCustomNotationElementBackgroundOpacity};
                break;
            }
            for (const QString &key : unused)
                d.insert(key, builtIn.value(key));
        } else {
            d.insert(kQntNotationElementColorScheme, qint64(element->colorSchemeId()));
        }
        if (const QntTextShape *text = element->text()) {
            d.insert(kQntNotationElementTextFont,
                     KeyedArchiver::archivedDataWithFont(text->font()));
            // Kept as a real number, so that a size of 13.5 comes back as 13.5.
            d.insert(kQntNotationElementTextFontSize, text->fontSize());
            d.insert(kQntNotationElementTextFontColor,
                     KeyedArchiver::archivedDataWithColor(text->textColour()));
            d.insert(kQntNotationElementTextAlignment, qint64(text->alignment()));
            d.insert(kQntNotationElementTextAngle, text->textAngle());
        }
        d.insert(kQntNotationElementPaddingTopBottom, element->paddingTopBottom());
        d.insert(kQntNotationElementPaddingLeftRight, element->paddingLeftRight());
    }
    setLimitSelectedObjectForCurrentTargetToContextObject(limited);
    _contextObject = previous;
    return d;
}

QVariantMap QntElementModeInspector::defaultsForElement()
{
    const auto colour = [](Qt::GlobalColor c) {
        return QVariant(KeyedArchiver::archivedDataWithColor(QColor(c)));
    };
    return {
        {kQntCustomNotationElementContourColor, colour(Qt::gray)},
        {kQntCustomNotationElementContouWidth, 3.0},
        {kQntCustomNotationElementContourOpacity, 1.0},
        {kQntCustomNotationElementContourShadow, 0},
        {kQntCustomNotationElementBackgroundFill, 0},
        {kQntCustomNotationElementBackgroundColor1, colour(Qt::black)},
        {kQntCustomNotationElementBackgroundColor2, colour(Qt::gray)},
        {kQntCustomNotationElementBackgroundColor3, colour(Qt::blue)},
        {kQntCustomNotationElementBackgroundOpacity, 0.0},
        {kQntCustomNotationElementBackgroundGradientPosition, 0.5},
        {kQntCustomNotationElementBackgroundGradientAngle, 0.0},
        {kQntCustomNotationElementLineType, 0},
    };
}

QVariantMap QntElementModeInspector::defaultsForImageShape()
{
    return {
        {kQntDefaultImageShapeShowContour, 0},
        {kQntDefaultImageShapeContourType, 0},
        {kQntDefaultImageShapeContourColor, KeyedArchiver::archivedDataWithColor(QColor(Qt::gray))},
        {kQntDefaultImageShapeContourWidth, 0.0},
        {kQntDefaultImageShapeRectangleContourRadius, 16.0},
    };
}

// The user-defaults key of the object's kind of stored defaults; empty when it has none.
static QString defaultsKeyFor(const VRObjectRef &object, bool customizable)
{
    if (!object)
        return {};
    if (object->isKindOf<QntImageShape>())
        return kQntDefaultImageShape;
    if (object->isKindOf<QntElement>() && customizable)
        return kQntCustomNotationDefaultElement;
    return {};
}

// A stored dictionary, or none (with a log line) when the entry is not a dictionary.
static std::optional<QVariantMap> storedDefaults(const QString &key)
{
    const QVariant value = UserDefaults::standardUserDefaults().objectForKey(key);
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() != QMetaType::QVariantMap) {
        qWarning().noquote() << QStringLiteral("The stored defaults \"%1\" are not a dictionary "
                                               "and are ignored.")
                                    .arg(key);
        return std::nullopt;
    }
    return value.toMap();
}

void QntElementModeInspector::saveDefaultsForContextObject()
{
    const QString key = defaultsKeyFor(_contextObject, isCustomizableNotation());
    if (key.isEmpty())
        return;
    if (const std::optional<QVariantMap> style = styleForContextObject())
        UserDefaults::standardUserDefaults().setObject(*style, key);
}

void QntElementModeInspector::applyDefaultsToContextObject()
{
    applyDefaultsToObject(_contextObject);
}

void QntElementModeInspector::applyDefaultsToObject(const VRObjectRef &object)
{
    if (!object)
        return;
    _contextObject = object;
    const QString key = defaultsKeyFor(object, isCustomizableNotation());
    if (key.isEmpty())
        return;
    if (const std::optional<QVariantMap> stored = storedDefaults(key))
        applyDefaults(*stored, object);
}

void QntElementModeInspector::resetDefaultsContextObject()
{
    const QString key = defaultsKeyFor(_contextObject, isCustomizableNotation());
    if (key.isEmpty())
        return;
    UserDefaults::standardUserDefaults().removeObjectForKey(key);
    resetToBuiltInLook(tr("Reset Defaults"));
}

void QntElementModeInspector::resetDefaultsForCurrentOnlyContextObject()
{
    resetToBuiltInLook(tr("Reset This Only"));
}

void QntElementModeInspector::resetToBuiltInLook(const QString &stepName)
{
    const VRObjectRef object = _contextObject;
    if (!object || object->isKindOf<QntElementTable>())
        return;
    // Straight through the toolbar controls, onto the current targets: each control records its
    // own change, as when the user sets it. Together they are one step named after the reset.
    VRUndoManager *undo = object->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    if (object->isKindOf<QntImageShape>()) {
        populateImageShapeStyleToolbar();
        applyDefaultsToImageShape(defaultsForImageShape());
    } else if (object->isKindOf<QntElement>() && isCustomizableNotation()) {
        populateSimpleStyleToolbar();
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(defaultsForElement()));
    }
    if (undo) {
        undo->setActionName(stepName);
        undo->endUndoGrouping();
    }
}

void QntElementModeInspector::saveAsDefaults(int tag, QWidget *popUpView)
{
    const bool simpleStyle = popUpView && popUpView == _viewSimpleStyle.data();
    const bool imageShape = popUpView && popUpView == _viewImageShapeStyleHorizontal.data();
    if (!simpleStyle && !imageShape)
        return;
    switch (tag) {
    case 0:
        // From the simple-style toolbar only an element of a customizable notation is saved.
        if (imageShape || isCustomizableNotation())
            saveDefaultsForContextObject();
        break;
    case 1: resetDefaultsContextObject(); break;
    case 2: resetDefaultsForCurrentOnlyContextObject(); break;
    case 3: applyDefaultsToContextObject(); break;
    default: break;
    }
}

void QntElementModeInspector::applyDefaults(const QVariantMap &dictionary,
                                            const VRObjectRef &element)
{
    if (!element || !element->isKindOf<QntElement>() || element->isKindOf<QntElementTable>())
        return;
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    _contextObject = element;
    const std::optional<QVariantMap> before = styleForContextObject();
    if (!before) {
        setLimitSelectedObjectForCurrentTargetToContextObject(false);
        return;
    }
    VRUndoManager *undo = element->undoManager();
    if (undo) {
        const bool coalescing = undo->isUndoTaskCoalescingEnabled();
        undo->disableUndoTaskCoalescing();
        const QPointer<QntElementModeInspector> self(this);
        undo->registerUndo(this, "applyDefaults:toElement:", [self, style = *before, element] {
            if (self)
                self->applyDefaults(style, element);
        });
        if (coalescing)
            undo->enableUndoTaskCoalescing();
    }
    {
        const VRUndoRegistrationOff off(undo);
        auto *target = static_cast<QntElement *>(element.get());
        const bool image = element->isKindOf<QntImageShape>();
        if (image) {
            populateImageShapeStyleToolbar();
            applyDefaultsToImageShape(dictionary);
        } else {
            if (isCustomizableNotation()) {
                populateSimpleStyleToolbar();
                applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
            }
            applyDefaultsToElement(dictionary);
        }
        if (QntTextShape *text = target->text()) {
            if (dictionary.contains(kQntNotationElementTextFont)) {
                if (const std::optional<QFont> font = KeyedArchiver::unarchiveFont(
                        dictionary.value(kQntNotationElementTextFont).toByteArray()))
                    text->setFont(*font);
            }
            if (dictionary.contains(kQntNotationElementTextFontColor)) {
                if (const std::optional<QColor> colour = KeyedArchiver::unarchiveColor(
                        dictionary.value(kQntNotationElementTextFontColor).toByteArray()))
                    text->setTextColour(*colour);
            }
            if (const std::optional<double> size =
                    finiteNumber(dictionary, kQntNotationElementTextFontSize);
                size && *size > 0 && *size <= 1000)
                text->setFontSize(*size);
            if (dictionary.contains(kQntNotationElementTextAlignment)) {
                const long long alignment =
                    wholeNumber(dictionary, kQntNotationElementTextAlignment, -1);
                if (alignment >= 0 && alignment <= 3)
                    text->setAlignment(int(alignment));
            }
        }
        if (const std::optional<double> padding =
                finiteNumber(dictionary, kQntNotationElementPaddingLeftRight);
            padding && *padding >= 0)
            target->setPaddingLeftRight(*padding);
        if (const std::optional<double> padding =
                finiteNumber(dictionary, kQntNotationElementPaddingTopBottom);
            padding && *padding >= 0)
            target->setPaddingTopBottom(*padding);
        if (QntTextShape *text = target->text()) {
            if (const std::optional<double> angle =
                    finiteNumber(dictionary, kQntNotationElementTextAngle))
                text->setTextAngle(*angle);
        }
        target->invalidateBoundsCache();
        target->notifyVisualChange();
    }
    setLimitSelectedObjectForCurrentTargetToContextObject(false);
}

void QntElementModeInspector::applyDefaultsToElement(const QVariantMap &dictionary)
{
    // Only a dictionary that carries a scheme changes it: the simple-style dictionaries of
    // customizable notations have none, and scheme 0 would undo the look just applied.
    const std::shared_ptr<QntElement> element = contextElement();
    if (!element || !dictionary.contains(kQntNotationElementColorScheme))
        return;
    const long long scheme = wholeNumber(dictionary, kQntNotationElementColorScheme, -1);
    if (scheme >= 0)
        element->replaceColorScheme(scheme);
}

void QntElementModeInspector::applyDefaultsToImageShape(const QVariantMap &dictionary)
{
    const ImageControls &c = imageControls();
    c.showContour->setChecked(wholeNumber(dictionary, kQntDefaultImageShapeShowContour, 0) == 1);
    imageShowContourAction();
    int type = 0;
    for (int tag = 0; tag < 3; ++tag)
        if (c.contourType[tag]->isBordered())
            type = tag;
    if (c.showContour->isChecked()) {
        const long long stored = wholeNumber(dictionary, kQntDefaultImageShapeContourType, 0);
        type = stored >= 0 && stored < 3 ? int(stored) : 0;
        imageContourTypeAction(type);
        const std::optional<QColor> colour = KeyedArchiver::unarchiveColor(
            dictionary.value(kQntDefaultImageShapeContourColor).toByteArray());
        c.contourColorWell->setColor(colour ? *colour : QColor(Qt::gray));
        imageContourColorAction();
        const double width =
            std::max(0.0, finiteNumber(dictionary, kQntDefaultImageShapeContourWidth).value_or(0));
        c.contourWidthSlider->setMaxValue(std::max(c.contourWidthSlider->maxValue(), width));
        c.contourWidthSlider->setDoubleValue(width);
        showLength(c.contourWidthSlider, c.contourWidthTextbox, c.contourWidthTextboxLabel);
        imageContourWidthAction();
    }
    if (type == 0) {
        const double radius = std::max(
            0.0, finiteNumber(dictionary, kQntDefaultImageShapeRectangleContourRadius).value_or(0));
        c.cornerRadiusSlider->setMaxValue(std::max(c.cornerRadiusSlider->maxValue(), radius));
        c.cornerRadiusSlider->setDoubleValue(radius);
        showLength(c.cornerRadiusSlider, c.cornerRadiusTextbox, c.cornerRadiusTextboxLabel);
        imageRectangleCornerRaduisAction();
    }
}

void QntElementModeInspector::applyDefaults(const Notification &notification)
{
    if (!UserDefaults::standardUserDefaults().boolForKey(QntApplyDefaultsKey))
        return;
    VRDrawing *drawing = currentDrawing();
    VRObjectDrawingLayer *layer =
        drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (!layer)
        return;
    if (const VRObjectRef named =
            notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>())
        layer->exchangeSelectionWithObjectsFromArray({named});
    const VRObjectRef single = layer->singleSelection();
    if (!single || !single->isKindOf<QntElement>())
        return;
    auto *element = static_cast<QntElement *>(single.get());
    element->setupAfterDraggingFromPalette();
    // The new shape takes its defaults as part of being added: undoing the addition removes it,
    // and redoing it brings it back as styled.
    const VRUndoRegistrationOff off(single->undoManager());
    if (single->isKindOf<QntImageShape>()) {
        if (const std::optional<QVariantMap> stored = storedDefaults(kQntDefaultImageShape))
            applyDefaults(*stored, single);
    } else if (!single->isKindOf<QntText>() && isCustomizableNotation()) {
        // The stored element look belongs to customizable notations; elsewhere new shapes keep
        // their notation's colour scheme.
        if (const std::optional<QVariantMap> stored =
                storedDefaults(kQntCustomNotationDefaultElement))
            applyDefaults(*stored, single);
    }
    NotificationCenter::defaultCenter().post(kQntHighlightChangedNotification, nullptr, {});
}

void QntElementModeInspector::styleShouldBeAppliedToSelection(const QVariantMap &style)
{
    const VRObjectRef single = copiedStyleTargetInSelection();
    if (single && single->isKindOf<QntElement>())
        applyDefaults(style, single);
}

void QntElementModeInspector::styleShouldBeAppliedNotification(const Notification &notification)
{
    const QVariant style = notification.userInfo.value(QStringLiteral("style"));
    if (style.typeId() != QMetaType::QVariantMap || style.toMap().isEmpty())
        return;
    styleShouldBeAppliedToSelection(style.toMap());
}

static VRObjectRef notifiedObject(const Notification &notification)
{
    return notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
}

void QntElementModeInspector::saveAsDefaultsNotification(const Notification &notification)
{
    _contextObject = notifiedObject(notification);
    saveDefaultsForContextObject();
}

void QntElementModeInspector::applyDefaultsNotification(const Notification &notification)
{
    _contextObject = notifiedObject(notification);
    applyDefaultsToContextObject();
}

void QntElementModeInspector::resetDefaultsNotification(const Notification &notification)
{
    _contextObject = notifiedObject(notification);
    resetDefaultsContextObject();
}

void QntElementModeInspector::resetDefaultsForCurrentOnlyNotification(
    const Notification &notification)
{
    _contextObject = notifiedObject(notification);
    resetDefaultsForCurrentOnlyContextObject();
}

bool QntElementModeInspector::copiesStyleOf(const VRObjectRef &object) const
{
    return object && object->isKindOf<QntElement>() && !object->isKindOf<QntConnector>();
}
