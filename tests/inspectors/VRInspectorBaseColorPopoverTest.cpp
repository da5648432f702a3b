#include "inspectors/VRInspectorBaseColorPopover.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/BWTransparentButton.h"
#include "inspectors/BWTransparentSlider.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntContextMenu.h"

#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// An inspector base that records what its popovers send it.
class RecordingInspector : public QntContextMenu
{
public:
    RecordingInspector()
        : QntContextMenu(QStringLiteral("RecordingInspector"))
    {
    }
    ~RecordingInspector() override
    {
        if (_attachedWindowMatrixbar)
            delete _attachedWindowMatrixbar.data();
    }
    void colorMatrixAction(QntColorMatrix *sender) override
    {
        chosen.push_back(sender->selectedCell()->representedObject);
    }
    void transparencyAction(BWTransparentSlider *sender) override
    {
        coefficients.push_back(sender->doubleValue());
    }
    bool respondsToOpenShapePartsToolbar() const override { return editable; }
    void openShapePartsToolbar(BWTransparentButton *) override { ++edits; }

    // Opens a popover the way the inspectors do and remembers it.
    AXAttachedWindow *open(QntColorMatrix *grid, QPointF point, bool slider)
    {
        _attachedWindowMatrixbar = createMatrixbarAtPoint(point, grid, _attachedWindowMatrixbar,
                                                          AXAttachedWindow::kRight, slider);
        return _attachedWindowMatrixbar;
    }

    std::vector<QVariant> chosen;
    std::vector<double> coefficients;
    bool editable = false;
    int edits = 0;
};

QList<QntColorSchemeData> schemes(int count)
{
    QList<QntColorSchemeData> values;
    for (int i = 0; i < count; ++i)
        values.append(
            {i + 1, QStringLiteral("Scheme %1").arg(i + 1), QColor::fromHsv(i * 40, 200, 200)});
    return values;
}

QList<QColor> colours(int count)
{
    QList<QColor> values;
    for (int i = 0; i < count; ++i)
        values.append(QColor::fromHsv(i * 25, 255, 255));
    return values;
}

QPointF screenMiddle()
{
    return AXScreen::visibleFrameForPoint(QPointF(0, 0)).center();
}

void click(QWidget *widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

} // namespace

TEST(VRInspectorBaseColorPopoverTest, SchemeGridFillsItsLastRowWithPlaceholders)
{
    RecordingInspector inspector;
    std::unique_ptr<QntColorMatrix> grid(
        inspector.populateColorMatrixWithSchemeValues(schemes(8), 1, 6, Qt::black));
    ASSERT_EQ(grid->numberOfRows(), 2);
    ASSERT_EQ(grid->numberOfColumns(), 6);
    for (int column = 0; column < 6; ++column) {
        const auto value =
            grid->cellAtRow(1, column)->representedObject.value<QntColorSchemeData>();
        EXPECT_EQ(VRInspectorBaseColorPopover::isPlaceholderSchemeValue(value), column >= 2);
        if (column >= 2) {
            EXPECT_EQ(value.name, QStringLiteral("Placeholder"));
            EXPECT_EQ(value.colour.alpha(), 0);
        }
    }
    EXPECT_EQ(grid->cellAtRow(0, 0)->representedObject.value<QntColorSchemeData>().schemeId, 1);
    EXPECT_EQ(grid->cellAtRow(1, 1)->representedObject.value<QntColorSchemeData>().schemeId, 8);
    // A grid of 6 per line is 6 x 35 + 5 x 2 wide, its popover 10 wider.
    EXPECT_EQ(grid->width(), 220);
    EXPECT_EQ(grid->height(), 2 * 35 + 2);
    AXAttachedWindow *window = inspector.open(grid.release(), screenMiddle(), false);
    EXPECT_EQ(window->contentView()->width(), 230);
}

struct LayoutCase {
    int count;
    int position;
    quint64 perLine;
    bool plain; // a colour grid (always 6 a line) instead of a scheme grid
    int rows, columns;
};

class ColorMatrixLayoutTest : public testing::TestWithParam<LayoutCase>
{
};

