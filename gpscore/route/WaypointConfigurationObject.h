// What a spoken waypoint description includes, and the heading, speed, mode and distance to
// the next waypoint it is worked out for.
#ifndef GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CWaypointConfigurationObject : public CWaypointConfigurationObjectBase {};

#endif // GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_
