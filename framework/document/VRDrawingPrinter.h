#pragma once

#include <QList>
#include <QRectF>

class QPrinter;
class VRDrawing;

// Prints a drawing as its pagination lays it out. Tiled (pagination 0), the drawing is cut
// into pieces the size of the page's imageable area, row by row from its top-left corner, where
// the view shows its page breaks; fitted (pagination 1), the whole drawing goes on one page,
// made smaller when it is larger than the page's imageable area. Only the layers that print are
// drawn, so the grid only while its printing flag is on, and guides never; selection handles
// belong to the view and are never printed.
class VRDrawingPrinter
{
public:
    // The parts of the drawing the pages show, in printing order, for pages whose imageable
    // area has that size (points). Empty for an empty drawing.
    static QList<QRectF> pageRects(const VRDrawing &drawing, QSizeF imageable);
    // Prints the pages in the printer's page range (all without one) with the printer's page
    // layout. False when there is nothing to print or the printer could not begin.
    static bool print(const VRDrawing &drawing, QPrinter &printer);
};
