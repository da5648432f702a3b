#pragma once

#include "framework/styles/VRStyle.h"

#include <QImage>
#include <QString>

// Shared helpers of the style tests: a style holding every renderer kind and a way to draw a
// renderer on a sample shape (their goldens are in tests/data/styles).
namespace styletest {

// A style with one renderer of every kind, each with non-default properties.
VRStyleRef everyRendererStyle();
// Every concrete renderer kind, one each, with non-default properties.
QList<VRRendererRef> everyRenderer();
QImage patternImage();

// Renders a style on a rounded rectangle (or a line when line is true) into a w × h image
// on white.
QImage renderSample(const VRRasterizer &renderer, bool line = false, int w = 160, int h = 120);

} // namespace styletest
