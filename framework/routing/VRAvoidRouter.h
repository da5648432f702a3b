#pragma once

#include "framework/routing/VRConnectorRouter.h"
#include "platform/NotificationCenter.h"

#include <QHash>

#include <memory>

class QObject;
class QntConnector;
class VRDrawableObject;
class VRDrawing;

// The drawing's obstacle-avoiding router: connectors with automatic routing (3 orthogonal,
// 4 polyline) are routed around the drawing's shapes. Layers register their objects; moves,
// resizes, additions and removals are collected and the affected connectors are re-routed at
// the end of the event-loop turn.
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
    // Applies the pending changes now (the event loop does it otherwise).
    void processPendingChanges();
    bool hasPendingChanges() const;

    VRConnectorRouter &engine() { return m_engine; }

private:
    struct Entry {
        VRDrawableObject *object = nullptr;
        bool connector = false;
    };

    void objectDidChange(const void *identity);
    void updateObstacle(VRDrawableObject &object);
    void updateConnector(QntConnector &connector);
    void schedule();
    void applyParameters();

    VRDrawing &m_drawing;
    VRConnectorRouter m_engine;
    VRRouteParameters m_parameters;
    QHash<const void *, Entry> m_entries;
    NotificationToken m_changeToken;
    std::unique_ptr<QObject> m_timerContext;
    bool m_scheduled = false;
};
