// Route following: one step per poll while a route is followed, with its turn warnings,
// deviations and arrival. To come here: RouteFollow, RouteActive, RoutePercentComplete,
// RouteGetETA, RouteSetCurrentToNextWaypointNearestLocation and the off-route check.
#ifndef GPSCORE_ROUTE_ROUTEFOLLOWER_H_
#define GPSCORE_ROUTE_ROUTEFOLLOWER_H_

namespace gpscore {

struct ServiceContext;
class EventQueue;

// REQUIRES for every method: the service's core lock held.
class RouteFollower {
public:
    RouteFollower(ServiceContext& context, EventQueue& events)
        : m_context(context), m_events(events) {}

    bool Following() const { return m_bFollowingRoute; }
    // Starts a pending route once the fix is good, then checks the followed route's next turn.
    void Step();
    // The route is done once its destination is announced.
    void Finish() {
        m_bFollowingRoute = false;
        m_bRouteStartPending = false;
    }

private:
    [[maybe_unused]] ServiceContext& m_context;
    [[maybe_unused]] EventQueue& m_events;
    bool m_bFollowingRoute = false;
    bool m_bRouteStartPending = false;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEFOLLOWER_H_
