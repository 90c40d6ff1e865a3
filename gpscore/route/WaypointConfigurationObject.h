// Which parts a waypoint description includes.
#ifndef GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CWaypointConfigurationObject : public CWaypointConfigurationObjectBase {};

#endif // GPSCORE_ROUTE_WAYPOINTCONFIGURATIONOBJECT_H_
