#include "platform/TextView.h"

#include "platform/PlainTextView.h"

#include <QMimeData>

#include <gtest/gtest.h>

namespace {

// Opens the protected insertion of each view to the test.
struct OpenTextView : TextView {
    using TextView::canInsertFromMimeData;
    using TextView::insertFromMimeData;
};
struct OpenPlainTextView : PlainTextView {
    using PlainTextView::canInsertFromMimeData;
    using PlainTextView::insertFromMimeData;
};

template <typename View> class TextViewInsertion : public testing::Test
{
};
using Views = testing::Types<OpenTextView, OpenPlainTextView>;
TYPED_TEST_SUITE(TextViewInsertion, Views);

} // namespace

// Qt's own insertion reads the first format of the data it is handed: data without a format,
// which an X clipboard hands out once its owner has gone, crashed it.
TYPED_TEST(TextViewInsertion, DataWithoutAFormatIsRefusedAndLeavesTheTextAlone)
{
    TypeParam view;
    view.setPlainText(QStringLiteral("kept"));
    QMimeData empty;
    EXPECT_FALSE(view.canInsertFromMimeData(nullptr));
    EXPECT_FALSE(view.canInsertFromMimeData(&empty));
    view.insertFromMimeData(nullptr);
    view.insertFromMimeData(&empty);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("kept"));
}

TYPED_TEST(TextViewInsertion, TextIsStillInserted)
{
    TypeParam view;
    QMimeData text;
    text.setText(QStringLiteral("pasted"));
    EXPECT_TRUE(view.canInsertFromMimeData(&text));
    view.insertFromMimeData(&text);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("pasted"));
}
