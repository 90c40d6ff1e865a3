#include "route/WaypointConfigurationObject.h"

GPSLIB_CLASS_FACTORY(WaypointConfigurationObject, CWaypointConfigurationObject)
