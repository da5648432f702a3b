// QntConnectorModeInspector: connector defaults (notation connectors, custom connectors, element
// arrows), applying a connector style as one undoable step, style snapshots for undo and style
// copying, and the styling of a connector the user has just drawn.
#include "connectors/QntConnectorModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntTextFieldCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/VRDrawing.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/QntConnectorAdornmentBuilder.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/undo/VRUndoRegistrationOff.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "platform/DelayedPerform.h"
#include "platform/KeyedArchiver.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QPointer>
#include <QScopeGuard>

#include <cmath>

const QString kQntCustomNotationConnector = QStringLiteral("kQntCustomNotationConnector");
const QString kQntCustomNotationElementArrow = QStringLiteral("kQntCustomNotationElementArrow");
const QString kQntNotationConnectorAdornmentId = QStringLiteral("kQntNotationConnectorAdornmentId");
const QString kQntNotationConnectorStartArrowhead =
    QStringLiteral("kQntNotationConnectorStartArrowhead");
const QString kQntNotationConnectorEndArrowhead =
    QStringLiteral("kQntNotationConnectorEndArrowhead");
const QString kQntNotationConnectorStartArrowheadColor =
    QStringLiteral("kQntNotationConnectorStartArrowheadColor");
const QString kQntNotationConnectorEndArrowheadColor =
    QStringLiteral("kQntNotationConnectorEndArrowheadColor");
const QString kQntNotationConnectorColorSchemeId =
    QStringLiteral("kQntNotationConnectorColorSchemeId");
const QString kQntNotationConnectorBody = QStringLiteral("kQntNotationConnectorBody");
const QString kQntNotationConnectorStartArrowheadLength =
    QStringLiteral("kQntNotationConnectorStartArrowheadLength");
const QString kQntNotationConnectorEndArrowheadLength =
    QStringLiteral("kQntNotationConnectorEndArrowheadLength");
const QString kQntNotationConnectorLine = QStringLiteral("kQntNotationConnectorLine");
const QString kQntNotationConnectorWidth = QStringLiteral("kQntNotationConnectorWidth");
const QString kQntCustomNotationConnectorStartArrowhead =
    QStringLiteral("kQntCustomNotationConnectorStartArrowhead");
const QString kQntCustomNotationConnectorEndArrowhead =
    QStringLiteral("kQntCustomNotationConnectorEndArrowhead");
const QString kQntCustomNotationConnectorBody = QStringLiteral("kQntCustomNotationConnectorBody");
const QString kQntCustomNotationConnectorColor = QStringLiteral("kQntCustomNotationConnectorColor");
const QString kQntCustomNotationConnectorLine = QStringLiteral("kQntCustomNotationConnectorLine");
const QString kQntCustomNotationConnectorShadow =
    QStringLiteral("kQntCustomNotationConnectorShadow");
const QString kQntCustomNotationConnectorWidth = QStringLiteral("kQntCustomNotationConnectorWidth");
const QString kQntCustomNotationConnectorCap = QStringLiteral("kQntCustomNotationConnectorCap");
const QString kQntNotationConnectorTextFont = QStringLiteral("kQntNotationConnectorTextFont");
const QString kQntNotationConnectorTextFontSize =
    QStringLiteral("kQntNotationConnectorTextFontSize");
const QString kQntNotationConnectorTextFontColor =
    QStringLiteral("kQntNotationConnectorTextFontColor");
const QString kQntNotationConnectorTextAlignment =
    QStringLiteral("kQntNotationConnectorTextAlignment");
const QString kQntNotationConnectorTextLayoutMode =
    QStringLiteral("kQntNotationConnectorTextLayoutMode");
const QString kQntNotationConnectorTextOffsetX = QStringLiteral("kQntNotationConnectorTextOffsetX");
const QString kQntNotationConnectorTextOffsetY = QStringLiteral("kQntNotationConnectorTextOffsetY");
const QString kQntNotationConnectorTextReferencePoint =
    QStringLiteral("kQntNotationConnectorTextReferencePoint");
const QString kQntNotationConnectorTextOffsetForPointForTextLayout =
    QStringLiteral("kQntNotationConnectorTextOffsetForPointForTextLayout");

QString notationConnectorDefaultsKey(const QString &notationName)
{
    return QStringLiteral("kQnt%1NotationConnector").arg(notationName);
}

