// The Units & Grid pane of the preferences window and the document defaults.
#include "app/common/QntConstants.h"
#include "app/panels/QntPreferenceController.h"
#include "framework/base/SVGColourConverter.h"
#include "framework/base/VRConstants.h"
#include "framework/base/VRNumberFormat.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "inspectors/QntColorWell.h"
#include "platform/KeyedArchiver.h"
#include "platform/PropertyList.h"
#include "platform/QntPaths.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

UserDefaults &store()
{
    return UserDefaults::standardUserDefaults();
}

struct Preset {
    const char *name;
    double width, height; // centimetres; 0 = the printer's imageable page
};

const Preset kPresets[] = {
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Imageable part of printer paper"), 0, 0},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Small"), 20.99, 29.7},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Small landscape"), 29.7, 20.99},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Medium"), 29.7, 42.02},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Medium landscape"), 42.02, 29.7},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Large"), 352.78, 352.78},
    {QT_TRANSLATE_NOOP("QntPreferenceController", "Other"), -1, -1},
};

// The application's build number (the bundle's CFBundleVersion).
qint64 buildNumber()
{
    QFile file(QntPaths::bundleResourcesPath() + QStringLiteral("/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const std::optional<QVariant> info = PropertyList::fromData(file.read(1 << 20));
    if (!info)
        return 0;
    return info->toMap().value(QStringLiteral("CFBundleVersion")).toString().toLongLong();
}

QLineEdit *lengthField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaximumWidth(90);
    return field;
}

// Lengths in points that differ only by what converting to the drawing's units and back
// rounds away.
bool sameLength(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b));
}

} // namespace

QStringList QntPreferenceController::unitNames()
{
    QStringList names;
    for (const VRUnit &unit : VRDrawing::standardUnits())
        names << tr(unit.name.toUtf8().constData());
    return names;
}

QStringList QntPreferenceController::sizesNames()
{
    QStringList names;
    for (const Preset &preset : kPresets)
        names << tr(preset.name);
    return names;
}

double QntPreferenceController::factorOfUnitsText(const QString &text) const
{
    const int index = int(unitNames().indexOf(text));
    return index >= 0 ? VRDrawing::standardUnits().at(index).pointsPerUnit : 1.0;
}

QString QntPreferenceController::formatted(double value, int decimals) const
{
    return vrFormattedNumber(value, decimals);
}

