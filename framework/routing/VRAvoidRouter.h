#pragma once

#include "framework/routing/VRConnectorRouter.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QSet>

#include <memory>

class QObject;
class QntConnector;
class QntConnectorEndPoint;
class VRDrawableObject;
class VRDrawing;
class VRShapeGroup;

// The drawing's obstacle-avoiding router: connectors with automatic routing (3 orthogonal,
// 4 polyline) are routed around the drawing's shapes. Layers register their objects; moves,
// resizes, additions and removals are collected and the affected connectors are re-routed at
// the end of the event-loop turn. Shapes that are hidden, or lie on a hidden layer, are no
// obstacles. Several connector ends on one sticky spot are spread along the spot's side, in the
// order of where their other ends lie, so that they neither overlap nor cross near the shape.
// The shapes inside a group are obstacles too: a connector with an end inside the group's box
// goes round them rather than round the box.
class VRAvoidRouter
{
public:
    explicit VRAvoidRouter(VRDrawing &drawing);
    ~VRAvoidRouter();
    VRAvoidRouter(const VRAvoidRouter &) = delete;
    VRAvoidRouter &operator=(const VRAvoidRouter &) = delete;

    // 0 segment penalty (default 10), 6 shape buffer distance (8 pt), 7 ideal nudging distance
    // (4 pt); other indices read 0 and ignore writes. Non-positive values restore the default.
    void setRoutingParameter(int index, double value);
    double routingParameter(int index) const;
    // 0 nudge orthogonal segments (default true); others read false.
    void setRoutingOption(int index, bool value);
    bool routingOption(int index) const;

    void registerObject(VRDrawableObject *object);
    void unregisterObject(VRDrawableObject *object);
    bool isRegistered(const VRDrawableObject *object) const;
    void rerouteAll();

    // The connector hook: records the connector's ends and schedules routing. False when the
    // connector is not routed automatically here (manual routing, or no drawing).
    bool routeConnector(QntConnector &connector);
    // The route of an automatic connector that lives inside a group, against the shapes as they
    // are now, in drawing coordinates. Such connectors are not kept here: the group's own moves
    // carry their routes, and they are laid again only when their ends move. Empty when the
    // connector is not routed here.
    QList<QPointF> routeInsideGroup(QntConnector &connector);
    // Applies the pending changes now (the event loop does it otherwise).
    void processPendingChanges();
    bool hasPendingChanges() const;

    VRConnectorRouter &engine() { return m_engine; }

    // Preferred spacing of connector ends spread along one side of a shape.
    static constexpr double kEndSpacing = 12.0;

private:
    struct Entry {
        VRDrawableObject *object = nullptr;
        bool connector = false;
        bool member = false; // a shape inside a group of a layer
    };

    // An attached connector end: the element's identity and the sticky spot's index.
    using SpotKey = QPair<const void *, int>;

    void objectDidChange(const void *identity);
    void layerVisibilityDidChange(const void *layer);
    void updateObstacle(VRDrawableObject &object);
    // Brings the shapes inside a group of a layer to the obstacles as the group holds them now.
    void syncGroup(VRShapeGroup &group);
    void forgetGroup(const void *group);
    void syncStaleGroups();
    VRRouteEnd routeEnd(const QntConnector &connector, const QntConnectorEndPoint &point,
                        bool spread) const;
    void updateConnector(QntConnector &connector);
    // Records the spots the connector's ends sit on; answers the spots whose members change.
    QList<SpotKey> updateSpotMembership(QntConnector &connector, bool routed);
    void submitRequest(QntConnector &connector);
    QPointF spreadEndPoint(const QntConnector &connector, QPointF spot, const SpotKey &key) const;
    void schedule();
    void applyParameters();

    VRDrawing &m_drawing;
    VRConnectorRouter m_engine;
    VRRouteParameters m_parameters;
    QHash<const void *, Entry> m_entries;
    QHash<SpotKey, QList<QntConnector *>> m_spotMembers;
    // The shapes registered for each group of a layer (nested groups included); groups whose
    // members may have changed since.
    struct Member {
        const void *identity;
        std::weak_ptr<VRDrawableObject> object;
    };
    QHash<const void *, QList<Member>> m_groupMembers;
    QSet<const void *> m_staleGroups;
    QHash<const void *, QList<SpotKey>> m_connectorSpots;
    NotificationToken m_changeToken;
    NotificationToken m_layerToken;
    std::unique_ptr<QObject> m_timerContext;
    bool m_scheduled = false;
};
