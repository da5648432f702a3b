#include "framework/ViewTestSupport.h"
#include "framework/ModelFixtures.h"
#include "common/GoldenPicture.h"
#include "common/SharedStateKeepers.h"

#include "framework/archive/VRArchiver.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/view/VKInfoFloater.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStyle.h"
#include "framework/model/VRTextShape.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

struct VRDrawingViewTestAccess {
    // Forgets every painted pixel, as when the whole drawing changed.
    static void forceFullRepaint(VRDrawingView &view) { view.invalidateAllContent(); }
    // The size of the picture the view keeps (device pixels); empty when it keeps none.
    static QSize pictureSize(const VRDrawingView &view) { return view.m_cache.size(); }
};

namespace {

template <class T> std::shared_ptr<T> firstOf(VRObjectDrawingLayer &layer)
{
    for (const VRObjectRef &o : layer.objects()) {
        if (o->isKindOf<T>())
            return std::static_pointer_cast<T>(o);
    }
    return nullptr;
}

VRObjectRef addBox(ViewHarness &h, const QRectF &rect)
{
    auto shape = VRDrawableShape::shapeWithRect(rect, VRDrawableShape::unitRectAtOrigin());
    shape->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1));
    h.layer()->addObject(shape);
    return shape;
}

struct Recorder {
    QList<Notification> seen;
    NotificationToken token;
    explicit Recorder(const QString &name)
        : token(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [this](const Notification &n) { seen.push_back(n); }))
    {
    }
};

} // namespace

TEST(DrawingView, ClickWithRectangleToolPlacesSelectsAndUndoes)
{
    ViewHarness h;
    Recorder info(kQntShapeInfoUpdated);
    h.useTool("Rectangle");
    h.click(QPointF(200, 150));
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    VRObjectRef made = h.layer()->objects().first();
    EXPECT_EQ(made->size(), QSizeF(100, 60));
    EXPECT_NEAR(made->location().x(), 200, 1.0);
    EXPECT_NEAR(made->location().y(), 150, 1.0);
    EXPECT_EQ(h.layer()->singleSelection(), made);
    EXPECT_FALSE(info.seen.isEmpty());
    // Auto-revert: back to the select tool after one use.
    EXPECT_TRUE(h.view->drawingTool()->isMemberOf<VRSelectAndEditTool>());

    h.undoStep();
    EXPECT_EQ(h.layer()->countOfObjects(), 0);
    h.redoStep();
    EXPECT_EQ(h.layer()->countOfObjects(), 1);
}

TEST(DrawingView, DragWithOvalToolGivesTheDraggedRectangle)
{
    ViewHarness h;
    h.useTool("Oval");
    h.drag(QPointF(100, 100), QPointF(260, 180));
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    const QRectF b = h.layer()->objects().first()->logicalBounds();
    EXPECT_NEAR(b.left(), 100, 1.0);
    EXPECT_NEAR(b.top(), 100, 1.0);
    EXPECT_NEAR(b.width(), 160, 1.0);
    EXPECT_NEAR(b.height(), 80, 1.0);
}

TEST(DrawingView, ClickShiftClickAndRubberBandSelect)
{
    ViewHarness h;
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    VRObjectRef b = addBox(h, {220, 100, 60, 40});
    VRObjectRef c = addBox(h, {400, 300, 60, 40});
    h.click(QPointF(130, 120));
    EXPECT_EQ(h.layer()->selection(), VRObjectList{a});
    h.click(QPointF(250, 120), Qt::ShiftModifier);
    EXPECT_EQ(h.layer()->countOfSelection(), 2);
    h.click(QPointF(130, 120), Qt::ShiftModifier); // toggles a off
    EXPECT_EQ(h.layer()->selection(), VRObjectList{b});
    h.click(QPointF(600, 500)); // paper deselects
    EXPECT_EQ(h.layer()->countOfSelection(), 0);
    h.drag(QPointF(80, 80), QPointF(300, 160)); // band around a and b only
    EXPECT_EQ(h.layer()->countOfSelection(), 2);
    EXPECT_TRUE(h.layer()->isSelectedObject(*a));
    EXPECT_TRUE(h.layer()->isSelectedObject(*b));
    EXPECT_FALSE(h.layer()->isSelectedObject(*c));
}

TEST(DrawingView, DragMovesTheSelectionInOneUndoStep)
{
    ViewHarness h;
    Recorder moved(kQntElementMovedNotification);
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    VRObjectRef b = addBox(h, {220, 100, 60, 40});
    h.layer()->exchangeSelectionWithObjectsFromArray({a, b});
    QApplication::processEvents();
    h.drag(QPointF(130, 120), QPointF(180, 170));
    EXPECT_NEAR(a->location().x(), 180, 0.5);
    EXPECT_NEAR(a->location().y(), 170, 0.5);
    EXPECT_NEAR(b->location().x(), 300, 0.5);
    EXPECT_EQ(moved.seen.size(), 1);
    h.undoStep();
    EXPECT_NEAR(a->location().x(), 130, 0.5);
    EXPECT_NEAR(b->location().x(), 250, 0.5);
    EXPECT_EQ(h.undo()->redoActionName(), QStringLiteral("Move"));
    h.redoStep();
    EXPECT_NEAR(a->location().x(), 180, 0.5);
}

TEST(DrawingView, MoveSnapsToTheGrid)
{
    ViewHarness h;
    h.drawing->setSnapsToGrid(true);
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    h.click(QPointF(130, 120));
    h.drag(QPointF(130, 120), QPointF(157, 141));
    const QPointF corner = a->logicalBounds().topLeft();
    EXPECT_EQ(h.drawing->gridLayer()->nearestGridIntersectionToPoint(corner), corner);
}

TEST(DrawingView, ResizeHandleAndRotationHandle)
{
    ViewHarness h;
    Recorder info(kQntShapeInfoUpdated);
    VRObjectRef a = addBox(h, {100, 100, 100, 50});
    h.click(QPointF(150, 125));
    // Bottom-right handle (4) dragged by (40, 30) drawing points; top-left stays.
    const QPoint handle = h.view->mapFromDrawing(h.view->handleDrawingPosition(*a, 4)).toPoint();
    EXPECT_EQ(h.view->handleAtViewPoint(QPointF(handle), nullptr), 4);
    h.dragView(handle, handle + QPoint(40, 30));
    EXPECT_NEAR(a->size().width(), 140, 1.0);
    EXPECT_NEAR(a->size().height(), 80, 1.0);
    EXPECT_NEAR(a->logicalBounds().left(), 100, 1.0);
    EXPECT_NEAR(a->logicalBounds().top(), 100, 1.0);
    EXPECT_FALSE(info.seen.isEmpty());
    EXPECT_TRUE(info.seen.last().userInfo.contains("width"));
    h.undoStep();
    EXPECT_NEAR(a->size().width(), 100, 0.5);
    EXPECT_NEAR(a->logicalBounds().left(), 100, 0.5);

    // The rotation handle dragged to the right of the centre turns the box a quarter.
    const QPointF centre = a->transformIncludingParent().map(QPointF(0, 0));
    const QPoint rot = h.view->mapFromDrawing(h.view->handleDrawingPosition(*a, 8)).toPoint();
    EXPECT_EQ(h.view->handleAtViewPoint(QPointF(rot), nullptr), 8);
    h.dragView(rot, h.at(centre + QPointF(120, 0)));
    EXPECT_NEAR(a->angleInDegrees(), 90, 1.0);
    const QPointF centreAfter = a->transformIncludingParent().map(QPointF(0, 0));
    EXPECT_NEAR(centreAfter.x(), centre.x(), 0.5);
    EXPECT_NEAR(centreAfter.y(), centre.y(), 0.5);
    h.undoStep();
    EXPECT_NEAR(a->angle(), 0, 1e-9);
}

