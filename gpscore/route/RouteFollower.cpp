#include "route/RouteFollower.h"

#include <cmath>
#include <cstdlib>

#include "base/Descriptions.h"
#include "base/EventQueue.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "gps/ReceiverLink.h"
#include "orientation/VirtualWalker.h"
#include "resources/StringIds.h"
#include "route/RouteGeometry.h"
#include "route/RouteTexts.h"
#include "route/WaypointObject.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// The numbering settings the waypoint labels of following read: the first set, GPSMode's.
constexpr int kFollowingLabels = 1;

LONG Whole(double value) {
    return std::isfinite(value) && std::fabs(value) < 2e9 ? static_cast<LONG>(value) : 2000000000;
}

// A waypoint the follower saw, as the object the descriptions take, and its place.
template <class Seen> ComPtr<IWaypointObject> ObjectOf(const std::optional<Seen>& seen) {
    ComPtr<IWaypointObject> waypoint;
    if (seen)
        NewWaypointObject(seen->record, static_cast<SHORT>(seen->index), seen->beginning, seen->end,
                          waypoint.Put());
    return waypoint;
}

template <class Seen> ComPtr<ILocationObject> LocationOf(const std::optional<Seen>& seen) {
    if (!seen) return {};
    const WaypointRecord& r = seen->record;
    return NewLocation(Place{r.latitude, r.longitude, r.name, r.description});
}

geo::Position PositionOf(ILocationObject* location) {
    const Place p = PlaceAt(location);
    return {p.latitude, p.longitude};
}

bool ForceSequential(const ServiceContext& context) {
    const auto settings = context.RouteSettings(GPSMode);
    return settings && settings::On(settings->forceSequential);
}

// The distance between two places in feet; -1 when either has no position.
LONG Feet(const ServiceContext& context, ILocationObject* from, ILocationObject* to) {
    if (!IsValidPlace(from) || !IsValidPlace(to)) return -1;
    LONG distance = -1;
    from->GetDistance(to, &distance);
    return context.CurrentUnits() == Metric ? Whole(distance * geo::kFeetPerMetre) : distance;
}

} // namespace

struct RouteFollower::Here {
    ComPtr<ILocationObject> location;
    SHORT heading = -1;
};

// ---------------------------------------------------------------------------------------------
// State.

void RouteFollower::SetRoute(std::shared_ptr<RouteModel> route) {
    m_route = std::move(route);
    Reset();
}

void RouteFollower::Reset() {
    m_bFollowingRequested = false;
    m_bFollowingStarted = false;
    m_bArrivedAtDestination = false;
    m_target.reset();
    m_nLastArrivalIndex = -1;
    m_bApproachAnnounced = false;
    m_nReferenceDistance = 0;
    m_nPreviousDistance = 0;
    m_nGrowthCount = 0;
    m_pendingTurn.reset();
    m_announcedTurn.reset();
    m_bOffRouteArmed = false;
    m_nClosestDistance = -1;
    m_nDistanceFromClosest = 0;
    m_closestPoint.reset();
    m_nOffRouteCountdown = 10;
    m_bstrExpectedStreet.clear();
    m_bWrongDirectionArmed = true;
    m_nWrongDirectionCountdown = 5;
    m_nWrongDirectionClosest = -1;
    m_nWrongDirectionFromClosest = 0;
    m_wrongDirectionClosestPoint.reset();
}

void RouteFollower::Finish() {
    m_bArrivedAtDestination = true;
    m_bFollowingRequested = false;
    m_bFollowingStarted = false;
    m_nOffRouteCountdown = 10;
    m_pendingTurn.reset();
    m_bOffRouteArmed = false;
}

void RouteFollower::ClearApproach() {
    m_bApproachAnnounced = false;
    m_announcedTurn.reset();
    m_pendingTurn.reset();
    m_nLastArrivalIndex = -1;
}

bool RouteFollower::Request(std::u16string* announcement) {
    if (!m_route) {
        *announcement = m_context.String(ids::kNoRoute);
        return false;
    }
    if (m_route->Count() == 0) { // Nothing to follow.
        *announcement = m_context.String(ids::kNoMoreWaypoints);
        return false;
    }
    m_bFollowingRequested = true;
    *announcement = StartAnnouncement();
    return true;
}

// ---------------------------------------------------------------------------------------------
// What the checks read.

