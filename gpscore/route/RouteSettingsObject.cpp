#include "route/RouteSettingsObject.h"

GPSLIB_CLASS_FACTORY(RouteSettingsObject, CRouteSettingsObject)