TEST_P(ColorMatrixLayoutTest, LinesBecomeRowsOrColumns)
{
    const LayoutCase c = GetParam();
    RecordingInspector inspector;
    std::unique_ptr<QntColorMatrix> grid(
        c.plain ? inspector.populateColorMatrix(colours(c.count), c.position, Qt::black)
                : inspector.populateColorMatrixWithSchemeValues(schemes(c.count), c.position,
                                                                c.perLine, Qt::black));
    EXPECT_EQ(grid->numberOfRows(), c.rows);
    EXPECT_EQ(grid->numberOfColumns(), c.columns);
    // Cell k lies on line k / n at place k % n.
    const int n = c.plain ? 6 : int(c.perLine);
    const QList<QntColorMatrix::Cell> cells = grid->cells();
    for (int k = 0; k < c.count; ++k) {
        const int line = k / n, place = k % n;
        const QntColorMatrix::Cell *cell =
            c.position != 0 ? grid->cellAtRow(line, place) : grid->cellAtRow(place, line);
        ASSERT_NE(cell, nullptr) << k;
        if (c.plain)
            EXPECT_EQ(cell->representedObject.value<QColor>(), colours(c.count).at(k)) << k;
        else
            EXPECT_EQ(cell->representedObject.value<QntColorSchemeData>().schemeId, k + 1) << k;
    }
    if (c.plain && c.count > 0) {
        // Filled up with clear colours.
        EXPECT_EQ(cells.size(), c.rows * c.columns);
        EXPECT_EQ(cells.last().representedObject.value<QColor>().alpha(), c.count % 6 ? 0 : 255);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grids, ColorMatrixLayoutTest,
    testing::Values(LayoutCase{13, 1, 6, true, 3, 6}, LayoutCase{8, 0, 4, false, 4, 2},
                    LayoutCase{8, 1, 4, false, 2, 4}, LayoutCase{5, 1, 5, false, 1, 5},
                    LayoutCase{0, 1, 6, true, 0, 6}, LayoutCase{7, 0, 6, true, 6, 2}));

TEST(VRInspectorBaseColorPopoverTest, EmptySchemeListOnOneLineGivesAnEmptyGrid)
{
    RecordingInspector inspector;
    std::unique_ptr<QntColorMatrix> grid(
        inspector.populateColorMatrixWithSchemeValues({}, 1, Qt::black));
    EXPECT_EQ(grid->numberOfRows(), 0);
    EXPECT_EQ(grid->geometry(), QRect(5, 5, 5, 5));
    // A popover of it is still a window (10 x 10 around a 0-cell grid).
    AXAttachedWindow *window = inspector.open(grid.release(), screenMiddle(), false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->contentView()->height(), 15);
}

TEST(VRInspectorBaseColorPopoverTest, SwatchIsTheColourWithAWhiteRim)
{
    const QImage image = VRInspectorBaseColorPopover::imageForColor(QColor(200, 0, 0));
    ASSERT_EQ(image.size(), QSize(35, 35));
    EXPECT_EQ(image.pixelColor(17, 17), QColor(200, 0, 0));
    const QColor rim = image.pixelColor(17, 0);
    EXPECT_GT(rim.green(), 200);
    EXPECT_GT(rim.alpha(), 100);
    // The rounded corner leaves the very corner clear.
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    const QImage clear = VRInspectorBaseColorPopover::imageForColor(Qt::transparent);
    EXPECT_EQ(clear.pixelColor(17, 17).alpha(), 0);
    EXPECT_GT(clear.pixelColor(17, 0).alpha(), 100);
}

TEST(VRInspectorBaseColorPopoverTest, SwatchClickSendsItsValueToTheInspector)
{
    RecordingInspector inspector;
    QntColorMatrix *grid =
        inspector.populateColorMatrixWithSchemeValues(schemes(8), 1, 6, Qt::black);
    AXAttachedWindow *window = inspector.open(grid, screenMiddle(), false);
    click(grid, grid->cellFrameAtRow(1, 0).center());
    ASSERT_EQ(inspector.chosen.size(), 1u);
    EXPECT_EQ(inspector.chosen[0].value<QntColorSchemeData>().schemeId, 7);
    EXPECT_EQ(grid->selectedRow(), 1);
    EXPECT_EQ(grid->selectedColumn(), 0);
    // Released outside the pressed swatch: nothing chosen. The keyboard chooses too.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(grid->cellFrameAtRow(0, 0).center()),
                      QPointF(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(grid->cellFrameAtRow(0, 3).center()),
                        QPointF(), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid, &release);
    EXPECT_EQ(inspector.chosen.size(), 1u);
    for (int key : {int(Qt::Key_Up), int(Qt::Key_Right), int(Qt::Key_Return)}) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(grid, &event);
    }
    ASSERT_EQ(inspector.chosen.size(), 2u);
    EXPECT_EQ(inspector.chosen[1].value<QntColorSchemeData>().schemeId, 2);
    EXPECT_EQ(window->contentView(), grid->parentWidget());

    // A colour grid with an action of the caller's sends there instead.
    int own = 0;
    std::unique_ptr<QntColorMatrix> plain(
        inspector.populateColorMatrix(colours(3), 1, Qt::black, [&](QntColorMatrix *) { ++own; }));
    plain->performClickOnCell(0, 1);
    plain->performClickOnCell(0, 5); // a clear filler swatch is a swatch too
    EXPECT_EQ(own, 2);
    EXPECT_EQ(inspector.chosen.size(), 2u);
}

