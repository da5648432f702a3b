#include "inspectors/AXAttachedWindow.h"

#include "inspectors/AXScreen.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRegion>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct WindowDeleter {
    void operator()(AXAttachedWindow *window) const { delete window; }
};
using WindowPtr = std::unique_ptr<AXAttachedWindow, WindowDeleter>;

// The middle of the screen the tests run on, in the windows' geometry (y up).
QPointF screenMiddle()
{
    const QRectF visible = AXScreen::visibleFrameForPoint(QPointF(0, 0));
    return visible.center();
}

QWidget *content(QSize size)
{
    auto *view = new QWidget;
    view->resize(size);
    return view;
}

WindowPtr toolbarAt(QPointF point, int side, QSize size = {120, 60})
{
    WindowPtr window(AXAttachedWindow::create(content(size), point, side, 0.0));
    window->setAttachedToolbarLook(10.0);
    return window;
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(AXAttachedWindowTest, NoViewMakesNoWindow)
{
    EXPECT_EQ(AXAttachedWindow::create(nullptr, QPointF(10, 10), 2, 0.0), nullptr);
}

TEST(AXAttachedWindowTest, DefaultsAndGeometryOfTheRightSide)
{
    const QPointF p(400, -300);
    WindowPtr window(AXAttachedWindow::create(content({100, 50}), p, 2, 0.0));
    EXPECT_EQ(window->viewMargin(), 2.0);
    EXPECT_EQ(window->borderWidth(), 2.0);
    EXPECT_EQ(window->arrowBaseWidth(), 20.0);
    EXPECT_EQ(window->arrowHeight(), 16.0);
    EXPECT_EQ(window->cornerRadius(), 8.0);
    EXPECT_EQ(window->hasArrow(), 1.0);
    // Width: content + 2 margins + the arrow; height: content + 2 margins; centred on the point.
    EXPECT_EQ(window->frame(), QRectF(400, -300 - 27, 120, 54));
    EXPECT_EQ(window->viewFrame(), QRectF(18, 2, 100, 50));
    // Qt's geometry is the same rectangle with y down.
    EXPECT_EQ(window->geometry(), QRect(400, 300 - 27, 120, 54));
}

// For every side, the arrow drawn by the bubble path ends exactly at the attach point.
class AXAttachedWindowSideTest : public testing::TestWithParam<int>
{
};

TEST_P(AXAttachedWindowSideTest, ArrowTipTouchesTheAttachPoint)
{
    const QPointF p = screenMiddle();
    WindowPtr window = toolbarAt(p, GetParam());
    EXPECT_EQ(window->side(), GetParam());
    const QPainterPath path = window->backgroundPath();
    const QPointF tip = window->arrowTipOnScreen();
    EXPECT_NEAR(tip.x(), p.x(), 1.0) << "side " << GetParam();
    EXPECT_NEAR(tip.y(), p.y(), 1.0) << "side " << GetParam();
    // The content lies fully inside the bubble.
    EXPECT_TRUE(path.boundingRect().contains(window->viewFrame().adjusted(1, 1, -1, -1)));
}

INSTANTIATE_TEST_SUITE_P(AllSides, AXAttachedWindowSideTest, testing::Range(0, 12));

TEST(AXAttachedWindowTest, AutomaticSideFitsTheScreen)
{
    const QRectF visible = AXScreen::visibleFrameForPoint(QPointF(0, 0));
    // Room below the middle of the screen: below (or one of its variants).
    WindowPtr middle(AXAttachedWindow::create(content({100, 50}), visible.center(), 12, 0.0));
    EXPECT_EQ(AXAttachedWindow::familyOfSide(middle->side()), AXAttachedWindow::Family::Below);
    // Near the bottom right corner there is no room below and none to the right: left.
    const QPointF corner(visible.right() - 5, visible.top() + 20);
    WindowPtr edge(AXAttachedWindow::create(content({100, 50}), corner, 12, 0.0));
    EXPECT_EQ(AXAttachedWindow::familyOfSide(edge->side()), AXAttachedWindow::Family::Left);
}

TEST(AXAttachedWindowTest, SettersClampTheirValues)
{
    WindowPtr window(AXAttachedWindow::create(content({100, 40}), screenMiddle(), 2, 0.0));
    window->setBorderWidth(5.0);
    EXPECT_EQ(window->borderWidth(), 2.0); // never wider than the margin
    window->setCornerRadius(500.0);
    // (2 x margin + smaller content side - arrow base) / 2
    EXPECT_EQ(window->cornerRadius(), (4.0 + 40.0 - 20.0) / 2);
    window->setViewMargin(-3.0);
    EXPECT_EQ(window->viewMargin(), 0.0);
    EXPECT_LE(window->cornerRadius(), (0.0 + 40.0 - window->arrowBaseWidth()) / 2);
    window->setHasArrow(0.7);
    EXPECT_EQ(window->hasArrow(), 0.0); // truncated
}

TEST(AXAttachedWindowTest, DraggingKeepsTheArrowOnThePoint)
{
    const QPointF p = screenMiddle() - QPointF(150, 0);
    WindowPtr window = toolbarAt(p, 2);
    window->backgroundPath();
    const QRectF before = window->frame();
    const QPointF grab = before.center();
    window->prepareMovingFromPoint(grab);
    window->moveToPoint(grab + QPointF(60, 0));
    // Further right: the arrow lengthens and still ends at the point.
    EXPECT_EQ(window->side(), 2);
    EXPECT_NEAR(window->arrowHeight(), 10.0 + 60.0, 1.0);
    EXPECT_NEAR(window->frame().left(), p.x(), 0.5);
    window->backgroundPath();
    EXPECT_NEAR(window->arrowTipOnScreen().x(), p.x(), 1.0);
    EXPECT_NEAR(window->arrowTipOnScreen().y(), p.y(), 1.0);
    // Over the point: no arrow.
    window->prepareMovingFromPoint(window->frame().center());
    window->moveToPoint(QPointF(p.x() - 20, window->frame().center().y()));
    EXPECT_EQ(window->arrowHeight(), 0.0);
    EXPECT_EQ(window->hasArrow(), 0.0);
}

TEST(AXAttachedWindowTest, ArrowlessSimpleRepositionMovesThePoint)
{
    const QPointF p = screenMiddle();
    WindowPtr window = toolbarAt(p, 2);
    window->setIsArrowlessMode(true);
    window->setIsSimpleReposition(true);
    const QPointF origin = window->frame().topLeft();
    window->prepareMovingFromPoint(origin + QPointF(5, 5));
    window->moveToPoint(origin + QPointF(5 - 30, 5 - 40));
    EXPECT_EQ(window->frame().topLeft(), origin + QPointF(-30, -40));
    EXPECT_EQ(window->point(), p + QPointF(-30, -40));
}

TEST(AXAttachedWindowTest, PopoverClosesOnceWhenItResignsKey)
{
    auto *window = AXAttachedWindow::create(content({60, 30}), screenMiddle(), 1, 0.0);
    window->setCloseOnResignKeyWindow(true);
    int posted = 0;
    const void *postedObject = nullptr;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kQXPopoverDidCloseNotification, nullptr, [&](const Notification &n) {
            ++posted;
            postedObject = n.object;
        });
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(window, &deactivate);
    EXPECT_TRUE(window->isReleased());
    window->closePopover();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(postedObject, window);
    deleteClosedWindows();
}

