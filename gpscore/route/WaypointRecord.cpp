#include "route/WaypointRecord.h"

namespace gpscore {

WaypointRecord WaypointFromRoutePoint(const RoutePoint& p) {
    WaypointRecord r;
    r.latitude = p.latitude;
    r.longitude = p.longitude;
    r.name = p.name;
    r.description = p.description;
    r.turningPoint = p.turningPoint;
    r.streetNameForward = p.streetNameForward;
    r.numberOfLanes = p.numberOfLanes;
    r.streetOrientationForward = p.streetOrientationForward;
    r.streetOrientationReverse = p.streetOrientationReverse;
    r.distanceFromLastWaypoint = p.distanceFromLastPoint;
    r.featureIndex = p.featureIndex;
    r.crossStreet = p.crossStreet;
    r.streetSpeed = p.streetSpeed;
    return r;
}

RoutePoint RoutePointFromWaypoint(const WaypointRecord& r) {
    RoutePoint p;
    p.latitude = r.latitude;
    p.longitude = r.longitude;
    p.name = r.name;
    p.description = r.description;
    p.turningPoint = r.turningPoint;
    p.streetNameForward = r.streetNameForward;
    p.numberOfLanes = r.numberOfLanes;
    p.streetOrientationForward = r.streetOrientationForward;
    p.streetOrientationReverse = r.streetOrientationReverse;
    p.distanceFromLastPoint = r.distanceFromLastWaypoint;
    p.featureIndex = r.featureIndex;
    p.crossStreet = r.crossStreet;
    p.streetSpeed = r.streetSpeed;
    return p;
}

} // namespace gpscore
