#include "orientation/LocationObject.h"

GPSLIB_CLASS_FACTORY(LocationObject, CLocationObject)
