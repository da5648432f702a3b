// QntGroupModeInspector: the defaults menus of elements and connectors (save, reset, reset this
// only, apply to the whole selection) and loading the stored defaults onto the selection.
#include "inspectors/QntGroupModeInspector.h"

#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/QntElementModeInspector.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/undo/VRUndoStep.h"
#include "platform/UserDefaults.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

namespace {

// The three verbs of a defaults menu that name one object: 0 saves its look as the defaults,
// 1 resets the stored defaults, 2 puts the notation's look back on that object only.
template <class Inspector> void runDefaultsVerb(Inspector &inspector, int tag)
{
    switch (tag) {
    case 0: inspector.saveDefaultsForContextObject(); break;
    case 1: inspector.resetDefaultsContextObject(); break;
    case 2: inspector.resetDefaultsForCurrentOnlyContextObject(); break;
    default: break;
    }
}

} // namespace

QWidget *QntGroupModeInspector::buildDefaultsMenu(const QString &name, QWidget *parent,
                                                  bool connectors)
{
    auto *row = new QWidget(parent);
    row->setObjectName(name);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    QToolButton *button = QntContextMenu::makeDefaultsMenuButton(
        row, connectors ? tr("Connector Defaults") : tr("Element Defaults"), this,
        [this, connectors](int tag) {
            if (connectors)
                saveAsDefaultsForConnectors(tag);
            else
                saveAsDefaults(tag);
            showSelectionAgain();
        });
    button->setObjectName(name + QStringLiteral("Menu"));
    layout->addWidget(button);
    auto *load = new QPushButton(tr("Load Defaults"), row);
    load->setObjectName(name + QStringLiteral("Load"));
    load->setToolTip(connectors ? tr("The stored connector defaults onto the selected connectors")
                                : tr("The stored element defaults onto the selected elements"));
    connect(load, &QPushButton::clicked, this, [this, connectors] {
        if (connectors)
            connectorLoadDefaults();
        else
            elementLoadDefaults();
        showSelectionAgain();
    });
    layout->addWidget(load);
    layout->addStretch(1);
    return row;
}

void QntGroupModeInspector::saveAsDefaults(int tag)
{
    ensureEmbeddedInspectors();
    if (tag == 3) {
        applyDefaultsToAll(false, tag);
        return;
    }
    const VRObjectList objects = selection();
    // Saving and resetting name one object: they need a single selection.
    if (objects.size() != 1 || !objects.first())
        return;
    const VRObjectRef single = objects.first();
    if (single->isKindOf<QntElementArrow>()) {
        QntConnectorModeInspector &connectors = *m_connectorInspector;
        connectors.setContextObject(single);
        runDefaultsVerb(connectors, tag);
        return;
    }
    if (!single->isKindOf<QntElement>())
        return;
    QntElementModeInspector &elements = *m_elementInspector;
    elements.setContextObject(single);
    runDefaultsVerb(elements, tag);
}

void QntGroupModeInspector::saveAsDefaultsForConnectors(int tag)
{
    ensureEmbeddedInspectors();
    if (tag == 3) {
        applyDefaultsToAll(true, tag);
        return;
    }
    if (tag < 0 || tag > 2)
        return;
    // The first selected connector stands for the connectors.
    VRObjectRef first;
    for (const VRObjectRef &object : selection()) {
        if (object && object->isKindOf<QntConnector>() && !object->isKindOf<QntElementArrow>()) {
            first = object;
            break;
        }
    }
    if (!first)
        return;
    QntConnectorModeInspector &thin = *m_thinConnectorInspector;
    thin.setContextObject(first);
    runDefaultsVerb(thin, tag);
}

void QntGroupModeInspector::applyDefaultsToAll(bool fromConnectorsMenu, int tag)
{
    Q_UNUSED(tag);
    QntElementModeInspector &elements = *m_elementInspector;
    QntConnectorModeInspector &connectors = *m_connectorInspector;
    QntConnectorModeInspector &thin = *m_thinConnectorInspector;
    elements.setLimitSelectedObjectForCurrentTargetToContextObject(true);
    connectors.setLimitSelectedObjectForCurrentTargetToContextObject(true);
    thin.setLimitSelectedObjectForCurrentTargetToContextObject(true);
    const VRObjectList objects = selection();
    vrInOneUndoStep(undoManager(), tr("Applying defaults"), [&] {
        for (const VRObjectRef &object : objects) {
            if (!object)
                continue;
            if (fromConnectorsMenu) {
                if (object->isKindOf<QntConnector>() && !object->isKindOf<QntElementArrow>()) {
                    thin.setContextObject(object);
                    thin.applyDefaultsToContextObject();
                }
            } else if (object->isKindOf<QntElementArrow>()) {
                connectors.setContextObject(object);
                connectors.applyDefaultsToContextObject();
            } else if (object->isKindOf<QntElement>()) {
                elements.setContextObject(object);
                elements.applyDefaultsToContextObject();
            }
        }
    });
    elements.setLimitSelectedObjectForCurrentTargetToContextObject(false);
    connectors.setLimitSelectedObjectForCurrentTargetToContextObject(false);
    thin.setLimitSelectedObjectForCurrentTargetToContextObject(false);
}

void QntGroupModeInspector::connectorLoadDefaults()
{
    ensureEmbeddedInspectors();
    QntConnectorModeInspector &thin = *m_thinConnectorInspector;
    const VRObjectList objects = selection();
    vrInOneUndoStep(undoManager(), tr("Applying defaults"), [&] {
        for (const VRObjectRef &object : objects) {
            if (!object || !object->isMemberOf<QntConnector>()
                || static_cast<const QntConnector &>(*object).mode() != 0)
                continue;
            // Each connector takes the dictionary stored for its own kind in this notation, so a
            // dictionary saved for another kind of connector never lands on it.
            thin.applyDefaultsToObject(object);
        }
    });
}

void QntGroupModeInspector::elementLoadDefaults()
{
    ensureEmbeddedInspectors();
    const QVariant stored =
        UserDefaults::standardUserDefaults().objectForKey(kQntCustomNotationDefaultElement);
    if (!stored.isValid() || stored.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap dictionary = stored.toMap();
    QntElementModeInspector &elements = *m_elementInspector;
    const VRObjectList objects = selection();
    vrInOneUndoStep(undoManager(), tr("Applying defaults"), [&] {
        for (const VRObjectRef &object : objects) {
            if (!object || !object->isKindOf<QntElement>() || !isMemberOfElements(*object)
                || object->isMemberOf<QntText>())
                continue;
            elements.applyDefaults(dictionary, object);
        }
    });
}

void QntGroupModeInspector::applyDefaultsAction()
{
    ensureEmbeddedInspectors();
    const VRObjectList objects = selection();
    vrInOneUndoStep(undoManager(), tr("Applying defaults"), [&] {
        for (const VRObjectRef &object : objects) {
            if (!object)
                continue;
            if (object->isKindOf<QntConnector>())
                m_connectorInspector->applyDefaultsToObject(object);
            else if (object->isKindOf<QntElement>())
                m_elementInspector->applyDefaultsToObject(object);
        }
    });
}
