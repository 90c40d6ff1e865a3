// The answer to Where Am I: street, city, postal code, map and address range.
#ifndef GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_
#define GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_

#include "GPSLib_classes.h"

class CWhereAmIObject : public CWhereAmIObjectBase {};

#endif // GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_
