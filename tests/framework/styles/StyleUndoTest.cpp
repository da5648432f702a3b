#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace {

struct StyledShape {
    VRDrawing drawing;
    std::shared_ptr<VRDrawableShape> shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 50, 40));
    VRStyleRef style = VRStyle::styleWithFillColour(Qt::white, Qt::black, 1.0);

    StyledShape()
    {
        drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(shape);
        style->addClient(shape.get());
        drawing.undoManager()->closeOpenGroups();
    }
    ~StyledShape() { style->removeClient(shape.get()); }
    VRUndoManager &undo() { return *drawing.undoManager(); }
};

TEST(StyleUndoTest, RendererSetterUndoesAndRedoes)
{
    StyledShape s;
    s.style->stroke()->setWidth(5.0);
    s.undo().closeOpenGroups();
    ASSERT_TRUE(s.undo().canUndo());
    s.undo().undo();
    EXPECT_DOUBLE_EQ(s.style->stroke()->width(), 1.0);
    s.undo().redo();
    EXPECT_DOUBLE_EQ(s.style->stroke()->width(), 5.0);
}

TEST(StyleUndoTest, ContinuousEditsCoalesceIntoTheOldestState)
{
    StyledShape s;
    s.style->fill()->setColour(Qt::red);
    s.style->fill()->setColour(Qt::green);
    s.style->fill()->setColour(Qt::blue);
    s.undo().closeOpenGroups();
    s.undo().undo();
    EXPECT_EQ(s.style->fillColour(), QColor(Qt::white));
}

TEST(StyleUndoTest, StructureChangesUndo)
{
    StyledShape s;
    const int count = s.style->countOfRenderList();
    s.style->addRenderer(VRStroke::strokeWithWidth(3.0, Qt::red));
    s.undo().closeOpenGroups();
    EXPECT_EQ(s.style->countOfRenderList(), count + 1);
    s.undo().undo();
    EXPECT_EQ(s.style->countOfRenderList(), count);
    s.style->moveRendererAtIndex(0, 1);
    s.undo().closeOpenGroups();
    EXPECT_TRUE(s.style->rendererAtIndex(0)->isKindOf<VRStroke>());
    s.undo().undo();
    EXPECT_TRUE(s.style->rendererAtIndex(0)->isKindOf<VRFill>());
}

TEST(StyleUndoTest, RegisteringAStyleIsNoDrawingEdit)
{
    StyledShape s;
    const auto before = s.undo().undoStack().size();
    VRStyleRegistry::registerStyle(s.style);
    s.undo().closeOpenGroups();
    EXPECT_EQ(s.undo().undoStack().size(), before);
    EXPECT_TRUE(s.style->isLocked());
    VRStyleRegistry::unregisterStyle(s.style);
}

TEST(StyleUndoTest, DetachedStylesRecordNothing)
{
    auto style = VRStyle::styleWithFillColour(Qt::white, Qt::black, 1.0);
    style->stroke()->setWidth(4.0);
    EXPECT_DOUBLE_EQ(style->strokeWidth(), 4.0);
}

TEST(StyleUndoTest, ChangesPostOneNotificationPerBracket)
{
    StyledShape s;
    int posts = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kVRStyleDidChangeNotification, s.style.get(), [&](const Notification &n) {
            ++posts;
            EXPECT_EQ(n.userInfo.value("object").value<VRStyleRef>(), s.style);
        });
    s.style->setStrokeColour(Qt::red);
    EXPECT_EQ(posts, 1);
    s.style->notifyClientsBeforeChange();
    s.style->setStrokeWidth(3.0);
    s.style->setFillColour(Qt::yellow);
    s.style->notifyClientsAfterChange();
    EXPECT_EQ(posts, 2);
}

TEST(StyleUndoTest, LockedStyleRefusesNameSharingAndTextAttributes)
{
    auto style = VRStyle::create();
    style->setName(QStringLiteral("Before"));
    style->setTextAttributes({{"underline", true}});
    style->setLocked(true);
    style->setName(QStringLiteral("After"));
    style->setStyleSharable(true);
    style->removeTextAttributes();
    EXPECT_EQ(style->name(), QStringLiteral("Before"));
    EXPECT_FALSE(style->isStyleSharable());
    EXPECT_TRUE(style->hasTextAttributes());
    style->setStrokeColour(Qt::red); // renderer edits stay possible
    EXPECT_EQ(style->strokeColour(), QColor(Qt::red));
}

TEST(StyleUndoTest, ConveniencesAddRenderersWhenMissing)
{
    auto style = VRStyle::create();
    EXPECT_FALSE(style->hasStroke());
    style->setFillColour(Qt::blue);
    style->setStrokeColour(Qt::red);
    ASSERT_TRUE(style->fill());
    ASSERT_TRUE(style->stroke());
    EXPECT_EQ(style->rendererAtIndex(0)->className(), QStringLiteral("VRFill"));
    EXPECT_EQ(VRStyle::styleNameForFont(QFont(QStringLiteral("Helvetica"), 12)),
              QStringLiteral("Helvetica 12 pt"));
}

} // namespace

TEST(StyleUndoTest, EnabledByKeyReadsWritesAndUndoes)
{
    StyledShape s;
    VRStroke *stroke = s.style->stroke();
    EXPECT_EQ(stroke->valueForKey(QStringLiteral("enabled")), QVariant(true));
    EXPECT_FALSE(stroke->valueForKey(QStringLiteral("width")).isValid());
    EXPECT_FALSE(stroke->setValueForKey(false, QStringLiteral("width")));
    EXPECT_TRUE(stroke->isEnabled());
    ASSERT_TRUE(stroke->setValueForKey(false, QStringLiteral("enabled")));
    EXPECT_FALSE(stroke->isEnabled());
    s.undo().closeOpenGroups();
    s.undo().undo();
    EXPECT_TRUE(stroke->isEnabled());
}
