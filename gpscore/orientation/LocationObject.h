// A position with a name and a description; the position value of the whole surface.
#ifndef GPSCORE_ORIENTATION_LOCATIONOBJECT_H_
#define GPSCORE_ORIENTATION_LOCATIONOBJECT_H_

#include "GPSLib_classes.h"

class CLocationObject : public CLocationObjectBase {};

#endif // GPSCORE_ORIENTATION_LOCATIONOBJECT_H_