// A recorded change of the one selected object's geometry, made elsewhere than in the view, and
// its undo and redo each report the geometry the object has then.
TEST(DrawingView, AStepItsUndoAndItsRedoReportTheSelectedShapesGeometry)
{
    ViewHarness h;
    VRObjectRef a = addBox(h, {100, 100, 100, 50});
    addBox(h, {300, 100, 100, 50});
    h.click(QPointF(150, 125));
    QApplication::processEvents();
    Recorder info(kQntShapeInfoUpdated);
    const auto reportedWidth = [&] {
        return info.seen.isEmpty()
                   ? -1.0
                   : info.seen.last().userInfo.value(QStringLiteral("width")).toDouble();
    };
    const double wide = h.drawing->convertLength(250);
    const double narrow = h.drawing->convertLength(100);
    h.undo()->beginUndoGrouping();
    a->setSize(QSizeF(250, 50));
    h.undo()->endUndoGrouping();
    EXPECT_DOUBLE_EQ(reportedWidth(), wide);
    h.undoStep();
    EXPECT_DOUBLE_EQ(reportedWidth(), narrow);
    h.redoStep();
    EXPECT_DOUBLE_EQ(reportedWidth(), wide);
    // Nothing is reported without a single selection.
    h.layer()->selectAll();
    info.seen.clear();
    h.undoStep();
    EXPECT_TRUE(info.seen.isEmpty());
}

// A turned shape reports its own size, the one the size boxes type, not its bounds'.
TEST(DrawingView, ATurnedShapeReportsItsOwnSize)
{
    ViewHarness h;
    VRObjectRef a = addBox(h, {100, 100, 100, 50});
    a->setAngle(M_PI / 2);
    Recorder info(kQntShapeInfoUpdated);
    h.click(QPointF(150, 125));
    ASSERT_FALSE(info.seen.isEmpty());
    const QVariantMap &reported = info.seen.last().userInfo;
    EXPECT_DOUBLE_EQ(reported.value(QStringLiteral("width")).toDouble(),
                     h.drawing->convertLength(100));
    EXPECT_DOUBLE_EQ(reported.value(QStringLiteral("height")).toDouble(),
                     h.drawing->convertLength(50));
}

TEST(DrawingView, ZoomScaleClampAndZoomTools)
{
    ViewHarness h;
    Recorder scaled(kVRDrawingViewDidChangeScale);
    h.view->setScale(100);
    EXPECT_DOUBLE_EQ(h.view->scale(), 16.0);
    h.view->setScale(0.001);
    EXPECT_DOUBLE_EQ(h.view->scale(), 0.05);
    h.view->zoomToPercentageWithTag(200, QPointF(400, 300));
    EXPECT_DOUBLE_EQ(h.view->scale(), 2.0);
    EXPECT_NEAR(h.view->centredPointInDocView().x(), 400, 2);
    EXPECT_NEAR(h.view->centredPointInDocView().y(), 300, 2);
    EXPECT_GE(scaled.seen.size(), 3);

    h.view->setScale(1.0);
    h.useTool("Zoom");
    h.click(QPointF(500, 400));
    EXPECT_DOUBLE_EQ(h.view->scale(), 2.0);
    EXPECT_NEAR(h.view->centredPointInDocView().x(), 500, 2);
    h.useTool("Zoom Out");
    h.click(QPointF(500, 400));
    EXPECT_DOUBLE_EQ(h.view->scale(), 1.0);
    h.useTool("Zoom");
    h.drag(QPointF(300, 300), QPointF(500, 400)); // zoom to the rectangle
    EXPECT_GT(h.view->scale(), 2.5);
    EXPECT_NEAR(h.view->centredPointInDocView().x(), 400, 3);
}

TEST(DrawingView, PanToolScrolls)
{
    ViewHarness h;
    h.view->scrollPointToCentre(QPointF(800, 600));
    const int x0 = h.area.horizontalScrollBar()->value();
    const int y0 = h.area.verticalScrollBar()->value();
    h.useTool("Pan");
    h.dragView(QPoint(h.at(QPointF(800, 600))), h.at(QPointF(800, 600)) + QPoint(-100, -50));
    EXPECT_EQ(h.area.horizontalScrollBar()->value(), x0 + 100);
    EXPECT_EQ(h.area.verticalScrollBar()->value(), y0 + 50);
}

// A scroll both ways moves the view (and the pixels on screen) once, not once per scroll bar.
TEST(DrawingView, ScrollingBothWaysMovesTheViewOnce)
{
    ViewHarness h;
    QScrollBar *across = h.area.horizontalScrollBar();
    QScrollBar *down = h.area.verticalScrollBar();
    struct MoveCounter : QObject {
        int moves = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            moves += event->type() == QEvent::Move ? 1 : 0;
            return false;
        }
    } counter;
    h.view->scrollPointToCentre(QPointF(800, 600));
    QApplication::processEvents();
    h.view->installEventFilter(&counter);
    const struct {
        const char *name;
        QPoint step;
        QPoint expected; // the values' change
    } cases[] = {
        {"diagonal", {37, 11}, {37, 11}},
        {"across", {-60, 0}, {-60, 0}},
        {"down", {0, 45}, {0, 45}},
        {"down past the end", {25, 100000}, {25, -1}},
        {"back from the end", {-25, -30}, {-25, -30}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint before(across->value(), down->value());
        counter.moves = 0;
        h.view->scrollByPixels(QPointF(c.step));
        const int expectedY = c.expected.y() == -1 ? down->maximum() : before.y() + c.expected.y();
        EXPECT_EQ(QPoint(across->value(), down->value()),
                  QPoint(before.x() + c.expected.x(), expectedY));
        EXPECT_EQ(counter.moves, 1);
    }
    h.view->removeEventFilter(&counter);
}

