#include "orientation/DestinationObject.h"

GPSLIB_CLASS_FACTORY(DestinationObject, CDestinationObject)
