#include "address/AddressObject.h"

GPSLIB_CLASS_FACTORY(AddressObject, CAddressObject)
