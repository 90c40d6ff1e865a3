// How a route is to be computed: type and preferences.
#ifndef GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
#define GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CRouteConfigurationObject : public CRouteConfigurationObjectBase {};

#endif // GPSCORE_ROUTE_ROUTECONFIGURATIONOBJECT_H_
