#include "PaletteTestSupport.h"

#include "common/GoldenPicture.h"
#include "common/WaitUntil.h"

#include "library/DXDragEffectManager.h"
#include "library/DraggableImageCell.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/base/VRConstants.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct NotificationCount {
    explicit NotificationCount(const QString &name)
        : token(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [this](const Notification &) { ++count; }))
    {
    }
    int count = 0;
    NotificationToken token;
};

// Delivers the drag's data to a widget the way the platform's drag loop would.
Qt::DropAction deliverDrop(QWidget *target, QPoint at, QMimeData *data)
{
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

struct DragRunnerScope {
    explicit DragRunnerScope(QntOutlineView::DragRunner runner)
    {
        QntOutlineView::setDragRunner(std::move(runner));
        DXDragEffectManager::setAnimationScale(0);
    }
    ~DragRunnerScope()
    {
        QntOutlineView::setDragRunner({});
        DXDragEffectManager::setAnimationScale(1);
    }
};

// Press on the item's row and move: the cell starts the drag.
void dragItem(PaletteHarness &h, QntNotationSubGroupItem *item)
{
    QntOutlineView &outline = *h.palette->outlineView();
    DraggableImageCell &cell = *outline.cell();
    ASSERT_TRUE(cell.trackMouse(QPointF(20, 20), QRectF(0, 0, 180, 52), outline));
    cell.continueTracking(QPointF(20, 20), QPointF(40, 30), outline, item);
}

QSizeF originalSizeOf(const VRDrawableObject &object)
{
    if (object.isKindOf<QntElement>())
        return static_cast<const QntElement &>(object).originalSize();
    return object.size();
}

} // namespace

TEST(DraggableImageCell, DroppedShapeLandsAtItsOriginalSizeWhereItWasDroppedAndUndoRemovesIt)
{
    PaletteHarness h;
    ASSERT_TRUE(h.palette->subgroupFlowchart());
    QntNotationSubGroupItem *item = h.palette->subgroupFlowchart()->children().first().get();
    const QPointF dropPoint(400, 300);
    NotificationCount added(kQntElementAddedToLayerNotification);
    NotificationCount text(kQntShowTextEditorNotification);
    // What the mode inspectors apply their saved defaults to when told.
    VRObjectRef selectedWhenAdded;
    const NotificationToken defaults = NotificationCenter::defaultCenter().addObserver(
        kQntElementAddedToLayerNotification, nullptr,
        [&h, &selectedWhenAdded](const Notification &) {
            selectedWhenAdded = h.layer()->singleSelection();
        });
    DragRunnerScope scope([&h, dropPoint](QMimeData *data) {
        return deliverDrop(h.view.get(), h.view->mapFromDrawing(dropPoint).toPoint(), data);
    });
    dragItem(h, item);

    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    const VRObjectRef dropped = h.layer()->objects().first();
    auto *tool = static_cast<VRObjectCreationTool *>(item->drawingTool());
    const VRObjectRef prototype = tool->prototype();
    EXPECT_NE(dropped, prototype);
    EXPECT_EQ(dropped->className(), prototype->className());
    EXPECT_EQ(dropped->ID(), prototype->ID());
    const QSizeF expected = originalSizeOf(*prototype);
    EXPECT_NEAR(dropped->size().width(), expected.width(), 0.01);
    EXPECT_NEAR(dropped->size().height(), expected.height(), 0.01);
    EXPECT_NEAR(dropped->logicalBounds().center().x(), dropPoint.x(), 1.0);
    EXPECT_NEAR(dropped->logicalBounds().center().y(), dropPoint.y(), 1.0);
    EXPECT_EQ(h.layer()->selection(), VRObjectList{dropped});
    EXPECT_EQ(added.count, 1);
    EXPECT_EQ(selectedWhenAdded, dropped);
    EXPECT_EQ(text.count, 0);
    EXPECT_TRUE(h.palette->outlineView()->cell()->dragOrigin().isNull());
    h.view->grab().save(QDir(qnt::test::picturesFolder(QStringLiteral("library")))
                            .filePath(QStringLiteral("palette-dropped-shape.png")));

    QApplication::processEvents();
    h.drawing()->undoManager()->undo();
    EXPECT_EQ(h.layer()->countOfObjects(), 0);
}

