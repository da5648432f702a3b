#include "framework/routing/VRRouteFinder.h"

#include "framework/model/VRDrawableObject.h"

#include <QLineF>
#include <QRandomGenerator>

#include <cmath>

namespace {

constexpr quint32 kSeed = 20240611;

} // namespace

VRRouteFinder VRRouteFinder::routeFinderWithObjects(const VRObjectList &objects)
{
    VRRouteFinder finder;
    for (const VRObjectRef &o : objects) {
        if (!o)
            continue;
        finder.m_objects.append(o);
        finder.m_points.append(o->location());
    }
    return finder;
}

VRObjectList VRRouteFinder::shortestRoute(int algorithm)
{
    if (algorithm != kSimulatedAnnealing && algorithm != kNearestNeighbour)
        return {};
    m_route = nearestNeighbour();
    if (algorithm == kSimulatedAnnealing)
        m_route = annealed(m_route);
    m_length = lengthOf(m_route);
    VRObjectList result;
    for (int i : std::as_const(m_route))
        result.append(m_objects.at(i));
    return result;
}

QPainterPath VRRouteFinder::routePath() const
{
    QPainterPath path;
    for (int k = 0; k < m_route.size(); ++k) {
        if (k == 0)
            path.moveTo(m_points.at(m_route.at(k)));
        else
            path.lineTo(m_points.at(m_route.at(k)));
    }
    return path;
}

QList<int> VRRouteFinder::nearestNeighbour() const
{
    const int n = int(m_points.size());
    QList<int> order;
    if (n == 0)
        return order;
    QList<bool> used(n, false);
    int current = 0;
    used[0] = true;
    order.append(0);
    for (int step = 1; step < n; ++step) {
        int best = -1;
        double bestDistance = 0;
        for (int j = 0; j < n; ++j) {
            if (used[j])
                continue;
            const double d = QLineF(m_points.at(current), m_points.at(j)).length();
            if (best < 0 || d < bestDistance) {
                best = j;
                bestDistance = d;
            }
        }
        used[best] = true;
        order.append(best);
        current = best;
    }
    return order;
}

QList<int> VRRouteFinder::annealed(QList<int> order) const
{
    const int n = int(order.size());
    if (n < 4)
        return order;
    QRandomGenerator rng(kSeed);
    const auto at = [this, &order](int k) { return m_points.at(order.at(k)); };
    const auto distance = [](QPointF a, QPointF b) { return QLineF(a, b).length(); };
    double length = lengthOf(order);
    QList<int> best = order;
    double bestLength = length;
    double temperature = length / n;
    const int steps = std::min(200000, 400 * n);
    const double cooling = std::pow(1e-4, 1.0 / steps);
    for (int s = 0; s < steps; ++s, temperature *= cooling) {
        // Reverse order[i..j]; only the joins at its ends change.
        int i = int(rng.bounded(n - 1)) + 1;
        int j = int(rng.bounded(n - 1)) + 1;
        if (i == j)
            continue;
        if (i > j)
            std::swap(i, j);
        double delta = distance(at(i - 1), at(j)) - distance(at(i - 1), at(i));
        if (j + 1 < n)
            delta += distance(at(i), at(j + 1)) - distance(at(j), at(j + 1));
        if (delta < 0 || rng.generateDouble() < std::exp(-delta / std::max(temperature, 1e-9))) {
            std::reverse(order.begin() + i, order.begin() + j + 1);
            length += delta;
            if (length < bestLength - 1e-9) {
                bestLength = length;
                best = order;
            }
        }
    }
    return best;
}

double VRRouteFinder::lengthOf(const QList<int> &order) const
{
    double length = 0;
    for (int k = 1; k < order.size(); ++k)
        length += QLineF(m_points.at(order.at(k - 1)), m_points.at(order.at(k))).length();
    return length;
}
