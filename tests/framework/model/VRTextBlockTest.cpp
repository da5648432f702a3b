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

TEST(VRTextBlockText, PlainTextIsWhatADocumentReadsOutOfTheHtml)
{
    // Plain runs, read without a document, and HTML only a document reads right.
    const QStringList texts = {
        QStringLiteral("Element 12"),
        QStringLiteral("Tom & Jerry <3 \"quoted\" 'single'"),
        QStringLiteral("a  b   c"),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("two\nlines"),
        QStringLiteral("tab\there"),
        QStringLiteral("non\u00a0breaking"),
        QStringLiteral("\u05e9\u05dc\u05d5\u05dd text"),
        QStringLiteral("emoji \U0001F600 here"),
        QStringLiteral("&amp;lt; escaped twice"),
    };
    for (const QString &text : texts) {
        VRTextBlock block;
        block.setPlainText(text);
        QString read = QTextDocumentFragment::fromHtml(block.html()).toPlainText();
        read.replace(QChar::LineSeparator, QLatin1Char('\n'));
        read.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        EXPECT_EQ(block.plainText(), read) << text.toStdString();
    }
    for (const QString &html :
         {QStringLiteral("<b>bold</b> text"), QStringLiteral("a&nbsp;b"), QStringLiteral("x&#65;y"),
          QStringLiteral("<p>one</p><p>two</p>")}) {
        VRTextBlock block;
        block.setHtml(html);
        EXPECT_EQ(block.plainText(), QTextDocumentFragment::fromHtml(html).toPlainText().replace(
                                         QChar::ParagraphSeparator, QLatin1Char('\n')))
            << html.toStdString();
    }
}