TEST(DraggableImageCell, DropOutsideTheDrawingSlidesBackAndChangesNothing)
{
    PaletteHarness h;
    auto existing = std::make_shared<VRDrawableShape>();
    existing->setSize(QSizeF(50, 50));
    h.layer()->addObject(existing);
    h.layer()->exchangeSelectionWithObjectsFromArray({existing});
    QApplication::processEvents();
    const int undoCount = h.drawing()->undoManager()->canUndo() ? 1 : 0;

    QWidget elsewhere;
    elsewhere.resize(200, 200);
    QntNotationSubGroupItem *item = h.palette->subgroupFlowchart()->children().first().get();
    NotificationCount added(kQntElementAddedToLayerNotification);
    DragRunnerScope scope(
        [&elsewhere](QMimeData *data) { return deliverDrop(&elsewhere, QPoint(50, 50), data); });
    dragItem(h, item);

    EXPECT_EQ(h.layer()->countOfObjects(), 1);
    EXPECT_EQ(h.layer()->selection(), VRObjectList{existing});
    EXPECT_EQ(added.count, 0); // no defaults applied to the old selection
    EXPECT_EQ(h.drawing()->undoManager()->canUndo() ? 1 : 0, undoCount);
    DXDragEffectManager &feedback = DXDragEffectManager::sharedDragEffectManager();
    EXPECT_FALSE(feedback.window()->isVisible());
    EXPECT_EQ(feedback.alphaValue(), 0.0);
}

TEST(DraggableImageCell, DroppedTextOpensTheTextBarAndAPlainClickDoesNot)
{
    PaletteHarness h;
    ASSERT_TRUE(h.palette->subgroupText());
    QntNotationSubGroupItem *textItem = nullptr;
    for (const auto &item : h.palette->subgroupText()->children()) {
        auto *tool = dynamic_cast<VRObjectCreationTool *>(item->drawingTool());
        if (tool && tool->prototype() && tool->prototype()->isKindOf<QntText>()) {
            textItem = item.get();
            break;
        }
    }
    ASSERT_TRUE(textItem) << "the notation has a text shape";
    NotificationCount added(kQntElementAddedToLayerNotification);
    NotificationCount text(kQntShowTextEditorNotification);
    const QPointF dropPoint(300, 200);
    {
        DragRunnerScope scope([&h, dropPoint](QMimeData *data) {
            return deliverDrop(h.view.get(), h.view->mapFromDrawing(dropPoint).toPoint(), data);
        });
        dragItem(h, textItem);
    }
    EXPECT_EQ(added.count, 1);
    EXPECT_EQ(text.count, 1);
    ASSERT_EQ(h.layer()->countOfObjects(), 1);
    EXPECT_TRUE(h.layer()->objects().first()->isKindOf<QntText>());

    // Press and release without moving: no drag, no text bar.
    QntOutlineView &outline = *h.palette->outlineView();
    ASSERT_TRUE(outline.cell()->trackMouse(QPointF(10, 10), QRectF(0, 0, 180, 52), outline));
    outline.cell()->stopTracking(true);
    EXPECT_EQ(text.count, 1);
    EXPECT_TRUE(outline.cell()->dragOrigin().isNull());
}

TEST(DraggableImageCell, DragCarriesAnIndependentCopyAndTwoPictures)
{
    PaletteHarness h;
    h.view->setScale(2.0);
    QntNotationSubGroupItem *item = h.palette->subgroupFlowchart()->children().first().get();
    DraggableImageCell &cell = *h.palette->outlineView()->cell();
    DraggableImageCell::DragContent content = cell.dragContentForItem(*item, 2.0);
    std::unique_ptr<QMimeData> data(content.data);
    ASSERT_TRUE(content.copy);
    EXPECT_TRUE(data->hasFormat(kVRDrawableObjectPasteboardType));
    EXPECT_TRUE(data->hasFormat(kVRPasteboardInfoType));
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/tiff")));
    EXPECT_EQ(content.outsideImage.size(), item->image().size() * 2);
    EXPECT_LE(content.insideImage.width(), 68);
    EXPECT_LE(content.insideImage.height(), 44);
    auto *tool = static_cast<VRObjectCreationTool *>(item->drawingTool());
    EXPECT_NE(content.copy, tool->prototype());
    QImage tiff;
    EXPECT_TRUE(tiff.loadFromData(data->data(QStringLiteral("image/tiff")), "TIFF"));
    EXPECT_EQ(tiff.size(), item->image().size() * 2);
}

