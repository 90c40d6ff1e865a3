// A snapshot of one waypoint of a route and its index there; changing it changes the route
// only through the route's UpdateWaypointInRoute.
#ifndef GPSCORE_ROUTE_WAYPOINTOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTOBJECT_H_

#include "GPSLib_classes.h"

// The position, name and description live in the inner location; the waypoint name is that
// location's name.
class CWaypointObject : public CWaypointObjectBase {
public:
    HRESULT GetWaypointName(BSTR* pbstrName) override { return GetName(pbstrName); }
    HRESULT SetWaypointName(BSTR bstrName) override { return SetName(bstrName); }
    // The turn to make here, seen from the heading given (or, for -1, from the street the
    // waypoint is reached by); empty unless the waypoint is a turn with a known heading after it.
    HRESULT GetTurningInfo(SHORT nCurrentHeading, BSTR* pbstrTurningInfo) override;
};

#endif // GPSCORE_ROUTE_WAYPOINTOBJECT_H_
