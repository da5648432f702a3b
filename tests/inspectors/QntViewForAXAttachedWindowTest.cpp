#include "inspectors/QntViewForAXAttachedWindow.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct WindowDeleter {
    void operator()(AXAttachedWindow *window) const { delete window; }
};
using WindowPtr = std::unique_ptr<AXAttachedWindow, WindowDeleter>;

void sendMouse(QWidget *target, QEvent::Type type, QPointF screenPoint, Qt::MouseButtons buttons)
{
    const QPointF global = AXScreen::toGlobal(screenPoint);
    const QPointF local = target->mapFromGlobal(global);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

TEST(QntViewForAXAttachedWindowTest, DragOnTheBackgroundMovesTheWindowAndKeepsTheArrow)
{
    auto *view = new QWidget;
    view->resize(160, 80);
    auto *button = new QPushButton(QStringLiteral("Control"), view);
    button->setGeometry(10, 10, 60, 24);
    QntViewForAXAttachedWindow *background = QntViewForAXAttachedWindow::fillBehind(view);

    const QRectF visible = AXScreen::visibleFrameForPoint(QPointF(0, 0));
    const QPointF p = visible.center() - QPointF(150, 0);
    WindowPtr window(AXAttachedWindow::create(view, p, 2, 0.0));
    window->setAttachedToolbarLook(10.0);
    window->backgroundPath();
    ASSERT_EQ(background->attachedWindow(), window.get());
    // The background fills the view, under its controls.
    EXPECT_EQ(background->geometry(), view->rect());
    EXPECT_EQ(view->childAt(button->geometry().center()), button);

    const QPoint contentBefore = view->mapToGlobal(QPoint(0, 0));
    const QPointF grab = AXScreen::fromGlobal(QPointF(background->mapToGlobal(QPointF(120, 60))));
    sendMouse(background, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    sendMouse(background, QEvent::MouseMove, grab + QPointF(60, -10), Qt::LeftButton);
    sendMouse(background, QEvent::MouseButtonRelease, grab + QPointF(60, -10), Qt::NoButton);

    EXPECT_EQ(window->side(), 2);
    // The content followed the pointer; the window still starts at the point (its arrow).
    EXPECT_EQ(view->mapToGlobal(QPoint(0, 0)), contentBefore + QPoint(60, 10));
    EXPECT_NEAR(window->frame().left(), p.x(), 0.5);
    EXPECT_NEAR(window->arrowHeight(), 10.0 + 60.0, 1.0);
    window->backgroundPath();
    EXPECT_NEAR(window->arrowTipOnScreen().x(), p.x(), 1.0);
    EXPECT_NEAR(window->arrowTipOnScreen().y(), p.y(), 1.0);

    // The view follows its parent's size.
    window->show();
    view->resize(200, 90);
    EXPECT_EQ(background->geometry(), view->rect());
}

TEST(QntViewForAXAttachedWindowTest, OutsideAnAttachedWindowPressesGoOn)
{
    QWidget plain;
    plain.resize(50, 50);
    QntViewForAXAttachedWindow *background = QntViewForAXAttachedWindow::fillBehind(&plain);
    EXPECT_EQ(background->attachedWindow(), nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    press.setAccepted(true);
    QCoreApplication::sendEvent(background, &press);
    EXPECT_FALSE(press.isAccepted());
}
