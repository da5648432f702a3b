#pragma once

// A drawing with elements and connectors between them and a group inspector over it.

#include "inspectors/QntGroupModeInspector.h"

#include "library/PaletteTestSupport.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <QCoreApplication>

#include <memory>
#include <vector>

struct GroupModeHarness {
    explicit GroupModeHarness(const QString &notation = QStringLiteral("FlowChart/FlowChart.db"))
        : palette(notation)
    {
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector = std::make_unique<QntGroupModeInspector>();
        inspector->mainView();
        inspector->populateControlsForDrawing(palette.drawing());
    }
    ~GroupModeHarness()
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::shared_ptr<QntElement> placeElement(QPointF at, int shape = 0, QSizeF size = QSizeF())
    {
        return palette.placeShape(at, shape, size);
    }
    std::shared_ptr<QntConnector> connect(const std::shared_ptr<QntElement> &a,
                                          const std::shared_ptr<QntElement> &b)
    {
        return palette.connectWithArrow(a, b);
    }
    // `count` elements in a row and a connector between each pair of neighbours.
    void placeRow(int count)
    {
        for (int k = 0; k < count; ++k)
            elements.push_back(placeElement({150.0 + 200 * k, 150}));
        for (int k = 1; k < count; ++k)
            connectors.push_back(connect(elements[k - 1], elements[k]));
    }
    void select(const VRObjectList &objects)
    {
        palette.layer()->exchangeSelectionWithObjectsFromArray(objects);
        undo()->closeOpenGroups();
        inspector->refreshControls();
    }
    void selectAll()
    {
        VRObjectList all;
        for (const auto &e : elements)
            all.append(e);
        for (const auto &c : connectors)
            all.append(c);
        select(all);
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }
    int depth() const
    {
        undo()->closeOpenGroups();
        return int(undo()->undoStack().size());
    }
    void undoStep()
    {
        undo()->closeOpenGroups();
        undo()->undo();
    }
    static QString arrowAt(const QntConnector &c, bool start)
    {
        const QntConnectorEndPoint *end = start ? c.startEndPoint() : c.endEndPoint();
        return end && end->arrow() ? end->arrow()->ID() : QString();
    }

    PaletteHarness palette;
    std::unique_ptr<QntGroupModeInspector> inspector;
    std::vector<std::shared_ptr<QntElement>> elements;
    std::vector<std::shared_ptr<QntConnector>> connectors;
};
