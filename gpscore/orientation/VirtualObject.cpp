#include "orientation/VirtualObject.h"

GPSLIB_CLASS_FACTORY(VirtualObject, CVirtualObject)
