// The kinds of automatic event: how each is logged, typed, graded and filtered. One table, read
// by the one builder every detector calls.
#ifndef GPSCORE_BASE_EVENTKINDS_H_
#define GPSCORE_BASE_EVENTKINDS_H_

#include <gpslib/GPSLib_enums.h>

#include <string_view>

namespace gpscore {

enum class EventKind {
    kArrivedNearDestination,
    kArrivedNearVirtual,
    kConnectionGained,
    kConnectionLost,
    kGainedFix,
    kLostFix,
    kLookaroundIntersection,
    kLookaroundPOI,
    kLookaroundMediaPOI,
    kLookaroundStreetChange,
    kLookaroundCityChange,
    kLookaroundMapChange,
    kRouteStartFollowing,
    kRouteApproachingWaypoint,
    kRouteWaypointReached,
    kRouteApproachingTurn,
    kRouteArrivedNearTurn,
    kRouteContinueStraight,
    kRouteOffRoute,
    kRouteSkippedPoints,
    kRouteWrongDirection,
    kRouteArrivedNearDestination,
    kSimulationAnnotation,
};

struct EventKindInfo {
    std::string_view logWord; // "  **AddEvent**  " + this is logged by every builder
    EventType type;
    UrgencyLevel urgency;
    // Delivered while the client's reporting level is at most this; kAlways for kinds that
    // always get through. The route start's limit is the urgency its caller gives.
    UrgencyLevel limit;
};

inline constexpr UrgencyLevel kAlways = static_cast<UrgencyLevel>(0x7fffffff);

constexpr EventKindInfo kEventKinds[] = {
    {"ArrivedNearDestinationEvent", EventArrivedNearDestination, UrgencyCritical, kAlways},
    {"ArrivedNearVirtualEvent", EventArrivedNearVirtualLocation, UrgencyHigh, UrgencyNormal},
    {"GPSConnectionGainedEvent", EventGPSConnectionGained, UrgencyNormal, UrgencyNormal},
    {"GPSConnectionLostEvent", EventGPSConnectionLost, UrgencyNormal, UrgencyNormal},
    {"GPSGainedFixEvent", EventGPSGainedFix, UrgencyNormal, UrgencyNormal},
    {"GPSLostFixEvent", EventGPSLostFix, UrgencyNormal, UrgencyNormal},
    {"LookaroundApproachingIntersectionEvent", EventLookaroundIntersections, UrgencyNormal,
     UrgencyNormal},
    {"LookaroundPOIEvent", EventLookaroundPOIs, UrgencyNormal, UrgencyNormal},
    {"LookaroundPOIEvent", EventLookaroundMediaPOIs, UrgencyNormal, UrgencyNormal},
    {"LookaroundStreetChangeEvent", EventLookaroundStreetChanges, UrgencyNormal, UrgencyNormal},
    {"LookaroundCityChangeEvent", EventLookaroundCityChanges, UrgencyNormal, UrgencyNormal},
    {"LookaroundMapChangeEvent", EventLookaroundMapChanges, UrgencyNormal, UrgencyNormal},
    {"RouteStartFollowingEvent", EventRouteStartFollowing, UrgencyNormal, UrgencyNormal},
    {"RouteApproachingWaypointEvent", EventRouteApproachingWaypoint, UrgencyNormal, UrgencyNormal},
    {"RouteWaypointReachedEvent", EventRouteArrivedWaypoint, UrgencyHigh, UrgencyHigh},
    {"RouteApproachingTurnEvent", EventRouteApproachingTurn, UrgencyHigh, UrgencyHigh},
    {"RouteArrivedNearTurnEvent", EventRouteArrivedNearTurn, UrgencyCritical, kAlways},
    {"RouteContinueStraightEvent", EventRouteContinueStraight, UrgencyHigh, UrgencyHigh},
    {"RouteOffRouteEvent", EventRouteOffRoute, UrgencyHigh, UrgencyHigh},
    {"RouteSkippedPointsEvent", EventRouteSkippedPoints, UrgencyNormal, UrgencyNormal},
    {"RouteWrongDirectionEvent", EventRouteWrongDirection, UrgencyCritical, kAlways},
    {"RouteArrivedNearDestinationEvent", EventArrivedNearDestination, UrgencyCritical, kAlways},
    {"SimulationAnnotationReached", EventSimulationAnnotation, UrgencyHigh, UrgencyNormal},
};

constexpr const EventKindInfo& InfoOf(EventKind kind) {
    return kEventKinds[static_cast<int>(kind)];
}

// Whether an event of `kind` reaches the client at reporting `level`; `given` is the urgency a
// route start is made with.
constexpr bool Delivered(EventKind kind, UrgencyLevel level, UrgencyLevel given = UrgencyLow) {
    const UrgencyLevel limit = kind == EventKind::kRouteStartFollowing ? given : InfoOf(kind).limit;
    return limit == kAlways || level <= limit;
}

static_assert(std::size(kEventKinds) ==
                  static_cast<std::size_t>(EventKind::kSimulationAnnotation) + 1,
              "one row per kind");

} // namespace gpscore

#endif // GPSCORE_BASE_EVENTKINDS_H_
