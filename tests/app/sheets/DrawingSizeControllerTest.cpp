#include "app/sheets/DrawingSizeController.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

void chooseUnits(DrawingSizeController &sheet, const QString &units)
{
    QComboBox *combo = sheet.unitsComboBox();
    const int index = combo->findText(units);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(units);
    sheet.unitsComboBoxAction();
}

std::unique_ptr<VRDrawing> pointsDrawing()
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->setDrawingSize(QSizeF(720, 360));
    drawing->setMarginsLeft(36, 18, 36, 18);
    drawing->setDrawingUnits(QStringLiteral("Pixels"), 1.0);
    return drawing;
}

} // namespace

TEST(DrawingSizeController, UnitsChangeTheShownNumbersConsistently)
{
    auto drawing = pointsDrawing();
    DrawingSizeController sheet;
    sheet.beginDrawingSizeDialog(nullptr, drawing.get());
    EXPECT_DOUBLE_EQ(sheet.widthTextField()->value(), 720.0);

    chooseUnits(sheet, QStringLiteral("Inches"));
    EXPECT_DOUBLE_EQ(sheet.widthTextField()->value(), 10.0);
    EXPECT_DOUBLE_EQ(sheet.heightTextField()->value(), 5.0);
    EXPECT_DOUBLE_EQ(sheet.leftMarginTextField()->value(), 0.5);
    EXPECT_DOUBLE_EQ(sheet.conversionFactorTextField()->value(), 72.0);
    EXPECT_EQ(sheet.conversionFactorLabelText()->text(), QStringLiteral("1 Inches occupies"));
    EXPECT_EQ(drawing->drawingUnits(), QStringLiteral("Inches"));

    chooseUnits(sheet, QStringLiteral("Picas"));
    EXPECT_DOUBLE_EQ(sheet.widthTextField()->value(), 60.0);
    chooseUnits(sheet, QStringLiteral("Millimetres"));
    EXPECT_NEAR(sheet.widthTextField()->value(), 254.0, 1e-3);
    // A kilometre is a thousand metres.
    chooseUnits(sheet, QStringLiteral("Kilometres"));
    EXPECT_NEAR(drawing->unitToPointsConversionFactor(), 2834645.6692913, 1e-6);
    // A unit name that is not in the list counts one point per unit.
    chooseUnits(sheet, QStringLiteral("Furlongs"));
    EXPECT_EQ(drawing->drawingUnits(), QStringLiteral("Furlongs"));
    EXPECT_DOUBLE_EQ(drawing->unitToPointsConversionFactor(), 1.0);
    EXPECT_DOUBLE_EQ(sheet.widthTextField()->value(), 720.0);

    // OK applies the size typed in the shown unit.
    chooseUnits(sheet, QStringLiteral("Inches"));
    sheet.widthTextField()->setValue(12.0);
    sheet.okAction();
    EXPECT_DOUBLE_EQ(drawing->drawingSize().width(), 864.0);
    EXPECT_EQ(drawing->drawingUnits(), QStringLiteral("Inches"));
}

