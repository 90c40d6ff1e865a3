// Route following: once a route is installed and the client asks to follow it, every poll checks
// the position against the route and announces what the traveller must know: the start, the
// approach to a turn and arrival near it, continuing straight after it, waypoints reached or
// skipped, leaving the route, setting out the wrong way, and arrival at the destination.
#ifndef GPSCORE_ROUTE_ROUTEFOLLOWER_H_
#define GPSCORE_ROUTE_ROUTEFOLLOWER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/Place.h"
#include "route/RouteModel.h"

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
    void SetRoute(std::shared_ptr<RouteModel> route);
    // Following the route has started: the checks run and lookaround follows its route options.
    bool Following() const { return m_route && m_bFollowingStarted; }
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
    std::int32_t Threshold(int k, std::int16_t lanes) const;
    // The distance from which the traveller counts as off the route, in feet.
    std::int32_t OffRouteFeet() const;

private:
    // A waypoint of the route as it stood when the follower chose it: its index, its record, and
    // whether it began or ended the route then.
    struct Seen {
        int index = -1;
        WaypointRecord record;
        bool beginning = false;
        bool end = false;
    };
    // The traveller's position and heading (RouteFollower.cpp).
    struct Here;
    Here Current() const;
    bool CloseRange() const;
    double Speed() const;
    RouteType Type() const;
    // Waypoint `index` of the route as it stands now; none for an invalid index.
    std::optional<Seen> SeenAt(int index) const;

    std::u16string StartAnnouncement() const;
    void RefreshTarget();
    bool TargetStillTheRoutes() const;
    std::u16string ExpectedStreet() const;
    bool CheckSkippedPoints(const Here& here);
    bool RaiseSkipped(int count, const Seen& at);
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
    std::shared_ptr<RouteModel> m_route;

    bool m_bFollowingRequested = false;
    bool m_bFollowingStarted = false;
    bool m_bArrivedAtDestination = false;
    std::optional<Seen> m_target;
    int m_nLastArrivalIndex = -1;
    bool m_bApproachAnnounced = false;
    std::int32_t m_nReferenceDistance = 0;
    std::int32_t m_nPreviousDistance = 0;
    int m_nGrowthCount = 0;
    std::optional<Seen> m_pendingTurn;
    std::optional<Seen> m_announcedTurn;
    bool m_bOffRouteArmed = false;
    std::int32_t m_nClosestDistance = -1; // -1: nothing seen since arming
    std::int32_t m_nDistanceFromClosest = 0;
    std::optional<Place> m_closestPoint;
    int m_nOffRouteCountdown = 10;
    std::u16string m_bstrExpectedStreet;
    bool m_bWrongDirectionArmed = true;
    int m_nWrongDirectionCountdown = 5;
    std::int32_t m_nWrongDirectionClosest = -1;
    std::int32_t m_nWrongDirectionFromClosest = 0;
    std::optional<Place> m_wrongDirectionClosestPoint;
};

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEFOLLOWER_H_
