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

} // namespace qnt::test