RouteFollower::Here RouteFollower::Current() const {
    Here here;
    if (m_context.m_eCurrentMode == VirtualMode) {
        here.location = NewLocation(m_walker.Where());
        here.heading = m_walker.Heading();
    } else if (IGPSObject* gps = m_receiver.Record()) {
        gps->GetLocation(here.location.Put());
        gps->GetHeadingDegrees(&here.heading);
    }
    return here;
}

bool RouteFollower::CloseRange() const {
    return m_receiver.State().m_bTestMode || m_receiver.State().InertialNoSatellites();
}

double RouteFollower::Speed() const {
    if (m_context.m_eCurrentMode == VirtualMode) return 0.0;
    const double mph = m_receiver.State().SpeedMph();
    return std::isfinite(mph) ? mph : 0.0;
}

RouteType RouteFollower::Type() const {
    return m_route ? m_route->Type() : RouteTypeUnknown;
}

std::optional<RouteFollower::Seen> RouteFollower::SeenAt(int index) const {
    if (!m_route || !m_route->IsValidIndex(index)) return std::nullopt;
    return Seen{index, m_route->At(index), index == m_route->BeginningIndex(),
                index == m_route->EndIndex()};
}

LONG RouteFollower::Threshold(int k, SHORT lanes) const {
    SHORT base = 0;
    if (auto settings = m_context.SystemSettings()) base = settings->ArrivalDistance(Imperial);
    const bool close = CloseRange();
    const double s = Speed();
    LONG a = base;
    const RouteType type = Type();
    if ((type == RouteTypeManual || type == RouteTypePedestrianFromSimulation) && !close) a /= 2;
    double t = 0.0;
    switch (k) {
    case 0:
        t = a * 2.5;
        break;
    case 1:
        t = s < 5.0 ? a * 5.0 : a * 6.0;
        break;
    case 2:
        t = a * 1.25;
        break;
    default:
        t = close ? a * 2.0 : a * 1.5;
        break;
    }
    LONG threshold = Whole(std::trunc(t));
    if (close) threshold /= 4;
    if (s < 5.0 && lanes > 1) threshold += 25 * (lanes - 1);
    if (s >= 5.0) threshold = Whole(std::floor(threshold * 0.13 * s));
    return threshold;
}

LONG RouteFollower::OffRouteFeet() const {
    if (Type() == RouteTypeVehicle) return 500;
    if (Speed() > 15.0) return 500;
    return CloseRange() ? 10 : 150;
}

// ---------------------------------------------------------------------------------------------
// The start.

// "Following the route from <beginning>." and where to head first: the destination, the next
// turn, the next waypoint, or nowhere for a route of one waypoint.
std::u16string RouteFollower::StartAnnouncement() const {
    if (!m_route) return {};
    const std::optional<Seen> beginning = SeenAt(m_route->BeginningIndex());
    std::u16string text =
        Wording(m_context.m_pUtility)
            .ExpandDescriptionTemplate(ids::kRouteStart, nullptr, nullptr,
                                       ObjectOf(beginning).Get(), kFollowingLabels, nullptr, u"");
    const int count = m_route->Count();
    const int from = beginning ? beginning->index : -1;
    const int next = m_route->Next(WaypointModeAll, from);
    int id = ids::kNoMoreWaypoints;
    if (next >= 1 && next <= count && next != from) {
        if (next == m_route->EndIndex())
            id = ids::kHeadForDestination;
        else if (m_route->At(next).turningPoint)
            id = ids::kHeadForTurn;
        else
            id = ids::kHeadForWaypoint;
    }
    text += u' ';
    text += m_context.String(id);
    return text;
}

// ---------------------------------------------------------------------------------------------
// One poll.

