#include "framework/routing/VRRouteSpatialIndex.h"

#include <algorithm>
#include <cmath>

namespace {
// Rectangles larger than this many buckets a side are clipped to keep inserts bounded; the router
// never sees rectangles that large in practice (coordinates are limited to the drawing).
constexpr int kMaxSpan = 4096;
}

VRRouteSpatialIndex::VRRouteSpatialIndex(double cellSize)
    : m_cellSize(cellSize > 0 ? cellSize : 128.0)
{
}

int VRRouteSpatialIndex::cell(double v) const
{
    const double c = std::floor(v / m_cellSize);
    return int(std::clamp(c, -1.0e9, 1.0e9));
}

void VRRouteSpatialIndex::insert(VRRouteId id, const QRectF &rect)
{
    const int x0 = cell(rect.left()), x1 = std::min(cell(rect.right()), x0 + kMaxSpan);
    const int y0 = cell(rect.top()), y1 = std::min(cell(rect.bottom()), y0 + kMaxSpan);
    for (int cx = x0; cx <= x1; ++cx)
        for (int cy = y0; cy <= y1; ++cy)
            m_cells[key(cx, cy)].push_back({id, rect});
}

void VRRouteSpatialIndex::remove(VRRouteId id, const QRectF &rect)
{
    const int x0 = cell(rect.left()), x1 = std::min(cell(rect.right()), x0 + kMaxSpan);
    const int y0 = cell(rect.top()), y1 = std::min(cell(rect.bottom()), y0 + kMaxSpan);
    for (int cx = x0; cx <= x1; ++cx) {
        for (int cy = y0; cy <= y1; ++cy) {
            auto it = m_cells.find(key(cx, cy));
            if (it == m_cells.end())
                continue;
            auto &v = it->second;
            v.erase(std::remove_if(v.begin(), v.end(), [id](const Entry &e) { return e.id == id; }),
                    v.end());
            if (v.empty())
                m_cells.erase(it);
        }
    }
}

void VRRouteSpatialIndex::clear()
{
    m_cells.clear();
}

const std::vector<VRRouteSpatialIndex::Entry> *VRRouteSpatialIndex::entriesAt(double x,
                                                                              double y) const
{
    auto it = m_cells.find(key(cell(x), cell(y)));
    return it == m_cells.end() ? nullptr : &it->second;
}

bool VRRouteSpatialIndex::deepInsideCell(double x, double y, double margin) const
{
    const double cx = x - double(cell(x)) * m_cellSize, cy = y - double(cell(y)) * m_cellSize;
    return cx > margin && cx < m_cellSize - margin && cy > margin && cy < m_cellSize - margin;
}

std::vector<VRRouteId> VRRouteSpatialIndex::query(const QRectF &area) const
{
    std::vector<VRRouteId> ids;
    const int x0 = cell(area.left()), x1 = std::min(cell(area.right()), x0 + kMaxSpan);
    const int y0 = cell(area.top()), y1 = std::min(cell(area.bottom()), y0 + kMaxSpan);
    const qint64 buckets = qint64(x1 - x0 + 1) * (y1 - y0 + 1);
    auto take = [&](const std::vector<Entry> &v) {
        for (const Entry &e : v) {
            if (e.rect.right() >= area.left() && e.rect.left() <= area.right()
                && e.rect.bottom() >= area.top() && e.rect.top() <= area.bottom())
                ids.push_back(e.id);
        }
    };
    if (buckets > qint64(m_cells.size())) {
        for (const auto &[k, v] : m_cells)
            take(v);
    } else {
        for (int cx = x0; cx <= x1; ++cx)
            for (int cy = y0; cy <= y1; ++cy)
                if (auto it = m_cells.find(key(cx, cy)); it != m_cells.end())
                    take(it->second);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}
