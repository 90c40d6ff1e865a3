#include "route/RouteConfigurationObject.h"

GPSLIB_CLASS_FACTORY(RouteConfigurationObject, CRouteConfigurationObject)
