#include "framework/document/VRInspectorBase.h"

#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include "common/ScopeExit.h"

#include <gtest/gtest.h>

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
