// The entry points of libgpscore.so: registration of the GPSLib classes and their factories.
#include "GPSLib_classes.h"

GPSLIB_MODULE_ENTRY_POINTS(kGPSLibModule)
