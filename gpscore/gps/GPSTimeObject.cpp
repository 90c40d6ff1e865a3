#include "gps/GPSTimeObject.h"

GPSLIB_CLASS_FACTORY(GPSTimeObject, CGPSTimeObject)
