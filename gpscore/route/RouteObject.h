// A route: its waypoints, current position on it and its progress.
#ifndef GPSCORE_ROUTE_ROUTEOBJECT_H_
#define GPSCORE_ROUTE_ROUTEOBJECT_H_

#include "GPSLib_classes.h"

class CRouteObject : public CRouteObjectBase {};

#endif // GPSCORE_ROUTE_ROUTEOBJECT_H_