QWidget *QntPreferenceController::makeUnitsPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("unitsPane"));
    auto *outer = new QVBoxLayout(pane);
    _unitsPaneBkgLabel = new QLabel(tr("Open a drawing to set its units, size and grid."), pane);
    _unitsPaneBkgLabel->setAlignment(Qt::AlignCenter);
    outer->addWidget(_unitsPaneBkgLabel);
    _unitsPaneControls = new QWidget(pane);
    _unitsPaneControls->setObjectName(QStringLiteral("unitsPaneControls"));
    outer->addWidget(_unitsPaneControls);
    auto *layout = new QVBoxLayout(_unitsPaneControls);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *units = new QGroupBox(tr("Units and size"), _unitsPaneControls);
    auto *grid = new QGridLayout(units);
    grid->addWidget(new QLabel(tr("Units"), units), 0, 0);
    mUnitsComboBox = new QComboBox(units);
    mUnitsComboBox->setObjectName(QStringLiteral("unitsComboBox"));
    mUnitsComboBox->addItems(unitNames());
    grid->addWidget(mUnitsComboBox, 0, 1);
    mConversionFactorLabelText = new QLabel(units);
    grid->addWidget(mConversionFactorLabelText, 0, 2);
    mConversionFactorTextField = lengthField(units, "conversionFactorTextField");
    grid->addWidget(mConversionFactorTextField, 0, 3);
    grid->addWidget(new QLabel(tr("points"), units), 0, 4);
    grid->addWidget(new QLabel(tr("Size"), units), 1, 0);
    mSizesComboBox = new QComboBox(units);
    mSizesComboBox->setObjectName(QStringLiteral("sizesComboBox"));
    mSizesComboBox->addItems(sizesNames());
    grid->addWidget(mSizesComboBox, 1, 1);
    mWidthTextField = lengthField(units, "widthTextField");
    mHeightTextField = lengthField(units, "heightTextField");
    grid->addWidget(mWidthTextField, 1, 2);
    grid->addWidget(mHeightTextField, 1, 3);
    auto *enlarge = new QWidget(units);
    auto *enlargeRow = new QHBoxLayout(enlarge);
    enlargeRow->setContentsMargins(0, 0, 0, 0);
    auto *right = new QPushButton(tr("Add Page Right"), enlarge);
    right->setObjectName(QStringLiteral("enlargeRight"));
    auto *down = new QPushButton(tr("Add Page Below"), enlarge);
    down->setObjectName(QStringLiteral("enlargeDown"));
    enlargeRow->addWidget(right);
    enlargeRow->addWidget(down);
    enlargeRow->addStretch(1);
    grid->addWidget(enlarge, 2, 1, 1, 4);
    grid->addWidget(new QLabel(tr("Margins"), units), 3, 0);
    mLeftMarginTextField = lengthField(units, "leftMarginTextField");
    mTopMarginTextField = lengthField(units, "topMarginTextField");
    mRightMarginTextField = lengthField(units, "rightMarginTextField");
    mBottomMarginTextField = lengthField(units, "bottomMarginTextField");
    auto *margins = new QWidget(units);
    auto *marginRow = new QHBoxLayout(margins);
    marginRow->setContentsMargins(0, 0, 0, 0);
    for (auto [label, field] :
         {std::pair{tr("Left"), mLeftMarginTextField}, std::pair{tr("Top"), mTopMarginTextField},
          std::pair{tr("Right"), mRightMarginTextField},
          std::pair{tr("Bottom"), mBottomMarginTextField}}) {
        marginRow->addWidget(new QLabel(label, margins));
        field->setMaximumWidth(60);
        marginRow->addWidget(field);
    }
    grid->addWidget(margins, 3, 1, 1, 4);
    mTweakMarginsCheckbox = new QCheckBox(tr("Fit margins to the grid"), units);
    mTweakMarginsCheckbox->setObjectName(QStringLiteral("tweakMarginsCheckbox"));
    grid->addWidget(mTweakMarginsCheckbox, 4, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Paper"), units), 5, 0);
    mPaperColourWell = new QntColorWell(units);
    mPaperColourWell->setObjectName(QStringLiteral("paperColourWell"));
    grid->addWidget(mPaperColourWell, 5, 1, Qt::AlignLeft);
    mShowPageBreaksCheckbox = new QCheckBox(tr("Page breaks"), units);
    mShowPageBreaksCheckbox->setObjectName(QStringLiteral("showPageBreaksCheckbox"));
    grid->addWidget(mShowPageBreaksCheckbox, 6, 1);
    mFitPaginationCheckbox = new QCheckBox(tr("Fit to one page"), units);
    mFitPaginationCheckbox->setObjectName(QStringLiteral("fitPaginationCheckbox"));
    grid->addWidget(mFitPaginationCheckbox, 6, 2, 1, 2);
    layout->addWidget(units);

    auto *gridBox = new QGroupBox(tr("Grid"), _unitsPaneControls);
    auto *g = new QGridLayout(gridBox);
    mShowGridCheckbox = new QCheckBox(tr("Show grid"), gridBox);
    mShowGridCheckbox->setObjectName(QStringLiteral("showGridCheckbox"));
    g->addWidget(mShowGridCheckbox, 0, 0);
    mGridPrintCheckbox = new QCheckBox(tr("Print grid"), gridBox);
    mGridPrintCheckbox->setObjectName(QStringLiteral("gridPrintCheckbox"));
    g->addWidget(mGridPrintCheckbox, 0, 1);
    g->addWidget(new QLabel(tr("Span"), gridBox), 1, 0);
    mGridSpanTextField = lengthField(gridBox, "gridSpanTextField");
    g->addWidget(mGridSpanTextField, 1, 1);
    mGridAbbrevUnitsText = new QLabel(gridBox);
    g->addWidget(mGridAbbrevUnitsText, 1, 2);
    auto spin = [gridBox](const char *name, int low, int high) {
        auto *box = new QSpinBox(gridBox);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(low, high);
        return box;
    };
    g->addWidget(new QLabel(tr("Divisions"), gridBox), 2, 0);
    mGridDivsSpinControl = spin("gridDivsSpin", 1, 100);
    g->addWidget(mGridDivsSpinControl, 2, 1);
    g->addWidget(new QLabel(tr("Majors"), gridBox), 3, 0);
    mGridMajorsSpinControl = spin("gridMajorsSpin", 1, 100);
    g->addWidget(mGridMajorsSpinControl, 3, 1);
    g->addWidget(new QLabel(tr("Ruler steps"), gridBox), 4, 0);
    mGridRulerStepsSpinControl = spin("gridRulerStepsSpin", 1, 100);
    g->addWidget(mGridRulerStepsSpinControl, 4, 1);
    g->addWidget(new QLabel(tr("Colour"), gridBox), 5, 0);
    mGridThemeColourWell = new QntColorWell(gridBox);
    mGridThemeColourWell->setObjectName(QStringLiteral("gridThemeColourWell"));
    g->addWidget(mGridThemeColourWell, 5, 1, Qt::AlignLeft);
    layout->addWidget(gridBox);

    auto *defaultsRow = new QHBoxLayout;
    auto *defaults = new QPushButton(tr("Document Defaults"), _unitsPaneControls);
    defaults->setObjectName(QStringLiteral("documentDefaultsButton"));
    auto *menu = new QMenu(defaults);
    const QStringList commands{tr("Save as Defaults for New Documents"),
                               tr("Forget Saved Defaults and Apply Factory Settings"),
                               tr("Apply Factory Settings"), tr("Apply Saved Defaults")};
    _defaultsCommand = new QComboBox(_unitsPaneControls);
    _defaultsCommand->setVisible(false);
    for (int tag = 0; tag < commands.size(); ++tag) {
        QAction *item = menu->addAction(commands.at(tag));
        item->setObjectName(QStringLiteral("documentDefaults%1").arg(tag));
        connect(item, &QAction::triggered, this, [this, tag] { saveAsDefaults(tag); });
        _defaultsCommand->addItem(commands.at(tag), tag);
    }
    defaults->setMenu(menu);
    defaultsRow->addWidget(defaults);
    _unitsMessage = new QLabel(_unitsPaneControls);
    _unitsMessage->setObjectName(QStringLiteral("unitsMessage"));
    _unitsMessage->setStyleSheet(QStringLiteral("QLabel { color: #a01010; }"));
    defaultsRow->addWidget(_unitsMessage, 1);
    layout->addLayout(defaultsRow);
    layout->addStretch(1);

    connect(mUnitsComboBox, &QComboBox::activated, this,
            &QntPreferenceController::unitsComboBoxAction);
    connect(mConversionFactorTextField, &QLineEdit::editingFinished, this,
            &QntPreferenceController::conversionFactorAction);
    connect(mSizesComboBox, &QComboBox::activated, this,
            &QntPreferenceController::sizesPresetComboBoxAction);
    for (QLineEdit *field : {mWidthTextField, mHeightTextField}) {
        connect(field, &QLineEdit::editingFinished, this,
                &QntPreferenceController::widthHeightAction);
    }
    for (QLineEdit *field : {mWidthTextField, mHeightTextField, mLeftMarginTextField,
                             mTopMarginTextField, mRightMarginTextField, mBottomMarginTextField})
        connect(field, &QLineEdit::textEdited, this,
                &QntPreferenceController::controlTextDidChange);
    for (QLineEdit *field :
         {mLeftMarginTextField, mTopMarginTextField, mRightMarginTextField, mBottomMarginTextField})
        connect(field, &QLineEdit::editingFinished, this, &QntPreferenceController::marginsAction);
    connect(mTweakMarginsCheckbox, &QCheckBox::clicked, this,
            &QntPreferenceController::tweakMarginsAction);
    connect(mPaperColourWell, &QntColorWell::colorChanged, this,
            &QntPreferenceController::paperColourAction);
    connect(right, &QPushButton::clicked, this, &QntPreferenceController::enlargeRightAction);
    connect(down, &QPushButton::clicked, this, &QntPreferenceController::enlargeDownAction);
    connect(mShowPageBreaksCheckbox, &QCheckBox::clicked, this,
            &QntPreferenceController::setShowPageBreaksAction);
    connect(mFitPaginationCheckbox, &QCheckBox::clicked, this,
            &QntPreferenceController::setFitPaginationAction);
    connect(mShowGridCheckbox, &QCheckBox::clicked, this,
            &QntPreferenceController::setShowGridAction);
    connect(mGridPrintCheckbox, &QCheckBox::clicked, this,
            &QntPreferenceController::gridPrintAction);
    connect(mGridSpanTextField, &QLineEdit::editingFinished, this,
            &QntPreferenceController::gridSpanAction);
    connect(mGridDivsSpinControl, &QSpinBox::valueChanged, this, [this] {
        if (!m_filling)
            gridDivsAction();
    });
    connect(mGridMajorsSpinControl, &QSpinBox::valueChanged, this, [this] {
        if (!m_filling)
            gridMajorsAction();
    });
    connect(mGridRulerStepsSpinControl, &QSpinBox::valueChanged, this, [this] {
        if (!m_filling)
            gridRulerStepsAction();
    });
    connect(mGridThemeColourWell, &QntColorWell::colorChanged, this,
            &QntPreferenceController::gridThemeColourAction);
    return pane;
}

