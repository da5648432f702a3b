#include "inspectors/QntGroupModeInspector.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"

#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"
#include "inspectors/BWTransparentSlider.h"
#include "style/VKColourPickerView.h"
#include "style/VKWindowMenu.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include <cmath>

// The colour pane: a colour scheme and an opacity for every selected object, or the colour list
// of one directly drawn element.

namespace {

const QColor kPaletteBackground = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f);
constexpr int kSwatchesInLine = 6;

} // namespace

QWidget *QntGroupModeInspector::buildColorPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ElementColor));
    auto *form = new QFormLayout(pane);
    _viewElementColorTabViewItem = new QWidget(pane);
    _viewElementColorTabViewItem->setObjectName(QStringLiteral("colorPalette"));
    auto *holder = new QVBoxLayout(_viewElementColorTabViewItem);
    holder->setContentsMargins(11, 11, 11, 11);
    holder->setSpacing(8);
    form->addRow(_viewElementColorTabViewItem);
    m_schemeRow = _viewElementColorTabViewItem;
    form->addRow(buildElementStyleSection(pane));
    form->addRow(buildGeometryView(pane));
    form->addRow(buildDefaultsMenu(QStringLiteral("elementDefaults"), pane, false));
    return pane;
}

void QntGroupModeInspector::populateColorPalette()
{
    if (!_viewElementColorTabViewItem || !m_schemeRow)
        return;
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    QntColorMatrix *matrix = populateColorMatrixWithSchemeValues(
        notation ? notation->colorSchemesList() : QList<QntColorSchemeData>{}, 1, kSwatchesInLine,
        kPaletteBackground);
    matrix->setObjectName(QStringLiteral("schemeMatrix"));
    BWTransparentSlider *slider = transparencySliderWithFrame(QRectF(0, 0, matrix->width(), 15));
    slider->setObjectName(QStringLiteral("transparency"));
    // Several objects take the transparency once, when the slider is let go.
    slider->setTracking(selection().size() <= 1);
    placeInPalette(matrix, slider);
    // Customizable notations colour elements through the simple style instead.
    const bool custom = notation && notation->isCustomizable();
    _viewElementColorTabViewItem->setVisible(!custom);
}

void QntGroupModeInspector::populateColorPaletteForElement(const VRObjectRef &element)
{
    if (!_viewElementColorTabViewItem || !m_schemeRow || !element
        || !element->isKindOf<QntDirectlyDrawedElement>())
        return;
    const auto &drawn = static_cast<const QntDirectlyDrawedElement &>(*element);
    QntColorMatrix *matrix = populateColorMatrix(drawn.colors(), 1, kPaletteBackground,
                                                 [this](QntColorMatrix *m) { showColorPicker(m); });
    matrix->setObjectName(QStringLiteral("elementColorList"));
    placeInPalette(matrix, nullptr);
    _viewElementColorTabViewItem->setVisible(true);
}

void QntGroupModeInspector::placeInPalette(QntColorMatrix *matrix, BWTransparentSlider *slider)
{
    QLayout *layout = _viewElementColorTabViewItem->layout();
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *old = item->widget()) {
            old->hide();
            old->deleteLater();
        }
        delete item;
    }
    matrix->sizeToCells();
    matrix->setFixedSize(matrix->size());
    layout->addWidget(matrix);
    if (slider) {
        slider->setFixedWidth(std::max(matrix->width(), 120));
        layout->addWidget(slider);
    }
    m_paletteMatrix = matrix;
    m_paletteTransparencySlider = slider;
    if (_attachedWindow && _viewBase && m_shownTag == ElementColor)
        selectPaneWithTag(ElementColor);
}

void QntGroupModeInspector::colorMatrixAction(QntColorMatrix *sender)
{
    const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
    if (!cell || cell->representedObject.metaType() != QMetaType::fromType<QntColorSchemeData>())
        return;
    colorMatrixAction(cell->representedObject.value<QntColorSchemeData>().schemeId);
}

void QntGroupModeInspector::transparencyAction(BWTransparentSlider *sender)
{
    if (sender)
        transparencyAction(sender->doubleValue());
}

