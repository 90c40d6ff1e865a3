// An address found by address search, with its street and position.
#ifndef GPSCORE_ADDRESS_ADDRESSOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSOBJECT_H_

#include "GPSLib_classes.h"

class CAddressObject : public CAddressObjectBase {};

#endif // GPSCORE_ADDRESS_ADDRESSOBJECT_H_
