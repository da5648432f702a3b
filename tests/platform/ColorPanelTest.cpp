#include "platform/ColorPanel.h"

#include <QColorDialog>

#include <gtest/gtest.h>

TEST(ColorPanel, SendsPickedColoursToItsTargetOnly)
{
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(true);
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));
    QList<QColor> received;
    {
        QObject target;
        panel.setTarget(&target, [&](const QColor &c) { received << c; });
        panel.setColor(Qt::blue); // shown, not sent
        EXPECT_TRUE(received.isEmpty());
        panel.dialog()->setCurrentColor(QColor(10, 20, 30, 40)); // as the user picks
        ASSERT_FALSE(received.isEmpty());
        EXPECT_EQ(received.last(), QColor(10, 20, 30, 40));
        EXPECT_EQ(panel.color(), QColor(10, 20, 30, 40));
    }
    const qsizetype before = received.size();
    panel.dialog()->setCurrentColor(Qt::green); // the target is gone
    EXPECT_EQ(received.size(), before);
    EXPECT_EQ(panel.target(), nullptr);
}
