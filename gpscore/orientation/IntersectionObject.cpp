#include "orientation/IntersectionObject.h"

GPSLIB_CLASS_FACTORY(IntersectionObject, CIntersectionObject)
