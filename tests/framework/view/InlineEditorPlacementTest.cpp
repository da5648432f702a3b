// Editing a text in place shows its words where the object draws them: lines broken where they
// are drawn, aligned in the frame as drawn (a centred text stays centred), at any zoom, and a
// box that grows with its text takes each typed line whole.
#include "framework/ViewTestSupport.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRTextBlock.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRStyle.h"

#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

std::shared_ptr<QntElement> box(const QRectF &frame, const QString &text)
{
    auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 100, 60));
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(QColor(220, 240, 255), Qt::black, 1));
    auto e = QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(100, 60));
    e->addTextShape();
    e->text()->setString(text);
    e->setSize(frame.size());
    e->setLocation(frame.center());
    return e;
}

struct PlacementCase {
    const char *name;
    double zoom;
    int verticalAlignment;
    std::function<VRObjectRef(VRObjectDrawingLayer &)> make;
};

void PrintTo(const PlacementCase &c, std::ostream *out)
{
    *out << c.name;
}

const VRTextShapeBase *textShapeOf(const VRDrawableObject &object)
{
    if (object.isKindOf<QntElement>())
        return static_cast<const QntElement &>(object).text();
    return dynamic_cast<const VRTextShapeBase *>(&object);
}

class InlineEditorPlacement : public testing::TestWithParam<PlacementCase>
{
};

TEST_P(InlineEditorPlacement, TheEditorShowsTheWordsWhereTheyAreDrawn)
{
    const PlacementCase &c = GetParam();
    ViewHarness h;
    h.drawing->undoManager()->disableUndoRegistration();
    const VRObjectRef object = c.make(*h.layer());
    auto *shape = const_cast<VRTextShapeBase *>(textShapeOf(*object));
    ASSERT_NE(shape, nullptr);
    VRTextBlock block = shape->textBlock();
    block.setVerticalAlignment(c.verticalAlignment);
    shape->setTextBlock(block);
    h.view->setScale(c.zoom);
    QApplication::processEvents();

    const std::optional<QRectF> frame = shape->textFrame();
    ASSERT_TRUE(frame);
    const QSizeF drawn = shape->textBlock().naturalSize(frame->width());
    double top = frame->top();
    if (c.verticalAlignment == 1)
        top = frame->center().y() - drawn.height() / 2;
    else if (c.verticalAlignment == 2)
        top = frame->bottom() - drawn.height();
    const QPointF drawnAt = h.view->mapFromDrawing(QPointF(frame->left(), top));

    h.view->beginInlineEditing(object);
    QTextEdit *editor = h.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    QApplication::processEvents();
    const QPoint shownAt = editor->viewport()->mapTo(h.view, QPoint(0, 0));
    EXPECT_NEAR(shownAt.x(), drawnAt.x(), 1.5);
    EXPECT_NEAR(shownAt.y(), drawnAt.y(), 1.5);
    // The same lines as drawn, wrapped at the frame's width.
    EXPECT_NEAR(editor->document()->size().height(), drawn.height() * c.zoom, 2.0 * c.zoom);
    EXPECT_NEAR(editor->document()->textWidth(), frame->width() * c.zoom, 1.0);
    EXPECT_GE(editor->viewport()->height(), qRound(editor->document()->size().height()));
    h.view->endInlineEditing(false);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, InlineEditorPlacement,
    testing::Values(
        PlacementCase{"centredInABox", 1.0, 1,
                      [](VRObjectDrawingLayer &layer) {
                          auto e = box(QRectF(150, 150, 220, 120), QStringLiteral("Process"));
                          layer.addObject(e);
                          return VRObjectRef(e);
                      }},
        PlacementCase{"twoLinesAtTheBottomZoomed", 2.0, 2,
                      [](VRObjectDrawingLayer &layer) {
                          auto e = box(QRectF(150, 150, 200, 140),
                                       QStringLiteral("A first line\nand a second one"));
                          layer.addObject(e);
                          return VRObjectRef(e);
                      }},
        PlacementCase{"wrappedAtTheTop", 1.0, 0,
                      [](VRObjectDrawingLayer &layer) {
                          auto e = box(QRectF(150, 150, 120, 160),
                                       QStringLiteral("Words that take more than one line here"));
                          layer.addObject(e);
                          return VRObjectRef(e);
                      }},
        PlacementCase{"freeText", 1.0, 1,
                      [](VRObjectDrawingLayer &layer) {
                          auto text = std::make_shared<VRTextShape>();
                          text->restoreGeometry({QPointF(300, 250), QSizeF(260, 90), QSizeF(0, 0),
                                                 0.0, QPainterPath()});
                          text->setString(QStringLiteral("A free text"));
                          layer.addObject(text);
                          return VRObjectRef(text);
                      }}),
    [](const testing::TestParamInfo<PlacementCase> &info) { return std::string(info.param.name); });

TEST(InlineEditorGrowth, ABoxThatGrowsWithItsTextTakesEachTypedLineWhole)
{
    ViewHarness h;
    h.drawing->undoManager()->disableUndoRegistration();
    auto e = box(QRectF(200, 200, 120, 50), QStringLiteral("Title"));
    e->setAutoSize(true);
    h.layer()->addObject(e);
    h.view->beginInlineEditing(e);
    QTextEdit *editor = h.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    const double oneLine = editor->document()->size().height();
    editor->setPlainText(QStringLiteral("A title much longer than its box is wide"));
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(editor->document()->size().height(), oneLine);
    // Growing about the box's centre, as the box will.
    const QRect shown(editor->viewport()->mapTo(h.view, QPoint(0, 0)),
                      QSize(int(editor->document()->textWidth()), 1));
    EXPECT_NEAR(shown.center().x(), h.view->mapFromDrawing(e->logicalBounds().center()).x(), 1.5);
    h.view->endInlineEditing(true);
    EXPECT_GT(e->size().width(), 120);
    EXPECT_EQ(e->text()->textBlock().naturalSize(e->text()->textFrame()->width()).height(),
              e->text()->textBlock().naturalSize(0).height());
}

} // namespace
