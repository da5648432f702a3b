#include "inspectors/QntGroupModeInspector.h"

#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"

#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"

#include <QCheckBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include <cmath>

// The tables pane: cell text, the frame and grid, cell colours, cell paddings and the text
// angle of the selected tables. The frame, grid, colour and padding changes go through the
// embedded element inspector, which knows how a table takes them.

namespace {

QntDoubleSlider *tableSlider(QWidget *parent, const QString &name, double max)
{
    // Narrow enough for the labels beside it in a document window's column.
    return QntDoubleSlider::create(parent, name, 0.0, max, 80);
}

QLineEdit *tableField(QWidget *parent, const QString &name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setMinimumWidth(48);
    field->setMaximumWidth(60);
    return field;
}

QntButtonCell *colourButton(QWidget *parent, const QString &name)
{
    return QntButtonCell::bordered(parent, name, QObject::tr("Colours"), QSize(40, 24));
}

QString twoDigits(double value)
{
    return QLocale().toString(std::round(value * 100.0) / 100.0, 'g', 10);
}

} // namespace

QWidget *QntGroupModeInspector::buildTablePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(TableStyle));
    auto *form = new QFormLayout(pane);
    _tableFontFamilyPopUpButton = new QFontComboBox(pane);
    _tableFontFamilyPopUpButton->setObjectName(QStringLiteral("tableFontFamily"));
    _tableFontSizeTextField = new QLineEdit(pane);
    _tableFontSizeTextField->setObjectName(QStringLiteral("tableFontSize"));
    _tableFontSizeTextField->setMaximumWidth(80);
    form->addRow(tr("Cell font"), _tableFontFamilyPopUpButton);
    form->addRow(tr("Cell size"), _tableFontSizeTextField);
    connect(_tableFontFamilyPopUpButton, &QFontComboBox::textActivated, this,
            [this](const QString &f) { tableFontFamilyAction(f); });
    connect(_tableFontSizeTextField, &QLineEdit::returnPressed, this,
            [this] { tableFontSizeAction(_tableFontSizeTextField->text()); });

    // Frame and grid.
    auto *switches = new QWidget(pane);
    auto *row = new QHBoxLayout(switches);
    row->setContentsMargins(0, 0, 0, 0);
    _tableShowGridButton = new QCheckBox(tr("Grid"), switches);
    _tableShowGridButton->setObjectName(QStringLiteral("tableShowGridButton"));
    _tableShowTableFrameButton = new QCheckBox(tr("Frame"), switches);
    _tableShowTableFrameButton->setObjectName(QStringLiteral("tableShowTableFrameButton"));
    _tableGridColorWell = QntColorWell::create(switches, QStringLiteral("tableGridColorWell"));
    _tableGridColorButton = colourButton(switches, QStringLiteral("tableGridColorButton"));
    row->addWidget(_tableShowGridButton);
    row->addWidget(_tableShowTableFrameButton);
    row->addStretch(1);
    row->addWidget(new QLabel(tr("Grid colour"), switches));
    row->addWidget(_tableGridColorWell);
    row->addWidget(_tableGridColorButton);
    form->addRow(switches);
    // A switch that showed the mixed state goes on; it never steps back into that state.
    connect(_tableShowGridButton, &QCheckBox::clicked, this, [this](bool on) {
        _tableShowGridButton->setTristate(false);
        tableShowGridAction(on);
    });
    connect(_tableShowTableFrameButton, &QCheckBox::clicked, this, [this](bool on) {
        _tableShowTableFrameButton->setTristate(false);
        tableShowTableFrameAction(on);
    });
    connect(_tableGridColorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { tableGridColorWellAction(colour); });
    connect(_tableGridColorButton, &QAbstractButton::clicked, this,
            [this] { tableGridColorMatrixAction(_tableGridColorButton); });

    auto *lengths = new QWidget(pane);
    auto *grid = new QGridLayout(lengths);
    grid->setContentsMargins(0, 0, 0, 0);
    _tableGridLineWidthSlider =
        tableSlider(lengths, QStringLiteral("tableGridLineWidthSlider"), 50.0);
    _tableGridLineTextbox = tableField(lengths, QStringLiteral("tableGridLineTextbox"));
    _tableGridLineWidthLabel = new QLabel(lengths);
    _tableRectangleCornerRaduisSlider =
        tableSlider(lengths, QStringLiteral("tableRectangleCornerRaduisSlider"), 50.0);
    _tableRectangleCornerRaduisTextbox =
        tableField(lengths, QStringLiteral("tableRectangleCornerRaduisTextbox"));
    _tableRectangleCornerRaduisLabel = new QLabel(lengths);
    grid->addWidget(new QLabel(tr("Grid width"), lengths), 0, 0);
    grid->addWidget(_tableGridLineWidthSlider, 0, 1);
    grid->addWidget(_tableGridLineTextbox, 0, 2);
    grid->addWidget(_tableGridLineWidthLabel, 0, 3);
    grid->addWidget(new QLabel(tr("Corner radius"), lengths), 1, 0);
    grid->addWidget(_tableRectangleCornerRaduisSlider, 1, 1);
    grid->addWidget(_tableRectangleCornerRaduisTextbox, 1, 2);
    grid->addWidget(_tableRectangleCornerRaduisLabel, 1, 3);
    connect(_tableGridLineWidthSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { tableGridLineWidthAction(v); });
    connect(_tableRectangleCornerRaduisSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { tableRectangleCornerRaduisAction(v); });
    connect(_tableGridLineTextbox, &QLineEdit::returnPressed, this,
            [this] { tableGridLineWidthTextboxAction(_tableGridLineTextbox->text()); });
    connect(_tableRectangleCornerRaduisTextbox, &QLineEdit::returnPressed, this, [this] {
        tableRectangleCornerRaduisTextboxAction(_tableRectangleCornerRaduisTextbox->text());
    });

    // Cells.
    auto *cells = new QWidget(pane);
    auto *cellRow = new QHBoxLayout(cells);
    cellRow->setContentsMargins(0, 0, 0, 0);
    _tableCellsColorWell = QntColorWell::create(cells, QStringLiteral("tableCellsColorWell"));
    _tableCellsColorButton = colourButton(cells, QStringLiteral("tableCellsColorButton"));
    _tableApplyToAllCellsCheckbox = new QCheckBox(tr("Apply to all cells"), cells);
    _tableApplyToAllCellsCheckbox->setObjectName(QStringLiteral("tableApplyToAllCellsCheckbox"));
    _tableApplyToAllCellsCheckbox->setChecked(true);
    cellRow->addWidget(new QLabel(tr("Cell colour"), cells));
    cellRow->addWidget(_tableCellsColorWell);
    cellRow->addWidget(_tableCellsColorButton);
    cellRow->addStretch(1);
    cellRow->addWidget(_tableApplyToAllCellsCheckbox);
    form->addRow(cells);
    connect(_tableCellsColorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { tableCellsColorWellAction(colour); });
    connect(_tableCellsColorButton, &QAbstractButton::clicked, this,
            [this] { tableCellsColorMatrixAction(_tableCellsColorButton); });

    _tableTopBottomPaddingSlider =
        tableSlider(lengths, QStringLiteral("tableTopBottomPaddingSlider"), 1.0);
    _tableLeftRightPaddingSlider =
        tableSlider(lengths, QStringLiteral("tableLeftRightPaddingSlider"), 1.0);
    _tableTextAngleSlider = tableSlider(lengths, QStringLiteral("tableTextAngleSlider"), 180.0);
    _tableTextAngleSlider->setMinValue(-180.0);
    // The padding sliders under a caption of their own, so their labels stay short.
    grid->addWidget(new QLabel(tr("Cell padding"), lengths), 2, 0, 1, 4);
    grid->addWidget(new QLabel(tr("Top and bottom"), lengths), 3, 0);
    grid->addWidget(_tableTopBottomPaddingSlider, 3, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Left and right"), lengths), 4, 0);
    grid->addWidget(_tableLeftRightPaddingSlider, 4, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Text angle"), lengths), 5, 0);
    grid->addWidget(_tableTextAngleSlider, 5, 1, 1, 3);
    form->addRow(lengths);
    connect(_tableTopBottomPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { tableTopBottomPaddingAction(v); });
    connect(_tableLeftRightPaddingSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { tableLeftRightPaddingAction(v); });
    connect(_tableTextAngleSlider, &QntDoubleSlider::doubleValueChanged, this,
            [this](double v) { tableTextAngleSliderAction(v); });
    return pane;
}

// ---------------------------------------------------------------- the embedded inspector

VRObjectRef QntGroupModeInspector::singleTable() const
{
    const VRObjectList objects = selection();
    if (objects.size() == 1 && objects.first() && objects.first()->isKindOf<QntElementTable>())
        return objects.first();
    return nullptr;
}

QntElementModeInspector *QntGroupModeInspector::tableInspector(bool cells, int multiple)
{
    QntElementModeInspector *inspector = elementModeInspector();
    inspector->tableControls();
    inspector->setObjectsClass(VRClassInfo::byName(u"QntElementTable"));
    inspector->setMultipleSelectionMode(multiple);
    inspector->setMultipleTextCellsSelectionMode(cells ? 1 : 0);
    inspector->setPaddingMode(paddingMode());
    // The one selected table is the table its single-object paths work on; the reference is
    // dropped after each action (or when a popover opened for it closes).
    inspector->setContextObject(singleTable());
    return inspector;
}

void QntGroupModeInspector::tableShowGridAction(bool on)
{
    QntElementModeInspector *inspector = tableInspector(false);
    inspector->tableControls().showGrid->setChecked(on);
    inOneStep(tr("Show Grid"), [inspector] { inspector->tableShowGridAction(); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::tableShowTableFrameAction(bool on)
{
    QntElementModeInspector *inspector = tableInspector(false);
    inspector->tableControls().showFrame->setChecked(on);
    inOneStep(tr("Show Frame"), [inspector] { inspector->tableShowTableFrameAction(); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::tableGridLineWidthAction(double points)
{
    if (!std::isfinite(points) || points < 0)
        return;
    QntElementModeInspector *inspector = tableInspector(false);
    inOneStep(tr("Change Grid Width"),
              [inspector, points] { inspector->tableSetGridLineWidth(points); });
    inspector->setContextObject(nullptr);
    showTableLength(_tableGridLineWidthSlider, _tableGridLineTextbox, points);
}

bool QntGroupModeInspector::readTableLength(const QString &typed, QntDoubleSlider *slider,
                                            const QString &belowZero, double *points)
{
    mainView();
    *points = 0;
    if (!readLength(typed, false, points) || *points < 0) {
        if (*points < 0)
            refuse(belowZero);
        return false;
    }
    slider->setMaxValue(std::max(slider->maxValue(), *points));
    return true;
}

bool QntGroupModeInspector::tableGridLineWidthTextboxAction(const QString &typed)
{
    double points = 0;
    if (!readTableLength(typed, _tableGridLineWidthSlider, tr("The width must not be below 0."),
                         &points))
        return false;
    tableGridLineWidthAction(points);
    return true;
}

void QntGroupModeInspector::tableRectangleCornerRaduisAction(double points)
{
    if (!std::isfinite(points) || points < 0)
        return;
    QntElementModeInspector *inspector = tableInspector(false);
    inOneStep(tr("Change Corner Radius"),
              [inspector, points] { inspector->tableSetRectangleCornerRaduis(points); });
    inspector->setContextObject(nullptr);
    showTableLength(_tableRectangleCornerRaduisSlider, _tableRectangleCornerRaduisTextbox, points);
}

bool QntGroupModeInspector::tableRectangleCornerRaduisTextboxAction(const QString &typed)
{
    double points = 0;
    if (!readTableLength(typed, _tableRectangleCornerRaduisSlider,
                         tr("The radius must not be below 0."), &points))
        return false;
    tableRectangleCornerRaduisAction(points);
    return true;
}

void QntGroupModeInspector::tableGridColorWellAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    QntElementModeInspector *inspector = tableInspector(false);
    inOneStep(tr("Change Grid Colour"),
              [inspector, colour] { inspector->tableGridColorMatrixAction(colour); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::tableCellsColorWellAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    mainView();
    // Every cell of every selected table, or the selected cells of the one selected table.
    const int all = _tableApplyToAllCellsCheckbox->isChecked() ? 1 : 0;
    QntElementModeInspector *inspector = tableInspector(all == 1, all);
    inOneStep(tr("Change Cell Colour"),
              [inspector, colour] { inspector->tableCellsColorAction(colour); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::keepPanelOpenFor(QntElementModeInspector *inspector)
{
    AXAttachedWindow *popover = inspector->attachedWindowMatrixbar();
    if (!popover || popover->isReleased()) {
        inspector->setContextObject(nullptr);
        if (_attachedWindow)
            _attachedWindow->setCloseOnResignKeyWindow(true);
        return;
    }
    waitForPopover(popover);
    // The table stays the inspector's context while its popover is open, and no longer.
    connect(popover, &QObject::destroyed, this,
            [inspector] { inspector->setContextObject(nullptr); });
}

void QntGroupModeInspector::tableGridColorMatrixAction(QWidget *from)
{
    QntElementModeInspector *inspector = tableInspector(false);
    // The panel survives losing the focus to the popover.
    if (_attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(false);
    inspector->showTableGridColorMatrixAction(from);
    keepPanelOpenFor(inspector);
}

void QntGroupModeInspector::tableCellsColorMatrixAction(QWidget *from)
{
    mainView();
    const int all = _tableApplyToAllCellsCheckbox->isChecked() ? 1 : 0;
    QntElementModeInspector *inspector = tableInspector(all == 1, all);
    // The panel survives losing the focus to the popover.
    if (_attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(false);
    inspector->showCellsColorMatrixAction(from);
    keepPanelOpenFor(inspector);
}

void QntGroupModeInspector::tableTopBottomPaddingAction(double value)
{
    tablePaddingAction(value, &QntElementModeInspector::tableSetTopBottomPadding);
}

void QntGroupModeInspector::tableLeftRightPaddingAction(double value)
{
    tablePaddingAction(value, &QntElementModeInspector::tableSetLeftRightPadding);
}

void QntGroupModeInspector::tablePaddingAction(double value,
                                               void (QntElementModeInspector::*set)(double))
{
    if (!std::isfinite(value) || value < 0)
        return;
    QntElementModeInspector *inspector = tableInspector(false);
    inspector->setTableApplyToAllCellsCheckboxValue(
        _tableApplyToAllCellsCheckbox && _tableApplyToAllCellsCheckbox->isChecked() ? 1 : 0);
    inOneStep(tr("Change Paddings"), [inspector, set, value] { (inspector->*set)(value); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::tableTextAngleSliderAction(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    QntElementModeInspector *inspector = tableInspector(true);
    QntDoubleSlider *slider = inspector->tableControls().textAngleSlider;
    inOneStep(tr("Rotate Text"), [inspector, slider, degrees] {
        const QSignalBlocker quiet(slider);
        slider->setDoubleValue(degrees);
        inspector->tableTextAngleSliderAction();
    });
    inspector->setContextObject(nullptr);
}

// ---------------------------------------------------------------- refresh

void QntGroupModeInspector::showTableLength(QntDoubleSlider *slider, QLineEdit *box, double points)
{
    if (!slider || !box)
        return;
    const QSignalBlocker quiet(slider);
    slider->setDoubleValue(points);
    box->setText(twoDigits(points / unitConversionFactor()));
}

void QntGroupModeInspector::populateTableStyleToolbar()
{
    // The controls may have gone with a document window's column.
    if (!_tableShowGridButton || !m_tablePane)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool custom = notation && notation->isCustomizable();
    _tableGridColorWell->setVisible(custom);
    _tableGridColorButton->setVisible(!custom);
    showTableSwitches();
    const VRObjectRef object = singleTable();
    if (!object) {
        // Several objects leave the values shown as they were.
        return;
    }
    const auto *table = static_cast<const QntElementTable *>(object.get());
    _tableGridLineWidthSlider->setMaxValue(std::max(50.0, table->gridLineWidth()));
    _tableRectangleCornerRaduisSlider->setMaxValue(std::max(50.0, table->rectangleCornerRaduis()));
    showTableLength(_tableGridLineWidthSlider, _tableGridLineTextbox, table->gridLineWidth());
    showTableLength(_tableRectangleCornerRaduisSlider, _tableRectangleCornerRaduisTextbox,
                    table->rectangleCornerRaduis());
    if (table->gridColor().isValid()) {
        const QSignalBlocker quietWell(_tableGridColorWell);
        _tableGridColorWell->setColor(table->gridColor());
        _tableGridColorButton->setQntBackgroundColor(table->gridColor());
    }
}

void QntGroupModeInspector::showTableSwitches()
{
    int tables = 0, grids = 0, frames = 0;
    for (const VRObjectRef &object : selection()) {
        if (!object || !object->isKindOf<QntElementTable>())
            continue;
        const auto &table = static_cast<const QntElementTable &>(*object);
        ++tables;
        grids += table.showGrid() ? 1 : 0;
        frames += table.showTableFrame() ? 1 : 0;
    }
    if (tables == 0)
        return;
    // On when every selected table has it, off when none has, the mixed state otherwise (a
    // click then turns it on everywhere).
    const auto show = [tables](QCheckBox *box, int count) {
        const QSignalBlocker quiet(box);
        if (count > 0 && count < tables) {
            box->setCheckState(Qt::PartiallyChecked);
        } else {
            box->setTristate(false);
            box->setChecked(count == tables);
        }
    };
    show(_tableShowGridButton, grids);
    show(_tableShowTableFrameButton, frames);
}

void QntGroupModeInspector::populateCellStyleToolbar()
{
    if (!_tableCellsColorWell || !m_tablePane)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool custom = notation && notation->isCustomizable();
    _tableCellsColorWell->setVisible(custom);
    _tableCellsColorButton->setVisible(!custom);
    const VRObjectRef object = singleTable();
    const QSignalBlocker quietTop(_tableTopBottomPaddingSlider);
    const QSignalBlocker quietLeft(_tableLeftRightPaddingSlider);
    const QSignalBlocker quietAngle(_tableTextAngleSlider);
    if (!object) {
        if (selection().isEmpty()) {
            _tableTopBottomPaddingSlider->setDoubleValue(0);
            _tableLeftRightPaddingSlider->setDoubleValue(0);
        }
        return;
    }
    const auto *table = static_cast<const QntElementTable *>(object.get());
    // The cell paddings are what the sliders change, so they are what the sliders show.
    const QntTextCell *cell = table->activeTextCell();
    QSizeF size = cell ? cell->size() : QSizeF();
    if (size.isEmpty())
        size = table->minCellSize();
    if (paddingMode() == 0) {
        _tableTopBottomPaddingSlider->setMaxValue(1.0);
        _tableLeftRightPaddingSlider->setMaxValue(1.0);
        _tableTopBottomPaddingSlider->setDoubleValue(table->cellPaddingTopBottom() / size.height());
        _tableLeftRightPaddingSlider->setDoubleValue(table->cellPaddingLeftRight() / size.width());
    } else {
        _tableTopBottomPaddingSlider->setMaxValue(
            std::max(size.height() * 0.5, table->cellPaddingTopBottom()));
        _tableLeftRightPaddingSlider->setMaxValue(
            std::max(size.width() * 0.5, table->cellPaddingLeftRight()));
        _tableTopBottomPaddingSlider->setDoubleValue(table->cellPaddingTopBottom());
        _tableLeftRightPaddingSlider->setDoubleValue(table->cellPaddingLeftRight());
    }
    _tableTextAngleSlider->setDoubleValue(table->cellTextAngle());
    const VRObjectList selected = table->selectedCells();
    const auto *first =
        selected.isEmpty() ? cell : static_cast<const QntTextCell *>(selected.first().get());
    if (first && first->fillColour().isValid()) {
        const QSignalBlocker quietWell(_tableCellsColorWell);
        _tableCellsColorWell->setColor(first->fillColour());
        _tableCellsColorButton->setQntBackgroundColor(first->fillColour());
    }
}
