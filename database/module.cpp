// The entry points of libgpsdb.so: registration of the GPSDatabaseLib classes and their
// factories.
#include "GPSDatabaseLib_classes.h"

GPSLIB_MODULE_ENTRY_POINTS(kGPSDatabaseLibModule)
