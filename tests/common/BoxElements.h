#pragma once

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

} // namespace qnt::test
