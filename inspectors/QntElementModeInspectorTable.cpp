// QntElementModeInspector: the table-style, cell-style and image-shape-style toolbars and their
// actions.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/base/VRNumberFormat.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRStyle.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include <array>
#include <cmath>

namespace {
const QString kToolbarStyle = QStringLiteral(
    "QLabel, QCheckBox { color: white; }"
    "QToolButton#tableFontFamilyPopUpButton { color: white; background: rgba(57, 57, 57, 230);"
    " border: 1px solid rgb(191, 194, 201); border-radius: 3px; padding: 2px 6px; }");

QntButtonCell *makeToggle(QWidget *view, const QString &title, const QString &text)
{
    QntButtonCell *cell = QntButtonCell::bordered(view, title, title, QSize(26, 22));
    cell->setText(text);
    cell->setCheckable(true);
    return cell;
}

// Bold, italic and underlined as the text shows them at its first character: a run's own face,
// else the text's font.
std::array<bool, 3> shownFaces(const VRTextBlock &text)
{
    const QFont font = text.font();
    std::array<bool, 3> faces{font.bold(), font.italic(), font.underline()};
    if (text.isEmpty())
        return faces;
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertFragment(text.fragment());
    if (document.characterCount() < 2)
        return faces;
    cursor.setPosition(1);
    const QTextCharFormat format = cursor.charFormat();
    if (format.hasProperty(QTextFormat::FontWeight))
        faces[0] = format.fontWeight() >= QFont::DemiBold;
    if (format.hasProperty(QTextFormat::FontItalic))
        faces[1] = format.fontItalic();
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        faces[2] = format.fontUnderline();
    return faces;
}

// A button that opens a colour popover and shows the colour chosen.
QntButtonCell *makeColourButton(QWidget *view, const QString &name)
{
    return QntButtonCell::bordered(view, name, QObject::tr("Colours"), QSize(40, 24));
}

// Typed text, when it is a number.
void onEdited(QntTextFieldCell *field, QObject *context, const std::function<void()> &action)
{
    QObject::connect(field, &QLineEdit::editingFinished, context, [field, action] {
        if (!field->isModified())
            return;
        field->setModified(false);
        action();
    });
}

QString twoDigits(double value)
{
    return vrFormattedNumber(value, 2, VRDigitGrouping::None);
}
} // namespace

const QntElementModeInspector::TableControls &QntElementModeInspector::tableControls()
{
    if (!_viewTableStyleHorizontal)
        buildTableViews();
    return m_table;
}

const QntElementModeInspector::ImageControls &QntElementModeInspector::imageControls()
{
    if (!_viewImageShapeStyleHorizontal)
        buildImageShapeView();
    return m_image;
}

