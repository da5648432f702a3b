#include "app/panels/SnappingWindow.h"

#include <QScreen>

#include <gtest/gtest.h>

namespace {

struct SnapCase {
    QRect frame;
    QPoint expected;
};

} // namespace

TEST(SnappingWindow, SnapsToTheEdgesWithinTheTolerance)
{
    const QRect area(0, 0, 1280, 800);
    const SnapCase cases[] = {
        {{30, 300, 200, 100}, {0, 300}},      // near the left edge
        {{60, 300, 200, 100}, {60, 300}},     // not near anything
        {{1050, 300, 200, 100}, {1080, 300}}, // near the right edge
        {{500, 20, 200, 100}, {500, 0}},      // near the top
        {{500, 660, 200, 100}, {500, 700}},   // near the bottom
        {{10, 10, 200, 100}, {0, 0}},         // a corner
    };
    for (const SnapCase &c : cases)
        EXPECT_EQ(SnappingWindow::snappedOrigin(c.frame, area, 50.0, 0.0), c.expected)
            << c.frame.x() << "," << c.frame.y();
    EXPECT_EQ(SnappingWindow::snappedOrigin({30, 300, 200, 100}, area, 50.0, 5.0), QPoint(5, 300));
    // A second screen's area keeps its origin.
    EXPECT_EQ(
        SnappingWindow::snappedOrigin({1300, 300, 200, 100}, QRect(1280, 0, 1280, 800), 50.0, 0.0),
        QPoint(1280, 300));
}

TEST(SnappingWindow, MovingNearTheLeftEdgeSnapsUnlessSwitchedOff)
{
    SnappingWindow window;
    window.resize(200, 100);
    window.move(300, 300);
    window.show();
    const QRect area = window.screen()->availableGeometry();
    window.move(area.x() + 30, area.y() + 300);
    EXPECT_EQ(window.frameGeometry().x(), area.x());
    window.setSnapsToEdges(false);
    window.move(area.x() + 30, area.y() + 300);
    EXPECT_EQ(window.frameGeometry().x(), area.x() + 30);
}
