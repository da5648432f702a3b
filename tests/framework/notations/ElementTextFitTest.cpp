// A shape's text stays inside its box: automatic size grows the box with the text (its width
// too unless the width is kept), the paddings make room around the text of every element, free
// texts included, and a diamond keeps its text in the rectangle inscribed in it.
#include "CompiledNotations.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRTextBlock.h"

#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct FitCase {
    const char *name;
    const char *elementId;
    const char *text;
    bool keepWidth;
    int paddingMode;
    double padding;
    // The width the text bar's width slider fixed before automatic size came on (0: none).
    double fixedWidth;
};

void PrintTo(const FitCase &c, std::ostream *out)
{
    *out << c.name;
}

class ElementTextFit : public CompiledNotationsTest
{
protected:
    std::shared_ptr<QntElement> element(const char *id)
    {
        if (m_path.isEmpty())
            m_path = copyOf(QStringLiteral("FlowChart/FlowChart.db"));
        const VRObjectRef object = QntElement::createWithElementId(QString::fromLatin1(id), m_path);
        EXPECT_TRUE(object && object->isKindOf<QntElement>()) << id;
        if (!object || !object->isKindOf<QntElement>())
            return nullptr;
        auto made = std::static_pointer_cast<QntElement>(object);
        made->setLocation(QPointF(400, 300));
        return made;
    }

    // The text laid out in its frame keeps the lines it has unwrapped (or, with the width kept,
    // at the frame's width) and all of them lie inside the frame, which lies inside the box.
    static void expectFits(const QntElement &e, bool wrapped, const std::string &what)
    {
        ASSERT_NE(e.text(), nullptr) << what;
        const std::optional<QRectF> frame = e.text()->textFrame();
        ASSERT_TRUE(frame) << what;
        const VRTextBlock &text = e.text()->textBlock();
        const QSizeF laidOut = text.naturalSize(frame->width());
        if (!wrapped)
            EXPECT_DOUBLE_EQ(laidOut.height(), text.naturalSize(0).height())
                << what << ": the text wraps in a frame " << frame->width() << " wide";
        EXPECT_LE(laidOut.height(), frame->height() + 0.01) << what;
        EXPECT_LE(laidOut.width(), frame->width() + 0.01) << what;
        EXPECT_TRUE(e.logicalBounds().adjusted(-0.01, -0.01, 0.01, 0.01).contains(*frame)) << what;
    }

    QString m_path;
};

class ElementTextFitCases : public ElementTextFit, public testing::WithParamInterface<FitCase>
{
};

TEST_P(ElementTextFitCases, AutomaticSizeGrowsTheBoxAroundItsText)
{
    const FitCase &c = GetParam();
    const auto e = element(c.elementId);
    ASSERT_NE(e, nullptr);
    e->addTextShape();
    if (c.fixedWidth > 0) {
        e->setSize(QSizeF(c.fixedWidth, e->size().height()));
        e->text()->setFixedWidth(c.fixedWidth);
    }
    e->setPaddingMode(c.paddingMode);
    e->setPaddingLeftRight(c.padding);
    e->setPaddingTopBottom(c.padding);
    e->setKeepFixedWidth(c.keepWidth);
    e->setAutoSize(true);
    const QSizeF before = e->size();
    e->setTextContent(QTextDocumentFragment::fromPlainText(QString::fromLatin1(c.text)));
    expectFits(*e, c.keepWidth, c.name);
    if (c.keepWidth)
        EXPECT_DOUBLE_EQ(e->size().width(), before.width());
    else
        EXPECT_GT(e->size().width(), before.width());

    // A larger size grows it again, and the text still fits.
    const QSizeF grown = e->size();
    e->setTextFontSize(e->text()->fontSize() * 1.5);
    expectFits(*e, c.keepWidth, std::string(c.name) + " at a larger size");
    EXPECT_GT(e->size().width() + e->size().height(), grown.width() + grown.height());
}

INSTANTIATE_TEST_SUITE_P(
    Elements, ElementTextFitCases,
    testing::Values(
        FitCase{"title", "fcTextTitle", "Quarterly planning review", false, 0, 0.05, 0},
        FitCase{"titleOfSliderWidth", "fcTextTitle", "Quarterly planning review", false, 0, 0.05,
                140},
        FitCase{"titleInPoints", "fcTextTitle", "Quarterly planning review", false, 1, 12, 0},
        FitCase{"freeTextKeptWidth", "fcText",
                "A free text long enough to take several lines when its width is kept", true, 0,
                0.1, 0},
        FitCase{"process", "fcProcess", "Check the stock of every warehouse", false, 0, 0.1, 0},
        FitCase{"processKeptWidth", "fcProcess", "Check the stock of every warehouse", true, 0, 0.1,
                0},
        FitCase{"decision", "fcDecision", "Is the order complete?", false, 0, 0.05, 0},
        FitCase{"decisionKeptWidth", "fcDecision", "Is the order complete and paid?", true, 0, 0.05,
                0}),
    [](const testing::TestParamInfo<FitCase> &info) { return std::string(info.param.name); });

