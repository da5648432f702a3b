#include "inspectors/VRInspectorBaseColorPopover.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/BWTransparentButton.h"
#include "inspectors/BWTransparentSlider.h"
#include "inspectors/QntEscapedView.h"

#include "framework/document/VRDrawingDocument.h"
#include "framework/document/VRInspectorBase.h"
#include "framework/model/VRShapeFactory.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSwatchSize = 35;
constexpr int kSpacing = 2;
constexpr double kSliderBand = 25.0;
} // namespace

void VRInspectorBaseColorPopover::colorMatrixAction(QntColorMatrix *)
{
}

void VRInspectorBaseColorPopover::transparencyAction(BWTransparentSlider *)
{
}

void VRInspectorBaseColorPopover::openShapePartsToolbar(BWTransparentButton *)
{
}

QntColorSchemeData VRInspectorBaseColorPopover::placeholderSchemeValue()
{
    return {-1, QStringLiteral("Placeholder"), QColor(Qt::transparent)};
}

QImage VRInspectorBaseColorPopover::imageForColor(const QColor &colour)
{
    QImage image(kSwatchSize, kSwatchSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    const QPainterPath rounded =
        VRShapeFactory::roundRectInRect(QRectF(0, 0, kSwatchSize, kSwatchSize), 3.5);
    painter.setClipPath(rounded);
    painter.fillPath(rounded, colour.isValid() ? colour : QColor(Qt::transparent));
    // Half of the stroke lies inside the clip: a thin white rim.
    painter.strokePath(rounded, QPen(Qt::white, 2.0));
    painter.restore();
    return image;
}

QntColorMatrix *
VRInspectorBaseColorPopover::matrixBarWithCells(const QList<QntColorMatrix::Cell> &cells,
                                                int position, quint64 cellsCountInLine)
{
    auto *matrix = new QntColorMatrix;
    if (cellsCountInLine == 0) {
        matrix->setGeometry(5, 5, 5, 5);
        return matrix;
    }
    const int n = int(std::min<quint64>(cellsCountInLine, 10000));
    const int lines = int((cells.size() + n - 1) / n);
    matrix->move(5, 5);
    matrix->setCellSize(QSize(kSwatchSize, kSwatchSize));
    matrix->setIntercellSpacing(QSize(kSpacing, kSpacing));
    if (position != 0)
        matrix->renewRows(lines, n);
    else
        matrix->renewRows(n, lines);
    for (int line = 0; line < lines; ++line) {
        const QList<QntColorMatrix::Cell> lineCells = cells.mid(line * n, n);
        if (position != 0)
            matrix->addRowAndDropFirst(lineCells);
        else
            matrix->addColumnAndDropFirst(lineCells);
    }
    matrix->sizeToCells();
    return matrix;
}

QntColorMatrix *VRInspectorBaseColorPopover::populateColorMatrixWithSchemeValues(
    const QList<QntColorSchemeData> &values, int position, quint64 cellsCountInLine,
    const QColor &buttonBackgroundColor)
{
    QList<QntColorSchemeData> padded = values;
    // A line count of 0 is no grid at all (and must not be used as a divisor).
    if (cellsCountInLine != 0) {
        while (quint64(padded.size()) % cellsCountInLine != 0)
            padded.append(placeholderSchemeValue());
    }
    QList<QntColorMatrix::Cell> cells;
    for (const QntColorSchemeData &value : std::as_const(padded)) {
        cells.append({imageForColor(value.colour), buttonBackgroundColor,
                      QVariant::fromValue(value),
                      [this](QntColorMatrix *sender) { colorMatrixAction(sender); }});
    }
    return matrixBarWithCells(cells, position, cellsCountInLine);
}

QntColorMatrix *VRInspectorBaseColorPopover::populateColorMatrixWithSchemeValues(
    const QList<QntColorSchemeData> &values, int position, const QColor &buttonBackgroundColor)
{
    return populateColorMatrixWithSchemeValues(values, position, quint64(values.size()),
                                               buttonBackgroundColor);
}

QntColorMatrix *
VRInspectorBaseColorPopover::populateColorMatrix(const QList<QColor> &colours, int position,
                                                 const QColor &buttonBackgroundColor,
                                                 std::function<void(QntColorMatrix *)> targetAction)
{
    QList<QColor> padded = colours;
    while (padded.size() % 6 != 0)
        padded.append(QColor(Qt::transparent));
    QList<QntColorMatrix::Cell> cells;
    for (const QColor &colour : std::as_const(padded))
        cells.append({imageForColor(colour), buttonBackgroundColor, colour, targetAction});
    return matrixBarWithCells(cells, position, 6);
}

QntColorMatrix *
VRInspectorBaseColorPopover::populateColorMatrix(const QList<QColor> &colours, int position,
                                                 const QColor &buttonBackgroundColor)
{
    return populateColorMatrix(colours, position, buttonBackgroundColor,
                               [this](QntColorMatrix *sender) { colorMatrixAction(sender); });
}

BWTransparentSlider *VRInspectorBaseColorPopover::transparencySliderWithFrame(const QRectF &frame)
{
    auto *slider = new BWTransparentSlider;
    slider->setGeometry(frame.toRect());
    slider->setMinValue(0.0);
    slider->setMaxValue(2.0);
    slider->setDoubleValue(1.0);
    QObject::connect(slider, &QntDoubleSlider::doubleValueChanged, slider,
                     [this, slider](double) { transparencyAction(slider); });
    return slider;
}

AXAttachedWindow *VRInspectorBaseColorPopover::createMatrixbarAtPoint(QPointF point,
                                                                      QntColorMatrix *matrix,
                                                                      AXAttachedWindow *inWindow,
                                                                      int arrowPosition,
                                                                      bool addTransparencySlider)
{
    // An open popover is never stacked; one that has already closed itself no longer counts.
    if (inWindow && !inWindow->isReleased()) {
        delete matrix;
        return inWindow;
    }
    const QSize grid = matrix ? matrix->size() : QSize(0, 0);
    const double band = addTransparencySlider ? kSliderBand : 0.0;
    const double width = grid.width() + 10.0;
    const double height = grid.height() + 10.0 + band;
    auto *content = new QntEscapedView(QRect(0, 0, int(width), int(height)));
    // The grid sits 5 points from the bottom (above the slider band when there is one) and
    // from the left; the view's own coordinates run downwards.
    if (matrix) {
        matrix->setParent(content);
        matrix->move(5, int(height - 5.0 - band - grid.height()));
    }
    if (addTransparencySlider) {
        BWTransparentSlider *slider =
            transparencySliderWithFrame(QRectF(5.0, height - 5.0 - 15.0, width - 66.0, 15.0));
        slider->setParent(content);
        auto *edit = new BWTransparentButton(QStringLiteral("Edit"), content);
        edit->setTag(kEditButtonTag);
        edit->setGeometry(int(width - 61.0), int(height + 5.0 - 28.0), 56, 28);
        edit->setVisible(respondsToOpenShapePartsToolbar());
        QObject::connect(edit, &QPushButton::clicked, edit,
                         [this, edit] { openShapePartsToolbar(edit); });
    }
    int side = arrowPosition;
    // Not enough room above the point for the popover: it opens below the point.
    const QRectF visible = AXScreen::visibleFrameForPoint(point);
    if (!visible.isEmpty() && height + 10.0 + point.y() > visible.bottom())
        side = AXAttachedWindow::kBelow;
    AXAttachedWindow *window = AXAttachedWindow::create(content, point, side, 0.0);
    window->setAttachedToolbarLook(10.0);
    window->setCloseOnResignKeyWindow(true);
    placeAttachedWindowInScreenFrame(window, point, side);
    window->addToParentWindow(colorPopoverHostWindow());
    return window;
}

void VRInspectorBaseColorPopover::placeAttachedWindowInScreenFrame(AXAttachedWindow *window,
                                                                   QPointF point, int arrowPos)
{
    if (!window)
        return;
    // The right edge of the screen that holds the point, not of the widest screen: the window
    // stays on its own monitor.
    const QRectF visible = AXScreen::visibleFrameForPoint(point);
    if (visible.isEmpty())
        return;
    const double screensRight = visible.right();
    if (window->frame().right() <= screensRight)
        return;
    QPointF start;
    switch (arrowPos) {
    case 0: start = {5.0, 0.0}; break;
    case 1: start = {0.0, -5.0}; break;
    case 2: start = {-5.0, 0.0}; break;
    case 3: start = {0.0, 5.0}; break;
    default: break;
    }
    // Moved as a drag from the point beside the arrow by exactly the overshoot, so the right
    // edge ends on the screen's edge.
    window->prepareMovingFromPoint(point + start);
    const double right = window->frame().right();
    window->moveToPoint(point + start - QPointF(right - screensRight, 0.0));
}

QWidget *VRInspectorBaseColorPopover::colorPopoverHostWindow() const
{
    const auto *inspector = dynamic_cast<const VRInspectorBase *>(this);
    VRDrawingDocument *document = inspector ? inspector->currentDocument() : nullptr;
    return document ? document->windowForSheet() : nullptr;
}

QPointF VRInspectorBaseColorPopover::attachPointOfWidget(const QWidget *widget, int side)
{
    if (!widget)
        return {};
    const QRect r = widget->rect();
    QPoint local;
    switch (AXAttachedWindow::familyOfSide(side)) {
    case AXAttachedWindow::Family::Left: local = {r.left(), r.center().y()}; break;
    case AXAttachedWindow::Family::Below: local = {r.center().x(), r.bottom() + 1}; break;
    case AXAttachedWindow::Family::Above: local = {r.center().x(), r.top()}; break;
    default: local = {r.right() + 1, r.center().y()}; break;
    }
    return AXScreen::fromGlobal(QPointF(widget->mapToGlobal(local)));
}
