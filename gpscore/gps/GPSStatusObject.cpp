#include "gps/GPSStatusObject.h"

GPSLIB_CLASS_FACTORY(GPSStatusObject, CGPSStatusObject)