void QntPreferenceController::resetDrawing(const Notification &notification)
{
    if (!mDrawing || notification.object != mDrawing.data())
        return;
    prepareDialogWithDrawing(nullptr);
    mDrawing = nullptr;
}

void QntPreferenceController::prepareDialogWithDrawing(VRDrawing *drawing)
{
    _unitsMessage->clear();
    if (!drawing) {
        _unitsPaneControls->setVisible(false);
        _unitsPaneBkgLabel->setVisible(true);
        initUpdatePane();
        return;
    }
    m_filling = true;
    _unitsPaneControls->setVisible(true);
    _unitsPaneBkgLabel->setVisible(false);
    mDrawing = drawing;
    mUnitConversionFactor = drawing->unitToPointsConversionFactor();
    const double f = mUnitConversionFactor;
    const int unitIndex = int(unitNames().indexOf(tr(drawing->drawingUnits().toUtf8())));
    if (unitIndex >= 0)
        mUnitsComboBox->setCurrentIndex(unitIndex);
    mConversionFactorLabelText->setText(tr("1 %1 occupies").arg(mUnitsComboBox->currentText()));
    showLength(mWidthTextField, drawing->drawingSize().width() / f);
    showLength(mHeightTextField, drawing->drawingSize().height() / f);
    showLength(mTopMarginTextField, drawing->topMargin() / f);
    showLength(mLeftMarginTextField, drawing->leftMargin() / f);
    showLength(mRightMarginTextField, drawing->rightMargin() / f);
    showLength(mBottomMarginTextField, drawing->bottomMargin() / f);
    showLength(mConversionFactorTextField, f, 10);
    mPaperColourWell->setColor(drawing->paperColour());
    mShowPageBreaksCheckbox->setChecked(drawing->pageBreaksVisible());
    mFitPaginationCheckbox->setChecked(drawing->paginationMode() == 1);
    const int preset = int(sizesNames().indexOf(store().stringForKey(QntPaperSizePresetKey)));
    mSizesComboBox->setCurrentIndex(preset >= 0 ? preset : int(sizesNames().size()) - 1);
    if (VRGridLayer *grid = drawing->gridLayer()) {
        showLength(mGridSpanTextField, grid->spanDistance() * grid->spanMultiplier() / f);
        mGridDivsSpinControl->setValue(grid->divisions());
        mGridMajorsSpinControl->setValue(grid->majors());
        mGridThemeColourWell->setColor(grid->spanColour());
        mGridPrintCheckbox->setChecked(grid->shouldDrawToPrinter());
        mGridAbbrevUnitsText->setText(drawing->abbreviatedDrawingUnits());
        mGridRulerStepsSpinControl->setValue(grid->rulerSteps());
        mShowGridCheckbox->setChecked(grid->isVisible());
    }
    m_filling = false;
    initUpdatePane();
    if (QCheckBox *help = checkBox(QntDisplayHelpMessagesKey))
        help->setChecked(store().boolForKey(QntDisplayHelpMessagesKey));
}

