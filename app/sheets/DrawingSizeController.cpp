#include "app/sheets/DrawingSizeController.h"

#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

QDoubleSpinBox *lengthBox(double minimum)
{
    auto *box = new QDoubleSpinBox;
    box->setRange(minimum, 1e7);
    box->setDecimals(4);
    box->setAlignment(Qt::AlignRight);
    box->setKeyboardTracking(false);
    return box;
}

QSpinBox *countBox(int maximum)
{
    auto *box = new QSpinBox;
    box->setRange(1, maximum);
    box->setAlignment(Qt::AlignRight);
    box->setKeyboardTracking(false);
    return box;
}

void setValueQuietly(QDoubleSpinBox *box, double value)
{
    const QSignalBlocker block(box);
    box->setValue(value);
}

void setValueQuietly(QSpinBox *box, int value)
{
    const QSignalBlocker block(box);
    box->setValue(value);
}

} // namespace

DrawingSizeController::DrawingSizeController(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Drawingsize"));
    setWindowTitle(tr("Drawing Size"));

    mWidthTextField = lengthBox(0.001);
    mHeightTextField = lengthBox(0.001);
    mTopMarginTextField = lengthBox(0);
    mLeftMarginTextField = lengthBox(0);
    mRightMarginTextField = lengthBox(0);
    mBottomMarginTextField = lengthBox(0);
    mUnitsComboBox = new QComboBox;
    mUnitsComboBox->setEditable(true);
    mUnitsComboBox->setInsertPolicy(QComboBox::NoInsert);
    mUnitsComboBox->addItems(unitNames());
    mUnitsComboBox->setMaxVisibleItems(int(unitNames().size()));
    mConversionFactorTextField = new QDoubleSpinBox;
    // A factor of zero would make every length infinite.
    mConversionFactorTextField->setRange(0.0001, 1e7);
    mConversionFactorTextField->setDecimals(4);
    mConversionFactorTextField->setAlignment(Qt::AlignRight);
    mConversionFactorTextField->setKeyboardTracking(false);
    mConversionFactorLabelText = new QLabel;
    mPaperColourWell = new QPushButton;
    mTweakMarginsCheckbox = new QCheckBox(tr("Fit margins to the grid"));

    mGridSpanTextField = lengthBox(0.001);
    mGridDivsTextField = countBox(100);
    mGridMajorsTextField = countBox(100);
    mGridRulerStepsTextField = countBox(100);
    mGridAbbrevUnitsText = new QLabel;
    mGridThemeColourWell = new QPushButton;
    mGridPrintCheckbox = new QCheckBox(tr("Print the grid"));
    mGridPreviewCheckbox = new QCheckBox(tr("Live preview"));
    mGridPreviewCheckbox->setChecked(true);
    for (QPushButton *well : {mPaperColourWell, mGridThemeColourWell})
        well->setFixedSize(44, 24);

    auto unitLabel = [this] {
        auto *label = new QLabel;
        m_unitLabels << label;
        return label;
    };
    auto withUnit = [&](QWidget *field) {
        auto *row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(unitLabel());
        return row;
    };

    auto *pageBox = new QGroupBox(tr("Page"));
    auto *page = new QGridLayout(pageBox);
    page->addWidget(new QLabel(tr("Width:")), 0, 0, Qt::AlignRight);
    page->addLayout(withUnit(mWidthTextField), 0, 1);
    page->addWidget(new QLabel(tr("Height:")), 0, 2, Qt::AlignRight);
    page->addLayout(withUnit(mHeightTextField), 0, 3);
    page->addWidget(new QLabel(tr("Top margin:")), 1, 0, Qt::AlignRight);
    page->addLayout(withUnit(mTopMarginTextField), 1, 1);
    page->addWidget(new QLabel(tr("Bottom margin:")), 1, 2, Qt::AlignRight);
    page->addLayout(withUnit(mBottomMarginTextField), 1, 3);
    page->addWidget(new QLabel(tr("Left margin:")), 2, 0, Qt::AlignRight);
    page->addLayout(withUnit(mLeftMarginTextField), 2, 1);
    page->addWidget(new QLabel(tr("Right margin:")), 2, 2, Qt::AlignRight);
    page->addLayout(withUnit(mRightMarginTextField), 2, 3);
    page->addWidget(new QLabel(tr("Paper colour:")), 3, 0, Qt::AlignRight);
    page->addWidget(mPaperColourWell, 3, 1, Qt::AlignLeft);
    page->addWidget(mTweakMarginsCheckbox, 3, 2, 1, 2);

    auto *unitsBox = new QGroupBox(tr("Units"));
    auto *units = new QGridLayout(unitsBox);
    units->addWidget(new QLabel(tr("Drawing units:")), 0, 0, Qt::AlignRight);
    units->addWidget(mUnitsComboBox, 0, 1);
    units->addWidget(mConversionFactorLabelText, 1, 0, Qt::AlignRight);
    auto *factorRow = new QHBoxLayout;
    factorRow->addWidget(mConversionFactorTextField, 1);
    factorRow->addWidget(new QLabel(tr("points")));
    units->addLayout(factorRow, 1, 1);
    units->setColumnStretch(1, 1);

    mGridControlsBox = new QGroupBox(tr("Grid"));
    auto *grid = new QGridLayout(mGridControlsBox);
    grid->addWidget(new QLabel(tr("Span:")), 0, 0, Qt::AlignRight);
    auto *spanRow = new QHBoxLayout;
    spanRow->addWidget(mGridSpanTextField, 1);
    spanRow->addWidget(mGridAbbrevUnitsText);
    grid->addLayout(spanRow, 0, 1);
    grid->addWidget(new QLabel(tr("Divisions:")), 0, 2, Qt::AlignRight);
    grid->addWidget(mGridDivsTextField, 0, 3);
    grid->addWidget(new QLabel(tr("Majors:")), 1, 0, Qt::AlignRight);
    grid->addWidget(mGridMajorsTextField, 1, 1);
    grid->addWidget(new QLabel(tr("Ruler steps:")), 1, 2, Qt::AlignRight);
    grid->addWidget(mGridRulerStepsTextField, 1, 3);
    grid->addWidget(new QLabel(tr("Colour:")), 2, 0, Qt::AlignRight);
    grid->addWidget(mGridThemeColourWell, 2, 1, Qt::AlignLeft);
    grid->addWidget(mGridPrintCheckbox, 2, 2, 1, 2);

    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00020"));
    m_message->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(mGridPreviewCheckbox);
    bottom->addStretch();
    bottom->addWidget(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pageBox);
    layout->addWidget(unitsBox);
    layout->addWidget(mGridControlsBox);
    layout->addWidget(m_message);
    layout->addLayout(bottom);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] { okAction(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancelAction(); });
    connect(this, &QDialog::finished, this, [this](int code) { sheetDidEnd(code); });
    const QList<QDoubleSpinBox *> fields = lengthFields();
    for (int i = 0; i < fields.size(); ++i) {
        connect(fields[i], &QDoubleSpinBox::valueChanged, this,
                [this, i](double value) { m_points[i] = value * mUnitConversionFactor; });
    }
    connect(mGridDivsTextField, &QSpinBox::valueChanged, this, [this] { gridDivsAction(); });
    connect(mGridMajorsTextField, &QSpinBox::valueChanged, this, [this] { gridMajorsAction(); });
    connect(mGridSpanTextField, &QDoubleSpinBox::valueChanged, this, [this] { gridSpanAction(); });
    connect(mGridRulerStepsTextField, &QSpinBox::valueChanged, this,
            [this] { gridRulerStepsAction(); });
    connect(mGridPrintCheckbox, &QCheckBox::clicked, this, [this] { gridPrintAction(); });
    connect(mGridPreviewCheckbox, &QCheckBox::clicked, this, [this] { livePreviewAction(); });
    connect(mUnitsComboBox, &QComboBox::activated, this, [this] { unitsComboBoxAction(); });
    connect(mUnitsComboBox->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (mDrawing && mUnitsComboBox->currentText() != mDrawing->drawingUnits())
            unitsComboBoxAction();
    });
    connect(mConversionFactorTextField, &QDoubleSpinBox::valueChanged, this,
            [this] { conversionFactorAction(); });
    connect(mPaperColourWell, &QPushButton::clicked, this, [this] {
        const QColor colour = QColorDialog::getColor(m_paperColour, this, tr("Paper Colour"));
        if (colour.isValid())
            paperColourAction(colour);
    });
    connect(mGridThemeColourWell, &QPushButton::clicked, this, [this] {
        const QColor colour = QColorDialog::getColor(m_gridColour, this, tr("Grid Colour"));
        if (colour.isValid())
            gridThemeColourAction(colour);
    });
}

