#include "style/VKSpecialColorWell.h"

#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRGradient.h"
#include "platform/ColorPanel.h"
#include "platform/NotificationCenter.h"
#include "style/WXGradientControl.h"
#include "common/SharedStateKeepers.h"

#include <QColorDialog>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Leaves the shared colour panel as the test found it: serving nobody, closed.
class SpecialColorWellTest : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the colour panel goes back as the test found it.
    qnt::test::ColorPanelKeeper m_colourPanel;
    void TearDown() override
    {
        VKSpecialColorWell::deactivateCurrentWell();
        ColorPanel::sharedColorPanel().setTarget(nullptr, {});
        ColorPanel::sharedColorPanel().orderOut();
    }
    void listen()
    {
        for (const QString &name : {kVRColorWellWillActivate, kVRColorWellDidActivate,
                                    kVRColorWellWillDeactivate, kVRColorWellDidDeactivate}) {
            tokens.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [this, name](const Notification &n) {
                    posted.push_back(name
                                     + (n.object == first ? QStringLiteral(" first")
                                                          : QStringLiteral(" second")));
                }));
        }
    }

    VKSpecialColorWell *first = nullptr;
    std::vector<QString> posted;
    std::vector<NotificationToken> tokens;
};

} // namespace

TEST_F(SpecialColorWellTest, ActivationIsAnnouncedAndEndsTheOtherWell)
{
    VKSpecialColorWell a, b;
    first = &a;
    listen();
    a.setColor(Qt::red);
    a.click();
    EXPECT_TRUE(a.isActive());
    EXPECT_EQ(VKSpecialColorWell::currentWell(), &a);
    EXPECT_EQ(ColorPanel::sharedColorPanel().color(), QColor(Qt::red));
    b.activate(true);
    EXPECT_FALSE(a.isActive());
    EXPECT_TRUE(b.isActive());
    const std::vector<QString> expected{
        QStringLiteral("kVRColorWellWillActivate first"),
        QStringLiteral("kVRColorWellDidActivate first"),
        QStringLiteral("kVRColorWellWillActivate second"),
        QStringLiteral("kVRColorWellWillDeactivate first"),
        QStringLiteral("kVRColorWellDidDeactivate first"),
        QStringLiteral("kVRColorWellDidActivate second"),
    };
    EXPECT_EQ(posted, expected);

    // Colours picked in the panel reach the active well only.
    QColor sent;
    QObject::connect(&b, &VKSpecialColorWell::colorChanged, [&](const QColor &c) { sent = c; });
    ColorPanel::sharedColorPanel().dialog()->setCurrentColor(QColor(10, 20, 30));
    EXPECT_EQ(sent, QColor(10, 20, 30));
    EXPECT_EQ(b.color(), QColor(10, 20, 30));
    EXPECT_EQ(a.color(), QColor(Qt::red));

    VKSpecialColorWell::deactivateCurrentWell();
    EXPECT_FALSE(b.isActive());
    EXPECT_EQ(VKSpecialColorWell::currentWell(), nullptr);
    EXPECT_EQ(posted.back(), QStringLiteral("kVRColorWellDidDeactivate second"));
}

TEST_F(SpecialColorWellTest, TheStopEditorAndTheWellsTakeThePanelInTurn)
{
    WXGradientControl bar;
    auto gradient = VRGradient::create();
    gradient->addColor(Qt::black, 0.0);
    gradient->addColor(Qt::white, 1.0);
    bar.setGradient(gradient);
    VKSpecialColorWell well;
    well.activate(true);
    // Choosing a stop ends the well's turn...
    bar.setSelectedStop(bar.unsortedStops().at(0));
    EXPECT_FALSE(well.isActive());
    EXPECT_EQ(ColorPanel::sharedColorPanel().target(), &bar);
    // ...and a well taking the panel deselects the stop, so a later click on the same stop
    // gives the panel back to it.
    well.click();
    EXPECT_TRUE(well.isActive());
    EXPECT_FALSE(bar.selectedStop());
    bar.setSelectedStop(bar.unsortedStops().at(0));
    EXPECT_EQ(ColorPanel::sharedColorPanel().target(), &bar);
}

TEST_F(SpecialColorWellTest, AClickOnAnActiveWellWhoseColourPanelWasClosedOpensItAgain)
{
    VKSpecialColorWell well;
    first = &well;
    well.click();
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    ASSERT_TRUE(well.isActive());
    ASSERT_TRUE(panel.isVisible());
    panel.orderOut();
    listen();
    well.click();
    EXPECT_TRUE(well.isActive());
    EXPECT_TRUE(panel.isVisible());
    // Its opening is announced again, so that whoever waits for the panel knows.
    EXPECT_EQ(posted.at(2), QStringLiteral("kVRColorWellWillActivate first"));
    // With the panel open, a click gives it up as before.
    well.click();
    EXPECT_FALSE(well.isActive());
}

TEST_F(SpecialColorWellTest, ThePanelOffersOpacityAsTheWellOrStopEditorServedAsks)
{
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(false);
    // Made, a stop editor leaves the panel alone; it turns opacity on when it takes the panel.
    WXGradientControl bar;
    EXPECT_FALSE(panel.showsAlpha());
    VKSpecialColorWell opaque;
    opaque.setShowsAlpha(false);
    VKSpecialColorWell any;
    const struct {
        const char *step;
        std::function<void()> take;
        bool offersOpacity;
    } steps[] = {
        {"a stop", [&] { bar.setSelectedStop(bar.unsortedStops().at(0)); }, true},
        {"a well without opacity", [&] { opaque.click(); }, false},
        {"a well with opacity", [&] { any.click(); }, true},
        {"the well without opacity again", [&] { opaque.click(); }, false},
        {"the served well asking for opacity", [&] { opaque.setShowsAlpha(true); }, true},
        {"a well not served asking for none", [&] { any.setShowsAlpha(false); }, true},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.take();
        EXPECT_EQ(panel.showsAlpha(), s.offersOpacity);
        EXPECT_EQ(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel), s.offersOpacity);
    }
}
