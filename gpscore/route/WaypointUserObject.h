// A waypoint that the user places by hand (position, turn and heading), to be added to or
// inserted into a route.
#ifndef GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_

#include "GPSLib_classes.h"

// The position, name and description live in the inner location.
class CWaypointUserObject : public CWaypointUserObjectBase {
public:
    // Stores the location (position, name and description), the turn and the heading. A turn
    // already given is not replaced by one without a heading: S_FALSE, nothing changes.
    HRESULT CreateUserWaypoint(ILocationObject* pLocation, WaypointTurnType eTurnType,
                               SHORT nHeading) override;
};

#endif // GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