void RouteFollower::Step() {
    if (!m_route || m_context.m_pUtility == nullptr) return;
    const Here here = Current();
    if (!IsValidPlace(here.location.Get())) return;
    if (m_bFollowingRequested && !m_bFollowingStarted) {
        GPSQuality quality = GPSQualityNoGPS;
        if (IGPSObject* gps = m_receiver.Record()) gps->GetFixQuality(&quality);
        if (m_context.m_eCurrentMode != VirtualMode && quality <= GPSQualityNoFix) return;
        const std::optional<Seen> beginning = SeenAt(m_route->BeginningIndex());
        // A route handed in has no current waypoint yet: it is followed from its beginning.
        if (m_route->Current() == -1 && beginning)
            m_route->currentIndex = static_cast<std::int16_t>(beginning->index);
        m_events.Raise(EventKind::kRouteStartFollowing, StartAnnouncement(),
                       PlaceOf(LocationOf(beginning).Get()), UrgencyHigh);
        m_bFollowingStarted = true;
    }
    if (!m_bFollowingStarted) return;

    // The client changed the route's list (a waypoint deleted): go on from the waypoint ahead.
    if (m_route->Current() == -1) {
        m_route->currentIndex = static_cast<std::int16_t>(
            m_route->NextIndexNearest(WaypointModeAll, PositionOf(here.location.Get())));
        m_target.reset(); // The indices have moved: the old target is no longer the route's.
        m_pendingTurn.reset();
        m_announcedTurn.reset();
        m_nLastArrivalIndex = -1;
    }
    RefreshTarget();
    if (!m_target) return;
    if (CheckSkippedPoints(here)) return;
    const bool superseded = m_pendingTurn && PendingTurnSuperseded(here);
    if (superseded) m_pendingTurn.reset();
    int turn = 0;
    if (!m_pendingTurn) {
        turn = CheckTurns(here, superseded);
        if (turn == 2) return;
    }
    int arrival = 0;
    if (turn == 0) {
        arrival = CheckWaypointArrival(here);
        if (arrival == 2) return;
    }
    if (m_pendingTurn && CheckContinueStraight(here)) return;
    if (arrival != 0) return;
    if (CheckOffRoute(here)) return;
    CheckWrongDirection(here);
}

void RouteFollower::RefreshTarget() {
    if (m_target && m_target->index == m_route->Current() && TargetStillTheRoutes()) return;
    if (m_target && m_nWrongDirectionCountdown == 0) m_bWrongDirectionArmed = false;
    m_target = SeenAt(m_route->currentIndex);
    m_nReferenceDistance = 0;
    m_nPreviousDistance = 0;
    m_nGrowthCount = 0;
    m_bApproachAnnounced = false;
    // A new target arms the off-route watch afresh.
    m_bOffRouteArmed = true;
    m_nClosestDistance = -1;
    m_nDistanceFromClosest = 0;
    m_closestPoint.reset();
    m_bstrExpectedStreet = ExpectedStreet();
}

// A waypoint inserted or changed by the client may take the target's index: the target is the
// route's own only while it still stands where the route's waypoint of that index does.
bool RouteFollower::TargetStillTheRoutes() const {
    if (!m_route->IsValidIndex(m_target->index)) return false;
    const WaypointRecord& w = m_route->At(m_target->index);
    return m_target->record.latitude == w.latitude && m_target->record.longitude == w.longitude;
}

// The street that leads to the target: the one taken from the waypoint before it (for the
// beginning, its own). A street the map has no name for cannot be compared.
std::u16string RouteFollower::ExpectedStreet() const {
    if (!m_target) return {};
    const int target = m_target->index;
    const int previous = m_route->reversed ? target + 1 : target - 1;
    const int from = m_route->IsValidIndex(previous) ? previous : target;
    const std::u16string& street = m_route->At(from).streetNameForward;
    if (street == m_context.String(ids::kUnnamedRoad) ||
        street == m_context.String(ids::kUnnamedPath))
        return {};
    return street;
}

bool RouteFollower::RaiseSkipped(int count, const Seen& at) {
    const std::u16string text =
        count > 1
            ? m_context.m_pUtility->FormatString(ids::kSkippedWaypoints, {std::int64_t{count}})
            : m_context.String(ids::kSkippedOneWaypoint);
    return m_events.Raise(EventKind::kRouteSkippedPoints, text,
                          PlaceOf(LocationOf(std::optional<Seen>(at)).Get()));
}

