#include "route/WaypointObject.h"

GPSLIB_CLASS_FACTORY(WaypointObject, CWaypointObject)
