// An intersection with its streets and the way each leaves it.
#ifndef GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
#define GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_

#include "GPSLib_classes.h"

class CIntersectionObject : public CIntersectionObjectBase {};

#endif // GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
