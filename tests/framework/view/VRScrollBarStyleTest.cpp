#include "framework/ViewTestSupport.h"
#include "common/GoldenPicture.h"

#include "framework/view/VRScrollBarStyle.h"

#include <QApplication>
#include <QScrollBar>
#include <QStyle>

#include <gtest/gtest.h>

// Scroll bars of every shape and state show the pixels the application's style draws.
TEST(ScrollBarStyle, ScrollBarsLookAsTheApplicationStyleDrawsThem)
{
    VRScrollBarStyle *style = VRScrollBarStyle::forApplicationStyle();
    ASSERT_NE(style, nullptr);
    const struct {
        const char *name;
        Qt::Orientation orientation;
        QSize size;
        int value; // of 0..1000
        bool enabled;
    } cases[] = {
        {"tall, at the top", Qt::Vertical, {16, 700}, 0, true},
        {"tall, midway", Qt::Vertical, {16, 700}, 437, true},
        {"tall, at the end", Qt::Vertical, {16, 700}, 1000, true},
        {"short", Qt::Vertical, {16, 40}, 250, true},
        {"wide", Qt::Horizontal, {900, 16}, 613, true},
        {"disabled", Qt::Vertical, {16, 300}, 100, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QScrollBar bar(c.orientation);
        bar.setRange(0, 1000);
        bar.setPageStep(120);
        bar.setValue(c.value);
        bar.setEnabled(c.enabled);
        bar.resize(c.size);
        const QImage plain = bar.grab().toImage();
        bar.setStyle(style);
        const QImage clipped = bar.grab().toImage();
        EXPECT_EQ(qnt::test::differingPixels(clipped, plain, 0), 0);
    }
}

// A drawing view in a scroll area gives the area's scroll bars the style.
TEST(ScrollBarStyle, TheDrawingViewsScrollBarsUseIt)
{
    ViewHarness h;
    EXPECT_EQ(h.area.verticalScrollBar()->style(), VRScrollBarStyle::forApplicationStyle());
    EXPECT_EQ(h.area.horizontalScrollBar()->style(), VRScrollBarStyle::forApplicationStyle());
}
