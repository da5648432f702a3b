#pragma once

#include "inspectors/QntColorMatrix.h"

#include "framework/notations/QntNotation.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QVariant>

#include <functional>

class AXAttachedWindow;
class BWTransparentButton;
class BWTransparentSlider;
class QWidget;

// Colour popovers: a grid of round-cornered colour swatches in a small attached window that
// closes itself as soon as it stops being the active window, optionally with a transparency
// slider and an "Edit" button under the grid. An inspector that shows colour choices derives
// from this class as well as from its inspector base (QntContextMenu already does) and is the
// target of the swatches, of the slider and of the button.
//
// How a caller opens one:
//   QntColorMatrix *grid = populateColorMatrix(colours, 1, background);   // plain colours, or
//   // populateColorMatrixWithSchemeValues(notation->colorSchemesList(), 1, 6, background)
//   m_popover = createMatrixbarAtPoint(screenPoint, grid, m_popover, AXAttachedWindow::kRight,
//                                      withTransparencySlider);
//   m_popover->orderFront(true);
// where m_popover is a QPointer<AXAttachedWindow> (QntContextMenu keeps _attachedWindowMatrixbar
// and forgets it on kQXPopoverDidCloseNotification), screenPoint is in AXScreen geometry
// (y up), for instance attachPointOfWidget(button, side). A choice arrives in the target's
// colorMatrixAction (the grid's selectedCell()->representedObject is a QntColorSchemeData or a
// QColor), the slider in transparencyAction (doubleValue() 0.0 to 2.0, 1.0 at first), the
// "Edit" button (tag 333, shown only when respondsToOpenShapePartsToolbar()) in
// openShapePartsToolbar. A scheme value whose identifier is -1 is the placeholder that fills up
// the last line of a scheme grid: receivers ignore it (isPlaceholderSchemeValue).
class VRInspectorBaseColorPopover
{
public:
    static constexpr int kEditButtonTag = 333;

    VRInspectorBaseColorPopover() = default;
    virtual ~VRInspectorBaseColorPopover() = default;
    VRInspectorBaseColorPopover(const VRInspectorBaseColorPopover &) = delete;
    VRInspectorBaseColorPopover &operator=(const VRInspectorBaseColorPopover &) = delete;

    // Receivers.
    virtual void colorMatrixAction(QntColorMatrix *sender);
    virtual void transparencyAction(BWTransparentSlider *sender);
    virtual bool respondsToOpenShapePartsToolbar() const { return false; }
    virtual void openShapePartsToolbar(BWTransparentButton *sender);

    // A grid of scheme swatches, n per line (a line is a row when position is not 0, a column
    // when it is 0); the last line is filled up with placeholders. n = 0 gives an empty grid.
    QntColorMatrix *populateColorMatrixWithSchemeValues(const QList<QntColorSchemeData> &values,
                                                        int position, quint64 cellsCountInLine,
                                                        const QColor &buttonBackgroundColor);
    // All the values on one line.
    QntColorMatrix *populateColorMatrixWithSchemeValues(const QList<QntColorSchemeData> &values,
                                                        int position,
                                                        const QColor &buttonBackgroundColor);
    // A grid of colour swatches, 6 per line, the last line filled up with clear colours; each
    // swatch sends targetAction (colorMatrixAction when none is given).
    QntColorMatrix *populateColorMatrix(const QList<QColor> &colours, int position,
                                        const QColor &buttonBackgroundColor,
                                        std::function<void(QntColorMatrix *)> targetAction);
    QntColorMatrix *populateColorMatrix(const QList<QColor> &colours, int position,
                                        const QColor &buttonBackgroundColor);
    // The grid of the cells, n per line; the cell count is a multiple of n.
    static QntColorMatrix *matrixBarWithCells(const QList<QntColorMatrix::Cell> &cells,
                                              int position, quint64 cellsCountInLine);
    // The 35 x 35 swatch: the colour in a rounded square with a thin white rim.
    static QImage imageForColor(const QColor &colour);
    BWTransparentSlider *transparencySliderWithFrame(const QRectF &frame);

    // The popover around the grid at the attach point (AXScreen geometry) and side. When a
    // popover is given and still open it is returned unchanged and the grid is deleted: an
    // open popover is never stacked. The grid belongs to the popover.
    AXAttachedWindow *createMatrixbarAtPoint(QPointF point, QntColorMatrix *matrix,
                                             AXAttachedWindow *inWindow, int arrowPosition,
                                             bool addTransparencySlider);
    // Keeps the window's right edge on the screens; inspectors with a placement of their own
    // override it.
    virtual void placeAttachedWindowInScreenFrame(AXAttachedWindow *window, QPointF point,
                                                  int arrowPos);
    // The window the popovers are child windows of: the current document's window.
    virtual QWidget *colorPopoverHostWindow() const;

    static QntColorSchemeData placeholderSchemeValue();
    static bool isPlaceholderSchemeValue(const QntColorSchemeData &value)
    {
        return value.schemeId == -1;
    }
    // The middle of a widget's edge on the given side (AXScreen geometry): where a popover
    // opened from that widget points.
    static QPointF attachPointOfWidget(const QWidget *widget, int side);
};
