// A waypoint the user placed by hand.
#ifndef GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_

#include "GPSLib_classes.h"

class CWaypointUserObject : public CWaypointUserObjectBase {};

#endif // GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
