#pragma once

#include "framework/styles/VRStyle.h"

#include <QImage>
#include <QString>

// Shared helpers of the style tests: a style holding every renderer kind, and picture
// comparison against goldens in tests/data/styles.
namespace styletest {

// A style with one renderer of every kind, each with non-default properties.
VRStyleRef everyRendererStyle();
// Every concrete renderer kind, one each, with non-default properties.
QList<VRRendererRef> everyRenderer();
QImage patternImage();

// Renders a style on a rounded rectangle (or a line when line is true) into a w × h image
// on white.
QImage renderSample(const VRRasterizer &renderer, bool line = false, int w = 160, int h = 120);

// Per-channel difference ≤ 2 on ≤ 0.5 % of the pixels. On a mismatch (or a missing golden)
// the actual picture is written next to the golden as <name>.actual.png and the reason goes
// to *message. QNT_UPDATE_GOLDENS=1 writes the golden instead.
bool matchesGolden(const QImage &actual, const QString &name, QString *message);

} // namespace styletest