void QntPreferenceController::showLength(QLineEdit *field, double value, int decimals)
{
    const QString text = formatted(value, decimals);
    m_shownLengths.insert(field, {text, value});
    field->setText(text);
}

bool QntPreferenceController::validLength(QLineEdit *field, double *value, bool positive)
{
    bool ok = false;
    double v = 0;
    // A field whose text is still the rounded one it was filled with stands for the exact value:
    // confirming it unchanged must not round the drawing.
    if (const auto shown = m_shownLengths.constFind(field);
        shown != m_shownLengths.cend() && shown->first == field->text()) {
        v = shown->second;
        ok = true;
    }
    if (!ok)
        v = QLocale().toDouble(field->text().trimmed(), &ok);
    if (!ok)
        v = field->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || (positive && v <= 0)) {
        _unitsMessage->setText(positive
                                   ? tr("“%1” is not a length greater than 0.").arg(field->text())
                                   : tr("“%1” is not a length of 0 or more.").arg(field->text()));
        return false;
    }
    _unitsMessage->clear();
    *value = v;
    return true;
}

void QntPreferenceController::unitsComboBoxAction()
{
    if (!mDrawing)
        return;
    const QString text = mUnitsComboBox->currentText();
    const int index = int(unitNames().indexOf(text));
    const QString unitName = index >= 0 ? VRDrawing::standardUnits().at(index).name : text;
    if (unitName == mDrawing->drawingUnits())
        return;
    const double newFactor = factorOfUnitsText(text);
    const double ratio = newFactor / mUnitConversionFactor;
    mUnitConversionFactor = newFactor;
    mConversionFactorLabelText->setText(tr("1 %1 occupies").arg(text));
    mDrawing->setDrawingUnits(unitName, newFactor);
    showLength(mConversionFactorTextField, newFactor, 10);
    mGridAbbrevUnitsText->setText(mDrawing->abbreviatedDrawingUnits());
    // The grid keeps its span in points: only the number shown changes (from the grid itself,
    // so that no rounding of the field creeps in).
    if (VRGridLayer *grid = mDrawing->gridLayer(); grid && std::isfinite(ratio) && ratio > 0) {
        const double span = grid->spanDistance() * grid->spanMultiplier() / newFactor;
        showLength(mGridSpanTextField, span);
        grid->setDistanceForUnitSpan(newFactor, unitName, span, grid->divisions(), grid->majors(),
                                     mGridRulerStepsSpinControl->value());
        mDrawing->setNeedsDisplay(true);
    }
    refreshSizeFields(false);
    refreshMarginFields();
    if (VRGridLayer *grid = mDrawing->gridLayer())
        grid->synchronizeRulers();
    NotificationCenter::defaultCenter().post(kQntHighlightChangedNotification);
}