namespace {

const QString kDefaultId = QStringLiteral("default");
const QString kNoArrow = QStringLiteral("noarrow");

std::optional<long long> wholeNumber(const QVariantMap &d, const QString &key)
{
    const std::optional<double> number = QntContextMenu::finiteNumber(d, key);
    if (!number || std::abs(*number) > 1e9)
        return std::nullopt;
    return std::llround(*number);
}

QString idValue(const QVariantMap &d, const QString &key)
{
    const QVariant value = d.value(key);
    return value.metaType().id() == QMetaType::QString ? value.toString() : QString();
}

// Selects the item with the tag (item data); false when the pop-up has none.
bool selectTag(QComboBox *popUp, long long tag)
{
    const int index = popUp ? popUp->findData(int(tag)) : -1;
    if (index < 0)
        return false;
    popUp->setCurrentIndex(index);
    return true;
}

// A stored dictionary, or none (with a log line) when the entry is not a dictionary.
std::optional<QVariantMap> storedDefaults(const QString &key)
{
    if (key.isEmpty())
        return std::nullopt;
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

VRObjectRef notifiedObject(const Notification &notification)
{
    return notification.userInfo.value(QStringLiteral("object")).value<VRObjectRef>();
}

// Whether the connector is still part of a drawing: in a layer that holds it.
bool isInLiveLayer(const VRObjectRef &object)
{
    VRObjectOwnerLayer *layer = object ? object->layer() : nullptr;
    return layer && object->drawing() && layer->objects().contains(object);
}

} // namespace

// ---------------------------------------------------------------- families and storage

QntConnectorModeInspector::DefaultsFamily
QntConnectorModeInspector::familyOf(const VRObjectRef &object) const
{
    if (!object || !object->isKindOf<QntConnector>())
        return kNoFamily;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool customizable = notation && notation->isCustomizable();
    if (object->isKindOf<QntElementArrow>())
        return customizable ? kElementArrow : kNoFamily;
    return customizable ? kCustomConnector : kNotationConnector;
}

QString QntConnectorModeInspector::defaultsKeyForFamily(DefaultsFamily family) const
{
    switch (family) {
    case kNotationConnector: {
        VRDrawing *drawing = currentDrawing();
        const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
        return notation ? notationConnectorDefaultsKey(notation->notationName()) : QString();
    }
    case kCustomConnector: return kQntCustomNotationConnector;
    case kElementArrow: return kQntCustomNotationElementArrow;
    default: return {};
    }
}

QVariantMap QntConnectorModeInspector::defaultsForSkinConnector() const
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const QList<QntConnectorRecord> list =
        notation ? notation->connectorsList(2) : QList<QntConnectorRecord>();
    QString body = list.isEmpty() ? kDefaultId : list.first().connectorId;
    // A notation that draws no styled connectors gives its new connectors its default body (with
    // that body's arrowheads); its built-in look is that body, not the first of its list, which
    // may be the styled connector it does not use.
    if (notation
        && notation->stringParamForKey(QStringLiteral("UseVRStyledConnector"))
               == QLatin1String("NO")) {
        if (const QString own = notation->defaultConnectorId(); !own.isEmpty())
            body = own;
    }
    return {
        {kQntNotationConnectorAdornmentId, body},
        {kQntNotationConnectorStartArrowhead, kDefaultId},
        {kQntNotationConnectorEndArrowhead, kDefaultId},
        {kQntNotationConnectorStartArrowheadColor, 0},
        {kQntNotationConnectorEndArrowheadColor, 0},
        {kQntNotationConnectorBody, 0},
        {kQntNotationConnectorStartArrowheadLength, 0.0},
        {kQntNotationConnectorEndArrowheadLength, 18.0},
        {kQntNotationConnectorLine, int(kStraightRouting)},
    };
}

QVariantMap QntConnectorModeInspector::defaultsForCustomConnector()
{
    return {
        {kQntCustomNotationConnectorStartArrowhead, 0},
        {kQntCustomNotationConnectorEndArrowhead, 1},
        {kQntCustomNotationConnectorBody, 0},
        {kQntCustomNotationConnectorColor, KeyedArchiver::archivedDataWithColor(Qt::gray)},
        {kQntCustomNotationConnectorLine, int(kStraightRouting)},
        {kQntCustomNotationConnectorShadow, 0},
        {kQntCustomNotationConnectorWidth, 3.0},
        {kQntCustomNotationConnectorCap, 0},
    };
}

QVariantMap QntConnectorModeInspector::defaultsForElementArrow()
{
    // An element arrow is drawn as an element: it starts from the same factory values.
    return QntElementModeInspector::defaultsForElement();
}

// ---------------------------------------------------------------- snapshots

std::optional<QVariantMap> QntConnectorModeInspector::styleForContextObject()
{
    return styleOfObject(_contextPath);
}

