#pragma once

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/styles/VRStyle.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <memory>

// Header-only: the test mains of this folder do not link the framework.
namespace qnt::test {

// Adds to the layer an element made of one rectangular contour (named "contour") that fills
// the rectangle, white with a thin black outline unless other colours are given.
inline std::shared_ptr<QntElement> addBoxElement(VRObjectOwnerLayer &layer, const QRectF &rect,
                                                 const QString &id = QStringLiteral("box"),
                                                 const QColor &fill = Qt::white,
                                                 const QColor &stroke = Qt::black,
                                                 double strokeWidth = 1)
{
    auto contour = VRDrawableShape::shapeWithRect(rect, VRDrawableShape::unitRectAtOrigin());
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(fill, stroke, strokeWidth));
    auto element = QntElement::createWithObjects({contour}, id, rect.size());
    layer.addObject(element);
    return element;
}

// Adds to the layer a connector from `from` on a to `to` on b, each end attached to its
// element's sticky spot nearest that point.
inline std::shared_ptr<QntConnector>
addAttachedConnector(VRObjectOwnerLayer &layer, const std::shared_ptr<QntElement> &a, QPointF from,
                     const std::shared_ptr<QntElement> &b, QPointF to)
{
    auto connector = std::make_shared<QntConnector>();
    connector->setEnds(from, to);
    layer.addObject(connector);
    connector->reattachEnd(0, a, a->nearestStickySpot(from)->index());
    connector->reattachEnd(1, b, b->nearestStickySpot(to)->index());
    return connector;
}

} // namespace qnt::test