TEST(DrawingView, RightMouseUpSelectsAndNotifies)
{
    ViewHarness h;
    Recorder element(kQntElementRightMouseUpNotification);
    Recorder multiple(kQntMultipleChangeStyleModeSelected);
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    VRObjectRef b = addBox(h, {220, 100, 60, 40});
    h.press(QPointF(130, 120), Qt::NoModifier, Qt::RightButton);
    h.release(QPointF(130, 120), Qt::NoModifier, Qt::RightButton);
    ASSERT_EQ(element.seen.size(), 1);
    EXPECT_EQ(element.seen.first().object, a.get());
    EXPECT_EQ(h.layer()->selection(), VRObjectList{a});
    h.layer()->exchangeSelectionWithObjectsFromArray({a, b});
    h.press(QPointF(250, 120), Qt::NoModifier, Qt::RightButton);
    h.release(QPointF(250, 120), Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(multiple.seen.size(), 1);
    EXPECT_EQ(h.layer()->countOfSelection(), 2);
    h.press(QPointF(700, 500), Qt::NoModifier, Qt::RightButton);
    h.release(QPointF(700, 500), Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(h.layer()->countOfSelection(), 0);
}

TEST(DrawingView, DoubleClickEditsTextInPlaceOrAsksForTheEditor)
{
    ViewHarness h;
    VRObjectRef a = addBox(h, {100, 100, 120, 60});
    Recorder started(kQntInlineEditingStartedNotification);
    Recorder editor(kQntShowTextEditorNotification);
    UserDefaults::standardUserDefaults().setBool(false, kQntEnableInlineEditor);
    h.click(QPointF(150, 130));
    h.send(QEvent::MouseButtonDblClick, h.at(QPointF(150, 130)), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(editor.seen.size(), 1);
    EXPECT_EQ(h.view->inlineEditor(), nullptr);

    UserDefaults::standardUserDefaults().setBool(true, kQntEnableInlineEditor);
    h.send(QEvent::MouseButtonDblClick, h.at(QPointF(150, 130)), Qt::LeftButton, Qt::LeftButton);
    ASSERT_NE(h.view->inlineEditor(), nullptr);
    EXPECT_EQ(started.seen.size(), 1);
    EXPECT_EQ(h.view->inlineEditedObject(), a);
    h.view->endInlineEditing(true);
    EXPECT_EQ(h.view->inlineEditor(), nullptr);
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntEnableInlineEditor);
}

TEST(DrawingView, AFreeTextIsEditedInPlaceByDoubleClickOrTheTextKey)
{
    // Whatever the inline editor setting, a free text's words open where it stands: the text
    // bar the setting chooses otherwise edits element and connector labels only.
    for (const bool inlineSetting : {false, true}) {
        SCOPED_TRACE(inlineSetting ? "inline editor on" : "inline editor off");
        qnt::test::UserDefaultsKeeper keeper;
        ViewHarness h;
        UserDefaults::standardUserDefaults().setBool(inlineSetting, kQntEnableInlineEditor);
        h.useTool("Text");
        h.click(QPointF(200, 200));
        auto text = std::dynamic_pointer_cast<VRTextShape>(h.layer()->objects().value(0));
        ASSERT_NE(text, nullptr);
        h.view->inlineEditor()->setPlainText(QStringLiteral("Frist"));
        h.view->endInlineEditing(true);
        h.useTool("Select");
        Recorder editor(kQntShowTextEditorNotification);

        const QPointF inside = text->logicalBounds().center();
        h.click(inside);
        h.send(QEvent::MouseButtonDblClick, h.at(inside), Qt::LeftButton, Qt::LeftButton);
        ASSERT_NE(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(h.view->inlineEditedObject(), text);
        EXPECT_EQ(h.view->inlineEditor()->toPlainText(), QStringLiteral("Frist"));
        h.view->inlineEditor()->setPlainText(QStringLiteral("First"));
        h.view->endInlineEditing(true);
        EXPECT_EQ(text->string(), QStringLiteral("First"));

        h.layer()->exchangeSelectionWithObjectsFromArray({text});
        QTest::keyClick(h.view, Qt::Key_T);
        ASSERT_NE(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(h.view->inlineEditedObject(), text);
        h.view->endInlineEditing(true);
        EXPECT_TRUE(editor.seen.isEmpty());
    }
}

TEST(DrawingView, KeysDeleteNudgeAndSelectTools)
{
    ViewHarness h;
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    h.click(QPointF(130, 120));
    QTest::keyClick(h.view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(a->location().x(), 140, 1e-9);
    QTest::keyClick(h.view, Qt::Key_Down);
    EXPECT_NEAR(a->location().y(), 121, 1e-9);
    QTest::keyClick(h.view, Qt::Key_Delete);
    EXPECT_EQ(h.layer()->countOfObjects(), 0);
    h.undoStep();
    EXPECT_EQ(h.layer()->countOfObjects(), 1);

    VRDrawingTool *zoom = VRDrawingTool::drawingToolWithName("Zoom");
    zoom->setKeyCode(6); // Z
    QTest::keyClick(h.view, Qt::Key_Z);
    EXPECT_EQ(h.view->drawingTool(), zoom);
    QTest::keyClick(h.view, Qt::Key_Escape);
    EXPECT_TRUE(h.view->drawingTool()->isMemberOf<VRSelectAndEditTool>());
    zoom->setKeyCode(0);
}

TEST(DrawingView, ToolChangesAreNotified)
{
    ViewHarness h;
    Recorder changed(kVRDidChangeToolNotification);
    VRViewController::setCurrent(h.view->controller());
    VRDrawingTool::drawingToolWithName("Pan")->set();
    EXPECT_EQ(h.view->drawingTool(), VRDrawingTool::drawingToolWithName("Pan"));
    ASSERT_EQ(changed.seen.size(), 1);
    EXPECT_EQ(changed.seen.first().object, h.view);
    EXPECT_EQ(changed.seen.first().userInfo.value("tool").value<VRDrawingTool *>(),
              VRDrawingTool::drawingToolWithName("Pan"));
    EXPECT_EQ(changed.seen.first().userInfo.value("name").toString(), QStringLiteral("Pan"));
    EXPECT_EQ(h.drawing->owner(), h.view->controller());
    h.view->controller()->setAutoRevert(false);
    h.useTool("Rectangle");
    h.click(QPointF(100, 100));
    EXPECT_EQ(h.view->drawingTool(), VRDrawingTool::drawingToolWithName("Rectangle"));
}

TEST(DrawingView, PaintsOnlyWhatIsOnScreen)
{
    ViewHarness h;
    for (int k = 0; k < 400; ++k)
        addBox(h, {20.0 + (k % 20) * 80, 20.0 + (k / 20) * 55, 50, 30});
    h.view->zoomToPercentageWithTag(400, QPointF(200, 200));
    h.view->repaint();
    EXPECT_GT(h.view->lastPaintedObjectCount(), 0);
    EXPECT_LT(h.view->lastPaintedObjectCount(), 40);
    const QRectF visible = h.view->visibleDrawingRect();
    EXPECT_NEAR(visible.width(), 900.0 / 4, 30);
}

namespace {
class WindowedDocument : public VRDrawingDocument
{
public:
    QScrollArea area;
    QScrollArea *drawingScrollArea() override { return &area; }
};
} // namespace

TEST(DrawingView, DocumentWindowGetsItsMainViewAndForwardsActions)
{
    WindowedDocument document;
    EXPECT_EQ(document.mainView(), nullptr);
    document.windowControllerDidLoadNib();
    VRDrawingView *view = document.mainView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(document.area.widget(), view);
    EXPECT_EQ(view->drawing(), document.drawing());
    EXPECT_EQ(document.drawing()->owner(), view->controller());
    view->setScale(3.0);
    document.zoomToActualSize();
    EXPECT_DOUBLE_EQ(view->scale(), 1.0);
    document.switchOffAutoRevertAction();
    EXPECT_FALSE(view->controller()->autoRevert());
    document.toggleAutoRevertAction();
    EXPECT_TRUE(view->controller()->autoRevert());
    // A replaced drawing is shown by the same view.
    document.setDrawing(std::make_unique<VRDrawing>());
    EXPECT_EQ(view->drawing(), document.drawing());
    EXPECT_EQ(document.drawing()->owner(), view->controller());
}

TEST(DrawingView, DroppedPicturesAndObjectsLandCentredOnThePoint)
{
    ViewHarness h;
    QImage picture(40, 30, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QMimeData data;
    data.setImageData(picture);
    const QPoint at = h.at(QPointF(300, 200));
    Recorder info(kQntShapeInfoUpdated);
    Recorder added(kQntElementAddedToLayerNotification);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    VRObjectRef image = h.layer()->objects().first();
    // A picture comes in as an image shape at its own size, with a contour the contour
    // toolbar can colour, and is announced as a new element so it takes the saved look.
    EXPECT_EQ(image->className(), QStringLiteral("QntImageShape"));
    auto *shape = static_cast<QntImageShape *>(image.get());
    EXPECT_EQ(shape->image().size(), QSize(40, 30));
    EXPECT_NEAR(image->logicalBounds().width(), 40, 1e-6);
    EXPECT_NEAR(image->logicalBounds().height(), 30, 1e-6);
    EXPECT_FALSE(shape->showContour());
    ASSERT_NE(shape->contour(), nullptr);
    ASSERT_NE(shape->contour()->style(), nullptr);
    EXPECT_TRUE(shape->contour()->style()->hasStroke());
    ASSERT_EQ(added.seen.size(), 1);
    EXPECT_EQ(added.seen.first().object, image.get());
    EXPECT_NEAR(image->logicalBounds().center().x(), 300, 1);
    EXPECT_NEAR(image->logicalBounds().center().y(), 200, 1);
    EXPECT_EQ(h.layer()->selection(), VRObjectList{image});
    // A click anywhere on the picture finds it.
    EXPECT_EQ(h.layer()->hitTest(QPointF(285, 190)), image);
    EXPECT_EQ(h.layer()->hitTest(QPointF(330, 200)), nullptr);
    // The dropped object's size and place are announced like a new object's.
    EXPECT_EQ(info.seen.size(), 1);
    h.undoStep();
    EXPECT_EQ(h.layer()->countOfObjects(), 0);

    QMimeData nothing;
    nothing.setText("plain words");
    QDragEnterEvent refusedEnter(at, Qt::CopyAction, &nothing, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view, &refusedEnter);
    EXPECT_FALSE(refusedEnter.isAccepted());
    QDropEvent refused(QPointF(at), Qt::CopyAction, &nothing, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view, &refused);
    EXPECT_EQ(h.layer()->countOfObjects(), 0);
}

TEST(DrawingView, SmartGuidesSnapAMovingObjectToAnother)
{
    ViewHarness h;
    const bool shown = VRGuideLayer::showSmartGuides();
    VRGuideLayer::setShowSmartGuides(true);
    VRObjectRef a = addBox(h, {100, 100, 60, 40});
    VRObjectRef b = addBox(h, {300, 100, 60, 40});
    h.click(QPointF(330, 120));
    h.drag(QPointF(330, 120), QPointF(132, 260)); // b's left edge ends 2 points off a's
    EXPECT_NEAR(b->logicalBounds().left(), 100, 1e-6);
    EXPECT_NEAR(b->logicalBounds().top(), 240, 1e-6);
    EXPECT_TRUE(h.drawing->guideLayer()->verticalGuides().isEmpty()); // cleared after the drag
    VRGuideLayer::setShowSmartGuides(shown);
}

TEST(DrawingView, TextToolPlacesATextShapeAndTypesIntoIt)
{
    ViewHarness h;
    h.useTool("Text");
    h.click(QPointF(200, 200));
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    auto text = std::dynamic_pointer_cast<VRTextShape>(h.layer()->objects().first());
    ASSERT_NE(text, nullptr);
    ASSERT_NE(h.view->inlineEditor(), nullptr);
    h.view->inlineEditor()->setPlainText("Hello diagram");
    h.view->endInlineEditing(true);
    EXPECT_EQ(text->string(), QStringLiteral("Hello diagram"));
    h.undoStep();
    EXPECT_NE(text->string(), QStringLiteral("Hello diagram"));
}

TEST(DrawingView, EveryKeyThatEndsAnInlineEditKeepsWhatWasTyped)
{
    struct Case {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {{"Escape", Qt::Key_Escape, Qt::NoModifier},
                          {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier},
                          {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViewHarness h;
        // A new text, typed into right after it is placed.
        h.useTool("Text");
        h.click(QPointF(200, 200));
        auto text = std::dynamic_pointer_cast<VRTextShape>(h.layer()->objects().value(0));
        ASSERT_NE(text, nullptr);
        ASSERT_NE(h.view->inlineEditor(), nullptr);
        QTest::keyClicks(h.view->inlineEditor(), QStringLiteral("Typed"));
        QTest::keyClick(h.view->inlineEditor(), c.key, c.modifiers);
        EXPECT_EQ(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(text->string(), QStringLiteral("Typed"));
        EXPECT_EQ(h.layer()->countOfObjects(), 1);
        QApplication::processEvents(); // the edit is one undo step of its own

        // An existing text edited again: the new words replace the old ones, and Undo brings
        // the old ones back.
        h.view->beginInlineEditing(text);
        ASSERT_NE(h.view->inlineEditor(), nullptr);
        QTest::keyClicks(h.view->inlineEditor(), QStringLiteral("Again"));
        QTest::keyClick(h.view->inlineEditor(), c.key, c.modifiers);
        EXPECT_EQ(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(text->string(), QStringLiteral("Again"));
        h.undoStep();
        EXPECT_EQ(text->string(), QStringLiteral("Typed"));
    }
}

TEST(DrawingView, TheInlineEditorShowsTheTextAsDrawnAtTheZoom)
{
    ViewHarness h;
    h.useTool("Text");
    h.click(QPointF(200, 200));
    auto text = std::dynamic_pointer_cast<VRTextShape>(h.layer()->objects().first());
    ASSERT_NE(text, nullptr);
    h.view->inlineEditor()->setPlainText(QStringLiteral("Hi"));
    h.view->endInlineEditing(true);
    QFont font = text->font();
    font.setPointSizeF(10);
    text->setFont(font);
    text->setAlignment(1);
    VRDrawableObject::Geometry g = text->saveGeometry();
    g.size = QSizeF(200, 40);
    text->restoreGeometry(g);

    h.view->setScale(2.0);
    h.view->beginInlineEditing(text);
    QTextEdit *editor = h.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_DOUBLE_EQ(editor->document()->defaultFont().pointSizeF(), 20.0);
    // The existing words sit at the right, as the shape draws them.
    QTextDocument *document = editor->document();
    document->setTextWidth(400);
    const QTextLine line = document->firstBlock().layout()->lineAt(0);
    ASSERT_TRUE(line.isValid());
    EXPECT_GT(line.naturalTextRect().left(), 300);
    h.view->endInlineEditing(false);

    // A cell's text is laid out inside its paddings, in the editor too.
    h.view->setScale(1.0);
    auto table = QntElementTable::tableWithRows(1, 1, QSizeF(400, 100));
    table->setLocation(QPointF(500, 400));
    h.layer()->addObject(table);
    auto *cell = static_cast<QntTextCell *>(table->cells().first().get());
    cell->setPaddings(20, 10);
    h.view->beginInlineEditing(table->cells().first());
    QTextEdit *cellEditor = h.view->inlineEditor();
    ASSERT_NE(cellEditor, nullptr);
    EXPECT_NEAR(cellEditor->document()->textWidth(), 360, 1);
    // The editor covers the cell's text frame, in its border.
    EXPECT_NEAR(cellEditor->width(), 360 + 2 * cellEditor->frameWidth(), 1);
    EXPECT_NEAR(cellEditor->height(), 80 + 2 * cellEditor->frameWidth(), 1);
    h.view->endInlineEditing(false);
}

TEST(DrawingView, AMiddleButtonPressInTheInlineEditorKeepsTheEditGoing)
{
    ViewHarness h;
    h.useTool("Text");
    h.click(QPointF(200, 200));
    QTextEdit *editor = h.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    editor->setPlainText(QStringLiteral("Typed"));
    // The middle button pastes the X selection when it is let go, into the editor.
    QTest::mousePress(editor->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
    EXPECT_EQ(h.view->inlineEditor(), editor);
    QTest::mouseRelease(editor->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
    EXPECT_EQ(h.view->inlineEditor(), editor);
    h.view->endInlineEditing(true);
}

TEST(DrawingView, PageBreaksAndGridShowAndHide)
{
    ViewHarness h;
    const double pageWidth = h.drawing->printInfo().imageablePageBounds().width();
    ASSERT_GT(pageWidth, 100);
    h.view->scrollPointToCentre(QPointF(pageWidth, 300));
    QApplication::processEvents();
    const int column = h.at(QPointF(pageWidth, 300)).x();
    auto columnPixels = [&] {
        const QImage image = h.view->grab().toImage();
        QList<QRgb> pixels;
        for (int y = h.at(QPointF(0, 250)).y(); y < h.at(QPointF(0, 350)).y(); ++y)
            pixels.push_back(image.pixel(column, y));
        return pixels;
    };
    const QList<QRgb> plain = columnPixels();
    h.view->setPageBreaksVisible(true);
    EXPECT_TRUE(h.drawing->pageBreaksVisible());
    EXPECT_NE(columnPixels(), plain);
    h.view->setPageBreaksVisible(false);
    EXPECT_EQ(columnPixels(), plain);

    const bool grid = h.drawing->gridLayer()->isVisible();
    const QImage before = h.view->grab().toImage();
    h.view->toggleGridVisible();
    EXPECT_NE(h.drawing->gridLayer()->isVisible(), grid);
    EXPECT_NE(h.view->grab().toImage(), before);
}

TEST(DrawingView, SizeReadOutWhileResizing)
{
    ViewHarness h;
    const bool shows = VRDrawableObject::displaysSizeInfoWhenDragging();
    VRDrawableObject::setDisplaysSizeInfoWhenDragging(true);
    VRObjectRef a = addBox(h, {100, 100, 100, 50});
    h.click(QPointF(150, 125));
    const QPoint handle = h.view->mapFromDrawing(h.view->handleDrawingPosition(*a, 4)).toPoint();
    h.send(QEvent::MouseButtonPress, handle, Qt::LeftButton, Qt::LeftButton);
    h.send(QEvent::MouseMove, handle + QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
    h.send(QEvent::MouseMove, handle + QPoint(41, 21), Qt::NoButton, Qt::LeftButton); // 141 x 71 pt
    auto *tool = static_cast<VRSelectAndEditTool *>(h.view->drawingTool());
    ASSERT_NE(tool->sizeInfoFloater(), nullptr);
    EXPECT_TRUE(tool->sizeInfoFloater()->isVisible());
    EXPECT_EQ(tool->sizeInfoFloater()->text(),
              QStringLiteral("%1 × %2").arg(h.drawing->formattedConvertedLength(141),
                                            h.drawing->formattedConvertedLength(71)));
    h.send(QEvent::MouseButtonRelease, handle + QPoint(41, 21), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(tool->sizeInfoFloater()->isVisible());
    VRDrawableObject::setDisplaysSizeInfoWhenDragging(shows);
}

// A change to an object repaints its old and new area only, and what the view then shows is what
// a full repaint of the whole drawing shows.
TEST(DrawingView, ChangedObjectsRepaintTheirOwnAreaLikeAFullRepaint)
{
    const std::unique_ptr<VRDrawing> drawing = qnt::test::drawingWithEveryKind();
    VRDrawingView view(drawing.get());
    VRObjectDrawingLayer &layer = *view.activeObjectLayer();
    QApplication::processEvents();
    VRDrawingViewTestAccess::forceFullRepaint(view);
    (void)view.grab();
    const int everything = view.lastPaintedObjectCount();
    ASSERT_GT(everything, 10);

    const struct {
        const char *name;
        std::function<void()> change;
    } changes[] = {
        // The element drags its connector along.
        {"move", [&] { firstOf<QntElement>(layer)->moveBy(QPointF(90, 70)); }},
        {"move-text", [&] { firstOf<VRTextShape>(layer)->moveBy(QPointF(-30, 25)); }},
        {"resize",
         [&] {
             const VRObjectRef oval = layer.objects().at(1);
             oval->setSize(oval->size() * 1.6);
         }},
        {"wider-stroke",
         [&] {
             layer.objects().first()->setStyle(
                 VRStyle::styleWithFillColour(QColor(40, 200, 90), QColor(200, 0, 0), 14));
         }},
        {"shadow",
         [&] {
             const VRStyleRef style = layer.objects().at(1)->style();
             for (const VRRendererRef &r : style->renderersOfClass(VRFill::staticClass()))
                 std::static_pointer_cast<VRFill>(r)->setShadow(VRStyle::defaultShadow());
         }},
        {"group-member",
         [&] {
             firstOf<VRShapeGroup>(layer)->groupObjects().first()->setStyle(
                 VRStyle::styleWithFillColour(QColor(0, 0, 160), QColor(0, 0, 0), 6));
         }},
    };
    for (const auto &c : changes) {
        c.change();
        // Deferred work (connector routing) is done before the picture is taken.
        QApplication::processEvents();
        const QImage partial = view.grab().toImage();
        EXPECT_LT(view.lastPaintedObjectCount(), everything)
            << c.name << ": the whole drawing was painted again";

        VRDrawingViewTestAccess::forceFullRepaint(view);
        const QImage full = view.grab().toImage();
        EXPECT_EQ(view.lastPaintedObjectCount(), everything) << c.name;
        const qint64 differing = qnt::test::differingPixels(partial, full, 0);
        EXPECT_EQ(differing, 0) << c.name;
        if (differing != 0) {
            const QDir folder(qnt::test::picturesFolder(QStringLiteral("repaint")));
            partial.save(
                folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".partial.png")));
            full.save(folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".full.png")));
        }
    }
}

// Scrolling keeps the pixels that stay in view and draws what comes into it: after short and
// long scrolls in every direction, with the view's kept picture wrapping round, the view shows
// the very pixels a view that never scrolled paints.
// Zoomed in the kept picture is just the visible part; zoomed out it has margins around it.
TEST(DrawingView, ScrolledViewShowsWhatAFullRepaintShows)
{
    ViewHarness h(QSize(500, 400));
    h.drawing->setDrawingSize(QSizeF(3400, 2400));
    for (int k = 0; k < 400; ++k)
        addBox(h, {20.0 + (k % 20) * 160, 20.0 + (k / 20) * 110, 50, 30});
    QScrollBar *across = h.area.horizontalScrollBar();
    QScrollBar *down = h.area.verticalScrollBar();
    const QPoint steps[] = {{37, 11}, {300, 0}, {0, 290}, {-123, -45}, {700, 520}, {-1000, -700}};
    for (const double scale : {2.0, 0.5})
        for (const QPoint step : steps) {
            SCOPED_TRACE(testing::Message()
                         << "scale " << scale << ", step " << step.x() << ", " << step.y());
            if (h.view->scale() != scale) {
                h.view->setScale(scale);
                h.view->scrollPointToCentre(QPointF(600, 600));
                QApplication::processEvents();
            }
            const QPoint before(across->value(), down->value());
            across->setValue(across->value() + step.x());
            down->setValue(down->value() + step.y());
            ASSERT_NE(QPoint(across->value(), down->value()), before);
            QApplication::processEvents();
            const QRect shown(-h.view->pos(), h.area.viewport()->size());
            const QImage scrolled = h.view->grab(shown).toImage();
            // A view that never scrolled paints the same part of the drawing afresh.
            VRDrawingView fresh(h.drawing.get());
            fresh.setScale(scale);
            fresh.resize(h.view->size());
            const QImage full = fresh.grab(shown).toImage();
            EXPECT_EQ(qnt::test::differingPixels(scrolled, full, 0), 0);
        }
}

// The view keeps a picture only where drawing is dear: zoomed out, with margins around the
// visible part, made again smaller when the window shrank, and none while hidden. At 100 % in a
// scroll area it keeps none and draws onto the screen. What it shows is the same throughout.
TEST(DrawingView, TheKeptPictureIsWhatTheZoomNeedsAndGoesWhileHidden)
{
    ViewHarness h(QSize(1000, 800));
    h.drawing->setDrawingSize(QSizeF(3400, 2400));
    for (int k = 0; k < 200; ++k)
        addBox(h, {20.0 + (k % 20) * 160, 20.0 + (k / 10) * 110, 50, 30});
    const auto showsAsAFreshView = [&] {
        const QRect shown(-h.view->pos(), h.area.viewport()->size());
        VRDrawingView fresh(h.drawing.get());
        fresh.setScale(h.view->scale());
        fresh.resize(h.view->size());
        return qnt::test::differingPixels(h.view->grab(shown).toImage(),
                                          fresh.grab(shown).toImage(), 0)
               == 0;
    };
    const auto settle = [&] {
        h.view->scrollPointToCentre(QPointF(1700, 1200));
        QApplication::processEvents();
        h.view->repaint();
    };

    h.view->setScale(1.0);
    settle();
    EXPECT_TRUE(VRDrawingViewTestAccess::pictureSize(*h.view).isEmpty());
    EXPECT_TRUE(showsAsAFreshView());

    h.view->setScale(0.5);
    settle();
    QSize viewport = h.area.viewport()->size();
    QSize kept = VRDrawingViewTestAccess::pictureSize(*h.view);
    EXPECT_GE(kept.width(), viewport.width() + 400);
    EXPECT_GE(kept.height(), viewport.height() + 400);
    EXPECT_TRUE(showsAsAFreshView());

    h.area.resize(QSize(200, 150));
    settle();
    viewport = h.area.viewport()->size();
    kept = VRDrawingViewTestAccess::pictureSize(*h.view);
    EXPECT_LE(kept.width(), viewport.width() + 2 * 256 + 20);
    EXPECT_LE(kept.height(), viewport.height() + 2 * 256 + 20);
    EXPECT_TRUE(showsAsAFreshView());

    h.area.hide();
    QApplication::processEvents();
    EXPECT_TRUE(VRDrawingViewTestAccess::pictureSize(*h.view).isEmpty());
    h.area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.area));
    settle();
    EXPECT_FALSE(VRDrawingViewTestAccess::pictureSize(*h.view).isEmpty());
    EXPECT_TRUE(showsAsAFreshView());
}

// At 100 % a view in a scroll area draws straight onto the screen: a change repaints the
// objects of its own area only, and the screen then shows what a full repaint shows.
TEST(DrawingView, AtFullSizeAChangeRepaintsItsOwnAreaOnTheScreen)
{
    ViewHarness h(QSize(500, 400));
    for (int k = 0; k < 200; ++k)
        addBox(h, {20.0 + (k % 20) * 60, 20.0 + (k / 20) * 45, 40, 30});
    h.view->setScale(1.0);
    h.view->scrollPointToCentre(QPointF(300, 250));
    QApplication::processEvents();
    const QRect shown(-h.view->pos(), h.area.viewport()->size());
    const auto screen = [&] {
        const QPoint at = h.view->mapTo(h.area.window(), shown.topLeft());
        return h.area.screen()
            ->grabWindow(h.area.window()->winId(), at.x(), at.y(), shown.width(), shown.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const auto fullRepaint = [&] {
        VRDrawingView fresh(h.drawing.get());
        fresh.resize(h.view->size());
        return fresh.grab(shown).toImage().convertToFormat(QImage::Format_RGB32);
    };
    h.view->repaint();
    const int everything = h.view->lastPaintedObjectCount();
    ASSERT_GT(everything, 30);
    EXPECT_EQ(qnt::test::differingPixels(screen(), fullRepaint(), 0), 0);

    const VRObjectRef moved = h.view->activeObjectLayer()->hitTest(QPointF(280, 245));
    ASSERT_NE(moved, nullptr);
    moved->moveBy(QPointF(25, 15));
    QApplication::processEvents();
    EXPECT_GT(h.view->lastPaintedObjectCount(), 0);
    EXPECT_LT(h.view->lastPaintedObjectCount(), everything / 3);
    EXPECT_EQ(qnt::test::differingPixels(screen(), fullRepaint(), 0), 0);
    EXPECT_TRUE(VRDrawingViewTestAccess::pictureSize(*h.view).isEmpty());
}

TEST(DrawingView, ClicksPickTableCellsAndADoubleClickTypesIntoOne)
{
    ViewHarness h;
    auto table = QntElementTable::tableWithRows(2, 2, QSizeF(80, 40));
    table->setLocation(QPointF(200, 200));
    h.layer()->addObject(table);
    const VRObjectList cells = table->cells();
    const QPointF first = cells.at(0)->logicalBounds().center();
    const QPointF last = cells.at(3)->logicalBounds().center();
    int posted = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntTextCellSelectionChangedNotification, table.get(),
        [&](const Notification &) { ++posted; });
    auto pixelAt = [&](QPointF point) { return h.view->grab().toImage().pixel(h.at(point)); };
    const QRgb unpicked = pixelAt(last);
    h.click(first); // selects the table
    h.click(first); // picks the cell
    EXPECT_EQ(table->selectedCells(), VRObjectList{cells.at(0)});
    h.click(last, Qt::ShiftModifier);
    EXPECT_EQ(table->selectedCells(), (VRObjectList{cells.at(0), cells.at(3)}));
    EXPECT_EQ(h.layer()->singleSelection(), table);
    EXPECT_GE(posted, 2);
    // Picked cells are tinted on screen while the table is selected, and only then; the
    // table's own picture (what exports and prints draw) never shows the tint.
    EXPECT_NE(pixelAt(last), unpicked);
    QImage withPicked(100, 60, QImage::Format_ARGB32_Premultiplied);
    withPicked.fill(Qt::white);
    QImage withoutPicked = withPicked;
    {
        QPainter painter(&withPicked);
        painter.translate(QPointF(10, 10) - table->bounds().topLeft());
        table->render(painter);
    }
    h.layer()->deselectAll();
    EXPECT_EQ(pixelAt(last), unpicked);
    EXPECT_EQ(table->selectedCells().size(), 2);
    table->selectCells({});
    {
        QPainter painter(&withoutPicked);
        painter.translate(QPointF(10, 10) - table->bounds().topLeft());
        table->render(painter);
    }
    EXPECT_EQ(withPicked, withoutPicked);
    h.layer()->replaceSelectionWithObject(table);

    UserDefaults::standardUserDefaults().setBool(true, kQntEnableInlineEditor);
    h.send(QEvent::MouseButtonDblClick, h.at(last), Qt::LeftButton, Qt::LeftButton);
    ASSERT_NE(h.view->inlineEditor(), nullptr);
    EXPECT_EQ(h.view->inlineEditedObject(), cells.at(3));
    h.view->inlineEditor()->setPlainText(QStringLiteral("D2"));
    h.view->endInlineEditing(true);
    EXPECT_EQ(static_cast<QntTextCell *>(cells.at(3).get())->string(), QStringLiteral("D2"));
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntEnableInlineEditor);
}

TEST(DrawingView, AnInlineEditGoesOnWhileItsFormattingControlsHaveTheFocus)
{
    ViewHarness h;
    h.useTool("Text");
    h.click(QPointF(200, 200));
    h.view->endInlineEditing(false);
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    const VRObjectRef a = h.layer()->objects().first();
    UserDefaults::standardUserDefaults().setBool(true, kQntEnableInlineEditor);
    // Controls that format the edited text, and a field that does not.
    auto *controls = new QWidget(&h.area);
    controls->setProperty(VRDrawingView::kKeepsInlineEditingProperty, true);
    auto *formatting = new QLineEdit(controls);
    auto *other = new QLineEdit(&h.area);
    controls->show();
    other->show();
    h.area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.area));
    for (QLineEdit *from : {formatting, static_cast<QLineEdit *>(nullptr)}) {
        h.view->beginInlineEditing(a);
        QTextEdit *editor = h.view->inlineEditor();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->hasFocus());
        editor->setPlainText(from ? QStringLiteral("Kept") : QStringLiteral("Direct"));
        // A menu over the editor takes the focus for a moment.
        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(editor, &popup);
        EXPECT_EQ(h.view->inlineEditor(), editor);
        if (from) {
            from->setFocus();
            QApplication::processEvents();
            EXPECT_EQ(h.view->inlineEditor(), editor);
        }
        // The focus anywhere else ends the edit and keeps its text.
        other->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(a->textContent().toPlainText(),
                  from ? QStringLiteral("Kept") : QStringLiteral("Direct"));
        EXPECT_TRUE(other->hasFocus());
    }
    delete controls;
    delete other;
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntEnableInlineEditor);
}

TEST(DrawingView, AnAlignmentSharedByAllParagraphsOfACommittedEditIsKept)
{
    ViewHarness h;
    h.useTool("Text");
    h.click(QPointF(200, 200));
    auto text = std::dynamic_pointer_cast<VRTextShape>(h.layer()->objects().first());
    ASSERT_NE(text, nullptr);
    QTextEdit *editor = h.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    editor->setPlainText(QStringLiteral("one\ntwo"));
    QTextCursor all(editor->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    all.mergeBlockFormat(right);
    h.view->endInlineEditing(true);
    EXPECT_EQ(text->alignment(), 1);
}

TEST(DrawingView, NudgesAndDropsStopAtTheCoordinatesADrawingHolds)
{
    ViewHarness h;
    Recorder refused(kVRDrawingRefusedChangeNotification);
    const double far = VRDrawing::kMaximumCoordinate;
    // The right edge 5 points short of the farthest coordinate.
    VRObjectRef a = addBox(h, {far - 105, 100, 100, 40});
    h.layer()->exchangeSelectionWithObjectsFromArray({a});
    h.undo()->closeOpenGroups();
    h.undo()->removeAllActions();
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double right; // where the right edge is after the key
        bool refused;
    };
    const Step steps[] = {
        {Qt::Key_Right, Qt::ShiftModifier, far - 5, true},
        {Qt::Key_Right, Qt::NoModifier, far - 4, false},
        {Qt::Key_Right, Qt::NoModifier, far - 3, false},
        {Qt::Key_Right, Qt::NoModifier, far - 2, false},
        {Qt::Key_Right, Qt::NoModifier, far - 1, false},
        {Qt::Key_Right, Qt::NoModifier, far, false},
        {Qt::Key_Right, Qt::NoModifier, far, true},
        {Qt::Key_Left, Qt::ShiftModifier, far - 10, false},
    };
    for (const Step &step : steps) {
        const qsizetype told = refused.seen.size();
        const int groups = int(h.undo()->undoStack().size());
        QTest::keyClick(h.view, step.key, step.modifiers);
        h.undo()->closeOpenGroups();
        EXPECT_DOUBLE_EQ(a->logicalBounds().right(), step.right);
        EXPECT_EQ(refused.seen.size(), told + (step.refused ? 1 : 0));
        EXPECT_EQ(int(h.undo()->undoStack().size()), groups + (step.refused ? 0 : 1));
    }
    ASSERT_FALSE(refused.seen.isEmpty());
    EXPECT_EQ(refused.seen.last().object, h.drawing.get());
    EXPECT_EQ(refused.seen.last().userInfo.value(QStringLiteral("message")).toString(),
              VRDrawing::objectsTooFarOutMessage());

    // Dropped objects as wide as the drawing's coordinates go, centred on the drop point,
    // would reach beyond them: the drop is refused.
    QMimeData data;
    data.setData(kVRDrawableObjectPasteboardType,
                 VRArchiver::objectsData({VRDrawableShape::shapeWithRect({-far, 0, 10, 10}),
                                          VRDrawableShape::shapeWithRect({far - 10, 0, 10, 10})}));
    const int objects = h.layer()->countOfObjects();
    const QPoint at = h.at(QPointF(300, 200));
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.view, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(h.layer()->countOfObjects(), objects);
}

// Curves whose control points reach much farther than the curves themselves: a drag or a turn
// stops before any control point leaves the coordinates a drawing holds.
TEST(DrawingView, DragsAndTurnsStopWhereACurvesControlPointWouldLeaveTheDrawing)
{
    ViewHarness h;
    Recorder refused(kVRDrawingRefusedChangeNotification);
    const double far = VRDrawing::kMaximumCoordinate;
    const auto addPath = [&h](const QPainterPath &path) {
        VRObjectRef curve = VRDrawablePath::drawablePathWithBezierPath(path);
        curve->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1));
        h.layer()->addObject(curve);
        return curve;
    };

    // Dragged with a box: the curve's right end lies 1.3e6 short of the limit, its control
    // points only 50 short.
    VRObjectRef box = addBox(h, {250, 180, 100, 40});
    QPainterPath bulge;
    bulge.moveTo(5e6, 100);
    bulge.cubicTo(far - 50, 100, far - 50, 140, 5e6, 140);
    VRObjectRef curve = addPath(bulge);
    ASSERT_LT(curve->logicalBounds().right(), far * 0.9 - 100);
    h.layer()->exchangeSelectionWithObjectsFromArray({box, curve});
    QApplication::processEvents();
    h.drag(QPointF(300, 200), QPointF(400, 200));
    EXPECT_TRUE(VRDrawing::holdsObjects(h.layer()->objects()));
    EXPECT_LE(box->location().x(), 350.5);
    EXPECT_GT(box->location().x(), 300);
    EXPECT_EQ(refused.seen.size(), 1);
    for (const Notification &told : refused.seen)
        EXPECT_EQ(told.userInfo.value(QStringLiteral("message")).toString(),
                  VRDrawing::objectsTooFarOutMessage());

    // Turned by its handle: an S whose control points stand 3e6 above and below it would swing
    // them past the limit long before a quarter turn.
    h.layer()->removeObjectsInArray({box, curve});
    QPainterPath s;
    s.moveTo(8e6, 0);
    s.cubicTo(8e6 + 20, 3e6, 8e6 + 20, -3e6, 8e6 + 40, 0);
    VRObjectRef upright = addPath(s);
    ASSERT_LT(std::hypot(upright->size().width(), upright->size().height()) / 2
                  + upright->location().x(),
              far * 0.9);
    h.layer()->exchangeSelectionWithObjectsFromArray({upright});
    QApplication::processEvents();
    const qsizetype told = refused.seen.size();
    const QPointF centre = upright->transformIncludingParent().map(QPointF(0, 0));
    const QPoint handle =
        h.view->mapFromDrawing(h.view->handleDrawingPosition(*upright, 8)).toPoint();
    ASSERT_EQ(h.view->handleAtViewPoint(QPointF(handle), nullptr), 8);
    h.dragView(handle, h.at(centre + QPointF(120, 0)));
    EXPECT_TRUE(upright->fitsTheDrawing());
    EXPECT_LT(std::abs(upright->angleInDegrees()), 45);
    EXPECT_EQ(refused.seen.size(), told + 1);
}

TEST(DrawingView, PastedPicturesBecomeImageShapesInTheMiddleOfTheView)
{
    WindowedDocument document;
    document.windowControllerDidLoadNib();
    VRDrawingView *view = document.mainView();
    ASSERT_NE(view, nullptr);
    view->resize(600, 400);
    auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const auto restore = qScopeGuard([clipboard] { clipboard->clear(); });

    // Words are no picture: nothing to paste.
    clipboard->setText(QStringLiteral("plain words"));
    EXPECT_FALSE(document.validateAction("paste"));
    document.paste();
    EXPECT_EQ(layer->countOfObjects(), 0);

    // A picture file copied in a file manager, and a copied picture.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage picture(24, 16, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    const QString file = folder.filePath(QStringLiteral("blue.png"));
    ASSERT_TRUE(picture.save(file));
    auto fileData = std::make_unique<QMimeData>();
    fileData->setUrls({QUrl::fromLocalFile(file)});
    auto imageData = std::make_unique<QMimeData>();
    imageData->setImageData(picture);
    for (QMimeData *data : {fileData.release(), imageData.release()}) {
        clipboard->setMimeData(data);
        EXPECT_TRUE(document.validateAction("paste"));
        document.paste();
        ASSERT_EQ(layer->countOfObjects(), 1);
        const VRObjectRef pasted = layer->objects().first();
        EXPECT_EQ(pasted->className(), QStringLiteral("QntImageShape"));
        EXPECT_EQ(layer->selection(), VRObjectList{pasted});
        const QPointF middle = view->centredPointInDocView();
        EXPECT_NEAR(pasted->logicalBounds().center().x(), middle.x(), 1);
        EXPECT_NEAR(pasted->logicalBounds().center().y(), middle.y(), 1);
        QApplication::processEvents();
        EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Paste"));
        document.undoManager()->undo();
        QApplication::processEvents();
        EXPECT_EQ(layer->countOfObjects(), 0);
    }
}