TEST_F(ElementTextFit, ADiamondKeepsItsTextInTheRectangleInscribedInIt)
{
    const auto e = element("fcDecision");
    ASSERT_NE(e, nullptr);
    const std::optional<QRectF> frame = e->text()->textFrame();
    ASSERT_TRUE(frame);
    const QPainterPath outline = e->contourObject()->renderingPath();
    const QRectF box = outline.boundingRect();
    for (const QPointF corner :
         {frame->topLeft(), frame->topRight(), frame->bottomLeft(), frame->bottomRight()})
        EXPECT_TRUE(outline.contains(corner)) << corner.x() << ", " << corner.y();
    // Inside the paddings, half the diamond's box about its centre.
    const double lr = e->paddingLeftRightAbs(), tb = e->paddingTopBottomAbs();
    EXPECT_NEAR(frame->width(), (box.width() - 2 * lr) / 2, 0.5);
    EXPECT_NEAR(frame->height(), (box.height() - 2 * tb) / 2, 0.5);
    EXPECT_NEAR(frame->center().x(), box.center().x(), 0.01);
    EXPECT_NEAR(frame->center().y(), box.center().y(), 0.01);

    // Other outlines keep the whole box inside the paddings.
    const auto process = element("fcProcess");
    ASSERT_NE(process, nullptr);
    const QRectF inner = process->logicalBounds().adjusted(
        process->paddingLeftRightAbs(), process->paddingTopBottomAbs(),
        -process->paddingLeftRightAbs(), -process->paddingTopBottomAbs());
    const std::optional<QRectF> processFrame = process->text()->textFrame();
    ASSERT_TRUE(processFrame);
    EXPECT_NEAR(processFrame->width(), inner.width(), 0.01);
    EXPECT_NEAR(processFrame->height(), inner.height(), 0.01);
}

TEST_F(ElementTextFit, PaddingsMakeRoomAroundAFreeTextOfAFixedWidth)
{
    const auto e = element("fcText");
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->isMemberOf<QntText>());
    // The width the text bar's slider sets: the box's and the text's.
    e->setSize(QSizeF(200, 40));
    e->text()->setFixedWidth(200);
    e->setAutoSize(false);
    e->setPaddingMode(0);
    e->setPaddingLeftRight(0.2);
    e->setPaddingTopBottom(0.1);
    std::optional<QRectF> frame = e->text()->textFrame();
    ASSERT_TRUE(frame);
    EXPECT_NEAR(frame->width(), 120, 0.01);
    EXPECT_NEAR(frame->height(), 32, 0.01);
    EXPECT_NEAR(frame->center().x(), 400, 0.01);

    // With automatic size the box grows to keep the text's room.
    e->setAutoSize(true);
    const QSizeF before = e->size();
    e->setPaddingTopBottom(0.3);
    EXPECT_GT(e->size().height(), before.height());
    expectFits(*e, false, "free text");
    frame = e->text()->textFrame();
    ASSERT_TRUE(frame);
    EXPECT_NEAR(frame->height(), e->size().height() * 0.4, 0.01);
}

TEST_F(ElementTextFit, KeepingTheWidthRefitsTheHeightAtOnce)
{
    const auto e = element("fcTextTitle");
    ASSERT_NE(e, nullptr);
    e->setAutoSize(true);
    e->setTextContent(QTextDocumentFragment::fromPlainText(
        QStringLiteral("A title that is long enough for several lines")));
    const QSizeF wide = e->size();
    e->setAutoSize(false);
    e->setSize(QSizeF(160, wide.height()));
    e->setAutoSize(true);
    ASSERT_GT(e->size().width(), 160);
    e->setSize(QSizeF(160, wide.height()));
    e->setKeepFixedWidth(true);
    EXPECT_DOUBLE_EQ(e->size().width(), 160);
    EXPECT_GT(e->size().height(), wide.height());
    expectFits(*e, true, "kept width");
    e->setKeepFixedWidth(false);
    EXPECT_FALSE(e->keepFixedWidth());
    EXPECT_GT(e->size().width(), 160);
    expectFits(*e, false, "width free again");
}

} // namespace
