#include "framework/archive/VRArchiver.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "common/RenderedObject.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonObject>
#include <QPainter>

#include <functional>

namespace {

// A document of three shapes, each with its own style, all three styles alike, read back from
// its saved text.
struct AlikeStyles {
    std::unique_ptr<VRDrawing> drawing;
    VRObjectList shapes;
    QByteArray saved;

    AlikeStyles()
    {
        auto made = std::make_unique<VRDrawing>();
        auto *layer = made->activeLayerOfClass<VRObjectDrawingLayer>();
        for (int i = 0; i < 3; ++i) {
            auto shape = VRDrawableShape::shapeWithRect(QRectF(i * 60, 0, 50, 40));
            shape->setStyle(VRStyle::styleWithFillColour(Qt::blue, Qt::black, 2.0));
            layer->addObject(shape);
        }
        saved = VRArchiver::documentData(*made);
        auto read = VRArchiver::drawingFromData(saved);
        EXPECT_TRUE(read.ok()) << read.errorMessage().toStdString();
        drawing = std::move(read.value());
        shapes = drawing->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
        drawing->undoManager()->closeOpenGroups();
    }
    VRStyle &style(int i) const { return *shapes.at(i)->style(); }
};

// A style's record without its key: what it looks like.
QJsonObject look(const VRStyle &style)
{
    QJsonObject images;
    QJsonObject record = style.toJson(images);
    record.remove(QStringLiteral("key"));
    return record;
}

QImage picture(const VRDrawableObject &object)
{
    return qnt::test::renderedOnWhite(object, QSize(200, 60));
}

struct Change {
    const char *name;
    std::function<void(VRStyle &)> apply;
};

class RastGroupSharing : public ::testing::TestWithParam<Change>
{
};

} // namespace

TEST(RastGroup, StylesReadAlikeShareTheirRenderersAndDrawAndSaveAsBefore)
{
    AlikeStyles doc;
    ASSERT_EQ(doc.shapes.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(doc.style(i).sharesRenderers()) << i;
        EXPECT_EQ(doc.style(i).countOfClients(), 1) << i;
    }
    EXPECT_NE(doc.style(0).uniqueKey(), doc.style(1).uniqueKey());
    EXPECT_EQ(doc.style(0).members().constFirst(), doc.style(2).members().constFirst());
    // Reading colours and widths leaves them shared.
    EXPECT_EQ(doc.style(1).fillColour(), QColor(Qt::blue));
    EXPECT_EQ(doc.style(1).strokeColour(), QColor(Qt::black));
    EXPECT_DOUBLE_EQ(doc.style(1).strokeWidth(), 2.0);
    EXPECT_DOUBLE_EQ(doc.style(1).maxStrokeWidth(), 2.0);
    EXPECT_TRUE(doc.style(1).hasFill());
    EXPECT_TRUE(doc.style(1).hasStroke());
    EXPECT_TRUE(doc.style(1).sharesRenderers());
    EXPECT_FALSE(picture(*doc.shapes.at(0)).isNull());
    EXPECT_EQ(VRArchiver::documentData(*doc.drawing), doc.saved);
    EXPECT_TRUE(doc.style(1).sharesRenderers());

    // Copies, equality and a file's later reading see the same renderers.
    EXPECT_TRUE(doc.style(0).isEqual(doc.style(1)));
    const VRStyleRef copy = doc.style(0).copy();
    EXPECT_FALSE(copy->sharesRenderers());
    EXPECT_EQ(look(*copy), look(doc.style(0)));
}

TEST(RastGroup, RenderersWhoseDrawingDependsOnTheirStyleAreNotShared)
{
    auto made = std::make_unique<VRDrawing>();
    auto *layer = made->activeLayerOfClass<VRObjectDrawingLayer>();
    for (int i = 0; i < 2; ++i) {
        auto shape = VRDrawableShape::shapeWithRect(QRectF(i * 60, 0, 50, 40));
        auto style = VRStyle::styleWithFillColour(Qt::blue, Qt::black, 2.0);
        style->addRenderer(std::make_shared<QntConnectorStyle>());
        shape->setStyle(style);
        layer->addObject(shape);
    }
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*made));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    for (const VRObjectRef &shape :
         read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        EXPECT_FALSE(shape->style()->sharesRenderers());
}

TEST_P(RastGroupSharing, ChangingOneStyleLeavesTheOthersAloneAndUndoes)
{
    AlikeStyles doc;
    const QJsonObject before = look(doc.style(0));
    const QImage firstBefore = picture(*doc.shapes.at(0));
    const QImage secondBefore = picture(*doc.shapes.at(1));

    GetParam().apply(doc.style(1));
    doc.drawing->undoManager()->closeOpenGroups();

    EXPECT_FALSE(doc.style(1).sharesRenderers());
    EXPECT_NE(look(doc.style(1)), before);
    EXPECT_EQ(look(doc.style(0)), before);
    EXPECT_EQ(look(doc.style(2)), before);
    EXPECT_EQ(picture(*doc.shapes.at(0)), firstBefore);
    for (const VRRendererRef &r : doc.style(1).members())
        EXPECT_EQ(r->style(), &doc.style(1));

    ASSERT_TRUE(doc.drawing->undoManager()->canUndo());
    doc.drawing->undoManager()->undo();
    EXPECT_EQ(look(doc.style(1)), before);
    EXPECT_EQ(picture(*doc.shapes.at(1)), secondBefore);
    EXPECT_EQ(look(doc.style(0)), before);

    // The last style still sharing takes the shared renderers over.
    GetParam().apply(doc.style(0));
    GetParam().apply(doc.style(2));
    EXPECT_FALSE(doc.style(2).sharesRenderers());
    for (const VRRendererRef &r : doc.style(2).members())
        EXPECT_EQ(r->style(), &doc.style(2));
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayIn, RastGroupSharing,
    ::testing::Values(
        Change{"FillColour", [](VRStyle &s) { s.setFillColour(Qt::red); }},
        Change{"StrokeColour", [](VRStyle &s) { s.setStrokeColour(Qt::green); }},
        Change{"StrokeWidth", [](VRStyle &s) { s.setStrokeWidth(5.0); }},
        Change{"Fill", [](VRStyle &s) { s.fill()->setColour(Qt::yellow); }},
        Change{"Stroke", [](VRStyle &s) { s.stroke()->setWidth(7.0); }},
        Change{"RendererAtIndex", [](VRStyle &s) { s.rendererAtIndex(0)->setEnabled(false); }},
        Change{"RenderList", [](VRStyle &s) { s.renderList().constLast()->setEnabled(false); }},
        Change{"RenderersOfClass",
               [](VRStyle &s) { s.renderersOfClass<VRStroke>().constFirst()->setWidth(3.0); }},
        Change{"AddRenderer",
               [](VRStyle &s) { s.addRenderer(VRStroke::strokeWithWidth(4.0, Qt::red)); }},
        Change{"RemoveRenderer", [](VRStyle &s) { s.removeRenderer(s.rendererAtIndex(0).get()); }},
        Change{"MoveRenderer", [](VRStyle &s) { s.moveRendererAtIndex(0, 1); }},
        Change{"RemoveRenderersOfClass",
               [](VRStyle &s) { s.removeRenderersOfClass(VRFill::staticClass(), true); }}),
    [](const auto &info) { return std::string(info.param.name); });
