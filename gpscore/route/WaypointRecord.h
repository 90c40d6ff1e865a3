// One waypoint as a route keeps it: a plain record, copied in from waypoint objects, user
// waypoints and engine routes and out into new waypoint objects, never shared. The copies to and
// from the objects live with them (route/WaypointObject.h).
#ifndef GPSCORE_ROUTE_WAYPOINTRECORD_H_
#define GPSCORE_ROUTE_WAYPOINTRECORD_H_

#include <cstdint>
#include <string>

#include <gpslib/GPSLib_enums.h>

#include "base/MapQueries.h"

namespace gpscore {

struct WaypointRecord {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string name;
    std::u16string description;
    bool turningPoint = false;
    bool userPoint = false;
    std::u16string streetNameForward; // Street taken when leaving the waypoint.
    std::int16_t numberOfLanes = 0;
    std::int16_t streetOrientationForward =
        0; // Degrees, direction of the street taken when leaving.
    std::int16_t streetOrientationReverse = 0; // Degrees, back along the street arrived on.
    double distanceFromLastWaypoint = 0.0;     // Metres; 0 when not stored.
    std::int16_t featureIndex = -1;
    std::u16string crossStreet;
    SideOfStreet sideOfStreet = SideUnknown;
    std::int16_t turnCompleteHeading = -1; // Heading after the turn, -1 for none.
    std::int16_t streetSpeed = 0;          // km/h.
};

// A waypoint from a point of an engine route, and back (the fields the engine knows).
WaypointRecord WaypointFromRoutePoint(const RoutePoint& point);
RoutePoint RoutePointFromWaypoint(const WaypointRecord& waypoint);

} // namespace gpscore

#endif // GPSCORE_ROUTE_WAYPOINTRECORD_H_
