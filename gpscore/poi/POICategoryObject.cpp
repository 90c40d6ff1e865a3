#include "poi/POICategoryObject.h"

GPSLIB_CLASS_FACTORY(POICategoryObject, CPOICategoryObject)