std::optional<QVariantMap> QntConnectorModeInspector::styleOfObject(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return std::nullopt;
    auto *connector = static_cast<QntConnector *>(object.get());
    const VRUndoRegistrationOff off(object->undoManager());
    const VRObjectRef previous = _contextPath;
    // Reading a connector's style is no choice of the user's: what was last applied stays.
    const QVariantMap lastApplied = lastAppliedSettings();
    const bool limited = limitSelectedObjectForCurrentTargetToContextObject();
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    _contextPath = object;
    QVariantMap d;
    switch (familyOf(object)) {
    case kNotationConnector: {
        populateConnectorSkinToolbar();
        const SkinControls &c = m_skin;
        const auto endId = [](const QntConnectorArrow *arrow) {
            return arrow ? (arrow->ID().isEmpty() ? kDefaultId : arrow->ID()) : kNoArrow;
        };
        const QString body = connector->ID();
        d = {
            {kQntNotationConnectorAdornmentId, body.isEmpty() ? kDefaultId : body},
            {kQntNotationConnectorStartArrowhead, endId(connector->startEndPoint()->arrow())},
            {kQntNotationConnectorEndArrowhead, endId(connector->endEndPoint()->arrow())},
            {kQntNotationConnectorStartArrowheadColor, connector->colorSchemeIdArrowKind(1)},
            {kQntNotationConnectorEndArrowheadColor, connector->colorSchemeIdArrowKind(2)},
            {kQntNotationConnectorBody, std::max(0, c.strokeDashPopUpButton->currentIndex())},
            {kQntNotationConnectorStartArrowheadLength,
             c.startArrowheadLengthSlider->doubleValue()},
            {kQntNotationConnectorEndArrowheadLength, c.endArrowheadLengthSlider->doubleValue()},
            {kQntNotationConnectorLine, routingTagForConnector(*connector)},
            {kQntNotationConnectorColorSchemeId, connector->colorSchemeId()},
        };
        if (const VRStyleRef shaft = connector->shaftStyle(); shaft && shaft->hasStroke())
            d.insert(kQntNotationConnectorWidth, shaft->strokeWidth());
        break;
    }
    case kCustomConnector: {
        populateConnectorSimpleStyleToolbar();
        const ConnectorSimpleStyleControls &c = m_connectorSimple;
        int cap = 0;
        for (int i = 0; i < c.lineCapSelector.size(); ++i)
            if (c.lineCapSelector.at(i)->isChecked())
                cap = i;
        d = {
            {kQntCustomNotationConnectorStartArrowhead,
             c.startArrowheadsPopUpButton->currentData().toInt()},
            {kQntCustomNotationConnectorEndArrowhead,
             c.endArrowheadsPopUpButton->currentData().toInt()},
            {kQntCustomNotationConnectorBody, std::max(0, c.strokeDashPopUpButton->currentIndex())},
            {kQntCustomNotationConnectorColor,
             KeyedArchiver::archivedDataWithColor(c.colorWell->color())},
            {kQntCustomNotationConnectorLine, routingTagForConnector(*connector)},
            {kQntCustomNotationConnectorShadow, c.shadowCheckbox->isChecked() ? 1 : 0},
            {kQntCustomNotationConnectorWidth, c.widthSlider->doubleValue()},
            {kQntCustomNotationConnectorCap, cap},
        };
        break;
    }
    case kElementArrow:
        populateSimpleStyleToolbar();
        d = simpleStyleDictionaryFromControls();
        break;
    case kNoFamily: break;
    }
    setLastAppliedSettings(lastApplied);
    d.insert(kQntNotationConnectorTextFont, KeyedArchiver::archivedDataWithFont(connector->font()));
    // The size is kept as a real number: 10.5 stays 10.5.
    d.insert(kQntNotationConnectorTextFontSize, connector->fontSize());
    d.insert(kQntNotationConnectorTextFontColor,
             KeyedArchiver::archivedDataWithColor(connector->textColour()));
    d.insert(kQntNotationConnectorTextAlignment, connector->alignment());
    d.insert(kQntNotationConnectorTextLayoutMode, connector->layoutMode());
    d.insert(kQntNotationConnectorTextOffsetX, connector->textXOffset());
    d.insert(kQntNotationConnectorTextOffsetY, connector->textYOffset());
    d.insert(kQntNotationConnectorTextReferencePoint, connector->textReferencePointRelative());
    d.insert(kQntNotationConnectorTextOffsetForPointForTextLayout,
             connector->offsetForPointForTextLayout());
    for (auto it = lastApplied.cbegin(); it != lastApplied.cend(); ++it)
        d.insert(it.key(), it.value());
    _contextPath = previous;
    setLimitSelectedObjectForCurrentTargetToContextObject(limited);
    return d;
}

// ---------------------------------------------------------------- the verbs