namespace {

// The one selected object when it is a directly drawn element.
std::shared_ptr<QntDirectlyDrawedElement> singleDrawnElement(const VRObjectList &objects)
{
    if (objects.size() != 1 || !objects.first()
        || !objects.first()->isKindOf<QntDirectlyDrawedElement>())
        return nullptr;
    return std::static_pointer_cast<QntDirectlyDrawedElement>(objects.first());
}

} // namespace

bool QntGroupModeInspector::pickSwatch(QntColorMatrix *matrix)
{
    m_pickerElement.reset();
    const QntColorMatrix::Cell *cell = matrix ? matrix->selectedCell() : nullptr;
    const std::shared_ptr<QntDirectlyDrawedElement> element = singleDrawnElement(selection());
    if (!cell || !element)
        return false;
    const QColor colour = cell->representedObject.metaType() == QMetaType::fromType<QColor>()
                              ? cell->representedObject.value<QColor>()
                              : QColor();
    // A clear swatch only fills up the last line of the list.
    if (!colour.isValid() || colour.alpha() == 0)
        return false;
    _selectedColorIndex =
        quint64(matrix->selectedRow()) * kSwatchesInLine + quint64(matrix->selectedColumn());
    if (_selectedColorIndex >= quint64(element->colors().size()))
        return false;
    // The picker edits this element's entry only, whatever is selected meanwhile.
    m_pickerElement = element;
    m_pickerColour = colour;
    return true;
}

bool QntGroupModeInspector::showColorPicker(QntColorMatrix *matrix)
{
    if (!pickSwatch(matrix))
        return false;
    auto *picker = new VKColourPickerView(QRect(0, 0, 161, 161));
    picker->setMode(VKColourPickerView::SwatchMode);
    picker->setTarget(this);
    picker->setAction([this](VKColourPickerView &p) { colourChangeFromPicker(p.color()); });
    picker->setColorForUndefinedSelection(m_pickerColour);
    picker->setShowsInfo(false);
    VKWindowMenu *menu = VKWindowMenu::windowMenuWithContentView(picker);
    const QPoint at = matrix->mapTo(matrix->window(), QPoint(6, matrix->height() - 5));
    // The panel stays open while the picker has the focus.
    QPointer<AXAttachedWindow> panel = _attachedWindow;
    const bool closes = panel && panel->closesOnResignKeyWindow();
    if (panel)
        panel->setCloseOnResignKeyWindow(false);
    VKWindowMenu::popUpWindowMenu(menu, at, nullptr, matrix);
    if (panel)
        panel->setCloseOnResignKeyWindow(closes);
    return true;
}

bool QntGroupModeInspector::colourChangeFromPicker(const QColor &colour)
{
    const std::shared_ptr<VRDrawableObject> bound = m_pickerElement.lock();
    const std::shared_ptr<QntDirectlyDrawedElement> element = singleDrawnElement(selection());
    if (!bound || bound != element || !colour.isValid())
        return false;
    if (_selectedColorIndex >= quint64(element->colors().size()))
        return false;
    element->setColor(colour, int(_selectedColorIndex));
    element->notifyVisualChange();
    if (m_paletteMatrix) {
        // The swatch shows the new colour at once.
        populateColorPaletteForElement(element);
    }
    return true;
}

void QntGroupModeInspector::colorMatrixAction(qint64 schemeId)
{
    // The placeholder swatches of a scheme grid carry no scheme.
    if (schemeId < 0)
        return;
    changeSelection(tr("Change Color Scheme"), [schemeId](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntConnector>())
            return false;
        o->replaceColorScheme(schemeId);
        return true;
    });
}

void QntGroupModeInspector::transparencyAction(double coefficient)
{
    if (!std::isfinite(coefficient))
        return;
    const double coef = std::clamp(coefficient, 0.0, 2.0);
    changeSelection(tr("Change Transparency"), [coef](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntElementArrow>())
            return false;
        o->changeTransparencyWithCoef(coef);
        return true;
    });
}
