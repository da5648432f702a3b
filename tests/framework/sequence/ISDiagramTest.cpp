#include "framework/sequence/ISDiagram.h"

#include <gtest/gtest.h>

TEST(ISDiagram, KeepsChildrenInCreationOrderWithTheirParents)
{
    ISDiagram diagram("SequenceDiagram");
    ISTimeline *a = diagram.timelineWithName("a");
    ISTimeline *b = diagram.timelineWithName("b");
    ASSERT_EQ(diagram.timelines().size(), 2u);
    EXPECT_EQ(diagram.timelines()[1].get(), b);

    ISMessage *call = diagram.messageFromTimeline(a, b, "call");
    ISAlternatives *alt = diagram.alternativeWithName("alt");
    ISAlternativeCondition *yes = alt->alternativeConditionWithName("yes");
    ISMessage *self = alt->messageFromTimeline(b, b, "self");
    ISLoop *loop = alt->loopWithName("loop", 3);
    call->setID("m1");
    self->setLineType(1);

    ASSERT_EQ(diagram.children().size(), 2u);
    EXPECT_EQ(diagram.children()[0].get(), call);
    EXPECT_EQ(diagram.children()[1].get(), alt);
    ASSERT_EQ(alt->children().size(), 3u);
    EXPECT_EQ(alt->children()[0].get(), yes);
    EXPECT_EQ(yes->parent(), alt);
    EXPECT_EQ(loop->count(), 3);
    EXPECT_TRUE(self->isSelfMessage());
    EXPECT_FALSE(call->isSelfMessage());
    EXPECT_EQ(self->lineType(), 1);
    EXPECT_EQ(call->lineType(), 0);
    EXPECT_EQ(call->ID(), "m1");
}
