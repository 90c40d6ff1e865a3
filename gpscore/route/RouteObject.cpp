#include "route/RouteObject.h"

GPSLIB_CLASS_FACTORY(RouteObject, CRouteObject)