// A traveller who has passed the target without reaching it (the distance to it grew for more
// than five polls) and is nearest a later waypoint has skipped the ones between.
bool RouteFollower::CheckSkippedPoints(const Here& here) {
    if (ForceSequential(m_context)) return false;
    const LONG d = Feet(m_context, here.location.Get(), LocationOf(m_target).Get());
    if (d < 0) return false;
    if (d > m_nReferenceDistance) {
        m_nGrowthCount = 0;
        m_nReferenceDistance = d;
        m_nPreviousDistance = d;
        const int nearest = m_route->NearestIndexTo(PositionOf(here.location.Get()));
        const int ahead = StepsAhead(nearest, m_target->index, m_route->reversed);
        if (nearest == -1 || ahead <= 0) return false;
        m_route->currentIndex = static_cast<std::int16_t>(nearest);
        // Leaving the route's beginning is setting out, not skipping it.
        const int skipped = m_target->beginning ? ahead - 1 : ahead;
        if (skipped > 0) RaiseSkipped(skipped, *SeenAt(nearest));
        return true;
    }
    if (d > m_nPreviousDistance) {
        if (++m_nGrowthCount > 5) m_nReferenceDistance = d;
    } else {
        m_nGrowthCount = 0;
    }
    m_nPreviousDistance = d;
    return false;
}

int RouteFollower::CheckTurns(const Here& here, bool turnBehindPending) {
    std::optional<Seen> turn;
    if (m_target->record.turningPoint) {
        turn = m_target;
    } else {
        if (ForceSequential(m_context)) return 0;
        turn = SeenAt(m_route->Next(WaypointModeTurnsOnly, m_route->currentIndex));
        if (!turn || !turn->record.turningPoint) return 0; // the end, no turn
    }
    const int index = turn->index;
    if (m_pendingTurn && m_pendingTurn->index == index) return 0;
    ComPtr<ILocationObject> at = LocationOf(turn);
    const LONG d = Feet(m_context, here.location.Get(), at.Get());
    if (d < 0) return 0;
    const SHORT lanes = turn->record.numberOfLanes;
    const SHORT forward = turn->record.streetOrientationForward;
    const SHORT reverse = turn->record.streetOrientationReverse;
    const bool announced = m_announcedTurn && m_announcedTurn->index == index;
    if (d < Threshold(0, lanes)) {
        m_pendingTurn = turn;
        m_announcedTurn = turn;
        // A traveller already facing the way the turn leads hears it from there; one who has
        // not yet taken the turn before it hears it from the street it is reached by.
        const SHORT heading = !turnBehindPending && here.heading != -1 &&
                                      geo::HeadingsWithin(here.heading, forward, 15)
                                  ? here.heading
                                  : SHORT{-1};
        m_events.Raise(EventKind::kRouteArrivedNearTurn,
                       WaypointTurnDescription(m_context.m_pUtility, ObjectOf(turn).Get(), heading,
                                               kFollowingLabels),
                       PlaceOf(at.Get()));
        return 2;
    }
    if (d <= Threshold(1, lanes) && !CloseRange() && !announced) {
        m_announcedTurn = turn;
        const int id = geo::HeadingsWithin(forward, (reverse + 180) % 360, 15)
                           ? ids::kApproachingSlightTurn
                           : ids::kApproachingTurn;
        m_events.Raise(EventKind::kRouteApproachingTurn, m_context.String(id), PlaceOf(at.Get()));
        return 1;
    }
    return 0;
}

int RouteFollower::CheckWaypointArrival(const Here& here) {
    const auto settings = m_context.RouteSettings(GPSMode);
    const WaypointMode mode = settings ? settings->waypointMode : WaypointModeTurnsOnly;
    const bool autoIncrement = !settings || settings::On(settings->autoIncrement);
    const bool close = CloseRange();
    const bool end = m_target->end;
    const bool turning = m_target->record.turningPoint;
    const int index = m_target->index;
    const SHORT lanes = m_target->record.numberOfLanes;
    ComPtr<ILocationObject> at = LocationOf(m_target);
    const LONG d = Feet(m_context, here.location.Get(), at.Get());
    if (d < 0) return 0;
    int result = 0;
    if (d < Threshold(end ? 2 : 3, lanes) && index != m_nLastArrivalIndex) {
        if (end) {
            if (m_bArrivedAtDestination) return 0;
            m_bArrivedAtDestination = true;
            m_events.Raise(EventKind::kRouteArrivedNearDestination,
                           m_context.String(ids::kArrivedAtDestination), PlaceOf(at.Get()));
            Finish();
            return 2;
        }
        m_nLastArrivalIndex = index;
        if (autoIncrement) {
            const int next = m_route->Next(mode, m_route->currentIndex);
            if (m_route->IsValidIndex(next))
                m_route->currentIndex = static_cast<std::int16_t>(next);
            if (mode != WaypointModeTurnsOnly && !close) {
                m_events.Raise(
                    EventKind::kRouteWaypointReached,
                    m_context.String(turning ? ids::kTurnPointReached : ids::kWaypointReached),
                    PlaceOf(at.Get()));
                result = 1;
            }
        } else {
            if (mode != WaypointModeTurnsOnly && !close) {
                m_events.Raise(
                    EventKind::kRouteApproachingWaypoint,
                    m_context.String(turning ? ids::kArrivingAtTurn : ids::kArrivingAtWaypoint),
                    PlaceOf(at.Get()));
                result = 1;
            }
            if (mode == WaypointModeTurnsOnly && !turning) {
                m_route->currentIndex =
                    static_cast<std::int16_t>(m_route->Next(mode, m_route->currentIndex));
                RefreshTarget();
            }
        }
    }
    if (mode != WaypointModeTurnsOnly && !autoIncrement && !m_bApproachAnnounced) {
        SHORT threshold = 0;
        if (auto system = m_context.SystemSettings())
            threshold = system->ArrivedNearThreshold(m_context.CurrentUnits());
        LONG distance = -1;
        here.location->GetDistance(at.Get(), &distance);
        if (distance >= 0 && distance <= threshold) {
            m_bApproachAnnounced = true;
            if (!turning) {
                m_events.Raise(EventKind::kRouteWaypointReached,
                               m_context.String(ids::kCloseToWaypoint), PlaceOf(at.Get()));
                result = 1;
            }
        }
    }
    return result;
}