QList<QDoubleSpinBox *> DrawingSizeController::lengthFields() const
{
    return {mWidthTextField,      mHeightTextField,      mTopMarginTextField,
            mLeftMarginTextField, mRightMarginTextField, mBottomMarginTextField,
            mGridSpanTextField};
}

void DrawingSizeController::rememberShownLengths()
{
    const QList<QDoubleSpinBox *> fields = lengthFields();
    for (int i = 0; i < fields.size(); ++i)
        m_points[i] = fields[i]->value() * mUnitConversionFactor;
}

QStringList DrawingSizeController::unitNames()
{
    QStringList names;
    for (const VRUnit &unit : VRDrawing::standardUnits())
        names << unit.name;
    return names;
}

void DrawingSizeController::setWellColour(QPushButton *well, const QColor &colour)
{
    QPixmap swatch(32, 14);
    swatch.fill(colour.isValid() ? colour : QColor(Qt::transparent));
    well->setIcon(QIcon(swatch));
    well->setIconSize(swatch.size());
    well->setToolTip(colour.name());
}

void DrawingSizeController::refreshUnitLabels()
{
    const QString units = mUnitsComboBox->currentText();
    mConversionFactorLabelText->setText(tr("1 %1 occupies").arg(units));
    const QString abbreviation = mDrawing ? mDrawing->abbreviatedDrawingUnits() : QString();
    mGridAbbrevUnitsText->setText(abbreviation);
    for (QLabel *label : m_unitLabels)
        label->setText(abbreviation);
}