void QntPreferenceController::conversionFactorAction()
{
    if (!mDrawing)
        return;
    double factor = 0;
    if (!validLength(mConversionFactorTextField, &factor, true)) {
        showLength(mConversionFactorTextField, mUnitConversionFactor, 10);
        return;
    }
    const double previous = mUnitConversionFactor;
    if (factor == previous)
        return;
    mUnitConversionFactor = factor;
    if (VRGridLayer *grid = mDrawing->gridLayer()) {
        grid->setDistanceForUnitSpan(factor, mDrawing->drawingUnits(),
                                     grid->spanDistance() / previous, grid->divisions(),
                                     grid->majors(), mGridRulerStepsSpinControl->value());
    }
    // The drawing takes the factor too, so that the pane and the drawing agree on the scale.
    mDrawing->setDrawingUnits(mDrawing->drawingUnits(), factor);
    refreshSizeFields(false);
    refreshMarginFields();
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::sizesPresetComboBoxAction()
{
    const int index = mSizesComboBox->currentIndex();
    const QString text = mSizesComboBox->currentText();
    if (mDrawing && index >= 0 && index < int(std::size(kPresets)) - 1) {
        const Preset &preset = kPresets[index];
        if (preset.width == 0) {
            mUnitsComboBox->setCurrentIndex(0); // Pixels
            unitsComboBoxAction();
            const QRectF page = mDrawing->printInfo().imageablePageBounds();
            showLength(mWidthTextField, page.width());
            showLength(mHeightTextField, page.height());
        } else {
            mUnitsComboBox->setCurrentIndex(4); // Centimetres
            unitsComboBoxAction();
            showLength(mWidthTextField, preset.width);
            showLength(mHeightTextField, preset.height);
        }
        setDrawingSize();
    }
    store().setObject(text, QntPaperSizePresetKey);
}

void QntPreferenceController::widthHeightAction()
{
    setDrawingSize();
}

void QntPreferenceController::setDrawingSize()
{
    if (!mDrawing)
        return;
    double width = 0, height = 0;
    if (!validLength(mWidthTextField, &width, true)
        || !validLength(mHeightTextField, &height, true))
        return;
    const QSizeF size(width * mUnitConversionFactor, height * mUnitConversionFactor);
    const QSizeF current = mDrawing->drawingSize();
    if (sameLength(size.width(), current.width()) && sameLength(size.height(), current.height()))
        return; // confirmed unchanged: no step to undo
    mDrawing->setDrawingSize(size);
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::controlTextDidChange()
{
    mSizesComboBox->setCurrentIndex(int(std::size(kPresets)) - 1); // "Other"
}

void QntPreferenceController::marginsAction()
{
    if (!mDrawing)
        return;
    double l = 0, t = 0, r = 0, b = 0;
    if (!validLength(mLeftMarginTextField, &l, false)
        || !validLength(mTopMarginTextField, &t, false)
        || !validLength(mRightMarginTextField, &r, false)
        || !validLength(mBottomMarginTextField, &b, false))
        return;
    const double f = mUnitConversionFactor;
    if (sameLength(l * f, mDrawing->leftMargin()) && sameLength(t * f, mDrawing->topMargin())
        && sameLength(r * f, mDrawing->rightMargin())
        && sameLength(b * f, mDrawing->bottomMargin()))
        return; // confirmed unchanged: no step to undo
    mDrawing->setMarginsLeft(l * f, t * f, r * f, b * f);
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::tweakMarginsAction()
{
    if (mDrawing && mTweakMarginsCheckbox->isChecked()) {
        if (VRGridLayer *grid = mDrawing->gridLayer())
            grid->tweakDrawingMargins();
        prepareDialogWithDrawing(mDrawing);
    }
}

void QntPreferenceController::paperColourAction(const QColor &colour)
{
    if (mDrawing && colour.isValid())
        mDrawing->setPaperColour(colour);
}

void QntPreferenceController::refreshSizeFields(bool presetToOther)
{
    if (!mDrawing)
        return;
    if (presetToOther)
        controlTextDidChange();
    mUnitConversionFactor = mDrawing->unitToPointsConversionFactor();
    showLength(mWidthTextField, mDrawing->drawingSize().width() / mUnitConversionFactor);
    showLength(mHeightTextField, mDrawing->drawingSize().height() / mUnitConversionFactor);
}

void QntPreferenceController::refreshMarginFields()
{
    if (!mDrawing)
        return;
    const double f = mUnitConversionFactor;
    showLength(mTopMarginTextField, mDrawing->topMargin() / f);
    showLength(mLeftMarginTextField, mDrawing->leftMargin() / f);
    showLength(mRightMarginTextField, mDrawing->rightMargin() / f);
    showLength(mBottomMarginTextField, mDrawing->bottomMargin() / f);
}

void QntPreferenceController::enlargeRightAction()
{
    VRDrawingDocument *document = currentDocument();
    if (!mDrawing || !document || document->drawing() != mDrawing)
        return;
    document->enlargeRightAction(nullptr);
    refreshSizeFields(true);
}

void QntPreferenceController::enlargeDownAction()
{
    VRDrawingDocument *document = currentDocument();
    if (!mDrawing || !document || document->drawing() != mDrawing)
        return;
    document->enlargeDownAction(nullptr);
    refreshSizeFields(false);
}

void QntPreferenceController::setFitPaginationAction()
{
    if (!mDrawing)
        return;
    mDrawing->setPaginationMode(mFitPaginationCheckbox->isChecked() ? 1 : 0);
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::setShowPageBreaksAction()
{
    if (!mDrawing)
        return;
    mDrawing->setPageBreaksVisible(mShowPageBreaksCheckbox->isChecked());
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::setShowGridAction()
{
    showGrid(mShowGridCheckbox->isChecked() ? 1 : 0);
}

void QntPreferenceController::showGrid(int show)
{
    if (!mDrawing || !mDrawing->gridLayer())
        return;
    mDrawing->gridLayer()->setVisible(show != 0);
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::gridSpanAction()
{
    VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr;
    if (!grid)
        return;
    double span = 0;
    if (!validLength(mGridSpanTextField, &span, true))
        return;
    if (span == grid->spanDistance() * grid->spanMultiplier() / mUnitConversionFactor)
        return; // confirmed unchanged: no step to undo
    grid->setDistanceForUnitSpan(mUnitConversionFactor, mDrawing->drawingUnits(), span,
                                 grid->divisions(), grid->majors(),
                                 mGridRulerStepsSpinControl->value());
    mDrawing->setNeedsDisplay(true);
}

void QntPreferenceController::gridDivsAction()
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr) {
        grid->setDistanceForUnitSpan(
            mUnitConversionFactor, mDrawing->drawingUnits(),
            grid->spanDistance() * grid->spanMultiplier() / mUnitConversionFactor,
            mGridDivsSpinControl->value(), grid->majors(), mGridRulerStepsSpinControl->value());
        mDrawing->setNeedsDisplay(true);
    }
}

void QntPreferenceController::gridMajorsAction()
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr) {
        grid->setDistanceForUnitSpan(mUnitConversionFactor, mDrawing->drawingUnits(),
                                     grid->spanDistance() * grid->spanMultiplier()
                                         / mUnitConversionFactor,
                                     grid->divisions(), mGridMajorsSpinControl->value(),
                                     mGridRulerStepsSpinControl->value());
        mDrawing->setNeedsDisplay(true);
    }
}

void QntPreferenceController::gridRulerStepsAction()
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr) {
        grid->setRulerSteps(mGridRulerStepsSpinControl->value());
        mDrawing->setNeedsDisplay(true);
    }
}

