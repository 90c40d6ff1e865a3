// A snapshot of the receiver's UTC time.
#ifndef GPSCORE_GPS_GPSTIMEOBJECT_H_
#define GPSCORE_GPS_GPSTIMEOBJECT_H_

#include "GPSLib_classes.h"

class CGPSTimeObject : public CGPSTimeObjectBase {};

#endif // GPSCORE_GPS_GPSTIMEOBJECT_H_
