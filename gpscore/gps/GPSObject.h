// The live GPS fix record: position, heading, speed and fix data.
#ifndef GPSCORE_GPS_GPSOBJECT_H_
#define GPSCORE_GPS_GPSOBJECT_H_

#include "GPSLib_classes.h"

class CGPSObject : public CGPSObjectBase {};

#endif // GPSCORE_GPS_GPSOBJECT_H_