TEST(VRInspectorBaseColorPopoverTest, SliderAndEditButtonLieUnderTheGrid)
{
    RecordingInspector inspector;
    QntColorMatrix *grid = inspector.populateColorMatrix(colours(6), 1, Qt::black);
    AXAttachedWindow *window = inspector.open(grid, screenMiddle(), true);
    QWidget *content = window->contentView();
    EXPECT_EQ(content->size(), QSize(230, 35 + 10 + 25));
    EXPECT_EQ(grid->geometry(), QRect(5, 5, 220, 35));
    auto *slider = content->findChild<BWTransparentSlider *>();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->geometry(), QRect(5, 70 - 5 - 15, 230 - 66, 15));
    EXPECT_DOUBLE_EQ(slider->minValue(), 0.0);
    EXPECT_DOUBLE_EQ(slider->maxValue(), 2.0);
    EXPECT_DOUBLE_EQ(slider->doubleValue(), 1.0);
    slider->setValue(slider->maximum() / 4);
    ASSERT_EQ(inspector.coefficients.size(), 1u);
    EXPECT_DOUBLE_EQ(inspector.coefficients[0], 0.5);
    auto *edit = content->findChild<BWTransparentButton *>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->tag(), VRInspectorBaseColorPopover::kEditButtonTag);
    EXPECT_EQ(edit->text(), QStringLiteral("Edit"));
    EXPECT_EQ(edit->geometry(), QRect(230 - 61, 70 + 5 - 28, 56, 28));
    // Shown only to an inspector that can edit the parts.
    EXPECT_TRUE(edit->isHidden());
}

TEST(VRInspectorBaseColorPopoverTest, EditButtonOpensThePartsOfAnInspectorThatHasThem)
{
    RecordingInspector inspector;
    inspector.editable = true;
    AXAttachedWindow *window = inspector.open(
        inspector.populateColorMatrix(colours(2), 1, Qt::black), screenMiddle(), true);
    auto *edit = window->contentView()->findChild<BWTransparentButton *>();
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isHidden());
    edit->click();
    EXPECT_EQ(inspector.edits, 1);
    // Every new slider starts at 1 again.
    window->closePopover();
    flushEvents();
    AXAttachedWindow *again = inspector.open(
        inspector.populateColorMatrix(colours(2), 1, Qt::black), screenMiddle(), true);
    EXPECT_DOUBLE_EQ(again->contentView()->findChild<BWTransparentSlider *>()->doubleValue(), 1.0);
}

TEST(VRInspectorBaseColorPopoverTest, AnOpenPopoverIsNeverStacked)
{
    RecordingInspector inspector;
    AXAttachedWindow *first = inspector.open(
        inspector.populateColorMatrix(colours(6), 1, Qt::black), screenMiddle(), false);
    QPointer<QntColorMatrix> second = inspector.populateColorMatrix(colours(12), 1, Qt::black);
    EXPECT_EQ(inspector.open(second, screenMiddle(), false), first);
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(first->contentView()->height(), 45);
}

TEST(VRInspectorBaseColorPopoverTest, PopoverWithoutRoomAboveOpensBelowThePoint)
{
    RecordingInspector inspector;
    const QRectF visible = AXScreen::visibleFrameForPoint(QPointF(0, 0));
    const QPointF nearTop(visible.center().x(), visible.bottom() - 20);
    AXAttachedWindow *window =
        inspector.open(inspector.populateColorMatrix(colours(6), 1, Qt::black), nearTop, true);
    EXPECT_EQ(window->side(), AXAttachedWindow::kBelow);
    EXPECT_LE(window->frame().bottom(), visible.bottom());
    window->closePopover();
    flushEvents();
    AXAttachedWindow *middle = inspector.open(
        inspector.populateColorMatrix(colours(6), 1, Qt::black), visible.center(), false);
    EXPECT_EQ(middle->side(), AXAttachedWindow::kRight);
}

TEST(VRInspectorBaseColorPopoverTest, PopoverAtTheRightEdgeIsMovedBackOnScreen)
{
    // The placement of inspectors without one of their own.
    struct PlainInspector : VRInspectorBaseColorPopover {
    } plain;
    const QRectF visible = AXScreen::visibleFrameForPoint(QPointF(0, 0));
    const QPointF nearRight(visible.right() - 30, visible.center().y());
    std::unique_ptr<AXAttachedWindow> window(
        plain.createMatrixbarAtPoint(nearRight, plain.populateColorMatrix(colours(6), 1, Qt::black),
                                     nullptr, AXAttachedWindow::kRight, false));
    EXPECT_NEAR(window->frame().right(), visible.right(), 0.5);
    EXPECT_GE(window->frame().left(), visible.left());
    EXPECT_NEAR(window->frame().center().y(), nearRight.y(), 1.0);
}

TEST(VRInspectorBaseColorPopoverTest, ClosingThePopoverOrTheColumnForgetsIt)
{
    RecordingInspector inspector;
    QPointer<AXAttachedWindow> window = inspector.open(
        inspector.populateColorMatrix(colours(6), 1, Qt::black), screenMiddle(), false);
    EXPECT_TRUE(window->closesOnResignKeyWindow());
    int closed = 0;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kQXPopoverDidCloseNotification, nullptr, [&](const Notification &) { ++closed; });
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(window, &deactivate);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(inspector.attachedWindowMatrixbar(), nullptr);
    flushEvents();
    EXPECT_TRUE(window.isNull());

    // Escape inside a popover closes it with every other attached window.
    window = inspector.open(inspector.populateColorMatrix(colours(6), 1, Qt::black), screenMiddle(),
                            false);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window->contentView(), &escape);
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(inspector.attachedWindowMatrixbar(), nullptr);
    flushEvents();
    EXPECT_TRUE(window.isNull());
}