void QntConnectorModeInspector::saveDefaultsForContextObject()
{
    const DefaultsFamily family = familyOf(_contextPath);
    const QString key = defaultsKeyForFamily(family);
    const std::optional<QVariantMap> snapshot = styleForContextObject();
    if (key.isEmpty() || !snapshot)
        return;
    // Saved defaults hold the family's keys only: no label, no colour scheme of the line and
    // none of the last-applied settings.
    QStringList keys;
    switch (family) {
    case kNotationConnector: keys = defaultsForSkinConnector().keys(); break;
    case kCustomConnector: keys = defaultsForCustomConnector().keys(); break;
    case kElementArrow: keys = defaultsForElementArrow().keys(); break;
    case kNoFamily: return;
    }
    if (family == kNotationConnector)
        keys << kQntNotationConnectorWidth;
    QVariantMap saved;
    for (const QString &k : keys)
        if (snapshot->contains(k))
            saved.insert(k, snapshot->value(k));
    UserDefaults::standardUserDefaults().setObject(saved, key);
}

void QntConnectorModeInspector::applyDefaultsToContextObject()
{
    applyDefaultsToObject(_contextPath);
}

void QntConnectorModeInspector::applyDefaultsToObject(const VRObjectRef &object)
{
    if (!object)
        return;
    setContextObject(object);
    if (const std::optional<QVariantMap> stored =
            storedDefaults(defaultsKeyForFamily(familyOf(object))))
        applyDefaults(*stored, object);
}

void QntConnectorModeInspector::resetDefaultsForCurrentOnlyContextObject()
{
    resetToBuiltInLook(tr("Reset This Only"));
}

void QntConnectorModeInspector::resetToBuiltInLook(const QString &stepName)
{
    // Straight through the toolbar controls, onto the current targets: each control records its
    // own change, as when the user sets it. The controls' changes are one user action, undone
    // together, and the step is named after the reset, not after the last control.
    VRUndoManager *undo = _contextPath ? _contextPath->undoManager() : nullptr;
    if (undo)
        undo->beginUndoGrouping();
    switch (familyOf(_contextPath)) {
    case kNotationConnector:
        populateConnectorSkinToolbar();
        applyDefaultsToSkinConnector(defaultsForSkinConnector());
        populateConnectorSkinToolbar();
        break;
    case kCustomConnector:
        populateConnectorSimpleStyleToolbar();
        applyDefaultsToSimpleConnector(defaultsForCustomConnector());
        break;
    case kElementArrow:
        populateSimpleStyleToolbar();
        applyDefaultsToSimpleElement(std::optional<QVariantMap>(defaultsForElementArrow()));
        break;
    case kNoFamily: break;
    }
    if (undo) {
        undo->setActionName(stepName);
        undo->endUndoGrouping();
    }
}

void QntConnectorModeInspector::resetDefaultsContextObject()
{
    const QString key = defaultsKeyForFamily(familyOf(_contextPath));
    if (key.isEmpty())
        return;
    UserDefaults::standardUserDefaults().removeObjectForKey(key);
    resetToBuiltInLook(tr("Reset Defaults"));
}

void QntConnectorModeInspector::saveAsDefaults(int tag, QWidget *popUpView)
{
    if (!popUpView)
        return;
    switch (tag) {
    case 0:
        // The simple-style view (element arrows) saves only in a customizable notation.
        if (popUpView != _viewSimpleStyle.data() || familyOf(_contextPath) == kElementArrow)
            saveDefaultsForContextObject();
        break;
    case 1: resetDefaultsContextObject(); break;
    case 2: resetDefaultsForCurrentOnlyContextObject(); break;
    case 3: applyDefaultsToContextObject(); break;
    default: break;
    }
}

void QntConnectorModeInspector::saveAsDefaultsNotification(const Notification &notification)
{
    setContextObject(notifiedObject(notification));
    saveDefaultsForContextObject();
}

void QntConnectorModeInspector::applyDefaultsNotification(const Notification &notification)
{
    setContextObject(notifiedObject(notification));
    applyDefaultsToContextObject();
}

void QntConnectorModeInspector::resetDefaultsForCurrentOnlyNotification(
    const Notification &notification)
{
    setContextObject(notifiedObject(notification));
    resetDefaultsForCurrentOnlyContextObject();
}

void QntConnectorModeInspector::resetDefaultsNotification(const Notification &notification)
{
    setContextObject(notifiedObject(notification));
    resetDefaultsContextObject();
}

// ---------------------------------------------------------------- applying

