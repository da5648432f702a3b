// QntElementModeInspector: the colour-palette button and its scheme popover, the colour and
// transparency actions every colour popover of this inspector ends in, and the table colour
// popovers.
#include "inspectors/QntElementModeInspector.h"

#include "inspectors/AXScreen.h"
#include "inspectors/BWTransparentSlider.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorMatrix.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"

#include <QCheckBox>
#include <QScopedValueRollback>

namespace {
const QColor kSwatchBackground = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f);

bool isSchemeValue(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<QntColorSchemeData>();
}
} // namespace

void QntElementModeInspector::updateSelectColorButton()
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const std::shared_ptr<QntElement> element = contextElement();
    if (!notation || !element)
        return;
    const QColor colour = notation->iconColor(element->colorSchemeId());
    for (const QntButtonMatrix::Cell &cell : mToolMatrix->cells()) {
        if (cell.title != QStringLiteral("Color Palette") || !cell.button)
            continue;
        cell.button->setIcon(QIcon(QPixmap::fromImage(imageForColor(colour))));
        cell.button->setText(QString());
        cell.button->setBordered(false);
        cell.button->setQntBackgroundColor(kSwatchBackground);
        cell.button->update();
    }
}

void QntElementModeInspector::createColorToolbar(QntButtonMatrix *matrix)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const std::shared_ptr<QntElement> element = contextElement();
    if (!notation || !element || !matrix)
        return;
    QntColorMatrix *grid =
        populateColorMatrixWithSchemeValues(notation->colorSchemesList(), 1, 6, kSwatchBackground);
    grid->sizeToCells();
    const QRect cell = matrix->cellFrameAtRow(std::max(0, matrix->selectedRow()));
    QPointF anchor = AXScreen::fromGlobal(
        QPointF(matrix->mapToGlobal(QPoint(cell.right() + 1, cell.center().y()))));
    int side = AXAttachedWindow::kRight;
    if (anchor.x() + grid->width() + 20 + 10 > totalScreensWidth()) {
        side = AXAttachedWindow::kLeft;
        anchor.rx() -= cell.width();
    }
    const bool imported = element->ID().endsWith(QStringLiteral("IMPORTED"));
    _attachedWindowMatrixbar =
        createMatrixbarAtPoint(anchor, grid, _attachedWindowMatrixbar, side, !imported);
    if (_attachedWindowMatrixbar) {
        _attachedWindowMatrixbar->setObjectName(QStringLiteral("colorPaletteWindow"));
        _attachedWindowMatrixbar->orderFront(true);
    }
}

VRObjectList QntElementModeInspector::colorTargets()
{
    if (multipleSelectionMode() == 1) {
        const VRClassInfo *cls = objectsClass();
        // Text cells, or every cell of the selected tables.
        if (cls
            && (cls == VRClassInfo::byName(u"QntTextCell")
                || multipleTextCellsSelectionMode() == 1))
            return selectedObjectForCurrentTarget();
        return cls ? objectsInSelectionOfClass(*cls) : VRObjectList{};
    }
    const VRObjectRef object = _contextObject;
    if (!object)
        return {};
    if (object->isKindOf<QntElementTable>()) {
        auto *table = static_cast<QntElementTable *>(object.get());
        if (m_table.applyToAllCells && m_table.applyToAllCells->isChecked()) {
            // Picked by the toolbar itself: the open toolbar and column stay as they are.
            const QScopedValueRollback selecting(m_selectingAllCells, true);
            table->selectAllTextCells();
        }
        return table->selection();
    }
    return {object};
}

void QntElementModeInspector::colorMatrixAction(QntColorMatrix *sender)
{
    const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
    if (!cell)
        return;
    applyColorValue(cell->representedObject);
}

void QntElementModeInspector::applyColorValue(const QVariant &value)
{
    if (isSchemeValue(value) && isPlaceholderSchemeValue(value.value<QntColorSchemeData>()))
        return;
    const bool scheme = isSchemeValue(value);
    const bool colour = value.metaType() == QMetaType::fromType<QColor>();
    if (!scheme && !colour)
        return;
    bool recoloured = false;
    for (const VRObjectRef &target : colorTargets()) {
        if (!target)
            continue;
        // Each kind takes only its kind of value: a scheme for an element, a colour for a cell.
        if (scheme && target->isKindOf<QntElement>()) {
            target->replaceColorScheme(value.value<QntColorSchemeData>().schemeId);
            target->notifyVisualChange();
            recoloured = true;
        } else if (colour && target->isKindOf<QntTextCell>()) {
            if (m_table.cellsColorButton)
                m_table.cellsColorButton->setQntBackgroundColor(value.value<QColor>());
            static_cast<QntTextCell *>(target.get())->fillWithColor(value.value<QColor>());
            if (QntElementTable *table = static_cast<QntTextCell *>(target.get())->owner())
                table->notifyVisualChange();
        }
    }
    if (recoloured) {
        updateSelectColorButton();
        followColourChangeInStyleToolbar();
    }
}

void QntElementModeInspector::followColourChangeInStyleToolbar()
{
    // An open contour or element style toolbar shows the colours the element now has.
    if (!_attachedSimpleStyleWindow || !contextElement())
        return;
    populateSimpleStyleToolbar();
    _attachedSimpleStyleWindow->redisplayLater();
}

void QntElementModeInspector::transparencyAction(BWTransparentSlider *sender)
{
    if (sender)
        applyTransparency(sender->doubleValue());
}

void QntElementModeInspector::applyTransparency(double coef)
{
    if (!std::isfinite(coef))
        return;
    bool changed = false;
    for (const VRObjectRef &target : colorTargets()) {
        if (target && target->isKindOf<QntElement>()) {
            target->changeTransparencyWithCoef(coef);
            target->notifyVisualChange();
            changed = true;
        }
    }
    if (changed)
        followColourChangeInStyleToolbar();
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->redisplayLater();
}

void QntElementModeInspector::showTableGridColorMatrixAction(QWidget *sender)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || !sender)
        return;
    QList<QColor> colours = notation->tableGridColors();
    colours.append(QColor(Qt::gray));
    QntColorMatrix *grid =
        populateColorMatrix(colours, 1, kSwatchBackground, [this](QntColorMatrix *matrix) {
            const QntColorMatrix::Cell *cell = matrix ? matrix->selectedCell() : nullptr;
            if (cell)
                tableGridColorMatrixAction(cell->representedObject.value<QColor>());
        });
    grid->sizeToCells();
    _attachedWindowMatrixbar =
        createMatrixbarAtPoint(attachPointOfWidget(sender, AXAttachedWindow::kBelow), grid,
                               _attachedWindowMatrixbar, AXAttachedWindow::kBelow, false);
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->orderFront(true);
}

void QntElementModeInspector::showCellsColorMatrixAction(QWidget *sender)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || !sender)
        return;
    QList<QColor> colours = notation->tableColors();
    colours.append(QColor(Qt::transparent));
    colours.append(QColor(Qt::white));
    QntColorMatrix *grid = populateColorMatrix(colours, 1, kSwatchBackground);
    grid->sizeToCells();
    _attachedWindowMatrixbar =
        createMatrixbarAtPoint(attachPointOfWidget(sender, AXAttachedWindow::kBelow), grid,
                               _attachedWindowMatrixbar, AXAttachedWindow::kBelow, false);
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->orderFront(true);
}
