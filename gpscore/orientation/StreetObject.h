// A street with its city, postal code and map.
#ifndef GPSCORE_ORIENTATION_STREETOBJECT_H_
#define GPSCORE_ORIENTATION_STREETOBJECT_H_

#include "GPSLib_classes.h"

class CStreetObject : public CStreetObjectBase {};

#endif // GPSCORE_ORIENTATION_STREETOBJECT_H_