void QntElementModeInspector::buildTableViews()
{
    TableControls &c = m_table;
    // Table style.
    auto *table = new QntEscapedView;
    table->setObjectName(QStringLiteral("tableStyleView"));
    table->setStyleSheet(kToolbarStyle);
    _viewTableStyleHorizontal = table;
    auto *grid = new QGridLayout(table);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setVerticalSpacing(5);
    int row = 0;
    c.showGrid = new QCheckBox(tr("Grid"), table);
    c.showGrid->setObjectName(QStringLiteral("tableShowGridButton"));
    c.showFrame = new QCheckBox(tr("Frame"), table);
    c.showFrame->setObjectName(QStringLiteral("tableShowTableFrameButton"));
    c.gridColorWell = QntColorWell::create(table, QStringLiteral("tableGridColorWell"));
    auto *switches = new QHBoxLayout;
    switches->addWidget(c.showGrid);
    switches->addWidget(c.showFrame);
    switches->addStretch(1);
    switches->addWidget(new QLabel(tr("Grid colour"), table));
    switches->addWidget(c.gridColorWell);
    c.gridColorButton = makeColourButton(table, QStringLiteral("tableGridColorButton"));
    switches->addWidget(c.gridColorButton);
    connect(c.gridColorButton, &QAbstractButton::clicked, this,
            [this] { showTableGridColorMatrixAction(m_table.gridColorButton); });
    grid->addLayout(switches, row++, 0, 1, 4);
    c.gridLineWidthSlider =
        QntDoubleSlider::create(table, QStringLiteral("tableGridLineWidthSlider"), 0, 10);
    c.gridLineWidthTextbox =
        QntTextFieldCell::numberField(table, QStringLiteral("tableGridLineWidthTextbox"));
    c.gridLineWidthTextboxLabel = new QLabel(table);
    grid->addWidget(new QLabel(tr("Grid width"), table), row, 0);
    grid->addWidget(c.gridLineWidthSlider, row, 1);
    grid->addWidget(c.gridLineWidthTextbox, row, 2);
    grid->addWidget(c.gridLineWidthTextboxLabel, row++, 3);
    c.cornerRadiusSlider =
        QntDoubleSlider::create(table, QStringLiteral("tableRectangleCornerRaduisSlider"), 0, 100);
    c.cornerRadiusTextbox =
        QntTextFieldCell::numberField(table, QStringLiteral("tableRectangleCornerRaduisTextbox"));
    c.cornerRadiusTextboxLabel = new QLabel(table);
    grid->addWidget(new QLabel(tr("Corner radius"), table), row, 0);
    grid->addWidget(c.cornerRadiusSlider, row, 1);
    grid->addWidget(c.cornerRadiusTextbox, row, 2);
    grid->addWidget(c.cornerRadiusTextboxLabel, row++, 3);

    connect(c.showGrid, &QCheckBox::clicked, this, [this] { tableShowGridAction(); });
    connect(c.showFrame, &QCheckBox::clicked, this, [this] { tableShowTableFrameAction(); });
    connect(c.gridColorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { tableGridColorMatrixAction(colour); });
    connect(c.gridLineWidthSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { tableGridLineWidthAction(); });
    onEdited(c.gridLineWidthTextbox, this, [this] { tableGridLineWidthTextboxAction(); });
    connect(c.cornerRadiusSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { tableRectangleCornerRaduisAction(); });
    onEdited(c.cornerRadiusTextbox, this, [this] { tableRectangleCornerRaduisTextboxAction(); });

    // Cell style.
    auto *cell = new QntEscapedView;
    cell->setObjectName(QStringLiteral("cellStyleView"));
    cell->setStyleSheet(kToolbarStyle);
    _viewCellStyleHorizontal = cell;
    auto *cellGrid = new QGridLayout(cell);
    cellGrid->setContentsMargins(10, 8, 10, 8);
    cellGrid->setVerticalSpacing(5);
    row = 0;
    auto *text = new QHBoxLayout;
    text->setSpacing(4);
    c.fontFamilyPopUpButton = new QToolButton(cell);
    c.fontFamilyPopUpButton->setObjectName(QStringLiteral("tableFontFamilyPopUpButton"));
    c.fontFamilyPopUpButton->setPopupMode(QToolButton::InstantPopup);
    c.fontFamilyPopUpButton->setText(QStringLiteral("Helvetica"));
    c.fontFamilyPopUpButton->setMinimumWidth(120);
    auto *families = new QMenu(c.fontFamilyPopUpButton);
    QntContextTextEditor::populateMenuWithFonts(
        families, [this](const QString &name) { tableFontFamilyAction(name); });
    c.fontFamilyPopUpButton->setMenu(families);
    text->addWidget(c.fontFamilyPopUpButton);
    static const char *const faces[3] = {"Bold", "Italic", "Underline"};
    static const char *const faceGlyphs[3] = {"B", "I", "U"};
    for (int i = 0; i < 3; ++i) {
        c.typeface[i] =
            makeToggle(cell, QString::fromLatin1(faces[i]), QString::fromLatin1(faceGlyphs[i]));
        text->addWidget(c.typeface[i]);
        connect(c.typeface[i], &QAbstractButton::clicked, this,
                [this] { tableFontTypefaceAction(); });
    }
    c.fontSizeTextField =
        QntTextFieldCell::numberField(cell, QStringLiteral("tableFontSizeTextField"));
    c.fontSizeTextField->setFixedWidth(40);
    onEdited(c.fontSizeTextField, this, [this] { tableFontSizeTextFieldAction(); });
    text->addWidget(c.fontSizeTextField);
    static const char *const aligns[3] = {"Left", "Center", "Right"};
    for (int i = 0; i < 3; ++i) {
        c.align[i] = makeToggle(cell, QString::fromLatin1(aligns[i]), QString());
        c.align[i]->setIcon(QntContextTextEditor::alignmentIcon(i));
        c.align[i]->setIconSize(QSize(16, 16));
        text->addWidget(c.align[i]);
        connect(c.align[i], &QAbstractButton::clicked, this, [this, i] { tableAlignAction(i); });
    }
    c.textColorWell = QntColorWell::create(cell, QStringLiteral("tableTextColorColorWell"));
    c.textColorWell->setToolTip(tr("Text colour"));
    connect(c.textColorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { tableTextColorAction(colour); });
    text->addWidget(c.textColorWell);
    c.textColorButton = makeColourButton(cell, QStringLiteral("tableTextColorButton"));
    c.textColorButton->setQntBackgroundColor(Qt::black);
    text->addWidget(c.textColorButton);
    connect(c.textColorButton, &QAbstractButton::clicked, this, [this] {
        forwardToTableTextEditor(
            [this](QntElementTextEditor &e) { e.showColorMatrixFrom(m_table.textColorButton); });
    });
    cellGrid->addLayout(text, row++, 0, 1, 4);

    auto *fill = new QHBoxLayout;
    c.cellsColorWell = QntColorWell::create(cell, QStringLiteral("tableCellsColorWell"));
    connect(c.cellsColorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { tableCellsColorAction(colour); });
    c.applyToAllCells = new QCheckBox(tr("Apply to all cells"), cell);
    c.applyToAllCells->setObjectName(QStringLiteral("tableApplyToAllCellsCheckbox"));
    c.percentPaddings = new QCheckBox(tr("Paddings in points"), cell);
    c.percentPaddings->setObjectName(QStringLiteral("tablePaddingModeCheckbox"));
    connect(c.percentPaddings, &QCheckBox::clicked, this, [this](bool points) {
        setPaddingMode(points ? 1 : 0);
        populateCellStyleToolbar();
    });
    fill->addWidget(new QLabel(tr("Cell colour"), cell));
    fill->addWidget(c.cellsColorWell);
    c.cellsColorButton = makeColourButton(cell, QStringLiteral("tableCellsColorButton"));
    fill->addWidget(c.cellsColorButton);
    connect(c.cellsColorButton, &QAbstractButton::clicked, this,
            [this] { showCellsColorMatrixAction(m_table.cellsColorButton); });
    fill->addWidget(c.applyToAllCells);
    fill->addStretch(1);
    fill->addWidget(c.percentPaddings);
    cellGrid->addLayout(fill, row++, 0, 1, 4);

    c.topBottomPaddingSlider =
        QntDoubleSlider::create(cell, QStringLiteral("tableTopBottomPaddingSlider"), 0, 1);
    c.topBottomPaddingTextbox =
        QntTextFieldCell::numberField(cell, QStringLiteral("tableTopBottomPaddingTextbox"));
    c.topBottomPaddingUnit = new QLabel(QStringLiteral("%"), cell);
    cellGrid->addWidget(new QLabel(tr("Top and bottom padding"), cell), row, 0);
    cellGrid->addWidget(c.topBottomPaddingSlider, row, 1);
    cellGrid->addWidget(c.topBottomPaddingTextbox, row, 2);
    cellGrid->addWidget(c.topBottomPaddingUnit, row++, 3);
    c.leftRightPaddingSlider =
        QntDoubleSlider::create(cell, QStringLiteral("tableLeftRightPaddingSlider"), 0, 1);
    c.leftRightPaddingTextbox =
        QntTextFieldCell::numberField(cell, QStringLiteral("tableLeftRightPaddingTextbox"));
    c.leftRightPaddingUnit = new QLabel(QStringLiteral("%"), cell);
    cellGrid->addWidget(new QLabel(tr("Left and right padding"), cell), row, 0);
    cellGrid->addWidget(c.leftRightPaddingSlider, row, 1);
    cellGrid->addWidget(c.leftRightPaddingTextbox, row, 2);
    cellGrid->addWidget(c.leftRightPaddingUnit, row++, 3);
    c.textAngleSlider =
        QntDoubleSlider::create(cell, QStringLiteral("tableTextAngleSlider"), -180, 180);
    cellGrid->addWidget(new QLabel(tr("Text angle"), cell), row, 0);
    cellGrid->addWidget(c.textAngleSlider, row++, 1);

    connect(c.topBottomPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { tableTopBottomPaddingSliderAction(); });
    connect(c.leftRightPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { tableLeftRightPaddingSliderAction(); });
    onEdited(c.topBottomPaddingTextbox, this, [this] { tableTopBottomPaddingTextboxAction(); });
    onEdited(c.leftRightPaddingTextbox, this, [this] { tableLeftRightPaddingTextboxAction(); });
    connect(c.textAngleSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { tableTextAngleSliderAction(); });
}