// Turns close together: once the route has moved past the pending turn and the next turn is
// already within the approach distance, that turn is what the traveller must hear next, and the
// straight-on of the one behind is dropped.
bool RouteFollower::PendingTurnSuperseded(const Here& here) const {
    const int pending = m_pendingTurn->index;
    if (StepsAhead(m_target->index, pending, m_route->reversed) <= 0) return false;
    const std::optional<Seen> turn =
        m_target->record.turningPoint
            ? m_target
            : SeenAt(m_route->Next(WaypointModeTurnsOnly, m_route->currentIndex));
    if (!turn || !turn->record.turningPoint || turn->index == pending) return false;
    const LONG d = Feet(m_context, here.location.Get(), LocationOf(turn).Get());
    return d >= 0 && d <= Threshold(1, turn->record.numberOfLanes);
}

// After arriving near a turn: once the traveller is clearly past it along the route, heading
// the way the route leaves it, the turn is behind them.
bool RouteFollower::CheckContinueStraight(const Here& here) {
    const int i = m_route->NextIndexNearest(WaypointModeAll, PositionOf(here.location.Get()));
    const int j = m_pendingTurn->index;
    if (i == -1 || j == -1) return false;
    const bool reversed = m_route->reversed;
    const int past = StepsAhead(i, j, reversed);
    if (past <= 0) return false;
    if (past <= 2) {
        const SHORT forward = m_pendingTurn->record.streetOrientationForward;
        if (here.heading == -1 || !geo::HeadingsWithin(here.heading, forward, 20)) return false;
    }
    if (ForceSequential(m_context) && StepsAhead(m_target->index, j, reversed) <= 0) return false;
    m_events.Raise(EventKind::kRouteContinueStraight, m_context.String(ids::kContinueStraight),
                   PlaceOf(here.location.Get()));
    m_pendingTurn.reset();
    return true;
}

// Every third poll: on the expected street the traveller is on the route; otherwise moving
// more than the off-route distance away from where they came closest to the target means they
// left it. Once announced, the watch waits until the traveller is back: on the expected street
// again, or as close to the target as when it was announced.
bool RouteFollower::CheckOffRoute(const Here& here) {
    if (--m_nOffRouteCountdown > 0) return false;
    m_nOffRouteCountdown = 3;
    const LONG d = Feet(m_context, here.location.Get(), LocationOf(m_target).Get());
    if (d < 0) return false;
    bool onStreet = false;
    if (!m_bstrExpectedStreet.empty() && m_context.Map().HasEngine()) {
        const geo::Position p = PositionOf(here.location.Get());
        const std::u16string name = m_context.Map().StreetAt(p.latitude, p.longitude, here.heading,
                                                             MapWords::kStreetExpanded);
        onStreet = !name.empty() && name != m_context.String(ids::kUnnamedRoad) &&
                   name != m_context.String(ids::kUnnamedPath) && name == m_bstrExpectedStreet;
    }
    if (!m_bOffRouteArmed) {
        if (onStreet || d <= m_nClosestDistance) {
            m_bOffRouteArmed = true;
            m_nClosestDistance = d;
            m_nDistanceFromClosest = 0;
            m_closestPoint = PlaceOf(here.location.Get());
        }
        return false;
    }
    if (onStreet) return false;
    if (m_nClosestDistance < 0 || d <= m_nClosestDistance) {
        m_nClosestDistance = d;
        m_nDistanceFromClosest = 0;
        m_closestPoint = PlaceOf(here.location.Get());
        return false;
    }
    m_nDistanceFromClosest =
        Feet(m_context, NewLocation(m_closestPoint).Get(), here.location.Get());
    if (m_nDistanceFromClosest <= OffRouteFeet()) return false;
    m_bOffRouteArmed = false;
    m_events.Raise(EventKind::kRouteOffRoute, m_context.String(ids::kOffRoute),
                   PlaceOf(here.location.Get()));
    return true;
}

