#include "style/VKWindowMenu.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>

#include <gtest/gtest.h>

namespace {

// A content view that records what the menu hands it, in its own coordinates.
class Recorder : public QWidget
{
public:
    Recorder() { resize(100, 60); }
    QStringList seen;

protected:
    void mousePressEvent(QMouseEvent *e) override { record("down", e); }
    void mouseMoveEvent(QMouseEvent *e) override { record("drag", e); }
    void mouseReleaseEvent(QMouseEvent *e) override { record("up", e); }

private:
    void record(const char *what, QMouseEvent *e)
    {
        seen.append(QStringLiteral("%1 %2,%3")
                        .arg(QLatin1String(what))
                        .arg(e->position().x())
                        .arg(e->position().y()));
    }
};

std::unique_ptr<QMouseEvent> mouse(QEvent::Type type, QPoint global, qulonglong time,
                                   Qt::MouseButtons buttons = Qt::LeftButton)
{
    auto e = std::make_unique<QMouseEvent>(type, QPointF(global), QPointF(global), QPointF(global),
                                           Qt::LeftButton, buttons, Qt::NoModifier);
    e->setTimestamp(time);
    return e;
}

class WindowMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        content = new Recorder;
        menu.reset(VKWindowMenu::windowMenuWithContentView(content));
        menu->move(200, 100);
    }
    // Global point of a point of the content view.
    QPoint at(int x, int y) const { return content->mapToGlobal(QPoint(x, y)); }

    std::unique_ptr<VKWindowMenu> menu;
    Recorder *content = nullptr;
};

TEST_F(WindowMenuTest, TheMenuTakesItsContentsSize)
{
    EXPECT_EQ(menu->size(), QSize(100, 60));
    EXPECT_EQ(content->pos(), QPoint(0, 0));
    EXPECT_EQ(menu->mainView(), content);
}

TEST_F(WindowMenuTest, AReleaseAfterAPressDragEndsTheMenuThere)
{
    const auto open = mouse(QEvent::MouseButtonPress, at(5, 5), 1000);
    menu->beginTracking(open.get());
    const auto drag = mouse(QEvent::MouseMove, at(20, 10), 1100);
    EXPECT_TRUE(menu->trackEvent(drag.get()));
    const auto up = mouse(QEvent::MouseButtonRelease, at(30, 12), 1400, Qt::NoButton);
    EXPECT_FALSE(menu->trackEvent(up.get()));
    EXPECT_FALSE(menu->isTracking());
    EXPECT_EQ(content->seen, QStringList({"down 5,5", "drag 20,10", "up 30,12"}));
}

TEST_F(WindowMenuTest, AQuickClickKeepsTheMenuOpenUntilTheNextClick)
{
    struct Case {
        const char *name;
        QPoint secondClick;
        QStringList expected;
    };
    const Case cases[] = {
        // Outside: the menu closes and the content never sees that click.
        {"outside", QPoint(150, 30), {"down 5,5"}},
        // Inside: press, drags and release go to the content; the release ends the menu.
        {"inside", QPoint(40, 30), {"down 5,5", "down 40,30", "drag 41,31", "up 41,31"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        content->seen.clear();
        const auto open = mouse(QEvent::MouseButtonPress, at(5, 5), 1000);
        menu->beginTracking(open.get());
        const auto quickUp = mouse(QEvent::MouseButtonRelease, at(5, 5), 1100, Qt::NoButton);
        EXPECT_TRUE(menu->trackEvent(quickUp.get()));
        // Moving without a button does nothing.
        const auto hover = mouse(QEvent::MouseMove, at(60, 20), 1500, Qt::NoButton);
        EXPECT_TRUE(menu->trackEvent(hover.get()));
        const QPoint p = at(c.secondClick.x(), c.secondClick.y());
        const auto down = mouse(QEvent::MouseButtonPress, p, 2000);
        if (menu->trackEvent(down.get())) {
            const auto drag = mouse(QEvent::MouseMove, p + QPoint(1, 1), 2050);
            EXPECT_TRUE(menu->trackEvent(drag.get()));
            const auto up = mouse(QEvent::MouseButtonRelease, p + QPoint(1, 1), 2100, Qt::NoButton);
            EXPECT_FALSE(menu->trackEvent(up.get()));
        }
        EXPECT_FALSE(menu->isTracking());
        EXPECT_EQ(content->seen, c.expected);
    }
}

TEST_F(WindowMenuTest, WithoutAnOpeningEventTheFirstReleaseEndsTheMenu)
{
    menu->beginTracking(nullptr);
    EXPECT_TRUE(content->seen.isEmpty());
    const auto up = mouse(QEvent::MouseButtonRelease, at(3, 4), 300, Qt::NoButton);
    EXPECT_FALSE(menu->trackEvent(up.get()));
    EXPECT_EQ(content->seen, QStringList({"up 3,4"}));
}

TEST_F(WindowMenuTest, KeysAreSwallowedWhileTracking)
{
    const auto open = mouse(QEvent::MouseButtonPress, at(5, 5), 1000);
    menu->beginTracking(open.get());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_TRUE(menu->trackEvent(&key));
    EXPECT_TRUE(menu->isTracking());
    const auto up = mouse(QEvent::MouseButtonRelease, at(5, 5), 2000, Qt::NoButton);
    menu->trackEvent(up.get());
}

TEST(WindowMenuEvents, MouseEventTypes)
{
    struct Case {
        QEvent::Type type;
        Qt::MouseButtons buttons;
        bool expected;
    };
    const Case cases[] = {
        {QEvent::MouseButtonPress, Qt::LeftButton, true},
        {QEvent::MouseButtonRelease, Qt::NoButton, true},
        {QEvent::MouseMove, Qt::RightButton, true},
        {QEvent::MouseMove, Qt::NoButton, false},
    };
    for (const Case &c : cases) {
        const auto e = mouse(c.type, QPoint(1, 1), 0, c.buttons);
        EXPECT_EQ(isMouseEventType(*e), c.expected) << int(c.type);
    }
    EXPECT_FALSE(isMouseEventType(QEvent(QEvent::Enter)));
}

} // namespace