void QntElementModeInspector::buildImageShapeView()
{
    ImageControls &c = m_image;
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("imageShapeStyleView"));
    view->setStyleSheet(kToolbarStyle);
    _viewImageShapeStyleHorizontal = view;
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setVerticalSpacing(5);
    int row = 0;
    auto *top = new QHBoxLayout;
    c.showContour = new QCheckBox(tr("Contour"), view);
    c.showContour->setObjectName(QStringLiteral("imageShowContourButton"));
    connect(c.showContour, &QCheckBox::clicked, this, [this] { imageShowContourAction(); });
    top->addWidget(c.showContour);
    static const char *const types[3] = {"Rectangle", "Oval", "Diamond"};
    static const char *const glyphs[3] = {"\u25AD", "\u25CB", "\u25C7"};
    for (int tag = 0; tag < 3; ++tag) {
        c.contourType[tag] =
            makeToggle(view, QString::fromLatin1(types[tag]), QString::fromUtf8(glyphs[tag]));
        c.contourType[tag]->setBordered(false);
        top->addWidget(c.contourType[tag]);
        connect(c.contourType[tag], &QAbstractButton::clicked, this,
                [this, tag] { imageContourTypeAction(tag); });
    }
    top->addStretch(1);
    c.contourColorWell = QntColorWell::create(view, QStringLiteral("imageContourColorWell"));
    connect(c.contourColorWell, &QntColorWell::colorChanged, this,
            [this] { imageContourColorAction(); });
    top->addWidget(c.contourColorWell);
    grid->addLayout(top, row++, 0, 1, 4);
    c.contourWidthSlider =
        QntDoubleSlider::create(view, QStringLiteral("imageContourWidthSlider"), 0, 10);
    c.contourWidthTextbox =
        QntTextFieldCell::numberField(view, QStringLiteral("imageContourWidthTextbox"));
    c.contourWidthTextboxLabel = new QLabel(view);
    grid->addWidget(new QLabel(tr("Width"), view), row, 0);
    grid->addWidget(c.contourWidthSlider, row, 1);
    grid->addWidget(c.contourWidthTextbox, row, 2);
    grid->addWidget(c.contourWidthTextboxLabel, row++, 3);
    c.cornerRadiusView = new QWidget(view);
    c.cornerRadiusView->setObjectName(QStringLiteral("imageRectangleCornerRaduisView"));
    auto *radius = new QHBoxLayout(c.cornerRadiusView);
    radius->setContentsMargins(0, 0, 0, 0);
    c.cornerRadiusSlider = QntDoubleSlider::create(
        c.cornerRadiusView, QStringLiteral("imageRectangleCornerRaduisSlider"), 0, 100);
    c.cornerRadiusTextbox = QntTextFieldCell::numberField(
        c.cornerRadiusView, QStringLiteral("imageRectangleCornerRaduisTextbox"));
    c.cornerRadiusTextboxLabel = new QLabel(c.cornerRadiusView);
    radius->addWidget(new QLabel(tr("Corner radius"), c.cornerRadiusView));
    radius->addWidget(c.cornerRadiusSlider, 1);
    radius->addWidget(c.cornerRadiusTextbox);
    radius->addWidget(c.cornerRadiusTextboxLabel);
    grid->addWidget(c.cornerRadiusView, row++, 0, 1, 4);
    grid->addWidget(makeDefaultsPopUp(view), row++, 0, 1, 4, Qt::AlignLeft);
    connect(c.contourWidthSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { imageContourWidthAction(); });
    onEdited(c.contourWidthTextbox, this, [this] { imageContourWidthTextboxAction(); });
    connect(c.cornerRadiusSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this] { imageRectangleCornerRaduisAction(); });
    onEdited(c.cornerRadiusTextbox, this, [this] { imageRectangleCornerRaduisTextboxAction(); });
}

