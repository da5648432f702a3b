#include "inspectors/QntGroupModeInspector.h"

#include "connectors/QntConnectorModeInspector.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/undo/VRUndoManager.h"
#include "inspectors/QntElementModeInspector.h"

// The stored defaults of the selected objects.

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
