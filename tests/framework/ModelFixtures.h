#pragma once

#include "framework/base/VRTypes.h"

#include <QImage>

#include <memory>

class VRDrawing;

namespace qnt::test {

// A drawing holding one of every kind of object: shapes, paths, groups, text, images,
// elements, tables, connectors of every kind, with metadata of every value type.
std::unique_ptr<VRDrawing> drawingWithEveryKind();

// The drawing rendered at 1:1 on its paper.
QImage renderDrawing(const VRDrawing &drawing);

// Number of pixels whose channels differ by more than `tolerance`.
int differingPixels(const QImage &a, const QImage &b, int tolerance = 2);

} // namespace qnt::test
