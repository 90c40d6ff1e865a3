#include "core/GPSCore.h"

GPSLIB_CLASS_FACTORY(GPSCore, CGPSCore)
