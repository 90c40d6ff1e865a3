// The route preferences: warnings, distances, turn preferences.
#ifndef GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
#define GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CRouteSettingsObject : public CRouteSettingsObjectBase {};

#endif // GPSCORE_ROUTE_ROUTESETTINGSOBJECT_H_
