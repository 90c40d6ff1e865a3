#include "poi/POIObject.h"

GPSLIB_CLASS_FACTORY(POIObject, CPOIObject)
