// One waypoint as a route keeps it: a plain record, copied in from waypoint objects and user
// waypoints and out into new waypoint objects, never shared.
#ifndef GPSCORE_ROUTE_WAYPOINTRECORD_H_
#define GPSCORE_ROUTE_WAYPOINTRECORD_H_

#include <string>

#include "GPSLib_classes.h"
#include "base/MapQueries.h"

namespace gpscore {

struct WaypointRecord {
    DOUBLE latitude = 0.0;
    DOUBLE longitude = 0.0;
    std::u16string name;
    std::u16string description;
    bool turningPoint = false;
    bool userPoint = false;
    std::u16string streetNameForward; // Street taken when leaving the waypoint.
    SHORT numberOfLanes = 0;
    SHORT streetOrientationForward = 0;    // Degrees, direction of the street taken when leaving.
    SHORT streetOrientationReverse = 0;    // Degrees, back along the street arrived on.
    DOUBLE distanceFromLastWaypoint = 0.0; // Metres; 0 when not stored.
    SHORT featureIndex = -1;
    std::u16string crossStreet;
    SideOfStreet sideOfStreet = SideUnknown;
    SHORT turnCompleteHeading = -1; // Heading after the turn, -1 for none.
    SHORT streetSpeed = 0;          // km/h.
};

// A waypoint from a point of an engine route, and back (the fields the engine knows).
WaypointRecord WaypointFromRoutePoint(const RoutePoint& point);
RoutePoint RoutePointFromWaypoint(const WaypointRecord& waypoint);

// The record of a waypoint object's fields (its index aside).
HRESULT ReadWaypoint(IWaypointObject* waypoint, WaypointRecord* record);

// The record of a waypoint placed by hand, marked as a user point: its location, name,
// description and street, with the street orientations and turning point worked out from its
// turn and heading. It carries no routing data: no lanes, distance, feature, cross street, side
// or turn complete heading.
HRESULT ReadUserWaypoint(IWaypointUserObject* userWaypoint, WaypointRecord* record);

// A new waypoint object (made by class id) holding the record and its route index.
HRESULT NewWaypointObject(const WaypointRecord& record, SHORT index, bool beginning, bool end,
                          IWaypointObject** waypoint);

} // namespace gpscore

#endif // GPSCORE_ROUTE_WAYPOINTRECORD_H_