void QntPreferenceController::gridThemeColourAction(const QColor &colour)
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr) {
        if (colour.isValid()) {
            grid->setGridThemeColour(colour);
            mDrawing->setNeedsDisplay(true);
        }
    }
}

void QntPreferenceController::gridPrintAction()
{
    if (VRGridLayer *grid = mDrawing ? mDrawing->gridLayer() : nullptr)
        grid->setShouldDrawToPrinter(mGridPrintCheckbox->isChecked());
}

// ---- document defaults --------------------------------------------------------------------------

QVariantMap QntPreferenceController::dictDefaults()
{
    QColor grid = SVGColourConverter::colorWithHexRGB(QStringLiteral("#e5e5e5"));
    return {
        {QStringLiteral("kQntDefaultDocumentSizePreset"), QString(QLatin1String(""))},
        {QStringLiteral("kQntDefaultDocumentShowPageBreaks"), qint64(0)},
        {QStringLiteral("kQntDefaultDocumentFitToPage"), qint64(0)},
        {QStringLiteral("kQntDefaultDocumentDrawingWidth"), 59.45},
        {QStringLiteral("kQntDefaultDocumentDrawingHeight"), 42.05},
        {QStringLiteral("kQntDefaultDocumentUnits"), tr("Centimetres")},
        {QStringLiteral("kQntDefaultDocumentConversionFactor"), 28.346},
        {QStringLiteral("kQntDefaultDocumentMarginLeft"), 1.225},
        {QStringLiteral("kQntDefaultDocumentMarginRight"), 1.225},
        {QStringLiteral("kQntDefaultDocumentMarginTop"), 1.025},
        {QStringLiteral("kQntDefaultDocumentMarginBottom"), 1.025},
        {QStringLiteral("kQntDefaultDocumentTweakMarginToFitGrid"), qint64(0)},
        {QStringLiteral("kQntDefaultDocumentPaperColor"),
         KeyedArchiver::archivedDataWithColor(Qt::white)},
        {QStringLiteral("kQntDefaultDocumentGridSpan"), 1.0},
        {QStringLiteral("kQntDefaultDocumentGridDivs"), qint64(5)},
        {QStringLiteral("kQntDefaultDocumentGridMajors"), qint64(10)},
        {QStringLiteral("kQntDefaultDocumentGridRulerStep"), qint64(2)},
        {QStringLiteral("kQntDefaultDocumentGridColor"),
         KeyedArchiver::archivedDataWithColor(grid)},
        {QStringLiteral("kQntDefaultDocumentGridPrint"), qint64(0)},
        {kQntDefaultDocumentShowGrid, qint64(1)},
    };
}

