#pragma once

#include "framework/routing/VRRouteTypes.h"

#include <QRectF>

#include <unordered_map>
#include <vector>

// Uniform bucket grid over rectangles: the router's point and area queries touch only the few
// rectangles near the query instead of every obstacle of the drawing.
class VRRouteSpatialIndex
{
public:
    struct Entry {
        VRRouteId id;
        QRectF rect;
    };

    explicit VRRouteSpatialIndex(double cellSize = 128.0);

    void insert(VRRouteId id, const QRectF &rect);
    // rect must be the one the id was inserted with.
    void remove(VRRouteId id, const QRectF &rect);
    void clear();

    // Entries whose rectangle may contain the point (one bucket).
    const std::vector<Entry> *entriesAt(double x, double y) const;
    // True when the point lies further than margin inside its bucket, so every rectangle within
    // margin of it is among entriesAt.
    bool deepInsideCell(double x, double y, double margin) const;
    // Ids of the rectangles intersecting (or touching) the area, each once.
    std::vector<VRRouteId> query(const QRectF &area) const;

private:
    int cell(double v) const;
    static qint64 key(int cx, int cy) { return (qint64(cx) << 32) ^ qint64(quint32(cy)); }

    double m_cellSize;
    std::unordered_map<qint64, std::vector<Entry>> m_cells;
};