void QntConnectorModeInspector::applyDefaults(const QVariantMap &dictionary,
                                              const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return;
    auto *connector = static_cast<QntConnector *>(object.get());
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    setContextObject(object);
    const std::optional<QVariantMap> before = styleForContextObject();
    if (!before) {
        setLimitSelectedObjectForCurrentTargetToContextObject(false);
        return;
    }
    VRUndoManager *undo = connector->undoManager();
    if (undo && (undo->isUndoing() || undo->isRedoing()))
        setLastAppliedSettings(dictionary);
    if (undo) {
        const bool coalescing = undo->isUndoTaskCoalescingEnabled();
        undo->disableUndoTaskCoalescing();
        const QPointer<QntConnectorModeInspector> self(this);
        undo->registerUndo(this, "applyDefaults:toConnector:",
                           [self, style = *before, object, path = connector->path(), undo] {
                               if (!self)
                                   return;
                               self->applyDefaults(style, object);
                               // The former path last: applying a routing may have drawn a new one.
                               const VRUndoRegistrationOff off(undo);
                               static_cast<QntConnector &>(*object).setPath(path);
                               object->notifyVisualChange();
                           });
        if (coalescing)
            undo->enableUndoTaskCoalescing();
    }
    {
        const VRUndoRegistrationOff off(undo);
        switch (familyOf(object)) {
        case kElementArrow:
            applyDefaultsToSimpleElement(std::optional<QVariantMap>(dictionary));
            break;
        case kCustomConnector:
            populateConnectorSimpleStyleToolbar();
            applyDefaultsToSimpleConnector(dictionary);
            break;
        case kNotationConnector:
            populateConnectorSkinToolbar();
            applyDefaultsToSkinConnector(dictionary);
            break;
        case kNoFamily: break;
        }
        // The label: only what the dictionary names (saved defaults name nothing of it).
        const QVariantMap &d = dictionary;
        if (d.contains(kQntNotationConnectorTextFont)) {
            if (const std::optional<QFont> font = KeyedArchiver::unarchiveFont(
                    d.value(kQntNotationConnectorTextFont).toByteArray()))
                connector->setFont(*font);
        }
        if (d.contains(kQntNotationConnectorTextFontColor)) {
            if (const std::optional<QColor> colour = KeyedArchiver::unarchiveColor(
                    d.value(kQntNotationConnectorTextFontColor).toByteArray()))
                connector->setTextColour(*colour);
        }
        if (const std::optional<double> size = finiteNumber(d, kQntNotationConnectorTextFontSize);
            size && *size > 0 && *size <= 1000)
            connector->setFontSize(*size);
        if (const std::optional<long long> alignment =
                wholeNumber(d, kQntNotationConnectorTextAlignment);
            alignment && *alignment >= 0 && *alignment <= 3)
            connector->setTextAlign(int(*alignment));
        const std::optional<long long> mode = wholeNumber(d, kQntNotationConnectorTextLayoutMode);
        if (mode && !connector->fixedLayoutMode())
            connector->setLayoutMode(int(*mode));
        if (const std::optional<double> r =
                finiteNumber(d, kQntNotationConnectorTextReferencePoint))
            connector->setTextReferencePointRelative(*r);
        if (const std::optional<double> x = finiteNumber(d, kQntNotationConnectorTextOffsetX))
            connector->setTextXOffset(*x);
        if (const std::optional<double> y = finiteNumber(d, kQntNotationConnectorTextOffsetY))
            connector->setTextYOffset(*y);
        const QVariant point = d.value(kQntNotationConnectorTextOffsetForPointForTextLayout);
        if (mode && *mode == 40 && point.canConvert<QSizeF>())
            connector->setOffsetForPointForTextLayout(point.toSizeF());
        connector->notifyVisualChange();
    }
    // Named last: the toolbar actions above name the step after themselves.
    if (undo)
        undo->setActionName(tr("Apply defaults"));
    setLimitSelectedObjectForCurrentTargetToContextObject(false);
}