void QntElementModeInspector::showLength(QntDoubleSlider *slider, QntTextFieldCell *box,
                                         QLabel *unit) const
{
    VRDrawing *drawing = currentDrawing();
    const double value = slider->doubleValue();
    box->setText(twoDigits(drawing ? drawing->convertLength(value) : value));
    if (unit)
        unit->setText(drawing ? drawing->abbreviatedDrawingUnits() : QStringLiteral("pt"));
}

std::optional<double> QntElementModeInspector::typedLength(QntTextFieldCell *box,
                                                           QntDoubleSlider *slider) const
{
    bool ok = false;
    const double typed = QLocale().toDouble(box->text().trimmed(), &ok);
    if (!ok || !std::isfinite(typed) || typed < 0)
        return std::nullopt;
    VRDrawing *drawing = currentDrawing();
    const double base = drawing ? drawing->convertLengthFromDrawingToBase(typed) : typed;
    return std::clamp(base, slider->minValue(), std::max(slider->maxValue(), base));
}

// Table paddings are kept in points; padding mode 0 shows and takes them as per cent of the
// active cell.
void QntElementModeInspector::showTablePadding(QntDoubleSlider *slider, QntTextFieldCell *box) const
{
    box->setText(twoDigits(slider->doubleValue() * (_paddingMode == 0 ? 100.0 : 1.0)));
}

std::optional<double> QntElementModeInspector::typedTablePadding(QntTextFieldCell *box,
                                                                 QntDoubleSlider *slider) const
{
    bool ok = false;
    const double typed = QLocale().toDouble(box->text().trimmed(), &ok);
    if (!ok || !std::isfinite(typed) || typed < 0)
        return std::nullopt;
    const double value = _paddingMode == 0 ? typed / 100.0 : typed;
    return std::clamp(value, slider->minValue(), slider->maxValue());
}

void QntElementModeInspector::lengthSliderMoved(QntDoubleSlider *slider, QntTextFieldCell *box,
                                                LengthSetter set)
{
    if (m_populating)
        return;
    (this->*set)(slider->doubleValue());
    showLength(slider, box, nullptr);
}

void QntElementModeInspector::lengthTyped(QntDoubleSlider *slider, QntTextFieldCell *box,
                                          LengthSetter set)
{
    if (const auto value = typedLength(box, slider)) {
        slider->setMaxValue(std::max(slider->maxValue(), *value));
        (this->*set)(*value);
        slider->setDoubleValue(*value);
    }
    showLength(slider, box, nullptr);
}

void QntElementModeInspector::paddingSliderMoved(QntDoubleSlider *slider, QntTextFieldCell *box,
                                                 LengthSetter set)
{
    if (m_populating)
        return;
    (this->*set)(slider->doubleValue());
    showTablePadding(slider, box);
}

void QntElementModeInspector::paddingTyped(QntDoubleSlider *slider, QntTextFieldCell *box,
                                           LengthSetter set)
{
    if (const auto value = typedTablePadding(box, slider)) {
        (this->*set)(*value);
        slider->setDoubleValue(*value);
    }
    showTablePadding(slider, box);
}

void QntElementModeInspector::createTableStyleToolbar(QntButtonMatrix *matrix)
{
    if (_attachedTableStyleWindow)
        return;
    tableControls();
    populateTableStyleToolbar();
    openStyleToolbar(matrix, _viewTableStyleHorizontal, QStringLiteral("tableStyleWindow"),
                     _attachedTableStyleWindow);
}

void QntElementModeInspector::createCellStyleToolbar(QntButtonMatrix *matrix)
{
    if (_attachedCellStyleWindow)
        return;
    tableControls();
    populateCellStyleToolbar();
    openStyleToolbar(matrix, _viewCellStyleHorizontal, QStringLiteral("cellStyleWindow"),
                     _attachedCellStyleWindow);
}

void QntElementModeInspector::createImageShapeStyleToolbar(QntButtonMatrix *matrix)
{
    if (_attachedImageShapeStyleWindow)
        return;
    imageControls();
    populateImageShapeStyleToolbar();
    openStyleToolbar(matrix, _viewImageShapeStyleHorizontal,
                     QStringLiteral("imageShapeStyleWindow"), _attachedImageShapeStyleWindow);
}

void QntElementModeInspector::openStyleToolbar(QntButtonMatrix *matrix, QWidget *view,
                                               const QString &name,
                                               QPointer<AXAttachedWindow> &window)
{
    window = openToolbarBesideSelectedCell(matrix, view, true);
    if (window)
        window->setObjectName(name);
}

namespace {
void closeToolbar(QPointer<AXAttachedWindow> &window, QWidget *view)
{
    if (!window)
        return;
    if (view)
        view->setParent(nullptr);
    window->hide();
    window->deleteLater();
    window = nullptr;
}
} // namespace

void QntElementModeInspector::closeAttachedTableStyleWindow()
{
    closeToolbar(_attachedTableStyleWindow, _viewTableStyleHorizontal);
}

void QntElementModeInspector::closeAttachedCellStyleWindow()
{
    closeToolbar(_attachedCellStyleWindow, _viewCellStyleHorizontal);
}

