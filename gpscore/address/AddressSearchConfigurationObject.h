// The inputs of an address search: maps, city, postal code, street.
#ifndef GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
#define GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_

#include "GPSLib_classes.h"

class CAddressSearchConfigurationObject : public CAddressSearchConfigurationObjectBase {};

#endif // GPSCORE_ADDRESS_ADDRESSSEARCHCONFIGURATIONOBJECT_H_