void DrawingSizeController::setupComboBoxWithCurrentUnits(const QString &units)
{
    const QSignalBlocker block(mUnitsComboBox);
    const int index = mUnitsComboBox->findText(units);
    if (index >= 0)
        mUnitsComboBox->setCurrentIndex(index);
    mUnitsComboBox->setEditText(units);
}

void DrawingSizeController::beginDrawingSizeDialog(QWidget *parentWindow, VRDrawing *drawing)
{
    if (!drawing)
        return;
    mDrawing = drawing;
    mUnitConversionFactor = drawing->unitToPointsConversionFactor();
    m_message->hide();

    m_saved = Saved{};
    m_saved.size = drawing->drawingSize();
    m_saved.margins[0] = drawing->leftMargin();
    m_saved.margins[1] = drawing->topMargin();
    m_saved.margins[2] = drawing->rightMargin();
    m_saved.margins[3] = drawing->bottomMargin();
    m_saved.units = drawing->drawingUnits();
    m_saved.factor = mUnitConversionFactor;
    m_saved.paperColour = drawing->paperColour();
    if (VRGridLayer *grid = drawing->gridLayer()) {
        m_saved.hasGrid = true;
        m_saved.unitDistance = grid->unitDistance();
        m_saved.span = grid->span();
        m_saved.divisions = grid->divisions();
        m_saved.majors = grid->majors();
        m_saved.rulerSteps = grid->rulerSteps();
        m_saved.gridColour = grid->spanColour();
        m_saved.gridPrints = grid->shouldDrawToPrinter();
    }

    setupComboBoxWithCurrentUnits(drawing->drawingUnits());
    prepareDialogWithDrawing(drawing);
    if (parentWindow && parentWidget() != parentWindow)
        setParent(parentWindow, windowFlags() | Qt::Sheet);
    setWindowModality(parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    open();
}

void DrawingSizeController::setLengthFields(double widthPt, double heightPt, double topPt,
                                            double leftPt, double rightPt, double bottomPt,
                                            double spanPt)
{
    const double f = mUnitConversionFactor;
    const double points[7] = {widthPt, heightPt, topPt, leftPt, rightPt, bottomPt, spanPt};
    std::copy(std::begin(points), std::end(points), std::begin(m_points));
    setValueQuietly(mWidthTextField, widthPt / f);
    setValueQuietly(mHeightTextField, heightPt / f);
    setValueQuietly(mTopMarginTextField, topPt / f);
    setValueQuietly(mLeftMarginTextField, leftPt / f);
    setValueQuietly(mRightMarginTextField, rightPt / f);
    setValueQuietly(mBottomMarginTextField, bottomPt / f);
    if (spanPt > 0)
        setValueQuietly(mGridSpanTextField, spanPt / f);
}

void DrawingSizeController::prepareDialogWithDrawing(VRDrawing *drawing)
{
    if (!drawing)
        return;
    VRGridLayer *grid = drawing->gridLayer();
    setLengthFields(drawing->drawingSize().width(), drawing->drawingSize().height(),
                    drawing->topMargin(), drawing->leftMargin(), drawing->rightMargin(),
                    drawing->bottomMargin(), grid ? grid->spanDistance() : 0.0);
    setValueQuietly(mConversionFactorTextField, mUnitConversionFactor);
    m_paperColour = drawing->paperColour();
    setWellColour(mPaperColourWell, m_paperColour);
    mGridControlsBox->setEnabled(grid != nullptr);
    if (grid) {
        setValueQuietly(mGridDivsTextField, grid->divisions());
        setValueQuietly(mGridMajorsTextField, grid->majors());
        setValueQuietly(mGridRulerStepsTextField, grid->rulerSteps());
        m_gridColour = grid->spanColour();
        setWellColour(mGridThemeColourWell, m_gridColour);
        mGridPrintCheckbox->setChecked(grid->shouldDrawToPrinter());
    }
    mGridPreviewCheckbox->setChecked(mLivePreview);
    refreshUnitLabels();
}

void DrawingSizeController::applyGrid(double pointsPerUnit, double span, int divisions, int majors)
{
    if (!mDrawing)
        return;
    if (VRGridLayer *grid = mDrawing->gridLayer())
        grid->setDistanceForUnitSpan(pointsPerUnit, mDrawing->drawingUnits(), span, divisions,
                                     majors, mGridRulerStepsTextField->value());
}

void DrawingSizeController::gridDivsAction()
{
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (grid && mLivePreview)
        applyGrid(mUnitConversionFactor, grid->spanDistance() / mUnitConversionFactor,
                  mGridDivsTextField->value(), grid->majors());
}

void DrawingSizeController::gridMajorsAction()
{
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (grid && mLivePreview)
        applyGrid(mUnitConversionFactor, grid->spanDistance() / mUnitConversionFactor,
                  grid->divisions(), mGridMajorsTextField->value());
}

void DrawingSizeController::gridSpanAction()
{
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (grid && mLivePreview)
        applyGrid(mUnitConversionFactor, mGridSpanTextField->value(), grid->divisions(),
                  grid->majors());
}

void DrawingSizeController::gridRulerStepsAction()
{
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (grid && mLivePreview)
        grid->setRulerSteps(mGridRulerStepsTextField->value());
}

void DrawingSizeController::gridThemeColourAction(const QColor &colour)
{
    m_gridColour = colour;
    setWellColour(mGridThemeColourWell, colour);
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (grid && mLivePreview)
        grid->setGridThemeColour(colour);
}

void DrawingSizeController::gridPrintAction()
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr)
        grid->setShouldDrawToPrinter(mGridPrintCheckbox->isChecked());
}

