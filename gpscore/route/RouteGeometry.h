// The numbers of a route: its length, the waypoint nearest a position, the waypoint ahead of a
// position, and the distance left to travel. Plain functions over the route's records, free of
// the object runtime; the route object and route following answer through them.
//
// Indices are the route's own, 1 to the count. Distances handed out are in the user's units:
// metres when `metric`, feet otherwise. Distances handed in (an "extra" or a known distance to
// the next waypoint) are metres, as the records store them.
#ifndef GPSCORE_ROUTE_ROUTEGEOMETRY_H_
#define GPSCORE_ROUTE_ROUTEGEOMETRY_H_

#include <vector>

#include "formats/Geodesy.h"
#include "route/WaypointRecord.h"

namespace gpscore {

using Waypoints = std::vector<WaypointRecord>;

// The length between two indices (the whole route when both are -1), plus `extraMetres` unless
// that is -1.0. The stored distances from the last waypoint are summed; a route that stores none
// at all is measured waypoint to waypoint over the great circle instead (in feet, and for metres
// (feet + 1) × 0.3048, as the route files have always measured it). 0 for an empty range.
double TotalDistance(const Waypoints& waypoints, int first, int last, double extraMetres,
                     bool metric);

// The waypoint nearest `position` (the first of equals); -1 for no position or no waypoint.
int NearestIndex(const Waypoints& waypoints, geo::Position position);

// The waypoint the traveller at `position` heads for next, in the direction of travel: the end of
// the route stretch (between two consecutive waypoints) nearest the position, or the route
// beginning for a traveller who has not reached it yet. -1 for no position or no waypoint.
int NextIndexAhead(const Waypoints& waypoints, geo::Position position, bool reversed);

// The distance along the route from `position` to waypoint `target`: to the waypoint ahead
// (`distanceToNextMetres` when it is not negative, else straight there), then along the route.
// A target already passed is measured straight. -1 when it cannot be worked out.
double DistanceAlongRouteTo(const Waypoints& waypoints, geo::Position position, bool reversed,
                            int target, double distanceToNextMetres, bool metric);

// The distance from `position` to the end of the route, as above; -1 when unknown.
double RemainingDistance(const Waypoints& waypoints, geo::Position position, bool reversed,
                         double distanceToNextMetres, bool metric);

// ⌊(total − min(remaining, total)) ÷ total × 100⌋ with the whole-number total; 0 for a route of
// no length or a remaining distance that cannot be worked out.
int PercentComplete(const Waypoints& waypoints, geo::Position position, bool reversed,
                    double distanceToNextMetres, bool metric);

// Whether index `a` lies after index `b` in the direction of travel, and by how many indices.
inline int StepsAhead(int a, int b, bool reversed) {
    return reversed ? b - a : a - b;
}

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTEGEOMETRY_H_