void QntElementModeInspector::closeAttachedImageShapeStyleWindow()
{
    closeToolbar(_attachedImageShapeStyleWindow, _viewImageShapeStyleHorizontal);
}

void QntElementModeInspector::populateTableStyleToolbar()
{
    const TableControls &c = tableControls();
    const VRObjectRef object = _contextObject;
    if (!object || !object->isKindOf<QntElementTable>())
        return;
    auto *table = static_cast<QntElementTable *>(object.get());
    m_populating = true;
    const bool customizable = isCustomizableNotation();
    c.gridColorWell->setVisible(customizable);
    c.gridColorButton->setVisible(false);
    // Other notations choose from their grid colours (and grey) in a matrix under the controls;
    // a new fill never stacks a second one.
    delete m_table.gridColorMatrix;
    if (!customizable) {
        const QntNotationRef notation = currentDrawing()->currentNotation();
        QList<QColor> colours = notation->tableGridColors();
        colours.append(QColor(Qt::gray));
        QntColorMatrix *matrix = populateColorMatrix(
            colours, 1, QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f), [this](QntColorMatrix *sender) {
                const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
                if (cell)
                    tableGridColorMatrixAction(cell->representedObject.value<QColor>());
            });
        matrix->setObjectName(QStringLiteral("tableGridColorMatrix"));
        matrix->sizeToCells();
        matrix->setFixedSize(matrix->size());
        auto *grid = static_cast<QGridLayout *>(_viewTableStyleHorizontal->layout());
        grid->addWidget(matrix, grid->rowCount(), 0, 1, 4, Qt::AlignLeft);
        m_table.gridColorMatrix = matrix;
    }
    _viewTableStyleHorizontal->resize(_viewTableStyleHorizontal->sizeHint());
    c.showGrid->setChecked(table->showGrid());
    c.showFrame->setChecked(table->showTableFrame());
    c.gridColorWell->setColor(table->gridColor());
    const QSizeF size = table->size();
    c.cornerRadiusSlider->setMaxValue(std::max(size.width(), size.height()));
    c.cornerRadiusSlider->setDoubleValue(table->rectangleCornerRaduis());
    showLength(c.cornerRadiusSlider, c.cornerRadiusTextbox, c.cornerRadiusTextboxLabel);
    c.gridLineWidthSlider->setMaxValue(std::max(size.width() * 0.05, table->gridLineWidth()));
    c.gridLineWidthSlider->setDoubleValue(table->gridLineWidth());
    showLength(c.gridLineWidthSlider, c.gridLineWidthTextbox, c.gridLineWidthTextboxLabel);
    m_populating = false;
}

void QntElementModeInspector::populateCellStyleToolbar()
{
    const TableControls &c = tableControls();
    const VRObjectRef object = _contextObject;
    if (!object || !object->isKindOf<QntElementTable>())
        return;
    auto *table = static_cast<QntElementTable *>(object.get());
    m_populating = true;
    const bool customizable = isCustomizableNotation();
    c.cellsColorWell->setVisible(customizable);
    c.textColorWell->setVisible(customizable);
    c.cellsColorButton->setVisible(false);
    c.textColorButton->setVisible(!customizable);
    // Other notations fill cells from their table colours, clear and white, in a matrix under
    // the controls.
    delete m_table.cellsColorMatrix;
    if (!customizable) {
        const QntNotationRef notation = currentDrawing()->currentNotation();
        QList<QColor> colours = notation->tableColors();
        colours.append(QColor(Qt::transparent));
        colours.append(QColor(Qt::white));
        QntColorMatrix *matrix =
            populateColorMatrix(colours, 1, QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f));
        matrix->setObjectName(QStringLiteral("tableCellsColorMatrix"));
        matrix->sizeToCells();
        matrix->setFixedSize(matrix->size());
        auto *grid = static_cast<QGridLayout *>(_viewCellStyleHorizontal->layout());
        grid->addWidget(matrix, grid->rowCount(), 0, 1, 4, Qt::AlignLeft);
        m_table.cellsColorMatrix = matrix;
    }
    _viewCellStyleHorizontal->resize(_viewCellStyleHorizontal->sizeHint());
    tableTextEditor()->setMultipleSelectionMode(1);
    for (QntButtonCell *cell : c.typeface)
        cell->setChecked(false);
    for (QntButtonCell *cell : c.align)
        cell->setChecked(false);
    // With no cell selected the controls show the first cell, so they name the cells' own font.
    QntTextCell *shown = table->activeTextCell();
    if (!shown) {
        const VRObjectList cells = table->cells();
        if (!cells.isEmpty() && cells.first()->isKindOf<QntTextCell>())
            shown = static_cast<QntTextCell *>(cells.first().get());
    }
    if (QntTextCell *cell = shown) {
        const QFont font = cell->textBlock().font();
        c.fontFamilyPopUpButton->setText(font.family());
        c.fontSizeTextField->setText(twoDigits(font.pointSizeF()));
        const std::array<bool, 3> faces = shownFaces(cell->textBlock());
        for (int i = 0; i < 3; ++i)
            c.typeface[i]->setChecked(faces[i]);
        c.textColorWell->setColor(cell->textBlock().colour());
        c.cellsColorWell->setColor(cell->fillColour().isValid() ? cell->fillColour()
                                                                : QColor(Qt::white));
    }
    c.percentPaddings->setChecked(_paddingMode == 1);
    const QString unit = _paddingMode == 0 ? QStringLiteral("%") : QStringLiteral("pt");
    c.topBottomPaddingUnit->setText(unit);
    c.leftRightPaddingUnit->setText(unit);
    updatePaddingControlsForElement(table);
    QntTextCell *active = table->activeTextCell();
    const QSizeF cellSize = active ? active->size() : QSizeF();
    if (_paddingMode == 0) {
        c.topBottomPaddingSlider->setDoubleValue(
            cellSize.height() > 0 ? table->cellPaddingTopBottom() / cellSize.height() : 0);
        c.leftRightPaddingSlider->setDoubleValue(
            cellSize.width() > 0 ? table->cellPaddingLeftRight() / cellSize.width() : 0);
    } else {
        c.topBottomPaddingSlider->setDoubleValue(table->cellPaddingTopBottom());
        c.leftRightPaddingSlider->setDoubleValue(table->cellPaddingLeftRight());
    }
    showTablePadding(c.topBottomPaddingSlider, c.topBottomPaddingTextbox);
    showTablePadding(c.leftRightPaddingSlider, c.leftRightPaddingTextbox);
    c.textAngleSlider->setDoubleValue(table->cellTextAngle());
    m_populating = false;
}

