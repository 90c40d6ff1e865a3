// Route behaviour chosen by the user (waypoint mode, auto-increment, sequential following,
// numbering); the system keeps one per mode in its route settings record and file.
#ifndef GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
#define GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CRouteSettingsObject : public CRouteSettingsObjectBase {};

#endif // GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
