// Route following: once a route is installed and the client asks to follow it, every poll checks
// the position against the route and announces what the traveller must know: the start, the
// approach to a turn and arrival near it, continuing straight after it, waypoints reached or
// skipped, leaving the route, setting out the wrong way, and arrival at the destination.
#ifndef GPSCORE_ROUTE_ROUTEFOLLOWER_H_
#define GPSCORE_ROUTE_ROUTEFOLLOWER_H_

#include <string>

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;
class EventQueue;
class ReceiverLink;
class VirtualWalker;

// REQUIRES for every method: the service's core lock held.
class RouteFollower {
public:
    RouteFollower(ServiceContext& context, EventQueue& events, ReceiverLink& receiver,
                  VirtualWalker& walker)
        : m_context(context), m_events(events), m_receiver(receiver), m_walker(walker) {}
    RouteFollower(const RouteFollower&) = delete;
    RouteFollower& operator=(const RouteFollower&) = delete;

    // The route to follow (none when closed); every change of route starts following afresh.
    void SetRoute(IRouteObject* route);
    // Following the route has started: the checks run and lookaround follows its route options.
    bool Following() const { return m_pRoute && m_bFollowingStarted; }
    // RouteFollow: following begins with the next good fix. Answers the start announcement, or
    // false and the "no route" text without a route.
    bool Request(std::u16string* announcement);
    // One poll: starts a requested route once the fix is good, then runs the checks.
    void Step();
    // The destination was announced: following ends, and the state is back to a new route's.
    void Finish();
    // A new current waypoint chosen by the client: the approach to it is announced afresh.
    void ClearApproach();
    // Back to a new route's state, following neither requested nor started.
    void Reset();

    // The distance within which a waypoint counts as reached or a turn as near, in feet, for
    // k = 0 (approach), 1 (far approach), 2 (the route end) and 3 (another waypoint).
    LONG Threshold(int k, SHORT lanes) const;
    // The distance from which the traveller counts as off the route, in feet.
    LONG OffRouteFeet() const;

private:
    struct Here {
        gpslib::ComPtr<ILocationObject> location;
        SHORT heading = -1;
    };
    Here Current() const;
    bool CloseRange() const;
    double Speed() const;
    RouteType Type() const;
    gpslib::ComPtr<IRouteSettingsObject> Settings() const;
    // The distance between two places in feet; -1 when either has no position.
    LONG Feet(ILocationObject* from, ILocationObject* to) const;
    SHORT IndexOf(IWaypointObject* waypoint) const;

    std::u16string StartAnnouncement() const;
    void RefreshTarget();
    bool TargetStillTheRoutes() const;
    std::u16string ExpectedStreet() const;
    bool CheckSkippedPoints(const Here& here);
    bool RaiseSkipped(int count, ILocationObject* at);
    // 0 nothing, 1 approach announced, 2 arrival near the turn (the poll ends).
    // `turnBehindPending`: the turn before this one has just been dropped, not yet taken.
    int CheckTurns(const Here& here, bool turnBehindPending);
    // 0 nothing, 1 announced, 2 the destination reached (the poll ends).
    int CheckWaypointArrival(const Here& here);
    bool PendingTurnSuperseded(const Here& here) const;
    bool CheckContinueStraight(const Here& here);
    bool CheckOffRoute(const Here& here);
    void CheckWrongDirection(const Here& here);

    ServiceContext& m_context;
    EventQueue& m_events;
    ReceiverLink& m_receiver;
    VirtualWalker& m_walker;
    gpslib::ComPtr<IRouteObject> m_pRoute;

    bool m_bFollowingRequested = false;
    bool m_bFollowingStarted = false;
    bool m_bArrivedAtDestination = false;
    gpslib::ComPtr<IWaypointObject> m_pTarget;
    SHORT m_nLastArrivalIndex = -1;
    bool m_bApproachAnnounced = false;
    LONG m_nReferenceDistance = 0;
    LONG m_nPreviousDistance = 0;
    SHORT m_nGrowthCount = 0;
    gpslib::ComPtr<IWaypointObject> m_pPendingTurn;
    gpslib::ComPtr<IWaypointObject> m_pAnnouncedTurn;
    bool m_bOffRouteArmed = false;
    LONG m_nClosestDistance = -1; // -1: nothing seen since arming
    LONG m_nDistanceFromClosest = 0;
    gpslib::ComPtr<ILocationObject> m_pClosestPoint;
    SHORT m_nOffRouteCountdown = 10;
    std::u16string m_bstrExpectedStreet;
    bool m_bWrongDirectionArmed = true;
    SHORT m_nWrongDirectionCountdown = 5;
    LONG m_nWrongDirectionClosest = -1;
    LONG m_nWrongDirectionFromClosest = 0;
    gpslib::ComPtr<ILocationObject> m_pWrongDirectionClosestPoint;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEFOLLOWER_H_
