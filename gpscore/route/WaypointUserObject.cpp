#include "route/WaypointUserObject.h"

GPSLIB_CLASS_FACTORY(WaypointUserObject, CWaypointUserObject)
