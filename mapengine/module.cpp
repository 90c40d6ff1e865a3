// The entry points of libgpsmap.so: registration of the GPSMapLib classes and their factories.
#include "GPSMapLib_classes.h"

GPSLIB_MODULE_ENTRY_POINTS(kGPSMapLibModule)
