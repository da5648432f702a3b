#pragma once

#include "framework/routing/VRRouteTypes.h"

#include <QRectF>

#include <algorithm>

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
    // True when `test` holds for an entry whose rectangle intersects (or touches) the area; an
    // entry may be tested more than once.
    template <typename Test> bool any(const QRectF &area, const Test &test) const
    {
        const int x0 = cell(area.left()), x1 = std::min(cell(area.right()), x0 + kMaxSpan);
        const int y0 = cell(area.top()), y1 = std::min(cell(area.bottom()), y0 + kMaxSpan);
        for (int cx = x0; cx <= x1; ++cx) {
            for (int cy = y0; cy <= y1; ++cy) {
                const Bucket *b = find(key(cx, cy));
                if (!b)
                    continue;
                for (const Entry &e : b->entries)
                    if (e.rect.right() >= area.left() && e.rect.left() <= area.right()
                        && e.rect.bottom() >= area.top() && e.rect.top() <= area.bottom()
                        && test(e))
                        return true;
            }
        }
        return false;
    }

private:
    // Rectangles larger than this many cells a side are clipped to keep inserts bounded; the
    // router never sees rectangles that large in practice (coordinates are limited to the
    // drawing).
    static constexpr int kMaxSpan = 4096;

    // Buckets by their cell's key in an open-addressing table: the router asks for the bucket
    // of a point at nearly every step of a search. Buckets once used keep their place when
    // emptied.
    struct Bucket {
        qint64 key = 0;
        bool used = false;
        std::vector<Entry> entries;
    };

    int cell(double v) const;
    static qint64 key(int cx, int cy) { return (qint64(cx) << 32) ^ qint64(quint32(cy)); }
    size_t slotOf(qint64 key) const;
    const Bucket *find(qint64 key) const;
    Bucket &take(qint64 key);

    double m_cellSize;
    std::vector<Bucket> m_buckets;
    size_t m_used = 0;
};