void QntConnectorModeInspector::applyDefaultsToSimpleConnector(const QVariantMap &d)
{
    const ConnectorSimpleStyleControls &c = connectorSimpleStyleControls();
    if (const std::optional<long long> tag =
            wholeNumber(d, kQntCustomNotationConnectorStartArrowhead);
        tag && selectTag(c.startArrowheadsPopUpButton, *tag))
        simpleStyleStartArrowheadsMenuItemAction();
    if (const std::optional<long long> tag =
            wholeNumber(d, kQntCustomNotationConnectorEndArrowhead);
        tag && selectTag(c.endArrowheadsPopUpButton, *tag))
        simpleStyleEndArrowheadsMenuItemAction();
    if (const std::optional<long long> index = wholeNumber(d, kQntCustomNotationConnectorBody);
        index && *index >= 0 && *index < c.strokeDashPopUpButton->count()) {
        c.strokeDashPopUpButton->setCurrentIndex(int(*index));
        simpleStyleStrokeDashMenuItemAction();
    }
    if (d.contains(kQntCustomNotationConnectorColor)) {
        if (const std::optional<QColor> colour = KeyedArchiver::unarchiveColor(
                d.value(kQntCustomNotationConnectorColor).toByteArray())) {
            m_filling = true;
            c.colorWell->setColor(*colour);
            m_filling = false;
            simpleStyleColorWellAction();
        }
    }
    if (const std::optional<double> width = finiteNumber(d, kQntCustomNotationConnectorWidth);
        width && *width >= 0) {
        m_filling = true;
        c.widthSlider->setMaxValue(std::max(c.widthSlider->maxValue(), *width));
        c.widthSlider->setDoubleValue(*width);
        VRDrawing *drawing = currentDrawing();
        c.widthTextbox->setText(formattedNumber(drawing ? drawing->convertLength(*width) : *width));
        m_filling = false;
        simpleStyleWidthSliderAction();
    }
    if (const std::optional<long long> shadow = wholeNumber(d, kQntCustomNotationConnectorShadow)) {
        c.shadowCheckbox->setChecked(*shadow != 0);
        simpleStyleShadowCheckboxAction();
    }
    if (const std::optional<long long> cap = wholeNumber(d, kQntCustomNotationConnectorCap);
        cap && *cap >= 0 && *cap < c.lineCapSelector.size())
        simpleStyleStrokeLineCapStyleAction(int(*cap));
    // A routing the pop-up does not offer leaves the connector's routing alone.
    if (const std::optional<long long> line = wholeNumber(d, kQntCustomNotationConnectorLine);
        line && selectTag(c.connectorTypePopupButton, *line))
        changeConnectorTypeAction(c.connectorTypePopupButton);
}

void QntConnectorModeInspector::applyDefaultsToSkinConnector(const QVariantMap &d)
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!connector)
        return;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const SkinControls &c = skinControls();
    // The body: a stored id the notation does not know (another notation's, or edited by hand)
    // keeps the connector's own.
    QString adornment = idValue(d, kQntNotationConnectorAdornmentId);
    if (adornment.isEmpty() || adornment == kDefaultId
        || (notation && !notation->existConnectorWithId(adornment)))
        adornment = connector->ID();
    setLastAppliedAdornmentId(adornment);
    const auto arrowhead = [&](const QString &key, bool start) {
        const QString value = idValue(d, key);
        if (value == kNoArrow)
            return QString();
        if (value.isEmpty() || value == kDefaultId)
            return notation ? notation->defaultArrowIdAsStart(start, adornment) : QString();
        return value;
    };
    if (d.contains(kQntNotationConnectorStartArrowhead))
        setLastAppliedStartArrowheadId(arrowhead(kQntNotationConnectorStartArrowhead, true));
    if (d.contains(kQntNotationConnectorEndArrowhead))
        setLastAppliedEndArrowheadId(arrowhead(kQntNotationConnectorEndArrowhead, false));
    QVariantMap options = connector->skinOptions();
    options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
    options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
    options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
    if (const std::optional<long long> scheme = wholeNumber(d, kQntNotationConnectorColorSchemeId))
        options.insert(QStringLiteral("colorSchemeId"), qint64(*scheme));
    connector->addSkin(options);
    if (isThick(*connector)) {
        if (selectTag(c.strokeDashPopUpButton, kFirstThickLineTag))
            menuItemSkinStrokeDashAction(c.strokeDashPopUpButton);
    } else {
        for (bool start : {true, false}) {
            const std::optional<double> length =
                finiteNumber(d, start ? kQntNotationConnectorStartArrowheadLength
                                      : kQntNotationConnectorEndArrowheadLength);
            // A length of 0 keeps the arrowhead's own size.
            if (length && *length > 0) {
                QntDoubleSlider *slider =
                    start ? c.startArrowheadLengthSlider : c.endArrowheadLengthSlider;
                m_filling = true;
                slider->setMaxValue(std::max(slider->maxValue(), *length));
                slider->setDoubleValue(*length);
                m_filling = false;
                if (start)
                    startArrowheadLengthAction();
                else
                    endArrowheadLengthAction();
            }
        }
        if (const std::optional<long long> line = wholeNumber(d, kQntNotationConnectorLine);
            line && selectTag(c.connectorTypePopupButton, *line))
            changeConnectorTypeAction(c.connectorTypePopupButton);
        // A dash index beyond the menu, or one that names a thick body, leaves the dash alone.
        if (const std::optional<long long> body = wholeNumber(d, kQntNotationConnectorBody);
            body && *body >= 0 && *body < c.strokeDashPopUpButton->count()
            && c.strokeDashPopUpButton->itemData(int(*body)).toInt() < kFirstThickLineTag) {
            c.strokeDashPopUpButton->setCurrentIndex(int(*body));
            menuItemSkinStrokeDashAction(c.strokeDashPopUpButton);
        }
        if (const std::optional<long long> scheme =
                wholeNumber(d, kQntNotationConnectorStartArrowheadColor))
            connector->replaceColorScheme(*scheme, 1);
        if (const std::optional<long long> scheme =
                wholeNumber(d, kQntNotationConnectorEndArrowheadColor))
            connector->replaceColorScheme(*scheme, 2);
        double width = finiteNumber(d, kQntNotationConnectorWidth).value_or(0.0);
        if (!(width > 0) && notation)
            width = notation->connectorThickness(connector->ID());
        if (width > 0) {
            if (const VRStyleRef shaft = connector->shaftStyle(); shaft && shaft->stroke()) {
                VRStyleRef copy = shaft->copy();
                copy->setStrokeWidth(width);
                QVariantMap withWidth = connector->skinOptions();
                withWidth.insert(QStringLiteral("shaftStyle"), QVariant::fromValue(copy));
                connector->addSkin(withWidth);
            }
        }
    }
    connector->updateStyle();
    connector->notifyVisualChange();
}

