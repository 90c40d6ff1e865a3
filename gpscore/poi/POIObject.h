// A point of interest: name, category, address, contact data and position.
#ifndef GPSCORE_POI_POIOBJECT_H_
#define GPSCORE_POI_POIOBJECT_H_

#include "GPSLib_classes.h"

class CPOIObject : public CPOIObjectBase {};

#endif // GPSCORE_POI_POIOBJECT_H_
