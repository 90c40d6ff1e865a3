// The virtual walker's position, heading and street.
#ifndef GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
#define GPSCORE_ORIENTATION_VIRTUALOBJECT_H_

#include "GPSLib_classes.h"

class CVirtualObject : public CVirtualObjectBase {};

#endif // GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