TEST(AXAttachedWindowTest, WindowWithoutCloseOnResignStays)
{
    WindowPtr window = toolbarAt(screenMiddle(), 1);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(window.get(), &deactivate);
    EXPECT_FALSE(window->isReleased());
}

// Where the window's pixels are not blended, the mask is the bubble itself: every pixel the
// bubble covers is shown, none farther than a pixel outside its outline, and no more than where
// they are blended. With blending the window keeps a half-pixel rim for the antialiased edge.
class AXAttachedWindowMaskTest : public testing::TestWithParam<int>
{
};

TEST_P(AXAttachedWindowMaskTest, UnblendedMaskFollowsTheBubble)
{
    WindowPtr window = toolbarAt(screenMiddle(), GetParam());
    const QRegion mask = window->windowMask(false);
    const QRegion blended = window->windowMask(true);
    const QPainterPath bubble =
        QTransform(1, 0, 0, -1, 0, window->frame().height()).map(window->backgroundPath());
    QPainterPathStroker stroker;
    stroker.setWidth(2.0);
    const QPainterPath nearBubble = bubble.united(stroker.createStroke(bubble));
    int inside = 0;
    for (int y = 0; y < window->height(); ++y) {
        for (int x = 0; x < window->width(); ++x) {
            const QRectF pixel(x, y, 1, 1);
            if (bubble.contains(pixel)) {
                EXPECT_TRUE(mask.contains(QPoint(x, y))) << x << "," << y;
                ++inside;
            }
            if (mask.contains(QPoint(x, y))) {
                EXPECT_TRUE(nearBubble.contains(pixel.center())) << x << "," << y;
                EXPECT_TRUE(blended.contains(QPoint(x, y))) << x << "," << y;
            }
        }
    }
    // The content view, 120 by 60, lies inside the bubble.
    EXPECT_GT(inside, 110 * 55);
    // The arrow is part of the shape; the window's corners beside it are not.
    const QPointF tip = window->arrowTipOnScreen() - window->frame().topLeft();
    const QPointF tipInQt(tip.x(), window->frame().height() - tip.y());
    // Five pixels from the tip towards the bubble, along the arrow (Qt's y points down).
    QPointF inwards;
    switch (AXAttachedWindow::familyOfSide(GetParam())) {
    case AXAttachedWindow::Family::Left: inwards = {-1, 0}; break;
    case AXAttachedWindow::Family::Below: inwards = {0, 1}; break;
    case AXAttachedWindow::Family::Right: inwards = {1, 0}; break;
    case AXAttachedWindow::Family::Above: inwards = {0, -1}; break;
    case AXAttachedWindow::Family::None: break;
    }
    const QPointF nearTip = tipInQt + 5.0 * inwards;
    EXPECT_TRUE(mask.contains(nearTip.toPoint()));
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(window->width() - 1, window->height() - 1)));
}

