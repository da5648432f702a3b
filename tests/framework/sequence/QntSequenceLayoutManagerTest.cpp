#include "framework/sequence/QntSequenceLayoutManager.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Three timelines with a call, a response, a message to self, an alternative with two
// conditions and a loop.
std::shared_ptr<ISDiagram> scenario()
{
    auto d = std::make_shared<ISDiagram>("SequenceDiagram");
    ISTimeline *a = d->timelineWithName("A");
    ISTimeline *b = d->timelineWithName("B");
    ISTimeline *c = d->timelineWithName("C");
    d->messageFromTimeline(a, b, "login(user, password)")->setID("m1");
    ISMessage *ok = d->messageFromTimeline(b, a, "session");
    ok->setID("m2");
    ok->setLineType(1);
    d->messageFromTimeline(b, b, "check rights")->setID("m3");
    ISAlternatives *alt = d->alternativeWithName("Alternative");
    alt->setID("alt");
    alt->alternativeConditionWithName("allowed")->setID("c1");
    alt->messageFromTimeline(b, c, "store()")->setID("m4");
    alt->alternativeConditionWithName("refused")->setID("c2");
    ISMessage *error = alt->messageFromTimeline(b, a, "error");
    error->setID("m5");
    error->setLineType(1);
    ISLoop *loop = d->loopWithName("Loop", 3);
    loop->setID("loop");
    loop->messageFromTimeline(a, c, "poll()")->setID("m6");
    return d;
}

const QVariantMap kTitles{{"A", "Client"}, {"B", "Server"}, {"C", "Database"}};

struct Laid {
    std::unique_ptr<VRDrawing> drawing = std::make_unique<VRDrawing>();
    VRObjectList objects;

    VRObjectDrawingLayer *layer() const
    {
        return drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    void layOut(const QVariantMap &options = {}, std::shared_ptr<ISDiagram> diagram = scenario())
    {
        QntSequenceLayoutManager manager;
        manager.setDiagram(std::move(diagram));
        objects = manager.performDrawingOnDrawing(drawing.get(), kTitles, options);
        drawing->undoManager()->closeOpenGroups();
    }
    VRObjectRef tagged(const QString &key, const QString &value) const
    {
        for (const VRObjectRef &o : layer()->objects())
            if (o->stringForKey(key) == value)
                return o;
        return nullptr;
    }
    std::shared_ptr<QntConnector> message(const QString &id) const
    {
        return std::dynamic_pointer_cast<QntConnector>(tagged("SEQUENCE_DIAGRAM_CONNECTOR_ID", id));
    }
    std::shared_ptr<QntElement> element(const QString &id) const
    {
        return std::dynamic_pointer_cast<QntElement>(tagged("SEQUENCE_DIAGRAM_ELEMENT_ID", id));
    }
};

QRectF labelRect(const QntConnector &c)
{
    QRectF r(QPointF(), c.label().naturalSize(0));
    r.moveCenter(c.labelPosition());
    return r;
}

// Where an element's text shows: its natural size at the text frame's top left.
QRectF textRect(const QntElement &e)
{
    const QRectF frame = e.text()->bounds();
    return QRectF(frame.topLeft(), e.text()->textBlock().naturalSize(0));
}

} // namespace

