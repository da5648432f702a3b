#include "framework/routing/VRRouteSpatialIndex.h"

#include <algorithm>
#include <cmath>

VRRouteSpatialIndex::VRRouteSpatialIndex(double cellSize)
    : m_cellSize(cellSize > 0 ? cellSize : 128.0)
{
}

int VRRouteSpatialIndex::cell(double v) const
{
    const double c = std::floor(v / m_cellSize);
    return int(std::clamp(c, -1.0e9, 1.0e9));
}

size_t VRRouteSpatialIndex::slotOf(qint64 k) const
{
    const size_t mask = m_buckets.size() - 1;
    quint64 h = quint64(k) * 0x9E3779B97F4A7C15ULL;
    h ^= h >> 32;
    size_t i = size_t(h) & mask;
    while (m_buckets[i].used && m_buckets[i].key != k)
        i = (i + 1) & mask;
    return i;
}

const VRRouteSpatialIndex::Bucket *VRRouteSpatialIndex::find(qint64 k) const
{
    if (m_used == 0)
        return nullptr;
    const Bucket &bucket = m_buckets[slotOf(k)];
    return bucket.used && !bucket.entries.empty() ? &bucket : nullptr;
}

VRRouteSpatialIndex::Bucket &VRRouteSpatialIndex::take(qint64 k)
{
    if ((m_used + 1) * 2 > m_buckets.size()) {
        std::vector<Bucket> old;
        old.swap(m_buckets);
        m_buckets.resize(std::max<size_t>(256, old.size() * 2));
        for (Bucket &b : old) {
            if (!b.used)
                continue;
            Bucket &to = m_buckets[slotOf(b.key)];
            to.used = true;
            to.key = b.key;
            to.entries = std::move(b.entries);
        }
    }
    Bucket &bucket = m_buckets[slotOf(k)];
    if (!bucket.used) {
        bucket.used = true;
        bucket.key = k;
        ++m_used;
    }
    return bucket;
}

void VRRouteSpatialIndex::insert(VRRouteId id, const QRectF &rect)
{
    const int x0 = cell(rect.left()), x1 = std::min(cell(rect.right()), x0 + kMaxSpan);
    const int y0 = cell(rect.top()), y1 = std::min(cell(rect.bottom()), y0 + kMaxSpan);
    for (int cx = x0; cx <= x1; ++cx)
        for (int cy = y0; cy <= y1; ++cy)
            take(key(cx, cy)).entries.push_back({id, rect});
}

void VRRouteSpatialIndex::remove(VRRouteId id, const QRectF &rect)
{
    const int x0 = cell(rect.left()), x1 = std::min(cell(rect.right()), x0 + kMaxSpan);
    const int y0 = cell(rect.top()), y1 = std::min(cell(rect.bottom()), y0 + kMaxSpan);
    if (m_used == 0)
        return;
    for (int cx = x0; cx <= x1; ++cx) {
        for (int cy = y0; cy <= y1; ++cy) {
            Bucket &bucket = m_buckets[slotOf(key(cx, cy))];
            if (bucket.used)
                std::erase_if(bucket.entries, [id](const Entry &e) { return e.id == id; });
        }
    }
}

void VRRouteSpatialIndex::clear()
{
    m_buckets.clear();
    m_used = 0;
}

const std::vector<VRRouteSpatialIndex::Entry> *VRRouteSpatialIndex::entriesAt(double x,
                                                                              double y) const
{
    const Bucket *bucket = find(key(cell(x), cell(y)));
    return bucket ? &bucket->entries : nullptr;
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
    auto collect = [&](const std::vector<Entry> &v) {
        for (const Entry &e : v) {
            if (e.rect.right() >= area.left() && e.rect.left() <= area.right()
                && e.rect.bottom() >= area.top() && e.rect.top() <= area.bottom())
                ids.push_back(e.id);
        }
    };
    if (buckets > qint64(m_used)) {
        for (const Bucket &b : m_buckets)
            if (b.used)
                collect(b.entries);
    } else {
        for (int cx = x0; cx <= x1; ++cx)
            for (int cy = y0; cy <= y1; ++cy)
                if (const Bucket *b = find(key(cx, cy)))
                    collect(b->entries);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}
