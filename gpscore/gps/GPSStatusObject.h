// A snapshot of the receiver's fix quality and accuracy.
#ifndef GPSCORE_GPS_GPSSTATUSOBJECT_H_
#define GPSCORE_GPS_GPSSTATUSOBJECT_H_

#include "GPSLib_classes.h"

class CGPSStatusObject : public CGPSStatusObjectBase {};

#endif // GPSCORE_GPS_GPSSTATUSOBJECT_H_
