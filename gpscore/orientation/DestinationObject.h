// The place the user is heading for: a location and the side of the street.
#ifndef GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
#define GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_

#include "GPSLib_classes.h"

class CDestinationObject : public CDestinationObjectBase {};

#endif // GPSCORE_ORIENTATION_DESTINATIONOBJECT_H_