TEST(QntSequenceLayoutManager, LaysTheScenarioOutAsAUserWouldAccept)
{
    Laid laid;
    laid.layOut();

    // Lifelines, evenly spaced, under their headers.
    QList<double> xs;
    for (const QString id : {"A", "B", "C"}) {
        auto lifeline = std::dynamic_pointer_cast<QntConnector>(
            laid.tagged("SEQUENCE_DIAGRAM_TIMELINE_ID", id));
        ASSERT_NE(lifeline, nullptr) << id.toStdString();
        EXPECT_EQ(lifeline->mode(), 2);
        xs << lifeline->path().boundingRect().center().x();
    }
    EXPECT_NEAR(xs[1] - xs[0], xs[2] - xs[1], 0.01);
    EXPECT_GT(xs[1] - xs[0], 160.0);
    int headers = 0;
    for (const VRObjectRef &o : laid.layer()->objects())
        if (o->isMemberOf<QntUMLSequenceElement>()) {
            ++headers;
            EXPECT_TRUE(o->hasMetadataForKey("SEQ"));
        }
    EXPECT_EQ(headers, 3);

    // Messages top to bottom in model order; a self message loops on its lifeline.
    double lastY = -1;
    for (const QString id : {"m1", "m2", "m3", "m4", "m5", "m6"}) {
        auto m = laid.message(id);
        ASSERT_NE(m, nullptr) << id.toStdString();
        const QRectF r = m->path().boundingRect();
        EXPECT_GT(r.top(), lastY) << id.toStdString();
        lastY = r.bottom();
    }
    const QRectF self = laid.message("m3")->path().boundingRect();
    EXPECT_NEAR(self.left(), xs[1], 0.01);
    EXPECT_GT(self.height(), 10.0);

    // Responses are dashed with an open arrowhead; calls solid and filled.
    const auto strokeOf = [](const QntConnector &c) {
        return dynamic_cast<VRArrowStroke *>(c.style()->stroke());
    };
    ASSERT_NE(strokeOf(*laid.message("m2")), nullptr);
    EXPECT_EQ(strokeOf(*laid.message("m2"))->arrowHeadAtEnd(), 11);
    EXPECT_NE(strokeOf(*laid.message("m2"))->dash(), nullptr);
    EXPECT_EQ(strokeOf(*laid.message("m1"))->arrowHeadAtEnd(), 1);
    EXPECT_EQ(strokeOf(*laid.message("m1"))->dash(), nullptr);

    // Frames hold exactly their messages.
    const QRectF alt = laid.element("alt")->logicalBounds();
    const QRectF loop = laid.element("loop")->logicalBounds();
    for (const QString id : {"m1", "m2", "m3", "m4", "m5", "m6"}) {
        const QRectF r = laid.message(id)->bounds();
        EXPECT_EQ(alt.contains(r), id == "m4" || id == "m5") << id.toStdString();
        EXPECT_EQ(loop.contains(r), id == "m6") << id.toStdString();
        if (id != "m4" && id != "m5") {
            EXPECT_FALSE(alt.intersects(r)) << id.toStdString();
        }
    }
    EXPECT_FALSE(alt.intersects(loop));
    ASSERT_NE(laid.element("c1"), nullptr);
    ASSERT_NE(laid.element("c2"), nullptr);
    EXPECT_LT(laid.element("c2")->logicalBounds().top(), laid.message("m5")->bounds().top());
    EXPECT_GT(laid.element("c2")->logicalBounds().top(), laid.message("m4")->bounds().bottom());

    // No label overlaps another label, a frame's title or a condition.
    QList<QRectF> labels;
    for (const QString id : {"m1", "m2", "m3", "m4", "m5", "m6"})
        labels << labelRect(*laid.message(id));
    for (const QString id : {"alt", "loop", "c1", "c2"})
        labels << textRect(*laid.element(id));
    for (int i = 0; i < labels.size(); ++i)
        for (int j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(labels[i].intersects(labels[j])) << i << " and " << j;

    // Everything fits the drawing, and everything is one undo step.
    const QRectF paper(QPointF(0, 0), laid.drawing->drawingSize());
    for (const VRObjectRef &o : laid.objects)
        EXPECT_TRUE(paper.contains(o->bounds()));
    EXPECT_EQ(laid.drawing->undoManager()->undoActionName(), "Sequence Layout");
    laid.drawing->undoManager()->undo();
    EXPECT_TRUE(laid.layer()->objects().isEmpty());
}

TEST(QntSequenceLayoutManager, GivesRegeneratedObjectsTheLooksTheDrawingRemembers)
{
    Laid laid;
    QVariantMap &looks = laid.drawing->sequenceStyleDic();
    VRStyleRef red = VRStyle::styleWithFillColour(Qt::white, Qt::red, 3);
    VRStyleRef green = VRStyle::styleWithFillColour(Qt::white, Qt::green, 2);
    VRStyleRef blue = VRStyle::styleWithFillColour(Qt::white, Qt::blue, 2);
    looks.insert("m1", QVariant::fromValue(red));
    looks.insert("m1-CONNECTOR_PROPERTIES", QVariantMap{{"LayoutMode", 1},
                                                        {"TextXOffset", 0.25},
                                                        {"TextYOffset", -20.0},
                                                        {"TextAlign", 0},
                                                        {"OffsetForPointForTextLayoutX", 3.0},
                                                        {"OffsetForPointForTextLayoutY", 4.0}});
    looks.insert("m2", "REMOVE");
    looks.insert("m4-CONNECTOR_PROPERTIES", QVariantMap{{"TextXOffset", 0.4}});
    looks.insert("A", QVariant::fromValue(green));
    looks.insert("alt", QVariant::fromValue(blue));
    looks.insert("alt_PROPERTIES",
                 QVariantMap{{"PaddingLeftRight", 11.0}, {"PaddingTopBottom", 7.0}});
    laid.layOut();

    auto m1 = laid.message("m1");
    // (A connector adds its own arrowhead renderer to the style it is given.)
    EXPECT_EQ(m1->style()->strokeColour(), QColor(Qt::red));
    EXPECT_EQ(m1->style()->strokeWidth(), 3.0);
    EXPECT_NE(m1->style(), red);
    EXPECT_EQ(m1->textXOffset(), 0.25);
    EXPECT_EQ(m1->textYOffset(), -20.0);
    EXPECT_EQ(m1->alignment(), 0);
    EXPECT_EQ(m1->offsetForPointForTextLayout(), QSizeF(3, 4));
    // A mark of a changed kind and placements without a mode leave the defaults.
    EXPECT_EQ(
        dynamic_cast<VRArrowStroke *>(laid.message("m2")->style()->stroke())->arrowHeadAtEnd(), 11);
    EXPECT_EQ(laid.message("m4")->textXOffset(), 0.0);
    auto lifeline =
        std::dynamic_pointer_cast<QntConnector>(laid.tagged("SEQUENCE_DIAGRAM_TIMELINE_ID", "A"));
    EXPECT_EQ(lifeline->style()->strokeColour(), QColor(Qt::green));
    auto alt = laid.element("alt");
    EXPECT_TRUE(alt->contourObject()->style()->isEqual(*blue));
    EXPECT_EQ(alt->paddingLeftRight(), 11.0);
    EXPECT_EQ(alt->paddingTopBottom(), 7.0);
    // Each header's look is a shared style the drawing keeps, reused by the next layout.
    const QVariant header = looks.value("A-TIMELINE_HEADER");
    ASSERT_EQ(header.metaType(), QMetaType::fromType<VRStyleRef>());
    laid.layOut();
    int sharing = 0;
    for (const VRObjectRef &o : laid.layer()->objects()) {
        if (o->isMemberOf<QntUMLSequenceElement>()
            && std::static_pointer_cast<QntElement>(o)->contourObject()->style()
                   == header.value<VRStyleRef>())
            ++sharing;
    }
    // The first layout's header of A and the second's.
    EXPECT_EQ(sharing, 2);
}

TEST(QntSequenceLayoutManager, NonPositiveOrMissingParametersTakeTheDefaults)
{
    struct Case {
        QVariantMap options;
        double headerWidth;
        double headerHeight;
    };
    const Case cases[] = {
        {{}, 160, 50},
        {{{QntSeqMinEntityWidthKey, 0}, {QntSeqMinEntityHeightKey, -4}, {QntSeqFontSizeKey, 0}},
         160,
         50},
        {{{QntSeqMinEntityWidthKey, 220}, {QntSeqMinEntityHeightKey, 70}}, 220, 70},
        {{{QntSeqMinEntityWidthKey, "wide"}, {QntSeqFontNameKey, ""}}, 160, 50},
    };
    for (const Case &c : cases) {
        Laid laid;
        auto d = std::make_shared<ISDiagram>("SequenceDiagram");
        d->messageFromTimeline(d->timelineWithName("A"), d->timelineWithName("B"), "x");
        laid.layOut(c.options, d);
        int headers = 0;
        for (const VRObjectRef &o : laid.layer()->objects())
            if (o->isMemberOf<QntUMLSequenceElement>()) {
                ++headers;
                EXPECT_NEAR(o->logicalBounds().width(), c.headerWidth, 0.5);
                EXPECT_NEAR(o->logicalBounds().height(), c.headerHeight, 0.5);
            }
        EXPECT_EQ(headers, 2);
    }
}
