#pragma once

#include "framework/base/VRTypes.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>

// Orders objects into a short route through their locations (an open path visiting each once).
// Algorithm 2 is nearest neighbour from the first object; algorithm 1 improves that route by
// simulated annealing over reversals of stretches (2-opt), seeded, so equal input gives equal
// output. A diagnostic of the automatic layout's tools.
class VRRouteFinder
{
public:
    static constexpr int kSimulatedAnnealing = 1;
    static constexpr int kNearestNeighbour = 2;

    static VRRouteFinder routeFinderWithObjects(const VRObjectList &objects);

    // The objects in route order; empty for an unknown algorithm.
    VRObjectList shortestRoute(int algorithm);
    // Length and polyline of the last route found.
    double pathLength() const { return m_length; }
    QPainterPath routePath() const;

private:
    QList<int> nearestNeighbour() const;
    QList<int> annealed(QList<int> order) const;
    double lengthOf(const QList<int> &order) const;

    VRObjectList m_objects;
    QList<QPointF> m_points;
    QList<int> m_route;
    double m_length = 0.0;
};
