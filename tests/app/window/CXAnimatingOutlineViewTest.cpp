#include "app/window/CXAnimatingOutlineView.h"
#include "app/window/CXAnimatingOutlineViewDelegate.h"
#include "app/window/CXCollapsibleView.h"
#include "app/window/CXDisclosureBar.h"
#include "app/common/CXViewAnimation.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public CXAnimatingOutlineViewDelegate
{
public:
    double separation = 1.0;
    QStringList events;
    double rowSeparation() const override { return separation; }
    void outlineViewItemDidExpand(const Notification &n) override { record("didExpand", n); }
    void outlineViewItemDidCollapse(const Notification &n) override { record("didCollapse", n); }
    void outlineViewItemWillExpand(const Notification &n) override { record("willExpand", n); }
    void outlineViewItemWillCollapse(const Notification &n) override { record("willCollapse", n); }

private:
    void record(const QString &what, const Notification &n)
    {
        auto *item = n.userInfo.value("NSObject").value<CXCollapsibleView *>();
        events << what + ":" + (item ? item->disclosureBar()->label() : QString("?"));
    }
};

QWidget *detail(int height)
{
    auto *view = new QWidget;
    view->resize(200, height);
    return view;
}

struct OutlineFixture : ::testing::Test {
    void SetUp() override { CXViewAnimation::setTimeScale(0.0); }
    void TearDown() override { CXViewAnimation::setTimeScale(1.0); }
};

} // namespace

using CXAnimatingOutlineViewTest = OutlineFixture;

TEST_F(CXAnimatingOutlineViewTest, SectionsStackWithTheDelegatesSeparation)
{
    RecordingDelegate delegate;
    CXAnimatingOutlineView outline(QRect(0, 0, 200, 10));
    outline.setDelegate(&delegate);
    CXCollapsibleView *a = outline.addView(detail(50), QIcon(), "A", true);
    CXCollapsibleView *b = outline.addView(detail(40), QIcon(), "B", false);
    CXCollapsibleView *c = outline.addView(detail(30), QIcon(), "C", true);
    EXPECT_EQ(a->y(), 1);
    EXPECT_EQ(a->height(), 21 + 50);
    EXPECT_EQ(b->y(), a->geometry().bottom() + 1 + 1);
    EXPECT_EQ(b->height(), 21);
    EXPECT_FALSE(b->expanded());
    EXPECT_EQ(b->detailView()->y(), 21 - 40); // hidden behind the bar
    EXPECT_EQ(c->y(), b->geometry().bottom() + 1 + 1);
    EXPECT_EQ(outline.height(), (1 + 71) + (1 + 21) + (1 + 51));
    EXPECT_EQ(outline.numberOfRows(), 3);
    EXPECT_EQ(outline.rowForItem(b), 1);
    EXPECT_EQ(outline.rowForDetailView(c->detailView()), 2);
    EXPECT_EQ(outline.itemAtRow(3), nullptr);
    EXPECT_EQ(outline.detailViewAtRow(-1), nullptr);
    EXPECT_TRUE(delegate.events.isEmpty());
}

TEST_F(CXAnimatingOutlineViewTest, ExpandAndCollapsePostOnlyWhenTheStateChanges)
{
    RecordingDelegate delegate;
    CXAnimatingOutlineView outline(QRect(0, 0, 200, 10));
    outline.setDelegate(&delegate);
    CXCollapsibleView *a = outline.addView(detail(50), QIcon(), "A", true);
    CXCollapsibleView *b = outline.addView(detail(40), QIcon(), "B", true);
    outline.expandItem(a); // already expanded
    EXPECT_TRUE(delegate.events.isEmpty());
    outline.collapseItem(a);
    EXPECT_EQ(delegate.events, (QStringList{"willCollapse:A", "didCollapse:A"}));
    EXPECT_FALSE(a->expanded());
    EXPECT_EQ(a->height(), 21);
    EXPECT_EQ(b->y(), 1 + 21 + 1);
    EXPECT_FALSE(a->disclosureBar()->disclosureState());
    delegate.events.clear();
    outline.collapseItem(a);
    EXPECT_TRUE(delegate.events.isEmpty());
    a->toggleExpansionState();
    EXPECT_EQ(delegate.events, (QStringList{"willExpand:A", "didExpand:A"}));
    EXPECT_EQ(a->height(), 71);
    EXPECT_EQ(a->detailView()->y(), 21);
    EXPECT_EQ(b->y(), 1 + 71 + 1);
}