void QntElementModeInspector::populateImageShapeStyleToolbar()
{
    const ImageControls &c = imageControls();
    const VRObjectRef object = _contextObject;
    if (!object || !object->isKindOf<QntImageShape>())
        return;
    auto *shape = static_cast<QntImageShape *>(object.get());
    m_populating = true;
    c.showContour->setChecked(shape->showContour());
    const QSizeF size = shape->size();
    c.cornerRadiusSlider->setMaxValue(std::max(size.width(), size.height()));
    c.cornerRadiusSlider->setDoubleValue(shape->rectangleCornerRaduis());
    showLength(c.cornerRadiusSlider, c.cornerRadiusTextbox, c.cornerRadiusTextboxLabel);
    c.contourWidthSlider->setMaxValue(std::max(size.width() * 0.05, shape->contourWidth()));
    c.contourWidthSlider->setDoubleValue(shape->contourWidth());
    showLength(c.contourWidthSlider, c.contourWidthTextbox, c.contourWidthTextboxLabel);
    const VRObjectRef contour = shape->contour();
    const QColor stroke = contour && contour->style() ? contour->style()->strokeColour() : QColor();
    c.contourColorWell->setColor(stroke.isValid() ? stroke : QColor(Qt::gray));
    const int type = shape->contourType();
    for (int tag = 0; tag < 3; ++tag) {
        c.contourType[tag]->setBordered(tag == type);
        c.contourType[tag]->setChecked(tag == type);
    }
    // Shown again for a rectangle contour, after a shape of another type hid it.
    c.cornerRadiusView->setVisible(type == 0);
    if (_attachedImageShapeStyleWindow)
        _attachedImageShapeStyleWindow->redisplayLater();
    m_populating = false;
}

// Table and cell actions.

QntElementTextEditor *QntElementModeInspector::tableTextEditor()
{
    if (!_tableTextEditor) {
        _tableTextEditor = new QntElementTextEditor(this);
        _tableTextEditor->setPaddingMode(_paddingMode);
    }
    return _tableTextEditor;
}

void QntElementModeInspector::applyToAllCellsStep()
{
    if (!m_table.applyToAllCells || !m_table.applyToAllCells->isChecked())
        return;
    tableSelectAllCells();
}

void QntElementModeInspector::tableSelectAllCells()
{
    const QScopedValueRollback selecting(m_selectingAllCells, true);
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())->selectAllTextCells();
    }
}

void QntElementModeInspector::forwardToTableTextEditor(
    const std::function<void(QntElementTextEditor &)> &action)
{
    if (m_populating)
        return;
    applyToAllCellsStep();
    QntElementTextEditor *editor = tableTextEditor();
    editor->setMultipleSelectionMode(1);
    editor->setObjectsClass(VRClassInfo::byName(u"QntElementTable"));
    editor->setObjectsClasses({VRClassInfo::byName(u"QntElementTable")});
    editor->setMultipleTextCellsSelectionMode(multipleTextCellsSelectionMode());
    action(*editor);
}

void QntElementModeInspector::tableFontFamilyAction(const QString &fontName)
{
    QFont font;
    if (QntContextTextEditor::fontForName(fontName, 0, &font))
        m_table.fontFamilyPopUpButton->setText(font.family());
    forwardToTableTextEditor([fontName](QntElementTextEditor &e) { e.fontFamilyAction(fontName); });
}

void QntElementModeInspector::tableFontSizeTextFieldAction()
{
    const QString text = m_table.fontSizeTextField->text();
    forwardToTableTextEditor([text](QntElementTextEditor &e) {
        e.fontSizeTextField()->setText(text);
        e.fontSizeTextFieldAction();
    });
}

void QntElementModeInspector::tableFontTypefaceAction()
{
    bool checked[3];
    for (int i = 0; i < 3; ++i)
        checked[i] = m_table.typeface[i]->isChecked();
    forwardToTableTextEditor([checked](QntElementTextEditor &e) {
        for (int i = 0; i < 3; ++i)
            e.typefaceCell(i)->setChecked(checked[i]);
        e.fontTypefaceAction();
    });
}

void QntElementModeInspector::tableAlignAction(int column)
{
    for (int i = 0; i < 3; ++i)
        m_table.align[i]->setChecked(i == column);
    forwardToTableTextEditor([column](QntElementTextEditor &e) { e.alignAction(column); });
}

