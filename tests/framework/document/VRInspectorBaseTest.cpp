#include "framework/document/VRInspectorBase.h"

#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include "common/ScopeExit.h"

#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {
class RecordingInspector : public VRInspectorBase
{
public:
    RecordingInspector()
        : VRInspectorBase(QStringLiteral("Test"))
    {
    }
    QList<VRObjectList> shown;
    int documentChanges = 0;

protected:
    void documentDidChange(const Notification &) override { ++documentChanges; }
    void redisplayContentForSelection(const VRObjectList &selection) override
    {
        shown.append(selection);
    }
};
} // namespace

TEST(VRInspectorBase, FollowsTheMainDocumentAndItsSelectionOnly)
{
    VRDrawingDocument main;
    VRDrawingDocument other;
    RecordingInspector inspector;
    VRInspectorBase::setMainDocumentOverride(&main);
    const qnt::test::ScopeExit restore([] { VRInspectorBase::setMainDocumentOverride(nullptr); });
    inspector.mainDocumentMayHaveChanged();
    EXPECT_EQ(inspector.documentChanges, 1);
    EXPECT_EQ(inspector.currentDrawing(), main.drawing());
    auto *layer = main.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    auto element = QntElement::createWithObjects(
        {VRDrawableShape::shapeWithRect(QRectF(0, 0, 5, 5))}, QStringLiteral("e"), QSizeF(5, 5));
    layer->addObjectsFromArray({shape, element});
    inspector.shown.clear();
    layer->exchangeSelectionWithObjectsFromArray({shape, element});
    ASSERT_EQ(inspector.shown.size(), 1);
    EXPECT_EQ(inspector.shown.first().size(), 2);
    inspector.setObjectsClass(&QntElement::staticClass());
    EXPECT_EQ(inspector.selectedObjectForCurrentTarget(), VRObjectList({element}));
    EXPECT_TRUE(inspector.isMemberOfElements(*element));
    EXPECT_FALSE(inspector.isMemberOfElements(*shape));
    // Another drawing's selection is not delivered.
    auto *otherLayer = other.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto foreign = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    otherLayer->addObject(foreign);
    inspector.shown.clear();
    otherLayer->exchangeSelectionWithObjectsFromArray({foreign});
    EXPECT_TRUE(inspector.shown.isEmpty());
}

TEST(VRInspectorBase, OwnsTheWindowItMakesAndOnlyThat)
{
    // The window made on first use goes with the inspector.
    auto inspector = std::make_unique<RecordingInspector>();
    const QPointer<QWidget> made = inspector->window();
    ASSERT_FALSE(made.isNull());
    inspector.reset();
    EXPECT_TRUE(made.isNull());

    // A window handed in, and the host of an embedded inspector, stay their owners'.
    QWidget given;
    inspector = std::make_unique<RecordingInspector>();
    inspector->setWindow(&given);
    inspector.reset();
    auto host = std::make_unique<QWidget>();
    const QPointer<QWidget> hostAlive = host.get();
    auto *embedded = new VRInspectorBase(VREmbedded{}, host.get());
    delete embedded;
    EXPECT_FALSE(hostAlive.isNull());

    // An inspector that its own window holds goes with the window, once.
    auto *held = new RecordingInspector;
    const QPointer<VRInspectorBase> heldAlive = held;
    const QPointer<QWidget> heldWindow = held->window();
    held->setParent(heldWindow);
    delete heldWindow.data();
    EXPECT_TRUE(heldAlive.isNull());
}
