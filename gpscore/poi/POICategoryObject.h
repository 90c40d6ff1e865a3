// A POI category: number and spoken name.
#ifndef GPSCORE_POI_POICATEGORYOBJECT_H_
#define GPSCORE_POI_POICATEGORYOBJECT_H_

#include "GPSLib_classes.h"

class CPOICategoryObject : public CPOICategoryObjectBase {};

#endif // GPSCORE_POI_POICATEGORYOBJECT_H_
