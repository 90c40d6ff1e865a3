#include "gps/GPSSettingsObject.h"

GPSLIB_CLASS_FACTORY(GPSSettingsObject, CGPSSettingsObject)