void QntPreferenceController::saveAsDefaults(int tag)
{
    switch (tag) {
    case 0: {
        if (!mDrawing)
            return;
        double number = 0;
        auto real = [&](QLineEdit *field) {
            return validLength(field, &number, false) ? number : 0.0;
        };
        QVariantMap d;
        d.insert(QStringLiteral("kQntDefaultDocumentSizePreset"), mSizesComboBox->currentText());
        d.insert(QStringLiteral("kQntDefaultDocumentShowPageBreaks"),
                 qint64(mShowPageBreaksCheckbox->isChecked()));
        d.insert(QStringLiteral("kQntDefaultDocumentFitToPage"),
                 qint64(mFitPaginationCheckbox->isChecked()));
        d.insert(QStringLiteral("kQntDefaultDocumentDrawingWidth"), real(mWidthTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentDrawingHeight"), real(mHeightTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentUnits"), mUnitsComboBox->currentText());
        d.insert(QStringLiteral("kQntDefaultDocumentConversionFactor"),
                 real(mConversionFactorTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentMarginLeft"), real(mLeftMarginTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentMarginRight"), real(mRightMarginTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentMarginTop"), real(mTopMarginTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentMarginBottom"), real(mBottomMarginTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentTweakMarginToFitGrid"),
                 qint64(mTweakMarginsCheckbox->isChecked()));
        d.insert(QStringLiteral("kQntDefaultDocumentPaperColor"),
                 KeyedArchiver::archivedDataWithColor(mPaperColourWell->color()));
        d.insert(QStringLiteral("kQntDefaultDocumentGridSpan"), real(mGridSpanTextField));
        d.insert(QStringLiteral("kQntDefaultDocumentGridDivs"),
                 qint64(mGridDivsSpinControl->value()));
        d.insert(QStringLiteral("kQntDefaultDocumentGridMajors"),
                 qint64(mGridMajorsSpinControl->value()));
        d.insert(QStringLiteral("kQntDefaultDocumentGridRulerStep"),
                 qint64(mGridRulerStepsSpinControl->value()));
        d.insert(QStringLiteral("kQntDefaultDocumentGridColor"),
                 KeyedArchiver::archivedDataWithColor(mGridThemeColourWell->color()));
        d.insert(QStringLiteral("kQntDefaultDocumentGridPrint"),
                 qint64(mGridPrintCheckbox->isChecked()));
        d.insert(kQntDefaultDocumentShowGrid, qint64(mShowGridCheckbox->isChecked()));
        store().setObject(d, kQntDefaultDocument);
        store().synchronize();
        _unitsMessage->setText(tr("Saved for new documents."));
        return;
    }
    case 1:
        store().removeObjectForKey(kQntDefaultDocument);
        applyDefaultsToDrawing(mDrawing, dictDefaults());
        return;
    case 2: applyDefaultsToDrawing(mDrawing, dictDefaults()); return;
    case 3: {
        const QVariantMap saved = store().dictionaryForKey(kQntDefaultDocument);
        applyDefaultsToDrawing(mDrawing, saved.isEmpty() ? dictDefaults() : saved);
        return;
    }
    default: return;
    }
}

void QntPreferenceController::applyDefaultsToDrawing(VRDrawing *drawing,
                                                     const QVariantMap &dictionary)
{
    if (!drawing)
        return;
    prepareDialogWithDrawing(drawing);
    auto text = [&](const char *key) { return dictionary.value(QLatin1String(key)).toString(); };
    auto number = [&](const char *key) { return dictionary.value(QLatin1String(key)).toDouble(); };
    auto flag = [&](const QString &key) { return dictionary.value(key).toLongLong() != 0; };
    auto colour = [&](const char *key) {
        return KeyedArchiver::unarchiveColor(dictionary.value(QLatin1String(key)).toByteArray());
    };

    showLength(mConversionFactorTextField, number("kQntDefaultDocumentConversionFactor"), 10);
    conversionFactorAction();
    const int unit = mUnitsComboBox->findText(text("kQntDefaultDocumentUnits"));
    if (unit >= 0) {
        mUnitsComboBox->setCurrentIndex(unit);
        unitsComboBoxAction();
    }
    showLength(mWidthTextField, number("kQntDefaultDocumentDrawingWidth"));
    widthHeightAction();
    showLength(mHeightTextField, number("kQntDefaultDocumentDrawingHeight"));
    widthHeightAction();
    const int preset = mSizesComboBox->findText(text("kQntDefaultDocumentSizePreset"));
    mSizesComboBox->setCurrentIndex(preset >= 0 ? preset : int(std::size(kPresets)) - 1);
    mShowPageBreaksCheckbox->setChecked(flag(QStringLiteral("kQntDefaultDocumentShowPageBreaks")));
    setShowPageBreaksAction();
    mFitPaginationCheckbox->setChecked(flag(QStringLiteral("kQntDefaultDocumentFitToPage")));
    setFitPaginationAction();
    showLength(mLeftMarginTextField, number("kQntDefaultDocumentMarginLeft"));
    showLength(mTopMarginTextField, number("kQntDefaultDocumentMarginTop"));
    showLength(mRightMarginTextField, number("kQntDefaultDocumentMarginRight"));
    showLength(mBottomMarginTextField, number("kQntDefaultDocumentMarginBottom"));
    marginsAction();
    mTweakMarginsCheckbox->setChecked(
        flag(QStringLiteral("kQntDefaultDocumentTweakMarginToFitGrid")));
    tweakMarginsAction();
    if (const auto paper = colour("kQntDefaultDocumentPaperColor")) {
        mPaperColourWell->setColor(*paper);
        paperColourAction(*paper);
    }
    showLength(mGridSpanTextField, number("kQntDefaultDocumentGridSpan"));
    gridSpanAction();
    m_filling = true;
    mGridDivsSpinControl->setValue(
        int(dictionary.value("kQntDefaultDocumentGridDivs").toLongLong()));
    mGridMajorsSpinControl->setValue(
        int(dictionary.value("kQntDefaultDocumentGridMajors").toLongLong()));
    mGridRulerStepsSpinControl->setValue(
        int(dictionary.value("kQntDefaultDocumentGridRulerStep").toLongLong()));
    m_filling = false;
    gridDivsAction();
    gridMajorsAction();
    gridRulerStepsAction();
    const QString migrated = QStringLiteral("kQntDefaultDocumentSettingPrior2_0_0Removed");
    if (buildNumber() >= 1900 && !store().objectForKey(migrated).isValid()) {
        store().removeObjectForKey(QStringLiteral("kQntDefaultDocumentGridColor"));
        store().setInteger(1, migrated);
    } else if (const auto gridColour = colour("kQntDefaultDocumentGridColor")) {
        mGridThemeColourWell->setColor(*gridColour);
        gridThemeColourAction(*gridColour);
    }
    mGridPrintCheckbox->setChecked(flag(QStringLiteral("kQntDefaultDocumentGridPrint")));
    gridPrintAction();
    mShowGridCheckbox->setChecked(flag(kQntDefaultDocumentShowGrid));
    showGrid(mShowGridCheckbox->isChecked() ? 1 : 0);
    prepareDialogWithDrawing(drawing);
}

void QntPreferenceController::applyDefaults(const Notification &notification)
{
    if (!store().boolForKey(QntApplyDefaultsKey))
        return;
    const QVariantMap saved = store().dictionaryForKey(kQntDefaultDocument);
    if (saved.isEmpty())
        return;
    auto *document = qobject_cast<VRDrawingDocument *>(
        notification.userInfo.value(QStringLiteral("object")).value<QObject *>());
    if (!document || !document->drawing())
        return;
    // A new document starts from these settings: they are not an edit to undo or to save.
    VRUndoManager *undo = document->drawing()->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    applyDefaultsToDrawing(document->drawing(), saved);
    if (undo)
        undo->enableUndoRegistration();
}
