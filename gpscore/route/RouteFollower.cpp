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
#include "route/RouteObject.h"
#include "route/RouteTexts.h"
#include "route/WaypointObject.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr double kFeetPerMetre = 3.2808399;
// The numbering settings the waypoint labels of following read: the first set, GPSMode's.
constexpr int kFollowingLabels = 1;

template <class I> bool Flag(I* object, HRESULT (I::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = 0;
    return object != nullptr && SUCCEEDED((object->*get)(&on)) && on != 0;
}

ComPtr<ILocationObject> LocationOf(IWaypointObject* waypoint) {
    ComPtr<ILocationObject> location;
    if (waypoint != nullptr) waypoint->GetLocation(location.Put());
    return location;
}

ComPtr<ILocationObject> CopyOf(ILocationObject* location) {
    ComPtr<ILocationObject> copy;
    if (location != nullptr &&
        SUCCEEDED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &copy)))
        copy->SetLocation(location);
    return copy;
}

LONG Whole(double value) {
    return std::isfinite(value) && std::fabs(value) < 2e9 ? static_cast<LONG>(value) : 2000000000;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// State.

void RouteFollower::SetRoute(IRouteObject* route) {
    m_pRoute = route;
    Reset();
}

void RouteFollower::Reset() {
    m_bFollowingRequested = false;
    m_bFollowingStarted = false;
    m_bArrivedAtDestination = false;
    m_pTarget.Reset();
    m_nLastArrivalIndex = -1;
    m_bApproachAnnounced = false;
    m_nReferenceDistance = 0;
    m_nPreviousDistance = 0;
    m_nGrowthCount = 0;
    m_pPendingTurn.Reset();
    m_pAnnouncedTurn.Reset();
    m_bOffRouteArmed = false;
    m_nClosestDistance = -1;
    m_nDistanceFromClosest = 0;
    m_pClosestPoint.Reset();
    m_nOffRouteCountdown = 10;
    m_bstrExpectedStreet.clear();
    m_bWrongDirectionArmed = true;
    m_nWrongDirectionCountdown = 5;
    m_nWrongDirectionClosest = -1;
    m_nWrongDirectionFromClosest = 0;
    m_pWrongDirectionClosestPoint.Reset();
}

void RouteFollower::Finish() {
    m_bArrivedAtDestination = true;
    m_bFollowingRequested = false;
    m_bFollowingStarted = false;
    m_nOffRouteCountdown = 10;
    m_pPendingTurn.Reset();
    m_bOffRouteArmed = false;
}

void RouteFollower::ClearApproach() {
    m_bApproachAnnounced = false;
    m_pAnnouncedTurn.Reset();
    m_pPendingTurn.Reset();
    m_nLastArrivalIndex = -1;
}

bool RouteFollower::Request(std::u16string* announcement) {
    if (!m_pRoute) {
        *announcement = m_context.String(ids::kNoRoute);
        return false;
    }
    SHORT count = 0;
    m_pRoute->GetWaypointCount(&count);
    if (count == 0) { // Nothing to follow.
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
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    return route != nullptr ? route->Type() : RouteTypeUnknown;
}

ComPtr<IRouteSettingsObject> RouteFollower::Settings() const {
    return m_context.m_pUtility != nullptr ? m_context.m_pUtility->RouteSettings(GPSMode)
                                           : ComPtr<IRouteSettingsObject>();
}

LONG RouteFollower::Feet(ILocationObject* from, ILocationObject* to) const {
    if (!IsValidPlace(from) || !IsValidPlace(to)) return -1;
    LONG distance = -1;
    from->GetDistance(to, &distance);
    return m_context.CurrentUnits() == Metric ? Whole(distance * kFeetPerMetre) : distance;
}

SHORT RouteFollower::IndexOf(IWaypointObject* waypoint) const {
    SHORT index = -1;
    if (waypoint != nullptr) waypoint->GetIndex(&index);
    return index;
}

LONG RouteFollower::Threshold(int k, SHORT lanes) const {
    SHORT base = 0;
    if (auto settings = m_context.SystemSettings()) settings->GetArrivalDistance(Imperial, &base);
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
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return {};
    ComPtr<IWaypointObject> beginning;
    m_pRoute->GetRouteBeginning(beginning.Put());
    std::u16string text =
        Wording(m_context.m_pUtility)
            .ExpandDescriptionTemplate(ids::kRouteStart, nullptr, nullptr, beginning.Get(),
                                       kFollowingLabels, nullptr, u"");
    const int count = static_cast<int>(route->Waypoints().size());
    const bool reversed = route->Reversed();
    const int from = IndexOf(beginning.Get());
    const int next = route->Next(WaypointModeAll, from, reversed);
    int id = ids::kNoMoreWaypoints;
    if (next >= 1 && next <= count && next != from) {
        if (next == (reversed ? 1 : count))
            id = ids::kHeadForDestination;
        else if (route->Waypoints()[next - 1].turningPoint)
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
    if (!m_pRoute || m_context.m_pUtility == nullptr) return;
    const Here here = Current();
    if (!IsValidPlace(here.location.Get())) return;
    if (m_bFollowingRequested && !m_bFollowingStarted) {
        GPSQuality quality = GPSQualityNoGPS;
        if (IGPSObject* gps = m_receiver.Record()) gps->GetFixQuality(&quality);
        if (m_context.m_eCurrentMode != VirtualMode && quality <= GPSQualityNoFix) return;
        ComPtr<IWaypointObject> beginning;
        m_pRoute->GetRouteBeginning(beginning.Put());
        // A route handed in has no current waypoint yet: it is followed from its beginning.
        SHORT current = -1;
        m_pRoute->GetCurrentWaypointIndex(&current);
        if (current == -1 && beginning) m_pRoute->SetCurrentWaypoint(beginning.Get());
        m_events.Raise(EventKind::kRouteStartFollowing, StartAnnouncement(),
                       PlaceOf(LocationOf(beginning.Get()).Get()), UrgencyHigh);
        m_bFollowingStarted = true;
    }
    if (!m_bFollowingStarted) return;

    // The client changed the route's list (a waypoint deleted): go on from the waypoint ahead.
    SHORT current = -1;
    m_pRoute->GetCurrentWaypointIndex(&current);
    if (current == -1) {
        ComPtr<IWaypointObject> ahead;
        m_pRoute->SetCurrentToNextWaypointNearestLocation(WaypointModeAll, here.location.Get(),
                                                          ahead.Put());
        m_pTarget.Reset(); // The indices have moved: the old target is no longer the route's.
        m_pPendingTurn.Reset();
        m_pAnnouncedTurn.Reset();
        m_nLastArrivalIndex = -1;
    }
    RefreshTarget();
    if (!m_pTarget) return;
    if (CheckSkippedPoints(here)) return;
    const bool superseded = m_pPendingTurn && PendingTurnSuperseded(here);
    if (superseded) m_pPendingTurn.Reset();
    int turn = 0;
    if (!m_pPendingTurn) {
        turn = CheckTurns(here, superseded);
        if (turn == 2) return;
    }
    int arrival = 0;
    if (turn == 0) {
        arrival = CheckWaypointArrival(here);
        if (arrival == 2) return;
    }
    if (m_pPendingTurn && CheckContinueStraight(here)) return;
    if (arrival != 0) return;
    if (CheckOffRoute(here)) return;
    CheckWrongDirection(here);
}

void RouteFollower::RefreshTarget() {
    SHORT current = -1;
    m_pRoute->GetCurrentWaypointIndex(&current);
    if (m_pTarget && IndexOf(m_pTarget.Get()) == current && TargetStillTheRoutes()) return;
    if (m_pTarget && m_nWrongDirectionCountdown == 0) m_bWrongDirectionArmed = false;
    m_pTarget.Reset();
    m_pRoute->GetCurrentWaypoint(m_pTarget.Put());
    m_nReferenceDistance = 0;
    m_nPreviousDistance = 0;
    m_nGrowthCount = 0;
    m_bApproachAnnounced = false;
    // A new target arms the off-route watch afresh.
    m_bOffRouteArmed = true;
    m_nClosestDistance = -1;
    m_nDistanceFromClosest = 0;
    m_pClosestPoint.Reset();
    m_bstrExpectedStreet = ExpectedStreet();
}

// A waypoint inserted or changed by the client may take the target's index: the target is the
// route's own only while it still stands where the route's waypoint of that index does.
bool RouteFollower::TargetStillTheRoutes() const {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    const int index = IndexOf(m_pTarget.Get());
    if (route == nullptr || index < 1 || index > static_cast<int>(route->Waypoints().size()))
        return false;
    const WaypointRecord& w = route->Waypoints()[index - 1];
    double latitude = 0.0, longitude = 0.0;
    m_pTarget->GetLatitude(&latitude);
    m_pTarget->GetLongitude(&longitude);
    return latitude == w.latitude && longitude == w.longitude;
}

// The street that leads to the target: the one taken from the waypoint before it (for the
// beginning, its own). A street the map has no name for cannot be compared.
std::u16string RouteFollower::ExpectedStreet() const {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    const int target = IndexOf(m_pTarget.Get());
    if (route == nullptr || target < 1) return {};
    const auto& waypoints = route->Waypoints();
    const bool reversed = route->Reversed();
    const int previous = reversed ? target + 1 : target - 1;
    const int from =
        previous >= 1 && previous <= static_cast<int>(waypoints.size()) ? previous : target;
    const std::u16string& street = waypoints[from - 1].streetNameForward;
    if (street == m_context.String(ids::kUnnamedRoad) ||
        street == m_context.String(ids::kUnnamedPath))
        return {};
    return street;
}

bool RouteFollower::RaiseSkipped(int count, ILocationObject* at) {
    const std::u16string text =
        count > 1
            ? m_context.m_pUtility->FormatString(ids::kSkippedWaypoints, {std::int64_t{count}})
            : m_context.String(ids::kSkippedOneWaypoint);
    return m_events.Raise(EventKind::kRouteSkippedPoints, text, PlaceOf(at));
}

// A traveller who has passed the target without reaching it (the distance to it grew for more
// than five polls) and is nearest a later waypoint has skipped the ones between.
bool RouteFollower::CheckSkippedPoints(const Here& here) {
    if (Flag(Settings().Get(), &IRouteSettingsObject::IsForceSequentialRouteFollowingOn))
        return false;
    const LONG d = Feet(here.location.Get(), LocationOf(m_pTarget.Get()).Get());
    if (d < 0) return false;
    if (d > m_nReferenceDistance) {
        m_nGrowthCount = 0;
        m_nReferenceDistance = d;
        m_nPreviousDistance = d;
        auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
        if (route == nullptr) return false;
        double latitude = 0.0, longitude = 0.0;
        here.location->GetLatitude(&latitude);
        here.location->GetLongitude(&longitude);
        const int nearest = route->NearestIndexTo(latitude, longitude);
        const int ahead = StepsAhead(nearest, IndexOf(m_pTarget.Get()), route->Reversed());
        if (nearest == -1 || ahead <= 0) return false;
        ComPtr<IWaypointObject> skippedTo;
        route->Waypoint(nearest, skippedTo.Put());
        m_pRoute->SetCurrentWaypoint(skippedTo.Get());
        // Leaving the route's beginning is setting out, not skipping it.
        const int skipped =
            Flag(m_pTarget.Get(), &IWaypointObject::IsRouteBeginningPoint) ? ahead - 1 : ahead;
        if (skipped > 0) RaiseSkipped(skipped, LocationOf(skippedTo.Get()).Get());
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
    ComPtr<IWaypointObject> turn;
    if (Flag(m_pTarget.Get(), &IWaypointObject::IsTurningPoint)) {
        turn = m_pTarget;
    } else {
        if (Flag(Settings().Get(), &IRouteSettingsObject::IsForceSequentialRouteFollowingOn))
            return 0;
        m_pRoute->GetNextWaypoint(WaypointModeTurnsOnly, turn.Put());
        if (!Flag(turn.Get(), &IWaypointObject::IsTurningPoint)) return 0; // the end, no turn
    }
    const SHORT index = IndexOf(turn.Get());
    if (m_pPendingTurn && IndexOf(m_pPendingTurn.Get()) == index) return 0;
    ComPtr<ILocationObject> at = LocationOf(turn.Get());
    const LONG d = Feet(here.location.Get(), at.Get());
    if (d < 0) return 0;
    SHORT lanes = 0, forward = 0, reverse = 0;
    turn->GetNumberOfLanes(&lanes);
    turn->GetStreetOrientationForward(&forward);
    turn->GetStreetOrientationReverse(&reverse);
    const bool announced = m_pAnnouncedTurn && IndexOf(m_pAnnouncedTurn.Get()) == index;
    if (d < Threshold(0, lanes)) {
        m_pPendingTurn = turn;
        m_pAnnouncedTurn = turn;
        // A traveller already facing the way the turn leads hears it from there; one who has
        // not yet taken the turn before it hears it from the street it is reached by.
        const SHORT heading = !turnBehindPending && here.heading != -1 &&
                                      geo::HeadingsWithin(here.heading, forward, 15)
                                  ? here.heading
                                  : SHORT{-1};
        m_events.Raise(
            EventKind::kRouteArrivedNearTurn,
            WaypointTurnDescription(m_context.m_pUtility, turn.Get(), heading, kFollowingLabels),
            PlaceOf(at.Get()));
        return 2;
    }
    if (d <= Threshold(1, lanes) && !CloseRange() && !announced) {
        m_pAnnouncedTurn = turn;
        const int id = geo::HeadingsWithin(forward, (reverse + 180) % 360, 15)
                           ? ids::kApproachingSlightTurn
                           : ids::kApproachingTurn;
        m_events.Raise(EventKind::kRouteApproachingTurn, m_context.String(id), PlaceOf(at.Get()));
        return 1;
    }
    return 0;
}

int RouteFollower::CheckWaypointArrival(const Here& here) {
    auto settings = Settings();
    WaypointMode mode = WaypointModeTurnsOnly;
    if (settings) settings->GetWaypointMode(&mode);
    const bool autoIncrement =
        !settings ||
        Flag(settings.Get(), &IRouteSettingsObject::IsAutoIncrementWaypointsWhenReachedOn);
    const bool close = CloseRange();
    const bool end = Flag(m_pTarget.Get(), &IWaypointObject::IsRouteEndPoint);
    const bool turning = Flag(m_pTarget.Get(), &IWaypointObject::IsTurningPoint);
    const SHORT index = IndexOf(m_pTarget.Get());
    SHORT lanes = 0;
    m_pTarget->GetNumberOfLanes(&lanes);
    ComPtr<ILocationObject> at = LocationOf(m_pTarget.Get());
    const LONG d = Feet(here.location.Get(), at.Get());
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
            ComPtr<IWaypointObject> next;
            m_pRoute->GetNextWaypoint(mode, next.Put());
            if (next) m_pRoute->SetCurrentWaypoint(next.Get());
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
                ComPtr<IWaypointObject> next;
                m_pRoute->SetNextWaypointAlongRoute(mode, next.Put());
                RefreshTarget();
            }
        }
    }
    if (mode != WaypointModeTurnsOnly && !autoIncrement && !m_bApproachAnnounced) {
        SHORT threshold = 0;
        if (auto system = m_context.SystemSettings())
            system->GetArrivedNearThreshold(m_context.CurrentUnits(), &threshold);
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
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return false;
    const int pending = IndexOf(m_pPendingTurn.Get());
    if (StepsAhead(IndexOf(m_pTarget.Get()), pending, route->Reversed()) <= 0) return false;
    ComPtr<IWaypointObject> turn;
    if (Flag(m_pTarget.Get(), &IWaypointObject::IsTurningPoint))
        turn = m_pTarget;
    else
        m_pRoute->GetNextWaypoint(WaypointModeTurnsOnly, turn.Put());
    if (!Flag(turn.Get(), &IWaypointObject::IsTurningPoint) || IndexOf(turn.Get()) == pending)
        return false;
    SHORT lanes = 0;
    turn->GetNumberOfLanes(&lanes);
    const LONG d = Feet(here.location.Get(), LocationOf(turn.Get()).Get());
    return d >= 0 && d <= Threshold(1, lanes);
}

// After arriving near a turn: once the traveller is clearly past it along the route, heading
// the way the route leaves it, the turn is behind them.
bool RouteFollower::CheckContinueStraight(const Here& here) {
    auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
    if (route == nullptr) return false;
    double latitude = 0.0, longitude = 0.0;
    here.location->GetLatitude(&latitude);
    here.location->GetLongitude(&longitude);
    const int i = route->NextIndexNearest(WaypointModeAll, latitude, longitude);
    const int j = IndexOf(m_pPendingTurn.Get());
    if (i == -1 || j == -1) return false;
    const bool reversed = route->Reversed();
    const int past = StepsAhead(i, j, reversed);
    if (past <= 0) return false;
    if (past <= 2) {
        SHORT forward = 0;
        m_pPendingTurn->GetStreetOrientationForward(&forward);
        if (here.heading == -1 || !geo::HeadingsWithin(here.heading, forward, 20)) return false;
    }
    if (Flag(Settings().Get(), &IRouteSettingsObject::IsForceSequentialRouteFollowingOn) &&
        StepsAhead(IndexOf(m_pTarget.Get()), j, reversed) <= 0)
        return false;
    m_events.Raise(EventKind::kRouteContinueStraight, m_context.String(ids::kContinueStraight),
                   PlaceOf(here.location.Get()));
    m_pPendingTurn.Reset();
    return true;
}

// Every third poll: on the expected street the traveller is on the route; otherwise moving
// more than the off-route distance away from where they came closest to the target means they
// left it. Once announced, the watch waits until the traveller is back: on the expected street
// again, or as close to the target as when it was announced.
bool RouteFollower::CheckOffRoute(const Here& here) {
    if (--m_nOffRouteCountdown > 0) return false;
    m_nOffRouteCountdown = 3;
    ComPtr<ILocationObject> target = LocationOf(m_pTarget.Get());
    const LONG d = Feet(here.location.Get(), target.Get());
    if (d < 0) return false;
    bool onStreet = false;
    if (!m_bstrExpectedStreet.empty() && m_context.Map().HasEngine()) {
        double latitude = 0.0, longitude = 0.0;
        here.location->GetLatitude(&latitude);
        here.location->GetLongitude(&longitude);
        const std::u16string name =
            m_context.Map().StreetAt(latitude, longitude, here.heading, MapWords::kStreetExpanded);
        onStreet = !name.empty() && name != m_context.String(ids::kUnnamedRoad) &&
                   name != m_context.String(ids::kUnnamedPath) && name == m_bstrExpectedStreet;
    }
    if (!m_bOffRouteArmed) {
        if (onStreet || d <= m_nClosestDistance) {
            m_bOffRouteArmed = true;
            m_nClosestDistance = d;
            m_nDistanceFromClosest = 0;
            m_pClosestPoint = CopyOf(here.location.Get());
        }
        return false;
    }
    if (onStreet) return false;
    if (m_nClosestDistance < 0 || d <= m_nClosestDistance) {
        m_nClosestDistance = d;
        m_nDistanceFromClosest = 0;
        m_pClosestPoint = CopyOf(here.location.Get());
        return false;
    }
    m_nDistanceFromClosest = Feet(m_pClosestPoint.Get(), here.location.Get());
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
    ComPtr<ILocationObject> target = LocationOf(m_pTarget.Get());
    SHORT bearing = -1;
    here.location->GetBearingDegrees(target.Get(), &bearing);
    const SHORT h = here.heading;
    if (h == -1 || bearing == -1 || geo::HeadingsWithin(h, bearing, 45)) return;
    const bool metric = m_context.CurrentUnits() == Metric;
    const LONG offRoute = metric ? Whole(OffRouteFeet() * 0.3048) : OffRouteFeet();
    const LONG limit = CloseRange() ? (metric ? 2 : 6) : offRoute / 5;
    if (!Flag(Settings().Get(), &IRouteSettingsObject::IsForceSequentialRouteFollowingOn)) {
        ComPtr<IWaypointObject> next;
        m_pRoute->GetNextWaypointNearestLocation(WaypointModeAll, here.location.Get(), next.Put());
        const SHORT nextIndex = IndexOf(next.Get());
        const SHORT targetIndex = IndexOf(m_pTarget.Get());
        SHORT toNext = -1;
        if (next) here.location->GetBearingDegrees(LocationOf(next.Get()).Get(), &toNext);
        const bool towardNext = next && toNext != -1 && geo::HeadingsWithin(h, toNext, 45);
        auto* route = gpslib::ImplOf<CRouteObject>(m_pRoute.Get());
        const int ahead =
            route != nullptr ? StepsAhead(nextIndex, targetIndex, route->Reversed()) : 0;
        // Heading for a waypoint on the way to the target (a bend that is no turn, with turns
        // only): the traveller follows the route.
        if (towardNext && ahead < 0) return;
        if (towardNext && nextIndex != targetIndex) {
            m_bWrongDirectionArmed = false;
            m_pRoute->SetCurrentWaypoint(next.Get());
            int skipped = std::abs(nextIndex - targetIndex);
            if (Flag(m_pTarget.Get(), &IWaypointObject::IsRouteBeginningPoint)) --skipped;
            if (skipped > 0) RaiseSkipped(skipped, LocationOf(next.Get()).Get());
            return;
        }
    }
    LONG d = -1;
    here.location->GetDistance(target.Get(), &d);
    if (d < 0) return;
    if (m_nWrongDirectionClosest < 0 || d <= m_nWrongDirectionClosest) {
        m_nWrongDirectionClosest = d;
        m_nWrongDirectionFromClosest = 0;
        m_pWrongDirectionClosestPoint = CopyOf(here.location.Get());
        return;
    }
    m_pWrongDirectionClosestPoint->GetDistance(here.location.Get(), &m_nWrongDirectionFromClosest);
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
                                                  m_pTarget.Get(), kFollowingLabels, nullptr, u""),
                   PlaceOf(target.Get()));
}

} // namespace gpscore
