#pragma once

#include "framework/model/VRDrawableObject.h"

#include <QImage>
#include <QPainter>
#include <QSize>

// Header-only: the test mains of this folder do not link the framework.
namespace qnt::test {

// The object drawn at its own coordinates on a white picture of the given size.
inline QImage renderedOnWhite(const VRDrawableObject &object, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    object.render(painter);
    return image;
}

} // namespace qnt::test