// ---------------------------------------------------------------- element arrows

void QntConnectorModeInspector::applyDefaults(const Notification &notification)
{
    Q_UNUSED(notification);
    if (!UserDefaults::standardUserDefaults().boolForKey(QntApplyDefaultsKey))
        return;
    VRDrawing *drawing = currentDrawing();
    VRObjectDrawingLayer *layer =
        drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
    if (single && single->isKindOf<QntElementArrow>())
        applyDefaultsToElementArrow(single);
}

void QntConnectorModeInspector::applyDefaultsToElementArrow(const VRObjectRef &object)
{
    if (familyOf(object) != kElementArrow)
        return;
    const std::optional<QVariantMap> stored = storedDefaults(kQntCustomNotationElementArrow);
    if (!stored)
        return;
    // Part of adding the arrow: undoing the addition removes it as styled.
    const VRUndoRegistrationOff off(object->undoManager());
    setLimitSelectedObjectForCurrentTargetToContextObject(true);
    setContextObject(object);
    populateSimpleStyleToolbar();
    applyDefaultsToSimpleElement(std::optional<QVariantMap>(*stored));
    setLimitSelectedObjectForCurrentTargetToContextObject(false);
}

// ---------------------------------------------------------------- copied styles

bool QntConnectorModeInspector::copiesStyleOf(const VRObjectRef &object) const
{
    return object && object->isKindOf<QntConnector>();
}

void QntConnectorModeInspector::styleShouldBeAppliedToSelection(const QVariantMap &style)
{
    const VRObjectRef single = copiedStyleTargetInSelection();
    if (single && single->isKindOf<QntConnector>())
        applyDefaults(style, single);
}

void QntConnectorModeInspector::styleShouldBeAppliedNotification(const Notification &notification)
{
    const QVariant style = notification.userInfo.value(QStringLiteral("style"));
    if (style.typeId() != QMetaType::QVariantMap || style.toMap().isEmpty())
        return;
    styleShouldBeAppliedToSelection(style.toMap());
}

// ---------------------------------------------------------------- new connectors

void QntConnectorModeInspector::setNewConnectorDelays(double defaults, double selection)
{
    m_defaultsDelay = std::max(0.0, defaults);
    m_selectionDelay = std::max(m_defaultsDelay, selection);
}

