#include "framework/model/VRTextBlock.h"

#include <gtest/gtest.h>

#include <QTextCursor>
#include <QTextDocument>

TEST(VRTextBlockAlignment, NumbersAndQtFlagsMapBothWaysAndUnknownNumbersCentre)
{
    struct Case {
        int number;
        Qt::Alignment flag;
    };
    const Case known[] = {
        {0, Qt::AlignLeft}, {1, Qt::AlignRight}, {2, Qt::AlignHCenter}, {3, Qt::AlignJustify}};
    for (const Case &c : known) {
        EXPECT_EQ(VRTextBlock::qtAlignment(c.number), c.flag) << c.number;
        EXPECT_EQ(VRTextBlock::alignmentFromQt(c.flag), c.number) << c.number;
        // A vertical flag beside it changes nothing.
        EXPECT_EQ(VRTextBlock::alignmentFromQt(c.flag | Qt::AlignVCenter), c.number);
    }
    for (const int unknown : {-1, 4, 40, 1000})
        EXPECT_EQ(VRTextBlock::qtAlignment(unknown), Qt::AlignHCenter) << unknown;
    // No horizontal flag: Qt puts the text on the left.
    EXPECT_EQ(VRTextBlock::alignmentFromQt(Qt::Alignment()), 0);
    EXPECT_EQ(VRTextBlock::alignmentFromQt(Qt::AlignTop), 0);
    // A new text is centred, as unknown numbers are.
    EXPECT_EQ(VRTextBlock().alignment(), 2);
}

TEST(VRTextBlockAlignment, AFragmentWhoseParagraphsShareAnAlignmentGivesItToTheText)
{
    for (const int number : {0, 1, 2, 3}) {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(QStringLiteral("one\ntwo"));
        cursor.select(QTextCursor::Document);
        QTextBlockFormat format;
        format.setAlignment(VRTextBlock::qtAlignment(number));
        cursor.mergeBlockFormat(format);
        VRTextBlock block;
        block.setAlignment(number == 2 ? 0 : 2);
        block.setFragment(QTextDocumentFragment(&document));
        EXPECT_EQ(block.alignment(), number);
    }
}
