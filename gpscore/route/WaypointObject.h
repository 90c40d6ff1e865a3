// One point of a route with its turn information.
#ifndef GPSCORE_ROUTE_WAYPOINTOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTOBJECT_H_

#include "GPSLib_classes.h"

class CWaypointObject : public CWaypointObjectBase {};

#endif // GPSCORE_ROUTE_WAYPOINTOBJECT_H_