void QntConnectorModeInspector::connectorCreatedNotification(const Notification &notification)
{
    const VRObjectRef object = notifiedObject(notification);
    if (!object || !object->isKindOf<QntConnector>())
        return;
    auto *connector = static_cast<QntConnector *>(object.get());
    VRDrawing *drawing = connector->drawing();
    VRObjectDrawingLayer *layer =
        drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (layer) {
        connector->setState(4);
        for (const QntConnectorEndPoint *end :
             {connector->startEndPoint(), connector->endEndPoint()}) {
            if (const std::shared_ptr<QntElement> element = end->targetElement())
                element->setState(0);
        }
        layer->replaceSelectionWithObject(object);
    }
    const QVariant last = lastAppliedAdornmentId();
    const bool thick = last.metaType().id() == QMetaType::QString
                       && last.toString().endsWith(QStringLiteral("Thick"));
    if (layer && layer->countOfSelection() == 1) {
        // The skin is part of drawing the connector, not a step of its own; the step keeps
        // its name, which the toolbar actions below would change.
        VRUndoManager *undo = connector->undoManager();
        const QString stepName = undo ? undo->undoActionName() : QString();
        const auto keepName = qScopeGuard([undo, stepName] {
            if (undo && undo->undoActionName() != stepName)
                undo->setActionName(stepName);
        });
        const VRUndoRegistrationOff off(undo);
        // Connectors of customizable notations are drawn with their own style, not a skin.
        if (notation && !notation->isCustomizable()) {
            // Starts from the new connector's own options, not another connector's.
            QVariantMap options = connector->skinOptions();
            if (last.metaType().id() == QMetaType::QString
                && notation->existConnectorWithId(last.toString())) {
                options.insert(QStringLiteral("bodyID"), last);
                options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
                options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
                options.insert(
                    QStringLiteral("colorSchemeId"),
                    lastAppliedSettings().value(QStringLiteral("lastColorSchemeIdEndArrow")));
                const QSizeF startSize = lastStartArrowheadSize();
                const QSizeF endSize = lastEndArrowheadSize();
                if (thick) {
                    options.remove(QStringLiteral("startArrowheadSize"));
                    options.remove(QStringLiteral("endArrowheadSize"));
                } else {
                    // The lengths applied last are the skin's own, so that the arrowheads keep
                    // them whenever the skin is made again (a body change and its undo).
                    if (!startSize.isEmpty())
                        options.insert(QStringLiteral("startArrowheadSize"), startSize);
                    if (!endSize.isEmpty())
                        options.insert(QStringLiteral("endArrowheadSize"), endSize);
                }
                connector->addSkin(options);
                if (!startSize.isEmpty() && connector->startEndPoint()->arrow())
                    connector->startEndPoint()->arrow()->setSize(startSize);
                if (!endSize.isEmpty() && connector->endEndPoint()->arrow())
                    connector->endEndPoint()->arrow()->setSize(endSize);
                connector->updateStyle();
                connector->notifyVisualChange();
            } else if (notation->stringParamForKey(QStringLiteral("UseVRStyledConnector"))
                       == QLatin1String("NO")) {
                const QString body = notation->defaultConnectorId();
                setLastAppliedAdornmentId(body);
                setLastAppliedStartArrowheadId(notation->defaultArrowIdAsStart(true, body));
                setLastAppliedEndArrowheadId(notation->defaultArrowIdAsStart(false, body));
                options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
                options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
                options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
                options.insert(QStringLiteral("colorSchemeId"), connector->colorSchemeId());
                connector->addSkin(options);
            } else {
                setLastAppliedAdornmentId(QntConnectorAdornmentBuilder::defaultAdornmentId());
                options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
                options.insert(QStringLiteral("startArrowheadId"), QVariant::fromValue(VRNull{}));
                options.insert(QStringLiteral("endArrowheadId"), QVariant::fromValue(VRNull{}));
                options.insert(QStringLiteral("colorSchemeId"), connector->colorSchemeId());
                connector->addSkin(options);
            }
            setContextObject(object);
            if (!thick)
                strokeDashMenuAction(nullptr);
        }
        // The calls hold the connector only weakly: one deleted, undone or closed with its
        // document meanwhile is left alone.
        const std::weak_ptr<VRDrawableObject> weak = object;
        DelayedPerform::performAfterDelay(this, m_defaultsDelay, [this, weak] {
            const VRObjectRef alive = weak.lock();
            if (isInLiveLayer(alive))
                applyDefaultsToConnector(alive);
        });
        if (UserDefaults::standardUserDefaults().boolForKey(QntShowConnectorPopupMenuKey)) {
            // The router lays the new connector on the next turn of the event loop and may move
            // its end to another side of the element: the column points at the routed end.
            if (VRAvoidRouter *router = drawing ? drawing->avoidRouter() : nullptr)
                router->processPendingChanges();
            _contextMenuPosition = connector->endPoint();
            redisplayContentForSelection({object});
        }
        setContextObject(object);
        DelayedPerform::performAfterDelay(this, m_selectionDelay, [this, weak] {
            const VRObjectRef alive = weak.lock();
            if (isInLiveLayer(alive))
                postSelectionDidChangeForConnector(alive);
        });
    }
    connector->setState(0);
    NotificationCenter::defaultCenter().post(kQntHideInfoPanelNotification, this, {});
}

void QntConnectorModeInspector::applyDefaultsToConnector(const VRObjectRef &connector)
{
    if (!connector || !UserDefaults::standardUserDefaults().boolForKey(QntApplyDefaultsKey))
        return;
    const DefaultsFamily family = familyOf(connector);
    if (family != kNotationConnector && family != kCustomConnector)
        return;
    const std::optional<QVariantMap> stored = storedDefaults(defaultsKeyForFamily(family));
    if (!stored)
        return;
    applyDefaults(*stored, connector);
}

void QntConnectorModeInspector::postSelectionDidChangeForConnector(const VRObjectRef &connector)
{
    if (!connector)
        return;
    NotificationCenter::defaultCenter().post(kVRLayerSelectionDidChange, connector->layer(), {});
}