void DrawingSizeController::livePreviewAction()
{
    mLivePreview = mGridPreviewCheckbox->isChecked();
}

void DrawingSizeController::paperColourAction(const QColor &colour)
{
    m_paperColour = colour;
    setWellColour(mPaperColourWell, colour);
    if (mDrawing && mLivePreview)
        mDrawing->setPaperColour(colour);
}

void DrawingSizeController::unitsComboBoxAction()
{
    if (!mDrawing)
        return;
    const QString units = mUnitsComboBox->currentText().trimmed();
    if (units.isEmpty()) {
        setupComboBoxWithCurrentUnits(mDrawing->drawingUnits());
        return;
    }
    const int index = unitNames().indexOf(units);
    const double factor = index >= 0 ? VRDrawing::standardUnits().at(index).pointsPerUnit : 1.0;
    // The numbers shown keep their lengths: they are read in the old unit and shown in the new.
    double p[7];
    std::copy(std::begin(m_points), std::end(m_points), std::begin(p));
    mUnitConversionFactor = factor;
    mDrawing->setDrawingUnits(units, factor);
    if (VRGridLayer *grid = mDrawing->gridLayer(); grid && mLivePreview)
        grid->synchronizeRulers();
    setLengthFields(p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
    setValueQuietly(mConversionFactorTextField, factor);
    refreshUnitLabels();
}

void DrawingSizeController::conversionFactorAction()
{
    if (!mDrawing)
        return;
    const double previous = mUnitConversionFactor;
    const double factor = mConversionFactorTextField->value();
    if (!(factor > 0) || factor == previous)
        return;
    mUnitConversionFactor = factor;
    // The numbers shown stay; the lengths they stand for follow the new scale.
    rememberShownLengths();
    // The drawing and the sheet keep one scale: the drawing takes the factor at once.
    mDrawing->setDrawingUnits(mDrawing->drawingUnits(), factor);
    VRGridLayer *grid = mDrawing->gridLayer();
    if (grid && mLivePreview)
        applyGrid(factor, grid->spanDistance() / previous, grid->divisions(), grid->majors());
}

void DrawingSizeController::okAction()
{
    // A page or margin larger than a drawing holds would not be taken: the sheet stays open
    // and says how large they may be, in the sheet's unit.
    for (int i = 0; i < 6; ++i) {
        if (!(m_points[i] <= VRDrawing::kMaximumCoordinate)) {
            const double largest = VRDrawing::kMaximumCoordinate / mUnitConversionFactor;
            const int decimals = largest >= 1000 ? 0 : 2;
            const double shown =
                std::floor(largest * std::pow(10, decimals)) / std::pow(10, decimals);
            m_message->setText(
                tr("The page and its margins can be at most %1 %2")
                    .arg(QLocale().toString(shown, 'f', decimals),
                         mDrawing ? mDrawing->abbreviatedDrawingUnits() : QString()));
            m_message->show();
            return;
        }
    }
    m_message->hide();
    done(1);
}

void DrawingSizeController::cancelAction()
{
    done(0);
}

void DrawingSizeController::sheetDidEnd(int returnCode)
{
    if (!mDrawing)
        return;
    VRDrawing *drawing = mDrawing;
    VRGridLayer *grid = drawing->gridLayer();
    const double f = mUnitConversionFactor;
    if (returnCode == 1) {
        drawing->setDrawingSize(QSizeF(m_points[0], m_points[1]));
        drawing->setMarginsLeft(m_points[3], m_points[2], m_points[4], m_points[5]);
        const QString units = mUnitsComboBox->currentText().trimmed();
        drawing->setDrawingUnits(units.isEmpty() ? drawing->drawingUnits() : units, f);
        drawing->setPaperColour(m_paperColour);
        if (grid) {
            grid->setDistanceForUnitSpan(m_points[6], drawing->drawingUnits(), 1.0,
                                         mGridDivsTextField->value(), mGridMajorsTextField->value(),
                                         mGridRulerStepsTextField->value());
            grid->setShouldDrawToPrinter(mGridPrintCheckbox->isChecked());
            if (mTweakMarginsCheckbox->isChecked())
                grid->tweakDrawingMargins();
            grid->setGridThemeColour(m_gridColour);
        }
    } else {
        // Everything the sheet may have applied live goes back to its state at opening.
        drawing->setDrawingSize(m_saved.size);
        drawing->setMarginsLeft(m_saved.margins[0], m_saved.margins[1], m_saved.margins[2],
                                m_saved.margins[3]);
        drawing->setDrawingUnits(m_saved.units, m_saved.factor);
        drawing->setPaperColour(m_saved.paperColour);
        if (grid && m_saved.hasGrid) {
            grid->setDistanceForUnitSpan(m_saved.unitDistance, m_saved.units, m_saved.span,
                                         int(m_saved.divisions), int(m_saved.majors),
                                         m_saved.rulerSteps);
            grid->setGridThemeColour(m_saved.gridColour);
            grid->setShouldDrawToPrinter(m_saved.gridPrints);
            grid->synchronizeRulers();
        }
        mUnitConversionFactor = m_saved.factor;
    }
    drawing->setNeedsDisplay(true);
}
