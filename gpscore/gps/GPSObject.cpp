#include "gps/GPSObject.h"

GPSLIB_CLASS_FACTORY(GPSObject, CGPSObject)
