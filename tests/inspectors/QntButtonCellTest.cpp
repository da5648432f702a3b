#include "inspectors/QntButtonCell.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <memory>

namespace {
QImage picture(QWidget &button)
{
    QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    button.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// The darkest and the lightest grey of a rectangle (opaque pixels only).
std::pair<int, int> greyRange(const QImage &image, const QRect &area)
{
    int darkest = 255, lightest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            const int grey = qGray(colour.rgb());
            darkest = std::min(darkest, grey);
            lightest = std::max(lightest, grey);
        }
    }
    return {darkest, lightest};
}
} // namespace

struct CellCase {
    const char *name;
    std::function<QntButtonCell *()> make;
    QColor background;
    bool darkTitle;
};

class QntButtonCellLookTest : public testing::TestWithParam<CellCase>
{
};

TEST_P(QntButtonCellLookTest, DefaultBackgroundTitleAndBorder)
{
    std::unique_ptr<QntButtonCell> cell(GetParam().make());
    EXPECT_EQ(cell->qntBackgroundColor(), GetParam().background);
    cell->setText(QStringLiteral("MMMM"));
    cell->setBordered(true);
    cell->resize(70, 22);
    const QImage image = picture(*cell);
    // The fill shows beside the title; the border is light grey.
    const QColor fill = image.pixelColor(4, 11);
    EXPECT_NEAR(fill.redF(), GetParam().background.redF(), 0.02) << GetParam().name;
    const QColor rim = image.pixelColor(35, 0);
    EXPECT_NEAR(rim.redF(), 0.749, 0.08) << GetParam().name;
    // The title stands out from the fill: dark on the white button, light on the dark one.
    const auto [darkest, lightest] = greyRange(image, QRect(15, 5, 40, 12));
    if (GetParam().darkTitle)
        EXPECT_LT(darkest, 100) << GetParam().name;
    else
        EXPECT_GT(lightest, 200) << GetParam().name;
    // A colour set replaces the default, also when set twice.
    cell->setQntBackgroundColor(Qt::red);
    cell->setQntBackgroundColor(Qt::red);
    EXPECT_EQ(cell->qntBackgroundColor(), QColor(Qt::red));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, QntButtonCellLookTest,
    testing::Values(CellCase{"dark", [] { return new QntButtonCell; },
                             QColor::fromRgbF(0.224f, 0.224f, 0.224f, 0.85f), false},
                    CellCase{"white", [] { return new QntButtonWhiteCell; },
                             QColor::fromRgbF(1, 1, 1, 1), true}),
    [](const testing::TestParamInfo<CellCase> &info) { return std::string(info.param.name); });

TEST(QntButtonCellTest, ToolColumnCellsAnswerTheirKeys)
{
    EXPECT_EQ(TextEditorButtonCell().keyEquivalent(), QStringLiteral("t"));
    EXPECT_EQ(ConnectorButtonCell().keyEquivalent(), QStringLiteral("c"));
    EXPECT_TRUE(QntButtonWhiteCell().keyEquivalent().isEmpty());
}