TEST_F(CXAnimatingOutlineViewTest, InsertRemoveAndLookups)
{
    RecordingDelegate delegate;
    CXAnimatingOutlineView outline(QRect(0, 0, 200, 10));
    outline.setDelegate(&delegate);
    outline.addView(detail(10), QIcon(), "A", true);
    outline.addView(detail(10), QIcon(), "C", true);
    EXPECT_EQ(outline.insertView(nullptr, 1, QIcon(), "X", true), nullptr);
    CXCollapsibleView *b = outline.insertView(detail(10), 1, QIcon(), "B", true);
    b->setViewID(345);
    CXCollapsibleView *d =
        outline.insertView(detail(10), 9, QIcon(), "D", true); // past the end appends
    EXPECT_EQ(outline.rowForItem(d), 3);
    EXPECT_EQ(outline.itemWithViewID(345), b);
    EXPECT_EQ(outline.itemWithViewID(7), nullptr);
    QStringList labels;
    for (CXCollapsibleView *item : outline.items())
        labels << item->disclosureBar()->label();
    EXPECT_EQ(labels, (QStringList{"A", "B", "C", "D"}));
    outline.removeItemAtRow(1, true);
    outline.removeItemAtRow(17);
    EXPECT_EQ(outline.numberOfRows(), 3);
    EXPECT_EQ(outline.itemAtRow(1)->disclosureBar()->label(), "C");
    EXPECT_EQ(outline.itemAtRow(1)->y(), 1 + 31 + 1);
}

TEST_F(CXAnimatingOutlineViewTest, ClickOnTheBarTogglesUnlessReleasedOutside)
{
    RecordingDelegate delegate;
    CXAnimatingOutlineView outline(QRect(0, 0, 200, 10));
    outline.setDelegate(&delegate);
    CXCollapsibleView *a = outline.addView(detail(30), QIcon(), "A", true);
    CXDisclosureBar *bar = a->disclosureBar();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 10),
                      bar->mapToGlobal(QPointF(100, 10)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    EXPECT_EQ(bar->fillOption(), CXGradientView::ClickedFill);
    QMouseEvent outside(QEvent::MouseButtonRelease, QPointF(100, 300),
                        bar->mapToGlobal(QPointF(100, 300)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(bar, &outside);
    EXPECT_EQ(bar->fillOption(), CXGradientView::NormalFill);
    EXPECT_TRUE(a->expanded());
    QApplication::sendEvent(bar, &press);
    QMouseEvent inside(QEvent::MouseButtonRelease, QPointF(100, 10),
                       bar->mapToGlobal(QPointF(100, 10)), Qt::LeftButton, Qt::NoButton,
                       Qt::NoModifier);
    QApplication::sendEvent(bar, &inside);
    EXPECT_FALSE(a->expanded());
}

TEST_F(CXAnimatingOutlineViewTest, ADetailViewThatGrowsWhileCollapsedIsUsedAtTheNextExpansion)
{
    RecordingDelegate delegate;
    CXAnimatingOutlineView outline(QRect(0, 0, 200, 10));
    outline.setDelegate(&delegate);
    outline.show();
    CXCollapsibleView *a = outline.addView(detail(30), QIcon(), "A", false);
    a->detailView()->resize(200, 60);
    EXPECT_EQ(a->height(), 21);
    outline.expandItem(a);
    EXPECT_EQ(a->height(), 81);
    a->detailView()->resize(200, 40); // grows or shrinks while open: the section follows
    EXPECT_EQ(a->height(), 61);
    EXPECT_EQ(outline.height(), 62);
}

namespace {

// One notch of the wheel, down, over the middle of the widget; true when the widget took it
// (a turn it leaves goes on to the widgets around it, the scroll area last).
bool turnWheelOver(QWidget *widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

} // namespace

TEST_F(CXAnimatingOutlineViewTest, AWheelTurnOverAControlTheUserHasNotClickedIsLeftToTheColumn)
{
    QScrollArea area;
    area.resize(220, 150);
    auto *outline = new CXAnimatingOutlineView(QRect(0, 0, 200, 10));
    area.setWidget(outline);
    auto *view = detail(400);
    auto *column = new QVBoxLayout(view);
    auto *combo = new QComboBox(view);
    combo->addItems({"one", "two", "three"});
    column->addWidget(combo);
    outline->addView(view, QIcon(), "A", true);
    // Controls made after the section went in are looked after as well.
    auto *spin = new QSpinBox(view);
    auto *slider = new QSlider(Qt::Horizontal, view);
    spin->setValue(5);
    slider->setValue(50);
    column->addWidget(spin);
    column->addWidget(slider);
    area.show();
    QApplication::processEvents();
    // Nothing was clicked: no control has the keyboard (a shown window gives it to its first).
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();

    const auto values = [&] {
        return QList<int>{combo->currentIndex(), spin->value(), slider->value()};
    };
    const QList<int> before = values();
    for (QWidget *control : std::initializer_list<QWidget *>{combo, spin, slider}) {
        EXPECT_EQ(control->focusPolicy(), Qt::StrongFocus);
        EXPECT_FALSE(turnWheelOver(control));
    }
    EXPECT_EQ(values(), before);

    // A control the user clicked into takes the wheel.
    combo->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(combo->hasFocus());
    EXPECT_TRUE(turnWheelOver(combo));
    EXPECT_NE(combo->currentIndex(), before.at(0));
}
