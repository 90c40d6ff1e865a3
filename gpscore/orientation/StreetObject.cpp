#include "orientation/StreetObject.h"

GPSLIB_CLASS_FACTORY(StreetObject, CStreetObject)