void QntElementModeInspector::tableTextColorAction(const QColor &colour)
{
    forwardToTableTextEditor([colour](QntElementTextEditor &e) { e.colorMatrixAction(colour); });
}

void QntElementModeInspector::tableShowGridAction()
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget())
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())
                ->setShowGrid(m_table.showGrid->isChecked());
}

void QntElementModeInspector::tableShowTableFrameAction()
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget())
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())
                ->setShowTableFrame(m_table.showFrame->isChecked());
}

void QntElementModeInspector::tableSetGridLineWidth(double width)
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget())
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())->setGridLineWidth(width);
    if (_attachedTableStyleWindow)
        _attachedTableStyleWindow->redisplayLater();
}

void QntElementModeInspector::tableGridLineWidthAction()
{
    lengthSliderMoved(m_table.gridLineWidthSlider, m_table.gridLineWidthTextbox,
                      &QntElementModeInspector::tableSetGridLineWidth);
}

void QntElementModeInspector::tableGridLineWidthTextboxAction()
{
    lengthTyped(m_table.gridLineWidthSlider, m_table.gridLineWidthTextbox,
                &QntElementModeInspector::tableSetGridLineWidth);
}

void QntElementModeInspector::tableSetRectangleCornerRaduis(double radius)
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget())
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())->setRectangleCornerRaduis(radius);
    if (_attachedTableStyleWindow)
        _attachedTableStyleWindow->redisplayLater();
}

void QntElementModeInspector::tableRectangleCornerRaduisAction()
{
    lengthSliderMoved(m_table.cornerRadiusSlider, m_table.cornerRadiusTextbox,
                      &QntElementModeInspector::tableSetRectangleCornerRaduis);
}

void QntElementModeInspector::tableRectangleCornerRaduisTextboxAction()
{
    lengthTyped(m_table.cornerRadiusSlider, m_table.cornerRadiusTextbox,
                &QntElementModeInspector::tableSetRectangleCornerRaduis);
}

namespace {
// Padding mode 0 gives a fraction of each changed cell's size; the table keeps points.
void setTablePadding(QntElementTable &table, double padding, bool all, bool topBottom, int mode)
{
    double points = padding;
    if (mode == 0) {
        // A table with no active cell measures by its first cell: a fraction of nothing would
        // take every padding to 0.
        QntTextCell *cell = table.activeTextCell();
        if (!cell && !table.cells().isEmpty())
            cell = static_cast<QntTextCell *>(table.cells().first().get());
        const QSizeF size = cell ? cell->size() : QSizeF();
        points = padding * (topBottom ? size.height() : size.width());
    }
    if (topBottom)
        table.setCellPaddingTopBottom(points, all);
    else
        table.setCellPaddingLeftRight(points, all);
    table.notifyVisualChange();
}
} // namespace

void QntElementModeInspector::tableSetTopBottomPadding(double padding)
{
    applyToAllCellsStep();
    const VRObjectList targets = selectedObjectForCurrentTarget();
    const bool all = targets.size() > 1;
    for (const VRObjectRef &object : targets)
        if (object && object->isKindOf<QntElementTable>())
            setTablePadding(static_cast<QntElementTable &>(*object), padding, all, true,
                            _paddingMode);
}

void QntElementModeInspector::tableSetLeftRightPadding(double padding)
{
    applyToAllCellsStep();
    const VRObjectList targets = selectedObjectForCurrentTarget();
    const bool all = targets.size() > 1;
    for (const VRObjectRef &object : targets)
        if (object && object->isKindOf<QntElementTable>())
            setTablePadding(static_cast<QntElementTable &>(*object), padding, all, false,
                            _paddingMode);
}

void QntElementModeInspector::tableTopBottomPaddingSliderAction()
{
    paddingSliderMoved(m_table.topBottomPaddingSlider, m_table.topBottomPaddingTextbox,
                       &QntElementModeInspector::tableSetTopBottomPadding);
}

void QntElementModeInspector::tableLeftRightPaddingSliderAction()
{
    paddingSliderMoved(m_table.leftRightPaddingSlider, m_table.leftRightPaddingTextbox,
                       &QntElementModeInspector::tableSetLeftRightPadding);
}

void QntElementModeInspector::tableTopBottomPaddingTextboxAction()
{
    paddingTyped(m_table.topBottomPaddingSlider, m_table.topBottomPaddingTextbox,
                 &QntElementModeInspector::tableSetTopBottomPadding);
}

void QntElementModeInspector::tableLeftRightPaddingTextboxAction()
{
    paddingTyped(m_table.leftRightPaddingSlider, m_table.leftRightPaddingTextbox,
                 &QntElementModeInspector::tableSetLeftRightPadding);
}

void QntElementModeInspector::tableTextAngleSliderAction()
{
    if (m_populating)
        return;
    applyToAllCellsStep();
    const VRObjectList targets = selectedObjectForCurrentTarget();
    const bool all = targets.size() > 1;
    const double degrees = m_table.textAngleSlider->doubleValue();
    for (const VRObjectRef &object : targets)
        turnTableText(object, degrees, all);
}

bool QntElementModeInspector::turnTableText(const VRObjectRef &object, double degrees,
                                            bool allCells)
{
    if (object && object->isKindOf<QntElementTable>()) {
        auto *table = static_cast<QntElementTable *>(object.get());
        table->setCellTextAngle(degrees, allCells);
        table->notifyVisualChange();
        return true;
    }
    if (object && object->isKindOf<QntTextCell>()) {
        auto *cell = static_cast<QntTextCell *>(object.get());
        cell->setTextAngle(degrees);
        if (QntElementTable *table = cell->owner())
            table->notifyVisualChange();
        return true;
    }
    return false;
}

