// The navigation service: the one object through which a client uses the system.
#ifndef GPSCORE_CORE_GPSCORE_H_
#define GPSCORE_CORE_GPSCORE_H_

#include "GPSLib_classes.h"

class CGPSCore : public CGPSCoreBase {};

#endif // GPSCORE_CORE_GPSCORE_H_
