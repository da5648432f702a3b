#pragma once

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace qnt::test {

// How many pixels differ by more than tolerance in some channel (compared as ARGB32). Pictures
// of different sizes differ in every pixel, and one more.
qint64 differingPixels(const QImage &a, const QImage &b, int tolerance = 2);

// The folder, in the build tree, where the tests write the pictures they make (subfolder
// below it when given); QNT_SCREENSHOT_DIR names another one. Made when missing.
QString picturesFolder(const QString &subfolder = QString());

// Compares a picture with its golden, tests/data/<name>.png: they match when at most 0.5 % of
// the pixels differ by more than 2 in some channel. On a mismatch, or when the golden is
// missing, the actual picture is written to the same place below picturesFolder(), as
// <name>.actual.png, and the failure names it. QNT_UPDATE_GOLDENS=1 writes the golden instead
// (to accept a deliberate change of look). Fails first, naming it, when a font the pictures
// use is missing.
testing::AssertionResult matchesGolden(const QImage &actual, const QString &name);

} // namespace qnt::test