void QntElementModeInspector::setTableApplyToAllCellsCheckboxValue(qint64 value)
{
    tableControls();
    const VRObjectList targets = selectedObjectForCurrentTarget();
    if (targets.size() != 1 || !targets.first() || !targets.first()->isKindOf<QntElementTable>())
        return;
    auto *table = static_cast<QntElementTable *>(targets.first().get());
    const auto selected = table->selectedCells().size();
    const bool take = selected == 1 || selected == table->cells().size();
    m_table.applyToAllCells->setChecked(take && value == 1);
}

void QntElementModeInspector::tableGridColorMatrixAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    if (m_table.gridColorButton)
        m_table.gridColorButton->setQntBackgroundColor(colour);
    for (const VRObjectRef &object : selectedObjectForCurrentTarget())
        if (object && object->isKindOf<QntElementTable>())
            static_cast<QntElementTable *>(object.get())->setGridColor(colour);
}

void QntElementModeInspector::tableCellsColorAction(const QColor &colour)
{
    if (colour.isValid())
        applyColorValue(QVariant::fromValue(colour));
}

void QntElementModeInspector::setAutosize(bool on)
{
    for (const VRObjectRef &object : selectedObjectForCurrentTarget()) {
        if (object
            && (isMemberOfElements(*object) || object->isMemberOf<QntText>()
                || object->isMemberOf<QntImageShape>()))
            static_cast<QntElement *>(object.get())->setResizedByUser(!on);
    }
}

// Image-shape actions.

namespace {
template <class F> void forEachImageShape(const VRObjectList &objects, F &&f)
{
    for (const VRObjectRef &object : objects)
        if (object && object->isKindOf<QntImageShape>())
            f(static_cast<QntImageShape &>(*object));
}
} // namespace

void QntElementModeInspector::imageRectangleCornerSetRaduis(double radius)
{
    forEachImageShape(selectedObjectForCurrentTarget(),
                      [radius](QntImageShape &s) { s.setRectangleCornerRaduis(radius); });
    if (_attachedImageShapeStyleWindow)
        _attachedImageShapeStyleWindow->redisplayLater();
}

void QntElementModeInspector::imageRectangleCornerRaduisAction()
{
    lengthSliderMoved(m_image.cornerRadiusSlider, m_image.cornerRadiusTextbox,
                      &QntElementModeInspector::imageRectangleCornerSetRaduis);
}

void QntElementModeInspector::imageRectangleCornerRaduisTextboxAction()
{
    lengthTyped(m_image.cornerRadiusSlider, m_image.cornerRadiusTextbox,
                &QntElementModeInspector::imageRectangleCornerSetRaduis);
}

void QntElementModeInspector::imageContourSetWidth(double width)
{
    forEachImageShape(selectedObjectForCurrentTarget(),
                      [width](QntImageShape &s) { s.setContourWidth(width); });
    if (_attachedImageShapeStyleWindow)
        _attachedImageShapeStyleWindow->redisplayLater();
}

void QntElementModeInspector::imageContourWidthAction()
{
    lengthSliderMoved(m_image.contourWidthSlider, m_image.contourWidthTextbox,
                      &QntElementModeInspector::imageContourSetWidth);
}

void QntElementModeInspector::imageContourWidthTextboxAction()
{
    lengthTyped(m_image.contourWidthSlider, m_image.contourWidthTextbox,
                &QntElementModeInspector::imageContourSetWidth);
}

void QntElementModeInspector::imageContourColorAction()
{
    const QColor colour = m_image.contourColorWell->color();
    forEachImageShape(selectedObjectForCurrentTarget(), [colour](QntImageShape &s) {
        const VRObjectRef contour = s.contour();
        if (contour && contour->style()) {
            VRStyleRef style = contour->style()->copy();
            style->setStrokeColour(colour);
            contour->setStyle(style);
        }
        s.notifyVisualChange();
    });
}

void QntElementModeInspector::imageShowContourAction()
{
    const bool show = m_image.showContour->isChecked();
    forEachImageShape(selectedObjectForCurrentTarget(),
                      [show](QntImageShape &s) { s.setShowContour(show); });
    int type = 0;
    for (int tag = 0; tag < 3; ++tag)
        if (m_image.contourType[tag]->isBordered())
            type = tag;
    imageContourTypeAction(type);
}

void QntElementModeInspector::imageContourTypeAction(int type)
{
    const VRObjectList targets = selectedObjectForCurrentTarget();
    bool any = false;
    forEachImageShape(targets, [&any, type](QntImageShape &s) {
        s.setContourType(type);
        any = true;
    });
    if (any) {
        imageContourSetWidth(m_image.contourWidthSlider->doubleValue());
        imageContourColorAction();
        m_image.cornerRadiusView->setVisible(type == 0);
        if (type == 0)
            imageRectangleCornerSetRaduis(m_image.cornerRadiusSlider->doubleValue());
        if (_viewImageShapeStyleHorizontal) {
            _viewImageShapeStyleHorizontal->resize(_viewImageShapeStyleHorizontal->sizeHint());
        }
        if (_attachedImageShapeStyleWindow)
            _attachedImageShapeStyleWindow->redisplayLater();
    }
    for (int tag = 0; tag < 3; ++tag) {
        m_image.contourType[tag]->setBordered(tag == type);
        m_image.contourType[tag]->setChecked(tag == type);
    }
}

bool QntElementModeInspector::isCustomizableNotation() const
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    return notation && notation->isCustomizable();
}