INSTANTIATE_TEST_SUITE_P(EverySide, AXAttachedWindowMaskTest, testing::Range(0, 12));

TEST(AXAttachedWindowTest, OffscreenWindowsBlendAndKeepTheirMask)
{
    WindowPtr window = toolbarAt(screenMiddle(), 2);
    EXPECT_TRUE(window->isTranslucent());
    EXPECT_TRUE(window->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(window->mask(), window->windowMask(true));
}

TEST(AXAttachedWindowTest, SecondViewIsSetOnceAndSlidesInAndBack)
{
    WindowPtr window = toolbarAt(screenMiddle(), 2, {150, 80});
    QWidget *first = window->contentView();
    auto *second = new QWidget;
    window->setSubView2(second);
    auto *other = new QWidget;
    window->setSubView2(other);
    EXPECT_EQ(window->subView2(), second);
    delete other;
    EXPECT_EQ(second->parentWidget(), window.get());
    EXPECT_EQ(second->geometry(), first->geometry());
    EXPECT_TRUE(second->isHidden());

    std::vector<AXAttachedWindow::FirstViewEffect> ended;
    const auto record = [&ended](AXAttachedWindow::FirstViewEffect effect) {
        ended.push_back(effect);
    };
    window->slideToView2(record);
    ASSERT_TRUE(window->isSliding());
    EXPECT_FALSE(second->isHidden());
    EXPECT_EQ(second->geometry(), first->geometry().translated(first->width(), 0));
    window->finishSlide();
    EXPECT_FALSE(window->isSliding());
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended.back(), AXAttachedWindow::FirstViewEffect::FadeOut);
    EXPECT_EQ(second->geometry(), first->geometry());
    auto *fade = qobject_cast<QGraphicsOpacityEffect *>(first->graphicsEffect());
    ASSERT_NE(fade, nullptr);
    EXPECT_DOUBLE_EQ(fade->opacity(), 0.0);
    // A redisplay keeps the second view over the first.
    window->redisplay();
    EXPECT_EQ(second->geometry(), first->geometry());

    window->slideToView1(record);
    window->finishSlide();
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended.back(), AXAttachedWindow::FirstViewEffect::FadeIn);
    EXPECT_EQ(first->graphicsEffect(), nullptr);
    EXPECT_TRUE(second->isHidden());
    // A new slide finishes the one still running first.
    window->slideToView2(record);
    window->slideToView1(record);
    window->finishSlide();
    EXPECT_EQ(ended.size(), 4u);
    EXPECT_TRUE(second->isHidden());
    EXPECT_EQ(first->graphicsEffect(), nullptr);
}

TEST(AXAttachedWindowTest, SlideWithoutSecondViewDoesNothing)
{
    WindowPtr window = toolbarAt(screenMiddle(), 2);
    bool ended = false;
    window->slideToView2([&ended](AXAttachedWindow::FirstViewEffect) { ended = true; });
    EXPECT_FALSE(window->isSliding());
    EXPECT_FALSE(ended);
    EXPECT_EQ(window->contentView()->graphicsEffect(), nullptr);
}

TEST(AXAttachedWindowTest, MovingWithTheAttachPointKeepsTheArrowOnIt)
{
    const QPointF p = screenMiddle();
    for (bool dragged : {false, true}) {
        WindowPtr window = toolbarAt(p, 2);
        if (dragged) {
            window->prepareMovingFromPoint(window->frame().center());
            window->moveToPoint(window->frame().center() + QPointF(40, 0));
        }
        window->backgroundPath();
        const QRectF before = window->frame();
        window->moveWithAttachPoint({-70, 0});
        EXPECT_EQ(window->point(), p - QPointF(70, 0)) << dragged;
        EXPECT_EQ(window->frame(), before.translated(-70, 0)) << dragged;
        window->backgroundPath();
        EXPECT_NEAR(window->arrowTipOnScreen().x(), p.x() - 70, 1.0) << dragged;
        EXPECT_NEAR(window->arrowTipOnScreen().y(), p.y(), 1.0) << dragged;
    }
}