// Only while setting out toward the first target: heading well away from it while the distance
// to it grows past a fifth of the off-route distance.
void RouteFollower::CheckWrongDirection(const Here& here) {
    if (!m_bWrongDirectionArmed) return;
    if (m_nWrongDirectionCountdown > 0) {
        --m_nWrongDirectionCountdown;
        return;
    }
    ComPtr<ILocationObject> target = LocationOf(m_target);
    SHORT bearing = -1;
    here.location->GetBearingDegrees(target.Get(), &bearing);
    const SHORT h = here.heading;
    if (h == -1 || bearing == -1 || geo::HeadingsWithin(h, bearing, 45)) return;
    const bool metric = m_context.CurrentUnits() == Metric;
    const LONG offRoute = metric ? Whole(OffRouteFeet() * 0.3048) : OffRouteFeet();
    const LONG limit = CloseRange() ? (metric ? 2 : 6) : offRoute / 5;
    if (!ForceSequential(m_context)) {
        const std::optional<Seen> next =
            SeenAt(m_route->NextIndexNearest(WaypointModeAll, PositionOf(here.location.Get())));
        const int nextIndex = next ? next->index : -1;
        const int targetIndex = m_target->index;
        SHORT toNext = -1;
        if (next) here.location->GetBearingDegrees(LocationOf(next).Get(), &toNext);
        const bool towardNext = next && toNext != -1 && geo::HeadingsWithin(h, toNext, 45);
        const int ahead = StepsAhead(nextIndex, targetIndex, m_route->reversed);
        // Heading for a waypoint on the way to the target (a bend that is no turn, with turns
        // only): the traveller follows the route.
        if (towardNext && ahead < 0) return;
        if (towardNext && nextIndex != targetIndex) {
            m_bWrongDirectionArmed = false;
            m_route->currentIndex = static_cast<std::int16_t>(nextIndex);
            int skipped = std::abs(nextIndex - targetIndex);
            if (m_target->beginning) --skipped;
            if (skipped > 0) RaiseSkipped(skipped, *next);
            return;
        }
    }
    LONG d = -1;
    here.location->GetDistance(target.Get(), &d);
    if (d < 0) return;
    if (m_nWrongDirectionClosest < 0 || d <= m_nWrongDirectionClosest) {
        m_nWrongDirectionClosest = d;
        m_nWrongDirectionFromClosest = 0;
        m_wrongDirectionClosestPoint = PlaceOf(here.location.Get());
        return;
    }
    NewLocation(m_wrongDirectionClosestPoint)
        ->GetDistance(here.location.Get(), &m_nWrongDirectionFromClosest);
    if (m_nWrongDirectionFromClosest <= limit) return;
    m_bWrongDirectionArmed = false;
    DistanceHeadingRecord record;
    Bstr direction;
    LONG distance = -1;
    record.bearing = bearing;
    here.location->GetRelativeHeading(h, target.Get(), direction.Put());
    here.location->GetDistance(target.Get(), &distance);
    record.direction = std::u16string(direction.View());
    record.distance = distance;
    m_events.Raise(EventKind::kRouteWrongDirection,
                   Wording(m_context.m_pUtility)
                       .ExpandDescriptionTemplate(ids::kWrongWay, target.Get(), &record,
                                                  ObjectOf(m_target).Get(), kFollowingLabels,
                                                  nullptr, u""),
                   PlaceOf(target.Get()));
}

} // namespace gpscore
