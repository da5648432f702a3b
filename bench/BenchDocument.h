#pragma once

// The benchmarks' large document: styled shapes, elements with a text and connectors between
// the elements, each object with its own style, as a user's drawing keeps them. The save, load
// and memory benchmarks all use it, so their figures describe the same document.

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <cmath>
#include <memory>

namespace qnt::bench {

// `count` objects: four fifths shapes on a grid (every other one an element with a text), the
// rest connectors joining consecutive elements.
inline std::unique_ptr<VRDrawing> makeDocumentDrawing(int count)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    const int cols = int(std::ceil(std::sqrt(double(count))));
    drawing->setDrawingSize(QSizeF(cols * 90.0 + 40, cols * 70.0 + 40));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectList objects;
    QList<std::shared_ptr<QntElement>> elements;
    const int shapes = count * 4 / 5;
    for (int k = 0; k < shapes; ++k) {
        const QRectF frame(20 + (k % cols) * 90.0, 20 + (k / cols) * 70.0, 60, 40);
        auto style =
            VRStyle::styleWithFillColour(QColor::fromHsv(k % 360, 90, 240), Qt::black, 1.0);
        if (k % 2 == 0) {
            auto contour = VRDrawableShape::shapeWithRect(frame);
            contour->setID(QStringLiteral("contour"));
            contour->setStyle(style);
            auto element =
                QntElement::createWithObjects({contour}, QStringLiteral("e"), frame.size());
            element->addTextShape();
            element->text()->setString(QStringLiteral("Element %1").arg(k));
            elements.append(element);
            objects.append(element);
        } else {
            auto shape = VRDrawableShape::shapeWithRect(frame);
            shape->setStyle(style);
            shape->setString(QStringLiteral("value %1").arg(k), QStringLiteral("note"));
            objects.append(shape);
        }
    }
    layer->addObjectsFromArray(objects);
    for (int i = 1; i < elements.size() && shapes + i <= count; ++i) {
        auto connector = std::make_shared<QntConnector>();
        connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(40, 40, 40), 1.0));
        layer->addObject(connector);
        elements.at(i - 1)->connectToTargetElement(elements.at(i).get(), connector);
    }
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}

} // namespace qnt::bench