TEST(DrawingSizeController, CancelAfterLiveChangesRestoresEverything)
{
    auto drawing = pointsDrawing();
    VRGridLayer *grid = drawing->gridLayer();
    ASSERT_NE(grid, nullptr);
    grid->setDistanceForUnitSpan(1.0, QStringLiteral("Pixels"), 40.0, 4, 5, 3);
    const double span = grid->spanDistance();
    const QColor gridColour = grid->spanColour();
    const QColor paper = drawing->paperColour();
    const bool prints = grid->shouldDrawToPrinter();

    DrawingSizeController sheet;
    sheet.beginDrawingSizeDialog(nullptr, drawing.get());
    EXPECT_TRUE(sheet.gridPreviewCheckbox()->isChecked());
    chooseUnits(sheet, QStringLiteral("Centimetres"));
    sheet.conversionFactorTextField()->setValue(50.0);
    sheet.gridDivsTextField()->setValue(8);
    sheet.gridMajorsTextField()->setValue(2);
    sheet.gridSpanTextField()->setValue(3.0);
    sheet.gridRulerStepsTextField()->setValue(7);
    sheet.gridThemeColourAction(Qt::red);
    sheet.paperColourAction(Qt::yellow);
    sheet.gridPrintCheckbox()->click();
    // The preview is on the drawing while the sheet is open.
    EXPECT_EQ(drawing->drawingUnits(), QStringLiteral("Centimetres"));
    EXPECT_DOUBLE_EQ(drawing->unitToPointsConversionFactor(), 50.0);
    EXPECT_EQ(grid->divisions(), 8);
    EXPECT_DOUBLE_EQ(grid->spanDistance(), 150.0);
    EXPECT_EQ(drawing->paperColour(), QColor(Qt::yellow));
    EXPECT_NE(grid->shouldDrawToPrinter(), prints);

    sheet.cancelAction();
    EXPECT_EQ(drawing->drawingUnits(), QStringLiteral("Pixels"));
    EXPECT_DOUBLE_EQ(drawing->unitToPointsConversionFactor(), 1.0);
    EXPECT_EQ(drawing->drawingSize(), QSizeF(720, 360));
    EXPECT_DOUBLE_EQ(grid->spanDistance(), span);
    EXPECT_EQ(grid->divisions(), 4);
    EXPECT_EQ(grid->majors(), 5);
    EXPECT_EQ(grid->rulerSteps(), 3);
    EXPECT_EQ(grid->spanColour(), gridColour);
    EXPECT_EQ(drawing->paperColour(), paper);
    EXPECT_EQ(grid->shouldDrawToPrinter(), prints);
}

TEST(DrawingSizeController, WithoutLivePreviewGridChangesWaitForOK)
{
    auto drawing = pointsDrawing();
    VRGridLayer *grid = drawing->gridLayer();
    const int divisions = grid->divisions();
    DrawingSizeController sheet;
    sheet.beginDrawingSizeDialog(nullptr, drawing.get());
    sheet.gridPreviewCheckbox()->click();
    EXPECT_FALSE(sheet.gridPreviewCheckbox()->isChecked());
    sheet.gridDivsTextField()->setValue(divisions + 3);
    EXPECT_EQ(grid->divisions(), divisions);
    sheet.okAction();
    EXPECT_EQ(grid->divisions(), divisions + 3);
}

TEST(DrawingSizeController, APageOrMarginLargerThanADrawingHoldsKeepsTheSheetOpenAndSaysHowLarge)
{
    auto drawing = pointsDrawing();
    DrawingSizeController sheet;
    sheet.beginDrawingSizeDialog(nullptr, drawing.get());
    chooseUnits(sheet, QStringLiteral("Inches"));
    // 10,000,000 points are 138888.9 inches.
    struct Case {
        QDoubleSpinBox *(DrawingSizeController::*field)() const;
        double inches;
    };
    const Case cases[] = {
        {&DrawingSizeController::widthTextField, 138889},
        {&DrawingSizeController::heightTextField, 1e7},
        {&DrawingSizeController::leftMarginTextField, 200000},
        {&DrawingSizeController::bottomMarginTextField, 138889},
    };
    for (const Case &c : cases) {
        QDoubleSpinBox *field = (sheet.*c.field)();
        const double before = field->value();
        field->setValue(c.inches);
        sheet.okAction();
        EXPECT_TRUE(sheet.isVisible()) << c.inches;
        EXPECT_TRUE(sheet.messageText()->isVisibleTo(&sheet)) << c.inches;
        EXPECT_EQ(
            sheet.messageText()->text(),
            QStringLiteral("The page and its margins can be at most %1 %2")
                .arg(QLocale().toString(138888.0, 'f', 0), drawing->abbreviatedDrawingUnits()));
        EXPECT_EQ(drawing->drawingSize(), QSizeF(720, 360)) << c.inches;
        EXPECT_DOUBLE_EQ(drawing->leftMargin(), 36.0) << c.inches;
        field->setValue(before);
    }
    // Up to the limit the sheet closes and the page takes the size.
    sheet.widthTextField()->setValue(138888);
    sheet.okAction();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(sheet.messageText()->isVisibleTo(&sheet));
    EXPECT_DOUBLE_EQ(drawing->drawingSize().width(), 138888 * 72.0);
    // Opened again, the sheet shows no old message.
    sheet.beginDrawingSizeDialog(nullptr, drawing.get());
    EXPECT_FALSE(sheet.messageText()->isVisibleTo(&sheet));
    sheet.cancelAction();
}
