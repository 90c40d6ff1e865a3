// The receiver settings: link type, port, baud rate, heading averaging.
#ifndef GPSCORE_GPS_GPSSETTINGSOBJECT_H_
#define GPSCORE_GPS_GPSSETTINGSOBJECT_H_

#include "GPSLib_classes.h"

class CGPSSettingsObject : public CGPSSettingsObjectBase {};

#endif // GPSCORE_GPS_GPSSETTINGSOBJECT_H_