TEST(DXDragEffectManager, SwapsPicturesAtThePaletteEdgeAndSlidesBackWhenRefused)
{
    DXDragEffectManager::setAnimationScale(0);
    DXDragEffectManager &feedback = DXDragEffectManager::sharedDragEffectManager();
    QImage inside(60, 40, QImage::Format_ARGB32_Premultiplied);
    inside.fill(Qt::blue);
    QImage outside(120, 80, QImage::Format_ARGB32_Premultiplied);
    outside.fill(Qt::red);
    const QRect source(0, 0, 200, 600);
    feedback.startDragShowFromSourceScreenRect(source, QPoint(50, 50), QSize(0, 0), inside, outside,
                                               true);
    EXPECT_TRUE(feedback.window()->isVisible());
    EXPECT_EQ(feedback.alphaValue(), 1.0);
    EXPECT_EQ(feedback.window()->size(), QSize(120, 80));
    EXPECT_TRUE(feedback.isShowingInsideImage());
    feedback.updatePosition(QPoint(500, 300));
    EXPECT_FALSE(feedback.isShowingInsideImage());
    EXPECT_EQ(feedback.targetCentre(), QPoint(500, 300));
    feedback.updatePosition(QPoint(100, 300));
    EXPECT_TRUE(feedback.isShowingInsideImage());
    feedback.updatePosition(QPoint(600, 300));
    feedback.endDragShowWithResult(Qt::IgnoreAction);
    EXPECT_EQ(feedback.targetCentre(), QPoint(50, 50));
    EXPECT_FALSE(feedback.window()->isVisible());
    EXPECT_FALSE(feedback.slideBack());
    DXDragEffectManager::setAnimationScale(1);
}

namespace {
QStringList g_dragFeedbackMessages;
void keepDragFeedbackMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_dragFeedbackMessages << message;
}
} // namespace

TEST(DXDragEffectManager, FadesInAndOutWithoutQtWarnings)
{
    DXDragEffectManager::setAnimationScale(0.1);
    g_dragFeedbackMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepDragFeedbackMessage);
    DXDragEffectManager &feedback = DXDragEffectManager::sharedDragEffectManager();
    QImage picture(60, 40, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::blue);
    feedback.startDragShowFromSourceScreenRect(QRect(0, 0, 200, 600), QPoint(50, 50), QSize(0, 0),
                                               picture, picture, false);
    EXPECT_TRUE(qnt::test::waitUntil([&] { return feedback.alphaValue() == 1.0; }));
    feedback.endDragShowWithResult(Qt::CopyAction);
    EXPECT_TRUE(qnt::test::waitUntil([&] { return !feedback.window()->isVisible(); }));
    qInstallMessageHandler(previous);
    DXDragEffectManager::setAnimationScale(1);
    EXPECT_EQ(feedback.alphaValue(), 0.0);
    EXPECT_TRUE(g_dragFeedbackMessages.filter(QStringLiteral("animation")).isEmpty())
        << g_dragFeedbackMessages.join(QLatin1Char('\n')).toStdString();
}

TEST(QntOutlineView, PressAndMoveOnAShapeRowDragsItAndAGroupRowToggles)
{
    PaletteHarness h;
    h.palette->resize(200, 900);
    h.palette->show();
    QApplication::processEvents();
    QntOutlineView &outline = *h.palette->outlineView();
    QTreeWidgetItem *groupRow = outline.topLevelItem(0);
    ASSERT_TRUE(groupRow && groupRow->childCount() > 0);
    QTreeWidgetItem *shapeRow = groupRow->child(0);
    const QPoint press = outline.visualItemRect(shapeRow).center();
    const QPointF dropPoint(350, 250);
    NotificationCount added(kQntElementAddedToLayerNotification);
    DragRunnerScope scope([&h, dropPoint](QMimeData *data) {
        return deliverDrop(h.view.get(), h.view->mapFromDrawing(dropPoint).toPoint(), data);
    });
    auto send = [&outline](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), outline.viewport()->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(outline.viewport(), &event);
    };
    send(QEvent::MouseButtonPress, press, Qt::LeftButton);
    send(QEvent::MouseMove, press + QPoint(30, 10), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, press + QPoint(30, 10), Qt::NoButton);
    EXPECT_EQ(h.layer()->countOfObjects(), 1);
    EXPECT_EQ(added.count, 1);

    // A click without movement on a shape drags nothing; a click on a group row folds it.
    send(QEvent::MouseButtonPress, press, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, press, Qt::NoButton);
    EXPECT_EQ(h.layer()->countOfObjects(), 1);
    ASSERT_TRUE(groupRow->isExpanded());
    const QPoint header = outline.visualItemRect(groupRow).center();
    send(QEvent::MouseButtonPress, header, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, header, Qt::NoButton);
    EXPECT_FALSE(groupRow->isExpanded());
}
